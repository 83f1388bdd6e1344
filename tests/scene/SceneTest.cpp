#include "SceneTestSupport.h"

#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Skeleton.h"
#include "kv/Texture.h"

namespace {

using KvSceneTest = SceneTest;

TEST_F(KvSceneTest, EmptySceneIsSixZeroCounts) {
  KvScene scene;
  const std::string path = TempPath("empty.kvr");
  ASSERT_TRUE(KvSaveScene(&scene, path.c_str(), nullptr, 0.01f));

  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kSceneClass, kObjectClass}, {"KvScene"}, 1);
  w.U32(0).U32(0).U32(sizeof(KvScene));
  for (int i = 0; i < 6; ++i) w.U32(0);
  EXPECT_EQ(ReadFile(path), w.Get());

  KvString error;
  ScenePtr loaded(KvLoadScene(path.c_str(), &error));
  ASSERT_NE(loaded, nullptr) << error.View();
  EXPECT_EQ(KvLoadScene(TempPath("missing.kvr").c_str(), &error), nullptr);
  EXPECT_NE(std::string(error.View()).find("cannot be opened"), std::string::npos) << error.View();
  EXPECT_EQ(loaded->GetNumTextures() + loaded->GetNumMaterials() + loaded->GetNumSkeletons() +
                loaded->GetNumMeshes() + loaded->GetNumLights() + loaded->GetNumCameras(),
            0u);
}

TEST_F(KvSceneTest, FindsReturnTheFirstMatchAndSkipNullEntries) {
  KvScene scene;
  auto* first = new KvTexture(KvName("wood"));
  auto* second = new KvTexture(KvName("wood"));
  scene.AddTexture(nullptr);
  scene.AddTexture(first);
  scene.AddTexture(second);
  EXPECT_EQ(scene.GetNumTextures(), 3u);
  EXPECT_EQ(scene.FindTexture(KvName("wood")), first);
  EXPECT_EQ(scene.FindTexture(KvName("stone")), nullptr);

  auto* material = new KvMaterial(KvName("skin"));
  scene.AddMaterial(material);
  EXPECT_EQ(scene.FindMaterial(KvName("skin")), material);
  EXPECT_EQ(scene.FindMaterial(KvName("wood")), nullptr);
  auto* mesh = new KvMesh();
  mesh->SetName(KvName("a"));
  scene.AddMesh(new KvMesh());
  scene.AddMesh(mesh);
  EXPECT_EQ(scene.FindMesh(KvName("a")), mesh);
  EXPECT_EQ(scene.FindMesh(KvName("")), scene.GetMesh(0)) << "an unnamed object answers to the null name";
}

TEST_F(KvSceneTest, ReadsAVersion1600Scene) {
  // Archives of 1600 to 1699 put a u16 before every string and count, and their
  // class versions in-line; here a scene with an empty skeleton and a light.
  ByteWriter w;
  w.Raw({'K', 'A', 'V', 'E'}).U32(1600);
  w.U16(0).Str("Tarnwell, Inc.").U16(0).Str("Kavrel Rendering Archive").U32(1000);
  w.U16(0);  // no class table
  w.U16(0).U32(4);
  for (const char* name : {"KvScene", "KvSkeleton", "KvLight", "sun"}) w.U16(0).U16(0).Str(name);
  w.U32(3);
  auto name = [&w](uint32_t index) { w.U16(1).U32(index); };  // KvName's in-line version, then the index
  w.U32(0);
  name(0);
  w.U32(sizeof(KvScene)).U16(0).U16(0);  // KvObject, KvScene versions
  w.U16(0).U32(0).U16(0).U32(0);         // textures, materials
  w.U16(0).U32(1).U32(1);
  name(1);
  w.U32(sizeof(KvSkeleton)).U16(0).U16(1).U16(0).U32(0);  // versions, then no joints
  w.U16(0).U32(0);                                        // meshes
  w.U16(0).U32(1).U32(2);
  name(2);
  w.U32(sizeof(KvLight)).U16(0).U16(0);
  name(3);
  w.U16(0).U32(3).Floats({1, 2, 3, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 10000, 1, 0, 0, 0, 0, 45});
  w.U32(1);
  w.U16(0).U32(0);  // cameras
  ScenePtr scene(LoadScene(w.Get()));
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->GetSkeleton(0)->GetNumJoints(), 0u);
  KvLight* light = *scene->Lights().begin();
  EXPECT_TRUE(light->GetName() == "sun");
  EXPECT_EQ(light->GetType(), KvLight::kDirectional);
  EXPECT_EQ(light->GetPosition().z, 3.0f);
  EXPECT_EQ(light->GetConeAngle(), 45.0f);
}

TEST_F(KvSceneTest, NullListEntryIsWrittenAsANullReference) {
  KvScene scene;
  scene.AddLight(nullptr);
  const Bytes bytes = SaveObject(&scene, TempPath("null.kvr"), 0);
  ByteWriter tail;
  tail.U32(1).U32(0xFFFFFFFF).U32(0);  // lights: one null entry; cameras: none
  ASSERT_GE(bytes.size(), tail.Size());
  EXPECT_TRUE(std::equal(tail.Get().begin(), tail.Get().end(), bytes.end() - static_cast<long>(tail.Size())));

  ScenePtr loaded(LoadScene(bytes));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetNumLights(), 1u);
  EXPECT_EQ(*loaded->Lights().begin(), nullptr);
}

TEST_F(KvSceneTest, BoundingBoxMergesMeshes) {
  KvScene scene;
  EXPECT_EQ(scene.GetBoundingBox().min.x, 0.0f);  // no meshes: all zero
  auto* empty = new KvMesh();  // no vertices: the all-zero box, which takes part
  scene.AddMesh(empty);
  EXPECT_EQ(scene.GetBoundingBox().max.x, 0.0f);

  auto* mesh = new KvMesh();
  mesh->SetNumVertices(3);
  KvVertex v;
  v.position = KvVec3{1, 2, 3};
  mesh->AddVertex(v);
  EXPECT_EQ(mesh->GetBoundingBox().min.x, 1.0f);
  v.position = KvVec3{4, -5, 6};
  mesh->AddVertex(v);  // a mesh's cached box follows its vertices
  scene.AddMesh(mesh);
  scene.AddMesh(nullptr);
  const KvBoundingBox box = scene.GetBoundingBox();
  EXPECT_EQ(box.min.x, 0.0f);
  EXPECT_EQ(box.min.y, -5.0f);
  EXPECT_EQ(box.max.x, 4.0f);
  EXPECT_EQ(box.max.z, 6.0f);
  v.position = KvVec3{-7, 0, 0};
  mesh->AddVertex(v);
  EXPECT_EQ(scene.GetBoundingBox().min.x, -7.0f);
}

TEST_F(KvSceneTest, SaveFailsForNullSceneUnopenablePathAndFullDisk) {
  KvScene scene;
  EXPECT_FALSE(KvSaveScene(nullptr, TempPath("never.kvr").c_str(), nullptr, 0.01f));
  EXPECT_TRUE(ReadFile(TempPath("never.kvr")).empty());
  EXPECT_FALSE(KvSaveScene(&scene, "/nonexistent-directory/scene.kvr", nullptr, 0.01f));
  // Bytes that never reach the disk make a failed save too.
  EXPECT_FALSE(KvSaveScene(&scene, "/dev/full", nullptr, 0.01f));
}

TEST_F(KvSceneTest, RegistersTheElevenClassesInOrder) {
  // Start over so that this test sees the registration order of start-up itself.
  ShutDownSceneClasses();
  KvRuntimeShutdown();
  KvRuntimeStartupDefault();
  EXPECT_EQ(KvFindClass(KvName("KvScene")), nullptr);
  const uint32_t before = KvGetClassRegistry()->Size();
  RegisterSceneClasses();
  const char* expected[] = {"KvCamera",          "KvLight",       "KvMaterial", "KvSurface",
                            "KvMesh",            "KvMorphController", "KvMorphTarget", "KvScene",
                            "KvJoint",           "KvSkeleton",    "KvTexture"};
  KvArray<KvClass*>& registry = *KvGetClassRegistry();
  ASSERT_EQ(registry.Size(), before + 11);
  for (uint32_t i = 0; i < 11; ++i) EXPECT_TRUE(registry[before + i]->GetName() == expected[i]) << expected[i];
  EXPECT_EQ(KvSkeleton::StaticClass()->GetVersion(), 1u);
  EXPECT_EQ(KvSurface::StaticClass()->GetBase(), KvObject::StaticClass());
  EXPECT_EQ(KvTexture::StaticClass()->GetBase(), KvNamedObject::StaticClass());
  // A second start-up registers nothing, and its shut-down leaves the first one's
  // images alone.
  KvTexture texture;
  const std::string tga = TempPath("still.tga");
  WriteFile(tga, BottomUpTga());
  ASSERT_TRUE(texture.LoadImage(KvString(tga.c_str())));
  RegisterSceneClasses();
  EXPECT_EQ(registry.Size(), before + 11);
  ShutDownSceneClasses();
  EXPECT_EQ(texture.GetWidth(), 2u);
  ASSERT_NE(texture.GetPixels(), nullptr);
  EXPECT_EQ(texture.GetPixels()[2], 0xFF);  // top-left red, stored B, G, R
}

}  // namespace
