// The rigid-skin stage through the module: meshes whose transforms hang under a
// joint follow it with one weight-1 influence per vertex.
#include <kvhost/TestSwitches.h>

#include "StageScenes.h"
#include "kv/ExportStages.h"
#include "kv/Name.h"
#include "kv/Skeleton.h"

namespace plugin_test {
namespace {

class RigidSkinExport : public PluginTest {
 protected:
  void BuildNeck() {
    build.joint("neck", {}, {.t = {0, 5, 0}});
    build.joint("head", "neck", {.t = {0.5, 1, 0}, .r = {0, 0, 20}});
  }
  static Lines StageLines(const Lines& lines) {
    return Between(lines, "Searching for and creating rigidly skinned meshes...",
                   "Finished searching for and creating rigidly skinned meshes...");
  }
};

TEST_F(RigidSkinExport, VisibleMeshUnderHeadFollowsItRigidly) {
  BuildNeck();
  build.mesh("helmet", TriangleCube(), "head", {.t = {0, 1, 0}});
  build.mesh("visor", TriangleStrip(1), "head");
  build.set("visor.v", {false});
  build.transform("socket", "head");  // no mesh below it
  build.joint("jaw", "head");         // a joint child is no rigid skin
  auto scene = ExportAndLoad("head.kvr");
  ASSERT_TRUE(scene->get());
  EXPECT_EQ(StageLines(LogLines()),
            (Lines{"Searching for and creating rigidly skinned meshes...", "Found helmet linked to bone head.",
                   "Rigidly skinning...", "Finished skinning mesh.", "Found socket linked to bone head.",
                   "Finished searching for and creating rigidly skinned meshes..."}));

  ASSERT_EQ((*scene)->GetNumMeshes(), 1u);
  KvMesh* helmet = (*scene)->GetMesh(0);
  KvSkeleton* skeleton = (*scene)->GetSkeleton(0);
  KvJoint* head = skeleton->FindJoint(KvName("head"));
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(helmet->GetSkeleton(), skeleton);
  ASSERT_EQ(helmet->GetNumInfluences(), helmet->GetNumVertices());
  const KvMatrix inverse = head->GetWorldTransform().Inverse();
  for (uint32_t v = 0; v < helmet->GetNumVertices(); ++v) {
    const KvVertex& vertex = *helmet->GetVertex(v);
    EXPECT_EQ(vertex.firstInfluence, v);
    EXPECT_EQ(vertex.influenceCount, 1u);
    const KvVertexInfluence& influence = helmet->GetInfluence(v);
    EXPECT_EQ(influence.joint, head);
    EXPECT_EQ(influence.weight, 1.0f);
    const KvVec3 offset = inverse.TransformPoint(vertex.position);
    ExpectVec(influence.positionOffset, offset.x, offset.y, offset.z, 0);
  }
  // The helmet's transform sits one unit above the head: its centre is (0, 1, 0)
  // in head space, whatever the head's rotation.
  KvVec3 centre{0, 0, 0};
  for (uint32_t v = 0; v < 8; ++v) {
    centre.x += helmet->GetInfluence(v).positionOffset.x / 8;
    centre.y += helmet->GetInfluence(v).positionOffset.y / 8;
  }
  EXPECT_NEAR(centre.x, 0.0f, 1e-5f);
  EXPECT_NEAR(centre.y, 1.0f, 1e-5f);
}

// Runs appended at the end of a mesh's influence list: a mesh found twice by name
// (two shapes under one transform export two meshes of its name; the stage finds
// the first once per shape) and a mesh skinned by a cluster before.
TEST_F(RigidSkinExport, MeshSkinnedAgainAppendsRunsAtTheEndOfItsInfluenceList) {
  BuildNeck();
  build.mesh("pair", TriangleStrip(1), "head");
  build.create("mesh", "pairShape2", "pair");
  build.meshData("pairShape2", TriangleStrip(2));
  const std::string shape = build.deformableMesh("plume", TriangleStrip(1), "head");
  build.skinCluster("skinCluster1", shape, {"neck", "head"}, {{{0, 0.5}, {1, 0.5}}, {{0, 1.0}}, {{1, 1.0}}});
  auto scene = ExportAndLoad("pair.kvr");
  ASSERT_TRUE(scene->get());
  EXPECT_EQ(CountOf(LogLines(), "Rigidly skinning..."), 3);

  ASSERT_EQ((*scene)->GetNumMeshes(), 3u);
  KvMesh* first = (*scene)->GetMesh(0);
  ASSERT_EQ(first->GetNumVertices(), 3u);
  ASSERT_EQ(first->GetNumInfluences(), 6u);
  KvMesh* plume = (*scene)->FindMesh(KvName("plume"));
  ASSERT_NE(plume, nullptr);
  // Four cluster influences, then one rigid influence per vertex after them.
  ASSERT_EQ(plume->GetNumInfluences(), 7u);
  for (uint32_t v = 0; v < 3; ++v) {
    EXPECT_EQ(first->GetVertex(v)->firstInfluence, 3 + v);
    EXPECT_EQ(first->GetVertex(v)->influenceCount, 1u);
    EXPECT_EQ(plume->GetVertex(v)->firstInfluence, 4 + v);
    EXPECT_EQ(plume->GetVertex(v)->influenceCount, 1u);
    EXPECT_STREQ(plume->GetInfluence(4 + v).joint->GetName().GetAsCString(), "head");
  }
  ExpectMeshInvariants(first);
  ExpectMeshInvariants(plume);
  KvMesh* second = (*scene)->GetMesh(1);
  EXPECT_EQ(second->GetNumInfluences(), 0u);
  EXPECT_EQ(second->GetSkeleton(), nullptr);
}

TEST_F(RigidSkinExport, FailingJointIteratorEndsTheStageWithoutItsClosingLine) {
  BuildNeck();
  build.mesh("helmet", TriangleStrip(1), "head");
  EXPECT_FALSE(RunStageDirectly([](KvScene* scene) {
    auto* skeleton = new KvSkeleton;
    skeleton->AddJoint(new KvJoint(KvName("head")));
    scene->AddSkeleton(skeleton);
    kvhost::failNextDagIterator();
    const bool result = ImportRigidSkins(scene);
    kvhost::clearTestSwitches();
    return result;
  }));
  EXPECT_EQ(LogLines(),
            (Lines{"Searching for and creating rigidly skinned meshes...", "Failed to create jointIterator!"}));
  EXPECT_TRUE(Shown(kvhost::Message::Error).empty());
}

}  // namespace
}  // namespace plugin_test
