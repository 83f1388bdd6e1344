// File references: scenes that reference other scenes, read from real files
// and checked through the Maya API of the host and the reader's result.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <string>
#include <vector>

#include <kvhost/MayaAscii.h>
#include <kvhost/Scene.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MItDag.h>
#include <maya/MPlug.h>

namespace fs = std::filesystem;
using kvhost::MayaAsciiOptions;
using kvhost::MayaAsciiReference;
using kvhost::MayaAsciiResult;

namespace {

class References : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / "kv_reference_tests" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Writes a scene under the test's folder; `body` follows the //Maya line.
  void scene(const std::string& path, const std::string& body) {
    fs::create_directories((dir_ / path).parent_path());
    std::ofstream(dir_ / path) << "//Maya ASCII 2020 scene\n" << body;
  }
  MayaAsciiResult read(const std::string& path, const MayaAsciiOptions& options = {}) {
    return kvhost::readMayaAsciiFile((dir_ / path).string(), options);
  }
  std::string at(const std::string& path) const { return (dir_ / path).lexically_normal().string(); }

  fs::path dir_;
};

bool exists(const char* name) { return !kvhost::Scene::get().findNode(name).isNull(); }

double value(const char* node, const char* attr) {
  return MFnDependencyNode(kvhost::Scene::get().findNode(node)).findPlug(attr).asDouble();
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// "namespace depth path" of each reference a read lists.
std::vector<std::string> listed(const MayaAsciiResult& r) {
  std::vector<std::string> out;
  for (const MayaAsciiReference& ref : r.references) out.push_back(ref.nameSpace + " " + std::to_string(ref.depth) + " " + ref.path);
  return out;
}

// A shot references a rig (relative path, -rdi lines first, as Maya writes
// them), which references a model: names nest, DAG paths carry every
// component's namespace, shared and root-namespace nodes stay the scene's
// own, and each file's edits apply in order when that file ends.
TEST_F(References, NestedReferencesAndTheirEditsBuildOneScene) {
  scene("rigs/model.ma", "createNode transform -n \"body\";\n");
  scene("rigs/rig.ma",
        "file -r -ns \"geo\" -rfn \"geoRN\" \"model.ma\";\n"
        "createNode transform -s -n \"persp\";\n"
        "\tsetAttr \".tx\" 4;\n"
        "createNode joint -n \"root\";\n"
        "createNode joint -n \"tip\" -p \"root\";\n"
        "\tsetAttr \".t\" -type \"double3\" 0 1 0;\n"
        "select -ne :time1;\n\tsetAttr \".o\" 7;\n"
        "connectAttr \"geo:body.tx\" \"root|tip.tz\";\n"
        "createNode reference -n \"geoRN\";\n"
        "\tsetAttr \".ed\" -type \"dataReferenceEdits\" \"geoRN\" \"geoRN\" 2\n"
        "\t\t1 |geo:body \"weight\" \"wt\" \" -ci 1 -at \\\"double\\\"\"\n"
        "\t\t2 \"|geo:body\" \"weight\" \" -k 1 0.25\";\n");
  scene("shot.ma",
        "file -rdi 1 -ns \"hero\" -rfn \"heroRN\" \"rigs/rig.ma\";\n"
        "file -rdi 2 -ns \"geo\" -rfn \"hero:geoRN\" \"rigs/model.ma\";\n"
        "file -r -ns \"hero\" -dr 1 -rfn \"heroRN\" \"rigs/rig.ma\";\n"
        "createNode reference -n \"heroRN\";\n"
        "\tsetAttr \".ed\" -type \"dataReferenceEdits\" \"heroRN\" \"heroRN\" 4\n"
        "\t\t2 \"|hero:root|hero:tip\" \"translate\" \" -type \\\"double3\\\" 1 5 0\"\n"
        "\t\t0 \"|hero:root\" \"|stage\" \"-s -r \"\n"
        "\t\t2 \"|stage|hero:root|hero:tip\" \"translateX\" \" 3\"\n"
        "\t\t0 \"|stage|hero:root|hero:tip\" \"\" \"-s -r \"\n"
        "\t\"hero:geoRN\" 1\n"
        "\t\t2 \"|hero:geo:body\" \"translateX\" \" 2\";\n"
        "createNode transform -n \"stage\";\n");
  MayaAsciiResult r = read("shot.ma");
  ASSERT_TRUE(r.success) << r.error;
  EXPECT_EQ(r.warningCount(), 0) << (r.warnings.empty() ? "" : r.warnings[0].text);

  ASSERT_EQ(listed(r), (std::vector<std::string>{"hero 1 " + at("rigs/rig.ma"), "hero:geo 2 " + at("rigs/model.ma")}))
      << "the -rdi lines load nothing";
  EXPECT_EQ(r.references[0].node, "heroRN");
  EXPECT_EQ(r.references[1].node, "hero:geoRN");
  for (const MayaAsciiReference& ref : r.references) EXPECT_EQ(ref.state, MayaAsciiReference::State::Loaded);

  EXPECT_TRUE(exists("|stage|hero:root")) << "a parent edit moved the rig under the shot's node";
  EXPECT_TRUE(exists("|hero:tip")) << "and another its tip to the world";
  EXPECT_EQ(value("hero:tip", "tx"), 3.0) << "a later edit wins";
  EXPECT_EQ(value("hero:tip", "ty"), 5.0);
  EXPECT_EQ(value("hero:geo:body", "tx"), 2.0) << "the shot edits the rig's nested reference";
  EXPECT_EQ(value("hero:tip", "tz"), 2.0) << "the rig's connection from its model";
  EXPECT_EQ(value("hero:geo:body", "wt"), 0.25) << "the rig's edits: an attribute added, then set";
  EXPECT_FALSE(exists("hero:persp"));
  EXPECT_EQ(value("persp", "tx"), 4.0) << "a referenced file's shared nodes are the scene's";
  EXPECT_EQ(value("time1", "o"), 7.0);
  // References load where their file statements stand: before the shot's own nodes.
  std::vector<std::string> order;
  for (MItDag it(MItDag::kDepthFirst, MFn::kTransform); !it.isDone(); it.next())
    order.push_back(MFnDagNode(it.item()).name().asChar());
  EXPECT_LT(std::find(order.begin(), order.end(), "hero:geo:body"), std::find(order.begin(), order.end(), "stage"));
}

// Connections between the shot and a reference go through the reference
// node's placeholders; edits also break the reference's own connections.
TEST_F(References, PlaceholderEditsAndAssumedDisconnectEditTypeSeven) {
  scene("rig.ma",
        "createNode transform -n \"a\";\n\tsetAttr \".tz\" 6;\n"
        "createNode transform -n \"b\";\n"
        "createNode shadingEngine -n \"sg\";\n"
        "connectAttr \"a.tx\" \"b.tx\";\n");
  scene("shot.ma",
        "file -r -ns \"hero\" -rfn \"heroRN\" \"rig.ma\";\n"
        "createNode reference -n \"heroRN\";\n"
        "\tsetAttr \".ed\" -type \"dataReferenceEdits\" \"heroRN\" \"heroRN\" 5\n"
        "\t\t7 \"hero:a.translateX\" \"hero:b.translateX\"\n"
        "\t\t5 4 \"heroRN\" \"hero:b.translateY\" \"heroRN.placeHolderList[1]\" \"\"\n"
        "\t\t5 3 \"heroRN\" \"hero:a.translateZ\" \"heroRN.placeHolderList[10]\" \"\"\n"
        "\t\t2 \"hero:ghost\" \"translateX\" \" 1\"\n"
        "\t\t0 \"|hero:a\" \"|nowhere\" \"-s -r \"\n"
        // Lock edits change nothing here; an edit type unknown to the reader is skipped.
        "\t\"heroRN\" 2 8 \"hero:b\" \"translateZ\" 99 \"hero:b\" \"tz\"\n"
        "\t\"heroRN\" 4 2 \"hero:b\" \"translateZ\" \" 4\"\n"
        "\t\t3 \"hero:a.translateZ\" \"hero:b.scaleX\" \"\"\n"
        "\t\t5 4 \"heroRN\" \"hero:b.translateX\" \"heroRN.bogus\" \"\"\n"
        "\t\t5 4 \"heroRN\" \"hero:b.worldMatrix\" \"heroRN.placeHolderList[3]\" \"\"\n"
        "\t\"heroRN\" 3 5 4 \"heroRN\" \"hero:sg.dagSetMembers\" \"heroRN.placeHolderList[4]\" \"\"\n"
        "\t\t5 4 \"heroRN\" \"hero:b.rotateX\" \"nobodyRN.placeHolderList[1]\" \"\" 6 \"hero:b\" \"tx\";\n"
        "createNode reference -n \"badRN\";\n"
        "\tsetAttr \".ed\" -type \"dataReferenceEdits\" \"badRN\" \"badRN\" 1 2.5 \"a\" \"b\" \"c\";\n"
        "createNode reference -n \"cutRN\";\n"
        "\tsetAttr \".ed\" -type \"dataReferenceEdits\" \"cutRN\" \"cutRN\" 2 2 \"a\" \"b\";\n"
        "createNode transform -n \"driver\";\n\tsetAttr \".tx\" 9;\n"
        "createNode transform -n \"sink\";\n"
        "connectAttr \"driver.tx\" \"heroRN.phl[1]\";\n"
        "connectAttr \"heroRN.phl[10]\" \"sink.tz\";\n"
        "connectAttr \"driver.tx\" \"heroRN.phl[3]\";\n"
        "connectAttr \"driver.iog\" \"heroRN.phl[4]\";\n");
  MayaAsciiResult r = read("shot.ma");
  ASSERT_TRUE(r.success) << r.error;
  EXPECT_EQ(value("hero:b", "ty"), 9.0) << "the shot's driver reaches the rig";
  EXPECT_EQ(value("sink", "tz"), 6.0) << "the rig reaches the shot's node";
  EXPECT_EQ(value("hero:b", "tz"), 4.0) << "edits after an unknown one still apply";
  EXPECT_EQ(value("hero:b", "sx"), 6.0) << "a connect edit";
  MPlug members = MFnDependencyNode(kvhost::Scene::get().findNode("hero:sg")).findPlug("dsm");
  EXPECT_TRUE(members.elementByLogicalIndex(0).isConnected()) << "set membership through a placeholder";
  const kvhost::MayaAsciiWarning* refused = r.findWarning("reference edit refused");
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(refused->count, 3) << "a placeholder that is none, one of no node, and a computed destination";
  EXPECT_TRUE(contains(refused->text, "'heroRN.bogus' is not a placeholder")) << refused->text;
  const kvhost::MayaAsciiWarning* malformed = r.findWarning("malformed reference edits");
  ASSERT_NE(malformed, nullptr);
  EXPECT_EQ(malformed->count, 2) << "a fractional edit type, and edits cut short";
  EXPECT_TRUE(contains(malformed->text, "reference edits of 'badRN': value 4: expected the type of an edit of 'badRN'"))
      << malformed->text;
  EXPECT_FALSE(MFnDependencyNode(kvhost::Scene::get().findNode("hero:b")).findPlug("tx").isConnected())
      << "assumed: edit type 7 is disconnectAttr";
  const kvhost::MayaAsciiWarning* ghost = r.findWarning("reference edit on a missing node");
  ASSERT_NE(ghost, nullptr);
  EXPECT_EQ(ghost->count, 2) << "a setAttr on a node, and a parent edit to a node, the scene lacks";
  EXPECT_TRUE(contains(ghost->text, "shot.ma:4: reference edit of 'heroRN' names 'hero:ghost'")) << ghost->text;
}

// A reference that cannot be loaded does not stop the read: it is listed
// with the reason, and the edits recorded for it are dropped quietly.
TEST_F(References, UnloadableReferencesAreListedAndLeftOut) {
  scene("a.ma", "file -r -ns \"b\" \"b.ma\";\ncreateNode transform -n \"inA\";\n");
  scene("b.ma", "file -r -ns \"a\" \"a.ma\";\ncreateNode transform -n \"inB\";\n");
  scene("d1.ma", "file -r -ns \"d2\" \"d2.ma\";\n");
  scene("d2.ma", "file -r -ns \"d3\" \"d3.ma\";\n");
  scene("d3.ma", "file -r -ns \"d4\" \"d4.ma\";\n");
  scene("d4.ma", "createNode transform -n \"deep\";\n");
  scene("shot.ma",
        "file -r -ns \"gone\" -rfn \"goneRN\" \"missing.ma\";\n"
        "file -r -ns \"a\" \"a.ma\";\n"
        "file -r -ns \"d1\" \"d1.ma\";\n"
        "file -r -ns \"bin\" -typ \"mayaBinary\" \"a.ma\";\n"
        "file -r -ns \"again\" -rfn \"goneRN\" \"d4.ma\";\n"
        "file -r -ns \"a\" -rfn \"a2RN\" \"d4.ma\";\n"
        "file -r \"d4.ma\";\n"
        "createNode reference -n \"goneRN\";\n"
        "\tsetAttr \".ed\" -type \"dataReferenceEdits\" \"goneRN\" \"goneRN\" 1 2 \"gone:x\" \"tx\" \" 1\";\n");
  MayaAsciiOptions options;
  options.maxReferenceDepth = 3;
  MayaAsciiResult r = read("shot.ma", options);
  ASSERT_TRUE(r.success) << r.error;
  struct Expected {
    const char* nameSpace;
    std::string error;  // empty for a loaded reference
  };
  const Expected expected[] = {
      {"gone", "shot.ma:2: referenced file \"missing.ma\" (namespace gone) not found; looked in: " + at("missing.ma") +
                   ", " + at("scenes/missing.ma")},
      {"a", ""},
      {"a:b", ""},
      {"a:b:a", "b.ma:2: referenced file \"a.ma\" (namespace a:b:a) would close a cycle: " + at("a.ma") + " -> " +
                    at("b.ma") + " -> " + at("a.ma")},
      {"d1", ""},
      {"d1:d2", ""},
      {"d1:d2:d3", ""},
      {"d1:d2:d3:d4", "d3.ma:2: referenced file \"d4.ma\" (namespace d1:d2:d3:d4) is nested more than 3 references deep"},
      {"bin", "shot.ma:5: referenced file \"a.ma\" (namespace bin): Maya Binary files cannot be read"},
      {"a1", ""},  // a second reference into "a" gets a namespace of its own
      {"d4", ""},  // the file's name, without -ns
  };
  ASSERT_EQ(r.references.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].nameSpace);
    const MayaAsciiReference& ref = r.references[i];
    EXPECT_EQ(ref.nameSpace, expected[i].nameSpace);
    EXPECT_EQ(ref.state, expected[i].error.empty() ? MayaAsciiReference::State::Loaded : MayaAsciiReference::State::Failed);
    EXPECT_TRUE(contains(ref.error, expected[i].error)) << ref.error;
  }
  EXPECT_TRUE(exists("a:inA") && exists("a:b:inB"));
  EXPECT_FALSE(exists("d1:d2:d3:d4:deep"));
  EXPECT_TRUE(exists("a1:deep"));
  EXPECT_EQ(r.references.back().node, "d4RN");
  EXPECT_NE(r.findWarning("reference node 'goneRN' is named by two 'file -r' statements"), nullptr);
  EXPECT_NE(r.findWarning("namespace 'a' is already taken; the reference loads into 'a1'"), nullptr);
  EXPECT_EQ(r.findWarning("reference edit"), nullptr) << "edits of a reference that did not load are not warnings";

  // Files that reference each other many times over use up the work budget.
  scene("fan0.ma", "");
  for (int i = 1; i <= 8; ++i) {
    std::string previous = "\"fan" + std::to_string(i - 1) + ".ma\";\n";
    scene("fan" + std::to_string(i) + ".ma", "file -r -ns \"x\" " + previous + "file -r -ns \"y\" " + previous);
  }
  MayaAsciiOptions budget;
  budget.maxHostWork = std::size_t{1} << 22;  // 64 references
  MayaAsciiResult fan = read("fan8.ma", budget);
  EXPECT_FALSE(fan.success);
  EXPECT_TRUE(contains(fan.error, ".ma:3: the scene would make the host work too long (references loaded)")) << fan.error;
  // So do edits that keep changing a referenced node with many children: running
  // out ends the read, where a malformed edit would only be skipped.
  std::string crowd = "createNode transform -n \"t\";\n", edits;
  for (int i = 0; i < 100; ++i) {
    crowd += "createNode transform -n \"c" + std::to_string(i) + "\" -p \"t\";\n";
    edits += " 2 \"c:t\" \"translateX\" \" 1\"";
  }
  scene("crowd.ma", crowd);
  scene("edited.ma", "file -r -ns \"c\" -rfn \"cRN\" \"crowd.ma\";\ncreateNode reference -n \"cRN\";\n"
                     "\tsetAttr \".ed\" -type \"dataReferenceEdits\" \"cRN\" \"cRN\" 100" + edits + ";\n");
  budget.maxHostWork = std::size_t{1} << 17;
  MayaAsciiResult edited = read("edited.ma", budget);
  EXPECT_TRUE(contains(edited.error, "edited.ma:4: the scene would make the host work too long (changes to a node"))
      << edited.error;
}

// The stored paths of a project that moved: relative to the referencing
// file, and absolute paths of another machine found by their file name beside
// the scene, in its scenes folder, or in a folder the caller adds.
TEST_F(References, FindsTheFilesOfAMovedProject) {
  for (const char* path : {"shot/rigs/relative.ma", "shot/beside.ma", "shot/scenes/inScenes.ma", "library/extra.ma"})
    scene(path, "");
  scene("shot/shot.ma",
        "file -r -ns \"rel\" \"rigs/relative.ma\";\n"
        "file -r -ns \"win\" \"C:\\\\Projects\\\\Kiri\\\\scenes\\\\beside.ma\";\n"
        "file -r -ns \"abs\" \"/nonexistent/project/inScenes.ma\";\n"
        "file -r -ns \":lib\" \"D:/assets/extra.ma\";\n"
        "file -r -ns \"none\" \"C:\\\\Projects\\\\Kiri\\\\none.ma\";\n");
  MayaAsciiOptions options;
  options.referencePaths = {(dir_ / "library").string()};
  MayaAsciiResult r = read("shot/shot.ma", options);
  ASSERT_TRUE(r.success) << r.error;
  ASSERT_EQ(listed(r), (std::vector<std::string>{"rel 1 " + at("shot/rigs/relative.ma"), "win 1 " + at("shot/beside.ma"),
                                                 "abs 1 " + at("shot/scenes/inScenes.ma"), "lib 1 " + at("library/extra.ma"),
                                                 "none 1 "}));
  EXPECT_TRUE(contains(r.references[4].error, "looked in: C:\\Projects\\Kiri\\none.ma, " + at("shot/none.ma") + ", " +
                                                  at("shot/scenes/none.ma") + ", " + at("library/none.ma")))
      << r.references[4].error;
}

}  // namespace
