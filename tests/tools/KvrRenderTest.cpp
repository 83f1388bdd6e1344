// kvr render as a user runs it: the PNG it writes, read back through the image
// library, and its answers to bad options.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "KvrProcess.h"
#include "MayaSpaceScene.h"
#include "kv/Runtime.h"

using maya::P;
namespace fs = std::filesystem;

namespace {

class KvrRender : public ::testing::Test {
 protected:
  void SetUp() override {
    KvRuntimeStartupDefault();
    RegisterSceneClasses();
    dir_ = fs::path(::testing::TempDir()) / "kvr_render_tests" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // A red quad filling the upper left quarter of what the camera sees.
    KvScene scene;
    KvMaterial* red = maya::AddMaterial(scene, "red", {1, 0, 0, 1}, {1, 1, 1, 1});
    maya::AddLight(scene, "off", KvLight::kPoint, P{0, 0, 0}, P{0, 0, 0}, 0.0f);
    maya::AddQuad(scene, "corner", {P{-5, 0, 0}, P{0, 0, 0}, P{0, 5, 0}, P{-5, 5, 0}}, red);
    maya::AddCamera(scene, "cam", P{0, 0, 5}, P{0, 0, 0}, 90.0f);
    archive_ = (dir_ / "corner.kvr").string();
    ASSERT_TRUE(KvSaveScene(&scene, archive_.c_str(), nullptr, 0.01f));
  }
  void TearDown() override {
    ShutDownSceneClasses();
    KvRuntimeShutdown();
    fs::remove_all(dir_);
  }

  ProcessRun Kvr(const std::string& arguments) { return RunKvr(dir_, arguments); }

  fs::path dir_;
  std::string archive_;
};

TEST_F(KvrRender, WritesThePictureTopRowFirst) {
  const ProcessRun run = Kvr("render '" + archive_ + "' --size 64x48");
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path picture = dir_ / "corner.png";  // beside the archive by default
  EXPECT_EQ(run.out, "Wrote " + picture.string() + ": 64x48, camera \"cam\", 2 triangles\n");

  // The scene model reads images with their top row first.
  KvTexture png{KvName("corner.png")};
  ASSERT_TRUE(png.LoadImage(KvString(picture.c_str())));
  ASSERT_EQ(png.GetWidth(), 64u);
  ASSERT_EQ(png.GetHeight(), 48u);
  ASSERT_EQ(png.GetBytesPerPixel(), 3u);
  auto pixel = [&](uint32_t x, uint32_t y) {
    const uint8_t* p = png.GetPixels() + (y * 64 + x) * 3;
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
  };
  EXPECT_EQ(pixel(8, 8), "255,0,0");
  EXPECT_EQ(pixel(56, 8), "92,92,92");
  EXPECT_EQ(pixel(8, 40), "92,92,92");
}

// Bad options are usage errors (2); an unknown camera or a picture that cannot
// replace its output (a folder) fails (1) and leaves no temporary file.
TEST_F(KvrRender, RefusesWhatItCannotDo) {
  fs::create_directories(dir_ / "folder.png");
  const struct {
    std::string arguments;
    int status;
    std::string message;
  } cases[] = {
      {"--size 0x10", 2, "--size takes WIDTHxHEIGHT, each from 1 to 16384, not \"0x10\""},
      {"--size 640", 2, "not \"640\""},
      {"--size 640x480x3", 2, "not \"640x480x3\""},
      {"--camera cam --frame", 2, "excludes"},
      {"--camera nope", 1, "no camera named \"nope\"; the archive has: cam"},
      {"-o '" + (dir_ / "folder.png").string() + "'", 1, "could not write " + (dir_ / "folder.png").string() + ": Is a directory"},
  };
  for (const auto& c : cases) {
    const ProcessRun run = Kvr("render '" + archive_ + "' " + c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
  }
  const ProcessRun missing = Kvr("render '" + (dir_ / "missing.kvr").string() + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("missing.kvr: cannot be opened"), std::string::npos) << missing.err;
  for (const auto& entry : fs::directory_iterator(dir_)) EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos);
}

}  // namespace
