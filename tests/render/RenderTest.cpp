// kvrender: pictures of small built scenes compared with what the scene should look
// like, worked out independently for each scene (ray and plane, by hand).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "MayaSpaceScene.h"
#include "kv/Runtime.h"
#include "kvrender/Render.h"

using maya::P;

namespace {

struct Rgb {
  int r, g, b;
};

constexpr Rgb kBackground{92, 92, 92};
constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0};

Rgb PixelOf(const kvrender::Image& image, uint32_t x, uint32_t y) {
  const uint8_t* p = image.At(x, y);
  return Rgb{p[0], p[1], p[2]};
}

bool Near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

std::string Text(Rgb c) {
  return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

// Options of the given size, changed by `change`.
kvrender::Options Sized(uint32_t width, uint32_t height, void (*change)(kvrender::Options&) = nullptr) {
  kvrender::Options options;
  options.width = width;
  options.height = height;
  if (change != nullptr) change(options);
  return options;
}

Rgb Grey(float level) {
  const int v = static_cast<int>(std::lround(std::clamp(level, 0.0f, 1.0f) * 255.0f));
  return Rgb{v, v, v};
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KvRuntimeStartupDefault();
    RegisterSceneClasses();
    scene_ = new KvScene;
  }
  void TearDown() override {
    delete scene_;
    ShutDownSceneClasses();
    KvRuntimeShutdown();
  }

  kvrender::Image Render(kvrender::Options options = {}, kvrender::Report* report = nullptr) {
    kvrender::Image image;
    std::string error;
    EXPECT_TRUE(kvrender::Render(*scene_, options, image, report, error)) << error;
    return image;
  }

  // A material showing exactly its colour: full ambient light and a light that adds
  // nothing (so there is no head-light either).
  KvMaterial* Flat(const char* name, KvColor color, KvTexture* texture = nullptr) {
    if (scene_->GetNumLights() == 0) maya::AddLight(*scene_, "dark", KvLight::kPoint, P{0, 0, 0}, P{0, 0, 0}, 0.0f);
    return maya::AddMaterial(*scene_, name, color, KvColor(1, 1, 1, 1), texture);
  }

  // Compares every pixel whose expected colour is known; returns how many it
  // compared and reports the first mismatches.
  int Compare(const kvrender::Image& image, const std::function<std::optional<Rgb>(uint32_t, uint32_t)>& expected,
              int tolerance) {
    int compared = 0, mismatches = 0;
    for (uint32_t y = 0; y < image.height; ++y) {
      for (uint32_t x = 0; x < image.width; ++x) {
        const std::optional<Rgb> want = expected(x, y);
        if (!want) continue;
        ++compared;
        const Rgb got = PixelOf(image, x, y);
        if (!Near(got, *want, tolerance) && ++mismatches <= 5) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << Text(got) << ", expected " << Text(*want);
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
    return compared;
  }

  std::string TempPath(const std::string& name) const {
    return ::testing::TempDir() + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
  }

  KvScene* scene_ = nullptr;
};

// A quad tilted 60 degrees away from a camera at (0, 0, 4), textured with four
// coloured quadrants: the picture must match where the eye's rays meet the quad.
// Interpolating texture coordinates linearly across the picture (not perspective
// correct) moves the quadrant borders; a mirrored x or v swaps the quadrants. The
// same texture comes as RGB and as blue-first TGA pixels.
TEST_F(RenderTest, TexturedQuadMatchesRaysThroughTheCamera) {
  const uint32_t side = 32;  // texels; quadrants of 16 so filtering stays near the borders
  std::vector<uint8_t> rgb;
  for (uint32_t row = 0; row < side; ++row) {
    for (uint32_t col = 0; col < side; ++col) {
      // The file's top rows are Maya's v near 1.
      const Rgb c = row < side / 2 ? (col < side / 2 ? kRed : kGreen) : (col < side / 2 ? kBlue : kYellow);
      rgb.insert(rgb.end(), {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
    }
  }
  const float angle = 60.0f * 3.14159265f / 180.0f;
  const P along{0, std::cos(angle), -std::sin(angle)};  // Maya's v runs this way
  auto at = [&](float u, float v) {
    const float s = -1.5f + 3.0f * v;
    return P{-2.0f + 4.0f * u, s * along.y, s * along.z};
  };
  const float focal = 80.0f;  // 90 degrees across 160 pixels
  auto expected = [&](uint32_t x, uint32_t y) -> std::optional<Rgb> {
    // The ray from (0, 0, 4) through the pixel centre meets the quad's plane
    // (through the origin, normal (0, sin a, cos a)) at `hit`.
    const float dx = (static_cast<float>(x) + 0.5f - 80.0f) / focal;
    const float dy = (60.0f - static_cast<float>(y) - 0.5f) / focal;
    const float t = -(4.0f * std::cos(angle)) / (dy * std::sin(angle) - std::cos(angle));
    const P hit{t * dx, t * dy, 4.0f - t};
    const float u = (hit.x + 2.0f) / 4.0f;
    const float v = ((hit.y * along.y + hit.z * along.z) + 1.5f) / 3.0f;
    auto nearBorder = [](float w) { return std::fabs(w) < 0.04f || std::fabs(w - 0.5f) < 0.04f || std::fabs(w - 1.0f) < 0.04f; };
    if (nearBorder(u) || nearBorder(v)) return std::nullopt;
    if (u < 0 || u > 1 || v < 0 || v > 1) return kBackground;
    return v > 0.5f ? (u < 0.5f ? kRed : kGreen) : (u < 0.5f ? kBlue : kYellow);
  };
  for (const auto& [kind, file] : {std::pair{maya::ImageFile::kPpm, "quadrants.ppm"},
                                   std::pair{maya::ImageFile::kTga, "quadrants.tga"}}) {
    SCOPED_TRACE(file);
    delete scene_;
    scene_ = new KvScene;
    const std::string path = TempPath(file);
    maya::WriteImage(path, kind, side, side, rgb);
    auto* texture = new KvTexture(KvName(file));
    ASSERT_TRUE(texture->LoadImage(KvString(path.c_str())));
    scene_->AddTexture(texture);
    maya::AddQuad(*scene_, "tilted", {at(0, 0), at(1, 0), at(1, 1), at(0, 1)}, Flat("skin", {1, 1, 1, 1}, texture));
    maya::AddCamera(*scene_, "cam", P{0, 0, 4}, P{0, 0, 0}, 90.0f);
    EXPECT_GT(Compare(Render(Sized(160, 120)), expected, 3), 160 * 120 / 2);
  }
}

// Texels are blended between their centres and repeat beyond 0..1: a black and a
// white texel across u = 0..2 give a triangle wave of greys along the picture.
TEST_F(RenderTest, TextureIsFilteredBetweenTexelCentresAndRepeats) {
  const std::string path = TempPath("blackwhite.ppm");
  maya::WriteImage(path, maya::ImageFile::kPpm, 2, 1, {0, 0, 0, 255, 255, 255});
  auto* texture = new KvTexture(KvName("blackwhite.ppm"));
  ASSERT_TRUE(texture->LoadImage(KvString(path.c_str())));
  scene_->AddTexture(texture);
  maya::AddQuad(*scene_, "strip", {P{-2, -1, 0}, P{2, -1, 0}, P{2, 1, 0}, P{-2, 1, 0}},
                Flat("strip", {1, 1, 1, 1}, texture), {{0, 0}, {2, 0}, {2, 1}, {0, 1}});
  maya::AddCamera(*scene_, "cam", P{0, 0, 5}, P{0, 0, 0}, 90.0f);
  Compare(
      Render(Sized(100, 40)),
      [](uint32_t x, uint32_t y) -> std::optional<Rgb> {
        const float px = (static_cast<float>(x) + 0.5f - 50.0f) * 5.0f / 50.0f;
        if (y != 20 || std::fabs(px) > 1.9f) return std::nullopt;
        const float u = (px + 2.0f) / 2.0f, f = u - std::floor(u);
        // Black at the texel centre u = 0.25, white at 0.75, and back.
        const float level = f < 0.25f ? 0.5f - 2.0f * f : f < 0.75f ? 2.0f * (f - 0.25f) : 1.0f - 2.0f * (f - 0.75f);
        return Grey(level);
      },
      2);
}

// A white plane under a camera looking straight down from 10 units, lit by its
// lights: each pixel's brightness is the sum of the cosines of the lights' angles of
// incidence (times a spot's drop-off), with no fall-off over distance.
TEST_F(RenderTest, LightsShadeAPlaneByTheirAngleOfIncidence) {
  struct LightSpec {
    uint32_t type;
    P position, direction;
  };
  struct Case {
    const char* name;
    std::vector<LightSpec> lights;
    std::function<std::optional<float>(float x, float z)> brightness;
  };
  const float halfCone = 30.0f * 3.14159265f / 180.0f;
  auto spot = [&](float x, float z) -> std::optional<float> {
    const float cosine = 2.0f / std::sqrt((x + 3) * (x + 3) + 4 + z * z);
    const float angle = std::acos(cosine);
    if (std::fabs(angle - halfCone) < 0.03f) return std::nullopt;  // the cone's edge
    return angle < halfCone ? cosine * cosine * cosine : 0.0f;
  };
  const std::vector<Case> cases = {
      {"point light off to +x", {{KvLight::kPoint, P{3, 2, 0}, P{0, 0, 0}}},
       [](float x, float z) -> std::optional<float> { return 2.0f / std::sqrt((3 - x) * (3 - x) + 4 + z * z); }},
      {"directional light at 45 degrees", {{KvLight::kDirectional, P{0, 0, 0}, P{-1, -1, 0}}},
       [](float, float) -> std::optional<float> { return std::sqrt(0.5f); }},
      {"spot light off to -x, 60 degree cone, drop-off 2", {{KvLight::kSpot, P{-3, 2, 0}, P{0, -1, 0}}}, spot},
      {"a spot light aiming away, then the spot light off to -x",
       {{KvLight::kSpot, P{0, 2, 0}, P{0, 1, 0}}, {KvLight::kSpot, P{-3, 2, 0}, P{0, -1, 0}}}, spot},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    delete scene_;
    scene_ = new KvScene;
    KvMaterial* white = maya::AddMaterial(*scene_, "white", {1, 1, 1, 1});
    maya::AddQuad(*scene_, "floor", {P{-20, 0, 20}, P{20, 0, 20}, P{20, 0, -20}, P{-20, 0, -20}}, white);
    for (const LightSpec& light : c.lights) {
      maya::AddLight(*scene_, "light", light.type, light.position, light.direction, 1.0f, 60.0f, 2.0f);
    }
    maya::AddCamera(*scene_, "top", P{0, 10, 0}, P{0, 0, 0}, 90.0f);
    // Looking down, the picture's right is +x and its top is -z.
    Compare(
        Render(Sized(120, 120)),
        [&](uint32_t x, uint32_t y) -> std::optional<Rgb> {
          const float px = 10.0f * (static_cast<float>(x) + 0.5f - 60.0f) / 60.0f;
          const float pz = 10.0f * (static_cast<float>(y) + 0.5f - 60.0f) / 60.0f;
          const std::optional<float> level = c.brightness(px, pz);
          if (!level) return std::nullopt;
          return Grey(*level);
        },
        2);
  }
}

// Vertex normals are blended across a surface and then made unit length; a surface
// whose normals face away from the eye is lit on the side the eye sees.
TEST_F(RenderTest, NormalsAreBlendedAcrossTheSurfaceAndEitherSideIsLit) {
  for (float facing : {1.0f, -1.0f}) {
    SCOPED_TRACE(facing > 0 ? "normals towards the eye" : "normals away from the eye");
    delete scene_;
    scene_ = new KvScene;
    KvMesh* quad = maya::AddQuad(*scene_, "panel", {P{-2, -1, 0}, P{2, -1, 0}, P{2, 1, 0}, P{-2, 1, 0}},
                                 maya::AddMaterial(*scene_, "white", {1, 1, 1, 1}));
    // Left corners lean left, right corners lean right.
    for (uint32_t i = 0; i < 4; ++i) {
      const float lean = (i == 1 || i == 2) ? 0.6f : -0.6f;
      quad->GetVertex(i)->normal = maya::Stored(P{lean * facing, 0, 0.8f * facing});
    }
    maya::AddLight(*scene_, "front", KvLight::kDirectional, P{0, 0, 0}, P{0, 0, -1}, 1.0f);
    maya::AddCamera(*scene_, "cam", P{0, 0, 5}, P{0, 0, 0}, 90.0f);
    Compare(
        Render(Sized(100, 40)),
        [](uint32_t x, uint32_t y) -> std::optional<Rgb> {
          const float px = (static_cast<float>(x) + 0.5f - 50.0f) * 5.0f / 50.0f;
          const float py = (20.0f - static_cast<float>(y) - 0.5f) * 5.0f / 50.0f;
          if (std::fabs(px) > 1.9f || std::fabs(py) > 0.9f) return std::nullopt;
          const float lean = -0.6f + 1.2f * (px + 2.0f) / 4.0f;
          return Grey(0.8f / std::sqrt(lean * lean + 0.64f));
        },
        2);
  }
}

// Two quads crossing each other in an X under the camera: left of the crossing one
// is nearer, right of it the other, whichever was drawn first.
TEST_F(RenderTest, NearerSurfaceWinsWhateverTheDrawingOrder) {
  for (bool greenFirst : {false, true}) {
    SCOPED_TRACE(greenFirst ? "green quad drawn first" : "red quad drawn first");
    delete scene_;
    scene_ = new KvScene;
    KvMaterial* red = Flat("red", {1, 0, 0, 1});
    KvMaterial* green = Flat("green", {0, 1, 0, 1});
    // Red rises towards the eye to the right (z = x / 2), green to the left.
    auto redQuad = [&] { maya::AddQuad(*scene_, "red", {P{-2, -1, -1}, P{2, -1, 1}, P{2, 1, 1}, P{-2, 1, -1}}, red); };
    auto greenQuad = [&] { maya::AddQuad(*scene_, "green", {P{-2, -1, 1}, P{2, -1, -1}, P{2, 1, -1}, P{-2, 1, 1}}, green); };
    if (greenFirst) greenQuad();
    redQuad();
    if (!greenFirst) greenQuad();
    maya::AddCamera(*scene_, "cam", P{0, 0, 5}, P{0, 0, 0}, 90.0f);
    const kvrender::Image image = Render(Sized(100, 100));
    for (uint32_t x : {36u, 42u, 48u}) EXPECT_TRUE(Near(PixelOf(image, x, 50), kGreen, 0)) << x << ": " << Text(PixelOf(image, x, 50));
    for (uint32_t x : {52u, 58u, 64u}) EXPECT_TRUE(Near(PixelOf(image, x, 50), kRed, 0)) << x << ": " << Text(PixelOf(image, x, 50));
    EXPECT_TRUE(Near(PixelOf(image, 5, 50), kBackground, 0)) << Text(PixelOf(image, 5, 50));
  }
}

// A floor reaching far behind and in front of a camera standing on it: the part
// behind the eye is clipped away, and every pixel below the horizon shows floor. The
// mesh begins with a triangle wholly behind the eye, which is passed over.
TEST_F(RenderTest, FloorReachingBehindTheEyeFillsEverythingBelowTheHorizon) {
  maya::AddMesh(*scene_, "floor",
                {P{-1000, 0, 1000}, P{1000, 0, 1000}, P{1000, 0, -1000}, P{-1000, 0, -1000}, P{0, 5, 10}},
                {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}},
                {KvTriangle{{0, 1, 4}, {0, 1, 4}}, KvTriangle{{0, 1, 2}, {0, 1, 2}}, KvTriangle{{0, 2, 3}, {0, 2, 3}}},
                Flat("red", {1, 0, 0, 1}));
  maya::AddCamera(*scene_, "eye", P{0, 1, 0}, P{0, 1, -10}, 90.0f);
  const kvrender::Image image = Render(Sized(64, 48));
  for (uint32_t y = 0; y < 48; ++y) {
    for (uint32_t x = 0; x < 64; ++x) {
      const Rgb got = PixelOf(image, x, y);
      if (y >= 24) {
        EXPECT_TRUE(Near(got, kRed, 0)) << x << ", " << y << ": " << Text(got);
      } else {
        EXPECT_TRUE(Near(got, kBackground, 0)) << x << ", " << y << ": " << Text(got);
      }
    }
  }
}

// The framed view shows all of a box, large and centred, in wide and tall pictures,
// far from the origin or tiny.
TEST_F(RenderTest, FramedViewShowsTheWholeBoundingBox) {
  struct Case {
    P low, high;
    uint32_t width, height;
  };
  for (const Case& c : {Case{P{100, 50, -7}, P{104, 51, -5}, 200, 100}, Case{P{100, 50, -7}, P{104, 51, -5}, 100, 200},
                        Case{P{0, 0, 0}, P{0.001f, 0.0005f, 0.0007f}, 120, 90}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " box from x " + std::to_string(c.low.x));
    delete scene_;
    scene_ = new KvScene;
    KvMaterial* red = Flat("red", {1, 0, 0, 1});
    const P l = c.low, h = c.high;
    maya::AddQuad(*scene_, "front", {P{l.x, l.y, h.z}, P{h.x, l.y, h.z}, P{h.x, h.y, h.z}, P{l.x, h.y, h.z}}, red);
    maya::AddQuad(*scene_, "back", {P{l.x, l.y, l.z}, P{h.x, l.y, l.z}, P{h.x, h.y, l.z}, P{l.x, h.y, l.z}}, red);
    maya::AddQuad(*scene_, "top", {P{l.x, h.y, l.z}, P{h.x, h.y, l.z}, P{h.x, h.y, h.z}, P{l.x, h.y, h.z}}, red);
    maya::AddCamera(*scene_, "elsewhere", P{0, 0, 10}, P{0, 0, 0}, 50.0f);
    kvrender::Report report;
    const kvrender::Image image = Render(Sized(c.width, c.height, [](kvrender::Options& o) { o.frame = true; }), &report);
    EXPECT_EQ(report.view, "framed view");
    uint32_t minX = c.width, maxX = 0, minY = c.height, maxY = 0;
    for (uint32_t y = 0; y < c.height; ++y) {
      for (uint32_t x = 0; x < c.width; ++x) {
        if (Near(PixelOf(image, x, y), kBackground, 0)) continue;
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
      }
    }
    ASSERT_LE(minX, maxX) << "nothing drawn";
    EXPECT_GT(minX, 0u);
    EXPECT_LT(maxX, c.width - 1);
    EXPECT_GT(minY, 0u);
    EXPECT_LT(maxY, c.height - 1);
    EXPECT_GT(std::max(maxX - minX, maxY - minY), std::min(c.width, c.height) * 2 / 5) << "the box fills the picture";
    EXPECT_NEAR((minX + maxX) / 2.0, c.width / 2.0, c.width * 0.15);
    EXPECT_NEAR((minY + maxY) / 2.0, c.height / 2.0, c.height * 0.15);
  }
}

// The first perspective camera is the default; --camera picks another by name; a
// name the scene lacks, or an orthographic camera, is refused; no camera frames.
TEST_F(RenderTest, CameraChoice) {
  maya::AddQuad(*scene_, "red", {P{-1, -1, 0}, P{1, -1, 0}, P{1, 1, 0}, P{-1, 1, 0}}, Flat("red", {1, 0, 0, 1}));
  maya::AddQuad(*scene_, "green", {P{9, -1, 0}, P{11, -1, 0}, P{11, 1, 0}, P{9, 1, 0}}, Flat("green", {0, 1, 0, 1}));
  kvrender::Report report;
  Render(Sized(40, 30), &report);
  EXPECT_EQ(report.view, "framed view") << "no camera yet";

  maya::AddCamera(*scene_, "ortho", P{0, 0, 5}, P{0, 0, 0}, 40.0f, 1);
  maya::AddCamera(*scene_, "atRed", P{0, 0, 5}, P{0, 0, 0}, 40.0f);
  maya::AddCamera(*scene_, "atGreen", P{10, 0, 5}, P{10, 0, 0}, 40.0f);
  kvrender::Image image = Render(Sized(40, 30), &report);
  EXPECT_EQ(report.view, "camera \"atRed\"");
  EXPECT_TRUE(Near(PixelOf(image, 20, 15), kRed, 0));
  EXPECT_EQ(report.triangles, 4u);

  image = Render(Sized(40, 30, [](kvrender::Options& o) { o.camera = "atGreen"; }), &report);
  EXPECT_EQ(report.view, "camera \"atGreen\"");
  EXPECT_TRUE(Near(PixelOf(image, 20, 15), kGreen, 0));

  std::string error;
  EXPECT_FALSE(kvrender::Render(*scene_, Sized(8, 6, [](kvrender::Options& o) { o.camera = "nope"; }), image, nullptr, error));
  EXPECT_EQ(error, "no camera named \"nope\"; the archive has: ortho, atRed, atGreen");
  EXPECT_TRUE(image.rgb.empty());
  EXPECT_FALSE(kvrender::Render(*scene_, Sized(8, 6, [](kvrender::Options& o) { o.camera = "ortho"; }), image, nullptr, error));
  EXPECT_EQ(error, "camera \"ortho\" is not a perspective camera");
  EXPECT_TRUE(kvrender::Render(*scene_, Sized(1, 1), image, nullptr, error));
  for (kvrender::Options bad : {Sized(0, 600), Sized(600, 0), Sized(800, kvrender::kMaxSize + 1)}) {
    EXPECT_FALSE(kvrender::Render(*scene_, bad, image, nullptr, error));
    EXPECT_EQ(error, "the picture size must be between 1x1 and 16384x16384");
  }
}

// Joints are drawn where they stand, the right way round, on top of the surfaces;
// triangle edges are drawn only when asked.
TEST_F(RenderTest, SkeletonAndWireframeOverlays) {
  maya::AddQuad(*scene_, "wall", {P{-2, -2, 0}, P{2, -2, 0}, P{2, 2, 0}, P{-2, 2, 0}}, Flat("red", {1, 0, 0, 1}));
  maya::AddJointChain(*scene_, {P{0, 0, 0.5f}, P{1, 0, 0.5f}, P{100, 0, 0.5f}});
  maya::AddCamera(*scene_, "cam", P{0, 0, 5.5f}, P{0, 0, 0.5f}, 90.0f);
  const Rgb joint{255, 204, 51}, bone{64, 153, 255}, wire{0, 0, 0};

  kvrender::Image image = Render(Sized(100, 100, [](kvrender::Options& o) { o.skeleton = true; }));
  EXPECT_TRUE(Near(PixelOf(image, 50, 50), joint, 0)) << Text(PixelOf(image, 50, 50));
  EXPECT_TRUE(Near(PixelOf(image, 60, 50), joint, 0)) << Text(PixelOf(image, 60, 50)) << ": the child is at +x";
  EXPECT_TRUE(Near(PixelOf(image, 40, 50), kRed, 0)) << Text(PixelOf(image, 40, 50));
  EXPECT_TRUE(Near(PixelOf(image, 56, 50), bone, 0)) << Text(PixelOf(image, 56, 50));
  EXPECT_TRUE(Near(PixelOf(image, 50, 53), joint, 0)) << "dots have a radius of 3 pixels";
  EXPECT_TRUE(Near(PixelOf(image, 50, 54), kRed, 0));
  EXPECT_TRUE(Near(PixelOf(image, 98, 50), bone, 0)) << "a bone leaving the picture is drawn up to its edge";

  // The quad's diagonal runs from its corner (-2, -2) to (2, 2): pixel (x, 99 - x).
  image = Render(Sized(100, 100));
  EXPECT_TRUE(Near(PixelOf(image, 40, 59), kRed, 0)) << "no wireframe unless asked";
  image = Render(Sized(100, 100, [](kvrender::Options& o) { o.wireframe = true; }));
  EXPECT_TRUE(Near(PixelOf(image, 40, 59), wire, 0)) << Text(PixelOf(image, 40, 59));
  EXPECT_TRUE(Near(PixelOf(image, 40, 50), kRed, 0)) << Text(PixelOf(image, 40, 50));
}

}  // namespace
