// kvr export over several scenes: archives beside their scenes by default, scenes
// exported side by side in separate processes (-j) with the same archives and the
// same order of output as one by one, and a failing scene that stops no other.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "KvrProcess.h"

namespace fs = std::filesystem;

namespace {

class KvrBatch : public KvrFolderTest {
 protected:
  // The bundled example with its key light moved to x = `lightX`, so that every
  // scene gives a different archive.
  std::string Scene(const std::string& name, int lightX) {
    if (!fs::exists(dir_ / "kiri_skin.tga")) fs::copy_file(examples_ / "kiri_skin.tga", dir_ / "kiri_skin.tga");
    std::string text = ReadText(examples_ / "kiri.ma");
    const std::string from = "\tsetAttr \".t\" -type \"double3\" 3 4 5 ;";
    text.replace(text.find(from), from.size(), "\tsetAttr \".t\" -type \"double3\" " + std::to_string(lightX) + " 4 5 ;");
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return Quoted(dir_ / name);
  }
  // The lines of `text` that begin with `prefix`.
  static std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
  }
};

// One by one without an output named, each archive goes beside its scene; side by
// side into a folder, the same archives and the same lines in the same order. A
// failing scene in the middle stops no other either way.
TEST_F(KvrBatch, ParallelExportsMatchOneByOneAndAFailureStopsNoOther) {
  std::string scenes;
  for (int i = 0; i < 4; ++i) scenes += " " + Scene("s" + std::to_string(i) + ".ma", i) + (i == 1 ? " " + Quoted(dir_ / "broken.ma") : "");
  std::ofstream(dir_ / "broken.ma") << "not a Maya file\n";
  const ProcessRun serial = Kvr("export -j 1" + scenes);
  EXPECT_EQ(serial.status, 1);
  EXPECT_TRUE(Contains(serial.err, "broken.ma:1: ")) << serial.err;
  const ProcessRun parallel = Kvr("export -j 3 --show-log" + scenes + " --output-dir " + Quoted(dir_ / "parallel"));
  EXPECT_EQ(parallel.status, 1);
  EXPECT_FALSE(fs::exists(dir_ / "broken.kvr") || fs::exists(dir_ / "parallel" / "broken.kvr"));

  for (int i = 0; i < 4; ++i) {
    const std::string name = "s" + std::to_string(i) + ".kvr";
    const std::string bytes = ReadText(dir_ / name);
    EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_EQ(ReadText(dir_ / "parallel" / name), bytes) << name;
    if (i > 0) {
      EXPECT_NE(bytes, ReadText(dir_ / "s0.kvr")) << "the scenes differ, so must their archives";
    }
  }
  // The same lines in the same order, and every scene's log in the export log.
  std::vector<std::string> expected = Lines(serial.out, "Wrote ");
  ASSERT_EQ(expected.size(), 4u);
  for (std::string& line : expected) line.insert(line.rfind('/') + 1, "parallel/");
  EXPECT_EQ(Lines(parallel.out, "Wrote "), expected);
  EXPECT_EQ(Lines(parallel.out, "Exporting Maya file: ").size(), 4u) << "--show-log echoes each scene's log";
  const std::vector<std::string> logged = Lines(ReadText(dir_ / "maya" / "KvMayaExporter_Log.txt"), "Exporting Maya file: ");
  ASSERT_EQ(logged.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Contains(logged[i], "parallel/s" + std::to_string(i) + ".kvr")) << logged[i];
}

}  // namespace
