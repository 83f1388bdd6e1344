// kvr export over several scenes: archives beside their scenes by default, scenes
// exported side by side in separate processes (-j) with the same archives and the
// same order of output as one by one, and a failing scene that stops no other.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "KvrProcess.h"

namespace fs = std::filesystem;

namespace {

class KvrBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / "kvr_batch_tests" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const fs::path source = std::getenv("KV_SOURCE_DIR") != nullptr ? std::getenv("KV_SOURCE_DIR") : ".";
    example_ = SlurpFile(source / "examples" / "kiri.ma");
    fs::copy_file(source / "examples" / "kiri_skin.tga", dir_ / "kiri_skin.tga");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The bundled example with its key light moved to x = `lightX`, so that every
  // scene gives a different archive.
  std::string Scene(const std::string& name, int lightX) {
    std::string text = example_;
    const std::string from = "\tsetAttr \".t\" -type \"double3\" 3 4 5 ;";
    text.replace(text.find(from), from.size(), "\tsetAttr \".t\" -type \"double3\" " + std::to_string(lightX) + " 4 5 ;");
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  ProcessRun Kvr(const std::string& arguments) {
    return RunKvr(dir_, arguments, "MAYA_APP_DIR='" + (dir_ / "maya").string() + "'");
  }
  // The lines of `text` that begin with `prefix`.
  std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
  }

  fs::path dir_;
  std::string example_;
};

TEST_F(KvrBatch, ParallelExportsMatchOneByOne) {
  std::string scenes;
  for (int i = 0; i < 4; ++i) scenes += " '" + Scene("s" + std::to_string(i) + ".ma", i) + "'";
  const ProcessRun serial = Kvr("export -j 1" + scenes + " --output-dir '" + (dir_ / "serial").string() + "'");
  ASSERT_EQ(serial.status, 0) << serial.err;
  const ProcessRun parallel = Kvr("export -j 3 --show-log" + scenes + " --output-dir '" + (dir_ / "parallel").string() + "'");
  ASSERT_EQ(parallel.status, 0) << parallel.err;

  for (int i = 0; i < 4; ++i) {
    const std::string name = "s" + std::to_string(i) + ".kvr";
    const std::string bytes = SlurpFile(dir_ / "serial" / name);
    EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_EQ(SlurpFile(dir_ / "parallel" / name), bytes) << name;
    if (i > 0) {
      EXPECT_NE(bytes, SlurpFile(dir_ / "serial" / "s0.kvr")) << "the scenes differ, so must their archives";
    }
  }
  // The same lines in the same order, and every scene's log in the export log.
  const std::vector<std::string> wrote = Lines(serial.out, "Wrote ");
  ASSERT_EQ(wrote.size(), 4u);
  std::vector<std::string> expected;
  for (const std::string& line : wrote) {
    std::string renamed = line;
    renamed.replace(renamed.find("serial"), 6, "parallel");
    expected.push_back(renamed);
  }
  EXPECT_EQ(Lines(parallel.out, "Wrote "), expected);
  EXPECT_EQ(Lines(parallel.out, "Exporting Maya file: ").size(), 4u) << "--show-log echoes each scene's log";
  const std::vector<std::string> logged = Lines(SlurpFile(dir_ / "maya" / "KvMayaExporter_Log.txt"), "Exporting Maya file: ");
  ASSERT_EQ(logged.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_NE(logged[i].find("s" + std::to_string(i) + ".kvr"), std::string::npos) << logged[i];
}

// Without an output named, each archive goes beside its scene.
TEST_F(KvrBatch, FailingSceneStopsNoOther) {
  const std::string first = Scene("first.ma", 1), last = Scene("last.ma", 2);
  std::ofstream(dir_ / "broken.ma") << "not a Maya file\n";
  const ProcessRun run = Kvr("export -j 2 '" + first + "' '" + (dir_ / "broken.ma").string() + "' '" + last + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(fs::exists(dir_ / "first.kvr"));
  EXPECT_TRUE(fs::exists(dir_ / "last.kvr"));
  EXPECT_FALSE(fs::exists(dir_ / "broken.kvr"));
  EXPECT_NE(run.err.find("broken.ma:1: "), std::string::npos) << run.err;
  const std::vector<std::string> wrote = Lines(run.out, "Wrote ");
  ASSERT_EQ(wrote.size(), 2u);
  EXPECT_NE(wrote[0].find("first.kvr"), std::string::npos);
  EXPECT_NE(wrote[1].find("last.kvr"), std::string::npos);
}

TEST_F(KvrBatch, UnknownCommandIsNamed) {
  const ProcessRun run = Kvr("frobnicate x.ma");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "kvr: there is no command \"frobnicate\"; the commands are dump, export, check, render, help "
                     "(kvr --help explains them)\n");
}

}  // namespace
