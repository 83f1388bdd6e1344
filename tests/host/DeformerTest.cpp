// Deformed meshes: skin clusters (influences, sparse weights, output shapes,
// linear blend), tweaks and blend shapes (envelope, weights, connected and
// stored targets), and the caches that follow joint and envelope changes.

#include <maya/MDagPathArray.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnBlendShapeDeformer.h>
#include <maya/MFnMesh.h>
#include <maya/MFnSkinCluster.h>
#include <maya/MItGeometry.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MPointArray.h>

#include "HostTestSupport.h"

namespace {

// Four points on the x axis and one triangle fan, enough for weights.
const kvhost::MeshSpec kStrip{.points = {{0, 0, 0}, {1, 0, 0}, {3, 0, 0}, {3, 1, 0}}, .faces = {{0, 1, 3}, {1, 2, 3}}};

class DeformerTest : public HostTest {
protected:
  static MPointArray points(const std::string& shape, MSpace::Space space = MSpace::kObject) {
    MPointArray p;
    EXPECT_TRUE(MFnMesh(path(shape)).getPoints(p, space));
    return p;
  }
};

// The cluster on one of two meshes: influences, weights, output and input shapes.
TEST_F(DeformerTest, InfluencesWeightsAndShapesFollowSparseLogicalIndices) {
  std::string shape = b.deformableMesh("body", kStrip);
  std::string other = b.mesh("other", kStrip);
  b.joint("a");
  b.joint("b", "a", {.t = {2, 0, 0}});
  b.joint("c", "b", {.t = {1, 0, 0}});
  // Influences a, b, c on matrix[5], matrix[1], matrix[3]: the order by logical index is b, c, a.
  b.skinCluster("skin", shape, {"a", "b", "c"}, {{{0, 1.0}}, {{0, 0.5}, {2, 0.5}}, {{1, 0.25}}, {}}, {5, 1, 3});
  MFnSkinCluster skin(node("skin"));
  MDagPathArray influences;
  ASSERT_EQ(skin.influenceObjects(influences), 3u);
  EXPECT_EQ(influences[0], path("b"));
  EXPECT_EQ(influences[1], path("c"));
  EXPECT_EQ(influences[2], path("a"));
  EXPECT_EQ(skin.indexForInfluenceObject(path("c")), 3u);

  MDoubleArray all;
  unsigned count = 0;
  EXPECT_FALSE(skin.getWeights(path(other), MObject::kNullObj, all, count));
  ASSERT_TRUE(skin.getWeights(path(shape), MObject::kNullObj, all, count));
  EXPECT_EQ(count, 3u);
  const std::vector<double> expected = {0, 0, 1, /**/ 0, 0.5, 0.5, /**/ 0.25, 0, 0, /**/ 0, 0, 0};
  EXPECT_EQ(all.items(), expected);
  ASSERT_TRUE(skin.getWeights(path(shape), MObject::kNullObj, 1, all));
  EXPECT_EQ(all.items(), (std::vector<double>{0, 0.5, 0, 0})) << "one influence's weights, the array refilled";

  MStatus s;
  skin.indexForOutputShape(path(other).node(), &s);
  EXPECT_FALSE(s) << "the cluster does not deform that shape";
  EXPECT_EQ(skin.indexForOutputShape(path(shape).node(), &s), 0u);
  EXPECT_TRUE(s) << "success replaces the earlier failure";
  MDagPath out;
  ASSERT_TRUE(skin.getPathAtIndex(0, out));
  EXPECT_EQ(out, path(shape));
  EXPECT_FALSE(skin.getPathAtIndex(1, out));
  EXPECT_EQ(skin.inputShapeAtIndex(0), node("bodyShapeOrig")) << "the intermediate mesh upstream";
  EXPECT_TRUE(skin.inputShapeAtIndex(1, &s).isNull());
  EXPECT_FALSE(s);
  MObjectArray shapes;
  shapes.append(path(other).node());
  ASSERT_TRUE(skin.getOutputGeometry(shapes));
  ASSERT_EQ(shapes.length(), 1u) << "the array is refilled, not appended to";
  EXPECT_EQ(shapes[0], path(shape).node());

  // One vertex at a time, as an exporter walks them.
  MItGeometry it(path(shape));
  it.next();
  MDoubleArray one;
  ASSERT_TRUE(skin.getWeights(path(shape), it.component(), one, count));
  EXPECT_EQ(one.items(), (std::vector<double>{0, 0.5, 0.5}));

  // A new influence on matrix[0] comes first from then on.
  b.joint("d");
  b.connect("d.wm[0]", "skin.ma[0]");
  ASSERT_EQ(skin.influenceObjects(influences), 4u);
  EXPECT_EQ(influences[0], path("d"));
  ASSERT_TRUE(skin.getWeights(path(shape), it.component(), one, count));
  EXPECT_EQ(one.items(), (std::vector<double>{0, 0, 0.5, 0.5}));
}

TEST_F(DeformerTest, LinearBlendSkinningFollowsTheJoints) {
  std::string shape = b.deformableMesh("body", kStrip);
  b.joint("a");
  b.joint("b", "a", {.t = {2, 0, 0}});
  b.bindPose("bindPose1", {"a", "b"});
  b.skinCluster("skin", shape, {"a", "b"}, {{{0, 1.0}}, {{0, 0.5}, {1, 0.5}}, {{1, 1.0}}, {{1, 1.0}}}, {},
                "bindPose1");
  // At the bind pose the skin returns its input.
  expectPointsNear(points(shape), {{0, 0, 0}, {1, 0, 0}, {3, 0, 0}, {3, 1, 0}});
  // Rotate b by 90 degrees about z: (3,0,0) turns about (2,0,0) to (2,1,0);
  // the half-and-half vertex averages (1,0,0) and (2,-1,0).
  b.set("b.r", {0, 0, 90});
  expectPointsNear(points(shape), {{0, 0, 0}, {1.5, -0.5, 0}, {2, 1, 0}, {1, 1, 0}});
  b.set("skin.en", {0.5});
  EXPECT_POINT_NEAR(points(shape)[2], 2.5, 0.5, 0);
}

class BlendShapeTest : public DeformerTest {
protected:
  void SetUp() override {
    DeformerTest::SetUp();
    base = b.deformableMesh("face", kStrip);
    kvhost::MeshSpec smile = kStrip, frown = kStrip;
    smile.points[0] = {0, 2, 0};
    frown.points[1] = {2, 0, 0};
    b.mesh("smile", smile, {}, {.t = {50, 0, 0}});
    b.mesh("frown", frown, {}, {.t = {-50, 0, 0}});
    b.blendShape("blend", base, {"smileShape", "frownShape"}, {1.0, 0.5});
    // A deleted target keeps only its deltas.
    b.set("blend.w[2]", {1.0});
    b.set("blend.it[0].itg[2].iti[6000].ipt", {1, 0, 0, 3, 1}, "pointArray");
    b.set("blend.it[0].itg[2].iti[6000].ict", {1, "vtx[3]"}, "componentList");
  }
  std::string base;
};

TEST_F(BlendShapeTest, EnvelopeScalesWeightedTargetsAndDeltas) {
  // Smile at weight 1, frown at 0.5, the stored delta at 1.
  expectPointsNear(points(base), {{0, 2, 0}, {1.5, 0, 0}, {3, 0, 0}, {3, 1, 3}});
  // Each change of the envelope must reach the cached result.
  MFnBlendShapeDeformer fn(node("blend"));
  ASSERT_TRUE(fn.findPlug("en").setValue(0.5f));
  expectPointsNear(points(base), {{0, 1, 0}, {1.25, 0, 0}, {3, 0, 0}, {3, 1, 1.5}});
  ASSERT_TRUE(fn.findPlug("en").setValue(0.0f));
  EXPECT_FLOAT_EQ(fn.envelope(), 0.0f);
  expectPointsNear(points(base), {{0, 0, 0}, {1, 0, 0}, {3, 0, 0}, {3, 1, 0}});
  // Moving a target's transform moves the target only: blending is in object space.
  ASSERT_TRUE(fn.findPlug("en").setValue(1.0f));
  b.set("smile.t", {0, 0, 0});
  EXPECT_POINT_NEAR(points("smileShape", MSpace::kWorld)[0], 0, 2, 0);
  EXPECT_POINT_NEAR(points(base)[0], 0, 2, 0);
}

TEST_F(BlendShapeTest, InBetweenTargetsAndPerVertexWeights) {
  // Target group 4: an in-between at weight 0.5 lifts vertex 2 by 4, the full
  // target at weight 1 lifts it by 6.
  b.set("blend.it[0].itg[4].iti[5500].ipt", {1, 0, 4, 0, 1}, "pointArray");
  b.set("blend.it[0].itg[4].iti[5500].ict", {1, "vtx[2]"}, "componentList");
  b.set("blend.it[0].itg[4].iti[6000].ipt", {1, 0, 6, 0, 1}, "pointArray");
  b.set("blend.it[0].itg[4].iti[6000].ict", {1, "vtx[2]"}, "componentList");
  // Group 3 has no item above weight 0, so it adds nothing and the groups after it still count.
  b.set("blend.w[3]", {1.0});
  b.set("blend.it[0].itg[3].iti[5000].ipt", {1, 0, 9, 0, 1}, "pointArray");
  for (auto [weight, y] : {std::pair{0.25, 2.0}, {0.5, 4.0}, {0.75, 5.0}, {1.0, 6.0}, {1.5, 8.0}}) {
    b.set("blend.w[4]", {weight});
    EXPECT_NEAR(points(base)[2].y, y, 1e-9) << "weight " << weight;
  }
  // Per-vertex target weights scale that target only; base weights scale all.
  b.set("blend.it[0].itg[4].tw[2]", {0.5});
  EXPECT_NEAR(points(base)[2].y, 4, 1e-9);
  b.set("blend.it[0].bw[0]", {0.5});
  EXPECT_POINT_NEAR(points(base)[0], 0, 1, 0);
  // A connected target whose deltas the file stores too counts once, also past weight 1.
  b.set("blend.it[0].itg[0].iti[6000].ipt", {1, 0, 2, 0, 1}, "pointArray");
  b.set("blend.w[0]", {1.5});
  EXPECT_POINT_NEAR(points(base)[0], 0, 1.5, 0);
}

TEST_F(BlendShapeTest, AssumedBaseObjectsWeightIndicesAndOnlyConnectedTargets) {
  MFnBlendShapeDeformer fn(node("blend"));
  MObjectArray bases;
  ASSERT_TRUE(fn.getBaseObjects(bases));
  ASSERT_EQ(bases.length(), 1u);
  EXPECT_EQ(bases[0], path(base).node());
  EXPECT_FLOAT_EQ(fn.weight(1), 0.5f);
  MObjectArray targets;
  ASSERT_TRUE(fn.getTargets(bases[0], 1, targets));
  ASSERT_EQ(targets.length(), 1u);
  EXPECT_EQ(targets[0], path("frownShape").node());
  EXPECT_FALSE(fn.getTargets(bases[0], 2, targets)) << "a deleted target has no shape to give";
  EXPECT_EQ(targets.length(), 0u);
  EXPECT_FALSE(fn.getTargets(path("smileShape").node(), 0, targets)) << "not a base of this deformer";
}

TEST_F(DeformerTest, FullChainTweakBlendShapeSkin) {
  // Orig -> tweak -> blendShape -> skinCluster -> shape, as Maya builds it.
  std::string shape = b.deformableMesh("body", kStrip);
  b.create("tweak", "tweak1");
  b.scene().disconnectAttr("bodyShapeOrig.w[0]", shape + ".i");
  b.connect("bodyShapeOrig.w[0]", "tweak1.ip[0].ig");
  b.connect("tweak1.og[0]", shape + ".i");
  b.set("tweak1.vl[0].vt[3]", {0, 0, 1});
  kvhost::MeshSpec up = kStrip;
  up.points[2] = {3, 4, 0};
  b.mesh("up", up);
  b.blendShape("blend", shape, {"upShape"}, {0.5});
  b.joint("root", {}, {.t = {0, 0, 0}});
  b.skinCluster("skin", shape, {"root"}, {{{0, 1.0}}, {{0, 1.0}}, {{0, 1.0}}, {{0, 1.0}}});
  b.set("root.t", {10, 0, 0});
  // The target pulls the tweaked z of the last point halfway back.
  expectPointsNear(points(shape), {{10, 0, 0}, {11, 0, 0}, {13, 2, 0}, {13, 1, 0.5}});
}

}  // namespace
