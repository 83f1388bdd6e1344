// The Maya ASCII reader on small scenes, one feature at a time, checked
// through the Maya API of the host.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <kvhost/MayaAscii.h>
#include <kvhost/Scene.h>
#include <maya/MFloatArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>
#include <maya/MPointArray.h>
#include <maya/MString.h>

#include "ReaderTestSupport.h"

using kvhost::MayaAsciiOptions;
using kvhost::MayaAsciiResult;

namespace {

const char* kHeader =
    "//Maya ASCII 2020 scene\n"
    "requires maya \"2020\";\n"
    "currentUnit -l centimeter -a degree -t film;\n";

// Reads `body` after a standard three-line header, so line N of the body is
// line N + 3 of "snippet.ma".
MayaAsciiResult load(const std::string& body, const MayaAsciiOptions& options = {}) {
  return kvhost::readMayaAsciiString(std::string(kHeader) + body, "snippet.ma", options);
}

// Reads `body` as load() does and expects neither an error nor a warning.
bool loadsCleanly(const std::string& body, const MayaAsciiOptions& options = {}) {
  MayaAsciiResult r = load(body, options);
  EXPECT_TRUE(r.success) << r.error;
  EXPECT_EQ(r.warningCount(), 0) << r.warnings[0].text;
  return r.success;
}

MObject node(const char* name) { return kvhost::Scene::get().findNode(name); }

// The plug at "attr[i].child[j]..." of a node.
MPlug plugAt(const char* nodeName, const std::string& path) { return MFnDependencyNode(node(nodeName)).findPlug(path.c_str()); }

// Numeric plugs, named "node.attr[i].child", against their values.
void expectValues(std::initializer_list<std::pair<std::string, double>> expected) {
  for (const auto& [plug, value] : expected) {
    const size_t dot = plug.find('.');
    EXPECT_DOUBLE_EQ(plugAt(plug.substr(0, dot).c_str(), plug.substr(dot + 1)).asDouble(), value) << plug;
  }
}

std::vector<int> existingIndices(const MPlug& array) {
  MIntArray indices;
  array.getExistingArrayAttributeIndices(indices);
  return indices.items();
}

void expectMatrixNear(const MMatrix& actual, const double (&expected)[16]) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i / 4][i % 4], expected[i], 1e-9) << "element " << i;
}

// Each face's vertices, holes' included.
std::vector<std::vector<int>> faceLoops(const char* shape) {
  MFnMesh mesh(node(shape));
  std::vector<std::vector<int>> loops(static_cast<size_t>(mesh.numPolygons()));
  for (size_t f = 0; f < loops.size(); ++f) {
    MIntArray ids;
    mesh.getPolygonVertices(static_cast<int>(f), ids);
    loops[f] = ids.items();
  }
  return loops;
}

// Four points, five edges and three faces: a triangle, a triangle entered
// through a reversed edge, and a quad with a triangular hole, followed by a
// triangle whose decoding would shift if the hole were misread.
const char* kMesh = R"(createNode transform -n "grid";
createNode mesh -n "gridShape" -p "grid";
	setAttr ".uvst[0].uvsn" -type "string" "map1";
	setAttr -s 4 ".uvst[0].uvsp[0:3]" -type "float2" 0 0 1 0 1 1 0 1;
	setAttr ".cuvs" -type "string" "map1";
	setAttr -s 10 ".vt[0:9]"  0 0 0  1 0 0  1 1 0  0 1 0
		 2 0 0  3 0 0  3 1 0  2.2 0.2 0  2.8 0.2 0  2.5 0.8 0;
	setAttr -s 12 ".ed[0:11]"  0 1 0  1 2 0  2 0 1  2 3 0  3 0 0
		 4 5 0  5 6 0  6 4 0  7 8 1  8 9 1  9 7 1  5 4 0;
	setAttr -s 4 ".fc[0:3]" -type "polyFaces"
		f 3 0 1 2
		mu 0 3 0 1 2
		f 3 -3 3 4
		mu 0 3 0 2 3
		f 3 5 6 7
		h 3 8 9 10
		f 3 -8 -7 11;
)";

}  // namespace

// The i-th vertex of a loop is where its i-th directed edge starts; a
// negative edge -e-1 is edge e reversed. Pieces of any size give the same mesh.
TEST(MayaAsciiReader, DecodesPolyFacesWithReversedEdgesHolesAndUVs) {
  for (size_t piece : {size_t{1} << 16, size_t{1}, size_t{4}, size_t{7}}) {
    SCOPED_TRACE("piece size " + std::to_string(piece));
    MayaAsciiOptions options;
    options.pieceValues = piece;
    ASSERT_TRUE(loadsCleanly(kMesh, options));
    MFnMesh mesh(node("gridShape"));
    ASSERT_EQ(mesh.numVertices(), 10);
    EXPECT_EQ(faceLoops("gridShape"), (std::vector<std::vector<int>>{{0, 1, 2}, {0, 2, 3}, {4, 5, 6, 7, 8, 9}, {4, 6, 5}}));
    int uv = -2;
    mesh.getPolygonUVid(1, 2, uv);
    EXPECT_EQ(uv, 3);
    MFloatArray u, v;
    mesh.getUVs(u, v);
    EXPECT_EQ(u.items(), (std::vector<float>{0, 1, 1, 0}));
    EXPECT_EQ(v.items(), (std::vector<float>{0, 0, 1, 1}));
    MPointArray points;
    mesh.getPoints(points);
    ASSERT_EQ(points.length(), 10u);
    EXPECT_DOUBLE_EQ(points[7].x, 2.2);
    EXPECT_DOUBLE_EQ(points[9].y, 0.8);
  }
  // A loop naming an edge the mesh lacks keeps vertex 0 at that corner.
  ASSERT_TRUE(load(std::string(kMesh) + "\tsetAttr \".fc[4]\" -type \"polyFaces\" f 3 1 12 3;\n").success);
  EXPECT_EQ(faceLoops("gridShape").at(4), (std::vector<int>{1, 0, 2}));
}

// Dense, compact (Maya 2019 and later) and single-element weights all land in
// wl[v].w[j]; an absent weight reads 0.
TEST(MayaAsciiReader, ReadsTheThreeSkinWeightEncodings) {
  struct Case {
    const char* name;
    const char* lines;
    size_t piece;
  };
  const Case cases[] = {
      {"dense", "\tsetAttr -s 2 \".wl[0].w[0:1]\" 0.25 0.75;\n\tsetAttr -s 1 \".wl[1].w[2]\" 1;\n"
                "\tsetAttr -s 2 \".wl[2].w[0:1]\" 0.5 0.5;\n", 1 << 16},
      {"compact", "\tsetAttr \".wl[0:2].w\"\n\t\t2 0 0.25 1 0.75\n\t\t1 2 1\n\t\t2 0 0.5 1 0.5;\n", 1 << 16},
      {"compact in pieces, ending with a vertex of no weights",
       "\tsetAttr \".wl[0:3].w\"\n\t\t2 0 0.25 1 0.75\n\t\t1 2 1\n\t\t2 0 0.5 1 0.5\n\t\t0;\n", 2},
      {"single", "\tsetAttr \".wl[0].w[0]\" 0.25;\n\tsetAttr \".wl[0].w[1]\" 0.75;\n\tsetAttr \".wl[1].w[2]\" 1;\n"
                 "\tsetAttr \".wl[2].w[0]\" 0.5;\n\tsetAttr \".wl[2].w[1]\" 0.5;\n", 1 << 16},
  };
  const double expected[3][3] = {{0.25, 0.75, 0}, {0, 0, 1}, {0.5, 0.5, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MayaAsciiOptions options;
    options.pieceValues = c.piece;
    ASSERT_TRUE(loadsCleanly(std::string("createNode skinCluster -n \"skin\";\n") + c.lines, options));
    EXPECT_EQ(existingIndices(plugAt("skin", "wl")), (std::vector<int>{0, 1, 2}));
    for (int vtx = 0; vtx < 3; ++vtx)
      for (int j = 0; j < 3; ++j)
        EXPECT_DOUBLE_EQ(plugAt("skin", "wl[" + std::to_string(vtx) + "].w[" + std::to_string(j) + "]").asDouble(),
                         expected[vtx][j])
            << "vertex " << vtx << " influence " << j;
  }
}

// A dagPose "xform" record: scale, rotation in radians, rotate order,
// translation, ... joint orient quaternion, inverse scale, compensation flag.
TEST(MayaAsciiReader, ComposesDagPoseXformRecords) {
  ASSERT_TRUE(loadsCleanly(R"(createNode dagPose -n "pose";
	setAttr ".xm[3]" -type "matrix" "xform" 2 1 1 0 0 1.5707963267948966 0 1 2 3
		 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
		 0 0 0 1 0 0 0 1 1 1 1 yes;
	setAttr ".xm[5]" -type "matrix" "xform" 1 1 1 0 0 0 0 0 0 0
		 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
		 0 0 0 1 0 0 0.70710678118654757 0.70710678118654757 1 1 1 yes;
	setAttr ".bp" yes;
)"));
  EXPECT_EQ(existingIndices(plugAt("pose", "xm")), (std::vector<int>{3, 5}));
  // Row vectors: S * Rz(90) * T.
  expectMatrixNear(matrixAt(plugAt("pose", "xm[3]")), {0, 2, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
  // A joint orient of 90 degrees about z, as a quaternion.
  expectMatrixNear(matrixAt(plugAt("pose", "xm[5]")), {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
}

// Angles are written in degrees (or radians after "currentUnit -a radian");
// the host holds radians. A joint's world matrix composes scale, rotation,
// joint orient and translation.
TEST(MayaAsciiReader, ConvertsAnglesToRadians) {
  const char* kScene = R"(createNode transform -n "t";
	setAttr ".t" -type "double3" 1 2 3 ;
	setAttr ".r" -type "double3" 0 0 %s ;
createNode joint -n "j" -p "t";
	setAttr ".jo" -type "double3" 0 0 -%s ;
	setAttr ".rz" 45;
	setAttr ".rz" 0;
)";
  for (auto [unit, quarter] : {std::pair{"degree", "90"}, {"radian", "1.5707963267948966"}}) {
    SCOPED_TRACE(unit);
    char body[512];
    std::snprintf(body, sizeof body, kScene, quarter, quarter);
    MayaAsciiResult r = kvhost::readMayaAsciiString(
        std::string("//Maya ASCII 2020 scene\ncurrentUnit -l centimeter -a ") + unit + " -t film;\n" + body, "u.ma");
    ASSERT_TRUE(r.success) << r.error;
    expectMatrixNear(worldMatrix("t"), {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
    expectMatrixNear(worldMatrix("j"), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
    EXPECT_NEAR(plugAt("t", "rz").asDouble(), M_PI / 2, 1e-12);
  }
  // A file without a currentUnit statement is in degrees, whatever the last file said.
  ASSERT_TRUE(kvhost::readMayaAsciiString("//Maya\ncreateNode transform -n \"t\";\n\tsetAttr \".rz\" 90;\n", "d.ma"));
  EXPECT_NEAR(plugAt("t", "rz").asDouble(), M_PI / 2, 1e-12);
}

// Strings with escapes and ("a" + "b") concatenation, comments, the six
// boolean words and number spellings; attributes Maya writes on node types the
// host knows (an alias list in braces, a smoothing flag) read without a warning.
TEST(MayaAsciiReader, ReadsStringsBooleansAndNumbers) {
  ASSERT_TRUE(loadsCleanly(R"(createNode file -n "tex"; // a comment; with a semicolon
	setAttr ".ftn" -type "string" ("C:\\maps\\" + "skin \"v2\"" +
		"\n.png");
createNode transform -n "t1";
	setAttr ".v" no;
	setAttr ".tx" 1e-16;
	setAttr ".ty" -0;
	setAttr ".tz" .5;
	setAttr ".sx" 2.5e-1;
createNode transform -n "t2";
	setAttr ".v" off;
	setAttr ".dh" on;
createNode transform -n "t3";
	setAttr ".v" false;
	setAttr ".dh" true;
createNode transform -n "t4";
	setAttr ".dh" yes;
createNode blendShape -n "bs";
	setAttr ".aal" -type "attributeAlias" {"smile","weight[0]"} ;
createNode polySmoothFace -n "smooth";
	setAttr ".peh" yes;
)"));
  EXPECT_EQ(plugAt("tex", "ftn").asString(), MString("C:\\maps\\skin \"v2\"\n.png"));
  for (const char* t : {"t1", "t2", "t3"}) EXPECT_FALSE(plugAt(t, "v").asBool()) << t;
  for (const char* t : {"t2", "t3", "t4"}) EXPECT_TRUE(plugAt(t, "dh").asBool()) << t;
  EXPECT_TRUE(plugAt("smooth", "peh").asBool());
  EXPECT_TRUE(plugAt("t4", "v").asBool());
  expectValues({{"t1.tx", 1e-16}, {"t1.tz", 0.5}, {"t1.sx", 0.25}});
  // A NUL byte inside a string is a character of it, not the end of the file.
  using namespace std::string_literals;
  EXPECT_TRUE(load("createNode file -n \"z\";\n\tsetAttr \".ftn\" -type \"string\" \"a\0b\";\n"s).success);
}

// ":name" is one of Maya's default nodes: those the file selects or connects
// to exist even when the file never creates them, and "createNode -s" of a
// default camera reuses it. parent -add gives a node a second parent; plugs
// name nodes by DAG path or namespace; disconnectAttr undoes a connection.
TEST(MayaAsciiReader, ResolvesDefaultNodesPathsNamespacesAndRenames) {
  ASSERT_TRUE(loadsCleanly(R"(createNode transform -s -n "persp";
	setAttr ".t" -type "double3" 1 2 3 ;
createNode lambert -n "red";
createNode lambert -n "blue";
select -ne :time1;
	setAttr ".o" 12;
select -ne :defaultShaderList1;
	setAttr -s 4 ".s";
select -ne :initialShadingGroup;
	setAttr ".ro" yes;
select -ne :hardwareRenderingGlobals;
connectAttr "red.msg" ":defaultShaderList1.s" -na;
connectAttr "blue.msg" ":defaultShaderList1.s" -na;
createNode transform -n "a";
createNode transform -n "b";
createNode transform -n "c" -p "a";
createNode locator -n "shape" -p "c";
createNode transform -n "ns:d";
parent -s -nc -r -add "|a|c|shape" "b";
parent -r "b" "a";
connectAttr "|a|c.t" "ns:d.t";
connectAttr "|a|c.r" "ns:d.r";
disconnectAttr "|a|c.r" "ns:d.r";
rename "c" "e";
)"));
  EXPECT_TRUE(node("persp1").isNull());
  EXPECT_DOUBLE_EQ(worldMatrix("persp")[3][2], 3.0);
  for (const char* name : {"top", "front", "side", "lambert1", "initialShadingGroup", "time1", "hardwareRenderingGlobals", "e"})
    EXPECT_FALSE(node(name).isNull()) << name;
  expectValues({{"topShape.coi", 1000.1}, {"sideShape.ow", 30.0}});
  EXPECT_TRUE(plugAt("initialShadingGroup", "ro").asBool());
  EXPECT_DOUBLE_EQ(plugAt("time1", "o").asDouble(), 12.0);
  EXPECT_EQ(existingIndices(plugAt("defaultShaderList1", "s")).size(), 2u);
  EXPECT_EQ(MFnDagNode(node("shape")).parentCount(), 2u);
  EXPECT_TRUE(MFnDagNode(node("b")).isChildOf(node("a")));
  EXPECT_TRUE(plugAt("ns:d", "t").isDestination());
  EXPECT_FALSE(plugAt("ns:d", "r").isDestination());
  EXPECT_TRUE(node("c").isNull()) << "renamed";
}

// addAttr makes typed, compound and multi attributes that setAttr then fills.
TEST(MayaAsciiReader, AddsDynamicAttributes) {
  ASSERT_TRUE(loadsCleanly(R"(createNode transform -n "t";
	addAttr -ci true -sn "gain" -ln "gain" -dv 0.5 -min 0 -max 1 -at "double";
	addAttr -ci true -uac -sn "tint" -ln "tint" -at "float3" -nc 3;
	addAttr -ci true -sn "tr" -ln "tintR" -at "float" -p "tint";
	addAttr -ci true -sn "tg" -ln "tintG" -at "float" -p "tint";
	addAttr -ci true -sn "tb" -ln "tintB" -at "float" -p "tint";
	addAttr -ci true -m -sn "ids" -ln "ids" -at "long";
	addAttr -ci true -sn "note" -ln "note" -dt "string";
	addAttr -ci true -sn "turn" -ln "turn" -at "doubleAngle";
	addAttr -ci true -sn "wts" -ln "weights" -dt "doubleArray";
	setAttr ".wts" -type "doubleArray" 2 0.25 0.5 ;
	setAttr ".turn" 90;
	setAttr ".tint" -type "float3" 0.25 0.5 0.75 ;
	setAttr -s 2 ".ids[4:5]" 40 50;
	setAttr ".note" -type "string" "hello";
)"));
  expectValues({{"t.gain", 0.5}, {"t.tint.tintB", 0.75}});
  EXPECT_EQ(existingIndices(plugAt("t", "ids")), (std::vector<int>{4, 5}));
  EXPECT_EQ(plugAt("t", "ids[5]").asInt(), 50);
  EXPECT_EQ(plugAt("t", "note").asString(), MString("hello"));
  EXPECT_NEAR(plugAt("t", "turn").asDouble(), M_PI / 2, 1e-12) << "an added angle holds radians";
  EXPECT_EQ(plugAt("t", "wts").asMObject().apiType(), MFn::kDoubleArrayData);
}

// What the host does not know is kept or skipped with one warning per kind,
// carrying the count and the line of the first occurrence; the kinds are bounded.
TEST(MayaAsciiReader, CountsUnknownTypesAttributesAndStatementsOnceBoundsTheKindsAndFailsWhenStrict) {
  MayaAsciiResult r = load(R"(createNode polyBevel3 -n "c1";
createNode polyBevel3 -n "c2";
	setAttr ".w" 4;
createNode polyBevel3 -n "c3";
createNode transform -n "t";
	setAttr ".zz" 7;
	setAttr ".zz" 8;
fancyCommand -x 1 "two" { "three" };
fancyCommand;
relationship "link" ":lightLinker1" ":initialShadingGroup.message" ":defaultLightSet.message";
lockNode -l 1 ;
)");
  ASSERT_TRUE(r.success) << r.error;
  EXPECT_EQ(r.stats.nodes, 4u);
  EXPECT_EQ(r.stats.statements, 13u);  // two header statements and eleven
  EXPECT_EQ(kvhost::Scene::get().mayaVersion(), 2020) << "from the requires statement";
  ASSERT_EQ(r.warnings.size(), 3u);
  for (auto [kind, count, first] : {std::tuple{"polyBevel3", 3, "snippet.ma:4: "}, {"zz", 1, "snippet.ma:9: "},
                                    {"fancyCommand", 2, "snippet.ma:11: "}}) {
    const kvhost::MayaAsciiWarning* warning = r.findWarning(kind);
    ASSERT_NE(warning, nullptr) << kind;
    EXPECT_EQ(warning->count, count) << kind;
    EXPECT_EQ(warning->text.rfind(first, 0), 0u) << warning->text;
  }
  expectValues({{"t.zz", 8}, {"c2.w", 4}});  // kept, the last value winning
  // A new unknown command in every statement lists a bounded number of warnings
  // and counts the rest together.
  std::string body;
  for (int i = 0; i < 1500; ++i) body += "cmd" + std::to_string(i) + ";\n";
  r = load(body);
  ASSERT_TRUE(r.success) << r.error;
  EXPECT_EQ(r.warnings.size(), 1001u);
  EXPECT_EQ(r.warningCount(), 1500);
  ASSERT_NE(r.findWarning("other warnings"), nullptr);
  EXPECT_EQ(r.findWarning("other warnings")->count, 500);
  // Values the host refuses are warnings too, and errors when strict ("1e" has no
  // exponent digits: a word, not a number).
  const char* refused = "createNode transform -n \"t\";\n\tsetAttr \".t\" -type \"string\" \"x\";\n"
                        "connectAttr \"t.msg\" \"nowhere.msg\";\n\tsetAttr \".tx\" 1e;\n";
  r = load(refused);
  ASSERT_TRUE(r.success) << r.error;
  EXPECT_EQ(r.warnings.size(), 3u);
  MayaAsciiOptions strict;
  strict.strict = true;
  r = load(refused, strict);
  EXPECT_FALSE(r.success);
  EXPECT_EQ(r.error.rfind("snippet.ma:5: setAttr transform.t -type string", 0), 0u) << r.error;
}

// Malformed statements stop the read with "file:line: what was expected".
TEST(MayaAsciiReader, ReportsMalformedStatementsWithTheirLine) {
  struct Case {
    const char* body;
    const char* error;  // expected prefix of the error
  };
  const Case cases[] = {
      {"createNode transform -n \"a;\n", "snippet.ma:4: unterminated string"},
      {"createNode transform\n  -n \"a\"\n", "snippet.ma:4: unterminated 'createNode' statement"},
      {"\ncreateNode -n \"a\";\n", "snippet.ma:5: createNode: expected one node type"},
      {"createNode transform -n;\n", "snippet.ma:4: createNode -n: expected a value"},
      {"createNode mesh -n \"m\";\n\tsetAttr ;\n", "snippet.ma:5: setAttr: expected an attribute name"},
      {"createNode mesh -n \"m\";\n\tsetAttr \".vt[4000000000]\" 1 2 3;\n", "snippet.ma:5: bad index [4000000000]"},
      {"createNode mesh -n \"m\";\n\tsetAttr \".vt[-1]\" 1 2 3;\n", "snippet.ma:5: bad index [-1]"},
      {"createNode mesh -n \"m\";\n\tsetAttr \".vt[3:1]\" 1 2 3;\n", "snippet.ma:5: bad index [3:1]"},
      {"createNode mesh -n \"m\";\n\tsetAttr \".uvst[0:1].uvsp[0:1]\" 1 2;\n", "snippet.ma:5: more than one index range"},
      {"createNode mesh -n \"m\";\n\tsetAttr \".vt[0\" 1 2 3;\n", "snippet.ma:5: expected ']'"},
      {"createNode file -n \"f\";\n\tsetAttr \".ftn\" -type \"string\" (\"a\" + 1);\n",
       "snippet.ma:5: expected a string inside"},
      {"createNode file -n \"f\";\n\tsetAttr \".ftn\" -type \"string\" (\"a\" \"b\");\n",
       "snippet.ma:5: expected '+' or ')'"},
      {"createNode file -n \"f\") ;\n", "snippet.ma:4: unexpected ')'"},
      {"\"loose string\";\n", "snippet.ma:4: expected a command name"},
      {"createNode transform -n \"a\";\nconnectAttr \"a.t\";\n", "snippet.ma:5: connectAttr: expected SOURCE"},
      {"connectAttr \"a\" \"b.c\";\n", "snippet.ma:4: expected 'node.attribute'"},
      {"file -rdi 65537 -ns \"x\" -rfn \"xRN\" \"x.ma\";\n", "snippet.ma:4: file -rdi: expected a reference depth"},
      {"file -r -ns \"x\" \"x.ma\" \"y.ma\";\n", "snippet.ma:4: file: expected one file name"},
      {"currentUnit -l meter -a degree;\n", "snippet.ma:4: linear unit 'meter' is not supported"},
      {"currentUnit -l centimeter -a gradian;\n", "snippet.ma:4: unknown angle unit 'gradian'"},
      {"createNode dagPose -n \"p\";\n\tsetAttr \".xm[0]\" -type \"matrix\" \"xform\" 1 1 1 0 0 0 9 0 0 0 0 0 0\n"
       "\t\t0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 0 1 1 1 1 yes;\n",
       "snippet.ma:5: matrix \"xform\": expected a rotate order"},
      {"createNode mesh -n \"m\";\n\tsetAttr \".fc[0]\" -type \"polyFaces\" f 3 0 1 1e30;\n",
       "snippet.ma:5: polyFaces: expected an integer"},
      {"createNode mesh -n \"m\";\n\tsetAttr \".fc[2000000000]\" -type \"polyFaces\" f 3 0 1 2;\n",
       "snippet.ma:5: polyFaces start at face 2000000000 but only 0 faces precede them"},
      {"createNode mesh -n \"m\";\n\tsetAttr \".fc[0:1]\" -type \"polyFaces\" f 3 0 1 2 f 3 0 2 3;\n"
       "\tsetAttr \".fc[2:3]\" -type \"polyFaces\" f 3 0 1 2 f 3 0 2 3;\n"
       "\tsetAttr \".fc[5]\" -type \"polyFaces\" f 3 0 1 2;\n",
       "snippet.ma:7: polyFaces start at face 5 but only 4 faces precede them"},
      {"createNode mesh -n \"m\";\n\tsetAttr \".ed[0]\" 0 1e30 0;\n", "snippet.ma:5: setAttr .ed: expected an integer"},
      {"createNode transform -n \"t\";\n\tsetAttr \".ro\" 2.5;\n", "snippet.ma:5: setAttr .ro: expected an integer"},
      {"createNode skinCluster -n \"s\";\n\tsetAttr \".wl[0:1].w\" 1 0 1 1 1e12 0.5;\n",
       "snippet.ma:5: setAttr: expected a weight index"},
      {"createNode skinCluster -n \"s\";\n\tsetAttr \".wl[0:1].w\" -2 0 0.5;\n",
       "snippet.ma:5: setAttr: expected a count of weights"},
      {"createNode transform -n \"t\";\n\tsetAttr \".t\" { 1, 2 };\n", "snippet.ma:5: setAttr: unexpected '{'"},
      {"addAttr -at \"double\";\n", "snippet.ma:4: addAttr: expected -ln NAME"},
      {"parent \"a\";\n", "snippet.ma:4: parent: expected CHILD... PARENT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    MayaAsciiResult r = load(c.body);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.error.rfind(c.error, 0), 0u) << r.error;
  }
  MayaAsciiResult r = kvhost::readMayaAsciiString("createNode transform;\n", "bare.ma");
  EXPECT_EQ(r.error.rfind("bare.ma:1: expected a Maya ASCII file", 0), 0u) << r.error;
  EXPECT_TRUE(kvhost::readMayaAsciiString("\xEF\xBB\xBF//Maya ASCII 2020 scene\n", "bom.ma").success);
  r = kvhost::readMayaAsciiFile("/nonexistent/scene.ma");
  EXPECT_FALSE(r.success);
  EXPECT_NE(r.error.find("cannot open"), std::string::npos) << r.error;
}

// Big arrays read back the same however their values come: whole statements in
// index order, a write back into one, a single component of an element past the
// end (its index written with leading zeros), one before the first, a left-out
// multi index (0); an integer list keeps exact values, and one then given a value
// that is not a 32-bit int keeps the earlier ones too.
TEST(MayaAsciiReader, ArraysReadBackHoweverTheirValuesCome) {
  const char* scene = R"(createNode mesh -n "m";
	setAttr -s 6 ".vt[0:2]" 0 0 0  1 0 0  1 1 0;
	setAttr ".vt[3:4]" 0 1 0  2 2 2;
	setAttr ".vt[1]" 5 6 7;
	setAttr ".vt[000000000005].vy" 9;
	setAttr -s 2 ".ed[0:1]" 0 1 0  1 2147483647 1;
	setAttr ".iog.og[2].gcl" -type "componentList" 1 "f[0:3]";
createNode mesh -n "n";
	setAttr -s 3 ".ed[0:1]" 0 1 0  1 2 1;
	setAttr ".pt[3:4]" 1 0 0  0 1 0;
	setAttr ".pt[1]" 0 0 1;
createNode skinCluster -n "s";
	setAttr ".wl[0:1].w" 2 0 0.25 3 0.75  1 1 1;
	setAttr ".wl[0].w[1]" 0.5;
)";
  for (size_t piece : {size_t{1} << 16, size_t{2}}) {
    SCOPED_TRACE("piece size " + std::to_string(piece));
    MayaAsciiOptions options;
    options.pieceValues = piece;
    ASSERT_TRUE(loadsCleanly(scene, options));
    // A file holds whole numbers only for an integer attribute; the host's own callers may not.
    const double more[] = {4000000000.0, -7, 2.5};
    ASSERT_TRUE(kvhost::Scene::get().setNumbers(node("n"), ".ed[2]", more));
    EXPECT_EQ(existingIndices(plugAt("m", "vt")), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    MPointArray points;
    MFnMesh(node("m")).getPoints(points);
    EXPECT_EQ(points.items(), (std::vector<MPoint>{{0, 0, 0}, {5, 6, 7}, {1, 1, 0}, {0, 1, 0}, {2, 2, 2}, {0, 9, 0}}));
    EXPECT_EQ(existingIndices(plugAt("m", "iog[0].og")), (std::vector<int>{2})) << "a left-out index is 0";
    EXPECT_EQ(existingIndices(plugAt("n", "pt")), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(existingIndices(plugAt("s", "wl[0].w")), (std::vector<int>{0, 1, 3}));
    expectValues({{"m.vt[2].vx", 1}, {"m.ed[1].edg2", 2147483647.0}, {"m.ed[1].edgh", 1},
                  {"n.ed[0].edg1", 0}, {"n.ed[0].edg2", 1}, {"n.ed[0].edgh", 0},
                  {"n.ed[1].edg1", 1}, {"n.ed[1].edg2", 2}, {"n.ed[1].edgh", 1},
                  {"n.ed[2].edg1", 4000000000.0}, {"n.ed[2].edg2", -7}, {"n.ed[2].edgh", 2.5},
                  {"n.pt[1].pz", 1}, {"n.pt[4].py", 1}, {"n.pt[3].px", 1},
                  {"s.wl[0].w[1]", 0.5}, {"s.wl[0].w[3]", 0.75}, {"s.wl[1].w[1]", 1}});
  }
}

// Index ranges far larger than their values, size hints and value counts are
// bounded by the values actually present, never by the numbers written; a
// range its values do not fill is refused.
TEST(MayaAsciiReader, HugeIndicesAndCountsDoNotAllocate) {
  MayaAsciiResult r = load(R"(createNode mesh -n "m";
	setAttr -s 200000000 ".vt[0:200000000]" 1 2 3;
	setAttr -s 2000000000 -ch 2000000000 ".pt";
	setAttr ".fc[0:200000000]" -type "polyFaces" f 3 0 0 0;
createNode skinCluster -n "s";
	setAttr ".wl[0:200000000].w" 1 0 1;
	setAttr ".ipt" -type "pointArray" 2000000000 1 2 3 4;
createNode dagPose -n "p";
	setAttr ".g[200000000]" 1;
	setAttr ".xm[2000000000]" -type "matrix" 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1;
)");
  ASSERT_TRUE(r.success) << r.error;
  EXPECT_EQ(r.warnings.at(0).text,
            "snippet.ma:5: setAttr mesh.vt: setAttr m.vt[0]: values for 1 of the 200000001 elements of the range");
  EXPECT_EQ(MFnMesh(node("m")).numVertices(), 0);
  MayaAsciiOptions small;
  small.maxStatementValues = 5;
  r = load("createNode mesh -n \"m\";\n\tsetAttr \".vt[0:1]\" 1 2 3 4 5 6;\n", small);
  EXPECT_EQ(r.error.rfind("snippet.ma:5: setAttr with more than 5 values", 0), 0u) << r.error;
}

// Files built so that each statement makes the host walk everything the
// previous ones built are refused once past a work budget; the same amount of
// data written the way Maya writes it is not.
TEST(MayaAsciiReader, RefusesFilesThatMakeLoadingQuadratic) {
  auto repeat = [](int n, auto line) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line(i);
    return s;
  };
  struct Case {
    const char* name;
    std::string body;
    bool refused;
  };
  const Case cases[] = {
      {"many connections into one node",
       "createNode transform -n \"t\";\ncreateNode objectSet -n \"s\";\n" +
           repeat(200, [](int i) { return "connectAttr \"t.msg\" \"s.dsm[" + std::to_string(i) + "]\";\n"; }),
       true},
      {"changes to a node with many children",
       "createNode transform -n \"t\";\n" +
           repeat(100, [](int i) { return "createNode transform -n \"c" + std::to_string(i) + "\" -p \"t\";\n"; }) +
           "select -ne t;\n" + repeat(100, [](int) { return std::string("\tsetAttr \".tx\" 1;\n"); }),
       true},
      {"a node given many children one by one",
       "createNode transform -n \"t\";\n" + repeat(100, [](int i) {
         const std::string c = "c" + std::to_string(i);
         return "createNode transform -n \"" + c + "\";\nparent " + c + " t;\n";
       }),
       true},
      {"array elements in descending order",
       "createNode mesh -n \"m\";\n" +
           repeat(200, [](int i) { return "\tsetAttr \".vt[" + std::to_string(199 - i) + "]\" 1 2 3;\n"; }),
       true},
      {"array elements in ascending order",
       "createNode mesh -n \"m\";\n" +
           repeat(200, [](int i) { return "\tsetAttr \".vt[" + std::to_string(i) + "]\" 1 2 3;\n"; }),
       false},
      {"connections spread over nodes",
       "createNode transform -n \"t\";\n" + repeat(200, [](int i) {
         std::string n = "s" + std::to_string(i);
         return "createNode objectSet -n \"" + n + "\";\nconnectAttr \"t.wm\" \"" + n + ".dsm[0]\";\n";
       }),
       false},
  };
  MayaAsciiOptions options;
  options.maxHostWork = 5000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MayaAsciiResult r = load(c.body, options);
    EXPECT_EQ(!r.success, c.refused) << r.error;
    if (c.refused) {
      EXPECT_NE(r.error.find("would make the host work too long"), std::string::npos) << r.error;
    }
  }
}

// Every prefix of a valid scene either loads or fails with a located error;
// none crashes or reads out of bounds.
TEST(MayaAsciiReader, EveryTruncationFailsCleanly) {
  std::string text = std::string(kHeader) + kMesh +
                     "createNode skinCluster -n \"s\";\n\tsetAttr \".wl[0:1].w\" 1 0 1 2 0 0.5 1 0.5;\n"
                     "createNode file -n \"f\";\n\tsetAttr \".ftn\" -type \"string\" (\"a\\\"\" + \"b\");\n"
                     "select -ne :time1;\n";
  for (size_t n = 0; n <= text.size(); ++n) {
    std::string prefix = text.substr(0, n);  // a fresh allocation per length
    MayaAsciiResult r = kvhost::readMayaAsciiString(prefix, "cut.ma");
    if (!r.success) {
      EXPECT_EQ(r.error.rfind("cut.ma:", 0), 0u) << n << ": " << r.error;
    }
  }
  EXPECT_TRUE(kvhost::readMayaAsciiString(text, "whole.ma").success);
}

// A stream is read in blocks: comments, strings and words that straddle a
// block boundary read as they would from memory, and progress is reported.
TEST(MayaAsciiReader, StreamBlocksJoinSeamlessly) {
  std::string text = std::string(kHeader) + "createNode transform -n \"t\";\n";
  const size_t block = size_t{1} << 20;
  auto padTo = [&](size_t target) {
    text += "//";
    text.append(target - text.size() - 1, 'x');
    text += "\n";
  };
  padTo(block - 3);
  text += "setAttr \".ty\" 3;\n";  // a word across the first boundary
  padTo(2 * block - 3);
  text += "// y\n";  // a comment that starts one byte before the second
  padTo(3 * block - 18);
  text += "\tsetAttr \".tx\" 12345.5;\n";  // the number across the third
  text += "createNode file -n \"f\";\n\tsetAttr \".ftn\" -type \"string\" \"";
  const size_t length = block + 5;
  text.append(length, 'p');  // a string longer than a block
  text += "\";\n";
  std::vector<std::pair<size_t, size_t>> calls;
  MayaAsciiOptions options;
  options.progressStep = 100;
  options.progress = [&](size_t done, size_t total) { calls.emplace_back(done, total); };
  std::istringstream in(text);
  MayaAsciiResult r = kvhost::readMayaAscii(in, "blocks.ma", options);
  ASSERT_TRUE(r.success) << r.error;
  expectValues({{"t.ty", 3}, {"t.tx", 12345.5}});
  EXPECT_EQ(plugAt("f", "ftn").asString().length(), length);
  // Progress reports come between statements, grow, and end at the whole size
  // (unknown, 0, for a stream).
  ASSERT_GT(calls.size(), 3u);
  for (size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i - 1].first, calls[i].first);
  EXPECT_EQ(calls.back(), std::make_pair(text.size(), size_t{0}));
  calls.clear();
  ASSERT_TRUE(kvhost::readMayaAsciiString(std::string(kHeader) + kMesh, "p.ma", options).success);
  EXPECT_EQ(calls.back(), std::make_pair(std::strlen(kHeader) + std::strlen(kMesh), std::strlen(kHeader) + std::strlen(kMesh)));
}
