// Blend shapes exported through the module: envelopes turned off before the meshes
// are read, targets lined up with their base, and the morph targets read back
// (which vertices survive, mirrored differences, one controller per mesh).
#include <cmath>
#include <filesystem>

#include <kvhost/Builder.h>
#include <kvhost/TestSwitches.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>

#include "PluginFixture.h"
#include "StageScenes.h"
#include "kv/ExportStages.h"
#include "kv/Mesh.h"
#include "kv/Morph.h"
#include "kv/Scene.h"

namespace plugin_test {
namespace {

using Moves = std::vector<std::pair<int, kvhost::Vec3>>;

class BlendShapeExport : public PluginTest {
 protected:
  // A 10 x 10 vertex grid (100 vertices, 162 triangles) under transform NAME, ready
  // for deformers; returns the shape.
  std::string Base(const std::string& name, const kvhost::Xform& placement = {}) {
    return build.deformableMesh(name, TriangleGrid(9, 9), {}, placement);
  }

  // A hidden target shape under transform NAME: the grid (or `geometry`) with each
  // listed vertex moved by its host-space offset; returns the shape.
  std::string Target(const std::string& name, const Moves& moves, const kvhost::Xform& placement = {},
                     kvhost::MeshSpec geometry = TriangleGrid(9, 9)) {
    for (const auto& [vertex, offset] : moves) {
      for (int axis = 0; axis < 3; ++axis) geometry.points[vertex][axis] += offset[axis];
    }
    const std::string shape = build.mesh(name, geometry, {}, placement);
    build.set(name + ".v", {false});
    return shape;
  }

  static std::vector<uint32_t> VertexIndices(const KvMorphTarget& target) {
    std::vector<uint32_t> indices;
    for (uint32_t i = 0; i < target.GetNumMorphVertices(); ++i) indices.push_back(target.GetMorphVertex(i).vertexIndex);
    return indices;
  }

  static std::vector<std::string> TargetNames(const KvMorphController* controller) {
    std::vector<std::string> names;
    for (uint32_t i = 0; i < controller->GetNumMorphTargets(); ++i) {
      names.push_back(controller->GetMorphTarget(i).GetName().GetAsCString());
    }
    return names;
  }

  static double Envelope(const std::string& deformer) {
    return MFnDependencyNode(kvhost::Scene::get().findNode(deformer)).findPlug("en").asDouble();
  }

  // The host's world matrices of two transforms agree element by element.
  static void ExpectSameWorldMatrix(const std::string& moved, const std::string& base) {
    MDoubleArray movedMatrix;
    MDoubleArray baseMatrix;
    MGlobal::executeCommand(MString("xform -q -ws -m ") + moved.c_str(), movedMatrix);
    MGlobal::executeCommand(MString("xform -q -ws -m ") + base.c_str(), baseMatrix);
    ASSERT_EQ(movedMatrix.length(), 16u);
    ASSERT_EQ(baseMatrix.length(), 16u);
    for (unsigned int i = 0; i < 16; ++i) EXPECT_NEAR(movedMatrix[i], baseMatrix[i], 1e-9) << "element " << i;
  }
};

float Length(const KvVec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

TEST_F(BlendShapeExport, TargetKeepsOnlyTheVerticesItMovesBeyondTheThresholdInBaseSpace) {
  // The target's placement is replaced by its base's world matrix: half a unit along
  // the target's own x is, on the turned base, one unit along host -z.
  const std::string turnedBase = Base("turnedBase", {.t = {1, 2, 3}, .r = {0, 90, 0}, .s = {2, 2, 2}});
  const std::string turned = Target("turned", {{0, {0.5, 0, 0}}}, {.t = {-7, 0, 0}, .r = {0, 0, 45}});
  build.blendShape("turnShapes", turnedBase, {turned}, {0.0});
  const std::string base = Base("base");
  // Vertex 10 moves half the threshold, vertex 20 twice the threshold, vertex 19
  // (at x = 9) just past it; the target itself stands far from the base.
  const std::string bump = Target("bump",
                                  {{70, {0, 0.5, 0}}, {9, {1, 0, 0}}, {42, {0, 2, 0}}, {10, {0.0005, 0, 0}},
                                   {20, {0.002, 0, 0}}, {19, {0.0010005, 0, 0}}},
                                  {.t = {20, 0, -3}});
  build.blendShape("blendShape1", base, {bump}, {1.0});
  auto scene = ExportAndLoad("bump.kvr");
  ASSERT_NE(scene->get(), nullptr);

  const Lines lines = LogLines();
  EXPECT_TRUE(HasRun(lines, {"Disabling blend shapes...", "Disabling blend shape turnShapes...",
                             "Disabling blend shape blendShape1...", "Finished disabling blend shapes."}));
  EXPECT_TRUE(HasRun(lines, {"Importing blend shape deformer blendShape1...",
                             "Blend shape deformer deforms 1 objects.", "Mesh base deformed with 1 weights.",
                             "Importing blend shape bump with 100 vertices and 162 polygons...",
                             "Finished importing blend shapes."}));

  KvMesh* mesh = (*scene)->FindMesh(KvName("base"));
  ASSERT_NE(mesh, nullptr);
  // Read with the envelope off: the full-weight target does not deform the mesh.
  EXPECT_EQ(mesh->GetVertex(9)->position.x, -9.0f);
  EXPECT_EQ(mesh->GetVertex(42)->position.y, 0.0f);
  ASSERT_NE(mesh->GetMorphController(), nullptr);
  ASSERT_EQ(TargetNames(mesh->GetMorphController()), std::vector<std::string>{"bump"});
  const KvMorphTarget& target = mesh->GetMorphController()->GetMorphTarget(0);
  ASSERT_EQ(VertexIndices(target), (std::vector<uint32_t>{9, 19, 20, 42, 70}));
  ExpectVec(target.GetMorphVertex(0).positionDelta, -1, 0, 0, 0);  // one unit along host +x
  // Only the base is narrowed before the subtraction: the target's 9.0010005 is
  // not first rounded to the float 9.0010004.
  EXPECT_EQ(target.GetMorphVertex(1).positionDelta.x, static_cast<float>(-(9.0 + 0.0010005) + 9.0));
  EXPECT_NEAR(target.GetMorphVertex(2).positionDelta.x, -0.002f, 1e-6f);
  EXPECT_EQ(target.GetMorphVertex(3).positionDelta.y, 2.0f);
  EXPECT_EQ(target.GetMorphVertex(4).positionDelta.y, 0.5f);
  // Sliding in the plane keeps the normal; lifting an edge vertex tilts it.
  EXPECT_NEAR(Length(target.GetMorphVertex(0).normalDelta), 0.0f, 1e-6f);
  EXPECT_GT(Length(target.GetMorphVertex(4).normalDelta), 0.1f);

  // The host scene keeps what the export did to it.
  EXPECT_EQ(Envelope("blendShape1"), 0.0);
  ExpectSameWorldMatrix("bump", "base");

  KvMesh* turnedMesh = (*scene)->FindMesh(KvName("turnedBase"));
  ASSERT_NE(turnedMesh, nullptr);
  ASSERT_NE(turnedMesh->GetMorphController(), nullptr);
  ASSERT_EQ(TargetNames(turnedMesh->GetMorphController()), std::vector<std::string>{"turned"});
  const KvMorphTarget& turnedTarget = turnedMesh->GetMorphController()->GetMorphTarget(0);
  ASSERT_EQ(VertexIndices(turnedTarget), std::vector<uint32_t>{0});
  ExpectVec(turnedTarget.GetMorphVertex(0).positionDelta, 0, 0, -1, 1e-5f);
  ExpectSameWorldMatrix("turned", "turnedBase");
}

// Targets that give nothing: one equal to its base (the controller stays, empty),
// one with fewer vertices than its base (left out whole, not cut short), and the
// deformer of a mesh not exported (passed over).
TEST_F(BlendShapeExport, TargetsWithNothingToGiveAreLeftOut) {
  const std::string hiddenBase = Base("hiddenBase", {.t = {30, 0, 0}});
  build.set("hiddenBase.v", {false});
  build.blendShape("hiddenShapes", hiddenBase, {Target("lost", {{0, {0, 1, 0}}})}, {0.0});
  build.blendShape("sameShapes", Base("same"), {Target("sameTarget", {})}, {0.5});
  const std::string small = Target("small", {{0, {0, 1, 0}}}, {}, TriangleGrid(8, 9));
  build.blendShape("sizeShapes", Base("sized", {.t = {15, 0, 0}}), {small, Target("good", {{0, {0, 1, 0}}})},
                   {0.0, 0.0});
  auto scene = ExportAndLoad("nothing.kvr");
  ASSERT_NE(scene->get(), nullptr);

  const Lines lines = LogLines();
  EXPECT_TRUE(HasRun(lines, {"Importing blend shape sameTarget with 100 vertices and 162 polygons...",
                             "Warning: optimization removed ALL vertices!  Morph target will not be exported",
                             "Importing blend shape deformer sizeShapes..."}));
  EXPECT_TRUE(HasRun(lines,
                     {"Importing blend shape small with 90 vertices and 144 polygons...",
                      "Warning: blend shape small has fewer vertices than its base!  Morph target will not be exported",
                      "Importing blend shape good with 100 vertices and 162 polygons..."}));
  EXPECT_TRUE(HasRun(lines, {"Importing blend shape deformer hiddenShapes...", "Blend shape deformer deforms 1 objects.",
                             "Mesh hiddenBase deformed with 1 weights.", "Deformed mesh not found in scene!",
                             "Importing blend shape deformer sameShapes..."}));
  EXPECT_EQ(CountOf(lines, "Deformed mesh not found in scene!"), 1);
  EXPECT_EQ(CountOf(lines, "Importing blend shape lost with 100 vertices and 162 polygons..."), 0);

  KvMesh* same = (*scene)->FindMesh(KvName("same"));
  ASSERT_NE(same, nullptr);
  ASSERT_NE(same->GetMorphController(), nullptr) << "the controller is given before its targets are read";
  EXPECT_EQ(same->GetMorphController()->GetNumMorphTargets(), 0u);
  KvMesh* sized = (*scene)->FindMesh(KvName("sized"));
  ASSERT_NE(sized, nullptr);
  ASSERT_NE(sized->GetMorphController(), nullptr);
  EXPECT_EQ(TargetNames(sized->GetMorphController()), std::vector<std::string>{"good"});
}

TEST_F(BlendShapeExport, TwoDeformersOnOneMeshShareOneControllerInNodeOrder) {
  const std::string base = Base("base");
  build.mesh("plain", TriangleGrid(2, 2, 20));
  build.blendShape("smile", base, {Target("smileTarget", {{1, {0, 1, 0}}}), Target("frown", {{2, {0, -1, 0}}})},
                   {0.0, 0.0});
  // Weight 2 of "smile" lost its target shape: only its deltas are left.
  build.set("smile.w[2]", {0.0});
  build.set("smile.it[0].itg[2].iti[6000].ipt", {1, 0, 0, 3, 1}, "pointArray");
  build.set("smile.it[0].itg[2].iti[6000].ict", {1, "vtx[3]"}, "componentList");
  build.blendShape("blink", base, {Target("blinkTarget", {{3, {0, 0, 1}}})}, {0.0});
  auto scene = ExportAndLoad("two.kvr");
  ASSERT_NE(scene->get(), nullptr);

  const Lines lines = LogLines();
  EXPECT_TRUE(HasRun(lines, {"Disabling blend shapes...", "Disabling blend shape smile...",
                             "Disabling blend shape blink...", "Finished disabling blend shapes."}));
  EXPECT_EQ(CountOf(lines, "Mesh base deformed with 3 weights."), 1);
  EXPECT_EQ(CountOf(lines, "Mesh base deformed with 1 weights."), 1);
  EXPECT_EQ(CountOf(lines,
                    "MFnBlendShapeDeformer::getTarget function failed. You must leave the blend shape objects in the "
                    "scene after adding them to the blendShape modifier."),
            1);
  KvMesh* mesh = (*scene)->FindMesh(KvName("base"));
  ASSERT_NE(mesh, nullptr);
  ASSERT_NE(mesh->GetMorphController(), nullptr);
  EXPECT_EQ(TargetNames(mesh->GetMorphController()), (std::vector<std::string>{"smileTarget", "frown", "blinkTarget"}));
  EXPECT_EQ(VertexIndices(mesh->GetMorphController()->GetMorphTarget(1)), std::vector<uint32_t>{2});
  EXPECT_EQ(Envelope("smile"), 0.0);
  EXPECT_EQ(Envelope("blink"), 0.0);

  KvMesh* plain = (*scene)->FindMesh(KvName("plain"));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->GetMorphController(), nullptr) << "a mesh without blend shapes gets no controller";
}

TEST_F(BlendShapeExport, SmallerMeshOfTheSameNameGetsNoMorphVerticesBeyondItsOwn) {
  // Meshes are found by their transform's name: the small "base" exported first is
  // the one found for the deformer of the large one.
  build.transform("small");
  build.mesh("base", TriangleGrid(2, 2), "small");
  build.transform("large");
  const std::string large = build.deformableMesh("base", TriangleGrid(9, 9), "large");
  build.blendShape("blendShape1", large, {Target("bump", {{50, {0, 1, 0}}})}, {0.0});
  auto scene = ExportAndLoad("names.kvr");
  ASSERT_NE(scene->get(), nullptr);

  EXPECT_EQ(CountOf(LogLines(),
                    "Warning: exported mesh base has fewer vertices than the base of blend shape bump!  Morph target "
                    "will not be exported"),
            1);
  for (KvMesh* mesh : MeshesOf(scene->get())) {
    const KvMorphController* controller = mesh->GetMorphController();
    for (uint32_t t = 0; controller != nullptr && t < controller->GetNumMorphTargets(); ++t) {
      for (uint32_t index : VertexIndices(controller->GetMorphTarget(t))) EXPECT_LT(index, mesh->GetNumVertices());
    }
  }
}

TEST_F(BlendShapeExport, FailedNodeIteratorStopsTheStage) {
  // Through the module: the disabling stage makes the first node iterator.
  build.blendShape("blendShape1", Base("base"), {Target("bump", {{0, {0, 1, 0}}})}, {1.0});
  const std::string out = Path("failed.kvr");
  kvhost::failNextDependencyNodeIterator();
  EXPECT_EQ(Export(out), MS::kFailure);
  kvhost::clearTestSwitches();
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(Shown(kvhost::Message::Error), Lines{kExportErrorText});
  const Lines lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
            (Lines{"Disabling blend shapes...", "Maya API Error detected: \"Could not create blendShapeIterator!\""}));
  EXPECT_EQ(Envelope("blendShape1"), 1.0) << "nothing was disabled";
}

}  // namespace
}  // namespace plugin_test
