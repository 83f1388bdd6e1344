// The scene core seen through the Maya API: traversal, types, plugs,
// connections and the primitive operations that fill the scene.

#include <algorithm>
#include <string>
#include <vector>

#include <maya/MDagPathArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MPointArray.h>
#include <maya/MIntArray.h>
#include <maya/MItDag.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MPlug.h>

#include "HostTestSupport.h"

namespace {

std::vector<std::string> dagNames(MFn::Type filter, const std::string& pruneAt = {},
                                  MItDag::TraversalType order = MItDag::kDepthFirst) {
  std::vector<std::string> out;
  MStatus s;
  MItDag it(order, filter, &s);
  EXPECT_TRUE(s);
  // A walk stopped part of the way and reset starts over from the world.
  for (int step = 0; step < 3 && !it.isDone(); ++step) it.next();
  EXPECT_TRUE(it.reset());
  for (; !it.isDone(); it.next()) {
    std::string name = MFnDependencyNode(it.item()).name().asChar();
    out.push_back(name);
    if (name == pruneAt) it.prune();
  }
  return out;
}

using SceneTest = HostTest;

// grp { a { a1 { meshShape }, j1, a2 }, b }, c; then a2, given a child, is
// also instanced under c.
TEST_F(SceneTest, TraversalOrdersPruneTypeFiltersAndInstancePaths) {
  b.transform("grp");
  b.transform("a", "grp");
  b.transform("a1", "a");
  b.joint("j1", "a");
  b.transform("a2", "a");
  b.transform("b", "grp");
  b.transform("c");
  b.create("mesh", "meshShape", "a1");
  EXPECT_EQ(dagNames(MFn::kInvalid), (std::vector<std::string>{"world", "grp", "a", "a1", "meshShape", "j1", "a2", "b", "c"}));
  EXPECT_EQ(dagNames(MFn::kInvalid, "a"), (std::vector<std::string>{"world", "grp", "a", "b", "c"}));
  EXPECT_EQ(dagNames(MFn::kInvalid, {}, MItDag::kBreadthFirst),
            (std::vector<std::string>{"world", "grp", "c", "a", "b", "a1", "j1", "a2", "meshShape"}));
  EXPECT_EQ(dagNames(MFn::kInvalid, "a", MItDag::kBreadthFirst),
            (std::vector<std::string>{"world", "grp", "c", "a", "b"}));
  // Filtered-out nodes still lead to their descendants; a joint is a transform, a mesh is not.
  EXPECT_EQ(dagNames(MFn::kJoint, {}, MItDag::kBreadthFirst), (std::vector<std::string>{"j1"}));
  EXPECT_EQ(dagNames(MFn::kMesh), (std::vector<std::string>{"meshShape"}));
  EXPECT_EQ(dagNames(MFn::kTransform), (std::vector<std::string>{"grp", "a", "a1", "j1", "a2", "b", "c"}));

  // An instanced node and its children are visited once per path.
  b.transform("leaf", "a2");
  ASSERT_TRUE(b.scene().parent("a2", "c", true));
  auto visits = [&](MItDag::TraversalType order) {
    std::vector<std::string> out;
    for (MItDag it(order, MFn::kTransform); !it.isDone(); it.next()) {
      MDagPath p;
      EXPECT_TRUE(it.getPath(p));
      if (p.node() == node("a2") || p.node() == node("leaf"))
        out.push_back(p.fullPathName().asChar() + ("#" + std::to_string(p.instanceNumber())) + " " +
                      std::to_string(it.depth()));
    }
    return out;
  };
  EXPECT_EQ(visits(MItDag::kDepthFirst), (std::vector<std::string>{"|grp|a|a2#0 3", "|grp|a|a2|leaf#0 4",
                                                                    "|c|a2#1 2", "|c|a2|leaf#1 3"}));
  EXPECT_EQ(visits(MItDag::kBreadthFirst), (std::vector<std::string>{"|c|a2#1 2", "|grp|a|a2#0 3",
                                                                      "|c|a2|leaf#1 3", "|grp|a|a2|leaf#0 4"}));

  // A path walked down from the world by hand is the same path.
  MDagPath walked;
  ASSERT_TRUE(MItDag().getPath(walked));
  for (const char* name : {"c", "a2", "leaf"}) ASSERT_TRUE(walked.push(node(name)));
  MDagPathArray all;
  ASSERT_TRUE(MDagPath::getAllPathsTo(node("leaf"), all));
  ASSERT_EQ(all.length(), 2u);
  EXPECT_EQ(walked.length(), 3u);
  EXPECT_TRUE(walked == all[1]);
  EXPECT_FALSE(walked == all[0]);
  ASSERT_TRUE(walked.pop());
  EXPECT_EQ(walked.instanceNumber(), 1u);
  ASSERT_TRUE(walked.pop(2));
  EXPECT_TRUE(walked.isValid());
  EXPECT_EQ(walked.length(), 0u);
  EXPECT_EQ(walked.childCount(), 2u) << "the world holds grp and c";
  EXPECT_FALSE(walked.pop());
}

TEST_F(SceneTest, TypeNamesAndFunctionSetsFollowMaya) {
  struct Case {
    const char* type;
    bool shape;  // created under a transform
    const char* apiTypeStr;
    std::vector<MFn::Type> has;
    std::vector<MFn::Type> hasNot;
  };
  const std::vector<Case> cases = {
      {"transform", false, "kTransform", {MFn::kTransform, MFn::kDagNode, MFn::kDependencyNode}, {MFn::kJoint, MFn::kShape}},
      {"joint", false, "kJoint", {MFn::kJoint, MFn::kTransform, MFn::kDagNode}, {MFn::kShape}},
      {"mesh", true, "kMesh", {MFn::kMesh, MFn::kShape, MFn::kDagNode}, {MFn::kTransform}},
      {"camera", true, "kCamera", {MFn::kCamera, MFn::kShape}, {MFn::kLight}},
      {"pointLight", true, "kPointLight", {MFn::kNonAmbientLight, MFn::kLight, MFn::kShape}, {MFn::kSpotLight}},
      {"spotLight", true, "kSpotLight", {MFn::kLight}, {MFn::kPointLight}},
      {"skinCluster", false, "kSkinClusterFilter", {MFn::kGeometryFilt}, {MFn::kBlendShape}},
      {"blendShape", false, "kBlendShape", {MFn::kGeometryFilt}, {MFn::kDagNode}},
      {"blinn", false, "kBlinn", {MFn::kReflect, MFn::kLambert}, {MFn::kPhong}},
      {"lambert", false, "kLambert", {MFn::kLambert}, {MFn::kReflect}},
      {"file", false, "kFileTexture", {MFn::kTexture2d}, {MFn::kLambert}},
      {"dagPose", false, "kDagPose", {MFn::kDependencyNode}, {MFn::kDagNode}},
      {"animCurveTA", false, "kDependencyNode", {MFn::kDependencyNode}, {MFn::kDagNode}},
  };
  for (const Case& c : cases) {
    std::string parent = c.shape ? b.transform(std::string("t_") + c.type) : std::string();
    MObject o = b.scene().createNode(c.type, std::string("n_") + c.type, parent);
    ASSERT_FALSE(o.isNull()) << c.type;
    EXPECT_STREQ(o.apiTypeStr(), c.apiTypeStr) << c.type;
    for (MFn::Type t : c.has) EXPECT_TRUE(o.hasFn(t)) << c.type << " " << t;
    for (MFn::Type t : c.hasNot) EXPECT_FALSE(o.hasFn(t)) << c.type << " " << t;
  }
}

TEST_F(SceneTest, DependencyNodesComeDefaultFirstThenInCreationOrder) {
  b.create("lambert", "early");
  b.scene().ensureDefaultNodes();
  b.create("blinn", "late");
  auto names = [](MFn::Type filter) {
    std::vector<std::string> out;
    for (MItDependencyNodes it(filter); !it.isDone(); it.next()) out.push_back(MFnDependencyNode(it.item()).name().asChar());
    return out;
  };
  EXPECT_EQ(names(MFn::kLambert), (std::vector<std::string>{"lambert1", "early", "late"}));
  const std::vector<std::string> all = names(MFn::kInvalid);
  EXPECT_LT(std::find(all.begin(), all.end(), "persp"), std::find(all.begin(), all.end(), "early"));
}

TEST_F(SceneTest, NestedMultiPathsAddressTheRightElements) {
  std::string skin = b.create("skinCluster", "skin");
  b.set(skin + ".wl[3].w[2]", {0.25});
  b.set(skin + ".wl[0:1].w", {2, 0, 0.5, 7, 0.5, 1, 4, 1.0});  // compact form: count, index, weight...
  std::string bs = b.create("blendShape", "bs");
  b.set(bs + ".it[0].itg[1].iti[6000].ipt", {2, 1, 0, 0, 1, 0, 2, 0, 1}, "pointArray");
  MFnDependencyNode fn(node("skin"));
  MPlug w = fn.findPlug("wl").elementByLogicalIndex(3).child(0).elementByLogicalIndex(2);
  EXPECT_DOUBLE_EQ(w.asDouble(), 0.25);
  EXPECT_EQ(w.name(), MString("skin.wl[3].w[2]"));
  EXPECT_EQ(w.logicalIndex(), 2u);
  MIntArray ids;
  fn.findPlug("wl").elementByLogicalIndex(0).child(0).getExistingArrayAttributeIndices(ids);
  EXPECT_EQ(ids.items(), (std::vector<int>{0, 7}));
  EXPECT_DOUBLE_EQ(fn.findPlug("wl[1].w[4]").asDouble(), 1.0);
  EXPECT_EQ(fn.findPlug("wl").numElements(), 3u);
  MStatus s;
  fn.findPlug("wl[0:1]", &s);
  EXPECT_FALSE(s) << "a range names no single plug";
  // Left-out multi indices mean 0; long and short names mix.
  b.set("skin.weightList.weights[5]", {0.75});
  EXPECT_DOUBLE_EQ(fn.findPlug("wl[0].w[5]").asDouble(), 0.75);

  MObject pts;
  MPlug ipt = MFnDependencyNode(node("bs")).findPlug("it[0].itg[1].iti[6000].ipt");
  ASSERT_TRUE(ipt.getValue(pts));
  EXPECT_TRUE(pts.hasFn(MFn::kPointArrayData));
}

TEST_F(SceneTest, PrimitiveOperationsRejectBadInput) {
  kvhost::Scene& s = b.scene();
  b.transform("t");
  struct Case {
    std::string plug;
    std::vector<kvhost::Arg> values;
    const char* error;
  };
  const Case bad[] = {
      {"nosuch.tx", {1.0}, "no node named 'nosuch'"},
      {"t.t", {1.0, 2.0}, "setAttr t.t: too few values"},
      {"t.tx[2]", {1.0}, "'translateX' of 't' is not a multi attribute"},
      {"t.t", {1.0, 2.0, 3.0, 4.0}, "setAttr t.t: more values than the plug takes"},
      {"t.wm[0]", {1.0}, "setAttr t.wm[0]: the attribute is computed and cannot be set"},
      {"t.tx", {kvhost::Arg("text")}, "setAttr t.tx: expected a number, found 'text'"},
      {"t.t[x", {1.0}, "unclosed '[' in 't[x'"},
  };
  for (const Case& c : bad) {
    EXPECT_FALSE(s.setAttr(c.plug, std::span<const kvhost::Arg>(c.values))) << c.plug;
    EXPECT_EQ(s.lastError(), c.error) << c.plug;
  }
  EXPECT_FALSE(s.connectAttr("t.tx", "t.wm[0]"));
  EXPECT_FALSE(s.parent("t", "nosuch"));
  EXPECT_TRUE(s.createNode("transform", "x", "nosuch").isNull());
  EXPECT_TRUE(s.createNode("lambert", "y", "t").isNull());
  EXPECT_TRUE(s.createNode("").isNull());
  EXPECT_NE(s.lastError().find("node type"), std::string::npos) << s.lastError();
  // Attributes the host does not know are kept, on known and unknown node types alike.
  EXPECT_TRUE(s.setAttr("t.notes", {kvhost::Arg("kept")}, "string"));
  EXPECT_EQ(MFnDependencyNode(node("t")).findPlug("notes").asString(), MString("kept"));
  b.create("animCurveTA", "curve");
  EXPECT_TRUE(s.setAttr("curve.ktv[0:1]", {0, 0.0, 10, 45.0}));
  EXPECT_TRUE(s.setAttr("curve.tan", {18}));
  EXPECT_TRUE(s.setAttr("curve.many[0:1]", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})) << "five values an element";
  EXPECT_DOUBLE_EQ(MFnDependencyNode(node("curve")).findPlug("tan").asDouble(), 18.0);
  // Added attributes refuse clashing names and unknown types, and connect like built-in ones.
  MObject t = node("t");
  ASSERT_TRUE(s.addAttr(t, {.longName = "blink", .shortName = "bl", .attributeType = "double", .defaultValue = 0.25}));
  EXPECT_FALSE(s.addAttr(t, {.longName = "blink"})) << "duplicate name";
  EXPECT_FALSE(s.addAttr(t, {.longName = "odd", .attributeType = "quaternion7"}));
  ASSERT_TRUE(s.connectAttr("t.bl", "t.tx"));
  EXPECT_DOUBLE_EQ(MFnDependencyNode(t).findPlug("tx").asDouble(), 0.25);
  ASSERT_TRUE(s.disconnectAttr("t.bl", "t.tx"));
  EXPECT_TRUE(s.connectAttr("t.bl", "t.tx")) << "free to connect again once disconnected";
  // Attributes added to a node are listed after its type's, in order, and the list ends there.
  MFnDependencyNode fn(t);
  const unsigned count = fn.attributeCount();
  EXPECT_EQ(fn.findPlug(fn.attribute(count - 2)).partialName(), MString("notes"));
  EXPECT_EQ(fn.findPlug(fn.attribute(count - 1)).partialName(), MString("bl"));
  EXPECT_TRUE(fn.attribute(count).isNull());
}

TEST_F(SceneTest, MalformedStatementsFailWithoutChangingTheScene) {
  kvhost::Scene& s = b.scene();
  std::string shape = b.mesh("m", {.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, .faces = {{0, 1, 2}},
                                   .uvSets = {{"map1", {{0, 0}, {1, 0}, {0, 1}}, {{0, 1, 2}}}}});
  using kvhost::Arg;
  struct Case {
    std::string plug;
    std::vector<Arg> values;
    std::string type;
  };
  const std::vector<Case> bad = {
      {shape + ".vt[", {1.0}, ""},
      {shape + ".vt[x]", {1.0}, ""},
      {shape + ".vt[5:2]", {1.0}, ""},
      {shape + "..vt[0]", {1.0}, ""},
      {shape + ".vt[0:1].vx[0:1]", {1.0}, ""},
      {shape + ".vt[-1]", {1.0, 2.0, 3.0}, ""},
      {shape + ".vt[0:1]", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0}, ""},
      {shape + ".vt[1:2]", {9.0, 9.0, 9.0}, ""},
      {shape + ".fc[0]", {4, 0, 1, 2, 3}, "polyFaces"},
      {shape + ".fc[0]", {Arg::word("f"), 3, 0, 1}, "polyFaces"},
      {shape + ".fc[0]", {Arg::word("f"), 1000000, 0}, "polyFaces"},
      {shape + ".fc[0]", {Arg::word("f"), 1, 0, Arg::word("f"), 1, 0}, "polyFaces"},
      {shape + ".fc[0]", {Arg::word("x"), 1, 0}, "polyFaces"},
      {shape + ".iog[0].og[0].gcl", {2, "f[0]"}, "componentList"},
      {shape + ".iog[0].og[0].gcl", {1, "f[3:1]"}, "componentList"},
      {shape + ".iog[0].og[0].gcl", {1, "nonsense"}, "componentList"},
      {shape + ".uvst[0].uvsn", {1.0, 2.0}, "double2"},
      {shape + ".io", {1.0}, "matrix"},
      {"m.r", {1.0, 2.0}, "double3"},
      {shape + ".vt[2147483648]", {1.0, 2.0, 3.0}, ""},
      {shape + ".vt[300000000:300000001]", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0}, ""},
      {shape + ".iog[0].og[0].gcl", {1, "f[99999999999]"}, "componentList"},
      {shape + ".fc[0]", {Arg::word("f"), 1e300, 0}, "polyFaces"},
      {shape + ".fc[1]", {Arg::word("f"), 3, 0, 1, 2, Arg::word("mu"), 0, 3, 0, 1, 2, Arg::word("x")}, "polyFaces"},
  };
  for (const Case& c : bad) EXPECT_FALSE(s.setAttr(c.plug, std::span<const Arg>(c.values), c.type)) << c.plug;
  // A face written afterwards gets nothing from the refused ones: no UVs.
  b.set(shape + ".fc[1]", {Arg::word("f"), 3, 0, 1, 2}, "polyFaces");
  MFnMesh mesh(path(shape));
  EXPECT_EQ(mesh.numVertices(), 3);
  EXPECT_EQ(mesh.numPolygons(), 2);
  int uv = 0;
  EXPECT_FALSE(mesh.getPolygonUVid(1, 0, uv));
  MPointArray p;
  mesh.getPoints(p);
  EXPECT_POINT_NEAR(p[1], 1, 0, 0);
}

TEST_F(SceneTest, HostileIndicesNeitherCrashNorExhaustMemory) {
  using kvhost::Arg;
  b.transform("m");
  std::string shape = b.create("mesh", "mShape", "m");
  // Legal but absurdly sparse vertex indices: the mesh reports an error instead of allocating them.
  b.set(shape + ".vt[0]", {0, 0, 0});
  b.set(shape + ".vt[200000000]", {1, 1, 1});
  b.set(shape + ".ed[0]", {0, 1e300, 0});
  b.set(shape + ".fc[100000000]", {Arg::word("f"), 1, 1e300}, "polyFaces");
  MFnMesh mesh(path(shape));
  EXPECT_EQ(mesh.numVertices(), 0);
  ASSERT_FALSE(kvhost::Scene::get().messages().empty());
  EXPECT_NE(kvhost::Scene::get().messages().back().text.find("mShape"), std::string::npos);
  // Dense vertices with faces at scattered indices: faces keep their order, gaps make no face.
  std::string ok = b.create("mesh", "okShape", "m");
  b.set(ok + ".vt[0:2]", {0, 0, 0, 1, 0, 0, 0, 1, 0});
  b.set(ok + ".ed[0:2]", {0, 1, 0, 1, 2, 0, 2, 0, 0});
  b.set(ok + ".fc[7]", {Arg::word("f"), 3, 0, 1, 2}, "polyFaces");
  b.set(ok + ".fc[3]", {Arg::word("f"), 3, -3, -2, -1}, "polyFaces");
  MFnMesh okMesh(path(ok));
  ASSERT_EQ(okMesh.numPolygons(), 2);
  MIntArray first;
  okMesh.getPolygonVertices(0, first);
  EXPECT_EQ(first.items(), (std::vector<int>{0, 2, 1})) << "the face set at index 3 comes first";
  // A weight index beyond any logical index is refused.
  b.create("skinCluster", "skin");
  EXPECT_FALSE(b.scene().setAttr("skin.wl[0].w", {1, 1e12, 0.5}));
}

TEST_F(SceneTest, DagPathsSharedNamesAndNavigation) {
  b.transform("g1");
  b.transform("g2");
  b.transform("leaf", "g1");
  b.transform("leaf", "g2");
  EXPECT_EQ(MFnDagNode(node("|g2|leaf")).parent(0), node("g2"));
  EXPECT_EQ(MFnDagNode(node("g1|leaf")).parent(0), node("g1"));
  EXPECT_EQ(path("|g2|leaf").partialPathName(), MString("g2|leaf"));
  MObject dup = b.scene().createNode("lambert", "g1");
  EXPECT_EQ(MFnDependencyNode(dup).name(), MString("g3"));
  EXPECT_EQ(MFnDependencyNode(b.scene().createNode("lambert", "mat7")).name(), MString("mat7"));
  EXPECT_EQ(MFnDependencyNode(b.scene().createNode("lambert", "mat7")).name(), MString("mat8"));

  b.transform("grp");
  std::string shape = b.create("mesh", "grpShape", "grp");
  b.transform("child", "grp");
  MDagPath shapePath = path(shape);
  EXPECT_EQ(shapePath.transform(), node("grp")) << "the transform above a shape, as an object";
  EXPECT_EQ(path("grp").transform(), node("grp")) << "a transform's own node";
  MDagPath grp = path("grp");
  ASSERT_EQ(grp.childCount(), 2u);
  MDagPath extended = grp;
  ASSERT_TRUE(extended.push(grp.child(1)));
  EXPECT_EQ(extended, path("child"));
  MStatus s;
  EXPECT_TRUE(MDagPath().transform(&s).isNull());
  EXPECT_EQ(s, MS::kInvalidParameter) << "an empty path has no transform";
  grp.child(2, &s);
  EXPECT_FALSE(s) << "a child past the end";
  EXPECT_FALSE(extended.push(node("grp")));

  // Handles to a reset scene are dead.
  MObject child = node("child");
  b.scene().reset();
  MStatus fnStatus, nodeStatus, childStatus;
  MFnDependencyNode fn(child, &fnStatus);
  extended.node(&nodeStatus);
  grp.child(0, &childStatus);
  EXPECT_FALSE(fnStatus || nodeStatus || childStatus);
  EXPECT_FALSE(extended.isValid());
  EXPECT_TRUE(node("child").isNull());
}

}  // namespace
