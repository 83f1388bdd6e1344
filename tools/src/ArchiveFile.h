// An archive file read whole for inspection (kvr dump, kvr check): its root object
// and tables, or what kept it from loading and where.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "kv/Archive.h"

class LoadedArchive {
 public:
  // Why a file did not load.
  enum class Failure {
    kNone,
    kCannotOpen,          // not there, not readable, or a directory
    kNotAnArchive,        // too short, or not an archive's magic
    kUnsupportedVersion,  // written by a newer archive version
    kTruncated,           // ends before a value it announces
    kCorrupt,             // a count, index or object that breaks the format
    kUnknownClass,        // objects of classes this program does not know
    kTrailingBytes,       // bytes after the object stream
  };

  // Opens `path` and loads its root object (the runtime must be started, and the
  // classes the file uses registered).
  explicit LoadedArchive(const std::string& path);
  // Destroys the loaded objects and closes the archive.
  ~LoadedArchive();
  LoadedArchive(const LoadedArchive&) = delete;
  LoadedArchive& operator=(const LoadedArchive&) = delete;

  bool Loaded() const { return failure_ == Failure::kNone; }
  Failure GetFailure() const { return failure_; }
  // One line saying what is wrong, with the byte offset where that helps.
  const std::string& Error() const { return error_; }
  // What is wrong without the offset, for the failures that have one (truncation,
  // corruption, trailing bytes); "" otherwise.
  const std::string& Detail() const { return detail_; }
  // The byte where the failure was found (0 when there is none to tell).
  uint32_t Offset() const { return offset_; }

  // Null unless Loaded(). Owned by this object, as are the objects reached only
  // through non-owning references (destroyed after the root).
  KvObject* Root() const { return root_; }
  KvArchive& Archive() { return archive_; }
  // The object's index in the archive's object table, or -1 for an object the table
  // does not hold (records stored inside their owner).
  int64_t IndexOf(const KvObject* object) const;

 private:
  void Release();

  KvArchive archive_;
  KvObject* root_ = nullptr;
  KvArray<KvObject*> unowned_;
  Failure failure_ = Failure::kNone;
  std::string error_;
  std::string detail_;
  uint32_t offset_ = 0;
  std::unordered_map<const KvObject*, uint32_t> indexes_;
};
