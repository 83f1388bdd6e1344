// Whole exports of host scenes through the module: the log, line by line, and the
// archive read back (skeleton order, names, mirrored transforms, bind values).
#include <cmath>

#include <kvhost/Builder.h>
#include <kvhost/TestSwitches.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>

#include "StageScenes.h"
#include "kv/Skeleton.h"

namespace plugin_test {
namespace {

class SkeletonExport : public PluginTest {
 protected:
  static std::vector<std::string> JointNames(KvSkeleton* skeleton) {
    std::vector<std::string> names;
    for (uint32_t i = 0; i < skeleton->GetNumJoints(); ++i) names.push_back(skeleton->GetJoint(i)->GetName().GetAsCString());
    return names;
  }
};

TEST_F(SkeletonExport, EmptySceneLogsEveryStageAndWritesAnEmptyScene) {
  const std::string out = Path("empty.kvr");
  ASSERT_EQ(Export(out), MS::kSuccess);
  EXPECT_EQ(LogLines(),
            (Lines{"Exporting Maya file: " + out, "Forcing all joints to bind pose...",
                   "Finished forcing all joints to bind pose.", "Disabling blend shapes...",
                   "Finished disabling blend shapes.", "Importing skeletons...", "Finished importing skeleton.",
                   "Dumping 0 imported skeletons...", "Finished dumping imported skeletons.", "Importing meshes...",
                   "Finished importing meshes.", "Importing blend shapes...", "Finished importing blend shapes.",
                   "Importing lights...", "Finished importing lights.", "Importing cameras...",
                   "Finished importing cameras.", "Searching for and creating rigidly skinned meshes...",
                   "Finished searching for and creating rigidly skinned meshes...", "Scene stats:", "0 textures",
                   "0 materials", "0 skeletons", "0 meshes", "0 lights", "0 cameras"}));

  LoadedScene scene(out);
  ASSERT_NE(scene.get(), nullptr) << scene.error();
  EXPECT_EQ(scene->GetNumTextures() + scene->GetNumMaterials() + scene->GetNumSkeletons() + scene->GetNumMeshes() +
                scene->GetNumLights() + scene->GetNumCameras(),
            0u);
}

TEST_F(SkeletonExport, TwoHierarchiesBecomeTwoSkeletonsInDagOrder) {
  build.joint("hips");
  build.joint("spine", "hips", {.t = {0, 1, 0}});
  build.joint("head", "spine", {.t = {0, 1, 0}});
  build.joint("leftLeg", "hips", {.t = {1, -1, 0}});
  build.joint("tail", {}, {.t = {0, 0, -2}});
  // Transform and shape children are left out; the iterator is pruned below a
  // top-level joint.
  build.transform("grp", "hips");
  build.joint("lower", "grp");
  build.create("mesh", "looseShape", "hips");
  auto scene = ExportAndLoad("two.kvr");
  ASSERT_TRUE(scene->get());

  const Lines lines = LogLines();
  EXPECT_TRUE(HasRun(lines, {"Dumping 2 imported skeletons...", "Root joint: hips",
                      "Joint spine with parent joint hips", "Joint head with parent joint spine",
                      "Joint leftLeg with parent joint hips", "Root joint: tail",
                      "Finished dumping imported skeletons."}));
  EXPECT_EQ(CountOf(lines, "Importing hierarchy for joint: tail"), 1);
  EXPECT_EQ(CountOf(lines, "Importing joint head..."), 1);
  EXPECT_EQ(CountOf(lines, "grp is a child of joint hips, skipping..."), 1);
  EXPECT_EQ(CountOf(lines, "Unusual child type: kMesh.  Ignoring node looseShape type mesh"), 1);
  EXPECT_EQ(CountOf(lines, "Importing hierarchy for joint: lower"), 0);

  ASSERT_EQ((*scene)->GetNumSkeletons(), 2u);
  KvSkeleton* first = (*scene)->GetSkeleton(0);
  EXPECT_EQ(JointNames(first), (std::vector<std::string>{"hips", "spine", "head", "leftLeg"}));
  EXPECT_EQ(first->GetJoint(2)->GetParent(), first->GetJoint(1));
  EXPECT_EQ(first->GetJoint(3)->GetParent(), first->GetJoint(0));
  EXPECT_EQ(first->GetJoint(0)->GetParent(), nullptr);
  EXPECT_EQ(JointNames((*scene)->GetSkeleton(1)), std::vector<std::string>{"tail"});
}

TEST_F(SkeletonExport, TransformsAreMirroredInXAndLocalToTheParent) {
  build.transform("rig", {}, {.t = {5, 0, 0}, .r = {0, 45, 0}});
  build.joint("turned", "rig", {.t = {1, 2, 3}, .r = {0, 90, 0}, .s = {2, 1, 1}});
  build.joint("plain", "turned", {.t = {0, 0, 1}});
  auto scene = ExportAndLoad("mirror.kvr");
  ASSERT_TRUE(scene->get());

  ASSERT_EQ((*scene)->GetNumSkeletons(), 1u);
  KvJoint* turned = (*scene)->GetSkeleton(0)->GetJoint(0);
  // The group's own transform is not part of the joint.
  ExpectVec(turned->GetTranslation(), -1, 2, 3);
  ExpectVec(turned->GetScale(), 2, 1, 1);
  // 90 degrees about Y: host (x 0, y 0.7071, z 0, w 0.7071) becomes w -0.7071, x -0.
  const KvQuat q = turned->GetRotation();
  EXPECT_NEAR(q.w, -0.70710678f, 1e-6f);
  EXPECT_EQ(q.x, 0.0f);
  EXPECT_TRUE(std::signbit(q.x)) << "x is a negated zero";
  EXPECT_NEAR(q.y, 0.70710678f, 1e-6f);
  EXPECT_EQ(q.z, 0.0f);
  // The bind pose holds the same values.
  EXPECT_FLOAT_EQ(turned->GetBindTranslation().x, -1.0f);
  EXPECT_NEAR(turned->GetBindRotation().w, -0.70710678f, 1e-6f);
  EXPECT_FLOAT_EQ(turned->GetBindScale().x, 2.0f);

  KvJoint* plain = (*scene)->GetSkeleton(0)->GetJoint(1);
  EXPECT_EQ(plain->GetParent(), turned);
  EXPECT_FLOAT_EQ(plain->GetTranslation().z, 1.0f);
  EXPECT_FLOAT_EQ(plain->GetRotation().w, -1.0f) << "identity: w' = -w";
}

TEST_F(SkeletonExport, BindPoseIsForcedBeforeReadingAndJointsWithoutOneKeepTheirPose) {
  build.joint("arm", {}, {.t = {1, 0, 0}});
  build.joint("hand", "arm", {.t = {2, 0, 0}, .r = {0, 0, 30}});
  build.bindPose("bindPose1", {"arm", "hand"});
  // Pose the rig away from its bind pose.
  build.set("hand.t", {7.0, 8.0, 9.0});
  build.set("hand.r", {10.0, 20.0, 30.0});
  build.set("arm.t", {-4.0, 0.0, 0.0});
  // No connection; a dagPose that recorded no matrix for the joint; a connection
  // from a node that is no dagPose. None of them moves the joint.
  build.joint("free", {}, {.t = {3, 0, 0}});
  build.joint("unrecorded", {}, {.t = {4, 0, 0}});
  build.create("dagPose", "emptyPose");
  build.connect("unrecorded.bps", "emptyPose.wm[0]");
  build.joint("elsewhere", {}, {.t = {5, 0, 0}});
  build.create("network", "holder");
  build.connect("elsewhere.bps", "holder.message");
  auto scene = ExportAndLoad("bind.kvr");
  ASSERT_TRUE(scene->get());

  const Lines lines = LogLines();
  EXPECT_TRUE(HasRun(lines, {"Forcing all joints to bind pose...", "Found joint: arm"}));
  EXPECT_TRUE(HasRun(lines, {"Found joint: free", "bindPose plug for joint with no connections!",
                             "Found joint: unrecorded"}));
  EXPECT_EQ(CountOf(lines, "bindPose plug for joint with no connections!"), 1);

  ASSERT_EQ((*scene)->GetNumSkeletons(), 4u);
  KvSkeleton* skeleton = (*scene)->GetSkeleton(0);
  ASSERT_EQ(skeleton->GetNumJoints(), 2u);
  EXPECT_NEAR(skeleton->GetJoint(0)->GetTranslation().x, -1.0f, 1e-5f);
  KvJoint* hand = skeleton->GetJoint(1);
  EXPECT_NEAR(hand->GetTranslation().x, -2.0f, 1e-5f);
  EXPECT_NEAR(hand->GetTranslation().y, 0.0f, 1e-5f);
  // 30 degrees about Z, mirrored: w' = -cos 15, z' = sin 15.
  EXPECT_NEAR(hand->GetRotation().w, -0.96592583f, 1e-5f);
  EXPECT_NEAR(hand->GetRotation().z, 0.25881905f, 1e-5f);
  for (uint32_t s = 1; s < 4; ++s) {
    EXPECT_FLOAT_EQ((*scene)->GetSkeleton(s)->GetJoint(0)->GetTranslation().x, -2.0f - static_cast<float>(s))
        << (*scene)->GetSkeleton(s)->GetJoint(0)->GetName().GetAsCString();
  }

  // The host scene keeps the bind pose after the export.
  MFnDependencyNode arm(kvhost::Scene::get().findNode("arm"));
  EXPECT_NEAR(arm.findPlug("tx").asDouble(), 1.0, 1e-9);
}

// A failing export after a good one: the log holds only the failed export, up to
// the failure, and the existing file is left alone.
TEST_F(SkeletonExport, FailingStageWritesNothingAndKeepsTheLogUpToTheFailure) {
  build.joint("lonely");
  ASSERT_EQ(Export(Path("one.kvr")), MS::kSuccess);
  const std::string out = Path("kept.kvr");
  WriteText(out, "previous archive");
  kvhost::failNextDagIterator();
  EXPECT_EQ(Export(out), MS::kFailure);
  kvhost::clearTestSwitches();
  EXPECT_EQ(ReadText(out), "previous archive");
  EXPECT_EQ(Shown(kvhost::Message::Error), Lines{"Error exporting KVR file.  Check KvMayaExporter_Log.txt for details."});
  EXPECT_EQ(LogLines(), (Lines{"Exporting Maya file: " + out, "Forcing all joints to bind pose...",
                               "Maya API Error detected: \"Failed to create jointIterator!\""}));
}

}  // namespace
}  // namespace plugin_test
