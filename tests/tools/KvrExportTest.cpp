// kvr export, run as a user runs it: a separate process, real files, the module
// found beside the program.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <sstream>
#include <vector>

#include "Dump.h"
#include "Export.h"
#include "KvrProcess.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary | std::ios::trunc) << text; }

// Two cubes made by construction history, the second through a node kvr cannot
// evaluate: it is left without geometry.
constexpr char kHistory[] =
    "//Maya ASCII 2019 scene\n"
    "createNode transform -n \"pCube1\";\ncreateNode mesh -n \"pCubeShape1\" -p \"pCube1\";\n"
    "createNode transform -n \"pCube2\";\ncreateNode mesh -n \"pCubeShape2\" -p \"pCube2\";\n"
    "createNode polyCube -n \"polyCube1\";\ncreateNode polyCube -n \"polyCube2\";\n"
    "createNode polyBevel3 -n \"polyBevel1\";\nconnectAttr \"polyCube1.out\" \"pCubeShape1.i\";\n"
    "connectAttr \"polyCube2.out\" \"polyBevel1.ip\";\nconnectAttr \"polyBevel1.out\" \"pCubeShape2.i\";\n";

class KvrExport : public KvrFolderTest {
 protected:
  std::string Example() const { return (examples_ / "kiri.ma").string(); }
  void CopyShot(std::initializer_list<const char*> files, const fs::path& to) const {
    fs::create_directories(to);
    for (const char* file : files) fs::copy_file(examples_ / "shot" / file, to / file);
  }
  nlohmann::json Root(const fs::path& archive) { return nlohmann::json::parse(Kvr("dump --json " + Quoted(archive)).out)["root"]; }
  static std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
  }
};

// The bundled examples with a broken scene among them. One by one, each archive
// goes beside its scene; side by side (-j 3) into a folder, the same archives and
// the same lines in the same order, and every scene's log gathered into the export
// log, which without MAYA_APP_DIR goes to $HOME/maya, as in Maya, and names the
// archives written, not temporary files. The broken scene stops no other either
// way. The Export Selected mode exports everything all the same.
TEST_F(KvrExport, BundledExamplesOneByOneAndSideBySide) {
  std::string scenes;
  for (const char* file : {"kiri.ma", "broken.ma", "arm.ma", "bubble.ma", "kiri_skin.tga"}) {
    if (Contains(file, ".ma")) scenes += " " + Quoted(dir_ / file);
    if (!Contains(file, "broken")) fs::copy_file(examples_ / file, dir_ / file);
  }
  Write(dir_ / "broken.ma", "not a Maya file\n");
  const ProcessRun serial = Kvr("export -j 1" + scenes);
  EXPECT_EQ(serial.status, 1);
  EXPECT_TRUE(Contains(serial.err, "broken.ma:1: ")) << serial.err;
  const fs::path out = dir_ / "out", log = dir_ / "home" / "maya" / "KvMayaExporter_Log.txt";
  const ProcessRun run = Kvr("export -j 3 --show-log --selection" + scenes + " --output-dir " + Quoted(out),
                             "-u MAYA_APP_DIR HOME=" + Quoted(dir_ / "home"));
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(fs::exists(dir_ / "broken.kvr") || fs::exists(out / "broken.kvr"));
  std::vector<std::string> wrote = Lines(serial.out, "Wrote ");
  ASSERT_EQ(wrote.size(), 3u) << serial.out;
  for (std::string& line : wrote) line.insert(line.rfind('/') + 1, "out/");
  EXPECT_EQ(Lines(run.out, "Wrote "), wrote);
  const std::vector<std::string> logged = Lines(ReadText(log), "Exporting Maya file: ");
  ASSERT_EQ(logged.size(), 3u);
  const char* names[] = {"kiri", "arm", "bubble"};
  for (size_t i = 0; i < 3; ++i) {
    const std::string bytes = ReadText(dir_ / (std::string(names[i]) + ".kvr"));
    EXPECT_FALSE(bytes.empty()) << names[i];
    EXPECT_EQ(ReadText(out / (std::string(names[i]) + ".kvr")), bytes) << names[i];
    EXPECT_EQ(logged[i], "Exporting Maya file: " + (out / names[i]).string() + ".kvr\r");
  }
  const fs::path kiri = out / "kiri.kvr";
  EXPECT_EQ(wrote[0], "Wrote " + kiri.string() + ": 1 skeleton, 2 meshes, 2 materials, 1 texture, 3 lights, 2 cameras");
  EXPECT_TRUE(Contains(run.out, "Export log: " + log.string() + "\n")) << run.out;
  EXPECT_EQ(Lines(run.out, "Exporting Maya file: ").size(), 3u) << "--show-log echoes each scene's log";
  EXPECT_TRUE(Contains(run.out + run.err, "Export Selected currently unsupported.  Exporting all instead.")) << run.out << run.err;
  EXPECT_TRUE(Leftovers().empty());
  // A new archive is as readable as any new file, not private like a temporary one.
  EXPECT_NE(fs::status(kiri).permissions() & fs::perms::others_read, fs::perms::none);

  // On a terminal the reading progress shows when scenes go one by one, never from
  // scenes exported side by side (their output is gathered).
  auto onTerminal = [&](const std::string& arguments) {
    const std::string command = "script -qec \"MAYA_APP_DIR='" + (dir_ / "maya").string() + "' '" + KVR_BINARY +
                                "' export " + arguments + "\" /dev/null >" + Quoted(dir_ / "terminal.txt");
    EXPECT_EQ(std::system(command.c_str()), 0) << arguments;
    return ReadText(dir_ / "terminal.txt");
  };
  EXPECT_TRUE(Contains(onTerminal(Quoted(dir_ / "arm.ma")), "Reading " + Path("arm.ma") + ": 100%"));
  const std::string sideBySide = onTerminal("-j 2 " + Quoted(dir_ / "arm.ma") + " " + Quoted(dir_ / "bubble.ma"));
  EXPECT_TRUE(Contains(sideBySide, "Wrote ") && !Contains(sideBySide, "Reading ")) << sideBySide;

  // The arm and the bubble are made by construction history: skinned and morphed.
  EXPECT_TRUE(Contains(Kvr("dump " + Quoted(out / "arm.kvr")).out,
                       "      #2 KvSkeleton: 2 joints\n        shoulder (#3)\n          elbow (#4)\n    meshes (1):\n"
                       "      #5 KvMesh \"arm\": 86 vertices, 117 texture coordinates, 168 triangles, 1 surfaces, 98 "
                       "influences, 0 morph targets\n"));
  EXPECT_TRUE(Contains(Kvr("dump " + Quoted(out / "bubble.kvr")).out,
                       "KvMesh \"bubble\": 178 vertices, 219 texture coordinates, 352 triangles, 1 surfaces, 0 "
                       "influences, 1 morph targets\n        skeleton: (none)\n        materials: soapMat\n"
                       "        morph target \"stretch\": 178 morph vertices\n"));
}

// The bundled shot references one rig twice and the rig its model. Without the
// model: one error per reference naming the places tried, and an archive without
// it (--strict refuses it: among the failures below). With the model found in a
// library folder (--reference-path): both characters skinned, under their
// namespaces, and the shot's edit moves only the hero's tail. --skip-reference
// leaves one copy of the rig out, and says when it names no reference.
TEST_F(KvrExport, ShotReferencesMissingFoundAndSkipped) {
  CopyShot({"shot.ma", "biped_rig.ma"}, dir_);
  CopyShot({"biped_model.ma"}, dir_ / "library");
  const std::string scene = Path("shot.ma"), library = " --reference-path " + Quoted(dir_ / "library");
  const fs::path out = dir_ / "shot.kvr";
  ProcessRun run = Kvr("export " + Quoted(scene) + " -o " + Quoted(out));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.err, "kvr: error: " + Path("biped_rig.ma") + ":6: referenced file \"biped_model.ma\" (namespace "
                                "villain:model) not found; looked in: " + Path("biped_model.ma") + ", "))
      << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
  EXPECT_TRUE(Contains(run.out, "2 skeletons, 0 meshes, 0 materials, 0 textures, 1 light, 2 cameras; not loaded: "
                                "hero:model (error), villain:model (error)\n"))
      << run.out;

  run = Kvr("export --verbose " + Quoted(scene) + library + " -o " + Quoted(out));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, ": 2 skeletons, 2 meshes, 2 materials, 0 textures, 1 light, 2 cameras\n")) << run.out;
  EXPECT_TRUE(Contains(run.out, "reference hero:model: " + (dir_ / "library" / "biped_model.ma").string() + "\n"))
      << "--verbose says where each reference was found";
  const nlohmann::json root = Root(out);
  ASSERT_EQ(root["meshes"].size(), 2u);
  const char* characters[] = {"hero", "villain"};
  for (size_t i = 0; i < 2; ++i) {
    const std::string ns = characters[i];
    const nlohmann::json& mesh = root["meshes"][i];
    const nlohmann::json& skeleton = root["skeletons"][i];
    EXPECT_EQ(mesh["name"], ns + ":model:body");
    // Skinned to its own character (kvr check below finds every influence's joint in
    // the mesh's skeleton): four vertices on one joint, eight on two.
    EXPECT_EQ(mesh["skeleton"]["ref"], skeleton["index"]);
    EXPECT_EQ(mesh["influences"].size(), 20u);
    EXPECT_EQ(skeleton["joints"][0]["name"], ns + ":hips");
    const nlohmann::json& tail = skeleton["joints"][3];
    EXPECT_EQ(tail["name"], ns + ":tail");
    EXPECT_NEAR(tail["translation"][1].get<double>(), i == 0 ? 0.6 : 0.2, 1e-6) << "the shot's edit moves the hero's tail";
    EXPECT_NEAR(tail["translation"][2].get<double>(), i == 0 ? -0.9 : -0.6, 1e-6);
  }
  EXPECT_EQ(Kvr("check " + Quoted(out)).out, out.string() + ": no problems found\n");

  run = Kvr("export --skip-reference villain " + Quoted(scene) + library + " --skip-reference nobody -o " + Quoted(out));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "1 skeleton, 1 mesh, 1 material, 0 textures, 1 light, 2 cameras; not loaded: villain "
                                "(skipped)\n"))
      << run.out;
  EXPECT_EQ(run.err, "kvr: warning: --skip-reference nobody: " + scene + " has no reference in that namespace\n");
  EXPECT_EQ(Root(out)["meshes"][0]["name"], "hero:model:body");
}

TEST_F(KvrExport, FailuresLeaveAnExistingArchiveUntouched) {
  const fs::path out = dir_ / "keep.kvr";
  Write(out, "previous archive");
  Write(dir_ / "broken.ma", "//Maya ASCII 2018ff08 scene\ncreateNode transform -n \"a\nsetAttr;\n");
  Write(dir_ / "history.ma", kHistory);
  Write(dir_ / "notAFolder", "x");
  fs::create_directories(dir_ / "plugins");
  Write(dir_ / "plugins" / "KvMayaExporter.so", "not a module");
  CopyShot({"shot.ma", "biped_rig.ma"}, dir_ / "shot");  // without the rig's model
  const std::string to = " -o " + Quoted(out);
  const struct {
    std::string arguments, shell, message;
  } cases[] = {
      {Quoted(dir_ / "broken.ma") + to, "", "broken.ma:"},
      {Quoted(dir_ / "missing.ma") + to, "", "missing.ma"},
      {"'" + Example() + "' -o " + Quoted(dir_ / "notAFolder" / "out.kvr"), "",
       "could not write " + Path("notAFolder/out.kvr") + ": "},
      {"'" + Example() + "'" + to + " --plugin /nonexistent/module.so", "", "cannot find the plug-in module"},
      // The first module on MAYA_PLUG_IN_PATH (empty entries name no folder) is the one loaded.
      {"'" + Example() + "'" + to, "MAYA_PLUG_IN_PATH=:" + Quoted(dir_ / "plugins") + " ", Path("plugins/KvMayaExporter.so")},
      {"--strict " + Quoted(dir_ / "shot" / "shot.ma") + to, "",
       "kvr: export of " + Path("shot/shot.ma") + " failed: a referenced file could not be loaded (--strict)"},
      {"--strict " + Quoted(dir_ / "history.ma") + to, "", "1 mesh without geometry (--strict)"},
      // A save that cannot write the whole archive: a file size limit of 3,584 bytes
      // (7 blocks) lets the log (about 2,200) through and stops the archive (about
      // 4,800), as a full disk would. The translator still reports success.
      {"'" + Example() + "'" + to, "ulimit -f 7; ", "could not write " + out.string() + ": the archive was not saved"},
  };
  for (const auto& c : cases) {
    const ProcessRun run = Kvr("export " + c.arguments, "", c.shell);
    EXPECT_EQ(run.status, 1) << c.arguments;
    EXPECT_TRUE(Contains(run.err, c.message)) << c.arguments << ": " << run.err;
    EXPECT_EQ(ReadText(out), "previous archive") << c.arguments;
  }
  EXPECT_TRUE(Leftovers().empty());
  // The command line always names a scene; a caller of the library may not.
  std::ostringstream none, why;
  EXPECT_EQ(RunExport(ExportOptions{}, none, why), kExitUsage);
  EXPECT_EQ(why.str(), "kvr export: no scene given\n");
}

TEST_F(KvrExport, InterruptedExportLeavesTheOutputAndNoTemporaryFile) {
  // A scene large enough that its save takes a while: a plane of 500 x 500 quads.
  Write(dir_ / "big.ma", "//Maya ASCII 2018ff08 scene\n"
                         "createNode transform -n \"grid\";\ncreateNode mesh -n \"gridShape\" -p \"grid\";\n"
                         "createNode polyPlane -n \"plane\";\n\tsetAttr \".sw\" 500;\n\tsetAttr \".sh\" 500;\n"
                         "connectAttr \"plane.out\" \"gridShape.i\";\n");
  const fs::path out = dir_ / "big.kvr";
  Write(out, "previous archive");

  const std::string appDir = "MAYA_APP_DIR=" + (dir_ / "maya").string();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    putenv(const_cast<char*>(appDir.c_str()));
    std::freopen("/dev/null", "w", stdout);
    std::freopen((dir_ / "interrupted.err").c_str(), "w", stderr);
    execl(KVR_BINARY, KVR_BINARY, "export", (dir_ / "big.ma").c_str(), "-o", out.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Interrupt as soon as the temporary archive exists (waiting two minutes at most).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (Leftovers().empty() && std::chrono::steady_clock::now() < deadline) usleep(200);
  const bool sawTemporary = !Leftovers().empty();
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(sawTemporary) << "the export never created its temporary file";
  const std::string how = WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                              : "exit status " + std::to_string(WEXITSTATUS(status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGINT) << how << "\n" << ReadText(dir_ / "interrupted.err");
  EXPECT_EQ(ReadText(out), "previous archive");
  EXPECT_TRUE(Leftovers().empty()) << "the interrupted export removed its temporary file; " << how;
}

TEST_F(KvrExport, EveryCorpusSceneExportsEveryVisibleMeshWithTriangles) {
  const fs::path corpus = examples_ / ".." / ".." / "shared" / "corpus" / "maya-usd";
  if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus at " << corpus << "; skipped";
  // Meshes and their triangles per scene, most of them made by construction history.
  const std::map<std::string, std::pair<int, int>> expected = {
      {"MultiMaterialTest", {3, 36}}, {"UsdExportCameraTest", {8, 96}}, {"UsdExportGeomSubsetTest", {2, 16}},
      {"UsdExportLightTest", {0, 0}}, {"UsdExportMeshTest", {6, 68}}, {"UsdExportSkeleton", {0, 0}},
      {"UsdExportSkeletonAtSceneRoot", {1, 12}}, {"UsdExportSkeletonBindPoseMissingJoints", {0, 0}},
      {"UsdExportSkeletonBindPoseSparseIndices", {0, 0}}, {"UsdExportSkeletonNoDagPose", {0, 0}},
      {"UsdExportSkeletonWithIdentityBindPose", {1, 12}}, {"bindTransformsExport", {2, 1680}},
      {"blendShapesExport", {34, 408}},
  };
  int scenes = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".ma") continue;
    ++scenes;
    const std::string name = entry.path().stem().string();
    const fs::path out = dir_ / (name + ".kvr");
    // --strict: a mesh without geometry would fail the export.
    const ProcessRun run = Kvr("export --quiet --strict " + Quoted(entry.path()) + " -o " + Quoted(out));
    ASSERT_EQ(run.status, 0) << name << "\n" << run.err;
    EXPECT_EQ(run.out, "") << "--quiet prints nothing on success";
    int meshes = 0, triangles = 0;
    const nlohmann::json root = Root(out);
    for (const auto& mesh : root["meshes"]) {
      size_t own = 0;
      for (const auto& surface : mesh["surfaces"]) own += surface["triangles"].size();
      EXPECT_GT(own, 0u) << name << ": mesh " << mesh["name"];
      triangles += static_cast<int>(own), ++meshes;
    }
    ASSERT_TRUE(expected.count(name)) << name;
    EXPECT_EQ(std::make_pair(meshes, triangles), expected.at(name)) << name;
  }
  EXPECT_EQ(scenes, static_cast<int>(expected.size()));
}

TEST_F(KvrExport, PolygonsAreTriangulatedUnlessKeptAndLostGeometryIsNamedOnce) {
  const fs::path scene = dir_ / "history.ma", out = dir_ / "history.kvr";
  Write(scene, kHistory);
  const ProcessRun run = Kvr("export " + Quoted(scene) + " -o " + Quoted(out));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "2 meshes, 0 materials, 0 textures, 0 lights, 1 camera (6 polygons triangulated, "
                                "1 mesh without geometry)"))
      << run.out;
  const std::string line = "mesh 'pCubeShape2': 'polyBevel1' (polyBevel3) is not supported; the mesh has no geometry";
  EXPECT_TRUE(Contains(run.err, "kvr: error: " + line + "\n")) << run.err;
  EXPECT_EQ(run.err.find(line), run.err.rfind(line)) << "named once:\n" << run.err;
  EXPECT_EQ(Root(out)["meshes"][0]["surfaces"][0]["triangles"].size(), 12u);

  // As inside Maya: quads are refused by the module, which says so in its log.
  const ProcessRun kept = Kvr("export --keep-polygons --show-log " + Quoted(scene) + " -o " + Quoted(out));
  ASSERT_EQ(kept.status, 0) << kept.err;
  EXPECT_TRUE(Contains(kept.out, "WARNING: mesh is not triangulated - failed to import mesh!")) << kept.out;
  EXPECT_FALSE(Contains(kept.out, "triangulated, ")) << kept.out;
}

}  // namespace
