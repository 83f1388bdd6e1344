#include "ArchiveFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

LoadedArchive::Failure FailureOf(KvArchiveError error) {
  switch (error) {
    case KvArchiveError::kCannotOpen:
      return LoadedArchive::Failure::kCannotOpen;
    case KvArchiveError::kNotAnArchive:
      return LoadedArchive::Failure::kNotAnArchive;
    case KvArchiveError::kUnsupportedVersion:
      return LoadedArchive::Failure::kUnsupportedVersion;
    case KvArchiveError::kTruncated:
      return LoadedArchive::Failure::kTruncated;
    default:
      return LoadedArchive::Failure::kCorrupt;
  }
}

}  // namespace

LoadedArchive::LoadedArchive(const std::string& path)
    : archive_(KvArchiveStoreFile::Create(path.c_str()), KvArchive::kModeLoad, 0) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    failure_ = Failure::kCannotOpen;
    error_ = "is a directory, not an archive";
    return;
  }
  archive_.Open();
  if (archive_.IsValid()) root_ = archive_.LoadRoot(nullptr, unowned_);
  if (root_ == nullptr) {
    if (archive_.IsValid() || archive_.GetUnknownClassCount() > 0) {
      failure_ = Failure::kUnknownClass;
      error_ = "the root object is of a class this program does not know";
      return;
    }
    failure_ = FailureOf(archive_.GetError());
    error_ = KvDescribeArchiveError(archive_).View();
    if (failure_ == Failure::kTruncated || failure_ == Failure::kCorrupt) {
      detail_ = archive_.GetErrorDetail();
      offset_ = archive_.GetErrorOffset();
    }
    if (failure_ == Failure::kCannotOpen) {
      // Say why, in the system's words.
      errno = 0;
      std::FILE* file = std::fopen(path.c_str(), "rb");
      if (file != nullptr) std::fclose(file);
      error_ = std::string("cannot be opened: ") + (errno != 0 ? std::strerror(errno) : "unknown reason");
    }
    return;
  }
  if (archive_.GetUnknownClassCount() > 0) {
    failure_ = Failure::kUnknownClass;
    error_ = std::to_string(archive_.GetUnknownClassCount()) +
             " object(s) of classes this program does not know; the bytes after them cannot be read";
    offset_ = archive_.Position();
  } else if (archive_.BytesLeft() > 0) {
    failure_ = Failure::kTrailingBytes;
    offset_ = archive_.Position();
    detail_ = std::to_string(archive_.BytesLeft()) + " unexpected byte(s) after the object stream";
    error_ = detail_ + " at byte " + std::to_string(offset_);
  }
  if (!Loaded()) {
    Release();
    return;
  }
  const KvArray<KvObject*>& objects = archive_.GetTables()->objects;
  for (uint32_t i = 0; i < objects.Size(); ++i) {
    if (objects[i] != nullptr) indexes_.emplace(objects[i], i);
  }
}

void LoadedArchive::Release() {
  delete root_;
  root_ = nullptr;
  for (KvObject* object : unowned_) delete object;
  unowned_.Clear();
}

LoadedArchive::~LoadedArchive() {
  Release();
  archive_.Close();
}

int64_t LoadedArchive::IndexOf(const KvObject* object) const {
  const auto found = indexes_.find(object);
  return found != indexes_.end() ? static_cast<int64_t>(found->second) : -1;
}
