// Lights and cameras exported through the module: which ones are taken, their log
// lines, and the values read back (types, mirrored positions and directions,
// colours, angles in degrees, camera aim).
#include <cmath>

#include <kvhost/Builder.h>
#include <kvhost/TestSwitches.h>
#include <maya/MFnSpotLight.h>

#include "PluginFixture.h"
#include "StageScenes.h"
#include "kv/Camera.h"
#include "kv/ExportStages.h"
#include "kv/Light.h"
#include "kv/Scene.h"

namespace plugin_test {
namespace {

constexpr float kPi = 3.14159265f;

class LightCameraExport : public PluginTest {
 protected:
  // The lines a stage logs between its opening and closing lines.
  Lines StageLines(const std::string& open, const std::string& close) {
    const Lines lines = Between(LogLines(), open, close);
    EXPECT_GE(lines.size(), 2u) << "no " << open << " ... " << close;
    return lines.size() < 2 ? Lines{} : Lines(lines.begin() + 1, lines.end() - 1);
  }
};

TEST_F(LightCameraExport, LightsAndCamerasKeepTheirTypeMirroredPlacementAndValues) {
  const std::string bulb = build.light("pointLight", "bulb", {.t = {1, 2, 3}});
  build.set(bulb + ".cl", {0.2, 0.4, 0.6});
  build.set(bulb + ".in", {2.0});
  // Lights shine down their local -z: turned -90 degrees about Y it points along +x.
  build.light("directionalLight", "sun", {.t = {0, 0, 0}, .r = {0, -90, 0}, .s = {3, 3, 3}});
  const std::string spot = build.light("spotLight", "lamp", {.t = {0, 5, 0}, .r = {-90, 0, 0}});
  build.set(spot + ".cl", {1.0, 0.5, 0.25});
  build.set(spot + ".in", {0.5});
  build.set(spot + ".dro", {2.5});
  MFnSpotLight(kvhost::Scene::get().findNode(spot)).setConeAngle(0.5);
  // Hidden lights and other light kinds are left out; only the light's own
  // transform counts, not a hidden group above it.
  build.light("pointLight", "hidden");
  build.set("hidden.v", {false});
  build.light("ambientLight", "ambient");
  build.light("areaLight", "area");
  build.transform("group");
  build.set("group.v", {false});
  build.transform("shown", "group", {.t = {4, 0, 0}});
  build.create("pointLight", "shownShape", "shown");
  // Orthographic cameras are skipped, hidden ones are not.
  const std::string ortho = build.camera("topView", {.t = {0, 100, 0}, .r = {-90, 0, 0}});
  build.set(ortho + ".o", {true});
  const std::string hiddenShape = build.camera("hiddenCam", {.t = {1, 2, 3}});
  build.set("hiddenCam.v", {false});
  build.set(hiddenShape + ".fl", {35.0});  // a horizontal field of view of 1 radian
  build.set(hiddenShape + ".hfa", {std::tan(0.5) * 2 * 35.0 / 25.4});
  auto loaded = ExportAndLoad("lights.kvr");
  KvScene* scene = loaded->get();
  ASSERT_NE(scene, nullptr);

  EXPECT_EQ(StageLines("Importing lights...", "Finished importing lights."),
            (Lines{"Importing point light bulb...", "Importing directional light sun...", "Importing spotlight lamp...",
                   "Importing point light shown..."}));
  EXPECT_EQ(CountOf(LogLines(), "4 lights"), 1);
  EXPECT_EQ(StageLines("Importing cameras...", "Finished importing cameras."),
            (Lines{"Importing camera topView...", "Ortho cameras are not supported.", "Importing camera hiddenCam..."}));

  ASSERT_EQ(scene->GetNumLights(), 4u);
  KvLight* point = FindNamed(scene->Lights(), "bulb");
  KvLight* directional = FindNamed(scene->Lights(), "sun");
  KvLight* spotLight = FindNamed(scene->Lights(), "lamp");
  ASSERT_TRUE(point && directional && spotLight);

  EXPECT_EQ(point->GetType(), 1u);
  ExpectVec(point->GetPosition(), -1, 2, 3, 0);
  ExpectVec(point->GetDirection(), 0, 0, 1, 0);  // never set for a point light
  ExpectColor(point->GetColor(), 0.2f, 0.4f, 0.6f, 1);
  ExpectColor(point->GetIntensityColor(), 0.4f, 0.8f, 1.2f, 1);  // kept apart from the colour
  EXPECT_EQ(point->GetDropOff(), 0.0f);
  EXPECT_EQ(point->GetConeAngle(), 1.5707964f);

  EXPECT_EQ(directional->GetType(), 3u);
  ExpectVec(directional->GetDirection(), -1, 0, 0);
  EXPECT_EQ(directional->GetConeAngle(), 1.5707964f);

  EXPECT_EQ(spotLight->GetType(), 2u);
  ExpectVec(spotLight->GetPosition(), 0, 5, 0, 0);
  ExpectVec(spotLight->GetDirection(), 0, -1, 0);
  // 0.5 rad at 57.295776 degrees a radian; 57.29578, one float away, would give 28.64789.
  EXPECT_EQ(spotLight->GetConeAngle(), 28.647888f);
  EXPECT_EQ(spotLight->GetDropOff(), 2.5f);
  ExpectColor(spotLight->GetColor(), 1, 0.5f, 0.25f, 1);
  ExpectColor(spotLight->GetIntensityColor(), 0.5f, 0.25f, 0.125f, 1);
  KvLight* shown = FindNamed(scene->Lights(), "shown");
  ASSERT_NE(shown, nullptr);
  ExpectVec(shown->GetPosition(), -4, 0, 0, 0);  // the transform's own translation, not its world position

  ASSERT_EQ(scene->GetNumCameras(), 1u);
  KvCamera* camera = FindNamed(scene->Cameras(), "hiddenCam");
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->GetProjectionType(), 0u);
  ExpectVec(camera->GetPosition(), -1, 2, 3, 0);
  // 1 radian is handed over as 57.295776 degrees and stored back in radians.
  EXPECT_NEAR(camera->GetFieldOfView(), 1.0f, 1e-6f);
}

TEST_F(LightCameraExport, CamerasWithoutMeshesAimAlongTheirViewDirection) {
  // Without meshes the aim point is as far away as the origin.
  const struct {
    const char* name;
    kvhost::Xform placement;
    float yaw, pitch;
  } cases[] = {
      {"atOrigin", {}, 0, 0},                                 // at the box centre: no rotation
      {"front", {.t = {0, 0, 10}}, kPi, 0},                   // looking down -z: yaw +pi, never -pi
      {"side", {.t = {10, 0, 0}, .r = {0, 90, 0}}, -kPi / 2, 0},  // Maya -x is exported +x
      {"raised", {.t = {0, 4, 4}, .r = {-45, 0, 0}}, kPi, -kPi / 4},
  };
  for (const auto& c : cases) build.camera(c.name, c.placement);
  auto loaded = ExportAndLoad("aim.kvr");
  KvScene* scene = loaded->get();
  ASSERT_NE(scene, nullptr);

  ASSERT_EQ(scene->GetNumCameras(), std::size(cases));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KvCamera* camera = FindNamed(scene->Cameras(), c.name);
    ASSERT_NE(camera, nullptr);
    ExpectVec(camera->GetRotation(), c.yaw, c.pitch, 0, 1e-5f);
  }
  EXPECT_EQ(FindNamed(scene->Cameras(), "atOrigin")->GetRotation().x, 0.0f);
  EXPECT_EQ(FindNamed(scene->Cameras(), "front")->GetRotation().x, kPi);
}

TEST_F(LightCameraExport, CamerasAimThroughTheCentreOfTheExportedMeshes) {
  // The grid spans host x and z from 0 to 2: its box is centred on host (1, 0, 1).
  build.mesh("floor", TriangleGrid(2, 2));
  // Standing at the centre, the aim point is the camera itself: no rotation, even
  // though it looks sideways. Without the meshes it would turn to yaw -pi/2.
  build.camera("inside", {.t = {1, 0, 1}, .r = {0, 90, 0}});
  build.camera("outside", {.t = {1, 0, 11}});
  auto loaded = ExportAndLoad("centre.kvr");
  KvScene* scene = loaded->get();
  ASSERT_NE(scene, nullptr);

  ASSERT_EQ(scene->GetNumMeshes(), 1u);
  KvCamera* inside = FindNamed(scene->Cameras(), "inside");
  KvCamera* outside = FindNamed(scene->Cameras(), "outside");
  ASSERT_TRUE(inside && outside);
  ExpectVec(inside->GetRotation(), 0, 0, 0, 0);
  ExpectVec(outside->GetRotation(), kPi, 0, 0, 1e-6f);
}

// Stages run on their own: a failed iterator ends one with the error and without
// its closing line; a null scene only opens and closes the stage.
TEST_F(LightCameraExport, FailedIteratorStopsTheStageWithoutItsClosingLine) {
  using Stage = bool (*)(KvScene*);
  const struct {
    void (*fail)();
    Stage stage;
    Lines log;
  } cases[] = {
      {kvhost::failNextDagIterator, ImportLights,
       {"Importing lights...", "Maya API Error detected: \"Failed to create lightIterator!\""}},
      {kvhost::failNextDagIterator, ImportCameras,
       {"Importing cameras...", "Maya API Error detected: \"Failed to create cameraIterator!\""}},
      {kvhost::failNextDagIterator, ImportMeshes,
       {"Importing meshes...", "Maya API Error detected: \"Failed to create meshIterator!\""}},
      {kvhost::failNextDependencyNodeIterator, ImportBlendShapes,
       {"Importing blend shapes...", "Maya API Error detected: \"Could not create blendShapeIterator!\""}},
  };
  build.mesh("tri", TriangleStrip(1));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log.front());
    kvhost::Scene::get().clearMessages();
    c.fail();
    EXPECT_FALSE(RunStageDirectly(c.stage));
    kvhost::clearTestSwitches();
    EXPECT_EQ(LogLines(), c.log);
    EXPECT_EQ(Shown(kvhost::Message::Error), Lines{kExportErrorText});
  }
}

TEST_F(LightCameraExport, NullSceneOnlyOpensAndClosesTheStage) {
  build.light("pointLight", "bulb");
  build.camera("cam");
  build.joint("neck");
  build.mesh("helmet", TriangleStrip(1), "neck");
  EXPECT_TRUE(RunStageDirectly(
      [](KvScene*) { return ImportLights(nullptr) && ImportCameras(nullptr) && ImportRigidSkins(nullptr); }));
  EXPECT_EQ(LogLines(), (Lines{"Importing lights...", "Finished importing lights.", "Importing cameras...",
                               "Finished importing cameras.", "Searching for and creating rigidly skinned meshes...",
                               "Finished searching for and creating rigidly skinned meshes..."}));
}

}  // namespace
}  // namespace plugin_test
