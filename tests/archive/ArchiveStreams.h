// Archive byte streams built by hand, with the name and class-version tables
// gathered from the stream as it is written, and root objects loaded from bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "ArchiveFixtures.h"
#include "kv/Archive.h"

namespace kvtest {

// Builds an archive of version 1710, little-endian or big-endian (or, with `legacy`,
// a little-endian 1699 one: in-line class versions, names as strings, u16 prefixes
// before counts and strings). Write the object stream with the value methods;
// Finish adds header and table block, the class-version table from the versions
// recorded.
class StreamBuilder {
 public:
  // Names in current archives are table indexes: "KvName" is recorded at version 1.
  explicit StreamBuilder(bool legacy = false, bool bigEndian = false) : legacy_(legacy) {
    if (!legacy_) versions_.emplace_back("KvName", 1);
    stream_.big = bigEndian;
  }

  StreamBuilder& U8(uint8_t v) { return Then(stream_.u8(v)); }
  StreamBuilder& U16(uint16_t v) { return Then(stream_.u16(v)); }
  StreamBuilder& U32(uint32_t v) { return Then(stream_.u32(v)); }
  StreamBuilder& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  StreamBuilder& F32(float v) { return Then(stream_.f32(v)); }
  StreamBuilder& Floats(std::initializer_list<float> values) {
    for (float v : values) F32(v);
    return *this;
  }
  StreamBuilder& Raw(const std::vector<uint8_t>& bytes) { return Then(stream_.append(bytes)); }
  // An array or list count (with the legacy prefix in 1699 archives).
  StreamBuilder& Count(uint32_t count) { return (legacy_ ? U16(0) : *this).U32(count); }
  StreamBuilder& Str(const std::string& text) {
    Count(static_cast<uint32_t>(text.size()));
    return Then(stream_.raw(text));
  }
  // A name: an index into the name table (1710) or an in-line "KvName" record and a
  // string (1699).
  StreamBuilder& Name(const std::string& text) {
    if (legacy_) return U16(0).Str(text);
    for (uint32_t i = 0; i < names_.size(); ++i) {
      if (names_[i] == text) return U32(i);
    }
    names_.push_back(text);
    return U32(static_cast<uint32_t>(names_.size() - 1));
  }
  // A class-version record: recorded in the table once (1710) or written in-line (1699).
  StreamBuilder& Version(const std::string& className, uint16_t version) {
    if (legacy_) return U16(version);
    for (const auto& entry : versions_) {
      if (entry.first == className) return *this;
    }
    versions_.emplace_back(className, version);
    return *this;
  }
  // The first reference to an object: index, class name, instance size (never read).
  StreamBuilder& Object(uint32_t index, const std::string& className, uint32_t instanceSize = 64) {
    return U32(index).Name(className).U32(instanceSize);
  }
  StreamBuilder& NullObject() { return U32(0xFFFFFFFFu); }
  StreamBuilder& ObjectPart() { return Version("KvObject", 0); }
  StreamBuilder& NamedPart(const std::string& name) { return ObjectPart().Version("KvNamedObject", 0).Name(name); }

  // For archives written whole by hand: the header, and the bytes as written,
  // without the tables Finish adds.
  StreamBuilder& Header() {
    U8('K').U8('A').U8('V').U8(stream_.big ? 'B' : 'E').U32(legacy_ ? 1699 : 1710);
    return Str("Tarnwell, Inc.").Str("Kavrel Rendering Archive").U32(1000);
  }
  const std::vector<uint8_t>& Get() const { return stream_.data; }

  std::vector<uint8_t> Finish(uint32_t objectCount) const {
    StreamBuilder out(legacy_, stream_.big);
    out.Header();
    if (legacy_) {
      out.U16(0).Count(0);  // empty tables
    } else {
      out.U16(1);
      std::vector<std::vector<std::pair<std::string, uint16_t>>> buckets(KvClassVersionTable::kBucketCount);
      for (const auto& entry : versions_) {
        buckets[KvClassVersionTable::BucketOf(entry.first.data(), static_cast<uint32_t>(entry.first.size()))].push_back(
            entry);
      }
      uint32_t used = 0;
      for (const auto& bucket : buckets) used += bucket.empty() ? 0 : 1;
      out.U32(used);
      for (uint32_t b = 0; b < buckets.size(); ++b) {
        if (buckets[b].empty()) continue;
        out.U32(b).U32(static_cast<uint32_t>(buckets[b].size()));
        for (const auto& entry : buckets[b]) out.Str(entry.first).U16(entry.second);
      }
      out.U32(static_cast<uint32_t>(names_.size()));
      for (const std::string& name : names_) out.Str(name);
    }
    out.U32(objectCount);
    return out.stream_.append(stream_.data).data;
  }

 private:
  bool legacy_;
  StreamBuilder& Then(const archive_test::Bytes&) { return *this; }
  archive_test::Bytes stream_;
  std::vector<std::string> names_;
  std::vector<std::pair<std::string, uint16_t>> versions_;
};

// Loads the root object, of kind T, from `bytes`: null when the archive is not valid
// afterwards, `error` then saying why.
template <typename T>
T* Load(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
  return static_cast<T*>(archive_test::LoadFromBytes(bytes, error, T::StaticClass()));
}

// Whether `bytes` load as a T (which is released again).
template <typename T>
bool Loads(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
  T* object = Load<T>(bytes, error);
  const bool loaded = object != nullptr;
  delete object;
  return loaded;
}

// Loads `bytes` as a T that must load; a failure names the archive's reason.
template <typename T>
std::unique_ptr<T> MustLoad(const std::vector<uint8_t>& bytes) {
  std::string error;
  std::unique_ptr<T> object(Load<T>(bytes, &error));
  EXPECT_NE(object, nullptr) << error;
  return object;
}

// `original` saves to `golden`; `golden`, `original` saved big-endian, and `legacy` (the
// same object in an older archive) load and save back to `golden`. Returns the object
// loaded from `golden`.
template <typename T>
std::unique_ptr<T> ExpectGoldenRoundTrip(T* original, const std::vector<uint8_t>& golden,
                                         const std::vector<uint8_t>& legacy) {
  EXPECT_EQ(archive_test::SaveToBytes(original), golden);
  const std::pair<const char*, std::vector<uint8_t>> forms[] = {
      {"golden", golden}, {"big-endian", archive_test::SaveToBytes(original, 1)}, {"older archive", legacy}};
  for (const auto& [form, bytes] : forms) {
    std::unique_ptr<T> loaded = MustLoad<T>(bytes);
    if (loaded != nullptr) {
      EXPECT_EQ(archive_test::SaveToBytes(loaded.get()), golden) << form;
    }
  }
  return MustLoad<T>(golden);
}

// Why `bytes`, which must not load as a T, fail to load.
template <typename T>
std::string LoadError(const std::vector<uint8_t>& bytes) {
  std::string error;
  EXPECT_FALSE(Loads<T>(bytes, &error)) << "loaded, but expected to fail";
  return error;
}

// Every proper prefix of `bytes` fails to load, and says why.
template <typename T>
void ExpectEveryCutFails(const std::vector<uint8_t>& bytes) {
  for (size_t length = 0; length < bytes.size(); ++length) {
    EXPECT_NE(LoadError<T>(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(length))), "")
        << length;
  }
}

}  // namespace kvtest
