// kvrender: pictures of small built scenes compared with what each scene should
// look like, worked out independently (where the eye's rays meet the surfaces).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "MayaSpaceScene.h"
#include "SceneTestSupport.h"
#include "kvrender/Render.h"

using maya::P;

namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};
std::ostream& operator<<(std::ostream& out, Rgb c) { return out << "(" << c.r << ", " << c.g << ", " << c.b << ")"; }

constexpr Rgb kBackground{92, 92, 92}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0};

Rgb PixelOf(const kvrender::Image& image, uint32_t x, uint32_t y) {
  const uint8_t* p = image.At(x, y);
  return Rgb{p[0], p[1], p[2]};
}
Rgb Grey(float level) {
  const int v = static_cast<int>(std::lround(std::clamp(level, 0.0f, 1.0f) * 255.0f));
  return Rgb{v, v, v};
}
kvrender::Options Sized(uint32_t width, uint32_t height, void (*change)(kvrender::Options&) = nullptr) {
  kvrender::Options options;
  options.width = width, options.height = height;
  if (change != nullptr) change(options);
  return options;
}

class RenderTest : public SceneTest {
 protected:
  // Starts a new scene (each case of a test draws its own).
  KvScene& Fresh() {
    scene_ = std::make_unique<KvScene>();
    return *scene_;
  }
  kvrender::Image Render(kvrender::Options options, kvrender::Report* report = nullptr) {
    kvrender::Image image;
    std::string error;
    EXPECT_TRUE(kvrender::Render(*scene_, options, image, report, error)) << error;
    return image;
  }
  // A material showing exactly its colour: full ambient light, and a light that adds
  // nothing (so no head-light either).
  KvMaterial* Flat(const char* name, KvColor color, KvTexture* texture = nullptr) {
    if (scene_->GetNumLights() == 0) maya::AddLight(*scene_, "dark", KvLight::kPoint, P{0, 0, 0}, P{0, 0, 0}, 0.0f);
    return maya::AddMaterial(*scene_, name, color, KvColor(1, 1, 1, 1), texture);
  }
  KvTexture* Texture(const std::string& name, maya::ImageFile kind, uint32_t size, const std::vector<uint8_t>& rgb) {
    maya::WriteImage(TempPath(name), kind, size, size, rgb);
    auto* texture = new KvTexture(KvName(name.c_str()));
    EXPECT_TRUE(texture->LoadImage(KvString(TempPath(name).c_str())));
    scene_->AddTexture(texture);
    return texture;
  }
  // Compares every pixel whose colour `expected` knows, within `tolerance` per
  // channel; returns how many it compared.
  int Compare(const kvrender::Image& image, const std::function<std::optional<Rgb>(float x, float y)>& expected,
              int tolerance) {
    int compared = 0, mismatches = 0;
    for (uint32_t y = 0; y < image.height; ++y) {
      for (uint32_t x = 0; x < image.width; ++x) {
        const std::optional<Rgb> want = expected(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
        if (!want) continue;
        ++compared;
        const Rgb got = PixelOf(image, x, y);
        if (std::max({std::abs(got.r - want->r), std::abs(got.g - want->g), std::abs(got.b - want->b)}) > tolerance &&
            ++mismatches <= 5) {
          ADD_FAILURE() << "pixel " << x << ", " << y << " is " << got << ", not " << *want;
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
    return compared;
  }

  std::unique_ptr<KvScene> scene_ = std::make_unique<KvScene>();
};

// A quad tilted 60 degrees away from a camera at (0, 0, 4), textured with four
// coloured quadrants, from RGB and from blue-first TGA pixels. Texture coordinates
// interpolated linearly across the picture (not perspective-correct) move the
// quadrant borders; a mirrored x or v swaps the quadrants.
TEST_F(RenderTest, TexturesMatchRaysThroughTheCameraAndAreFilteredBetweenTexelCentresAndRepeat) {
  std::vector<uint8_t> rgb;
  for (int row = 0; row < 32; ++row) {
    for (int col = 0; col < 32; ++col) {  // the file's top rows are Maya's v near 1
      const Rgb c = row < 16 ? (col < 16 ? kRed : kGreen) : (col < 16 ? kBlue : kYellow);
      rgb.insert(rgb.end(), {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
    }
  }
  const float a = 60.0f * 3.14159265f / 180.0f;
  auto at = [&](float u, float v) { return P{-2 + 4 * u, (3 * v - 1.5f) * std::cos(a), (1.5f - 3 * v) * std::sin(a)}; };
  auto expected = [&](float x, float y) -> std::optional<Rgb> {
    // The ray from (0, 0, 4) through the pixel meets the plane through the origin
    // with the normal (0, sin a, cos a).
    const float dx = (x - 80) / 80, dy = (60 - y) / 80;
    const float t = 4 * std::cos(a) / (std::cos(a) - dy * std::sin(a));
    const float u = (t * dx + 2) / 4, v = (t * dy * std::cos(a) - (4 - t) * std::sin(a) + 1.5f) / 3;
    for (float border : {0.0f, 0.5f, 1.0f}) {
      if (std::fabs(u - border) < 0.04f || std::fabs(v - border) < 0.04f) return std::nullopt;
    }
    if (u < 0 || u > 1 || v < 0 || v > 1) return kBackground;
    return v > 0.5f ? (u < 0.5f ? kRed : kGreen) : (u < 0.5f ? kBlue : kYellow);
  };
  for (const maya::ImageFile kind : {maya::ImageFile::kPpm, maya::ImageFile::kTga}) {
    SCOPED_TRACE(kind == maya::ImageFile::kPpm ? "PPM" : "TGA");
    Fresh();
    KvTexture* texture = Texture(kind == maya::ImageFile::kPpm ? "q.ppm" : "q.tga", kind, 32, rgb);
    maya::AddQuad(*scene_, "tilted", {at(0, 0), at(1, 0), at(1, 1), at(0, 1)}, Flat("skin", {1, 1, 1, 1}, texture));
    maya::AddCamera(*scene_, "cam", P{0, 0, 4}, P{0, 0, 0}, 90);
    EXPECT_GT(Compare(Render(Sized(160, 120)), expected, 3), 160 * 120 / 2);
  }

  // Texels blend between their centres and repeat beyond 0..1: across u = 0..2, the
  // centres of the top row (black, white) and of the bottom row (white, black) give
  // triangle waves of greys, also once the texture is read back from an archive
  // (which holds the rows bottom up).
  Fresh();
  KvTexture* texture = Texture("bw.ppm", maya::ImageFile::kPpm, 2, {0, 0, 0, 255, 255, 255, 255, 255, 255, 0, 0, 0});
  maya::AddQuad(*scene_, "strip", {P{-2, -1, 0}, P{2, -1, 0}, P{2, 1, 0}, P{-2, 1, 0}},
                Flat("strip", {1, 1, 1, 1}, texture), {{0, 0}, {2, 0}, {2, 1}, {0, 1}});
  maya::AddCamera(*scene_, "cam", P{0, 0, 5}, P{0, 0, 0}, 90);
  auto greys = [](float x, float y) -> std::optional<Rgb> {
    const float u = ((x - 50) / 10 + 2) / 2, f = u - std::floor(u);
    if ((y != 15.5f && y != 25.5f) || std::fabs(u - 1) > 0.95f) return std::nullopt;  // v = 0.75, 0.25
    // Black at u = 0.25 and white at 0.75 on the top row; the other way round below.
    const float level = f < 0.25f ? 0.5f - 2 * f : f < 0.75f ? 2 * (f - 0.25f) : 1 - 2 * (f - 0.75f);
    return Grey(y < 20 ? level : 1 - level);
  };
  Compare(Render(Sized(100, 41)), greys, 2);
  const std::string archive = TempPath("strip.kvr");
  ASSERT_TRUE(KvSaveScene(scene_.get(), archive.c_str(), nullptr, 0.01f));
  scene_.reset(KvLoadScene(archive.c_str(), nullptr));
  ASSERT_NE(scene_, nullptr);
  Compare(Render(Sized(100, 41)), greys, 2);
}

// A white plane under a camera looking straight down from 10 units: each pixel is
// the sum over the lights of the cosine of their angle of incidence (times a spot's
// cos^drop-off inside its cone), with no fall-off over distance.
TEST_F(RenderTest, LightsShadeByTheirAngleOfIncidenceWithNormalsBlendedAcrossTheSurfaceOnEitherSide) {
  struct Light {
    uint32_t type;
    P position, direction;
  };
  auto spot = [](float x, float z) -> std::optional<float> {  // at (-3, 2, 0), down, 60 degrees, drop-off 2
    const float cosine = 2 / std::sqrt((x + 3) * (x + 3) + 4 + z * z), halfCone = 3.14159265f / 6;
    if (std::fabs(std::acos(cosine) - halfCone) < 0.03f) return std::nullopt;  // the cone's edge
    return std::acos(cosine) < halfCone ? cosine * cosine * cosine : 0.0f;
  };
  const struct {
    std::vector<Light> lights;
    std::function<std::optional<float>(float x, float z)> brightness;
  } cases[] = {
      {{{KvLight::kPoint, P{3, 2, 0}, {}}}, [](float x, float z) -> std::optional<float> {
         return 2 / std::sqrt((3 - x) * (3 - x) + 4 + z * z);
       }},
      {{{KvLight::kDirectional, {}, P{-1, -1, 0}}}, [](float, float) -> std::optional<float> { return std::sqrt(0.5f); }},
      {{{KvLight::kSpot, P{-3, 2, 0}, P{0, -1, 0}}}, spot},
      {{{KvLight::kSpot, P{0, 2, 0}, P{0, 1, 0}}, {KvLight::kSpot, P{-3, 2, 0}, P{0, -1, 0}}}, spot},  // one aims away
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.lights.size()) + " light(s), the first of type " + std::to_string(c.lights[0].type));
    KvMaterial* white = maya::AddMaterial(Fresh(), "white", {1, 1, 1, 1});
    maya::AddQuad(*scene_, "floor", {P{-20, 0, 20}, P{20, 0, 20}, P{20, 0, -20}, P{-20, 0, -20}}, white);
    for (const Light& l : c.lights) maya::AddLight(*scene_, "light", l.type, l.position, l.direction, 1, 60, 2);
    maya::AddCamera(*scene_, "top", P{0, 10, 0}, P{0, 0, 0}, 90);
    // Looking down, the picture's right is +x and its top is -z.
    Compare(Render(Sized(120, 120)), [&](float x, float y) -> std::optional<Rgb> {
      const std::optional<float> level = c.brightness((x - 60) / 6, (y - 60) / 6);
      return level ? std::optional<Rgb>(Grey(*level)) : std::nullopt;
    }, 2);
  }

  // Vertex normals blend across a surface and are made unit length again; a surface
  // whose normals face away from the eye is lit on the side the eye sees.
  for (float facing : {1.0f, -1.0f}) {
    SCOPED_TRACE(facing);
    KvMaterial* white = maya::AddMaterial(Fresh(), "white", {1, 1, 1, 1});
    KvMesh* quad = maya::AddQuad(*scene_, "panel", {P{-2, -1, 0}, P{2, -1, 0}, P{2, 1, 0}, P{-2, 1, 0}}, white);
    for (uint32_t i = 0; i < 4; ++i) {  // left corners lean left, right corners right
      quad->GetVertex(i)->normal = maya::Stored(P{(i == 1 || i == 2 ? 0.6f : -0.6f) * facing, 0, 0.8f * facing});
    }
    maya::AddLight(*scene_, "front", KvLight::kDirectional, P{0, 0, 0}, P{0, 0, -1}, 1);
    maya::AddCamera(*scene_, "cam", P{0, 0, 5}, P{0, 0, 0}, 90);
    Compare(Render(Sized(100, 40)), [](float x, float y) -> std::optional<Rgb> {
      const float px = (x - 50) / 10, lean = 0.3f * px;
      if (std::fabs(px) > 1.9f || std::fabs(y - 20) > 9) return std::nullopt;
      return Grey(0.8f / std::sqrt(lean * lean + 0.64f));
    }, 2);
  }
}

// Clipping keeps what shows. A floor triangle reaching from behind the eye (its
// corner at z = 10) past it to a far edge from x = -2 to 8 at z = -10: each pixel
// below the horizon shows floor where the eye's ray meets the triangle. A triangle
// wholly behind the eye is passed over, and one with a corner at the eye is seen
// edge-on. The same scene a ten-thousandth the size looks the same. Then a triangle
// reaching millions of pixels beyond the picture's left edge (too far for the
// rasterizer's fixed-point corners): a wedge pointing right to x = 1.
TEST_F(RenderTest, ClippingKeepsWhatShows) {
  for (float s : {1.0f, 1e-4f}) {
    SCOPED_TRACE(s);
    Fresh();
    maya::AddMesh(*scene_, "floor",
                  {P{0, 0, 10 * s}, P{8 * s, 0, -10 * s}, P{-2 * s, 0, -10 * s}, P{s, 0, 10 * s}, P{0, 5 * s, 10 * s},
                   P{0, s, 0}},
                  {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {0, 0}},
                  {KvTriangle{{0, 3, 4}, {}}, KvTriangle{{5, 1, 2}, {}}, KvTriangle{{0, 1, 2}, {}}}, Flat("red", {1, 0, 0, 1}));
    maya::AddCamera(*scene_, "eye", P{0, s, 0}, P{0, s, -10 * s}, 90);
    Compare(Render(Sized(64, 48)), [](float x, float y) -> std::optional<Rgb> {
      if (y < 24) return kBackground;
      // The ray meets the floor at distance t ahead, where the triangle spans left..right.
      const float t = 32 / (y - 24), fx = t * (x - 32) / 32, left = -(10 + t) / 10, right = 0.4f * (10 + t);
      if (std::fabs(y - 27.2f) < 1 || std::min(std::fabs(fx - left), std::fabs(fx - right)) < t / 16) return std::nullopt;
      return t < 10 && fx > left && fx < right ? kRed : kBackground;
    }, 0);
  }

  Fresh();
  maya::AddMesh(*scene_, "wedge", {P{-1e7f, -2e6f, 0}, P{1, 0, 0}, P{-1e7f, 2e6f, 0}}, {{0, 0}, {0, 0}, {0, 0}},
                {KvTriangle{{0, 1, 2}, {}}}, Flat("red", {1, 0, 0, 1}));
  maya::AddCamera(*scene_, "cam", P{0, 0, 5}, P{0, 0, 0}, 90);
  Compare(Render(Sized(100, 100)), [](float x, float y) -> std::optional<Rgb> {
    const float px = (x - 50) / 10, py = (50 - y) / 10, edge = (1 - px) * 0.2f;
    if (std::fabs(std::fabs(py) - edge) < 0.1f) return std::nullopt;
    return std::fabs(py) < edge ? kRed : kBackground;
  }, 0);
}

// The first perspective camera is the default; a name picks another; a name the
// scene lacks, an orthographic camera or a size out of range is refused; a scene
// without cameras is framed.
TEST_F(RenderTest, CameraChoice) {
  maya::AddQuad(*scene_, "red", {P{-1, -1, 0}, P{1, -1, 0}, P{1, 1, 0}, P{-1, 1, 0}}, Flat("red", {1, 0, 0, 1}));
  maya::AddQuad(*scene_, "green", {P{9, -1, 0}, P{11, -1, 0}, P{11, 1, 0}, P{9, 1, 0}}, Flat("green", {0, 1, 0, 1}));
  kvrender::Report report;
  Render(Sized(40, 30), &report);
  EXPECT_EQ(report.view, "framed view");
  scene_->Cameras().PushBack(nullptr);  // a gap in the list is passed over
  maya::AddCamera(*scene_, "ortho", P{0, 0, 5}, P{0, 0, 0}, 40, 1);
  maya::AddCamera(*scene_, "atRed", P{0, 0, 5}, P{0, 0, 0}, 40);
  maya::AddCamera(*scene_, "atGreen", P{11, 6, 2}, P{10, 0, 0}, 40);  // steeply, from aside
  EXPECT_EQ(PixelOf(Render(Sized(40, 30), &report), 20, 15), kRed);
  EXPECT_EQ(report.view, "camera \"atRed\"");
  EXPECT_EQ(report.triangles, 4u);
  EXPECT_EQ(PixelOf(Render(Sized(40, 30, [](kvrender::Options& o) { o.camera = "atGreen"; }), &report), 20, 15), kGreen);
  EXPECT_EQ(report.view, "camera \"atGreen\"");

  kvrender::Image image;
  std::string error;
  EXPECT_FALSE(kvrender::Render(*scene_, Sized(8, 6, [](kvrender::Options& o) { o.camera = "nope"; }), image, nullptr, error));
  EXPECT_EQ(error, "no camera named \"nope\"; the archive has: ortho, atRed, atGreen");
  EXPECT_TRUE(image.rgb.empty());
  EXPECT_FALSE(kvrender::Render(*scene_, Sized(8, 6, [](kvrender::Options& o) { o.camera = "ortho"; }), image, nullptr, error));
  EXPECT_EQ(error, "camera \"ortho\" is not a perspective camera");
  EXPECT_TRUE(kvrender::Render(*scene_, Sized(1, 1), image, nullptr, error));
  EXPECT_EQ(image.rgb.size(), 3u);
  for (kvrender::Options bad : {Sized(0, 600), Sized(600, 0), Sized(800, kvrender::kMaxSize + 1)}) {
    EXPECT_FALSE(kvrender::Render(*scene_, bad, image, nullptr, error));
    EXPECT_EQ(error, "the picture size must be between 1x1 and 16384x16384");
  }
}

// Joints are drawn where they stand, the right way round, over the surfaces (dots of
// radius 3, bones up to the picture's edge or the eye); triangle edges only when
// asked.
TEST_F(RenderTest, SkeletonAndWireframeOverlays) {
  maya::AddQuad(*scene_, "wall", {P{-2, -2, 0}, P{2, -2, 0}, P{2, 2, 0}, P{-2, 2, 0}}, Flat("red", {1, 0, 0, 1}));
  maya::AddJointChain(*scene_, {P{0, 0, 0.5f}, P{1, 0, 0.5f}, P{1, 0, 20}});  // the last behind the eye
  maya::AddJointChain(*scene_, {P{0, 0, 0.5f}, P{-3, -3, 0.5f}});              // down to the left, off the wall
  maya::AddCamera(*scene_, "cam", P{0, 0, 5.5f}, P{0, 0, 0.5f}, 90);
  const Rgb joint{255, 204, 51}, bone{64, 153, 255}, wire{0, 0, 0};
  const kvrender::Image skeleton = Render(Sized(100, 100, [](kvrender::Options& o) { o.skeleton = true; }));
  // Along row 50 the first chain; below its first joint the dot's edge; then the
  // second chain's bone, ending at its joint's dot; the dots are round.
  const std::tuple<uint32_t, uint32_t, Rgb> pixels[] = {
      {40, 50, kRed},  {50, 50, joint}, {56, 50, bone},  {60, 50, joint},       {98, 50, bone}, {50, 53, joint},
      {50, 54, kRed},  {35, 65, bone},  {20, 80, joint}, {17, 83, kBackground}, {53, 53, kRed}};
  for (const auto& [x, y, color] : pixels) EXPECT_EQ(PixelOf(skeleton, x, y), color) << x << ", " << y;
  // The quad's diagonal runs from its corner (-2, -2) to (2, 2): pixels (x, 99 - x).
  EXPECT_EQ(PixelOf(Render(Sized(100, 100)), 40, 59), kRed);
  const kvrender::Image wireframe = Render(Sized(100, 100, [](kvrender::Options& o) { o.wireframe = true; }));
  EXPECT_EQ(PixelOf(wireframe, 40, 59), wire);
  EXPECT_EQ(PixelOf(wireframe, 40, 50), kRed);

  // A bone from far outside the picture crossing its corner at 45 degrees, the line
  // x + y = 50.5 in pixels: about one pixel a column over the 51 columns it crosses.
  Fresh();
  maya::AddJointChain(*scene_, {P{-15, -10.05f, 0.5f}, P{5, 9.95f, 0.5f}});
  maya::AddCamera(*scene_, "cam", P{0, 0, 5.5f}, P{0, 0, 0.5f}, 90);
  const kvrender::Image corner = Render(Sized(100, 100, [](kvrender::Options& o) { o.skeleton = true; }));
  int bonePixels = 0;
  for (uint32_t y = 0; y < 100; ++y) {
    for (uint32_t x = 0; x < 100; ++x) bonePixels += PixelOf(corner, x, y) == bone ? 1 : 0;
  }
  EXPECT_NEAR(bonePixels, 51, 2);
}

}  // namespace
