#include "kv/ArchiveStore.h"

#include <cstring>
#include <new>

#include "kv/Memory.h"

bool KvFileHandle::Open(const char* path, uint32_t flags) {
  const char mode[3] = {(flags & kWrite) != 0 ? 'w' : 'r', (flags & kBinary) != 0 ? 'b' : 't', '\0'};
  handle_ = std::fopen(path, mode);
  writeError_ = false;
  size_ = 0;
  if (handle_ != nullptr && (flags & kMeasureSize) != 0) {
    std::fseek(handle_, 0, SEEK_END);
    const long end = std::ftell(handle_);
    size_ = end > 0 ? static_cast<uint32_t>(end) : 0;
    std::fseek(handle_, 0, SEEK_SET);
  }
  return handle_ != nullptr;
}

uint32_t KvFileHandle::Read(void* buffer, uint32_t count) {
  if (handle_ == nullptr) return 0;
  return static_cast<uint32_t>(std::fread(buffer, 1, count, handle_));
}

uint32_t KvFileHandle::Write(const void* buffer, uint32_t count) {
  if (handle_ == nullptr) return 0;
  const uint32_t written = static_cast<uint32_t>(std::fwrite(buffer, 1, count, handle_));
  if (written != count) writeError_ = true;
  return written;
}

uint32_t KvFileHandle::Tell() {
  if (handle_ == nullptr) return 0;
  const long position = std::ftell(handle_);
  return position > 0 ? static_cast<uint32_t>(position) : 0;
}

void KvFileHandle::Seek(uint32_t position) {
  if (handle_ != nullptr) std::fseek(handle_, static_cast<long>(position), SEEK_SET);
}

bool KvFileHandle::Close() {
  if (handle_ == nullptr) return true;
  if (std::ferror(handle_) != 0) writeError_ = true;
  if (std::fclose(handle_) != 0) writeError_ = true;
  handle_ = nullptr;
  return !writeError_;
}

KvArchiveStoreFile* KvArchiveStoreFile::Create(const char* path) {
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvArchiveStoreFile)));
  return memory != nullptr ? ::new (memory) KvArchiveStoreFile(path) : nullptr;
}

bool KvArchiveStoreFile::OpenForReading() {
  file_.Open(fileName_.View(), KvFileHandle::kMeasureSize | KvFileHandle::kBinary);
  return IsValid();
}

bool KvArchiveStoreFile::OpenForWriting() {
  file_.Open(fileName_.View(), KvFileHandle::kWrite | KvFileHandle::kBinary);
  return IsValid();
}

bool KvArchiveStoreFile::Close() {
  file_.Close();
  return true;
}

bool KvArchiveStoreFile::Read(void* buffer, uint32_t count) { return file_.Read(buffer, count) == count; }

bool KvArchiveStoreFile::Write(const void* buffer, uint32_t count) { return file_.Write(buffer, count) == count; }

KvArchiveStoreNull* KvArchiveStoreNull::Create() {
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvArchiveStoreNull)));
  return memory != nullptr ? ::new (memory) KvArchiveStoreNull() : nullptr;
}

KvArchiveStoreMemory* KvArchiveStoreMemory::Create(const uint8_t* bytes, uint32_t size) {
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvArchiveStoreMemory)));
  return memory != nullptr ? ::new (memory) KvArchiveStoreMemory(bytes, size) : nullptr;
}

bool KvArchiveStoreMemory::Read(void* buffer, uint32_t count) {
  if (!open_ || count > size_ - position_) return false;
  if (count > 0) std::memcpy(buffer, readBytes_ + position_, count);
  position_ += count;
  return true;
}
