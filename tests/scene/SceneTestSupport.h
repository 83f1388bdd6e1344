// Shared helpers of the scene tests: runtime start-up per test, expected-byte
// builders, saving to bytes and loading from bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "kv/Archive.h"
#include "kv/Runtime.h"
#include "kv/Scene.h"

using Bytes = std::vector<uint8_t>;

// Starts the runtime and the scene model for one test, and stops them after it.
class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KvRuntimeStartupDefault();
    RegisterSceneClasses();
  }
  void TearDown() override {
    ShutDownSceneClasses();
    KvRuntimeShutdown();
  }

  // A fresh path in the test's temporary directory.
  std::string TempPath(const std::string& name) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + info->test_suite_name() + "_" + info->name() + "_" + name;
  }
};

// Builds expected bytes in one byte order.
class ByteWriter {
 public:
  explicit ByteWriter(bool bigEndian = false) : big_(bigEndian) {}

  ByteWriter& U8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  ByteWriter& U16(uint16_t v) { return Ordered(v, 2); }
  ByteWriter& U32(uint32_t v) { return Ordered(v, 4); }
  ByteWriter& F32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return Ordered(v, 4);
  }
  ByteWriter& Floats(std::initializer_list<float> values) {
    for (float f : values) F32(f);
    return *this;
  }
  ByteWriter& Str(const std::string& s) {
    U32(static_cast<uint32_t>(s.size()));
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
  }
  ByteWriter& Raw(const Bytes& raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }
  // The header of every archive this system writes.
  ByteWriter& Header() {
    bytes_.insert(bytes_.end(), {'K', 'A', 'V', static_cast<uint8_t>(big_ ? 'B' : 'E')});
    U32(1710).Str("Tarnwell, Inc.").Str("Kavrel Rendering Archive").U32(1000);
    return *this;
  }
  // An identity matrix in its serialized form (flags 3, then row order).
  ByteWriter& IdentityMatrix() {
    U32(3);
    return Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  }
  const Bytes& Get() const { return bytes_; }
  size_t Size() const { return bytes_.size(); }

 private:
  ByteWriter& Ordered(uint32_t v, int size) {
    for (int i = 0; i < size; ++i) {
      const int shift = big_ ? 8 * (size - 1 - i) : 8 * i;
      bytes_.push_back(static_cast<uint8_t>(v >> shift));
    }
    return *this;
  }

  bool big_;
  Bytes bytes_;
};

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Saves `root` with the two-pass protocol in the given byte order (KvSaveScene
// always writes little-endian) and returns the file's bytes.
inline Bytes SaveObject(KvObject* root, const std::string& path, uint32_t byteOrder) {
  KvArchive counting(KvArchiveStoreNull::Create(), KvArchive::kModeCount, 0);
  counting.Open();
  counting.SerializeObjectReference(root, nullptr, false);
  KvArchive file(KvArchiveStoreFile::Create(path.c_str()), KvArchive::kModeSave, byteOrder);
  file.Open();
  EXPECT_TRUE(file.IsValid());
  file.CopyTablesFrom(counting);
  file.SerializeObjectReference(root, nullptr, false);
  EXPECT_TRUE(file.IsValid());
  file.Close();
  counting.Close();
  return ReadFile(path);
}

// Loads a root of `expected` class from bytes, each time from a fresh copy so that
// the address sanitizer sees any read past the end. Null when the load fails;
// `error` receives the archive's one-line description.
struct LoadResult {
  KvObject* root = nullptr;
  KvArchiveError error = KvArchiveError::kNone;
  std::string message;
};

inline LoadResult LoadBytes(const Bytes& bytes, const KvClass* expected) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + 1]);
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
  KvArchive archive(KvArchiveStoreMemory::Create(copy.get(), static_cast<uint32_t>(bytes.size())),
                    KvArchive::kModeLoad, 0);
  archive.Open();
  LoadResult result;
  if (archive.IsValid()) result.root = archive.LoadRoot(expected);
  result.error = archive.GetError();
  result.message = KvDescribeArchiveError(archive).View();
  archive.Close();
  return result;
}

inline KvScene* LoadScene(const Bytes& bytes) {
  LoadResult result = LoadBytes(bytes, KvScene::StaticClass());
  EXPECT_NE(result.root, nullptr) << result.message;
  return static_cast<KvScene*>(result.root);
}

// Owns a scene for the length of a test body.
struct SceneDeleter {
  void operator()(KvScene* scene) const { delete scene; }
};
using ScenePtr = std::unique_ptr<KvScene, SceneDeleter>;

// Class-version buckets (hash & 127) of the classes a scene records, computed by
// hand from the name hash h = h * 33 + byte, starting at 5381.
struct ClassEntry {
  uint32_t bucket;
  const char* name;
  uint16_t version;
};
inline constexpr ClassEntry kName{7, "KvName", 1};
inline constexpr ClassEntry kNamedObject{34, "KvNamedObject", 0};
inline constexpr ClassEntry kSurfaceClass{47, "KvSurface", 0};
inline constexpr ClassEntry kSceneClass{52, "KvScene", 0};
inline constexpr ClassEntry kTextureClass{55, "KvTexture", 0};
inline constexpr ClassEntry kLightClass{62, "KvLight", 0};
inline constexpr ClassEntry kJointClass{74, "KvJoint", 0};
inline constexpr ClassEntry kMorphTargetClass{83, "KvMorphTarget", 0};
inline constexpr ClassEntry kMaterialClass{85, "KvMaterial", 0};
inline constexpr ClassEntry kSkeletonClass{107, "KvSkeleton", 1};
inline constexpr ClassEntry kCameraClass{111, "KvCamera", 0};
inline constexpr ClassEntry kMorphControllerClass{112, "KvMorphController", 0};
inline constexpr ClassEntry kMeshClass{115, "KvMesh", 0};
inline constexpr ClassEntry kObjectClass{125, "KvObject", 0};

// The table block for classes given in ascending bucket order (one per bucket).
inline ByteWriter& TableBlock(ByteWriter& w, std::initializer_list<ClassEntry> classes,
                              std::initializer_list<const char*> names, uint32_t objectCount) {
  w.U16(1).U32(static_cast<uint32_t>(classes.size()));
  for (const ClassEntry& c : classes) w.U32(c.bucket).U32(1).Str(c.name).U16(c.version);
  w.U32(static_cast<uint32_t>(names.size()));
  for (const char* n : names) w.Str(n);
  return w.U32(objectCount);
}
