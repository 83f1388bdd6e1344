// Shared helpers of the scene tests: runtime start-up per test, expected-byte
// builders, saving to bytes and loading from bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "kv/Archive.h"
#include "kv/Runtime.h"
#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Morph.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"
#include "kv/Texture.h"

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
  KvArchiveStoreFile* store = KvArchiveStoreFile::Create(path.c_str());
  KvArchive file(store, KvArchive::kModeSave, byteOrder);
  file.Open();
  EXPECT_TRUE(file.IsValid());
  file.CopyTablesFrom(counting);
  file.SerializeObjectReference(root, nullptr, false);
  file.Flush();
  EXPECT_TRUE(file.IsValid() && store->Commit());
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
  KvArray<KvObject*> unowned;
  if (archive.IsValid()) result.root = archive.LoadRoot(expected, unowned);
  EXPECT_TRUE(unowned.Empty()) << "the root owns everything it loaded";
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

// A 2x2 24-bit uncompressed TGA stored bottom row first (descriptor bit 5 clear).
// Top row: red, green; bottom row: blue, white. Pixels are stored B, G, R.
inline Bytes BottomUpTga() {
  return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0,  //
          0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00};
}

// One of everything: a texture "checker.tga" shared by two materials (loaded from
// BottomUpTga written at `tga`, or without an image when `tga` is empty), a three-joint
// skeleton, a skinned two-surface mesh with a morph target, a spot light and a
// camera. 14 objects.
inline KvScene* BuildSampleScene(const std::string& tga) {
  auto* scene = new KvScene();
  auto* texture = new KvTexture(KvName("checker.tga"));
  if (!tga.empty()) {
    WriteFile(tga, BottomUpTga());
    EXPECT_TRUE(texture->LoadImage(KvString(tga.c_str())));
  }
  scene->AddTexture(texture);
  auto* skin = new KvMaterial(KvName("skin"));
  skin->SetDiffuseTexture(texture);
  skin->SetSpecularPower(12.5f);
  skin->SetAmbientColor(KvColor(0.1f, 0.2f, 0.3f, 1));
  auto* cloth = new KvMaterial(KvName("cloth"));
  cloth->SetDiffuseTexture(texture);
  scene->AddMaterial(skin);
  scene->AddMaterial(cloth);

  auto* skeleton = new KvSkeleton();
  KvJoint* parent = nullptr;
  for (const char* name : {"hip", "knee", "ankle"}) {
    auto* joint = new KvJoint(KvName(name));
    joint->SetTranslation(KvVec3{0, -1, 0.5f});
    joint->SetRotation(KvQuat{std::sqrt(0.5f), 0, std::sqrt(0.5f), 0});
    joint->SetScale(KvVec3{1, 1, 1});
    joint->SetParent(parent);
    skeleton->AddJoint(joint);
    parent = joint;
  }
  skeleton->StoreBindPose();
  scene->AddSkeleton(skeleton);

  auto* mesh = new KvMesh();
  mesh->SetName(KvName("leg"));
  mesh->SetNumVertices(4);
  const KvVec3 positions[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}};
  for (uint32_t i = 0; i < 4; ++i) {
    KvVertex v;
    v.position = positions[i];
    v.color = KvColor(1, 1, 1, 1);
    v.firstInfluence = i;
    v.influenceCount = 1;
    mesh->AddVertex(v);
    KvVertexInfluence influence;
    influence.joint = skeleton->GetJoint(i % 3);
    influence.weight = 1;
    influence.positionOffset = KvVec3{0.5f * i, 0, 0};
    mesh->AddInfluence(influence);
  }
  mesh->SetNumTexCoords(2);
  mesh->AddTexCoord(KvTexCoord{0, 1});
  mesh->AddTexCoord(KvTexCoord{1, 0.5f});
  for (uint32_t s = 0; s < 2; ++s) {
    auto* surface = new KvSurface(mesh);
    surface->SetNumTriangles(1);
    surface->AddTriangle(s == 0 ? KvTriangle{{0, 1, 2}, {0, 1, 0}} : KvTriangle{{1, 3, 2}, {1, 1, 0}});
    surface->SetMaterial(s == 0 ? skin : cloth);
    mesh->AddSurface(surface);
  }
  mesh->SetSkeleton(skeleton);
  mesh->ComputeNormals();
  KvMorphTarget target(KvName("bend"));
  for (uint32_t i = 0; i < 4; ++i) {
    KvMorphVertex v;
    v.positionDelta = KvVec3{0, 0, i == 3 ? 0.5f : 0.0f};
    v.vertexIndex = i;
    target.AddMorphVertex(v);
  }
  target.ComputeNormalDeltas(mesh);
  target.RemoveSmallDeltas(mesh, 0.001f);
  auto* controller = new KvMorphController();
  controller->AddMorphTarget(target);
  mesh->SetMorphController(controller);
  scene->AddMesh(mesh);

  auto* light = new KvLight(KvName("sun"));
  light->SetType(KvLight::kSpot);
  light->SetConeAngle(30);
  scene->AddLight(light);
  auto* camera = new KvCamera(KvName("persp"));
  camera->SetPosition(KvVec3{0, 5, -10});
  camera->SetFieldOfView(60);
  scene->AddCamera(camera);
  return scene;
}
