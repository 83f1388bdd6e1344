// Lights, cameras and shaders through their function sets: defaults,
// directions, spot angles and channel names.

#include <cmath>

#include <maya/MFnBlinnShader.h>
#include <maya/MFnCamera.h>
#include <maya/MFnDirectionalLight.h>
#include <maya/MFnLambertShader.h>
#include <maya/MFnPointLight.h>
#include <maya/MFnSpotLight.h>
#include <maya/MPlugArray.h>

#include "HostTestSupport.h"

namespace {

using LightCameraShaderTest = HostTest;

constexpr double kDeg = M_PI / 180.0;

// Assumed: a light's intensity is its colour times its intensity with alpha 1,
// and its direction is -z turned by its world matrix. Spot angles are radians.
TEST_F(LightCameraShaderTest, AssumedLightIntensityAndDirectionAndSpotAnglesInRadians) {
  std::string point = b.light("pointLight", "bulb", {.t = {1, 2, 3}});
  b.set(point + ".cl", {1.0, 0.5, 0.25});
  b.set(point + ".in", {2.0});
  MFnPointLight bulb(path(point));
  EXPECT_EQ(bulb.color(), MColor(1, 0.5f, 0.25f));
  EXPECT_FLOAT_EQ(bulb.intensity(), 2.0f);
  EXPECT_EQ(bulb.lightIntensity(), MColor(2, 1, 0.5f, 1));

  b.transform("rig", {}, {.s = {3, 3, 3}});
  std::string sun = b.light("directionalLight", "sun", {.r = {0, 90, 0}});
  ASSERT_TRUE(b.scene().parent("sun", "rig"));
  MFnDirectionalLight dir(path(sun));
  EXPECT_EQ(dir.color(), MColor(1, 1, 1)) << "default colour";
  EXPECT_TRUE(dir.lightDirection(0, MSpace::kWorld).isEquivalent(MFloatVector(-1, 0, 0)));
  EXPECT_TRUE(dir.lightDirection(0, MSpace::kObject).isEquivalent(MFloatVector(0, 0, -1)));
  b.set("sun.r", {-90, 0, 0});
  EXPECT_TRUE(dir.lightDirection(0, MSpace::kWorld).isEquivalent(MFloatVector(0, -1, 0)));

  std::string spot = b.light("spotLight", "spot");
  MFnSpotLight fn(path(spot));
  EXPECT_NEAR(fn.coneAngle(), 40 * kDeg, 1e-12) << "default";
  b.set(spot + ".ca", {30.0});  // degrees, as a file writes them
  b.set(spot + ".pa", {5.0});
  EXPECT_NEAR(fn.coneAngle(), 30 * kDeg, 1e-12);
  EXPECT_NEAR(fn.penumbraAngle(), 5 * kDeg, 1e-12);
  MStatus s;
  MFnSpotLight wrong(path(point), &s);
  EXPECT_EQ(s, MS::kInvalidParameter);
}

TEST_F(LightCameraShaderTest, CameraAndShaderDefaultsAndChannels) {
  // Maya's default 35 mm lens on a 1.417 x 0.945 inch film back: 54.43 by 37.85 degrees.
  MFnCamera camera(path(b.camera("cam")));
  EXPECT_NEAR(camera.horizontalFieldOfView(), 54.4321 * kDeg, 1e-5);
  EXPECT_NEAR(camera.verticalFieldOfView(), 37.8492 * kDeg, 1e-5);

  kvhost::Scene::get().ensureDefaultNodes();
  MFnLambertShader lambert1(node("lambert1"));
  EXPECT_EQ(lambert1.color(), MColor(0.5f, 0.5f, 0.5f));
  EXPECT_EQ(lambert1.ambientColor(), MColor(0, 0, 0));
  MPlugArray from;
  ASSERT_TRUE(MFnDependencyNode(node("initialShadingGroup")).findPlug("surfaceShader").connectedTo(from, true, false));
  EXPECT_EQ(from[0].node(), node("lambert1"));

  b.material("blinn", "soft");
  MFnBlinnShader blinn(node("soft"));
  MStatus s;
  for (const char* channel : {"colorR", "specularColorB", "ambientColorG", "incandescenceR", "transparencyB"}) {
    blinn.findPlug(channel, &s);
    EXPECT_TRUE(s) << channel;
  }
}

}  // namespace
