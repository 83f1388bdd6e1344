// The skin stage through the module: which cluster and skeleton a mesh gets, its
// per-vertex influence runs, joint-space offsets, and the log lines.
#include <kvhost/TestSwitches.h>

#include "StageScenes.h"
#include "kv/ExportStages.h"
#include "kv/Name.h"
#include "kv/Skeleton.h"

namespace plugin_test {
namespace {

using Weights = std::vector<std::vector<std::pair<int, double>>>;

class SkinExport : public PluginTest {
 protected:
  // A bent three-joint leg, posed and bound where it stands.
  void BuildLeg() {
    build.joint("hip", {}, {.t = {0, 3, 0}});
    build.joint("knee", "hip", {.t = {0.5, -1.5, 0}, .r = {0, 0, 30}});
    build.joint("ankle", "knee", {.t = {0, -1.5, 0.25}, .r = {10, 0, 0}});
    build.bindPose("bindPose1", {"hip", "knee", "ankle"});
  }

  struct Run {
    uint32_t first;
    uint32_t count;
    bool operator==(const Run&) const = default;
  };
  static std::vector<Run> Runs(KvMesh* mesh) {
    std::vector<Run> runs;
    for (uint32_t v = 0; v < mesh->GetNumVertices(); ++v) {
      runs.push_back({mesh->GetVertex(v)->firstInfluence, mesh->GetVertex(v)->influenceCount});
    }
    return runs;
  }
  // The joint-space offset as the scene model forms it from the loaded skeleton.
  static KvVec3 Expected(KvJoint* joint, const KvVec3& position) {
    return joint->GetWorldTransform().Inverse().TransformPoint(position);
  }
};

TEST_F(SkinExport, ZeroWeightsMakeNoInfluenceAndOffsetsAreInJointSpace) {
  BuildLeg();
  const std::string shape = build.deformableMesh("leg", TriangleStrip(2, {-0.5, 0, 0}));
  build.skinCluster("skinCluster1", shape, {"hip", "knee", "ankle"},
                    Weights{{{0, 0.5}, {1, 0.0}, {2, 0.5}}, {{0, 1.0}}, {{1, 0.25}, {2, 0.75}}, {{0, 0.5}, {1, 0.5}}},
                    {}, "bindPose1");
  auto scene = ExportAndLoad("leg.kvr");
  ASSERT_TRUE(scene->get());
  EXPECT_EQ(Between(LogLines(), "Importing mesh skin...", "Imported skin."),
            (Lines{"Importing mesh skin...", "Found skinCluster for mesh.", "Found influence object: hip",
                   "Found influence object: knee", "Found influence object: ankle", "Imported skin."}));

  ASSERT_EQ((*scene)->GetNumMeshes(), 1u);
  KvMesh* mesh = (*scene)->GetMesh(0);
  KvSkeleton* skeleton = (*scene)->GetSkeleton(0);
  ASSERT_EQ(mesh->GetSkeleton(), skeleton);
  EXPECT_EQ(Runs(mesh), (std::vector<Run>{{0, 2}, {2, 1}, {3, 2}, {5, 2}}));
  ASSERT_EQ(mesh->GetNumInfluences(), 7u);
  KvJoint* hip = skeleton->FindJoint(KvName("hip"));
  KvJoint* knee = skeleton->FindJoint(KvName("knee"));
  KvJoint* ankle = skeleton->FindJoint(KvName("ankle"));
  const std::vector<std::pair<KvJoint*, float>> expected = {{hip, 0.5f},  {ankle, 0.5f}, {hip, 1.0f},  {knee, 0.25f},
                                                            {ankle, 0.75f}, {hip, 0.5f},   {knee, 0.5f}};
  const uint32_t vertexOf[] = {0, 0, 1, 2, 2, 3, 3};
  for (uint32_t i = 0; i < 7; ++i) {
    const KvVertexInfluence& influence = mesh->GetInfluence(i);
    EXPECT_EQ(influence.joint, expected[i].first) << "influence " << i;
    EXPECT_EQ(influence.weight, expected[i].second) << "influence " << i;
    // Formed once per joint by the exporter, bit for bit what a per-influence
    // inverse gives.
    const KvVec3 offset = Expected(influence.joint, mesh->GetVertex(vertexOf[i])->position);
    ExpectVec(influence.positionOffset, offset.x, offset.y, offset.z, 0);
  }
  // A point at the hip's mirrored world position sits at the hip's origin.
  EXPECT_NEAR(mesh->GetInfluence(2).positionOffset.y, -2.0f, 1e-5f) << "vertex 1 is at y 1, the hip at y 3";
  ExpectMeshInvariants(mesh);
}

TEST_F(SkinExport, ExactZeroAndMissingJointsAreSkippedAndCounted) {
  build.joint("root");
  build.joint("child", "root", {.t = {1, 0, 0}});
  build.joint("stray", {}, {.t = {5, 0, 0}});  // a skeleton of its own
  const std::string shape = build.deformableMesh("patch", TriangleStrip(3));
  build.skinCluster("skinCluster1", shape, {"root", "stray", "child"},
                    Weights{{{0, 0.0}}, {{0, 1e-7}}, {{1, 1.0}}, {{0, 0.5}, {1, 0.25}, {2, 0.25}}, {}});
  auto scene = ExportAndLoad("patch.kvr");
  ASSERT_TRUE(scene->get());
  EXPECT_EQ(Between(LogLines(), "Found influence object: child", "Imported skin."),
            (Lines{"Found influence object: child", "Couldn't find influence joint: stray!",
                   "Couldn't find influence joint: stray!",
                   "numNonWeightedVerts: 2  -> Possibly only the control mesh was skinned.",
                   "For clustering effects like sub-division surfaces, the construction history must be deleted "
                   "before binding the skeleton and skinning the mesh.",
                   "Imported skin."}));

  KvMesh* mesh = (*scene)->GetMesh(0);
  EXPECT_EQ(mesh->GetSkeleton(), (*scene)->GetSkeleton(0));
  EXPECT_EQ(Runs(mesh), (std::vector<Run>{{0, 0}, {0, 1}, {1, 0}, {1, 2}, {3, 0}}));
  ASSERT_EQ(mesh->GetNumInfluences(), 3u);
  EXPECT_EQ(mesh->GetInfluence(0).weight, 1e-7f);
  EXPECT_STREQ(mesh->GetInfluence(2).joint->GetName().GetAsCString(), "child");
  ExpectMeshInvariants(mesh);
}

// Each shape takes its own cluster, and the skeleton is the first holding a joint
// of its first influence's name; a shape whose first influence is in no skeleton
// stays unskinned.
TEST_F(SkinExport, ClustersOfOtherShapesArePassedOver) {
  build.joint("a");
  build.joint("b", {}, {.t = {3, 0, 0}});
  build.joint("left", {}, {.t = {-4, 0, 0}});
  build.joint("hand", "left");
  build.joint("right", {}, {.t = {4, 0, 0}});
  const std::string rightHand = build.joint("hand", "right");
  build.transform("locator");
  const std::string first = build.deformableMesh("first", TriangleStrip(1));
  const std::string second = build.deformableMesh("second", TriangleStrip(2, {3, 0, 0}));
  build.skinCluster("skinGlove", build.deformableMesh("glove", TriangleStrip(1, {4, 0, 0})), {rightHand},
                    Weights(3, {{0, 1.0}}));
  const std::string flag = build.deformableMesh("flag", TriangleStrip(1, {0, 0, 3}));
  // The second shape's cluster comes first in node order.
  build.skinCluster("skinB", second, {"b"}, Weights(4, {{0, 1.0}}));
  build.skinCluster("skinA", first, {"a"}, Weights(3, {{0, 1.0}}));
  build.skinCluster("skinFlag", flag, {"locator", "a"}, Weights(3, {{1, 1.0}}));
  auto scene = ExportAndLoad("two.kvr");
  ASSERT_TRUE(scene->get());
  const Lines lines = LogLines();
  EXPECT_EQ(CountOf(lines, "Found skinCluster for mesh."), 4);
  EXPECT_EQ(CountOf(lines, "skinCluster linkup inconsistency!"), 0);
  EXPECT_EQ(Between(lines, "Found influence object: locator", "Finished importing meshes."),
            (Lines{"Found influence object: locator", "Found influence object: a",
                   "Trying to import skin for mesh with no matching skeleton!", "Finished importing meshes."}));
  KvMesh* unskinned = (*scene)->FindMesh(KvName("flag"));
  ASSERT_NE(unskinned, nullptr);
  EXPECT_EQ(unskinned->GetSkeleton(), nullptr);
  EXPECT_EQ(unskinned->GetNumInfluences(), 0u);

  KvMesh* a = (*scene)->FindMesh(KvName("first"));
  KvMesh* b = (*scene)->FindMesh(KvName("second"));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->GetSkeleton(), (*scene)->GetSkeleton(0));
  EXPECT_EQ(b->GetSkeleton(), (*scene)->GetSkeleton(1));
  EXPECT_EQ(a->GetNumInfluences(), 3u);
  EXPECT_EQ(b->GetNumInfluences(), 4u);
  EXPECT_STREQ(b->GetInfluence(3).joint->GetName().GetAsCString(), "b");
  // Joints are told apart by name only: the right hand's skin binds to the left.
  ASSERT_EQ((*scene)->GetNumSkeletons(), 4u);
  KvMesh* glove = (*scene)->FindMesh(KvName("glove"));
  ASSERT_NE(glove, nullptr);
  EXPECT_EQ(glove->GetSkeleton(), (*scene)->GetSkeleton(2));
  ASSERT_EQ(glove->GetNumInfluences(), 3u);
  EXPECT_EQ(glove->GetInfluence(0).joint->GetParent()->GetName(), KvName("left"));
}

TEST_F(SkinExport, NullMeshAndFailingNodeIteratorEndTheStageQuietly) {
  EXPECT_TRUE(RunStageDirectly([](KvScene* scene) {
    ImportMeshSkin(MDagPath(), nullptr, scene);
    auto* mesh = new KvMesh;
    kvhost::failNextDependencyNodeIterator();
    ImportMeshSkin(MDagPath(), mesh, scene);
    kvhost::clearTestSwitches();
    const bool untouched = mesh->GetSkeleton() == nullptr && mesh->GetNumInfluences() == 0;
    delete mesh;
    return untouched;
  }));
  EXPECT_EQ(LogLines(), (Lines{"Importing mesh skin...", "Trying to import skin for NULL mesh!",
                               "Importing mesh skin...", "Couldn't get dependency node iterator!"}));
  EXPECT_TRUE(Shown(kvhost::Message::Error).empty());
}

}  // namespace
}  // namespace plugin_test
