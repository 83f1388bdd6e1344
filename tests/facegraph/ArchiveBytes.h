// Test helpers: saving objects to bytes in either byte order, loading them back from
// memory, and building archive byte streams by hand.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kv/Archive.h"

namespace kvtest {

// Saves `root` with the two-pass protocol into memory, in the given byte order
// (0 little-endian, 1 big-endian).
std::vector<uint8_t> SaveToBytes(KvObject* root, uint32_t byteOrder = 0);

// Loads the root object (of kind `expected`) from `bytes`. Null when the archive is
// not valid afterwards; `error` then says why.
KvObject* LoadFromBytes(const std::vector<uint8_t>& bytes, const KvClass* expected, std::string* error = nullptr);

template <typename T>
T* Load(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
  return static_cast<T*>(LoadFromBytes(bytes, T::StaticClass(), error));
}

// Builds a little-endian archive of version 1710 (or, with `legacy`, 1699: in-line
// class versions and u16 prefixes before counts and strings). Write the object
// stream with the value methods; Finish adds header and table block.
class StreamBuilder {
 public:
  // Names in current archives are table indexes: "KvName" is recorded at version 1.
  explicit StreamBuilder(bool legacy = false) : legacy_(legacy) {
    if (!legacy_) versions_.emplace_back("KvName", 1);
  }

  StreamBuilder& U8(uint8_t v);
  StreamBuilder& U16(uint16_t v);
  StreamBuilder& U32(uint32_t v);
  StreamBuilder& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  StreamBuilder& F32(float v);
  StreamBuilder& Str(const std::string& text);
  // An array or list count (with the legacy prefix in 1699 archives).
  StreamBuilder& Count(uint32_t count);
  // A name: an index into the name table (1710) or a string (1699).
  StreamBuilder& Name(const std::string& text);
  // A class-version record: recorded in the table (1710) or written in-line (1699).
  StreamBuilder& Version(const std::string& className, uint16_t version);
  // The first reference to an object: index, class name, instance size.
  StreamBuilder& Object(uint32_t index, const std::string& className, uint32_t instanceSize = 64);
  StreamBuilder& NullObject() { return U32(0xFFFFFFFFu); }
  // KvObject and KvNamedObject parts.
  StreamBuilder& ObjectPart() { return Version("KvObject", 0); }
  StreamBuilder& NamedPart(const std::string& name) {
    ObjectPart();
    Version("KvNamedObject", 0);
    return Name(name);
  }

  std::vector<uint8_t> Finish(uint32_t objectCount) const;

 private:
  bool legacy_;
  std::vector<uint8_t> stream_;
  std::vector<std::string> names_;
  std::vector<std::pair<std::string, uint16_t>> versions_;
};

}  // namespace kvtest
