// Blend shapes through the module: envelopes turned off before the meshes are read,
// targets moved onto their base, and the morph targets read back (which vertices
// survive, mirrored differences, one controller per mesh).
#include <cmath>

#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>

#include "PluginFixture.h"
#include "kv/Mesh.h"
#include "kv/Morph.h"
#include "kv/Name.h"

namespace plugin_test {
namespace {

constexpr char kTargetLost[] =
    "MFnBlendShapeDeformer::getTarget function failed. You must leave the blend shape objects in the scene after "
    "adding them to the blendShape modifier.";
using Moves = std::vector<std::pair<int, kvhost::Vec3>>;

class BlendShapeExport : public PluginTest {
 protected:
  // A 10 x 10 vertex grid (100 vertices, 162 triangles) ready for deformers.
  std::string Base(const std::string& name, const kvhost::Xform& placement = {}) {
    return build.deformableMesh(name, TriangleGrid(9, 9), {}, placement);
  }
  // A hidden target: the grid (or `geometry`) with each listed vertex moved.
  std::string Target(const std::string& name, const Moves& moves, const kvhost::Xform& placement = {},
                     kvhost::MeshSpec geometry = TriangleGrid(9, 9)) {
    for (const auto& [vertex, offset] : moves) {
      for (int axis = 0; axis < 3; ++axis) geometry.points[vertex][axis] += offset[axis];
    }
    const std::string shape = build.mesh(name, geometry, {}, placement);
    build.set(name + ".v", {false});
    return shape;
  }
  // A mesh's morph targets as "name: vertex indices", "-" without a controller.
  static std::string Morphs(KvMesh* mesh) {
    const KvMorphController* controller = mesh->GetMorphController();
    std::string text = controller == nullptr ? "-" : "";
    for (uint32_t i = 0; controller != nullptr && i < controller->GetNumMorphTargets(); ++i) {
      const KvMorphTarget& t = controller->GetMorphTarget(i);
      text += std::string(i == 0 ? "" : "; ") + t.GetName().GetAsCString() + ":";
      for (uint32_t v = 0; v < t.GetNumMorphVertices(); ++v) text += " " + std::to_string(t.GetMorphVertex(v).vertexIndex);
    }
    return text;
  }
  static double Envelope(const std::string& deformer) {
    return MFnDependencyNode(kvhost::Scene::get().findNode(deformer)).findPlug("en").asDouble();
  }
};

float Length(const KvVec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

// One controller per mesh collects the targets of every deformer on it, in node
// order, each keeping only the vertices it moves beyond the threshold, in its base's
// space. Targets that give nothing are left out: one equal to its base (the
// controller stays, empty), one with fewer vertices than its base (left out whole),
// one whose base is not exported, one whose shape was deleted, and one whose base
// name finds a smaller exported mesh.
TEST_F(BlendShapeExport, TargetsKeepTheVerticesTheyMoveInBaseSpaceAndThoseWithNothingToGiveAreLeftOut) {
  const std::string face = Base("face");
  build.mesh("plain", TriangleGrid(2, 2, 20));
  const std::string gone = Target("gone", {{1, {0, 1, 0}}});
  build.blendShape("smile", face, {gone, Target("frown", {{2, {0, -1, 0}}})}, {0.0, 0.0});
  // Weight 0 of "smile" lost its target shape; the next weight still counts.
  ASSERT_TRUE(kvhost::Scene::get().disconnectAttr(gone + ".w[0]", "smile.it[0].itg[0].iti[6000].igt"));
  build.blendShape("blink", face, {Target("blinkTarget", {{3, {0, 0, 1}}})}, {0.0});
  const std::string hiddenBase = Base("hiddenBase", {.t = {30, 0, 0}});
  build.set("hiddenBase.v", {false});
  build.blendShape("hiddenShapes", hiddenBase, {Target("lost", {{0, {0, 1, 0}}})}, {0.0});
  // The same deformer also deforms a second, exported mesh.
  const std::string extra = Base("extra", {.t = {45, 0, 0}});
  MPlugArray sources;
  MFnDependencyNode(kvhost::Scene::get().findNode(extra)).findPlug("i").connectedTo(sources, true, false);
  ASSERT_TRUE(kvhost::Scene::get().disconnectAttr(sources[0].name().asChar(), extra + ".i"));
  build.connect(sources[0].name().asChar(), "hiddenShapes.ip[1].ig");
  build.connect("hiddenShapes.og[1]", extra + ".i");
  build.blendShape("sameShapes", Base("same"), {Target("sameTarget", {})}, {0.5});
  const std::string small = Target("small", {{0, {0, 1, 0}}}, {}, TriangleGrid(8, 9));
  build.blendShape("sizeShapes", Base("sized", {.t = {15, 0, 0}}), {small, Target("good", {{0, {0, 1, 0}}})},
                   {0.0, 0.0});
  // Meshes are found by their transform's name: the small "twin" exported first is
  // the one found for the deformer of the large one.
  build.transform("smallGroup");
  build.mesh("twin", TriangleGrid(2, 2), "smallGroup");
  build.transform("largeGroup");
  const std::string large = build.deformableMesh("twin", TriangleGrid(9, 9), "largeGroup");
  build.blendShape("twinShapes", large, {Target("twinTarget", {{50, {0, 1, 0}}})}, {0.0});
  // The target's placement is replaced by its base's world matrix: half a unit along
  // the target's own x is, on the turned base, one unit along host -z.
  const std::string turnedBase = Base("turnedBase", {.t = {1, 2, 3}, .r = {0, 90, 0}, .s = {2, 2, 2}});
  const std::string turned = Target("turned", {{0, {0.5, 0, 0}}}, {.t = {-7, 0, 0}, .r = {0, 0, 45}});
  build.blendShape("turnShapes", turnedBase, {turned}, {0.0});
  // Vertex 10 moves half the threshold, vertex 20 twice the threshold, vertex 19
  // (at x = 9) just past it; the target itself stands far from the base.
  const std::string bump = Target("bump",
                                  {{70, {0, 0.5, 0}}, {9, {1, 0, 0}}, {42, {0, 2, 0}}, {10, {0.0005, 0, 0}},
                                   {20, {0.002, 0, 0}}, {19, {0.0010005, 0, 0}}},
                                  {.t = {20, 0, -3}});
  build.blendShape("blendShape1", Base("base"), {bump}, {1.0});
  auto scene = ExportAndLoad("blendShapes.kvr");
  ASSERT_NE(scene.scene, nullptr);

  const Lines lines = LogLines();
  EXPECT_TRUE(SpanIs(lines, {"Disabling blend shape twinShapes...", "Disabling blend shape turnShapes...",
                             "Disabling blend shape blendShape1...", "Finished disabling blend shapes."}));
  EXPECT_TRUE(SpanIs(lines, {"Importing blend shape deformer smile...", "Blend shape deformer deforms 1 objects.",
                             "Mesh face deformed with 2 weights.", kTargetLost,
                             "Importing blend shape frown with 100 vertices and 162 polygons...",
                             "Importing blend shape deformer blink..."}));
  EXPECT_TRUE(SpanIs(lines, {"Importing blend shape deformer hiddenShapes...", "Blend shape deformer deforms 2 objects.",
                   "Mesh hiddenBase deformed with 1 weights.", "Deformed mesh not found in scene!",
                   "Mesh extra deformed with 1 weights.", kTargetLost, "Importing blend shape deformer sameShapes..."}));
  EXPECT_TRUE(SpanIs(lines, {"Importing blend shape sameTarget with 100 vertices and 162 polygons...",
                             "Warning: optimization removed ALL vertices!  Morph target will not be exported",
                             "Importing blend shape deformer sizeShapes..."}));
  EXPECT_TRUE(SpanIs(lines,
                     {"Importing blend shape small with 90 vertices and 144 polygons...",
                      "Warning: blend shape small has fewer vertices than its base!  Morph target will not be exported",
                      "Importing blend shape good with 100 vertices and 162 polygons..."}));
  EXPECT_EQ(CountOf(lines, "Warning: exported mesh twin has fewer vertices than the base of blend shape twinTarget!  "
                           "Morph target will not be exported"),
            1);
  EXPECT_TRUE(SpanIs(lines, {"Importing blend shape deformer blendShape1...", "Blend shape deformer deforms 1 objects.",
                             "Mesh base deformed with 1 weights.",
                             "Importing blend shape bump with 100 vertices and 162 polygons...",
                             "Finished importing blend shapes."}));

  auto morphs = [&](const char* name) { return Morphs(scene->FindMesh(KvName(name))); };
  EXPECT_EQ(morphs("face"), "frown: 2; blinkTarget: 3");
  EXPECT_EQ(Envelope("smile") + Envelope("blink") + Envelope("blendShape1"), 0.0)
      << "the host scene keeps the envelopes off";
  EXPECT_EQ(morphs("plain"), "-") << "no blend shapes, no controller";
  EXPECT_EQ(morphs("same"), "") << "the controller is given before its targets are read";
  EXPECT_EQ(morphs("sized"), "good: 0");
  EXPECT_EQ(morphs("twin"), "");

  KvMesh* mesh = scene->FindMesh(KvName("base"));
  ASSERT_NE(mesh, nullptr);
  // Read with the envelope off: the full-weight target does not deform the mesh.
  EXPECT_EQ(mesh->GetVertex(9)->position.x, -9.0f);
  EXPECT_EQ(mesh->GetVertex(42)->position.y, 0.0f);
  ASSERT_EQ(Morphs(mesh), "bump: 9 19 20 42 70");
  const KvMorphTarget& target = mesh->GetMorphController()->GetMorphTarget(0);
  ExpectVec(target.GetMorphVertex(0).positionDelta, -1, 0, 0, 0);  // one unit along host +x
  // Only the base is narrowed before the subtraction: the target's 9.0010005 is
  // not first rounded to the float 9.0010004.
  EXPECT_EQ(target.GetMorphVertex(1).positionDelta.x, static_cast<float>(-(9.0 + 0.0010005) + 9.0));
  EXPECT_NEAR(target.GetMorphVertex(2).positionDelta.x, -0.002f, 1e-6f);
  ExpectVec(target.GetMorphVertex(3).positionDelta, 0, 2, 0, 0);
  ExpectVec(target.GetMorphVertex(4).positionDelta, 0, 0.5f, 0, 0);
  // Sliding in the plane keeps the normal; lifting an edge vertex tilts it.
  EXPECT_NEAR(Length(target.GetMorphVertex(0).normalDelta), 0.0f, 1e-6f);
  EXPECT_GT(Length(target.GetMorphVertex(4).normalDelta), 0.1f);
  ASSERT_EQ(morphs("turnedBase"), "turned: 0");
  ExpectVec(scene->FindMesh(KvName("turnedBase"))->GetMorphController()->GetMorphTarget(0).GetMorphVertex(0).positionDelta,
            0, 0, -1, 1e-5f);
}

}  // namespace
}  // namespace plugin_test
