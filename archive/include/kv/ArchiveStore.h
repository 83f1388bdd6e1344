// Byte stores under an archive: a file, or a null store that only counts.
//
// Stores are allocated with KvAllocate (the Create functions), handed to an archive,
// and released by the archive's Close: InstanceSize, Close, Destroy, KvFree.
#pragma once

#include <cstdint>
#include <cstdio>

#include "kv/String.h"

class KvArchiveStore {
 public:
  virtual bool IsValid() = 0;
  // Open for sequential reading / writing; both return IsValid().
  virtual bool OpenForReading() = 0;
  virtual bool OpenForWriting() = 0;
  virtual bool Close() = 0;
  // Move `count` bytes. True only when all of them moved (a short read or write,
  // at the end of a file or on a full disk, returns false).
  virtual bool Read(void* buffer, uint32_t count) = 0;
  virtual bool Write(const void* buffer, uint32_t count) = 0;
  virtual uint32_t Tell() = 0;
  virtual void Seek(uint32_t position) = 0;
  // The size of the stored data as known to the store (a file's size when opened
  // for reading).
  virtual uint32_t Size() = 0;
  virtual ~KvArchiveStore() = default;
  // Runs the destructor in place without releasing the memory.
  virtual void Destroy() = 0;
  virtual uint32_t InstanceSize() = 0;
};

// A stdio stream and the size measured when it was opened.
class KvFileHandle {
 public:
  // Flag bits of Open.
  static constexpr uint32_t kMeasureSize = 1;
  static constexpr uint32_t kWrite = 2;
  static constexpr uint32_t kBinary = 8;

  KvFileHandle() = default;
  KvFileHandle(const KvFileHandle&) = delete;
  KvFileHandle& operator=(const KvFileHandle&) = delete;
  ~KvFileHandle() { Close(); }

  bool Open(const char* path, uint32_t flags);
  // Takes over a stream opened elsewhere (for writing; its size is not measured).
  void Adopt(std::FILE* stream);
  uint32_t Read(void* buffer, uint32_t count);
  uint32_t Write(const void* buffer, uint32_t count);
  uint32_t Tell();
  void Seek(uint32_t position);
  uint32_t GetSize() const { return size_; }
  // Flushes and closes; false when the stream reported an error (for example a
  // full disk at the final flush).
  bool Close();
  bool IsOpen() const { return handle_ != nullptr; }
  // True once a write or flush on the stream failed.
  bool HasWriteError() const { return writeError_; }

 private:
  std::FILE* handle_ = nullptr;
  uint32_t size_ = 0;
  bool writeError_ = false;
};

// A file. Writing is atomic: the bytes go to a temporary file beside the target,
// which replaces the target (keeping the target's permissions, or those of a new
// file) only when Commit finds every byte written and the file closed cleanly.
// Closing without Commit, or any failure, removes the temporary file and leaves
// an existing target as it was. A target that is a link stays one: the file it
// names is replaced. A target that cannot be replaced (a device, a pipe) is
// written directly.
class KvArchiveStoreFile : public KvArchiveStore {
 public:
  explicit KvArchiveStoreFile(const char* path) : fileName_(path) {}
  ~KvArchiveStoreFile() override { Close(); }
  static KvArchiveStoreFile* Create(const char* path);

  bool IsValid() override { return file_.IsOpen(); }
  bool OpenForReading() override;
  // Creates the temporary file; false when it cannot be created.
  bool OpenForWriting() override;
  // Closes the file; a temporary file that was not committed is removed.
  bool Close() override;
  // Writing: closes the temporary file and renames it over the target. False (and
  // the temporary file removed, the target untouched) when a write, the close or
  // the rename failed.
  bool Commit();
  bool Read(void* buffer, uint32_t count) override;
  bool Write(const void* buffer, uint32_t count) override;
  uint32_t Tell() override { return file_.Tell(); }
  void Seek(uint32_t position) override { file_.Seek(position); }
  uint32_t Size() override { return file_.GetSize(); }
  void Destroy() override { this->~KvArchiveStoreFile(); }
  uint32_t InstanceSize() override { return static_cast<uint32_t>(sizeof(KvArchiveStoreFile)); }

  const KvString& FileName() const { return fileName_; }
  // True once a write, flush or close of the file failed.
  bool HasWriteError() const { return file_.HasWriteError(); }

  // The temporary file a save of `target` by this process writes first: the
  // target's name followed by ".tmp-" and the process id. Fills `buffer` (of
  // `size` bytes) and returns it; a process that is interrupted can remove the
  // file by this name from a signal handler. Null when the name does not fit.
  static char* TemporaryPathFor(const char* target, char* buffer, uint32_t size);

 private:
  KvString fileName_;
  KvString targetName_;     // while writing: the file that Commit replaces
  KvString temporaryName_;  // while writing: the file that Commit renames
  KvFileHandle file_;
};

class KvArchiveStoreNull : public KvArchiveStore {
 public:
  static KvArchiveStoreNull* Create();

  bool IsValid() override { return true; }
  bool OpenForReading() override { return true; }
  bool OpenForWriting() override { return true; }
  bool Close() override { return true; }
  bool Read(void*, uint32_t) override { return true; }
  bool Write(const void*, uint32_t count) override {
    byteCount_ += count;
    return true;
  }
  uint32_t Tell() override { return 0; }
  void Seek(uint32_t) override {}
  uint32_t Size() override { return 0; }
  void Destroy() override { this->~KvArchiveStoreNull(); }
  uint32_t InstanceSize() override { return static_cast<uint32_t>(sizeof(KvArchiveStoreNull)); }

  uint32_t ByteCount() const { return byteCount_; }

 private:
  uint32_t byteCount_ = 0;
};

// An in-memory store over a caller's byte buffer (read-only) or a growing buffer
// (write). Used to load archives from memory (tools, fuzzing, tests).
class KvArchiveStoreMemory : public KvArchiveStore {
 public:
  KvArchiveStoreMemory(const uint8_t* bytes, uint32_t size) : readBytes_(bytes), size_(size) {}
  static KvArchiveStoreMemory* Create(const uint8_t* bytes, uint32_t size);

  bool IsValid() override { return open_; }
  bool OpenForReading() override {
    open_ = readBytes_ != nullptr || size_ == 0;
    position_ = 0;
    return open_;
  }
  bool OpenForWriting() override { return false; }
  bool Close() override {
    open_ = false;
    return true;
  }
  bool Read(void* buffer, uint32_t count) override;
  bool Write(const void*, uint32_t) override { return false; }
  uint32_t Tell() override { return position_; }
  void Seek(uint32_t position) override { position_ = position < size_ ? position : size_; }
  uint32_t Size() override { return size_; }
  void Destroy() override { this->~KvArchiveStoreMemory(); }
  uint32_t InstanceSize() override { return static_cast<uint32_t>(sizeof(KvArchiveStoreMemory)); }

 private:
  const uint8_t* readBytes_;
  uint32_t size_;
  uint32_t position_ = 0;
  bool open_ = false;
};
