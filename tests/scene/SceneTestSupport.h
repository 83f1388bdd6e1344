// Shared helpers of the scene tests: runtime start-up per test, expected-byte
// builders, saving to and loading from bytes, and two golden scenes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../archive/ArchiveStreams.h"
#include "kv/Archive.h"
#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Morph.h"
#include "kv/Runtime.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"
#include "kv/Texture.h"

using Bytes = std::vector<uint8_t>;

// The runtime and the scene model, started for the guard's lifetime. The runtime's
// allocator counts blocks: a scene that leaks an object fails the test.
struct SceneRuntime {
  SceneRuntime() {
    archive_test::StartCountingRuntime();
    RegisterSceneClasses();
  }
  ~SceneRuntime() {
    ShutDownSceneClasses();
    archive_test::ShutDownCountingRuntime();
  }
};

// Starts the runtime and the scene model for one test, and stops them after it (and
// after a derived fixture's members).
class SceneTest : public ::testing::Test {
  SceneRuntime runtime_;

 public:
  // A fresh path of this test (and process).
  std::string TempPath(const std::string& name) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return archive_test::TempPath(std::string(info->test_suite_name()) + "_" + info->name() + "_" + name);
  }
};

using kvtest::StreamBuilder;
using ByteWriter = kvtest::StreamBuilder;  // the name the tool and render tests know it by

// A matrix flagged as not valid, holding the identity (flags 3, then row order).
inline StreamBuilder& InvalidIdentity(StreamBuilder& s) {
  return s.U32(0).U32(3).Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
}

using archive_test::ReadFile;
using archive_test::SaveToFile;
using archive_test::WriteFile;

using ScenePtr = std::unique_ptr<KvScene>;

// Loads a scene that must load from a copy of `bytes` of exactly their size (so
// that the address sanitizer sees any read past the end).
inline ScenePtr LoadScene(const Bytes& bytes) { return kvtest::MustLoad<KvScene>(bytes); }

inline KvVertex At(float x, float y, float z) {
  KvVertex v;
  v.position = KvVec3{x, y, z};
  return v;
}

inline void ExpectVec(const KvVec3& v, float x, float y, float z, float tolerance = 1e-6f) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

inline std::vector<std::string> JointNames(const KvSkeleton& skeleton) {
  std::vector<std::string> names;
  for (uint32_t i = 0; i < skeleton.GetNumJoints(); ++i) names.push_back(skeleton.GetJoint(i)->GetName().GetAsCString());
  return names;
}

// A 2x2 24-bit uncompressed TGA stored bottom row first (descriptor bit 5 clear).
// Top row: red, green; bottom row: blue, white. Pixels are stored B, G, R.
inline Bytes BottomUpTga() {
  return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0,  //
          0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00};
}

// ---- Golden scene of surface and view objects -------------------------------------------
// A texture without an image shared by two materials, one of them with every field
// set; a point light, a null list entry and a spot light; a camera.
inline KvScene* BuildLookScene() {
  auto* scene = new KvScene();
  auto* texture = new KvTexture(KvName("wood"));
  scene->AddTexture(texture);
  auto* skin = new KvMaterial(KvName("skin"));
  skin->SetDiffuseColor(KvColor(0.1f, 0.2f, 0.3f, 0.4f));
  skin->SetAmbientColor(KvColor(0.5f, 0.6f, 0.7f, 0.8f));
  skin->SetSpecularColor(KvColor(0.9f, 1.1f, 1.2f, 1.3f));
  skin->SetEmissiveColor(KvColor(1.4f, 1.5f, 1.6f, 1.7f));
  skin->SetSpecularPower(12.5f);
  auto* plain = new KvMaterial(KvName("plain"));
  for (KvMaterial* material : {skin, plain}) {
    material->SetDiffuseTexture(texture);
    scene->AddMaterial(material);
  }
  auto* point = new KvLight(KvName("p"));
  point->SetPosition(KvVec3{1, 2, 3});
  auto* spot = new KvLight(KvName("s"));
  spot->SetType(KvLight::kSpot);
  spot->SetDirection(KvVec3{0, -1, 0});
  spot->SetColor(KvColor(0.5f, 0.25f, 1, 1));
  spot->SetIntensityColor(KvColor(2, 3, 4, 1));
  spot->SetDropOff(3);
  spot->SetConeAngle(45);
  scene->AddLight(point);
  scene->AddLight(nullptr);
  scene->AddLight(spot);
  auto* camera = new KvCamera(KvName("cam"));
  camera->SetProjectionType(1);
  camera->SetPosition(KvVec3{1, 2, 3});
  camera->SetRotation(KvVec3{0.5f, 0.25f, 0.125f});
  camera->SetFieldOfView(90);
  scene->AddCamera(camera);
  return scene;
}

// With `legacy`, the same scene as a 1699 archive stores it (class versions in-line).
inline Bytes LookSceneBytes(bool bigEndian = false, bool legacy = false) {
  StreamBuilder s(legacy, bigEndian);
  s.Object(0, "KvScene", sizeof(KvScene)).ObjectPart().Version("KvScene", 0).Count(1);
  s.Object(1, "KvTexture", sizeof(KvTexture)).NamedPart("wood").Version("KvTexture", 0);
  for (int i = 0; i < 8; ++i) s.U32(0);  // no image: eight zeros
  s.Count(2).Object(2, "KvMaterial", sizeof(KvMaterial)).NamedPart("skin").Version("KvMaterial", 0);
  s.Floats({0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.1f, 1.2f, 1.3f, 1.4f, 1.5f, 1.6f, 1.7f});
  s.U32(1).Floats({12.5f, 1});  // the texture, by index; power, factor
  s.Object(3, "KvMaterial", sizeof(KvMaterial)).NamedPart("plain").Version("KvMaterial", 0);
  s.Floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}).U32(1).Floats({0, 1});
  s.Count(0).Count(0).Count(3);  // no skeletons, no meshes; three lights
  s.Object(4, "KvLight", sizeof(KvLight)).NamedPart("p").Version("KvLight", 0).U32(1);
  s.Floats({1, 2, 3, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 10000, 1, 0, 0, 0, 0, 1.5707964f}).U32(1);
  s.NullObject();
  s.Object(5, "KvLight", sizeof(KvLight)).NamedPart("s").Version("KvLight", 0).U32(2);
  s.Floats({0, 0, 0, 0, -1, 0, 0.5f, 0.25f, 1, 1, 0, 0, 0, 1, 2, 3, 4, 1, 10000, 1, 0, 3, 0, 0, 45}).U32(1);
  s.Count(1).Object(6, "KvCamera", sizeof(KvCamera)).NamedPart("cam").Version("KvCamera", 0).U32(1);
  s.Floats({1.5707964f, 1, 1e7f, 1, 1e-8f, 3.4028235e38f, 1, 1, 1, 2, 3, 0.5f, 0.25f, 0.125f});
  InvalidIdentity(InvalidIdentity(InvalidIdentity(s)));
  return s.Finish(7);
}

// ---- Golden scene of skinned, morphed geometry --------------------------------------------
// The mesh fields that the hostile cases change.
struct MeshFields {
  uint32_t vertexCapacity = 3, vertexCount = 3;
  uint32_t texCoordCapacity = 1, texCoordCount = 1;
  uint32_t influenceCount = 1;
  uint32_t firstInfluence = 0, vertexInfluences = 1;  // of vertex 0
  uint32_t triangleCapacity = 1, triangleCount = 1;
  uint32_t corner2 = 2, texCoord2 = 0;  // indices of the triangle's last corner (stored when counted)
  uint32_t surfaceMaterial = 1;         // the object the surface's material reference names
  bool texCoordPair = true;             // the stored (0.25, 0.75)
};

// A material "skin"; a skeleton whose child joint was added before its root; a
// mesh "m" of the triangle (0,0,0), (1,0,0), (0,1,0) with one texture
// coordinate, one influence on the child joint, one surface of "skin", and a
// morph controller of two targets.
inline KvScene* BuildSkinnedScene() {
  auto* scene = new KvScene();
  auto* skin = new KvMaterial(KvName("skin"));
  scene->AddMaterial(skin);
  auto* skeleton = new KvSkeleton();
  auto* root = new KvJoint(KvName("root"));
  auto* child = new KvJoint(KvName("child"));
  root->SetScale(KvVec3{1, 1, 1});
  child->SetTranslation(KvVec3{1, 2, 3});
  child->SetRotation(KvQuat{0.5f, 0.5f, 0.5f, 0.5f});
  child->SetScale(KvVec3{1, 1, 1});
  skeleton->AddJoint(child);
  skeleton->AddJoint(root);
  child->SetParent(root);
  skeleton->StoreBindPose();
  child->SetTranslation(KvVec3{4, 5, 6});  // after the bind pose: the pose alone changes
  child->SetRotation(KvQuat{0, 0, 1, 0});
  child->SetScale(KvVec3{7, 8, 9});
  scene->AddSkeleton(skeleton);

  auto* mesh = new KvMesh();
  mesh->SetName(KvName("m"));
  mesh->SetNumVertices(3);
  for (KvVertex v : {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0)}) mesh->AddVertex(v);
  mesh->GetVertex(0)->influenceCount = 1;
  mesh->SetNumTexCoords(1);
  mesh->AddTexCoord(KvTexCoord{0.25f, 0.75f});
  mesh->AddInfluence(KvVertexInfluence{child, 0.75f, {0.5f, 0.25f, 0.125f}, {}});
  auto* surface = new KvSurface(mesh);
  surface->SetNumTriangles(1);
  surface->AddTriangle(KvTriangle{{0, 1, 2}, {0, 0, 0}});
  surface->SetMaterial(skin);
  mesh->AddSurface(surface);
  mesh->SetSkeleton(skeleton);
  mesh->ComputeNormals();
  mesh->SetMorphController(new KvMorphController());  // replaced below, which frees it
  auto* controller = new KvMorphController();
  KvMorphTarget first(KvName("t1"));
  first.AddMorphVertex(KvMorphVertex{{1, 2, 3}, {4, 5, 6}, 2});
  KvMorphTarget second(KvName("t2"));
  second.AddMorphVertex(KvMorphVertex{{0.5f, 0, 0}, {0, 0, 0}, 0});
  second.AddMorphVertex(KvMorphVertex{{-1, 0, 0}, {0, 0, 0}, 1});
  controller->AddMorphTarget(first);
  controller->AddMorphTarget(second);
  mesh->SetMorphController(controller);
  mesh->SetMorphController(controller);  // set again: kept
  scene->AddMesh(mesh);
  return scene;
}

inline Bytes SkinnedSceneBytes(const MeshFields& f = {}, bool bigEndian = false) {
  StreamBuilder s(false, bigEndian);
  s.Object(0, "KvScene", sizeof(KvScene)).ObjectPart().Version("KvScene", 0).Count(0);
  s.Count(1).Object(1, "KvMaterial", sizeof(KvMaterial)).NamedPart("skin").Version("KvMaterial", 0);
  s.Floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}).NullObject().Floats({0, 1});
  // Sorted on saving: root first.
  s.Count(1).Object(2, "KvSkeleton", sizeof(KvSkeleton)).ObjectPart().Version("KvSkeleton", 1).Count(2);
  s.Object(3, "KvJoint", sizeof(KvJoint)).NamedPart("root").Version("KvJoint", 0);
  s.Floats({0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1}).NullObject();
  s.Object(4, "KvJoint", sizeof(KvJoint)).NamedPart("child");
  s.Floats({4, 5, 6, 0, 0, 1, 0, 7, 8, 9, 1, 2, 3, 0.5f, 0.5f, 0.5f, 0.5f, 1, 1, 1}).U32(3);  // the parent by index
  s.Count(1).Object(5, "KvMesh", sizeof(KvMesh)).NamedPart("m").Version("KvMesh", 0);
  s.U32(f.vertexCapacity).U32(f.vertexCount);
  const float positions[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  for (int i = 0; i < 3; ++i) {
    s.Floats({positions[i][0], positions[i][1], positions[i][2], 0, 0, -1, 0, 0, 0, 1, 0, 0});
    s.U32(i == 0 ? f.firstInfluence : 0).U32(i == 0 ? f.vertexInfluences : 0);
  }
  s.U32(f.texCoordCapacity).U32(f.texCoordCount);
  if (f.texCoordPair) s.Floats({0.25f, 0.75f});
  s.U32(f.influenceCount).U32(4).Floats({0.75f, 0.5f, 0.25f, 0.125f});
  s.Count(1).Object(6, "KvSurface", sizeof(KvSurface)).ObjectPart().Version("KvSurface", 0);
  s.U32(f.triangleCapacity).U32(f.triangleCount);
  if (f.triangleCount == 1) s.U32(0).U32(1).U32(f.corner2).U32(0).U32(0).U32(f.texCoord2);
  s.U32(f.surfaceMaterial).U32(2);  // the surface's material, the mesh's skeleton
  s.Object(7, "KvMorphController", sizeof(KvMorphController)).ObjectPart().Version("KvMorphController", 0).Count(2);
  s.NamedPart("t1").Version("KvMorphTarget", 0).Count(1).Floats({1, 2, 3, 4, 5, 6}).U32(2);
  s.NamedPart("t2").Count(2).Floats({0.5f, 0, 0, 0, 0, 0}).U32(0).Floats({-1, 0, 0, 0, 0, 0}).U32(1);
  s.Count(0).Count(0);
  return s.Finish(8);
}
