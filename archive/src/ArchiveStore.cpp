#include "kv/ArchiveStore.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "kv/Memory.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Longest path handled, room for what realpath writes.
constexpr uint32_t kMaxPath = 4096;

// The platform's part of an atomic save: the process id that names a temporary
// file, the file a target names (a link is followed), whether that file can be
// replaced at all (a device or a pipe cannot), creating the temporary file (never
// through an existing file or link of that name) with the target's permissions,
// and replacing the target with it.
#if defined(_WIN32)
unsigned long ProcessId() { return static_cast<unsigned long>(_getpid()); }

const char* Resolve(const char* target, char*) { return target; }

bool Replaceable(const char* target) {
  const DWORD attributes = GetFileAttributesA(target);
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::FILE* CreateExclusive(const char* path, const char*) {
  int fd = -1;
  if (_sopen_s(&fd, path, _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE) != 0) {
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, "wb");
  if (stream == nullptr) _close(fd);
  return stream;
}

bool Replace(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
#else
unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

static_assert(kMaxPath >= PATH_MAX, "realpath writes up to PATH_MAX bytes");

const char* Resolve(const char* target, char* resolved) {
  struct stat link {};
  if (lstat(target, &link) == 0 && S_ISLNK(link.st_mode) && realpath(target, resolved) != nullptr) return resolved;
  return target;
}

bool Replaceable(const char* target) {
  struct stat existing {};
  return stat(target, &existing) != 0 || S_ISREG(existing.st_mode);
}

std::FILE* CreateExclusive(const char* path, const char* target) {
  // An existing target's permissions; otherwise a new file's (0666 less the umask).
  struct stat existing {};
  mode_t mode = 0;
  if (stat(target, &existing) == 0) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::FILE* stream = fchmod(fd, mode) == 0 ? fdopen(fd, "wb") : nullptr;
  if (stream == nullptr) {
    close(fd);
    unlink(path);
  }
  return stream;
}

bool Replace(const char* from, const char* to) { return std::rename(from, to) == 0; }
#endif

}  // namespace

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

void KvFileHandle::Adopt(std::FILE* stream) {
  handle_ = stream;
  writeError_ = false;
  size_ = 0;
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
  char resolved[kMaxPath];
  const char* target = Resolve(fileName_.View(), resolved);
  if (!Replaceable(target)) {
    // A device or a pipe takes the bytes as they come.
    file_.Open(target, KvFileHandle::kWrite | KvFileHandle::kBinary);
    return IsValid();
  }
  char name[kMaxPath];
  if (TemporaryPathFor(fileName_.View(), name, sizeof name) == nullptr) return false;
  std::FILE* stream = CreateExclusive(name, target);
  if (stream == nullptr) {
    // A file of that name can only be left over from an earlier run of a process
    // with this id: remove it (a link, not what it points to) and try once more.
    std::remove(name);
    stream = CreateExclusive(name, target);
  }
  if (stream == nullptr) return false;
  targetName_ = KvString(target);
  temporaryName_ = KvString(name);
  file_.Adopt(stream);
  return IsValid();
}

bool KvArchiveStoreFile::Close() {
  file_.Close();
  if (temporaryName_.Length() > 0) {
    std::remove(temporaryName_.View());
    temporaryName_.Clear();
  }
  return true;
}

bool KvArchiveStoreFile::Commit() {
  if (!file_.IsOpen()) return false;
  bool committed = file_.Close();
  if (temporaryName_.Length() > 0) {
    committed = committed && Replace(temporaryName_.View(), targetName_.View());
    if (committed) temporaryName_.Clear();
  }
  Close();  // removes the temporary file unless it became the target
  return committed;
}

char* KvArchiveStoreFile::TemporaryPathFor(const char* target, char* buffer, uint32_t size) {
  char resolved[kMaxPath];
  const int length = std::snprintf(buffer, size, "%s.tmp-%lu", Resolve(target, resolved), ProcessId());
  return length > 0 && static_cast<uint32_t>(length) < size ? buffer : nullptr;
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
