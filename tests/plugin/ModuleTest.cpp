// What Maya sees of the module (its symbols, registration and translator), the
// export log, and the export driver: stages in order, failures, memory running out.
#include <dlfcn.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <set>
#include <utility>

#include <kvhost/TestSwitches.h>
#include <maya/MFileObject.h>

#include "PluginFixture.h"
#include "kv/ExportLog.h"
#include "kv/ExportStages.h"
#include "kv/Mesh.h"
#include "kv/Runtime.h"
#include "kv/Skeleton.h"

namespace plugin_test {
namespace {

// The module exports its entry points only. Loading greets and registers the
// write-only translator, unloading deregisters it; a status is printed only when
// that fails.
TEST(Module, ExportsItsEntryPointsAndRegistersAWriteOnlyTranslatorWhileLoaded) {
  FILE* pipe = popen("nm -D --defined-only " KV_PLUGIN_MODULE " | awk '$2 !~ /[VW]/ && "
                     "$3 !~ /^(_init|_fini|_edata|_end|__bss_start)$|^__odr_asan/ {print $3}'",
                     "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  for (char name[512]; fscanf(pipe, "%511s", name) == 1;) exported.insert(name);
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(exported, (std::set<std::string>{"initializePlugin", "uninitializePlugin", "MApiVersion", "_Z10OnMayaExitPv"}));

  std::string error;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  auto module = kvhost::PluginModule::load(KV_PLUGIN_MODULE, error);
  EXPECT_EQ(kvhost::PluginModule::load(KV_PLUGIN_MODULE, error), nullptr) << "the translator's name is taken";
  ASSERT_NE(module, nullptr) << error;
  EXPECT_EQ(module->apiVersion(), "800");
  kvhost::TranslatorInfo info;
  ASSERT_TRUE(kvhost::findTranslator(kTranslatorName, info));
  EXPECT_EQ(info.pixmapName, "none");
  EXPECT_EQ(info.optionsScriptName + info.defaultOptionsString, "");
  EXPECT_FALSE(info.requiresFullMel);
  kvhost::TranslatorPtr translator = kvhost::createTranslator(kTranslatorName);
  ASSERT_NE(translator, nullptr);
  EXPECT_FALSE(translator->haveReadMethod());
  EXPECT_TRUE(translator->haveWriteMethod());
  EXPECT_STREQ(translator->defaultExtension().asChar(), "kvr");
  EXPECT_STREQ(translator->filter().asChar(), "*.KVR");
  MFileObject file;
  file.setRawFullName("/data/scene.kvr");
  EXPECT_EQ(translator->reader(file, "", MPxFileTranslator::kOpenAccessMode), MS::kFailure);
  // Files are identified by the last three characters of their name.
  const std::pair<const char*, bool> cases[] = {{"/data/scene.kvr", true}, {"/data/kvr", true},  {"/data/scene.KVR", false},
                                                {"/data/scene.kvrx", false}, {"/data/xvr", false}, {"/data/kxr", false},
                                                {"/data/kvx", false}, {"/data/vr", false}, {"/kvr/scene.ma", false}};
  for (const auto& [name, mine] : cases) {
    file.setRawFullName(name);
    EXPECT_EQ(translator->identifyFile(file, "KAVE", 4),
              mine ? MPxFileTranslator::kCouldBeMyFileType : MPxFileTranslator::kNotMyFileType)
        << name;
  }
  translator.reset();
  EXPECT_EQ(module->unload(), MS::kSuccess);
  EXPECT_FALSE(kvhost::findTranslator(kTranslatorName, info)) << "deregistered";
  void* handle = dlopen(KV_PLUGIN_MODULE, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr);
  using Entry = MStatus (*)(MObject);
  EXPECT_EQ(reinterpret_cast<Entry>(dlsym(handle, "uninitializePlugin"))(kvhost::makePluginObject("KvMayaExporter")),
            MS::kFailure);
  dlclose(handle);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "A Kavrel KVR exporter for Maya.\nA Kavrel KVR exporter for Maya.\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "MayaExportCommand::registerFileTranslator: (kFailure): Unexpected Internal Failure\n"
            "KvMayaExporter::reader() method unimplimented!\n\n"
            "MayaExportCommand::deregisterFileTranslator: (kFailure): Unexpected Internal Failure\n");
}

class ModuleTest : public PluginTest {};

// Runs `stage` of the exporter library linked into the suite (not the module's) on
// an empty scene with the suite's own runtime, logging where LogLines reads.
bool RunStageDirectly(bool (*stage)(KvScene*)) {
  SceneRuntime runtime;
  OpenExportLog();
  auto* scene = new KvScene;
  const bool result = stage(scene);
  delete scene;
  CloseExportLog();
  return result;
}

// Every stage logs in order, then the statistics. Translators come and go while the
// module stays; Export Selected exports everything to the path as given and says so.
TEST_F(ModuleTest, StagesLogInOrderAndExportSelectedWarnsOnceAndExportsEverything) {
  build.light("pointLight", "bulb");
  build.camera("eye");
  for (int i = 0; i < 1000; ++i) ASSERT_NE(kvhost::createTranslator(kTranslatorName), nullptr);
  kvhost::TranslatorPtr first = kvhost::createTranslator(kTranslatorName);
  kvhost::TranslatorPtr second = kvhost::createTranslator(kTranslatorName);
  const std::string selected = Path("no_extension");
  ASSERT_EQ(kvhost::runWriter(*first, selected, MPxFileTranslator::kExportActiveAccessMode), MS::kSuccess);
  EXPECT_EQ(LogLines(),
            (Lines{"Exporting Maya file: " + selected, "Forcing all joints to bind pose...",
                   "Finished forcing all joints to bind pose.", "Disabling blend shapes...",
                   "Finished disabling blend shapes.", "Importing skeletons...", "Finished importing skeleton.",
                   "Dumping 0 imported skeletons...", "Finished dumping imported skeletons.", "Importing meshes...",
                   "Finished importing meshes.", "Importing blend shapes...", "Finished importing blend shapes.",
                   "Importing lights...", "Importing point light bulb...", "Finished importing lights.",
                   "Importing cameras...", "Importing camera eye...", "Finished importing cameras.",
                   "Searching for and creating rigidly skinned meshes...",
                   "Finished searching for and creating rigidly skinned meshes...", "Scene stats:", "0 textures",
                   "0 materials", "0 skeletons", "0 meshes", "1 lights", "1 cameras"}));
  EXPECT_EQ(Shown(kvhost::Message::Warning), Lines{"Export Selected currently unsupported.  Exporting all instead."});
  EXPECT_TRUE(Shown(kvhost::Message::Error).empty());
  kvhost::Scene::get().clearMessages();
  first.reset();  // must not shut the runtime down under the second
  ASSERT_EQ(kvhost::runWriter(*second, Path("b.kvr"), MPxFileTranslator::kExportAccessMode), MS::kSuccess);
  second.reset();
  EXPECT_TRUE(Shown(kvhost::Message::Warning).empty()) << "only the selection mode warns";
  EXPECT_EQ(ReadText(selected), ReadText(Path("b.kvr")));
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's allocator keeps its own books
  // With the last translator gone, the runtime gives back what it holds.
  kvhost::TranslatorPtr last = kvhost::createTranslator(kTranslatorName);
  const size_t running = mallinfo2().uordblks;
  last.reset();
  EXPECT_LT(mallinfo2().uordblks + 16384, running);
#endif
  LoadedScene scene(Path("b.kvr"));
  ASSERT_NE(scene.scene, nullptr);
  EXPECT_EQ(scene->GetNumLights() + scene->GetNumCameras() + scene->GetNumMeshes(), 2u);
}

// A failed iterator ends a stage with the error shown and logged, without its closing
// line; through the module the export then fails and an existing archive is left
// alone. The rigid skins only log it; a missing scene or mesh only opens and closes
// a stage.
TEST_F(ModuleTest, StagesStopAtAFailedHostCallAndPassOverMissingObjects) {
  build.light("pointLight", "bulb");
  build.camera("cam");
  build.joint("neck");
  build.mesh("helmet", TriangleStrip(1), "neck");
  build.material("lambert", "plain");
  build.blendShape("blendShape1", build.deformableMesh("base", TriangleStrip(1)), {build.mesh("bump", TriangleStrip(1))},
                   {1.0});
  const std::string out = Path("kept.kvr");
  const struct {
    void (*fail)();
    bool (*stage)(KvScene*);  // null: a whole export through the module
    const char* opening;
    const char* error;
  } failures[] = {
      {kvhost::failNextDagIterator, nullptr, "Forcing all joints to bind pose...", "Failed to create jointIterator!"},
      {kvhost::failNextDependencyNodeIterator, nullptr, "Disabling blend shapes...", "Could not create blendShapeIterator!"},
      {kvhost::failNextDagIterator, ImportSkeletons, "Importing skeletons...", "Failed to create jointIterator!"},
      {kvhost::failNextDagIterator, ImportMeshes, "Importing meshes...", "Failed to create meshIterator!"},
      {kvhost::failNextDependencyNodeIterator, ImportBlendShapes, "Importing blend shapes...",
       "Could not create blendShapeIterator!"},
      {kvhost::failNextDagIterator, ImportLights, "Importing lights...", "Failed to create lightIterator!"},
      {kvhost::failNextDagIterator, ImportCameras, "Importing cameras...", "Failed to create cameraIterator!"},
  };
  for (const auto& c : failures) {
    SCOPED_TRACE(c.opening);
    if (c.stage == nullptr) {
      ASSERT_EQ(Export(out), MS::kSuccess);
      std::ofstream(out) << "previous archive";
    }
    kvhost::Scene::get().clearMessages();
    c.fail();
    EXPECT_FALSE(c.stage == nullptr ? Export(out) == MS::kSuccess : RunStageDirectly(c.stage));
    kvhost::clearTestSwitches();
    Lines lines = LogLines();
    if (c.stage == nullptr) {
      EXPECT_EQ(ReadText(out), "previous archive");
      lines.erase(lines.begin(), lines.end() - std::min<size_t>(lines.size(), 2));
    }
    EXPECT_EQ(lines, (Lines{c.opening, "Maya API Error detected: \"" + std::string(c.error) + "\""}));
    EXPECT_EQ(Shown(kvhost::Message::Error), Lines{kExportErrorText});
  }

  kvhost::Scene::get().clearMessages();
  kvhost::failNextDagIterator();
  EXPECT_FALSE(RunStageDirectly([](KvScene* scene) {
    scene->AddSkeleton(new KvSkeleton);
    scene->GetSkeleton(0)->AddJoint(new KvJoint(KvName("neck")));
    return ImportRigidSkins(scene);
  }));
  EXPECT_EQ(LogLines(), (Lines{"Searching for and creating rigidly skinned meshes...", "Failed to create jointIterator!"}));
  EXPECT_TRUE(RunStageDirectly([](KvScene* scene) {
    ImportMeshSkin(MDagPath(), nullptr, scene);
    auto* mesh = new KvMesh;
    kvhost::failNextDependencyNodeIterator();
    ImportMeshSkin(MDagPath(), mesh, scene);
    const bool untouched = mesh->GetSkeleton() == nullptr && mesh->GetNumInfluences() == 0;
    delete mesh;
    kvhost::failNextDependencyNodeIterator();
    ImportMaterial(MString("plain"), scene);
    const bool none = scene->GetNumMaterials() == 0;
    ImportMaterial(MString("plain"), scene);
    ImportMaterial(MString("plain"), scene);  // found by name: nothing more is logged
    MFnDagNode nothing;
    return untouched && none && scene->GetNumMaterials() == 1 && !IsNodeVisible(nothing);
  }));
  EXPECT_EQ(LogLines(), (Lines{"Importing mesh skin...", "Trying to import skin for NULL mesh!", "Importing mesh skin...",
                               "Couldn't get dependency node iterator!", "Couldn't get dependency node iterator!",
                               "Importing [Lambert] material plain...",
                               "No visibility attribute for node , assuming not visible!"}));
  EXPECT_TRUE(RunStageDirectly(
      [](KvScene*) { return ImportLights(nullptr) && ImportCameras(nullptr) && ImportRigidSkins(nullptr); }));
  EXPECT_EQ(LogLines(), (Lines{"Importing lights...", "Finished importing lights.", "Importing cameras...",
                               "Finished importing cameras.", "Searching for and creating rigidly skinned meshes...",
                               "Finished searching for and creating rigidly skinned meshes..."}));
  EXPECT_TRUE(Shown(kvhost::Message::Error).empty());
}

TEST_F(ModuleTest, LongLinesAreCutAndThePathFollowsMayaAppDirUnchanged) {
  KvRuntimeStartupDefault();
  OpenExportLog();
  LogPrintf("Found joint: %s", std::string(5000, 'n').c_str());
  LogPrintf("100%% of %s", "a%s name");
  CloseExportLog();
  EXPECT_EQ(ReadText(LogPath()), "Found joint: " + std::string(1010, 'n') + "\r\n100% of a%s name\r\n");
  const std::pair<const char*, const char*> cases[] = {
      {"/home/artist/maya", "/home/artist/maya/KvMayaExporter_Log.txt"},
      {"/home/artist/maya/", "/home/artist/maya//KvMayaExporter_Log.txt"},
      {"", "/KvMayaExporter_Log.txt"},
      {nullptr, "C:\\KvMayaExporter_Log.txt"}};
  for (const auto& [appDir, expected] : cases) {
    appDir != nullptr ? setenv("MAYA_APP_DIR", appDir, 1) : unsetenv("MAYA_APP_DIR");
    EXPECT_STREQ(ExportLogPath().View(), expected) << (appDir ? appDir : "(unset)");
  }
  KvRuntimeShutdown();
}

// A caller's allocator that hands the first block of `g_size` bytes made while the
// log is open to `g_armed`, once; a null block from it is a failed allocation.
uint32_t g_size = 0;
std::function<void*(uint32_t)> g_armed;
void* ArmedAllocate(uint32_t size) {
  if (size == g_size && g_armed && IsExportLogOpen()) return std::exchange(g_armed, nullptr)(size);
  return std::malloc(size == 0 ? 1 : size);
}
void PlainFree(void* pointer, uint32_t) { std::free(pointer); }

// Memory running out for the scene ends the export quietly; a stage failing after
// the skeleton dump ends it as one before it does. Either way nothing is written.
TEST_F(ModuleTest, NoMemoryForTheSceneOrALaterFailingStageEndsTheExport) {
  build.joint("root");
  KvRuntimeStartup(KvMemoryConfig{.allocationPolicy = 2, .allocate = ArmedAllocate, .free = PlainFree});
  RegisterSceneClasses();
  const auto exportScene = [this] { return ExportScene(KvString(Path("out.kvr").c_str())); };
  g_size = sizeof(KvScene);
  for (bool throws : {false, true}) {
    g_armed = [throws](uint32_t) -> void* { return throws ? throw std::bad_alloc() : nullptr; };
    EXPECT_FALSE(exportScene());
    EXPECT_FALSE(IsExportLogOpen());
    EXPECT_EQ(ReadText(LogPath()), "") << "the log was opened, and nothing was logged";
    EXPECT_TRUE(kvhost::Scene::get().messages().empty()) << "nothing was shown";
  }
  // The skeleton is made after the joint iterator: the next one is the meshes'.
  g_size = sizeof(KvSkeleton);
  g_armed = [](uint32_t size) {
    kvhost::failNextDagIterator();
    return std::malloc(size);
  };
  EXPECT_FALSE(exportScene());
  kvhost::clearTestSwitches();
  const Lines lines = LogLines();
  EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
            (Lines{"Importing meshes...", "Maya API Error detected: \"Failed to create meshIterator!\""}));
  EXPECT_FALSE(std::filesystem::exists(Path("out.kvr")));
  EXPECT_TRUE(exportScene()) << "and the next export works";
  ShutDownSceneClasses();
  KvRuntimeShutdown();
}

}  // namespace
}  // namespace plugin_test
