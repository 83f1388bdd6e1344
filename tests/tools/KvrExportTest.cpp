// kvr export, run as a user runs it: a separate process, real files, the module
// found beside the program.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ProcessRun {
  int status;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class KvrExport : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / "kvr_export_tests" / info->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    source_ = std::getenv("KV_SOURCE_DIR") != nullptr ? std::getenv("KV_SOURCE_DIR") : ".";
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs kvr with MAYA_APP_DIR in the test's folder unless `environment` says
  // otherwise, after the shell commands of `shell`.
  ProcessRun Kvr(const std::string& arguments, const std::string& environment = "", const std::string& shell = "") {
    const fs::path out = dir_ / "stdout.txt";
    const fs::path err = dir_ / "stderr.txt";
    const std::string env = environment.empty() ? "MAYA_APP_DIR='" + (dir_ / "maya").string() + "' " : environment;
    const std::string command = shell + "env " + env + " '" + KVR_BINARY + "' " + arguments + " >'" + out.string() +
                                "' 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    return ProcessRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
  }
  std::string Example() const { return (source_ / "examples" / "kiri.ma").string(); }
  // Copies the bundled shot's files named in `files` into the test's folder.
  void CopyShot(std::initializer_list<const char*> files, const fs::path& to) const {
    fs::create_directories(to);
    for (const char* file : files) fs::copy_file(source_ / "examples" / "shot" / file, to / file);
  }
  std::vector<fs::path> Leftovers() const {
    std::vector<fs::path> temps;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      if (Contains(entry.path().filename().string(), ".tmp-")) temps.push_back(entry.path());
    }
    return temps;
  }

  fs::path dir_;
  fs::path source_;
};

TEST_F(KvrExport, BundledExampleExportsEverythingItHolds) {
  const fs::path out = dir_ / "kiri.kvr";
  const ProcessRun run = Kvr("export '" + Example() + "' -o '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "Wrote " + out.string() +
                                    ": 1 skeleton, 2 meshes, 2 materials, 1 texture, 3 lights, 2 cameras"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "Export log: " + (dir_ / "maya" / "KvMayaExporter_Log.txt").string())) << run.out;

  const std::string log = Slurp(dir_ / "maya" / "KvMayaExporter_Log.txt");
  EXPECT_EQ(log.substr(0, log.find('\n') + 1), "Exporting Maya file: " + out.string() + "\r\n")
      << "the log names the archive written, not a temporary file";
  for (const char* line : {"Importing [Phong] material metalMat...\r\n", "Importing texture kiri_skin.tga...\r\n",
                           "Importing blend shape bulge with 12 vertices and 20 polygons...\r\n",
                           "Found armGuard linked to bone arm_L.\r\n", "Importing spotlight rimLight...\r\n",
                           "Ortho cameras are not supported.\r\n", "3 lights\r\n"}) {
    EXPECT_TRUE(Contains(log, line)) << line;
  }

  const ProcessRun dump = Kvr("dump '" + out.string() + "'");
  ASSERT_EQ(dump.status, 0) << dump.err;
  for (const char* part : {"KvMesh \"body\": 12 vertices, 12 texture coordinates, 20 triangles, 2 surfaces, 20 influences",
                           "morph target \"bulge\": 4 morph vertices", "KvTexture \"kiri_skin.tga\": 4 x 4",
                           "arm_L", "KvCamera \"shotCam\""}) {
    EXPECT_TRUE(Contains(dump.out, part)) << part << "\n" << dump.out;
  }
  EXPECT_TRUE(Leftovers().empty());
  // A new archive is as readable as any new file, not private like a temporary one.
  EXPECT_NE(fs::status(out).permissions() & fs::perms::others_read, fs::perms::none);
}

// The bundled shot references one rig twice and the rig its model: both
// characters arrive skinned, under their namespaces, and the shot's edit
// moves only the hero's tail.
TEST_F(KvrExport, ShotReferencingARigTwiceExportsBothCharacters) {
  const fs::path out = dir_ / "shot.kvr";
  const ProcessRun run = Kvr("export '" + (source_ / "examples" / "shot" / "shot.ma").string() + "' -o '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, ": 2 skeletons, 2 meshes, 2 materials, 0 textures, 1 light, 2 cameras\n")) << run.out;
  const std::string log = Slurp(dir_ / "maya" / "KvMayaExporter_Log.txt");
  for (const char* line : {"Importing mesh: villain:model:body with 12 vertices and 20 polygons...\r\n",
                           "Found influence object: hero:spine\r\n", "Joint hero:tail with parent joint hero:hips\r\n"})
    EXPECT_TRUE(Contains(log, line)) << line;

  const ProcessRun dump = Kvr("dump --json '" + out.string() + "'");
  ASSERT_EQ(dump.status, 0) << dump.err;
  const nlohmann::json root = nlohmann::json::parse(dump.out)["root"];
  ASSERT_EQ(root["meshes"].size(), 2u);
  const char* characters[] = {"hero", "villain"};
  for (size_t i = 0; i < 2; ++i) {
    const std::string ns = characters[i];
    const nlohmann::json& mesh = root["meshes"][i];
    const nlohmann::json& skeleton = root["skeletons"][i];
    EXPECT_EQ(mesh["name"], ns + ":model:body");
    EXPECT_EQ(mesh["skeleton"]["ref"], skeleton["index"]);
    // Skinned to its own character: four vertices on one joint, eight on two.
    ASSERT_EQ(mesh["influences"].size(), 20u);
    for (const nlohmann::json& influence : mesh["influences"]) {
      const int joint = influence["joint"]["ref"];
      EXPECT_TRUE(joint > skeleton["index"].get<int>() && joint <= skeleton["index"].get<int>() + 3) << influence;
    }
    EXPECT_EQ(skeleton["joints"][0]["name"], ns + ":hips");
    const nlohmann::json& tail = skeleton["joints"][3];
    EXPECT_EQ(tail["name"], ns + ":tail");
    EXPECT_NEAR(tail["translation"][1].get<double>(), i == 0 ? 0.6 : 0.2, 1e-6) << "the shot's edit moves the hero's tail";
    EXPECT_NEAR(tail["translation"][2].get<double>(), i == 0 ? -0.9 : -0.6, 1e-6);
  }
}

// A referenced file that cannot be found: one error naming it and the places
// tried, an archive without it, and with --strict no archive at all.
TEST_F(KvrExport, MissingReferenceIsAnErrorThatStrictMakesFatal) {
  CopyShot({"shot.ma", "biped_rig.ma"}, dir_);
  const std::string scene = (dir_ / "shot.ma").string();
  const fs::path out = dir_ / "shot.kvr";
  ProcessRun run = Kvr("export '" + scene + "' -o '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  // One line per reference of the rig (the hero's and the villain's model).
  EXPECT_TRUE(Contains(run.err, "kvr: error: " + (dir_ / "biped_rig.ma").string() +
                                    ":6: referenced file \"biped_model.ma\" (namespace villain:model) not found; looked in: " +
                                    (dir_ / "biped_model.ma").string() + ", "))
      << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
  EXPECT_TRUE(Contains(run.out, "2 skeletons, 0 meshes, 0 materials, 0 textures, 1 light, 2 cameras; not loaded: "
                                "hero:model (error), villain:model (error)\n"))
      << run.out;

  Write(out, "previous archive");
  run = Kvr("export --strict '" + scene + "' -o '" + out.string() + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "kvr: export of " + scene + " failed: a referenced file could not be loaded (--strict)"))
      << run.err;
  EXPECT_EQ(Slurp(out), "previous archive");
  EXPECT_TRUE(Leftovers().empty());
}

// --skip-reference leaves one copy of the rig out (and says when it names no
// reference); --reference-path finds the model kept in a library folder.
TEST_F(KvrExport, SkipReferenceAndReferencePath) {
  CopyShot({"shot.ma", "biped_rig.ma"}, dir_);
  CopyShot({"biped_model.ma"}, dir_ / "library");
  const fs::path out = dir_ / "hero.kvr";
  const ProcessRun run = Kvr("export --verbose --skip-reference villain '" + (dir_ / "shot.ma").string() + "' --reference-path '" +
                             (dir_ / "library").string() + "' --skip-reference nobody -o '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "1 skeleton, 1 mesh, 1 material, 0 textures, 1 light, 2 cameras; not loaded: villain "
                                "(skipped)\n"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "reference hero:model: " + (dir_ / "library" / "biped_model.ma").string() + "\n"))
      << "--verbose says where each reference was found";
  EXPECT_TRUE(Contains(run.err, "kvr: warning: --skip-reference nobody: " + (dir_ / "shot.ma").string() +
                                    " has no reference in that namespace"))
      << run.err;
  const ProcessRun dump = Kvr("dump '" + out.string() + "'");
  EXPECT_TRUE(Contains(dump.out, "KvMesh \"hero:model:body\"")) << dump.out;
  EXPECT_FALSE(Contains(dump.out, "villain"));
}

TEST_F(KvrExport, LogGoesToHomeMayaWhenMayaAppDirIsUnset) {
  const fs::path home = dir_ / "home";
  fs::create_directories(home);
  const ProcessRun run = Kvr("export --show-log '" + Example() + "' -o '" + (dir_ / "k.kvr").string() + "'",
                      "-u MAYA_APP_DIR HOME='" + home.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(home / "maya" / "KvMayaExporter_Log.txt"));
  EXPECT_TRUE(Contains(run.out, "Exporting Maya file: ")) << "--show-log echoes the log";
}

TEST_F(KvrExport, SeveralScenesGoToAnOutputFolder) {
  fs::copy_file(Example(), dir_ / "first.ma");
  fs::copy_file(Example(), dir_ / "second.ma");
  fs::copy_file(source_ / "examples" / "kiri_skin.tga", dir_ / "kiri_skin.tga");
  const ProcessRun run = Kvr("export --quiet '" + (dir_ / "first.ma").string() + "' '" + (dir_ / "second.ma").string() +
                      "' --output-dir '" + (dir_ / "out").string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "") << "--quiet prints nothing on success";
  EXPECT_TRUE(fs::exists(dir_ / "out" / "first.kvr"));
  EXPECT_TRUE(fs::exists(dir_ / "out" / "second.kvr"));
}

TEST_F(KvrExport, FailuresLeaveAnExistingArchiveUntouched) {
  const fs::path out = dir_ / "keep.kvr";
  Write(out, "previous archive");
  // A scene the reader refuses.
  Write(dir_ / "broken.ma", "//Maya ASCII 2018ff08 scene\ncreateNode transform -n \"a\nsetAttr;\n");
  ProcessRun run = Kvr("export '" + (dir_ / "broken.ma").string() + "' -o '" + out.string() + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "broken.ma:")) << run.err;
  EXPECT_EQ(Slurp(out), "previous archive");

  // An output whose folder is a file.
  Write(dir_ / "notAFolder", "x");
  run = Kvr("export '" + Example() + "' -o '" + (dir_ / "notAFolder" / "out.kvr").string() + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "could not write " + (dir_ / "notAFolder" / "out.kvr").string() + ": ")) << run.err;

  // A missing scene.
  run = Kvr("export '" + (dir_ / "missing.ma").string() + "' -o '" + out.string() + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Slurp(out), "previous archive");

  // A save that cannot write the whole archive: a file size limit of 3,584 bytes
  // (7 blocks) lets the log (about 2,200) through and stops the archive (about
  // 4,800), as a full disk would. The translator still reports success.
  run = Kvr("export '" + Example() + "' -o '" + out.string() + "'", "", "ulimit -f 7; ");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "could not write " + out.string() + ": the archive was not saved")) << run.err;
  EXPECT_EQ(Slurp(out), "previous archive");
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(KvrExport, UsageErrorsAndAMissingModule) {
  EXPECT_EQ(Kvr("export a.ma b.ma -o x.kvr").status, 2) << "several scenes need --output-dir";
  const ProcessRun run = Kvr("export '" + Example() + "' -o '" + (dir_ / "x.kvr").string() + "' --plugin /nonexistent/module.so");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "cannot find the plug-in module")) << run.err;
}

TEST_F(KvrExport, InterruptedExportLeavesTheOutputAndNoTemporaryFile) {
  // A scene large enough that its save takes a while: a plane of 500 x 500 quads.
  const std::string scene = "//Maya ASCII 2018ff08 scene\n"
                            "createNode transform -n \"grid\";\ncreateNode mesh -n \"gridShape\" -p \"grid\";\n"
                            "createNode polyPlane -n \"plane\";\n\tsetAttr \".sw\" 500;\n\tsetAttr \".sh\" 500;\n"
                            "connectAttr \"plane.out\" \"gridShape.i\";\n";
  Write(dir_ / "big.ma", scene);
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
  // Interrupt as soon as the temporary archive exists.
  bool sawTemporary = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!sawTemporary && std::chrono::steady_clock::now() < deadline) {
    sawTemporary = !Leftovers().empty();
    if (!sawTemporary) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(sawTemporary) << "the export never created its temporary file";
  const std::string how = WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                              : "exit status " + std::to_string(WEXITSTATUS(status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGINT) << how << "\n" << Slurp(dir_ / "interrupted.err");
  EXPECT_EQ(Slurp(out), "previous archive");
  EXPECT_TRUE(Leftovers().empty()) << "the interrupted export removed its temporary file; " << how;
}

TEST_F(KvrExport, EveryCorpusSceneExportsEveryVisibleMeshWithTriangles) {
  const fs::path corpus = source_ / ".." / "shared" / "corpus" / "maya-usd";
  if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus at " << corpus << "; skipped";
  // Meshes and their triangles per scene, most of them made by construction history.
  const std::map<std::string, std::pair<int, int>> expected = {
      {"MultiMaterialTest", {3, 36}},
      {"UsdExportCameraTest", {8, 96}},
      {"UsdExportGeomSubsetTest", {2, 16}},
      {"UsdExportLightTest", {0, 0}},
      {"UsdExportMeshTest", {6, 68}},
      {"UsdExportSkeleton", {0, 0}},
      {"UsdExportSkeletonAtSceneRoot", {1, 12}},
      {"UsdExportSkeletonBindPoseMissingJoints", {0, 0}},
      {"UsdExportSkeletonBindPoseSparseIndices", {0, 0}},
      {"UsdExportSkeletonNoDagPose", {0, 0}},
      {"UsdExportSkeletonWithIdentityBindPose", {1, 12}},
      {"bindTransformsExport", {2, 1680}},
      {"blendShapesExport", {34, 408}},
  };
  int scenes = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".ma") continue;
    ++scenes;
    const std::string name = entry.path().stem().string();
    const fs::path out = dir_ / (name + ".kvr");
    // --strict: a mesh without geometry would fail the export.
    const ProcessRun run = Kvr("export --quiet --strict '" + entry.path().string() + "' -o '" + out.string() + "'");
    ASSERT_EQ(run.status, 0) << name << "\n" << run.err;
    const ProcessRun dump = Kvr("dump --json '" + out.string() + "'");
    ASSERT_EQ(dump.status, 0) << name << "\n" << dump.err;
    const nlohmann::json meshes = nlohmann::json::parse(dump.out)["root"]["meshes"];
    int triangles = 0;
    for (const auto& mesh : meshes) {
      size_t own = 0;
      for (const auto& surface : mesh["surfaces"]) own += surface["triangles"].size();
      EXPECT_GT(own, 0u) << name << ": mesh " << mesh["name"];
      triangles += static_cast<int>(own);
    }
    ASSERT_TRUE(expected.count(name)) << name;
    EXPECT_EQ(std::make_pair(static_cast<int>(meshes.size()), triangles), expected.at(name)) << name;
  }
  EXPECT_EQ(scenes, static_cast<int>(expected.size()));
}

TEST_F(KvrExport, HistoryExamplesExportSkinnedAndMorphed) {
  const ProcessRun run = Kvr("export --strict '" + (source_ / "examples" / "arm.ma").string() + "' '" +
                             (source_ / "examples" / "bubble.ma").string() + "' --output-dir '" + dir_.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json arm = nlohmann::json::parse(Kvr("dump --json '" + (dir_ / "arm.kvr").string() + "'").out)["root"];
  const nlohmann::json& mesh = arm["meshes"][0];
  EXPECT_EQ(mesh["surfaces"][0]["triangles"].size(), 168u);
  EXPECT_EQ(mesh["vertices"].size(), 86u);
  // In the bind pose the arm lies straight along X (mirrored), the elbow's half
  // weighted to the elbow.
  double lowest = 0, highest = 0;
  for (const auto& v : mesh["vertices"]) {
    lowest = std::min(lowest, v["position"][0].get<double>());
    highest = std::max(highest, v["position"][0].get<double>());
    EXPECT_NEAR(v["position"][1].get<double>(), 0, 0.5 + 1e-6);
  }
  EXPECT_NEAR(lowest, -3, 1e-6);
  EXPECT_NEAR(highest, 3, 1e-6);
  EXPECT_EQ(arm["skeletons"][0]["joints"].size(), 2u);
  EXPECT_EQ(mesh["influences"].size(), 98u);
  const nlohmann::json bubble = nlohmann::json::parse(Kvr("dump --json '" + (dir_ / "bubble.kvr").string() + "'").out)["root"];
  const nlohmann::json& targets = bubble["meshes"][0]["morphController"]["morphTargets"];
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0]["name"], "stretch");
  EXPECT_EQ(bubble["meshes"][0]["surfaces"][0]["triangles"].size(), 352u);
}

TEST_F(KvrExport, PolygonsAreTriangulatedUnlessKeptAndLostGeometryIsNamedOnce) {
  const fs::path scene = dir_ / "history.ma";
  Write(scene,
        "//Maya ASCII 2019 scene\n"
        "createNode transform -n \"pCube1\";\n"
        "createNode mesh -n \"pCubeShape1\" -p \"pCube1\";\n"
        "createNode transform -n \"pCube2\";\n"
        "createNode mesh -n \"pCubeShape2\" -p \"pCube2\";\n"
        "createNode polyCube -n \"polyCube1\";\n"
        "createNode polyCube -n \"polyCube2\";\n"
        "createNode polyBevel3 -n \"polyBevel1\";\n"
        "connectAttr \"polyCube1.out\" \"pCubeShape1.i\";\n"
        "connectAttr \"polyCube2.out\" \"polyBevel1.ip\";\n"
        "connectAttr \"polyBevel1.out\" \"pCubeShape2.i\";\n");
  const fs::path out = dir_ / "history.kvr";
  const ProcessRun run = Kvr("export '" + scene.string() + "' -o '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "2 meshes, 0 materials, 0 textures, 0 lights, 1 camera (6 polygons triangulated, "
                                "1 mesh without geometry)"))
      << run.out;
  const std::string line = "mesh 'pCubeShape2': 'polyBevel1' (polyBevel3) is not supported; the mesh has no geometry";
  EXPECT_TRUE(Contains(run.err, "kvr: error: " + line + "\n")) << run.err;
  EXPECT_EQ(run.err.find(line), run.err.rfind(line)) << "named once:\n" << run.err;
  const nlohmann::json cube = nlohmann::json::parse(Kvr("dump --json '" + out.string() + "'").out)["root"]["meshes"][0];
  EXPECT_EQ(cube["surfaces"][0]["triangles"].size(), 12u);

  // As inside Maya: quads are refused by the module, which says so in its log.
  const ProcessRun kept = Kvr("export --keep-polygons --show-log '" + scene.string() + "' -o '" + out.string() + "'");
  ASSERT_EQ(kept.status, 0) << kept.err;
  EXPECT_TRUE(Contains(kept.out, "WARNING: mesh is not triangulated - failed to import mesh!")) << kept.out;
  EXPECT_FALSE(Contains(kept.out, "triangulated, ")) << kept.out;

  // --strict: the export fails and the archive already there stays as it was.
  const std::string before = Slurp(out);
  const ProcessRun strict = Kvr("export --strict '" + scene.string() + "' -o '" + out.string() + "'");
  EXPECT_EQ(strict.status, 1);
  EXPECT_TRUE(Contains(strict.err, "kvr: error: " + line + "\n")) << strict.err;
  EXPECT_TRUE(Contains(strict.err, "1 mesh without geometry (--strict)")) << strict.err;
  EXPECT_EQ(Slurp(out), before);
  EXPECT_TRUE(Leftovers().empty());
}

}  // namespace
