#include "SceneTestSupport.h"

#include <cmath>

#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Morph.h"
#include "kv/Skeleton.h"
#include "kv/Texture.h"

namespace {

class KvRoundTripTest : public SceneTest {
 protected:
  // One of everything: a texture from a 1x1 TGA shared by two materials, a
  // three-joint skeleton, a skinned two-surface mesh with a morph target, a spot
  // light and a camera.
  KvScene* BuildScene() {
    const std::string tga = TempPath("pixel.tga");
    WriteFile(tga, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 10, 20, 30});
    auto* scene = new KvScene();
    auto* texture = new KvTexture(KvName("pixel.tga"));
    EXPECT_TRUE(texture->LoadImage(KvString(tga.c_str())));
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
};

void ExpectSameScene(KvScene& a, KvScene& b) {
  ASSERT_EQ(a.GetNumTextures(), b.GetNumTextures());
  ASSERT_EQ(a.GetNumMaterials(), b.GetNumMaterials());
  ASSERT_EQ(a.GetNumSkeletons(), 1u);
  ASSERT_EQ(b.GetNumSkeletons(), 1u);
  ASSERT_EQ(b.GetNumMeshes(), 1u);
  KvSkeleton* sa = a.GetSkeleton(0);
  KvSkeleton* sb = b.GetSkeleton(0);
  ASSERT_EQ(sa->GetNumJoints(), sb->GetNumJoints());
  for (uint32_t i = 0; i < sa->GetNumJoints(); ++i) {
    EXPECT_EQ(sa->GetJoint(i)->GetName(), sb->GetJoint(i)->GetName());
    const KvMatrix wa = sa->GetJoint(i)->GetWorldTransform();
    const KvMatrix wb = sb->GetJoint(i)->GetWorldTransform();
    for (uint32_t k = 0; k < 16; ++k) EXPECT_EQ(wa[k], wb[k]);
  }
  EXPECT_EQ(sb->GetJoint(2)->GetParent(), sb->GetJoint(1));
  KvMesh* ma = a.GetMesh(0);
  KvMesh* mb = b.GetMesh(0);
  ASSERT_EQ(ma->GetNumVertices(), mb->GetNumVertices());
  for (uint32_t i = 0; i < ma->GetNumVertices(); ++i) {
    EXPECT_EQ(std::memcmp(ma->GetVertex(i), mb->GetVertex(i), sizeof(KvVertex)), 0) << "vertex " << i;
    EXPECT_EQ(mb->GetInfluence(i).joint, sb->GetJoint(i % 3));
    EXPECT_EQ(mb->GetInfluence(i).normalOffset.x, ma->GetInfluence(i).normalOffset.x);
    EXPECT_EQ(mb->GetInfluence(i).normalOffset.z, ma->GetInfluence(i).normalOffset.z);
  }
  EXPECT_EQ(mb->GetTexCoord(1)->v, 0.5f);
  EXPECT_EQ(mb->GetSurface(1)->GetMaterial(), b.FindMaterial(KvName("cloth")));
  EXPECT_EQ(b.FindMaterial(KvName("cloth"))->GetDiffuseTexture(), b.FindTexture(KvName("pixel.tga")));
  EXPECT_EQ(b.FindMaterial(KvName("skin"))->GetSpecularPower(), 12.5f);
  const KvMorphTarget& target = mb->GetMorphController()->GetMorphTarget(0);
  ASSERT_EQ(target.GetNumMorphVertices(), ma->GetMorphController()->GetMorphTarget(0).GetNumMorphVertices());
  EXPECT_EQ(target.GetMorphVertex(target.GetNumMorphVertices() - 1).vertexIndex, 3u);
  EXPECT_EQ((*b.Lights().begin())->GetConeAngle(), 30.0f);
  EXPECT_EQ((*b.Cameras().begin())->GetPosition().z, -10.0f);
  KvTexture* tb = b.FindTexture(KvName("pixel.tga"));
  ASSERT_EQ(tb->GetWidth(), 1u);
  EXPECT_EQ(tb->GetPixels()[2], 30);
}

TEST_F(KvRoundTripTest, FullSceneInBothByteOrders) {
  ScenePtr original(BuildScene());
  const Bytes little = SaveObject(original.get(), TempPath("little.kvr"), 0);
  const Bytes big = SaveObject(original.get(), TempPath("big.kvr"), 1);
  ASSERT_EQ(little.size(), big.size());
  EXPECT_EQ(big[3], 'B');
  EXPECT_NE(little, big);
  // KvSaveScene writes exactly the little-endian form.
  const std::string path = TempPath("saved.kvr");
  ASSERT_TRUE(KvSaveScene(original.get(), path.c_str(), nullptr, 0.01f));
  EXPECT_EQ(ReadFile(path), little);

  ScenePtr fromLittle(LoadScene(little));
  ScenePtr fromBig(LoadScene(big));
  ASSERT_NE(fromLittle, nullptr);
  ASSERT_NE(fromBig, nullptr);
  ExpectSameScene(*original, *fromLittle);
  ExpectSameScene(*original, *fromBig);
  // Both loads hold the same graph: they save to the same bytes.
  EXPECT_EQ(SaveObject(fromLittle.get(), TempPath("a.kvr"), 0), SaveObject(fromBig.get(), TempPath("b.kvr"), 0));
}

TEST_F(KvRoundTripTest, EveryTruncationFailsCleanly) {
  ScenePtr original(BuildScene());
  const Bytes bytes = SaveObject(original.get(), TempPath("full.kvr"), 0);
  for (size_t length = 0; length < bytes.size(); ++length) {
    LoadResult result = LoadBytes(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(length)),
                                  KvScene::StaticClass());
    EXPECT_EQ(result.root, nullptr) << "length " << length;
    EXPECT_NE(result.error, KvArchiveError::kNone) << "length " << length;
    delete result.root;
  }
}

TEST_F(KvRoundTripTest, EveryFlippedByteLoadsOrFailsWithoutHarm) {
  ScenePtr original(BuildScene());
  const Bytes bytes = SaveObject(original.get(), TempPath("full.kvr"), 0);
  uint32_t failed = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    for (uint8_t mask : {0xFF, 0x01, 0x80}) {
      Bytes patched = bytes;
      patched[i] ^= mask;
      LoadResult result = LoadBytes(patched, KvScene::StaticClass());
      if (result.root == nullptr) ++failed;
      delete result.root;
    }
  }
  // Most bytes are floats that load either way; counts, indexes and names do not.
  EXPECT_GT(failed, 0u);
}

}  // namespace
