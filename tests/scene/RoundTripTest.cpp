#include "SceneTestSupport.h"

namespace {

using KvRoundTripTest = SceneTest;

TEST_F(KvRoundTripTest, FullSceneInBothByteOrders) {
  // Without an image, the texture's description does not depend on DevIL's state,
  // so a loaded scene must save to exactly the bytes it was loaded from.
  ScenePtr original(BuildSampleScene(""));
  const std::string path = TempPath("saved.kvr");
  ASSERT_TRUE(KvSaveScene(original.get(), path.c_str(), nullptr, 0.01f));
  const Bytes little = ReadFile(path);
  EXPECT_EQ(SaveObject(original.get(), TempPath("little.kvr"), 0), little);
  const Bytes big = SaveObject(original.get(), TempPath("big.kvr"), 1);
  ASSERT_EQ(big.size(), little.size());
  EXPECT_EQ(big[3], 'B');

  for (uint32_t byteOrder : {0u, 1u}) {
    SCOPED_TRACE(byteOrder);
    ScenePtr loaded(LoadScene(byteOrder == 0 ? little : big));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(SaveObject(loaded.get(), TempPath("again.kvr"), byteOrder), byteOrder == 0 ? little : big);
    // References come back as the same objects, and normal offsets are recomputed.
    KvMesh* mesh = loaded->GetMesh(0);
    KvSkeleton* skeleton = loaded->GetSkeleton(0);
    EXPECT_EQ(mesh->GetSkeleton(), skeleton);
    EXPECT_EQ(mesh->GetInfluence(3).joint, skeleton->GetJoint(0));
    EXPECT_EQ(mesh->GetSurface(1)->GetMesh(), mesh);
    EXPECT_EQ(mesh->GetSurface(1)->GetMaterial(), loaded->FindMaterial(KvName("cloth")));
    EXPECT_EQ(loaded->FindMaterial(KvName("cloth"))->GetDiffuseTexture(), loaded->FindTexture(KvName("checker.tga")));
    KvMesh* before = original->GetMesh(0);
    for (uint32_t i = 0; i < 4; ++i) {
      const KvVec3 a = before->GetInfluence(i).normalOffset, b = mesh->GetInfluence(i).normalOffset;
      EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << i;
    }
  }
}

// What the loader guarantees of every scene it returns: each index it stores
// points inside the array it indexes.
void ExpectIndexesInRange(KvScene& scene, size_t at) {
  for (uint32_t m = 0; m < scene.GetNumMeshes(); ++m) {
    KvMesh* mesh = scene.GetMesh(m);
    if (mesh == nullptr) continue;
    for (uint32_t v = 0; v < mesh->GetNumVertices(); ++v) {
      const KvVertex* vertex = mesh->GetVertex(v);
      EXPECT_LE(uint64_t{vertex->firstInfluence} + vertex->influenceCount, mesh->GetNumInfluences()) << at;
    }
    for (uint32_t s = 0; s < mesh->GetNumSurfaces(); ++s) {
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

TEST_F(KvRoundTripTest, EveryTruncationFailsAndEveryFlippedByteFailsOrLoadsInRange) {
  ScenePtr original(BuildSampleScene(TempPath("checker.tga")));
  const Bytes bytes = SaveObject(original.get(), TempPath("full.kvr"), 0);
  for (size_t i = 0; i < bytes.size(); ++i) {
    LoadResult cut = LoadBytes(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(i)), KvScene::StaticClass());
    EXPECT_EQ(cut.root, nullptr) << "length " << i;
    EXPECT_NE(cut.error, KvArchiveError::kNone) << "length " << i;
    delete cut.root;
    for (uint8_t mask : {0xFF, 0x01, 0x80}) {
      Bytes patched = bytes;
      patched[i] ^= mask;
      LoadResult result = LoadBytes(patched, KvScene::StaticClass());
      if (result.root == nullptr) {
        EXPECT_NE(result.error, KvArchiveError::kNone) << i;
      } else {
        ExpectIndexesInRange(*static_cast<KvScene*>(result.root), i);
      }
      delete result.root;
    }
  }
}

}  // namespace
