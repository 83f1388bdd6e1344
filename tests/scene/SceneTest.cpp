#include "SceneTestSupport.h"

#include <cfloat>
#include <functional>

namespace {

using KvSceneTest = SceneTest;

// Saved little-endian through KvSaveScene and big-endian by hand, each equal to
// its golden bytes; each loads and saves back to the same bytes.
void ExpectGolden(KvSceneTest& test, KvScene* built, const Bytes& little, const Bytes& big,
                  const std::function<void(KvScene&)>& checkLoaded) {
  ScenePtr scene(built);
  const std::string path = test.TempPath("little.kvr");
  ASSERT_TRUE(KvSaveScene(scene.get(), path.c_str(), nullptr, 0.01f));
  EXPECT_EQ(ReadFile(path), little);
  EXPECT_EQ(SaveToFile(scene.get(), test.TempPath("big.kvr"), 1), big);
  for (uint32_t order : {0u, 1u}) {
    SCOPED_TRACE(order);
    ScenePtr loaded(LoadScene(order == 0 ? little : big));
    ASSERT_NE(loaded, nullptr);
    checkLoaded(*loaded);
    EXPECT_EQ(SaveToFile(loaded.get(), test.TempPath("again.kvr"), order), order == 0 ? little : big);
  }
}

TEST_F(KvSceneTest, TexturesMaterialsLightsAndCamerasMatchTheirGoldenBytesAndFailedSavesSaySo) {
  // Saving the loaded scene again to the same bytes shows its references came back.
  ExpectGolden(*this, BuildLookScene(), LookSceneBytes(), LookSceneBytes(true), [](KvScene& loaded) {
    EXPECT_FALSE(loaded.FindTexture(KvName("wood"))->HasImage());
    EXPECT_EQ(*++loaded.Lights().begin(), nullptr);
  });
  // The same scene from an archive of 1600 to 1699, which puts a u16 before every
  // string and count, and its class versions in-line.
  ScenePtr legacy(LoadScene(LookSceneBytes(false, true)));
  ASSERT_NE(legacy, nullptr);
  EXPECT_EQ(SaveToFile(legacy.get(), TempPath("legacy.kvr"), 0), LookSceneBytes());
  EXPECT_FALSE(KvSaveScene(nullptr, TempPath("never.kvr").c_str(), nullptr, 0.01f));
  EXPECT_TRUE(ReadFile(TempPath("never.kvr")).empty());
  EXPECT_FALSE(KvSaveScene(legacy.get(), "/nonexistent-directory/scene.kvr", nullptr, 0.01f));
  EXPECT_FALSE(KvSaveScene(legacy.get(), "/dev/full", nullptr, 0.01f));  // bytes that never reach the disk
}

TEST_F(KvSceneTest, SkinnedMorphedMeshMatchesItsGoldenBytesAndItsNormalOffsetsComeBack) {
  ScenePtr original(BuildSkinnedScene());
  const KvVec3 offset = original->GetMesh(0)->GetInfluence(0).normalOffset;
  EXPECT_NE(offset.x * offset.x + offset.y * offset.y + offset.z * offset.z, 0.0f);
  ExpectGolden(*this, original.release(), SkinnedSceneBytes(), SkinnedSceneBytes({}, true), [&offset](KvScene& loaded) {
    KvMesh* mesh = loaded.GetMesh(0);
    EXPECT_EQ(mesh->GetSurface(0)->GetMesh(), mesh);
    const KvVec3 again = mesh->GetInfluence(0).normalOffset;
    EXPECT_EQ(std::memcmp(&again, &offset, sizeof again), 0) << "recomputed on loading";
  });
}

// What the loader guarantees of every scene it returns: each index it stores
// points inside the array it indexes.
void ExpectIndexesInRange(KvScene& scene, size_t at) {
  for (KvMesh* mesh : scene.Meshes()) {
    for (uint32_t v = 0; mesh != nullptr && v < mesh->GetNumVertices(); ++v) {
      const KvVertex* vertex = mesh->GetVertex(v);
      EXPECT_LE(uint64_t{vertex->firstInfluence} + vertex->influenceCount, mesh->GetNumInfluences()) << at;
    }
    for (uint32_t s = 0; mesh != nullptr && s < mesh->GetNumSurfaces(); ++s) {
      KvSurface* surface = mesh->GetSurface(s);
      for (uint32_t t = 0; surface != nullptr && t < surface->GetNumTriangles(); ++t) {
        for (uint32_t c = 0; c < 3; ++c) {
          EXPECT_LT(surface->GetTriangle(t)->vertices[c], mesh->GetNumVertices()) << at;
          if (mesh->GetNumTexCoords() > 0) {
            EXPECT_LT(surface->GetTriangle(t)->texCoords[c], mesh->GetNumTexCoords()) << at;
          }
        }
      }
    }
  }
}

TEST_F(KvSceneTest, EveryTruncationFailsAndEveryFlippedByteFailsOrLoadsInRange) {
  for (const Bytes& bytes : {LookSceneBytes(), SkinnedSceneBytes()}) {
    kvtest::ExpectEveryCutFails<KvScene>(bytes);
    for (size_t i = 0; i < bytes.size(); ++i) {
      for (uint8_t mask : {0xFF, 0x01, 0x80}) {
        Bytes patched = bytes;
        patched[i] ^= mask;
        std::string message;
        ScenePtr scene(kvtest::Load<KvScene>(patched, &message));
        EXPECT_TRUE(scene != nullptr || !message.empty()) << i;
        if (scene != nullptr) ExpectIndexesInRange(*scene, i);
      }
    }
  }
}

TEST_F(KvSceneTest, FindsTakeTheFirstMatchArraysKeepTheirRoomAndBoxesMergeOnlyBoxesWithPoints) {
  KvScene scene;
  auto* first = new KvTexture(KvName("wood"));
  for (KvTexture* texture : {static_cast<KvTexture*>(nullptr), first, new KvTexture(KvName("wood"))}) {
    scene.AddTexture(texture);
  }
  EXPECT_EQ(scene.FindTexture(KvName("wood")), first);
  EXPECT_EQ(scene.FindTexture(KvName("stone")), nullptr);
  KvBoundingBox empty;
  empty.MakeEmpty();
  EXPECT_EQ(empty.min.x, FLT_MAX);
  EXPECT_EQ(empty.max.z, -FLT_MAX);
  KvBoundingBox box = empty;
  box.Expand(KvVec3{-5, -5, -5});
  box.Merge(empty);                                               // the empty box never merges,
  box.Merge(KvBoundingBox(KvVec3{0, 0, 9}, KvVec3{10, 10, 8}));  // nor one inverted on one axis only
  box.Expand(KvVec3{NAN, NAN, NAN});                              // compares as neither below nor above
  ExpectVec(box.min, -5, -5, -5, 0);
  ExpectVec(box.max, -5, -5, -5, 0);
  ExpectVec(KvBoundingBox(KvVec3{-2, 0, 4}, KvVec3{2, 6, 8}).Center(), 0, 3, 6, 0);
  // A scene merges its meshes' boxes; a mesh without vertices has the all-zero box,
  // which takes part, and so has a scene without meshes.
  ExpectVec(scene.GetBoundingBox().max, 0, 0, 0, 0);
  auto* mesh = new KvMesh();
  mesh->SetName(KvName("a"));
  mesh->SetNumVertices(3);
  mesh->AddVertex(At(1, 2, 3));
  mesh->AddVertex(At(4, -5, 6));
  EXPECT_EQ(mesh->GetVertex(2), nullptr) << "room, but no vertex yet";
  mesh->SetNumTexCoords(1);
  EXPECT_TRUE(mesh->AddTexCoord(KvTexCoord{0.5f, 0.25f}));
  EXPECT_FALSE(mesh->AddTexCoord(KvTexCoord{1, 1}));
  mesh->SetNumTexCoords(3);  // room for three, and none yet
  EXPECT_EQ(mesh->GetNumTexCoords(), 0u);
  EXPECT_EQ(mesh->GetTexCoordCapacity(), 3u);
  for (KvMesh* m : {new KvMesh(), mesh, static_cast<KvMesh*>(nullptr)}) scene.AddMesh(m);
  EXPECT_EQ(scene.FindMesh(KvName("a")), mesh);
  EXPECT_EQ(scene.FindMesh(KvName("")), scene.GetMesh(0)) << "an unnamed object answers to the null name";
  EXPECT_EQ(scene.GetMesh(3), nullptr);
  ExpectVec(scene.GetBoundingBox().min, 0, -5, 0, 0);
  ExpectVec(scene.GetBoundingBox().max, 4, 2, 6, 0);
  mesh->AddVertex(At(-7, 8, 0));  // a mesh's cached box follows its vertices
  ExpectVec(scene.GetBoundingBox().min, -7, -5, 0, 0);
  ExpectVec(scene.GetBoundingBox().max, 4, 8, 6, 0);
}

TEST_F(KvSceneTest, CameraSettersInvalidateMatricesOnlyForChangesOfAtLeastEpsilon) {
  // FLT_EPSILON itself is a change; the float just below it, either way, is not.
  const float eps = 1.1920929e-7f, below = std::nextafter(eps, 0.0f);
  KvCamera fresh;
  fresh.SetPosition(KvVec3{0, below, -below});
  fresh.SetRotation(KvVec3{-below, 0, below});
  ExpectVec(fresh.GetPosition(), 0, 0, 0, 0);
  ExpectVec(fresh.GetRotation(), 0, 0, 0, 0);
  fresh.SetPosition(KvVec3{-eps, 0, eps});
  fresh.SetRotation(KvVec3{0, -eps, 0});
  ExpectVec(fresh.GetPosition(), -eps, 0, eps, 0);
  ExpectVec(fresh.GetRotation(), 0, -eps, 0, 0);
  // The golden camera, loaded with its view, second and projection matrices valid.
  Bytes bytes = LookSceneBytes();
  for (size_t back : {216u, 144u, 72u}) bytes[bytes.size() - back] = 1;
  const std::pair<void (*)(KvCamera&), std::string> cases[] = {
      {[](KvCamera& c) {
         c.SetPosition(c.GetPosition());
         c.SetRotation(c.GetRotation());
         c.SetProjectionType(1);
         c.SetFieldOfView(90);
       },
       "vsp"},
      {[](KvCamera& c) { c.SetPosition(KvVec3{1, 2, 4}); }, "--p"},
      {[](KvCamera& c) { c.SetRotation(KvVec3{0, 0, 0}); }, "--p"},
      {[](KvCamera& c) { c.SetProjectionType(0); }, "vs-"},
      {[](KvCamera& c) { c.SetFieldOfView(45); }, "vs-"},
  };
  for (const auto& [change, left] : cases) {
    ScenePtr scene(LoadScene(bytes));
    KvCamera& camera = **scene->Cameras().begin();
    change(camera);
    EXPECT_EQ(std::string() + (camera.IsViewMatrixValid() ? 'v' : '-') + (camera.IsSecondMatrixValid() ? 's' : '-') +
                  (camera.IsProjectionMatrixValid() ? 'p' : '-'),
              left);
  }
}

TEST_F(KvSceneTest, RegistersTheElevenClassesInOrderOnceAndKeepsImagesUntilTheLastShutDown) {
  // Start over so that this test sees the registration order of start-up itself.
  ShutDownSceneClasses();
  KvRuntimeShutdown();
  KvRuntimeStartupDefault();
  const uint32_t before = KvGetClassRegistry()->Size();
  RegisterSceneClasses();
  std::string names;
  for (uint32_t i = before; i < KvGetClassRegistry()->Size(); ++i) {
    names += std::string((*KvGetClassRegistry())[i]->GetName().GetAsCString()) + " ";
  }
  EXPECT_EQ(names, "KvCamera KvLight KvMaterial KvSurface KvMesh KvMorphController KvMorphTarget KvScene KvJoint "
                   "KvSkeleton KvTexture ");
  // A second start-up registers nothing, and its shut-down leaves the first one's
  // images alone.
  KvTexture texture;
  const std::string tga = TempPath("still.tga");
  WriteFile(tga, BottomUpTga());
  ASSERT_TRUE(texture.LoadImage(KvString(tga.c_str())));
  RegisterSceneClasses();
  EXPECT_EQ(KvGetClassRegistry()->Size(), before + 11);
  ShutDownSceneClasses();
  ASSERT_NE(texture.GetPixels(), nullptr);
  EXPECT_EQ(texture.GetPixels()[2], 0xFF);  // top-left red, stored B, G, R
}

}  // namespace
