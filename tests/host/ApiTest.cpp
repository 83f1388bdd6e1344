// API behaviour around plugs, instances, caches and messages that the
// exporter depends on without naming it.

#include <maya/MDagPathArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnGeometryFilter.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MFnMatrixData.h>
#include <maya/MFnMesh.h>
#include <maya/MFnTransform.h>
#include <maya/MIntArray.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MPointArray.h>

#include <algorithm>
#include <cmath>

#include "HostTestSupport.h"

namespace {

using ApiTest = HostTest;

const kvhost::MeshSpec kTriangle{.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, .faces = {{0, 1, 2}}};

TEST_F(ApiTest, ArrayAndElementPlugs) {
  b.create("skinCluster", "skin");
  b.joint("j0");
  b.joint("j1");
  b.connect("j0.wm[0]", "skin.ma[2]");
  b.connect("j1.wm[0]", "skin.ma[9]");
  b.set("skin.pm[4]", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});  // a matrix needs no -type
  MFnDependencyNode fn(node("skin"));
  MPlug ma = fn.findPlug("matrix");
  EXPECT_TRUE(ma.isArray());
  EXPECT_FALSE(ma.isElement());
  EXPECT_EQ(ma.numElements(), 2u) << "connected elements exist";
  MPlug second = ma.elementByPhysicalIndex(1);
  EXPECT_EQ(second.logicalIndex(), 9u);
  EXPECT_EQ(second.array(), ma);
  MStatus s;
  ma.logicalIndex(&s);
  EXPECT_FALSE(s) << "an array plug has no logical index";
  EXPECT_EQ(fn.findPlug("pm").numElements(), 1u);
  // Reading a connected matrix element gives the joint's world matrix.
  b.set("j1.t", {1, 2, 3});
  MObject data;
  ASSERT_TRUE(second.getValue(data));
  EXPECT_DOUBLE_EQ(MFnMatrixData(data).matrix()[3][1], 2.0);
  // Calls that succeed say so through their status too.
  MPlugArray sources;
  MStatus status = MS::kFailure;
  EXPECT_TRUE(second.connectedTo(sources, true, false, &status));
  EXPECT_TRUE(status);
  EXPECT_EQ(sources.length(), 1u);
  MFnGeometryFilter deformer(node("skin"));
  EXPECT_TRUE(deformer.setEnvelope(0.25f));
  EXPECT_FLOAT_EQ(deformer.envelope(), 0.25f);
  EXPECT_FALSE(MFnGeometryFilter().setEnvelope(1.0f));
  EXPECT_EQ(MFnDagNode().parentCount(), 0u) << "a function set on nothing";
}

TEST_F(ApiTest, NextAvailableElementIsCountedPerParentElement) {
  b.transform("t");
  b.create("objectSet", "set");
  b.create("skinCluster", "skin");
  for (int i = 0; i < 3; ++i) b.connect("t.msg", "skin.ma", true);
  b.connect("t.iog[0]", "set.dsm", true);
  b.connect("t.iog[0]", "t.iog[1].og", true);
  b.connect("t.msg", "t.iog[1].og", true);
  b.connect("t.msg", "t.iog[2].og", true);
  std::vector<std::string> names;
  MPlugArray plugs;
  MFnDependencyNode(node("t")).getConnections(plugs);
  for (unsigned i = 0; i < plugs.length(); ++i) names.push_back(plugs[i].name().asChar());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"t.iog[0]", "t.iog[1].og[0]", "t.iog[1].og[1]", "t.iog[2].og[0]", "t.msg"}));
  MFnDependencyNode skin(node("skin"));
  EXPECT_EQ(skin.findPlug("ma").numElements(), 3u);
  EXPECT_TRUE(skin.findPlug("ma").elementByLogicalIndex(2).isDestination());
  // A replaced connection is found from its new source.
  b.transform("u");
  ASSERT_TRUE(b.scene().connectAttr("u.msg", "skin.ma[2]", false, true));
  MPlugArray src;
  skin.findPlug("ma").elementByLogicalIndex(2).connectedTo(src, true, false);
  ASSERT_EQ(src.length(), 1u);
  EXPECT_EQ(src[0].node(), node("u"));
  EXPECT_FALSE(b.scene().connectAttr("t.msg", "skin.ma[2]", false, false)) << "taken without -f";
}

TEST_F(ApiTest, InstancesHaveTheirOwnWorldMatricesAndShading) {
  b.transform("left", {}, {.t = {-5, 0, 0}});
  b.transform("right", {}, {.t = {5, 0, 0}});
  std::string shape = b.create("mesh", "sharedShape", "left");
  b.meshData(shape, kTriangle);
  ASSERT_TRUE(b.scene().parent(shape, "right", true));
  MDagPathArray paths;
  ASSERT_TRUE(MDagPath::getAllPathsTo(node(shape), paths));
  ASSERT_EQ(paths.length(), 2u);
  EXPECT_EQ(paths[1].instanceNumber(), 1u);
  EXPECT_TRUE(paths[1].isInstanced());
  MPointArray world;
  MFnMesh(paths[1]).getPoints(world, MSpace::kWorld);
  EXPECT_POINT_NEAR(world[1], 6, 0, 0);
  MObject wm1;
  ASSERT_TRUE(MFnDependencyNode(node(shape)).findPlug("wm").elementByLogicalIndex(1).getValue(wm1));
  EXPECT_DOUBLE_EQ(MFnMatrixData(wm1).matrix()[3][0], 5.0);
  ASSERT_TRUE(MFnDependencyNode(node(shape)).findPlug("wm").elementByLogicalIndex(7).getValue(wm1));
  EXPECT_DOUBLE_EQ(MFnMatrixData(wm1).matrix()[3][0], 5.0) << "an index past the instances reads the last one";
  // Instance 1 is shaded through iog[1].
  std::string sg = b.material("lambert", "second");
  b.connect(shape + ".iog[1]", sg + ".dsm", true);
  MObjectArray shaders;
  MIntArray indices;
  MFnMesh(paths[0]).getConnectedShaders(0, shaders, indices);
  EXPECT_EQ(shaders.length(), 0u);
  MFnMesh(paths[1]).getConnectedShaders(1, shaders, indices);
  ASSERT_EQ(shaders.length(), 1u);
  EXPECT_EQ(indices[0], 0);
}

TEST_F(ApiTest, CachedValuesFollowEveryKindOfChange) {
  b.transform("a", {}, {.t = {1, 0, 0}});
  b.transform("b", {}, {.t = {0, 10, 0}});
  std::string shape = b.mesh("m", kTriangle, "a");
  auto worldX = [&] {
    MPointArray p;
    MFnMesh(path(shape)).getPoints(p, MSpace::kWorld);
    return p[1].x;
  };
  EXPECT_DOUBLE_EQ(worldX(), 2.0);
  b.set("a.tx", {3});
  EXPECT_DOUBLE_EQ(worldX(), 4.0) << "after moving the parent";
  ASSERT_TRUE(b.scene().parent("m", "b"));
  EXPECT_DOUBLE_EQ(worldX(), 1.0) << "after reparenting";
  b.set(shape + ".vt[1]", {7, 0, 0});
  EXPECT_DOUBLE_EQ(worldX(), 7.0) << "after editing a stored vertex";
  std::string other = b.mesh("src", kTriangle);
  b.set(other + ".vt[1]", {-2, 0, 0});
  b.connect(other + ".o", shape + ".i");
  EXPECT_DOUBLE_EQ(worldX(), -2.0) << "after connecting an input mesh";
  b.set(other + ".vt[1]", {-3, 0, 0});
  EXPECT_DOUBLE_EQ(worldX(), -3.0) << "after editing the upstream mesh";
  ASSERT_TRUE(b.scene().disconnectAttr(other + ".o", shape + ".i"));
  EXPECT_DOUBLE_EQ(worldX(), 7.0) << "after disconnecting";
  // A destination reads its connected source, and the cached matrices follow the source.
  b.transform("driver", {}, {.t = {4, 5, 6}});
  b.connect("driver.ty", "b.tx");
  b.connect("driver.t", "b.s");
  EXPECT_DOUBLE_EQ(MFnDependencyNode(node("b")).findPlug("sz").asDouble(), 6.0);
  EXPECT_DOUBLE_EQ(worldX(), 7 * 4 + 5.0) << "after connecting the parent's translation and scale";
  b.set("driver.ty", {7});
  EXPECT_DOUBLE_EQ(worldX(), 7 * 4 + 7.0) << "after editing the connected source";
}

TEST_F(ApiTest, TransformFunctionSetReadsAndWritesComponents) {
  b.transform("t", {}, {.t = {1, 2, 3}, .r = {0, 90, 0}, .s = {2, 3, 4}, .ro = 2});
  b.set("t.rp", {1, 0, 0});
  MFnTransform fn(path("t"));
  EXPECT_TRUE(fn.getTranslation(MSpace::kTransform).isEquivalent(MVector(1, 2, 3)));
  double s[3];
  fn.getScale(s);
  EXPECT_DOUBLE_EQ(s[2], 4);
  EXPECT_EQ(fn.rotationOrder(), MTransformationMatrix::kZXY);
  EXPECT_TRUE(fn.rotatePivot(MSpace::kTransform).isEquivalent(MPoint(1, 0, 0)));
  MTransformationMatrix tm = fn.transformation();
  EXPECT_TRUE(tm.translation(MSpace::kWorld).isEquivalent(MVector(1, 2, 3))) << "the translate attribute";
  EXPECT_TRUE(tm.asMatrix().isEquivalent(fn.transformationMatrix(), 1e-12));
  ASSERT_TRUE(fn.setRotation(MEulerRotation(0, 0, M_PI / 2)));
  MEulerRotation r;
  fn.getRotation(r);
  EXPECT_EQ(r.order, MEulerRotation::kZXY);
  EXPECT_TRUE(r.asMatrix().isEquivalent(MEulerRotation(0, 0, M_PI / 2).asMatrix(), 1e-12));
  ASSERT_TRUE(fn.setTranslation(MVector(0, 0, 9), MSpace::kTransform));
  EXPECT_DOUBLE_EQ(path("t").inclusiveMatrix()[3][2], 9.0 + 0.0) << "the pivot moves x and y only";
  const double doubled[3] = {4, 6, 8};
  ASSERT_TRUE(fn.setScale(doubled));
  EXPECT_TRUE(fn.getScale(s) && s[1] == 6.0) << s[1];
  // The rotate axis is an XYZ rotation whatever the rotate order.
  b.transform("axis", {}, {.ro = 1});
  b.set("axis.ra", {90, 90, 0});
  EXPECT_TRUE(MFnTransform(path("axis")).rotateOrientation(MSpace::kTransform).asMatrix().isEquivalent(
      MEulerRotation(M_PI / 2, M_PI / 2, 0).asMatrix(), 1e-12));
  // The rotation of a transformation comes back in the node's order.
  b.transform("only");
  b.set("only.r", {10, 20, 30});
  double rotation[3];
  MTransformationMatrix::RotationOrder order;
  ASSERT_TRUE(MFnTransform(node("only")).transformation().getRotation(rotation, order));
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(rotation[k] * 180 / M_PI, 10.0 * (k + 1), 1e-9) << k;
  EXPECT_EQ(order, MTransformationMatrix::kXYZ);
}

}  // namespace
