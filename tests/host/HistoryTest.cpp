// Construction history: poly generators against the meshes Maya stores for
// them (points, loops, edges with smooth flags, UVs and per-corner UV ids),
// modifiers on small meshes, component groups carried through them, the
// host's own triangulation, and hostile parameters.

#include <maya/MFloatArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MItMeshPolygon.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MPointArray.h>
#include <maya/MStringArray.h>

#include <array>
#include <cmath>
#include <map>
#include <set>
#include <tuple>


#include "HostTestSupport.h"

namespace {

using kvhost::Arg;

struct Mesh {
  std::vector<MPoint> points;
  std::vector<std::vector<int>> faces, faceUVs;
  std::vector<std::array<float, 2>> uvs;
  std::vector<std::array<int, 3>> edges;  // v0 v1 smooth
};

// Values Maya prints with eight significant digits.
constexpr double kPrinted = 6e-8;

class HistoryTest : public HostTest {
protected:
  // A transform NAME with a mesh fed by a new node of `type` with `attrs`.
  std::string generate(const std::string& type, const std::string& name,
                       const std::vector<std::pair<std::string, std::vector<Arg>>>& attrs = {}) {
    b.create(type, name + "Node");
    for (const auto& [attr, values] : attrs) b.set(name + "Node." + attr, values);
    b.transform(name);
    std::string shape = b.create("mesh", name + "Shape", name);
    b.connect(name + "Node.out", shape + ".i");
    return shape;
  }
  // A modifier of `type` between the mesh's current input and the mesh.
  std::string modify(const std::string& shape, const std::string& type, const std::string& name,
                     const std::vector<std::pair<std::string, std::vector<Arg>>>& attrs = {},
                     const std::string& in = "ip", const std::string& out = "out") {
    MPlugArray sources;
    MFnDependencyNode(node(shape)).findPlug("i").connectedTo(sources, true, false);
    b.create(type, name);
    for (const auto& [attr, values] : attrs) {
      bool list = attr == "ics" || attr == "dc";
      b.set(name + "." + attr, values, list ? "componentList" : "");
    }
    b.connect(sources[0].name().asChar(), name + "." + in);
    b.connect(name + "." + out, shape + ".i");
    return name;
  }

  static Mesh read(const std::string& shape) {
    Mesh m;
    MFnMesh fn(path(shape));
    MPointArray points;
    fn.getPoints(points);
    m.points = points.items();
    for (int f = 0; f < fn.numPolygons(); ++f) {
      MIntArray verts;
      fn.getPolygonVertices(f, verts);
      m.faces.push_back(verts.items());
      std::vector<int> uvs;
      for (unsigned i = 0; i < verts.length(); ++i) {
        int id = -1;
        fn.getPolygonUVid(f, static_cast<int>(i), id);
        uvs.push_back(id);
      }
      m.faceUVs.push_back(uvs);
    }
    MFloatArray u, v;
    fn.getUVs(u, v);
    for (unsigned i = 0; i < u.length(); ++i) m.uvs.push_back({u[i], v[i]});
    for (int e = 0; e < fn.numEdges(); ++e) {
      int2 ends;
      fn.getEdgeVertices(e, ends);
      m.edges.push_back({ends[0], ends[1], fn.isEdgeSmooth(e) ? 1 : 0});
    }
    return m;
  }

  // Every point (N 3) or UV (N 2) of a mesh, coordinates run together.
  template <unsigned N, typename T>
  static void expectAll(const std::vector<T>& values, const std::vector<double>& flat, const char* what) {
    ASSERT_EQ(values.size() * N, flat.size()) << what;
    for (size_t i = 0; i < flat.size(); ++i)
      EXPECT_NEAR(values[i / N][static_cast<unsigned>(i % N)], flat[i], kPrinted) << what << " element " << i / N;
  }

  // Single coordinates {element, axis, value} of a mesh's points or UVs.
  struct At {
    size_t element;
    unsigned axis;
    double value;
  };
  template <typename T>
  static void expectAt(const std::vector<T>& values, std::initializer_list<At> expected, double tolerance = kPrinted) {
    for (const At& at : expected) {
      ASSERT_LT(at.element, values.size());
      EXPECT_NEAR(values[at.element][at.axis], at.value, tolerance) << "element " << at.element << " axis " << at.axis;
    }
  }

  // Area of a face seen down an axis (0 x, 2 z), positive counter-clockwise.
  static double area(const Mesh& m, int f, unsigned axis) {
    const unsigned u = (axis + 1) % 3, v = (axis + 2) % 3;
    double a = 0;
    const auto& loop = m.faces[static_cast<size_t>(f)];
    for (size_t i = 0; i < loop.size(); ++i) {
      const MPoint& p = m.points[static_cast<size_t>(loop[i])];
      const MPoint& q = m.points[static_cast<size_t>(loop[(i + 1) % loop.size()])];
      a += p[u] * q[v] - q[u] * p[v];
    }
    return a / 2;
  }
};

// ------------------------------------------------------------------ generators

TEST_F(HistoryTest, CubeIsMayasCubeForDefaultSubdividedAndTurnedNodes) {
  Mesh cube = read(generate("polyCube", "unit", {{"cuv", {4}}}));
  expectAll<3>(cube.points, {-0.5, -0.5, 0.5, 0.5, -0.5, 0.5, -0.5, 0.5, 0.5, 0.5, 0.5, 0.5,
                             -0.5, 0.5, -0.5, 0.5, 0.5, -0.5, -0.5, -0.5, -0.5, 0.5, -0.5, -0.5},
               "unit cube");
  EXPECT_EQ(cube.faces, (std::vector<std::vector<int>>{{0, 1, 3, 2}, {2, 3, 5, 4}, {4, 5, 7, 6}, {6, 7, 1, 0}, {1, 7, 5, 3}, {6, 0, 2, 4}}));
  EXPECT_EQ(cube.faceUVs, (std::vector<std::vector<int>>{{0, 1, 3, 2}, {2, 3, 5, 4}, {4, 5, 7, 6}, {6, 7, 9, 8}, {1, 10, 11, 3}, {12, 0, 2, 13}}));
  expectAll<2>(cube.uvs, {0.375, 0, 0.625, 0, 0.375, 0.25, 0.625, 0.25, 0.375, 0.5, 0.625, 0.5, 0.375, 0.75,
                          0.625, 0.75, 0.375, 1, 0.625, 1, 0.875, 0, 0.875, 0.25, 0.125, 0, 0.125, 0.25},
               "unit cube");
  EXPECT_EQ(cube.edges, (std::vector<std::array<int, 3>>{{0, 1, 0}, {2, 3, 0}, {4, 5, 0}, {6, 7, 0}, {0, 2, 0}, {1, 3, 0},
                                                        {2, 4, 0}, {3, 5, 0}, {4, 6, 0}, {5, 7, 0}, {6, 0, 0}, {7, 1, 0}}));

  // Six rows up the front: float32 running sums, and one running v over every band.
  Mesh tall = read(generate("polyCube", "tall", {{"sh", {6}}, {"cuv", {4}}}));
  ASSERT_EQ(tall.points.size(), 28u);
  const double front[] = {-0.5, -0.33333331, -0.16666664, 2.9802322e-08, 0.1666667, 0.33333337, 0.5};
  for (int k = 0; k <= 6; ++k) EXPECT_NEAR(tall.points[static_cast<size_t>(2 * k)].y, front[k], kPrinted) << "row " << k;
  ASSERT_EQ(tall.uvs.size(), 44u);
  const std::pair<int, double> rowV[] = {{1, 0.041666668}, {6, 0.25}, {7, 0.5}, {8, 0.54166669}, {13, 0.75000012}, {14, 1.0000001}};
  for (auto [row, v] : rowV) EXPECT_NEAR(tall.uvs[static_cast<size_t>(2 * row)][1], v, kPrinted) << "UV row " << row;
  EXPECT_EQ(tall.faces.size(), 26u);
  EXPECT_EQ(tall.edges.size(), 52u);
  EXPECT_EQ(tall.edges[1], (std::array<int, 3>{2, 3, 1})) << "row edges inside a band are soft";
  // After the strip's edges, each side's inner rows from the back, then its columns.
  const Mesh grid = read(generate("polyCube", "grid", {{"sw", {2}}, {"sh", {2}}, {"sd", {2}}}));
  ASSERT_EQ(grid.edges.size(), 48u);
  EXPECT_EQ(grid.edges[40], (std::array<int, 3>{17, 24, 1}));

  Mesh turned = read(generate("polyCube", "turned", {{"ax", {0, 0, 1}}}));
  expectAll<3>(turned.points, {-0.5, -0.5, -0.5, 0.5, -0.5, -0.5, -0.5, -0.5, 0.5, 0.5, -0.5, 0.5,
                               -0.5, 0.5, 0.5, 0.5, 0.5, 0.5, -0.5, 0.5, -0.5, 0.5, 0.5, -0.5},
               "cube on the Z axis");
  EXPECT_EQ(turned.faces, cube.faces);
  EXPECT_TRUE(read(generate("polyCube", "bare", {{"cuv", {0}}})).uvs.empty()) << "cuv 0 makes no UVs";
  // cuv 2 normalises each face separately: every face spans the UV square.
  auto corners = [](const Mesh& m, size_t f) {
    std::set<std::pair<float, float>> uv;
    for (int id : m.faceUVs[f]) uv.insert({m.uvs[static_cast<size_t>(id)][0], m.uvs[static_cast<size_t>(id)][1]});
    return uv;
  };
  const std::set<std::pair<float, float>> square{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  Mesh each = read(generate("polyCube", "each", {{"cuv", {2}}}));
  ASSERT_EQ(each.uvs.size(), 24u);
  for (size_t f = 0; f < each.faces.size(); ++f) EXPECT_EQ(corners(each, f), square) << f;
  // Two depth divisions halve the grids of the top, bottom and sides; the back
  // (face 3), one row high, still spans its own.
  const Mesh deep = read(generate("polyCube", "deep", {{"cuv", {2}}, {"sd", {2}}}));
  const std::set<float> halves{0, 0.5f, 1};
  for (const auto& uv : deep.uvs) EXPECT_TRUE(halves.count(uv[0]) && halves.count(uv[1]));
  EXPECT_EQ(corners(deep, 3), square);
}

TEST_F(HistoryTest, CylinderRingsFollowTheCircleTableAndItsUVsTheFileVersion) {
  Mesh cylinder = read(generate("polyCylinder", "pole", {{"cuv", {3}}}));
  ASSERT_EQ(cylinder.points.size(), 42u);
  // Accumulated float32 rotation, not cos/sin of 18 degrees (0.95105652).
  expectAt(cylinder.points, {{0, 0, 0.95105714}, {0, 1, -1}, {0, 2, -0.30901718}});
  EXPECT_EQ(cylinder.faces[20], (std::vector<int>{1, 0, 40})) << "bottom fan";
  EXPECT_EQ(cylinder.faces[40], (std::vector<int>{20, 21, 41})) << "top fan";
  EXPECT_EQ(cylinder.faceUVs[40], (std::vector<int>{62 + 18, 62 + 17, 83})) << "top rim UVs run the other way";
  ASSERT_EQ(cylinder.uvs.size(), 84u);
  // UV 41 starts the top side row, here as Maya 2023 and later place it.
  expectAt(cylinder.uvs, {{21, 0, 0.38749999}, {22, 0, 0.39999998}, {40, 0, 0.62499976}, {41, 1, 0.6875},
                          {82, 1, 0.15625}, {83, 1, 0.84375}});
  EXPECT_EQ(cylinder.edges[40], (std::array<int, 3>{0, 20, 1})) << "sides of 18 degrees are soft";
  EXPECT_EQ(cylinder.edges[0][2], 0) << "rims are hard";

  b.scene().setMayaVersion(2019);
  Mesh old = read(generate("polyCylinder", "old", {{"cuv", {3}}}));
  expectAt(old.uvs, {{41, 1, 0.68843985}, {82, 1, 0.15000001}, {83, 1, 0.83749998}});

  Mesh coarse = read(generate("polyCylinder", "coarse", {{"sa", {8}}, {"sh", {3}}}));
  EXPECT_EQ(coarse.points.size(), 34u);
  EXPECT_EQ(coarse.edges[32], (std::array<int, 3>{0, 8, 0})) << "sides of 45 degrees are hard";
  EXPECT_EQ(coarse.edges[8], (std::array<int, 3>{8, 9, 1})) << "rings between side rows are soft";
}

TEST_F(HistoryTest, PyramidConeSphereTorusAndPlaneMatchMayasNumbers) {
  Mesh pyramid = read(generate("polyPyramid", "four", {{"cuv", {3}}}));
  expectAll<3>(pyramid.points, {9.2725848e-08, -0.35355338, -0.70710677, -0.70710677, -0.35355338, -6.1817239e-08,
                                -3.090862e-08, -0.35355338, 0.70710677, 0.70710677, -0.35355338, 0, 0, 0.35355338, 0},
               "pyramid");
  expectAll<2>(pyramid.uvs, {0.50000006, 0, 0.25, 0.24999999, 0.5, 0.5, 0.75, 0.25, 0.25, 0.5, 0.375, 0.5, 0.5, 0.5,
                             0.625, 0.5, 0.75, 0.5, 0.5, 1},
               "pyramid");
  EXPECT_EQ(pyramid.faces[0], (std::vector<int>{0, 3, 2, 1}));
  EXPECT_EQ(pyramid.faceUVs[1], (std::vector<int>{4, 5, 9}));
  for (const auto& e : pyramid.edges) EXPECT_EQ(e[2], 0) << "every pyramid edge is hard";
  Mesh three = read(generate("polyPyramid", "three", {{"ns", {3}}, {"cuv", {3}}}));
  expectAll<3>(three.points, {-0.2886751, -0.40824831, -0.50000006, -0.28867516, -0.40824831, 0.49999997, 0.57735026,
                              -0.40824831, 0, 0, 0.40824831, 0},
               "three-sided pyramid");
  expectAll<2>(three.uvs, {0.375, 0.033493623, 0.375, 0.46650636, 0.75, 0.25, 0.25, 0.5, 0.41666669, 0.5, 0.58333337,
                           0.5, 0.75000006, 0.5, 0.5, 1},
               "three-sided pyramid");

  Mesh cone = read(generate("polyCone", "cone", {{"cuv", {3}}}));
  ASSERT_EQ(cone.points.size(), 21u);
  expectAt(cone.points, {{16, 0, 0.58778524}, {16, 2, 0.80901706}});
  EXPECT_EQ(cone.faces[0].size(), 20u);
  EXPECT_EQ(cone.faces[0][1], 19) << "the base walks backwards";
  EXPECT_EQ(cone.faceUVs[1], (std::vector<int>{20, 21, 41})) << "one apex UV";
  // With caps (no Maya data) each UV of the base's 40 faces, which come first,
  // is its place on the base disc, the centre's too.
  const Mesh capped = read(generate("polyCone", "capped", {{"sc", {2}}}));
  for (size_t f = 0; f < 40; ++f)
    for (size_t i = 0; i < capped.faces[f].size(); ++i) {
      const MPoint& p = capped.points[static_cast<size_t>(capped.faces[f][i])];
      EXPECT_NEAR(capped.uvs[static_cast<size_t>(capped.faceUVs[f][i])][0], 0.5 + p.x / 4, 1e-6) << f << " " << i;
      EXPECT_NEAR(capped.uvs[static_cast<size_t>(capped.faceUVs[f][i])][1], 0.25 + p.z / 4, 1e-6) << f << " " << i;
    }

  // As Maya 2020 stores the default sphere; the pole UVs are centred with
  // half a step added (Maya 2018 on).
  Mesh sphere = read(generate("polySphere", "ball"));
  ASSERT_EQ(sphere.points.size(), 382u);
  ASSERT_EQ(sphere.uvs.size(), 439u);
  expectAt(sphere.points, {{115, 0, 0.24999999}, {115, 1, -0.58778524}, {115, 2, 0.76942098}, {381, 1, 1}});
  EXPECT_NEAR(MVector(sphere.points[180].x, 0, sphere.points[180].z).length(), 1, 1e-6) << "the equator";
  EXPECT_EQ(sphere.faces[360], (std::vector<int>{1, 0, 380}));
  EXPECT_EQ(sphere.edges.size(), 20u * 19u + 20u * 18u + 2u * 20u);
  EXPECT_EQ(sphere.faceUVs[380], (std::vector<int>{18 * 21, 18 * 21 + 1, 419}));
  // Rows are running float sums of 1/sa and 1/sh, so the last row ends just past 1.
  EXPECT_EQ(sphere.uvs[0][1], 0.05f);
  EXPECT_EQ(sphere.uvs[398][0], std::nextafter(1.0f, 2.0f));
  EXPECT_EQ(sphere.uvs[398][1], 0.95000017f);
  expectAt(sphere.uvs, {{399, 0, 0.025}, {400, 0, 0.075}});

  Mesh pinched = read(generate("polySphere", "pinched", {{"cuv", {1}}}));
  ASSERT_EQ(pinched.uvs.size(), 19u * 21u + 2u) << "cuv 1 pinches each pole into one UV";
  EXPECT_EQ(pinched.faceUVs[360][2], 399);
  EXPECT_EQ(pinched.faceUVs[380][2], 400);
  EXPECT_FLOAT_EQ(pinched.uvs[400][0], 0.5f);
  EXPECT_FLOAT_EQ(pinched.uvs[400][1], 1.0f);

  Mesh torus = read(generate("polyTorus", "ring"));
  ASSERT_EQ(torus.points.size(), 400u);
  ASSERT_EQ(torus.uvs.size(), 441u);
  EXPECT_EQ(torus.faces[0], (std::vector<int>{1, 0, 20, 21}));
  EXPECT_EQ(torus.faceUVs[0], (std::vector<int>{1, 0, 21, 22})) << "UVs do not wrap";
  EXPECT_NEAR(torus.uvs[440][1], -1.5646219e-07, 1e-13) << "v runs down from 1 in float32 steps";
  EXPECT_NEAR(torus.points[19].x, 0.5, kPrinted) << "ring 0 is the inner equator";

  Mesh plane = read(generate("polyPlane", "floor"));
  ASSERT_EQ(plane.points.size(), 121u);
  EXPECT_NEAR(plane.points[0].y, -1.110223e-16, 1e-22) << "the residue of Maya's turn is kept";
  EXPECT_NEAR(plane.points[0].z, 0.5, kPrinted);
  EXPECT_EQ(plane.faces[0], (std::vector<int>{0, 1, 12, 11}));
  EXPECT_EQ(plane.edges[0], (std::array<int, 3>{0, 1, 0}));
  EXPECT_EQ(plane.edges[22], (std::array<int, 3>{11, 22, 0})) << "border edges are hard";
  EXPECT_EQ(plane.edges[23], (std::array<int, 3>{12, 13, 1})) << "inner edges are soft";
}

TEST_F(HistoryTest, NonDefaultPrimitivesMatchPointsAndUVsMayaStored) {
  // Single points and UVs of meshes Maya saved, with the generator's parameters.
  struct Case {
    const char* type;
    std::vector<std::pair<std::string, std::vector<Arg>>> attrs;
    int version;
    size_t vertices;
    int vertex;
    std::array<double, 3> point;
    int uv;
    std::array<double, 2> uvValue;
  };
  const Case cases[] = {
      {"polySphere", {{"r", {1.8}}, {"sa", {24}}, {"sh", {24}}}, 2017, 554, 100, {0.28360626, -1.42803597, -1.05843246}, 576, {0.0625, 0}},
      {"polySphere", {{"r", {1.8}}, {"sa", {24}}, {"sh", {24}}}, 2017, 554, 0, {0.22694142, -1.78460073, -0.060808744}, 599, {0.020833334, 1}},
      {"polyCylinder", {{"r", {0.2}}, {"h", {13}}, {"sa", {23}}, {"cuv", {3}}}, 2022, 48, 2, {0.13651066, -6.5, -0.14616708}, 48, {0.38586956, 0.68843985}},
      {"polyTorus", {{"sr", {0.48}}}, 2026, 400, 395, {0.16794842, -0.14832824, 0.51689219}, 440, {1.0000001, -1.5646219e-07}},
  };
  int n = 0;
  for (const Case& c : cases) {
    b.scene().setMayaVersion(c.version);
    Mesh m = read(generate(c.type, "stored" + std::to_string(n++), c.attrs));
    ASSERT_EQ(m.points.size(), c.vertices) << c.type;
    for (unsigned k = 0; k < 3; ++k) EXPECT_NEAR(m.points[static_cast<size_t>(c.vertex)][k], c.point[k], kPrinted) << c.type;
    for (size_t k = 0; k < 2; ++k) EXPECT_NEAR(m.uvs[static_cast<size_t>(c.uv)][k], c.uvValue[k], kPrinted) << c.type;
  }
}

TEST_F(HistoryTest, ShapesWithoutMayaDataHaveSoundTopology) {
  // UVs lie in the unit square and, where a shape has UVs, every corner has one and no face's UVs lie on
  // a line; each face's edges are edges of the mesh, listed once, every edge is used, and a closed solid's
  // edges have two faces each.
  struct Case {
    const char* type;
    std::vector<std::pair<std::string, std::vector<Arg>>> attrs;
    size_t vertices, faces;
    bool closed;
  };
  const Case cases[] = {
      {"polyPlatonicSolid", {}, 20, 12, true},
      {"polyPlatonicSolid", {{"st", {1}}}, 12, 20, true},
      {"polyPlatonic", {{"primitive", {1}}}, 8, 6, true},
      {"polyPlatonic", {{"subdivisions", {1}}}, 12 + 20 + 30, 60, true},
      {"polyPrism", {}, 6, 5, true},
      {"polyPipe", {}, 80, 80, true},
      {"polyTorus", {}, 400, 400, true},
      {"polyCylinder", {{"sc", {0}}}, 40, 22, true},
      {"polyCylinder", {{"sc", {3}}, {"sa", {6}}}, 12 + 2 * 12 + 2, 6 + 2 * 18, true},
      {"polyCone", {{"sh", {3}}, {"sc", {2}}}, 20 * 3 + 1 + 20 + 1, 20 * 3 + 40, true},
      {"polyPlane", {{"w", {2}}, {"sw", {3}}, {"sh", {1}}, {"cuv", {2}}}, 8, 3, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string shape = generate(c.type, "solid" + std::to_string(n++), c.attrs);
    Mesh m = read(shape);
    EXPECT_EQ(m.points.size(), c.vertices) << c.type;
    EXPECT_EQ(m.faces.size(), c.faces) << c.type;
    if (std::string(c.type).starts_with("polyPlatonic")) {
      for (const MPoint& p : m.points) EXPECT_NEAR(MVector(p).length(), 1.0, 1e-6) << "the default radius";
    }
    for (const auto& uv : m.uvs)
      EXPECT_TRUE(std::min(uv[0], uv[1]) > -1e-6 && std::max(uv[0], uv[1]) < 1 + 1e-6) << c.type << ": UVs in the unit square";
    for (size_t f = 0; f < m.faces.size() && !m.uvs.empty(); ++f) {
      const auto& ids = m.faceUVs[f];
      double uvArea = 0;
      for (size_t i = 0; i < ids.size(); ++i) {
        const int from = ids[i], to = ids[(i + 1) % ids.size()];
        ASSERT_GE(std::min(from, to), 0) << c.type << ": face " << f << " lacks UVs";
        const auto &p = m.uvs[static_cast<size_t>(from)], &q = m.uvs[static_cast<size_t>(to)];
        uvArea += p[0] * q[1] - q[0] * p[1];
      }
      EXPECT_GT(std::fabs(uvArea), 1e-9) << c.type << ": face " << f;
    }
    std::map<std::pair<int, int>, int> uses;
    for (const auto& e : m.edges) uses[{std::min(e[0], e[1]), std::max(e[0], e[1])}] = 0;
    EXPECT_EQ(uses.size(), m.edges.size()) << c.type << ": an edge is listed twice";
    for (const auto& f : m.faces)
      for (size_t i = 0; i < f.size(); ++i) {
        auto key = std::make_pair(std::min(f[i], f[(i + 1) % f.size()]), std::max(f[i], f[(i + 1) % f.size()]));
        ASSERT_TRUE(uses.count(key)) << c.type << ": a face walks an edge the mesh lacks";
        ++uses[key];
      }
    for (const auto& [key, count] : uses) {
      EXPECT_GT(count, 0) << c.type;
      if (c.closed) {
        EXPECT_EQ(count, 2) << c.type << " edge " << key.first << "-" << key.second;
      }
    }
  }
  // The pipe's walls start where the cylinder's rings do, on the same circle table.
  const Mesh pipe = read(generate("polyPipe", "pipe"));
  expectAt(pipe.points, {{0, 0, 0.95105714}, {0, 2, -0.30901718}, {40, 0, 0.95105714 / 2}});  // 40: the inner wall
  // The outer wall's UVs fill the upper half of the square, from its first row.
  std::vector<std::array<float, 2>> wallUVs;
  for (int id : pipe.faceUVs[0]) wallUVs.push_back(pipe.uvs.at(static_cast<size_t>(id)));
  EXPECT_EQ(wallUVs, (std::vector<std::array<float, 2>>{{0, 0.5f}, {0.05f, 0.5f}, {0.05f, 1}, {0, 1}}));
  EXPECT_TRUE(read(generate("polyPipe", "bare", {{"cuv", {0}}})).uvs.empty());
}

// ------------------------------------------------------------------ modifiers

TEST_F(HistoryTest, SubdFaceNumbersNewVerticesEdgesFacesAndUVsAsMayaDoes) {
  std::string shape = generate("polyCube", "box", {{"cuv", {4}}});
  modify(shape, "polySubdFace", "polySubdFace1");
  Mesh one = read(shape);
  ASSERT_EQ(one.points.size(), 26u);
  // Face 0 [0 1 3 2]: centre 8, then mids of edges 0 (0-1), 5 (1-3), 1 (2-3) and 4 (0-2).
  EXPECT_EQ(one.faces[0], (std::vector<int>{12, 0, 9, 8}));
  EXPECT_EQ(one.faces[6], (std::vector<int>{9, 1, 10, 8})) << "the other pieces come after all faces";
  EXPECT_EQ(one.edges[0], (std::array<int, 3>{0, 9, 0})) << "a split edge keeps its slot up to its middle";
  EXPECT_EQ(one.edges[12], (std::array<int, 3>{9, 1, 0}));
  EXPECT_EQ(one.edges[16], (std::array<int, 3>{9, 8, 0})) << "then the face's spokes";
  EXPECT_POINT_NEAR(one.points[12], -0.5, 0, 0.5);  // the middle of edge 4

  b.set("polySubdFace1.dv", {2});
  Mesh two = read(shape);
  EXPECT_EQ(two.points.size(), 98u);
  EXPECT_EQ(two.edges.size(), 192u);
  EXPECT_EQ(two.faces.size(), 96u);
  for (const auto& e : two.edges) EXPECT_EQ(e[2], 0) << "edges of a hard cube stay hard";
  ASSERT_EQ(two.uvs.size(), 146u);
  std::set<int> used;
  for (const auto& f : two.faceUVs) used.insert(f.begin(), f.end());
  EXPECT_EQ(146 - used.size(), 21u) << "UVs made for the far side of a seam stay unused";

  // Only face 0: its neighbours take the mid vertices into their loops.
  b.set("polySubdFace1.dv", {1});
  b.set("polySubdFace1.ics", {1, "f[0]"}, "componentList");
  Mesh part = read(shape);
  EXPECT_EQ(part.faces.size(), 9u);
  EXPECT_EQ(part.faces[1], (std::vector<int>{2, 11, 3, 5, 4}));
  // Only face 3 (6 7 1 0): face 0 takes the mid vertex of edge 0, which it walks forwards.
  b.set("polySubdFace1.ics", {1, "f[3]"}, "componentList");
  EXPECT_EQ(read(shape).faces[0], (std::vector<int>{0, 11, 1, 3, 2}));

  b.set("polySubdFace1.m", {1});
  b.set("polySubdFace1.ics", {1, "f[0:1]"}, "componentList");
  Mesh fan = read(shape);
  EXPECT_EQ(fan.faces[0], (std::vector<int>{0, 1, 8}));
  EXPECT_EQ(fan.faces.size(), 12u);
}

TEST_F(HistoryTest, ReshapingModifiersKeepTheOrderTheyDoNotChange) {
  std::string shape = generate("polyCube", "box", {{"cuv", {4}}});
  // Scale x by 2, move x by 10.
  modify(shape, "transformGeometry", "freeze", {{"txf", {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1}}}, "ig", "og");
  EXPECT_NEAR(read(shape).points[1].x, 11, 1e-12);

  modify(shape, "polyTweak", "polyTweak1");
  b.set("polyTweak1.tk[1]", {0, 1, 0});
  modify(shape, "polyTweakUV", "polyTweakUV1");
  b.set("polyTweakUV1.uvtk[10]", {0.125, -0.5});
  Mesh tweaked = read(shape);
  expectAt(tweaked.points, {{1, 1, 0.5}, {0, 1, -0.5}}, 1e-12);
  expectAt(tweaked.uvs, {{10, 0, 1}, {10, 1, -0.5}, {11, 0, 0.875}}, 1e-7);

  // Reverse keeps each loop's first corner and its UV.
  modify(shape, "polyNormal", "polyNormal1", {{"ics", {1, "f[0]"}}});
  Mesh reversed = read(shape);
  EXPECT_EQ(reversed.faces[0], (std::vector<int>{0, 2, 3, 1}));
  EXPECT_EQ(reversed.faceUVs[0], (std::vector<int>{0, 2, 3, 1}));
  EXPECT_EQ(reversed.faces[1], (std::vector<int>{2, 3, 5, 4}));
  // Reverse and cut: the face gets copies of the four vertices it shared.
  b.set("polyNormal1.nm", {3});
  Mesh cut = read(shape);
  ASSERT_EQ(cut.points.size(), 12u);
  EXPECT_EQ(cut.faces[0], (std::vector<int>{8, 10, 11, 9}));
  EXPECT_EQ(cut.faces[1], (std::vector<int>{2, 3, 5, 4}));
  EXPECT_NEAR(cut.points[9].x, cut.points[1].x, 1e-12);
  // Conform makes the shell face the way most of its faces do: the reversed face turns back.
  b.set("polyNormal1.nm", {0});
  modify(shape, "polyNormal", "conform", {{"nm", {2}}});
  EXPECT_EQ(read(shape).faces[0], (std::vector<int>{0, 1, 3, 2}));

  // Catmull-Clark: a cube's corner moves to 5/18 of the way on each axis.
  std::string soft = generate("polyCube", "soft");
  modify(soft, "polySmoothFace", "polySmoothFace1");
  Mesh smooth = read(soft);
  ASSERT_EQ(smooth.points.size(), 26u);
  expectAt(smooth.points, {{3, 0, 5.0 / 18.0}, {3, 1, 5.0 / 18.0}}, 1e-7);
  EXPECT_POINT_NEAR(smooth.points[9], 0, -0.375, 0.375);  // edge 0's ends and its two faces' centres
  b.set("polySmoothFace1.c", {0.0});
  EXPECT_NEAR(read(soft).points[3].x, 0.5, 1e-12) << "continuity 0 only subdivides";
  b.set("polySmoothFace1.dv", {0});
  EXPECT_EQ(read(soft).faces.size(), 6u) << "no divisions, no change";
  // Smoothing all faces but the left one (0 2 4 6): only corners whose faces are
  // all smoothed move.
  b.set("polySmoothFace1.dv", {1});
  b.set("polySmoothFace1.c", {1.0});
  b.set("polySmoothFace1.ics", {1, "f[0:4]"}, "componentList");
  const Mesh part = read(soft);
  for (int v : {0, 2, 4, 6}) EXPECT_NEAR(part.points[static_cast<size_t>(v)].x, -0.5, 1e-12) << v;
  for (int v : {1, 3, 5, 7}) EXPECT_LT(part.points[static_cast<size_t>(v)].x, 0.5 - 1e-3) << v;
}

TEST_F(HistoryTest, UniteMergeAndDeleteRenumberWhatIsLeftInOrder) {
  // Two planes side by side, combined: the second one's vertices follow the first's.
  for (const char* name : {"left", "right"}) generate("polyPlane", name, {{"sw", {1}}, {"sh", {1}}});
  b.set("right.t", {1, 0, 0});
  b.transform("joined");
  std::string joined = b.create("mesh", "joinedShape", "joined");
  b.create("polyUnite", "polyUnite1");
  b.connect("leftShape.w[0]", "polyUnite1.ip[0]");
  b.connect("left.wm[0]", "polyUnite1.im[0]");
  b.connect("rightShape.w[0]", "polyUnite1.ip[1]");
  b.connect("right.wm[0]", "polyUnite1.im[1]");
  b.connect("polyUnite1.out", joined + ".i");
  Mesh both = read(joined);
  ASSERT_EQ(both.points.size(), 8u);
  EXPECT_NEAR(both.points[4].x, 0.5, 1e-12);
  EXPECT_EQ(both.faces[1], (std::vector<int>{4, 5, 7, 6}));
  EXPECT_EQ(both.faceUVs[1], (std::vector<int>{4, 5, 7, 6})) << "one UV set, map1, for both";
  MStringArray sets;
  MFnMesh(path(joined)).getUVSetNames(sets);
  EXPECT_EQ(sets.items(), (std::vector<MString>{"map1"}));
  // Reversing a shell (mode 4) turns the right plane over and leaves the left one.
  b.create("polyNormal", "shell");
  b.set("shell.nm", {4});
  b.set("shell.ics", {1, "f[1]"}, "componentList");
  b.connect("polyUnite1.out", "shell.ip");
  b.transform("turned");
  b.connect("shell.out", b.create("mesh", "turnedShape", "turned") + ".i");
  EXPECT_EQ(read("turnedShape").faces, (std::vector<std::vector<int>>{both.faces[0], {4, 6, 7, 5}}));

  // The planes touch along x = 0.5: those two pairs of vertices merge.
  modify(joined, "polyMergeVert", "polyMergeVert1", {{"d", {0.01}}});
  Mesh merged = read(joined);
  ASSERT_EQ(merged.points.size(), 6u);
  EXPECT_EQ(merged.faces[1], (std::vector<int>{1, 4, 5, 3}));
  EXPECT_EQ(merged.edges.size(), 7u);

  // Deleting the shared edge joins the two faces; deleting a face drops its vertices.
  modify(joined, "deleteComponent", "deleteComponent1", {{"dc", {1, "e[2]"}}}, "ig", "og");
  Mesh one = read(joined);
  ASSERT_EQ(one.faces.size(), 1u);
  EXPECT_EQ(one.faces[0], (std::vector<int>{0, 1, 4, 5, 3, 2}));
  b.set("deleteComponent1.dc", {1, "f[0]"}, "componentList");
  Mesh rest = read(joined);
  EXPECT_EQ(rest.faces, (std::vector<std::vector<int>>{{0, 2, 3, 1}}));
  EXPECT_EQ(rest.points.size(), 4u);
  EXPECT_NEAR(rest.points[0].x, 0.5, 1e-7);

  // Two vertices named with alwaysMergeTwoVertices merge however far apart they are,
  // and nothing else merges.
  std::string strip = generate("polyPlane", "strip", {{"sw", {2}}, {"sh", {1}}});
  modify(strip, "polyMergeVert", "polyMergeVert2",
         {{"am", {1}}, {"ics", {2, "vtx[1]", "vtx[5]"}}, {"mtc", {"vtx[1]"}}});
  const Mesh named = read(strip);
  ASSERT_EQ(named.points.size(), 5u);
  EXPECT_NEAR(named.points[0].x, -0.5, 1e-12);
  EXPECT_EQ(named.faces.size(), 2u);
}

TEST_F(HistoryTest, TriangulationKeepsCornersUVsAndHoles) {
  // An L-shaped hexagon in the YZ plane (concave at corner 4, so no fan from
  // corner 0 covers it) beside a square with a square hole in the XY plane.
  kvhost::MeshSpec spec;
  spec.points = {{0, 0, 2}, {0, 0, 0}, {0, 2, 0}, {0, 2, 1}, {0, 1, 1}, {0, 1, 2},
                 {3, 0, 0}, {6, 0, 0}, {6, 3, 0}, {3, 3, 0}, {4, 1, 0}, {5, 1, 0}, {5, 2, 0}, {4, 2, 0}};
  spec.faces = {{0, 1, 2, 3, 4, 5}, {6, 7, 8, 9}};
  spec.holes = {{1, {10, 13, 12, 11}}};
  spec.uvSets = {{"map1", {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5, 0.5}, {0.2, 0.8}}, {{0, 1, 2, 3, 4, 5}, {0, 1, 2, 3}}}};
  std::string shape = b.mesh("plate", spec);
  b.scene().setTriangulateMeshes(true);
  Mesh m = read(shape);
  ASSERT_EQ(m.faces.size(), 4u + 8u);
  double lArea = 0, ringArea = 0;
  for (size_t f = 0; f < m.faces.size(); ++f) {
    ASSERT_EQ(m.faces[f].size(), 3u);
    const double a = area(m, static_cast<int>(f), f < 4 ? 0 : 2);
    EXPECT_GT(a, 0) << "triangle " << f << " keeps the polygon's winding";
    (f < 4 ? lArea : ringArea) += a;
    // Each corner keeps the UV its vertex had in the polygon.
    for (size_t i = 0; i < 3 && f < 4; ++i) EXPECT_EQ(m.faceUVs[f][i], m.faces[f][i]);
  }
  EXPECT_NEAR(lArea, 3.0, 1e-12);
  EXPECT_NEAR(ringArea, 9.0 - 1.0, 1e-12);
  kvhost::Scene::MeshReport report = b.scene().checkMeshes();
  EXPECT_EQ(report.polygonsTriangulated, 2);
  EXPECT_TRUE(report.problems.empty());
  b.scene().setTriangulateMeshes(false);
  EXPECT_EQ(read(shape).faces.size(), 2u);
  // polyTriangulate passes the faces outside its list through, holes and all.
  b.create("polyTriangulate", "firstOnly");
  b.set("firstOnly.ics", {1, "f[0]"}, "componentList");
  b.connect(shape + ".o", "firstOnly.ip");
  b.transform("passed");
  b.connect("firstOnly.out", b.create("mesh", "passedShape", "passed") + ".i");
  b.scene().setTriangulateMeshes(true);
  EXPECT_EQ(read("passedShape").faces.size(), 4u + 8u) << "the ring still has its hole";
  // A square dented at its last corner, which a fan from corner 0 would leave,
  // and a pentagon whose dent, corner 0, lies inside the triangle of corners 1, 3, 4.
  const std::tuple<const char*, std::vector<kvhost::Vec3>, double> pentagons[] = {
      {"dented", {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {0.5, 1, 0}}, 3.5},
      {"notched", {{1, 2, 0}, {4, 0, 0}, {3, 4, 0}, {3, 3, 0}, {0, 2, 0}}, 4.5}};
  for (const auto& [name, points, expectedArea] : pentagons) {
    const Mesh d = read(b.mesh(name, {.points = points, .faces = {{0, 1, 2, 3, 4}}}));
    double covered = 0;
    for (size_t f = 0; f < d.faces.size(); ++f) covered += std::fabs(area(d, static_cast<int>(f), 2));
    EXPECT_NEAR(covered, expectedArea, 1e-6) << name << ": the triangles cover the pentagon once";
  }
  b.scene().setTriangulateMeshes(false);

  // A convex quad becomes a fan from its first corner; polyTriangulate only
  // splits the faces of its list.
  std::string strip = generate("polyPlane", "strip", {{"sw", {2}}, {"sh", {1}}});
  modify(strip, "polyTriangulate", "polyTriangulate1", {{"ics", {1, "f[1]"}}});
  EXPECT_EQ(read(strip).faces, (std::vector<std::vector<int>>{{0, 1, 4, 3}, {1, 2, 5}, {1, 5, 4}}));

  // The host's own triangulation gives what polyTriangulate gives, edges too
  // (the original ones in their order with their flags, then the new ones),
  // whether the edges are asked for first or last.
  std::string node = generate("polyPlane", "byNode", {{"sw", {2}}, {"sh", {2}}});
  modify(node, "polyTriangulate", "polyTriangulate2");
  const Mesh expected = read(node);
  b.scene().setTriangulateMeshes(true);
  const Mesh facesFirst = read(generate("polyPlane", "byHost", {{"sw", {2}}, {"sh", {2}}}));
  EXPECT_EQ(facesFirst.faces, expected.faces);
  EXPECT_EQ(facesFirst.faceUVs, expected.faceUVs);
  EXPECT_EQ(facesFirst.edges, expected.edges);
  const std::string edgesFirst = generate("polyPlane", "edgesFirst", {{"sw", {2}}, {"sh", {2}}});
  EXPECT_EQ(MFnMesh(path(edgesFirst)).numEdges(), static_cast<int>(expected.edges.size()));
  EXPECT_EQ(read(edgesFirst).faces, expected.faces);
}

TEST_F(HistoryTest, ShadingFollowsFacesThroughDeletionAndTriangulation) {
  // Faces 2 and 3 of a cube go to a shading group through a groupParts;
  // face 0 is deleted and the rest triangulated downstream.
  std::string shape = generate("polyCube", "box");
  std::string sg = b.material("lambert", "paint");
  b.create("groupId", "groupId1");
  modify(shape, "groupParts", "groupParts1", {}, "ig", "og");
  b.set("groupParts1.ic", {1, "f[2:3]"}, "componentList");
  b.connect("groupId1.id", "groupParts1.gi");
  b.connect("groupId1.id", shape + ".iog.og[0].gid");  // left-out index means iog[0]
  b.connect(shape + ".iog[0].og[0]", sg + ".dsm", true);
  // A set that is not a shading group does not count as shading, nor do vertices.
  b.create("objectSet", "notShading");
  b.set(shape + ".iog[0].og[1].gcl", {1, "f[0]"}, "componentList");
  b.connect(shape + ".iog[0].og[1]", "notShading.dsm", true);
  b.set(shape + ".iog[0].og[2].gcl", {1, "vtx[0:7]"}, "componentList");
  b.connect(shape + ".iog[0].og[2]", sg + ".dsm", true);
  EXPECT_EQ(shaderIndices(shape), (std::vector<int>{-1, -1, 0, 0, -1, -1}));
  modify(shape, "deleteComponent", "deleteComponent1", {{"dc", {1, "f[0]"}}}, "ig", "og");
  EXPECT_EQ(shaderIndices(shape), (std::vector<int>{-1, 0, 0, -1, -1}));
  modify(shape, "polyTriangulate", "polyTriangulate1", {{"ics", {1, "f[*]"}}});
  EXPECT_EQ(shaderIndices(shape), (std::vector<int>{-1, -1, 0, 0, 0, 0, -1, -1, -1, -1}));

  // A shape without history keeps its per-face lists; the host's own
  // triangulation carries them to the triangles.
  kvhost::MeshSpec quads;
  quads.points = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}};
  quads.faces = {{0, 1, 4, 3}, {1, 2, 5, 4}};
  std::string stored = b.mesh("stored", quads);
  b.assignFaces(stored, sg, {"f[1]"});
  b.scene().setTriangulateMeshes(true);
  EXPECT_EQ(shaderIndices(stored), (std::vector<int>{-1, -1, 0, 0}));
}

// ------------------------------------------------------------------ hostile input

TEST_F(HistoryTest, AbsurdOrBrokenHistoryIsRefusedClearly) {
  struct Case {
    const char* type;
    std::vector<std::pair<std::string, std::vector<Arg>>> attrs;
    const char* message;
  };
  const Case cases[] = {
      {"polySphere", {{"sa", {1000000}}, {"sh", {1000000}}}, "'hugeNode' (polySphere) would make 999999000002 vertices, more than the host builds (33554432)"},
      {"polyCube", {{"sw", {1e9}}, {"sh", {1e9}}}, "would make"},
      {"polyCylinder", {{"rcp", {true}}}, "round caps"},
  };
  for (const Case& c : cases) {
    kvhost::Scene::get().reset();
    kvhost::Scene::get().clearMessages();
    std::string shape = generate(c.type, "huge", c.attrs);
    EXPECT_EQ(MFnMesh(path(shape)).numVertices(), 0) << c.type;
    ASSERT_EQ(kvhost::Scene::get().messages().size(), 1u) << c.type;
    EXPECT_NE(kvhost::Scene::get().messages()[0].text.find(c.message), std::string::npos)
        << kvhost::Scene::get().messages()[0].text;
  }
  // Subdividing a cube 30 times is refused before any work is done.
  kvhost::Scene::get().reset();
  std::string cube = generate("polyCube", "box");
  modify(cube, "polySubdFace", "deep", {{"dv", {30}}});
  EXPECT_EQ(MFnMesh(path(cube)).numVertices(), 0);
  // Component lists past the mesh's end are ignored, negative subdivisions clamped.
  kvhost::Scene::get().reset();
  std::string clamped = generate("polyCube", "clamped", {{"sw", {-4}}});
  modify(clamped, "polyTriangulate", "polyTriangulate1", {{"ics", {2, "f[4:1000]", "f[70000]"}}});
  EXPECT_EQ(read(clamped).faces.size(), 8u);
  // Faces stored without the vertices they name stand for nothing, so a modifier
  // downstream reads no point the mesh lacks.
  kvhost::Scene::get().reset();
  b.transform("hollow");
  std::string hollow = b.create("mesh", "hollowShape", "hollow");
  b.set(hollow + ".io", {true});
  b.set(hollow + ".ed[0:2]", {0, 1, 0, 1, 2, 0, 2, 0, 0});
  b.set(hollow + ".fc[0]", {Arg::word("f"), 3, 0, 1, 2}, "polyFaces");
  b.create("polySmoothFace", "smoothHollow");
  b.connect(hollow + ".o", "smoothHollow.ip");
  b.transform("smoothed");
  b.connect("smoothHollow.out", b.create("mesh", "smoothedShape", "smoothed") + ".i");
  EXPECT_EQ(MFnMesh(path("smoothedShape")).numPolygons(), 0);
  // A history loop (a node feeding itself) fails instead of recursing forever.
  kvhost::Scene::get().reset();
  std::string looped = generate("polyCube", "looped");
  modify(looped, "polyTriangulate", "loopA");
  modify(looped, "polyTweak", "loopB");
  b.connect("loopB.out", "loopA.ip");
  EXPECT_EQ(MFnMesh(path(looped)).numVertices(), 0);
}

// A node the host cannot evaluate leaves the mesh without geometry (points
// stored on the shape stand in) and the mesh says so once, naming the node.
TEST_F(HistoryTest, DeformersTheHostCannotRunPassTheMeshOnlyWhenTheyChangeNothing) {
  std::string beveled = generate("polyCube", "pCube1");
  modify(beveled, "polyBevel3", "polyBevel1");
  MStatus s;
  MItMeshPolygon(path(beveled), MObject::kNullObj, &s);
  EXPECT_FALSE(s);
  std::string shape = generate("polyCube", "box");
  modify(shape, "cluster", "cluster1", {}, "ip[0].ig", "og[0]");
  EXPECT_EQ(MFnMesh(path(shape)).numVertices(), 0);
  EXPECT_EQ(MFnMesh(path(beveled)).numPolygons(), 0);
  const auto& msgs = kvhost::Scene::get().messages();
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0].kind, kvhost::Message::Error);
  EXPECT_EQ(msgs[0].text, "mesh 'pCube1Shape': 'polyBevel1' (polyBevel3) is not supported; the mesh has no geometry");
  EXPECT_EQ(msgs[1].text, "mesh 'boxShape': 'cluster1' (cluster) is not supported; the mesh has no geometry");
  EXPECT_EQ(b.scene().checkMeshes().problems, (std::vector<std::string>{msgs[0].text, msgs[1].text}))
      << "asked again, each mesh still gives its cause";
  b.meshData(beveled, {.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, .faces = {{0, 1, 2}}});
  EXPECT_EQ(MFnMesh(path(beveled)).numVertices(), 3);
  b.set("cluster1.en", {0});
  EXPECT_EQ(MFnMesh(path(shape)).numVertices(), 8) << "at envelope 0";
  // A squash with no factor, as the deformer's handle leaves it.
  std::string squashed = generate("polyCube", "squashed");
  modify(squashed, "nonLinear", "squash1", {}, "ip[0].ig", "og[0]");
  b.scene().addAttr(node("squash1"), {.longName = "factor", .shortName = "fac", .attributeType = "double"});
  EXPECT_EQ(MFnMesh(path(squashed)).numVertices(), 8);
  b.set("squash1.fac", {0.5});
  EXPECT_EQ(MFnMesh(path(squashed)).numVertices(), 0);
  // Checking the meshes passes over the deformers the host runs; a modifier
  // after one keeps nothing from the check.
  std::string tweaked = generate("polyCube", "tweaked");
  modify(tweaked, "tweak", "tweak1", {}, "ip[0].ig", "og[0]");
  b.set("tweak1.vl[0].vt[0]", {0, 1, 0});
  modify(tweaked, "polyTriangulate", "polyTriangulate1");
  b.scene().checkMeshes();
  EXPECT_POINT_NEAR(read(tweaked).points[0], -0.5, 0.5, 0.5);
}

TEST_F(HistoryTest, UVEditsTheHostDoesNotComputeKeepTheEarlierUVsAndSaySo) {
  std::string shape = generate("polyCube", "box", {{"cuv", {4}}});
  modify(shape, "polyAutoProj", "polyAutoProj1");
  modify(shape, "polyLayoutUV", "polyLayoutUV1");
  Mesh m = read(shape);
  EXPECT_EQ(m.points.size(), 8u);
  ASSERT_EQ(m.uvs.size(), 14u);
  EXPECT_FLOAT_EQ(m.uvs[10][0], 0.875f);
  kvhost::Scene::MeshReport report = b.scene().checkMeshes();
  EXPECT_TRUE(report.problems.empty());
  EXPECT_EQ(report.notes,
            (std::vector<std::string>{
                "mesh 'boxShape': 'polyLayoutUV1' (polyLayoutUV) is not computed; the mesh keeps the UVs from before it",
                "mesh 'boxShape': 'polyAutoProj1' (polyAutoProj) is not computed; the mesh keeps the UVs from before it"}));
}

}  // namespace
