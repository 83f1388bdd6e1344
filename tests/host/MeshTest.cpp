// Meshes through MFnMesh and the iterators: face vertices from edge loops
// (reversed edges, holes), UV sets and per-corner UV ids, world points and
// shading assignments.

#include <maya/MFloatArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MItGeometry.h>
#include <maya/MItMeshPolygon.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MPointArray.h>
#include <maya/MStringArray.h>

#include "HostTestSupport.h"

namespace {

using kvhost::Arg;

class MeshTest : public HostTest {
protected:
  // A square face with a square hole, and a triangle sharing an edge with it
  // walked backwards, written the way a .ma file stores them; the first UV
  // set is left unnamed, which makes it "map1".
  std::string squareWithHole() {
    b.transform("plate", {}, {.t = {10, 0, 0}});
    std::string shape = b.create("mesh", "plateShape", "plate");
    b.set(shape + ".vt[0:8]", {0, 0, 0, 4, 0, 0, 4, 4, 0, 0, 4, 0, 1, 1, 0, 3, 1, 0, 3, 3, 0, 1, 3, 0, 4, -4, 0});
    b.set(shape + ".ed[0:9]", {0, 1, 0, 1, 2, 0, 2, 3, 0, 3, 0, 0, 4, 5, 1, 5, 6, 1, 6, 7, 1, 7, 4, 1, 1, 8, 0, 8, 2, 0});
    b.set(shape + ".uvst[0].uvsp[0:4]", {0, 0, 1, 0, 1, 1, 0, 1, 1, -1});
    b.set(shape + ".uvst[1].uvsn", {"extra"}, "string");
    b.set(shape + ".uvst[1].uvsp[0:2]", {0.5, 0.5, 0.25, 0.25, 0.75, 0.75});
    b.set(shape + ".cuvs", {"map1"}, "string");
    b.set(shape + ".fc[0:1]",
          {Arg::word("f"), 4, 0, 1, 2, 3, Arg::word("mu"), 0, 4, 0, 1, 2, 3,  //
           Arg::word("h"), 4, -8, -7, -6, -5,                                 //
           Arg::word("f"), 3, 8, 9, -2, Arg::word("mu"), 0, 3, 1, 4, 2, Arg::word("mu"), 1, 3, 0, 1, 2},
          "polyFaces");
    return shape;
  }

  static inline const kvhost::MeshSpec kCube{
      .points = {{-1, -1, 1}, {1, -1, 1}, {-1, 1, 1}, {1, 1, 1}, {-1, 1, -1}, {1, 1, -1}, {-1, -1, -1}, {1, -1, -1}},
      .faces = {{0, 1, 3, 2}, {2, 3, 5, 4}, {4, 5, 7, 6}, {6, 7, 1, 0}, {1, 7, 5, 3}, {6, 0, 2, 4}}};
};

// Face vertices follow edge loops (reversed edges, holes); UV ids are per
// corner and per set; points in world space follow the shape's path. Faces
// written by later statements, and stored data changed after the mesh was
// evaluated, give the mesh all of it again.
TEST_F(MeshTest, LoopsHolesAndPerCornerUVsSurviveEvaluatingAgain) {
  std::string shape = squareWithHole();
  MFnMesh mesh(path(shape));
  EXPECT_EQ(mesh.numVertices(), 9);
  ASSERT_EQ(mesh.numPolygons(), 2);
  MStringArray sets;
  ASSERT_TRUE(mesh.getUVSetNames(sets));
  EXPECT_EQ(sets.items(), (std::vector<MString>{"map1", "extra"}));
  EXPECT_EQ(mesh.numUVs(), 5);
  EXPECT_EQ(mesh.numUVs("extra"), 3);
  EXPECT_EQ(mesh.numUVs("missing"), 0);
  MFloatArray u, v;
  ASSERT_TRUE(mesh.getUVs(u, v));
  EXPECT_EQ(u.items(), (std::vector<float>{0, 1, 1, 0, 1}));
  EXPECT_EQ(v.items(), (std::vector<float>{0, 0, 1, 1, -1}));
  int previous, id = -7;
  auto uvOf = [&](int face, int corner, const MString* set = nullptr) {
    MItMeshPolygon it(path(shape));
    it.setIndex(face, previous);
    return it.getUVIndex(corner, id, set) ? id : -1;
  };
  const MString extra("extra");
  auto expectFaces = [&] {
    for (const auto& [face, loop] : {std::pair{0, std::vector<int>{0, 1, 2, 3, 4, 7, 6, 5}}, {1, {1, 8, 2}}}) {
      MItMeshPolygon it(path(shape));
      ASSERT_TRUE(it.setIndex(face, previous));
      ASSERT_EQ(it.polygonVertexCount(), loop.size()) << face;
      for (size_t i = 0; i < loop.size(); ++i) EXPECT_EQ(it.vertexIndex(static_cast<int>(i)), loop[i]) << face;
    }
    for (int c = 0; c < 3; ++c) EXPECT_EQ(uvOf(1, c), (std::vector<int>{1, 4, 2}[static_cast<size_t>(c)])) << c;
    EXPECT_EQ(uvOf(1, 2, &extra), 2);
    // The square has map1 UVs on its outer loop only, and none in "extra".
    EXPECT_EQ(uvOf(0, 0), 0);
    EXPECT_EQ(uvOf(0, 3), 3);
    EXPECT_EQ(uvOf(0, 4), -1) << "hole corner without UVs";
    EXPECT_EQ(uvOf(0, 0, &extra), -1);
  };
  expectFaces();
  EXPECT_FALSE(mesh.getPolygonUVid(0, 0, id, &extra));
  MItMeshPolygon past(path(shape));
  EXPECT_FALSE(past.setIndex(2, previous)) << "a polygon past the end";

  b.set(shape + ".fc[2]", {Arg::word("f"), 3, 8, 9, -2, Arg::word("mu"), 0, 3, 5, 4, 2}, "polyFaces");
  ASSERT_EQ(mesh.numPolygons(), 3);
  EXPECT_EQ(uvOf(2, 0), -1) << "UV 5 is not stored yet";
  b.set(shape + ".uvst[0].uvsp[6]", {0.5, 0.5});
  EXPECT_EQ(uvOf(2, 0), 5) << "a gap below a stored UV is a UV at 0 0";
  ASSERT_TRUE(mesh.getUVs(u, v));
  EXPECT_EQ(u.items(), (std::vector<float>{0, 1, 1, 0, 1, 0, 0.5}));
  EXPECT_EQ(v.items(), (std::vector<float>{0, 0, 1, 1, -1, 0, 0.5}));
  b.set(shape + ".vt[9]", {9, 9, 0});
  EXPECT_EQ(mesh.numVertices(), 10);
  expectFaces();
  b.scene().setTriangulateMeshes(true);
  EXPECT_EQ(mesh.numPolygons(), 10) << "the square's ring makes eight triangles around its hole";
  b.connect(shape + ".uvst[1].uvsn", shape + ".cuvs");
  EXPECT_EQ(mesh.currentUVSetName(), MString("extra")) << "the current set through a connection, not the stored map1";

  // World points go through the shape path's matrix; vertex tweaks (pnts) add
  // to the stored points and reach the iterators.
  MPointArray local, world;
  ASSERT_TRUE(mesh.getPoints(local));
  ASSERT_TRUE(mesh.getPoints(world, MSpace::kWorld));
  EXPECT_POINT_NEAR(local[2], 4, 4, 0);
  EXPECT_POINT_NEAR(world[2], 14, 4, 0);
  b.set(shape + ".pt[2]", {0, 0, 1});
  MItGeometry geometry(path(shape));
  for (int i = 0; i < 2; ++i) geometry.next();
  EXPECT_EQ(geometry.index(), 2);
  EXPECT_POINT_NEAR(geometry.position(MSpace::kWorld), 14, 4, 1);
  EXPECT_TRUE(geometry.component().hasFn(MFn::kMeshVertComponent));
}

TEST_F(MeshTest, ShadersWholeObjectAndPerFace) {
  // Maya files write `connectAttr "shape.iog" "SG.dsm" -na`; the connection is
  // the shape's first instance, instObjGroups[0].
  std::string whole = b.mesh("whole", kCube);
  std::string sg = b.material("lambert", "grey");
  b.connect(whole + ".iog", sg + ".dsm", true);
  std::vector<std::string> names;
  EXPECT_EQ(shaderIndices(whole, &names), (std::vector<int>{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(names, (std::vector<std::string>{"greySG"}));
  MPlugArray sources;
  MFnDependencyNode(node(sg)).findPlug("dsm").elementByLogicalIndex(0).connectedTo(sources, true, false);
  ASSERT_EQ(sources.length(), 1u);
  EXPECT_EQ(sources[0].logicalIndex(), 0u);

  std::string split = b.mesh("split", kCube);
  std::string red = b.material("blinn", "red"), blue = b.material("phong", "blue");
  b.assignFaces(split, red, {"f[0:1]", "f[4]"});
  b.assignFaces(split, blue, {"f[2]"});
  names.clear();
  EXPECT_EQ(shaderIndices(split, &names), (std::vector<int>{0, 0, 1, -1, 0, -1}));
  EXPECT_EQ(names, (std::vector<std::string>{"redSG", "blueSG"}));

  std::string bare = b.mesh("bare", kCube);
  MStatus s;
  EXPECT_EQ(MFnMesh(path(bare)).numUVs(&s), 0);
  EXPECT_TRUE(s) << "no UV sets means no UVs, not an error";
  MFloatArray u(2), v(2);
  EXPECT_TRUE(MFnMesh(path(bare)).getUVs(u, v) && u.length() + v.length() == 0) << "arrays emptied";
  names.clear();
  EXPECT_EQ(shaderIndices(bare, &names), (std::vector<int>(6, -1)));
  EXPECT_TRUE(names.empty());
}

}  // namespace
