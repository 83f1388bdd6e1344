// Lights and cameras through the module: which are taken, their log lines, their
// values read back, and where the cameras aim.
#include <cmath>

#include <maya/MFnLight.h>
#include <maya/MFnSpotLight.h>

#include "PluginFixture.h"
#include "kv/Camera.h"
#include "kv/Light.h"

namespace plugin_test {
namespace {

constexpr float kPi = 3.14159265f;

class LightCameraExport : public PluginTest {};

// Cameras aim along their view at a point as far away as the centre of the meshes:
// the floor spans host x and z from 0 to 2, its box is centred on host (1, 0, 1).
TEST_F(LightCameraExport, LightsAndCamerasKeepTheirTypeMirroredPlacementAndValuesAndAimAtTheMeshCentre) {
  build.mesh("floor", TriangleGrid(2, 2));
  const std::string bulb = build.light("pointLight", "bulb", {.t = {1, 2, 3}});
  build.set(bulb + ".cl", {0.2, 0.4, 0.6});
  build.set(bulb + ".in", {2.0});
  // Lights shine down their local -z; the host's unit direction is normalised again
  // once narrowed.
  const std::string sunShape = build.light("directionalLight", "sun", {.r = {10, 45, 0}});
  const std::string spot = build.light("spotLight", "lamp", {.t = {0, 5, 0}, .r = {-90, 0, 0}});
  build.set(spot + ".cl", {1.0, 0.5, 0.25});
  build.set(spot + ".in", {0.5});
  build.set(spot + ".dro", {2.5});
  MFnSpotLight(kvhost::Scene::get().findNode(spot)).setConeAngle(0.5);
  // Hidden lights and other kinds are left out.
  build.light("pointLight", "hidden");
  build.set("hidden.v", {false});
  build.light("pointLight", "odd");  // its visibility reads as no number
  build.connect(build.create("file", "file1") + ".ftn", "odd.v");
  build.set(build.transform("ghost", {}, {}) + ".io", {true});  // an intermediate transform is not visible
  build.create("pointLight", "ghostShape", "ghost");
  build.light("ambientLight", "ambient");
  build.light("areaLight", "area");
  // Orthographic cameras are skipped, hidden ones are not.
  build.set(build.camera("topView", {.t = {0, 100, 0}, .r = {-90, 0, 0}}) + ".o", {true});
  const std::string hiddenShape = build.camera("hiddenCam", {.t = {1, 2, 3}});
  build.set("hiddenCam.v", {false});
  build.set(hiddenShape + ".fl", {35.0});  // a horizontal field of view of 1 radian
  build.set(hiddenShape + ".hfa", {std::tan(0.5) * 2 * 35.0 / 25.4});
  const struct {
    const char* name;
    kvhost::Xform placement;
    float yaw, pitch;
  } cameras[] = {
      {"atCentre", {.t = {1, 0, 1}, .r = {0, 90, 0}}, 0, 0},       // the aim point is itself: no rotation
      {"side", {.t = {11, 0, 1}, .r = {0, 90, 0}}, -kPi / 2, 0},  // Maya -x is exported +x
      {"raised", {.t = {1, 4, 5}, .r = {-45, 0, 0}}, kPi, -kPi / 4},
  };
  for (const auto& c : cameras) build.camera(c.name, c.placement);
  auto scene = ExportAndLoad("lights.kvr");
  ASSERT_NE(scene.scene, nullptr);

  const Lines lines = LogLines();
  EXPECT_TRUE(SpanIs(lines, {"Importing lights...", "Importing point light bulb...", "Importing directional light sun...",
                   "Importing spotlight lamp...", "Can't query visibility attribute for node odd, assuming not visible!",
                   "Finished importing lights.",
                   "Importing cameras...", "Importing camera topView...", "Ortho cameras are not supported.",
                   "Importing camera hiddenCam...", "Importing camera atCentre..."}));

  ASSERT_EQ(scene->GetNumLights(), 3u);
  KvLight* point = FindNamed(scene->Lights(), "bulb");
  KvLight* sun = FindNamed(scene->Lights(), "sun");
  KvLight* lamp = FindNamed(scene->Lights(), "lamp");
  ASSERT_TRUE(point && sun && lamp);
  // The host gives every light an intensity alpha of 1, so only the colour
  // components of the intensity are checked.
  EXPECT_EQ(point->GetType(), 1u);
  ExpectVec(point->GetPosition(), -1, 2, 3, 0);
  ExpectVec(point->GetDirection(), 0, 0, 1, 0);  // never set for a point light
  ExpectColor(point->GetColor(), 0.2f, 0.4f, 0.6f, 1);
  ExpectRgb(point->GetIntensityColor(), 0.4f, 0.8f, 1.2f);  // kept apart from the colour

  EXPECT_EQ(sun->GetType(), 3u);
  const MFloatVector hostSun = MFnLight(kvhost::Scene::get().findNode(sunShape)).lightDirection(0, MSpace::kWorld);
  const float length = std::sqrt(hostSun.x * hostSun.x + hostSun.y * hostSun.y + hostSun.z * hostSun.z);
  ASSERT_NE(length, 1.0f) << "a direction that shows the second normalisation";
  ExpectVec(sun->GetDirection(), -hostSun.x / length, hostSun.y / length, hostSun.z / length, 0);

  EXPECT_EQ(lamp->GetType(), 2u);
  ExpectVec(lamp->GetDirection(), 0, -1, 0);
  // 0.5 rad at 57.295776 degrees a radian; 57.29578, one float away, gives 28.64789.
  EXPECT_EQ(lamp->GetConeAngle(), 28.647888f);
  EXPECT_EQ(lamp->GetDropOff(), 2.5f);
  ExpectColor(lamp->GetColor(), 1, 0.5f, 0.25f, 1);
  ExpectRgb(lamp->GetIntensityColor(), 0.5f, 0.25f, 0.125f);

  ASSERT_EQ(scene->GetNumCameras(), 1 + std::size(cameras));
  KvCamera* camera = FindNamed(scene->Cameras(), "hiddenCam");
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->GetProjectionType(), 0u);
  // 1 radian is handed over as 57.295776 degrees and stored back in radians.
  EXPECT_NEAR(camera->GetFieldOfView(), 1.0f, 1e-6f);
  // Looking down -z: the yaw is +pi, never -pi.
  ExpectVec(camera->GetRotation(), kPi, 0, 0, 0);
  for (const auto& c : cameras) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(camera = FindNamed(scene->Cameras(), c.name), nullptr);
    ExpectVec(camera->GetRotation(), c.yaw, c.pitch, 0, c.yaw == 0 ? 0 : 1e-5f);
  }
}

}  // namespace
}  // namespace plugin_test
