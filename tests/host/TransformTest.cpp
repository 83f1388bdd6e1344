// World matrices of transforms and joints against hand-computed values,
// decomposition, setting a transformation, the xform command and bind poses.

#include <maya/MDoubleArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MFnMatrixData.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>

#include "HostTestSupport.h"

namespace {

using TransformTest = HostTest;

TEST_F(TransformTest, EveryRotateOrderAppliesItsAxesInOrder) {
  // Rotations of 90 degrees about each axis, applied to (1, 2, 3) by hand:
  // about x (x, y, z) -> (x, -z, y); about y -> (z, y, -x); about z -> (-y, x, z).
  // Rotate order ro rotates (1, 2, 3) to expected[ro].
  const MPoint expected[] = {{3, 2, -1}, {-2, 1, 3}, {1, -3, 2}, {2, 1, -3}, {-1, 3, 2}, {3, -2, 1}};
  for (int ro = 0; ro < 6; ++ro) {
    std::string name = "t" + std::to_string(ro);
    b.transform(name, {}, {.t = {10, 0, 0}, .r = {90, 90, 90}, .ro = ro});
    SCOPED_TRACE(name);
    const MPoint& e = expected[ro];
    EXPECT_POINT_NEAR(worldPoint(name, MPoint(1, 2, 3)), e.x + 10, e.y, e.z);
  }
}

TEST_F(TransformTest, WorldMatrixIsLocalTimesParentWorld) {
  b.transform("parent", {}, {.t = {0, 5, 0}, .r = {0, 0, 90}, .s = {2, 2, 2}});
  b.transform("child", "parent", {.t = {1, 0, 0}});
  // (1,0,0) in parent space -> scaled (2,0,0) -> rotated about z (0,2,0) -> moved (0,7,0).
  EXPECT_POINT_NEAR(worldPoint("child", MPoint()), 0, 7, 0);
  MObject parentMatrix;
  ASSERT_TRUE(MFnDependencyNode(node("child")).findPlug("pm").elementByLogicalIndex(0).getValue(parentMatrix));
  EXPECT_TRUE(MFnMatrixData(parentMatrix).matrix().isEquivalent(path("parent").inclusiveMatrix(), 1e-12));
  ASSERT_TRUE(MFnDependencyNode(node("child")).findPlug("pim").elementByLogicalIndex(0).getValue(parentMatrix));
  EXPECT_TRUE(MFnMatrixData(parentMatrix).matrix().isEquivalent(path("parent").inclusiveMatrix().inverse(), 1e-12));
  b.set("child.it", {false});
  EXPECT_POINT_NEAR(worldPoint("child", MPoint()), 1, 0, 0);
}

TEST_F(TransformTest, PivotsAndShear) {
  b.transform("rot");
  b.set("rot.rp", {1, 0, 0});
  b.set("rot.r", {0, 0, 90});
  EXPECT_POINT_NEAR(worldPoint("rot", MPoint(1, 0, 0)), 1, 0, 0);  // the pivot stays put
  EXPECT_POINT_NEAR(worldPoint("rot", MPoint(0, 0, 0)), 1, -1, 0);
  b.set("rot.rpt", {0, 0, 5});
  EXPECT_POINT_NEAR(worldPoint("rot", MPoint(1, 0, 0)), 1, 0, 5);

  b.transform("scl");
  b.set("scl.sp", {1, 0, 0});
  b.set("scl.s", {2, 1, 1});
  EXPECT_POINT_NEAR(worldPoint("scl", MPoint(0, 0, 0)), -1, 0, 0);
  b.set("scl.spt", {0, 3, 0});
  EXPECT_POINT_NEAR(worldPoint("scl", MPoint(1, 0, 0)), 1, 3, 0);

  b.transform("shr");
  b.set("shr.sh", {1, 0, 0});  // xy shear: y feeds x
  EXPECT_POINT_NEAR(worldPoint("shr", MPoint(0, 1, 0)), 1, 1, 0);
  b.set("shr.sh", {0, 0, 2});  // yz shear: z feeds y
  EXPECT_POINT_NEAR(worldPoint("shr", MPoint(0, 0, 1)), 0, 2, 1);

  b.transform("axis");
  b.set("axis.ra", {90, 90, 0});
  b.set("axis.r", {90, 0, 0});
  // The rotate axis first, about x then y: (0,1,0) -> (0,0,1) -> (1,0,0); then x by 90 -> (1,0,0).
  EXPECT_POINT_NEAR(worldPoint("axis", MPoint(0, 1, 0)), 1, 0, 0);
}

TEST_F(TransformTest, JointOrientUnderScaledParentWithAndWithoutCompensation) {
  b.joint("root", {}, {.s = {2, 2, 2}});
  b.joint("tip", "root", {.t = {1, 0, 0}, .jo = {0, 0, 90}});
  // Compensated: (1,0,0) -> orient (0,1,0) -> 1/2 parent scale (0,0.5,0) -> +t (1,0.5,0) -> parent scale (2,1,0).
  EXPECT_POINT_NEAR(worldPoint("tip", MPoint(1, 0, 0)), 2, 1, 0);
  EXPECT_POINT_NEAR(worldPoint("tip", MPoint()), 2, 0, 0);
  b.set("tip.ssc", {false});
  EXPECT_POINT_NEAR(worldPoint("tip", MPoint(1, 0, 0)), 2, 2, 0);
  // The parent's scale reaches the child through the is connection.
  b.set("tip.ssc", {true});
  b.set("root.s", {4, 4, 4});
  EXPECT_POINT_NEAR(worldPoint("tip", MPoint(1, 0, 0)), 4, 1, 0);
  // A joint's rotate axis turns about x first, then y: (0,1,0) -> (0,0,1) -> (1,0,0).
  b.joint("axis", {}, {});
  b.set("axis.ra", {90, 90, 0});
  EXPECT_POINT_NEAR(worldPoint("axis", MPoint(0, 1, 0)), 1, 0, 0);
}

TEST_F(TransformTest, AssumedDecompositionRecomposesAndCarriesNegativeScaleInZ) {
  const double rows[4][4] = {{-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, -1, 0}, {5, 6, 7, 1}};
  const MMatrix flipped(rows);
  MTransformationMatrix tm(flipped);
  double s[3];
  tm.getScale(s, MSpace::kWorld);
  EXPECT_EQ(std::vector<double>(s, s + 3), (std::vector<double>{1, 1, -1}));
  EXPECT_TRUE(tm.rotation().isEquivalent(MQuaternion(0, 0, 1, 0), 1e-12));
  EXPECT_TRUE(tm.translation(MSpace::kWorld).isEquivalent(MVector(5, 6, 7)));
  EXPECT_TRUE(tm.asMatrix().isEquivalent(flipped, 1e-12));

  b.transform("t", {}, {.t = {1, -2, 3}, .r = {10, 20, 30}, .s = {1, 2, 3}, .ro = 4});
  b.set("t.sh", {0.5, 0.25, -0.125});
  MMatrix m = MFnTransform(path("t")).transformationMatrix();
  MTransformationMatrix sheared(m);
  EXPECT_TRUE(sheared.asMatrix().isEquivalent(m, 1e-12));
  double sh[3];
  sheared.getShear(sh, MSpace::kWorld);
  EXPECT_NEAR(sh[0], 0.5, 1e-12);
  EXPECT_NEAR(sh[2], -0.125, 1e-12);
}

TEST_F(TransformTest, SetTransformationReproducesTheMatrixOnJointsAndTransforms) {
  b.joint("root", {}, {.s = {2, 2, 2}});
  b.joint("j", "root", {.t = {1, 1, 1}, .r = {5, 5, 5}, .jo = {30, 0, 0}});
  b.set("j.ra", {0, 20, 0});
  b.transform("t");
  b.set("t.rp", {1, 2, 3});
  b.set("t.ra", {0, 0, 15});
  MMatrix target = MEulerRotation(0.3, -0.2, 1.1).asMatrix() * 1.0;
  target[3][0] = 4;
  target[3][1] = -5;
  target[3][2] = 6;
  for (const char* name : {"j", "t"}) {
    MFnTransform fn(path(name));
    ASSERT_TRUE(fn.set(MTransformationMatrix(target))) << name;
    EXPECT_TRUE(fn.transformationMatrix().isEquivalent(target, 1e-9)) << name;
  }
  // A transformation read off a scaled transform brings its scale pivot along.
  b.transform("pivoted", {}, {.s = {2, 1, 1}});
  b.set("pivoted.sp", {1, 0, 0});
  MFnTransform copy(path("t")), pivoted(path("pivoted"));
  ASSERT_TRUE(copy.set(pivoted.transformation()));
  EXPECT_TRUE(copy.transformationMatrix().isEquivalent(pivoted.transformationMatrix(), 1e-12));
}

TEST_F(TransformTest, XformRoundTripsWorldMatricesAndUpdatesChildren) {
  b.transform("p", {}, {.t = {1, 2, 3}, .r = {0, 90, 0}, .s = {2, 2, 2}});
  b.transform("t", "p");
  b.transform("below", "t", {.t = {1, 0, 0}});
  MDoubleArray before;
  ASSERT_TRUE(MGlobal::executeCommand("xform -q -ws -m below", before));  // fills the caches
  MMatrix want = MEulerRotation(0.5, 0.25, -0.75).asMatrix();
  want[3][0] = 10;
  want[3][1] = 20;
  want[3][2] = 30;
  MString cmd = "xform -ws -m ";
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      cmd += want[r][c];
      cmd += " ";
    }
  cmd += " t";
  ASSERT_TRUE(MGlobal::executeCommand(cmd, false, false));
  MDoubleArray got;
  ASSERT_TRUE(MGlobal::executeCommand("xform -q -ws -m t", got, false, false));
  ASSERT_EQ(got.length(), 16u);
  for (unsigned i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i / 4][i % 4], 1e-9) << i;
  MPoint moved = MPoint(1, 0, 0) * want;
  EXPECT_POINT_NEAR(worldPoint("below", MPoint()), moved.x, moved.y, moved.z);
}

TEST_F(TransformTest, OtherCommandsAndUnclearNamesFailAndSayWhy) {
  // Two DAG nodes named "box": the short name is ambiguous, a path is not.
  b.transform("left");
  b.transform("right", {}, {.t = {5, 0, 0}});
  b.transform("box", "left");
  b.transform("box", "right");
  MDoubleArray r;
  EXPECT_EQ(MGlobal::executeCommand("polyCube -n box", r), MS::kFailure);
  EXPECT_EQ(MGlobal::executeCommand("xform -q -ws -m nosuch", r), MS::kFailure);
  EXPECT_EQ(MGlobal::executeCommand("xform -q -ws -m box", r), MS::kFailure);
  ASSERT_TRUE(MGlobal::executeCommand("xform -q -ws -m right|box", r));
  ASSERT_EQ(r.length(), 16u);
  EXPECT_EQ(r[12], 5.0);
  const auto& msgs = kvhost::Scene::get().messages();
  ASSERT_EQ(msgs.size(), 3u);
  EXPECT_EQ(msgs[0].kind, kvhost::Message::Error);
  EXPECT_NE(msgs[0].text.find("polyCube"), std::string::npos);
  EXPECT_NE(msgs[1].text.find("nosuch"), std::string::npos);
  EXPECT_NE(msgs[2].text.find("More than one object matches name: box"), std::string::npos) << msgs[2].text;
}

TEST_F(TransformTest, BindPoseRecordRestoresTheBoundWorldMatrices) {
  b.joint("hip", {}, {.t = {0, 10, 0}, .jo = {0, 0, 30}});
  b.joint("knee", "hip", {.t = {0, -5, 0}, .r = {10, 0, 0}, .jo = {15, 0, 0}});
  b.joint("ankle", "knee", {.t = {0, -4, 0}, .s = {1.5, 1.5, 1.5}});
  b.joint("toe", "ankle", {.t = {1, 0, 0}, .jo = {0, 45, 0}});
  const std::vector<std::string> joints{"hip", "knee", "ankle", "toe"};
  b.bindPose("bindPose1", joints);
  std::vector<MMatrix> bound;
  for (const auto& j : joints) bound.push_back(path(j).inclusiveMatrix());
  // Pose the skeleton away from the bind pose.
  b.set("hip.r", {20, 30, 40});
  b.set("knee.r", {-50, 0, 0});
  b.set("ankle.s", {1, 2, 1});
  b.set("toe.t", {3, 3, 3});
  // Read each joint's record through its bindPose connection and set it back.
  for (const auto& j : joints) {
    MFnIkJoint fn(path(j));
    MPlugArray dests;
    ASSERT_TRUE(fn.findPlug("bindPose").connectedTo(dests, false, true));
    MFnDependencyNode pose(dests[0].node());
    MObject attr = pose.attribute("xformMatrix");
    MPlug element(dests[0].node(), attr);
    element.selectAncestorLogicalIndex(dests[0].logicalIndex(), attr);
    MObject data;
    ASSERT_TRUE(element.getValue(data, MDGContext::fsNormal));
    ASSERT_TRUE(fn.set(MTransformationMatrix(MFnMatrixData(data).matrix())));
  }
  for (size_t i = 0; i < joints.size(); ++i)
    EXPECT_TRUE(path(joints[i]).inclusiveMatrix().isEquivalent(bound[i], 1e-9)) << joints[i];
}

}  // namespace
