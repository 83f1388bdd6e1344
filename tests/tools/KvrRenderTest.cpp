// kvr render as a user runs it: the PNG it writes, read back through the image
// library, and its answers to bad options.
#include <gtest/gtest.h>

#include "KvrProcess.h"
#include "MayaSpaceScene.h"
#include "SceneTestSupport.h"

using maya::P;
namespace fs = std::filesystem;

namespace {

class KvrRender : public KvrFolderTest {
  SceneRuntime runtime_;
};

// A red quad filling the upper left quarter of what the camera sees: the picture
// beside the archive by default, top row first. An unknown camera, an output that
// cannot be written or a missing archive fails (1) and leaves no temporary file.
TEST_F(KvrRender, WritesThePictureOrSaysWhyNot) {
  {
    KvScene scene;
    maya::AddLight(scene, "off", KvLight::kPoint, P{0, 0, 0}, P{0, 0, 0}, 0.0f);
    maya::AddQuad(scene, "corner", {P{-5, 0, 0}, P{0, 0, 0}, P{0, 5, 0}, P{-5, 5, 0}},
                  maya::AddMaterial(scene, "red", {1, 0, 0, 1}, {1, 1, 1, 1}));
    maya::AddCamera(scene, "cam", P{0, 0, 5}, P{0, 0, 0}, 90.0f);
    ASSERT_TRUE(KvSaveScene(&scene, Path("corner.kvr").c_str(), nullptr, 0.01f));
  }
  const std::string archive = Quoted(dir_ / "corner.kvr");

  const ProcessRun run = Kvr("render " + archive + " --size 64x48");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Wrote " + Path("corner.png") + ": 64x48, camera \"cam\", 2 triangles\n");
  KvTexture png{KvName("corner.png")};
  ASSERT_TRUE(png.LoadImage(KvString(Path("corner.png").c_str())));
  ASSERT_EQ(png.GetWidth(), 64u);
  ASSERT_EQ(png.GetHeight(), 48u);
  ASSERT_EQ(png.GetBytesPerPixel(), 3u);
  auto pixel = [&](uint32_t x, uint32_t y) {
    const uint8_t* p = png.GetPixels() + (y * 64 + x) * 3;
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
  };
  EXPECT_EQ(pixel(8, 8) + " " + pixel(56, 8) + " " + pixel(8, 40), "255,0,0 92,92,92 92,92,92");

  fs::create_directories(dir_ / "folder.png");
  const struct {
    std::string arguments, message;
  } cases[] = {
      {archive + " --camera nope", "no camera named \"nope\"; the archive has: cam"},
      {archive + " -o " + Quoted(dir_ / "folder.png"), "could not write " + Path("folder.png") + ": Is a directory"},
      {archive + " -o " + Quoted(dir_ / "missing" / "x.png"),
       "could not write " + Path("missing/x.png") + ": No such file or directory"},
      {Quoted(dir_ / "missing.kvr"), "missing.kvr: cannot be opened"},
  };
  for (const auto& c : cases) {
    const ProcessRun refused = Kvr("render " + c.arguments);
    EXPECT_EQ(refused.status, 1) << c.arguments;
    EXPECT_TRUE(Contains(refused.err, c.message)) << c.arguments << ": " << refused.err;
  }
  EXPECT_TRUE(Leftovers().empty());
}

}  // namespace
