// Skeletons, skin clusters and rigid skins through the module: skeleton order and
// names, mirrored local transforms, the forced bind pose, per-vertex influence runs
// and joint-space offsets, and meshes hanging under joints.
#include <cmath>
#include <sstream>

#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>

#include "PluginFixture.h"
#include "kv/Mesh.h"
#include "kv/Name.h"
#include "kv/Skeleton.h"

namespace plugin_test {
namespace {

using Weights = std::vector<std::vector<std::pair<int, double>>>;
using Names = std::vector<std::string>;

// A mesh's skin: its skeleton's first joint ("-" for none), its number of
// influences, then each vertex's run as joint names and weights (vertices apart by
// " |"), with the runs' starts in `firsts`. Every offset must be the vertex in the
// joint's space, bit for bit.
std::string SkinOf(KvMesh* mesh, std::vector<uint32_t>* firsts = nullptr) {
  std::ostringstream text;
  text.precision(9);
  text << (mesh->GetSkeleton() ? mesh->GetSkeleton()->GetJoint(0)->GetName().GetAsCString() : "-") << " "
       << mesh->GetNumInfluences() << ":";
  for (uint32_t v = 0; v < mesh->GetNumVertices(); ++v) {
    const KvVertex& vertex = *mesh->GetVertex(v);
    if (firsts != nullptr) firsts->push_back(vertex.firstInfluence);
    text << (v == 0 ? "" : " |");
    for (uint32_t i = vertex.firstInfluence; i < vertex.firstInfluence + vertex.influenceCount; ++i) {
      const KvVertexInfluence& influence = mesh->GetInfluence(i);
      text << " " << influence.joint->GetName().GetAsCString() << " " << influence.weight;
      const KvVec3 offset = influence.joint->GetWorldTransform().Inverse().TransformPoint(vertex.position);
      ExpectVec(influence.positionOffset, offset.x, offset.y, offset.z, 0);
    }
  }
  return text.str();
}

class SkeletonExport : public PluginTest {};

TEST_F(SkeletonExport, JointHierarchiesBecomeSkeletonsOfMirroredLocalTransformsInTheBindPose) {
  build.joint("hips");
  build.joint("spine", "hips", {.t = {0, 1, 0}});
  build.joint("head", "spine", {.t = {0, 1, 0}});
  build.joint("leftLeg", "hips", {.t = {1, -1, 0}});
  build.transform("grp", "hips");  // transform and shape children are left out
  build.joint("lower", "grp");
  build.create("mesh", "looseShape", "hips");
  build.transform("rig", {}, {.t = {5, 0, 0}, .r = {0, 45, 0}});
  build.joint("turned", "rig", {.t = {1, 2, 3}, .r = {0, 90, 0}, .s = {2, 1, 1}});
  build.joint("arm", {}, {.t = {1, 0, 0}});
  build.joint("hand", "arm", {.t = {2, 0, 0}, .r = {0, 0, 30}});
  build.bindPose("bindPose1", {"arm", "hand"});
  build.set("hand.t", {7.0, 8.0, 9.0});  // posed away from the bind pose
  build.set("hand.r", {10.0, 20.0, 30.0});
  build.set("arm.t", {-4.0, 0.0, 0.0});
  // No connection; a pose that recorded no matrix for the joint; a connection to a
  // node that is no pose. None of them moves the joint.
  build.joint("free", {}, {.t = {3, 0, 0}});
  build.joint("unrecorded", {}, {.t = {4, 0, 0}});
  build.create("dagPose", "emptyPose");
  build.connect("unrecorded.bps", "emptyPose.wm[0]");
  build.joint("elsewhere", {}, {.t = {5, 0, 0}});
  build.create("network", "holder");
  build.connect("elsewhere.bps", "holder.message");
  auto scene = ExportAndLoad("skeletons.kvr");
  ASSERT_NE(scene.scene, nullptr);

  const Lines lines = LogLines();
  EXPECT_TRUE(SpanIs(lines, {"Found joint: arm", "Found joint: hand", "Found joint: free",
                   "bindPose plug for joint with no connections!", "Found joint: unrecorded", "Found joint: elsewhere",
                   "Finished forcing all joints to bind pose."}));
  EXPECT_TRUE(SpanIs(lines, {"Dumping 6 imported skeletons...", "Root joint: hips", "Joint spine with parent joint hips",
                   "Joint head with parent joint spine", "Joint leftLeg with parent joint hips", "Root joint: turned"}));
  EXPECT_TRUE(SpanIs(lines, {"Importing hierarchy for joint: hips", "Importing joint hips...",
                             "Importing joint spine...", "Importing joint head...", "Importing joint leftLeg...",
                             "grp is a child of joint hips, skipping...",
                             "Unusual child type: kMesh.  Ignoring node looseShape type mesh",
                             "Importing hierarchy for joint: turned"}));

  ASSERT_EQ(scene->GetNumSkeletons(), 6u);
  // The group's own transform is not part of the joint.
  KvJoint* turned = scene->GetSkeleton(1)->GetJoint(0);
  ExpectVec(turned->GetTranslation(), -1, 2, 3);
  ExpectVec(turned->GetScale(), 2, 1, 1);
  // 90 degrees about Y: host (x 0, y 0.7071, z 0, w 0.7071) becomes w -0.7071, x -0.
  const KvQuat q = turned->GetRotation();
  EXPECT_NEAR(q.w, -0.70710678f, 1e-6f);
  EXPECT_TRUE(q.x == 0.0f && std::signbit(q.x)) << "x is a negated zero";
  EXPECT_NEAR(q.y, 0.70710678f, 1e-6f);
  EXPECT_EQ(turned->GetBindScale().x, 2.0f) << "the bind pose is stored once the skeleton is built";

  KvSkeleton* arm = scene->GetSkeleton(2);
  ASSERT_EQ(JointNames(*arm), (Names{"arm", "hand"}));
  EXPECT_NEAR(arm->GetJoint(0)->GetTranslation().x, -1.0f, 1e-5f);
  ExpectVec(arm->GetJoint(1)->GetTranslation(), -2, 0, 0, 1e-5f);
  // 30 degrees about Z, mirrored: w' = -cos 15, z' = sin 15.
  EXPECT_NEAR(arm->GetJoint(1)->GetRotation().w, -0.96592583f, 1e-5f);
  EXPECT_NEAR(arm->GetJoint(1)->GetRotation().z, 0.25881905f, 1e-5f);
  for (uint32_t s = 3; s < 6; ++s) {
    EXPECT_EQ(scene->GetSkeleton(s)->GetJoint(0)->GetTranslation().x, -static_cast<float>(s));
  }
  EXPECT_EQ(MFnDependencyNode(kvhost::Scene::get().findNode("arm")).findPlug("tx").asDouble(), 1.0)
      << "the host scene keeps the bind pose";
}

// A mesh whose transform hangs under a joint follows it with one weight-1 influence
// per vertex, appended after any it has: from its skin cluster, or from a first
// rigid skinning (two shapes under one transform export two meshes of its name;
// the stage finds the first once per shape).
TEST_F(SkeletonExport, SkinClustersAndRigidSkinsGiveEachVertexItsNonZeroWeightsInJointSpace) {
  build.joint("neck", {}, {.t = {0, 5, 0}});
  build.joint("head", "neck", {.t = {0.5, 1, 0}, .r = {0, 0, 20}});
  build.mesh("collar", TriangleStrip(1, {0, 0, 2}), "neck");
  build.mesh("pair", TriangleStrip(1), "head");
  build.create("mesh", "pairShape2", "pair");
  build.meshData("pairShape2", TriangleStrip(2));
  build.mesh("helmet", TriangleGrid(1, 1), "head", {.t = {0, 1, 0}});
  build.mesh("visor", TriangleStrip(1), "head");
  build.set("visor.v", {false});
  build.transform("socket", "head");  // no mesh below it
  build.joint("jaw", "head");         // a joint child is no rigid skin
  const std::string plume = build.deformableMesh("plume", TriangleStrip(1), "head");
  build.skinCluster("skinCluster1", plume, {"neck", "head"}, {{{0, 0.5}, {1, 0.5}}, {{0, 1.0}}, {{1, 1.0}}});
  build.joint("hip", {}, {.t = {0, 3, 0}});
  build.joint("knee", "hip", {.t = {0.5, -1.5, 0}, .r = {0, 0, 30}});
  build.joint("ankle", "knee", {.t = {0, -1.5, 0.25}, .r = {10, 0, 0}});
  build.bindPose("bindPose1", {"hip", "knee", "ankle"});
  build.joint("toe", "ankle", {.t = {0, -0.5, 0.5}});
  build.joint("stray", {}, {.t = {5, 0, 0}});
  build.joint("left", {}, {.t = {-4, 0, 0}});
  build.joint("hand", "left");
  build.joint("right", {}, {.t = {4, 0, 0}});
  const std::string rightHand = build.joint("hand", "right");
  build.mesh("ring", TriangleStrip(1), "right|hand");  // under the second "hand": never found
  build.transform("locator");
  const std::string leg = build.deformableMesh("leg", TriangleStrip(2, {-0.5, 0, 0}));
  const std::string patch = build.deformableMesh("patch", TriangleStrip(4));
  const std::string glove = build.deformableMesh("glove", TriangleStrip(1, {4, 0, 0}));
  const std::string flag = build.deformableMesh("flag", TriangleStrip(1, {0, 0, 3}));
  build.deformableMesh("bare", TriangleStrip(1));
  const std::string twice = build.deformableMesh("twice", TriangleStrip(1, {0, 0, 6}));
  // The patch's cluster comes first in node order; each shape takes its own.
  // Narrowed exact zeros are skipped, tiny weights kept, zeros passed over in
  // blocks; joints in other skeletons, before and after this one, are not found.
  build.skinCluster("skinPatch", patch, {"hip", "stray", "knee", "ankle", "toe", "neck"},
                    Weights{{{0, 0.0}}, {{0, 1e-7}}, {{1, 1.0}}, {{0, 0.5}, {5, 0.25}, {2, 0.25}}, {{0, 1e-50}}, {{4, 1.0}}});
  build.skinCluster("skinLeg", leg, {"hip", "knee", "ankle"},
                    Weights{{{0, 0.5}, {1, 0.0}, {2, 0.5}}, {{0, 1.0}}, {{1, 0.25}, {2, 0.75}}, {{0, 0.5}, {1, 0.5}}},
                    {}, "bindPose1");
  // Joints are told apart by name only: the right hand's skin binds to the left.
  build.skinCluster("skinGlove", glove, {rightHand}, Weights(3, {{0, 1.0}}));
  // The glove's shape also under "copy": the cluster's output is the first path only.
  build.transform("copy");
  ASSERT_TRUE(kvhost::Scene::get().parent(glove, "copy", true));
  // The first influence alone picks the skeleton.
  build.skinCluster("skinFlag", flag, {"locator", "hip"}, Weights(3, {{1, 1.0}}));
  // A cluster the host cannot run before the skin leaves the shape without points:
  // the mesh keeps the skeleton and gets no influences.
  const std::string lost = build.deformableMesh("lost", TriangleStrip(1, {0, 0, 9}));
  ASSERT_TRUE(kvhost::Scene::get().disconnectAttr("lostShapeOrig.w[0]", lost + ".i"));
  build.create("cluster", "cluster1");
  build.connect("lostShapeOrig.w[0]", "cluster1.ip[0].ig");
  build.connect("cluster1.og[0]", lost + ".i");
  build.skinCluster("skinLost", lost, {"hip"}, Weights(3, {{0, 1.0}}));
  // Of two clusters in a chain before one shape, the first in node order counts.
  build.skinCluster("skinTwiceA", twice, {"knee"}, Weights(3, {{0, 1.0}}));
  build.skinCluster("skinTwiceB", twice, {"ankle"}, Weights(3, {{0, 1.0}}));
  auto scene = ExportAndLoad("skins.kvr");
  ASSERT_NE(scene.scene, nullptr);

  const Lines lines = LogLines();
  EXPECT_TRUE(SpanIs(lines, {"Importing mesh: leg with 4 vertices and 2 polygons...", "0 materials applied to mesh.",
                   "Importing mesh skin...", "Found skinCluster for mesh.", "Found influence object: hip",
                   "Found influence object: knee", "Found influence object: ankle", "Imported skin."}));
  EXPECT_TRUE(SpanIs(lines, {"Found influence object: stray", "Found influence object: knee", "Found influence object: ankle",
                   "Found influence object: toe", "Found influence object: neck", "Couldn't find influence joint: stray!",
                   "Couldn't find influence joint: neck!",
                   "numNonWeightedVerts: 2  -> Possibly only the control mesh was skinned.",
                   "For clustering effects like sub-division surfaces, the construction history must be deleted "
                   "before binding the skeleton and skinning the mesh.",
                   "Imported skin."}));
  EXPECT_TRUE(SpanIs(lines, {"Found influence object: locator", "Found influence object: hip",
                   "Trying to import skin for mesh with no matching skeleton!",
                   "Importing mesh: bare with 3 vertices and 1 polygons..."}));
  EXPECT_EQ(CountOf(lines, "Found skinCluster for mesh."), 8);
  EXPECT_TRUE(SpanIs(lines, {"Importing mesh: lost with 0 vertices and 0 polygons...", "0 materials applied to mesh.",
                             "Importing mesh skin...", "Found skinCluster for mesh.", "Found influence object: hip",
                             "Couldn't get geometry iterator!"}));
  EXPECT_TRUE(SpanIs(lines, {"Importing mesh: copy with 3 vertices and 1 polygons...", "0 materials applied to mesh.",
                             "Importing mesh skin...", "Found skinCluster for mesh.", "Found influence object: hand",
                             "skinCluster linkup inconsistency!", "No skin for mesh.",
                             "Importing mesh: lost with 0 vertices and 0 polygons..."}));
  EXPECT_EQ(CountOf(lines, "No skin for mesh."), 7);

  auto mesh = [&](const char* name) { return scene->FindMesh(KvName(name)); };
  EXPECT_EQ(SkinOf(mesh("leg")), "hip 7: hip 0.5 ankle 0.5 | hip 1 | knee 0.25 ankle 0.75 | hip 0.5 knee 0.5");
  std::vector<uint32_t> firsts;
  EXPECT_EQ(SkinOf(mesh("patch"), &firsts), "hip 4: | hip 1.00000001e-07 | | hip 0.5 knee 0.25 | | toe 1");
  EXPECT_EQ(firsts, (std::vector<uint32_t>{0, 0, 1, 1, 3, 3}));
  EXPECT_EQ(SkinOf(mesh("glove")), "left 3: hand 1 | hand 1 | hand 1");
  EXPECT_EQ(mesh("glove")->GetInfluence(0).joint->GetParent()->GetName(), KvName("left"));
  EXPECT_EQ(SkinOf(mesh("copy")), "left 0: | |") << "the skeleton is kept from the first influence";
  EXPECT_EQ(SkinOf(mesh("twice")), "hip 3: knee 1 | knee 1 | knee 1");
  EXPECT_EQ(SkinOf(mesh("lost")), "hip 0:");
  EXPECT_EQ(SkinOf(mesh("flag")), "- 0: | |");

  EXPECT_TRUE(SpanIs(lines, {"Searching for and creating rigidly skinned meshes...", "Found collar linked to bone neck.",
                   "Rigidly skinning...", "Finished skinning mesh.", "Found pair linked to bone head.",
                   "Rigidly skinning...", "Finished skinning mesh.", "Rigidly skinning...", "Finished skinning mesh.",
                   "Found helmet linked to bone head.", "Rigidly skinning...", "Finished skinning mesh.",
                   "Found socket linked to bone head.", "Found plume linked to bone head.", "Rigidly skinning...",
                   "Finished skinning mesh.", "Finished searching for and creating rigidly skinned meshes..."}));

  EXPECT_EQ(SkinOf(mesh("helmet")), "neck 4: head 1 | head 1 | head 1 | head 1");
  firsts.clear();
  EXPECT_EQ(SkinOf(scene->GetMesh(0), &firsts), "neck 6: head 1 | head 1 | head 1");
  EXPECT_EQ(SkinOf(scene->GetMesh(1)), "- 0: | | |");
  EXPECT_EQ(SkinOf(mesh("plume"), &firsts), "neck 7: head 1 | head 1 | head 1");
  EXPECT_EQ(firsts, (std::vector<uint32_t>{3, 4, 5, 4, 5, 6}));
}

}  // namespace
}  // namespace plugin_test
