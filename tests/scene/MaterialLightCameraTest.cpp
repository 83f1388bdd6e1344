#include "SceneTestSupport.h"

#include <cfloat>
#include <cmath>

#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Skeleton.h"
#include "kv/Texture.h"

namespace {

using KvMaterialTest = SceneTest;
using KvLightTest = SceneTest;
using KvCameraTest = SceneTest;

TEST_F(KvMaterialTest, SharedTextureIsWrittenOnceAndDefaultsAreStored) {
  KvScene scene;
  auto* texture = new KvTexture(KvName("wood"));  // holds no image: eight zeros
  scene.AddTexture(texture);
  for (const char* name : {"a", "b"}) {
    auto* material = new KvMaterial(KvName(name));
    material->SetDiffuseTexture(texture);
    scene.AddMaterial(material);
  }
  const Bytes bytes = SaveObject(&scene, TempPath("materials.kvr"), 0);

  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSceneClass, kTextureClass, kMaterialClass, kObjectClass},
             {"KvScene", "KvTexture", "wood", "KvMaterial", "a", "b"}, 4);
  w.U32(0).U32(0).U32(sizeof(KvScene));
  w.U32(1).U32(1).U32(1).U32(sizeof(KvTexture)).U32(2);
  for (int i = 0; i < 8; ++i) w.U32(0);
  w.U32(2);
  for (uint32_t index : {2u, 3u}) {
    w.U32(index).U32(3).U32(sizeof(KvMaterial)).U32(index + 2);
    w.Floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1});
    w.U32(1);  // the texture, by index
    w.Floats({0, 1});
  }
  w.U32(0).U32(0).U32(0).U32(0);
  EXPECT_EQ(bytes, w.Get());

  ScenePtr loaded(LoadScene(bytes));
  ASSERT_NE(loaded, nullptr);
  KvTexture* shared = loaded->FindTexture(KvName("wood"));
  ASSERT_NE(shared, nullptr);
  EXPECT_FALSE(shared->HasImage());
  EXPECT_EQ(loaded->FindMaterial(KvName("a"))->GetDiffuseTexture(), shared);
  EXPECT_EQ(loaded->FindMaterial(KvName("b"))->GetDiffuseTexture(), shared);
  EXPECT_EQ(SaveObject(loaded.get(), TempPath("again.kvr"), 0), bytes);
}

TEST_F(KvMaterialTest, MaterialPointingAtAJointFailsTheLoad) {
  // The texture slot of a material must hold a texture.
  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSceneClass, kJointClass, kMaterialClass, kObjectClass},
             {"KvScene", "KvMaterial", "a", "KvJoint"}, 3);
  w.U32(0).U32(0).U32(sizeof(KvScene)).U32(0);
  w.U32(1).U32(1).U32(1).U32(sizeof(KvMaterial)).U32(2);
  w.Floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1});
  w.U32(2).U32(3).U32(sizeof(KvJoint)).U32(2);
  for (int i = 0; i < 2; ++i) w.Floats({0, 0, 0, 1, 0, 0, 0, 1, 1, 1});
  w.U32(0xFFFFFFFF);
  w.Floats({0, 1});
  w.U32(0).U32(0).U32(0).U32(0);
  LoadResult result = LoadBytes(w.Get(), KvScene::StaticClass());
  EXPECT_EQ(result.root, nullptr);
  EXPECT_EQ(result.error, KvArchiveError::kCorrupt) << result.message;
}

TEST_F(KvLightTest, PointAndSpotLightLayout) {
  KvScene scene;
  auto* point = new KvLight(KvName("p"));
  point->SetPosition(KvVec3{1, 2, 3});
  scene.AddLight(point);
  auto* spot = new KvLight(KvName("s"));
  spot->SetType(KvLight::kSpot);
  spot->SetDirection(KvVec3{0, -1, 0});
  spot->SetColor(KvColor(0.5f, 0.25f, 1, 1));
  spot->SetIntensityColor(KvColor(2, 2, 2, 1));
  spot->SetDropOff(3);
  spot->SetConeAngle(0.78539819f * 57.295776f);  // pi/4 from the host
  scene.AddLight(spot);
  const Bytes bytes = SaveObject(&scene, TempPath("lights.kvr"), 0);

  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSceneClass, kLightClass, kObjectClass}, {"KvScene", "KvLight", "p", "s"}, 3);
  w.U32(0).U32(0).U32(sizeof(KvScene)).U32(0).U32(0).U32(0).U32(0).U32(2);
  w.U32(1).U32(1).U32(sizeof(KvLight)).U32(2).U32(1);
  w.Floats({1, 2, 3, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 1, 1, 1, 1, 1});
  w.Floats({10000, 1, 0, 0, 0, 0, 1.5707964f}).U32(1);
  w.U32(2).U32(1).U32(sizeof(KvLight)).U32(3).U32(2);
  w.Floats({0, 0, 0, 0, -1, 0, 0.5f, 0.25f, 1, 1, 0, 0, 0, 1, 2, 2, 2, 1});
  w.Floats({10000, 1, 0, 3, 0, 0, 0.78539819f * 57.295776f}).U32(1);
  w.U32(0);
  EXPECT_EQ(bytes, w.Get());
  EXPECT_NEAR(spot->GetConeAngle(), 45.0f, 1e-4f);

  ScenePtr loaded(LoadScene(bytes));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(SaveObject(loaded.get(), TempPath("again.kvr"), 0), bytes);
}

TEST_F(KvCameraTest, SavedCameraCarriesIdentityMatricesWithFalseFlags) {
  KvScene scene;
  auto* camera = new KvCamera(KvName("cam"));
  camera->SetPosition(KvVec3{1, 2, 3});
  camera->SetRotation(KvVec3{0.5f, 0, 0});
  camera->SetFieldOfView(45);
  scene.AddCamera(camera);
  const Bytes bytes = SaveObject(&scene, TempPath("camera.kvr"), 0);

  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSceneClass, kCameraClass, kObjectClass}, {"KvScene", "KvCamera", "cam"}, 2);
  w.U32(0).U32(0).U32(sizeof(KvScene)).U32(0).U32(0).U32(0).U32(0).U32(0).U32(1);
  w.U32(1).U32(1).U32(sizeof(KvCamera)).U32(2).U32(0);
  w.Floats({0.7853982f, 1, 1e7f, 1, 1e-8f, FLT_MAX, 1, 1, 1, 2, 3, 0.5f, 0, 0});
  for (int i = 0; i < 3; ++i) {
    w.U32(0);
    w.IdentityMatrix();
  }
  EXPECT_EQ(bytes, w.Get());

  ScenePtr loaded(LoadScene(bytes));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(SaveObject(loaded.get(), TempPath("again.kvr"), 0), bytes);
}

TEST_F(KvCameraTest, SettersIgnoreChangesStrictlyInsideEpsilon) {
  // FLT_EPSILON itself is a change; the float just below it, either way, is not.
  const float below = std::nextafter(FLT_EPSILON, 0.0f);
  KvCamera camera;
  camera.SetPosition(KvVec3{0, below, -below});
  camera.SetRotation(KvVec3{-below, 0, below});
  EXPECT_EQ(camera.GetPosition().y, 0.0f);
  EXPECT_EQ(camera.GetRotation().x, 0.0f);
  camera.SetPosition(KvVec3{0, 0, FLT_EPSILON});
  EXPECT_EQ(camera.GetPosition().z, FLT_EPSILON);
  camera.SetPosition(KvVec3{-FLT_EPSILON, 0, FLT_EPSILON});
  EXPECT_EQ(camera.GetPosition().x, -FLT_EPSILON);
  camera.SetRotation(KvVec3{0, -FLT_EPSILON, 0});
  EXPECT_EQ(camera.GetRotation().y, -FLT_EPSILON);

  KvCamera fresh;
  fresh.SetFieldOfView(45);
  EXPECT_EQ(fresh.GetFieldOfView(), 0.7853982f);
  EXPECT_FALSE(fresh.IsProjectionMatrixValid());
  fresh.SetFieldOfView(90);
  EXPECT_FLOAT_EQ(fresh.GetFieldOfView(), 1.5707964f);
}

}  // namespace
