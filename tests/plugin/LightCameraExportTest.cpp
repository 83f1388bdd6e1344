// Lights and cameras through the module: which are taken, their log lines and their
// values read back; and the stages run on their own, for the failure paths.
#include <cmath>

#include <kvhost/TestSwitches.h>
#include <maya/MFnSpotLight.h>

#include "PluginFixture.h"
#include "kv/Camera.h"
#include "kv/ExportStages.h"
#include "kv/Light.h"
#include "kv/Mesh.h"
#include "kv/Skeleton.h"

namespace plugin_test {
namespace {

constexpr float kPi = 3.14159265f;

class LightCameraExport : public PluginTest {};

TEST_F(LightCameraExport, LightsAndCamerasKeepTheirTypeMirroredPlacementAndValues) {
  const std::string bulb = build.light("pointLight", "bulb", {.t = {1, 2, 3}});
  build.set(bulb + ".cl", {0.2, 0.4, 0.6});
  build.set(bulb + ".in", {2.0});
  // Lights shine down their local -z: turned -90 degrees about Y it points along +x.
  build.light("directionalLight", "sun", {.r = {0, -90, 0}, .s = {3, 3, 3}});
  const std::string spot = build.light("spotLight", "lamp", {.t = {0, 5, 0}, .r = {-90, 0, 0}});
  build.set(spot + ".cl", {1.0, 0.5, 0.25});
  build.set(spot + ".in", {0.5});
  build.set(spot + ".dro", {2.5});
  MFnSpotLight(kvhost::Scene::get().findNode(spot)).setConeAngle(0.5);
  // Hidden lights and other kinds are left out; only the light's own transform
  // counts, not a hidden group above it.
  build.light("pointLight", "hidden");
  build.set("hidden.v", {false});
  build.light("ambientLight", "ambient");
  build.light("areaLight", "area");
  build.transform("group");
  build.set("group.v", {false});
  build.transform("shown", "group", {.t = {4, 0, 0}});
  build.create("pointLight", "shownShape", "shown");
  // Orthographic cameras are skipped, hidden ones are not.
  build.set(build.camera("topView", {.t = {0, 100, 0}, .r = {-90, 0, 0}}) + ".o", {true});
  const std::string hiddenShape = build.camera("hiddenCam", {.t = {1, 2, 3}});
  build.set("hiddenCam.v", {false});
  build.set(hiddenShape + ".fl", {35.0});  // a horizontal field of view of 1 radian
  build.set(hiddenShape + ".hfa", {std::tan(0.5) * 2 * 35.0 / 25.4});
  auto scene = ExportAndLoad("lights.kvr");
  ASSERT_NE(scene->get(), nullptr);

  const Lines lines = LogLines();
  EXPECT_TRUE(SpanIs(lines, {"Importing lights...", "Importing point light bulb...", "Importing directional light sun...",
                   "Importing spotlight lamp...", "Importing point light shown...", "Finished importing lights.",
                   "Importing cameras...", "Importing camera topView...", "Ortho cameras are not supported.",
                   "Importing camera hiddenCam...", "Finished importing cameras."}));
  EXPECT_EQ(CountOf(lines, "4 lights"), 1);

  ASSERT_EQ((*scene)->GetNumLights(), 4u);
  KvLight* point = FindNamed((*scene)->Lights(), "bulb");
  KvLight* sun = FindNamed((*scene)->Lights(), "sun");
  KvLight* lamp = FindNamed((*scene)->Lights(), "lamp");
  KvLight* shown = FindNamed((*scene)->Lights(), "shown");
  ASSERT_TRUE(point && sun && lamp && shown);
  // The host gives every light an intensity alpha of 1, so only the colour
  // components of the intensity are checked.
  EXPECT_EQ(point->GetType(), 1u);
  ExpectVec(point->GetPosition(), -1, 2, 3, 0);
  ExpectVec(point->GetDirection(), 0, 0, 1, 0);  // never set for a point light
  ExpectColor(point->GetColor(), 0.2f, 0.4f, 0.6f, 1);
  ExpectVec({point->GetIntensityColor().red, point->GetIntensityColor().green, point->GetIntensityColor().blue}, 0.4f,
            0.8f, 1.2f);  // kept apart from the colour
  EXPECT_EQ(point->GetDropOff(), 0.0f);
  EXPECT_EQ(point->GetConeAngle(), 1.5707964f);

  EXPECT_EQ(sun->GetType(), 3u);
  ExpectVec(sun->GetDirection(), -1, 0, 0);
  EXPECT_EQ(sun->GetConeAngle(), 1.5707964f);

  EXPECT_EQ(lamp->GetType(), 2u);
  ExpectVec(lamp->GetPosition(), 0, 5, 0, 0);
  ExpectVec(lamp->GetDirection(), 0, -1, 0);
  // 0.5 rad at 57.295776 degrees a radian; 57.29578, one float away, gives 28.64789.
  EXPECT_EQ(lamp->GetConeAngle(), 28.647888f);
  EXPECT_EQ(lamp->GetDropOff(), 2.5f);
  ExpectColor(lamp->GetColor(), 1, 0.5f, 0.25f, 1);
  ExpectVec({lamp->GetIntensityColor().red, lamp->GetIntensityColor().green, lamp->GetIntensityColor().blue}, 0.5f,
            0.25f, 0.125f);
  ExpectVec(shown->GetPosition(), -4, 0, 0, 0);  // the transform's own translation

  ASSERT_EQ((*scene)->GetNumCameras(), 1u);
  KvCamera* camera = FindNamed((*scene)->Cameras(), "hiddenCam");
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->GetProjectionType(), 0u);
  ExpectVec(camera->GetPosition(), -1, 2, 3, 0);
  // 1 radian is handed over as 57.295776 degrees and stored back in radians.
  EXPECT_NEAR(camera->GetFieldOfView(), 1.0f, 1e-6f);
  // Without meshes it aims as far as the origin.
  ExpectVec(camera->GetRotation(), kPi, 0, 0, 1e-6f);
}

// Cameras aim along their view at a point as far away as the centre of the meshes
// exported so far. The grid spans host x and z from 0 to 2: its box is centred on
// host (1, 0, 1).
TEST_F(LightCameraExport, CamerasAimAlongTheirViewAsFarAsTheMeshCentre) {
  build.mesh("floor", TriangleGrid(2, 2));
  const struct {
    const char* name;
    kvhost::Xform placement;
    float yaw, pitch;
  } cameras[] = {
      {"atCentre", {.t = {1, 0, 1}, .r = {0, 90, 0}}, 0, 0},       // the aim point is itself: no rotation
      {"front", {.t = {1, 0, 11}}, kPi, 0},                        // looking down -z: yaw +pi, never -pi
      {"side", {.t = {11, 0, 1}, .r = {0, 90, 0}}, -kPi / 2, 0},  // Maya -x is exported +x
      {"raised", {.t = {1, 4, 5}, .r = {-45, 0, 0}}, kPi, -kPi / 4},
  };
  for (const auto& c : cameras) build.camera(c.name, c.placement);
  auto scene = ExportAndLoad("aim.kvr");
  ASSERT_NE(scene->get(), nullptr);
  ASSERT_EQ((*scene)->GetNumCameras(), std::size(cameras));
  for (const auto& c : cameras) {
    SCOPED_TRACE(c.name);
    KvCamera* camera = FindNamed((*scene)->Cameras(), c.name);
    ASSERT_NE(camera, nullptr);
    ExpectVec(camera->GetRotation(), c.yaw, c.pitch, 0, 1e-5f);
  }
  ExpectVec(FindNamed((*scene)->Cameras(), "atCentre")->GetRotation(), 0, 0, 0, 0);
  EXPECT_EQ(FindNamed((*scene)->Cameras(), "front")->GetRotation().x, kPi);
}

// Stages run on their own: a failed iterator ends a stage with the error (shown,
// or for the rigid skins only logged) and without its closing line; a missing
// scene or mesh only opens and closes it.
TEST_F(LightCameraExport, StagesStopAtAFailedHostCallAndPassOverMissingObjects) {
  build.light("pointLight", "bulb");
  build.camera("cam");
  build.joint("neck");
  build.mesh("helmet", TriangleStrip(1), "neck");
  build.material("lambert", "plain");
  const struct {
    void (*fail)();
    bool (*stage)(KvScene*);
    bool result;
    Lines log;
    bool shown;
  } cases[] = {
      {kvhost::failNextDagIterator, ImportLights, false,
       {"Importing lights...", "Maya API Error detected: \"Failed to create lightIterator!\""}, true},
      {kvhost::failNextDagIterator, ImportCameras, false,
       {"Importing cameras...", "Maya API Error detected: \"Failed to create cameraIterator!\""}, true},
      {kvhost::failNextDagIterator, ImportMeshes, false,
       {"Importing meshes...", "Maya API Error detected: \"Failed to create meshIterator!\""}, true},
      {kvhost::failNextDependencyNodeIterator, ImportBlendShapes, false,
       {"Importing blend shapes...", "Maya API Error detected: \"Could not create blendShapeIterator!\""}, true},
      {kvhost::failNextDagIterator, ImportSkeletons, false,
       {"Importing skeletons...", "Maya API Error detected: \"Failed to create jointIterator!\""}, true},
      {kvhost::failNextDagIterator,
       [](KvScene* scene) {
         scene->AddSkeleton(new KvSkeleton);
         scene->GetSkeleton(0)->AddJoint(new KvJoint(KvName("neck")));
         return ImportRigidSkins(scene);
       },
       false, {"Searching for and creating rigidly skinned meshes...", "Failed to create jointIterator!"}, false},
      {[] {},
       [](KvScene* scene) {
         ImportMeshSkin(MDagPath(), nullptr, scene);
         auto* mesh = new KvMesh;
         kvhost::failNextDependencyNodeIterator();
         ImportMeshSkin(MDagPath(), mesh, scene);
         const bool untouched = mesh->GetSkeleton() == nullptr && mesh->GetNumInfluences() == 0;
         delete mesh;
         kvhost::failNextDependencyNodeIterator();
         ImportMaterial(MString("plain"), scene);
         const bool none = scene->GetNumMaterials() == 0;
         ImportMaterial(MString("plain"), scene);
         ImportMaterial(MString("plain"), scene);  // found by name: nothing more is logged
         return untouched && none && scene->GetNumMaterials() == 1;
       },
       true,
       {"Importing mesh skin...", "Trying to import skin for NULL mesh!", "Importing mesh skin...",
        "Couldn't get dependency node iterator!", "Couldn't get dependency node iterator!",
        "Importing [Lambert] material plain..."},
       false},
      {[] {}, [](KvScene*) { return ImportLights(nullptr) && ImportCameras(nullptr) && ImportRigidSkins(nullptr); },
       true,
       {"Importing lights...", "Finished importing lights.", "Importing cameras...", "Finished importing cameras.",
        "Searching for and creating rigidly skinned meshes...",
        "Finished searching for and creating rigidly skinned meshes..."},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log.front());
    kvhost::Scene::get().clearMessages();
    c.fail();
    EXPECT_EQ(RunStageDirectly(c.stage), c.result);
    kvhost::clearTestSwitches();
    EXPECT_EQ(LogLines(), c.log);
    EXPECT_EQ(Shown(kvhost::Message::Error), c.shown ? Lines{kExportErrorText} : Lines{});
  }
}

}  // namespace
}  // namespace plugin_test
