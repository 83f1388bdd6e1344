// What Maya sees of the module: its exported symbols, its registration, and the
// translator's answers.
#include <dlfcn.h>

#include <cstdio>
#include <set>
#include <sstream>

#include <maya/MFileObject.h>

#include <kvhost/Builder.h>

#include "PluginFixture.h"
#include "kv/Scene.h"

namespace plugin_test {
namespace {

TEST(ModuleSymbols, ExportsOnlyTheEntryPoints) {
  // Every global symbol the module defines, from its dynamic symbol table.
  FILE* pipe = popen("nm -D --defined-only " KV_PLUGIN_MODULE, "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type >> name;
    if (name.empty() || name.rfind("__odr_asan", 0) == 0) continue;          // sanitizer bookkeeping
    if (name == "_init" || name == "_fini" || name == "_edata" || name == "_end" || name == "__bss_start") continue;
    if (type == "V" || type == "W") continue;  // inline members of the host's Maya classes
    exported.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0);
  const std::set<std::string> expected = {"initializePlugin", "uninitializePlugin", "MApiVersion",
                                          "_Z10OnMayaExitPv"};
  EXPECT_EQ(exported, expected);

  void* handle = dlopen(KV_PLUGIN_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  const char* apiVersion = static_cast<const char*>(dlsym(handle, "MApiVersion"));
  ASSERT_NE(apiVersion, nullptr);
  EXPECT_STREQ(apiVersion, "800");
  EXPECT_EQ(dlsym(handle, "ExportScene"), nullptr);
  dlclose(handle);
}

class ModuleTest : public PluginTest {};

TEST_F(ModuleTest, RegistersTheWriteOnlyTranslator) {
  kvhost::TranslatorInfo info;
  ASSERT_TRUE(kvhost::findTranslator(kTranslatorName, info));
  EXPECT_EQ(info.pixmapName, "none");
  EXPECT_EQ(info.optionsScriptName, "");
  EXPECT_EQ(info.defaultOptionsString, "");
  EXPECT_FALSE(info.requiresFullMel);

  kvhost::TranslatorPtr translator = kvhost::createTranslator(kTranslatorName);
  ASSERT_NE(translator, nullptr);
  EXPECT_FALSE(translator->haveReadMethod());
  EXPECT_TRUE(translator->haveWriteMethod());
  EXPECT_STREQ(translator->defaultExtension().asChar(), "kvr");
  EXPECT_STREQ(translator->filter().asChar(), "*.KVR");

  MFileObject file;
  file.setRawFullName(Path("scene.kvr").c_str());
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(translator->reader(file, "", MPxFileTranslator::kOpenAccessMode), MS::kFailure);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "KvMayaExporter::reader() method unimplimented!\n\n");

  // Files are identified by their last three characters.
  const struct {
    const char* fullName;
    MPxFileTranslator::MFileKind kind;
  } cases[] = {
      {"/data/scene.kvr", MPxFileTranslator::kCouldBeMyFileType},
      {"/data/kvr", MPxFileTranslator::kCouldBeMyFileType},
      {"/data/scene.KVR", MPxFileTranslator::kNotMyFileType},
      {"/data/scene.kvrx", MPxFileTranslator::kNotMyFileType},
      {"/data/vr", MPxFileTranslator::kNotMyFileType},
      {"/data/", MPxFileTranslator::kNotMyFileType},
      {"/kvr/scene.ma", MPxFileTranslator::kNotMyFileType},
  };
  for (const auto& c : cases) {
    file.setRawFullName(c.fullName);
    EXPECT_EQ(translator->identifyFile(file, "KAVE", 4), c.kind) << c.fullName;
  }
}

TEST_F(ModuleTest, ExportSelectedWarnsOnceAndExportsEverythingToThePathAsGiven) {
  build.light("pointLight", "bulb");
  build.camera("eye");
  const std::string out = Path("no_extension");
  ASSERT_EQ(Export(out, MPxFileTranslator::kExportActiveAccessMode), MS::kSuccess);
  EXPECT_EQ(LogLines().front(), "Exporting Maya file: " + out);
  EXPECT_EQ(Shown(kvhost::Message::Warning),
            std::vector<std::string>{"Export Selected currently unsupported.  Exporting all instead."});
  EXPECT_TRUE(Shown(kvhost::Message::Error).empty());
  const std::string selected = ReadText(out);
  {
    LoadedScene scene(out);
    ASSERT_NE(scene.get(), nullptr) << scene.error();
    EXPECT_EQ(scene->GetNumLights(), 1u);
    EXPECT_EQ(scene->GetNumCameras(), 1u);
  }

  kvhost::Scene::get().clearMessages();
  ASSERT_EQ(Export(out, MPxFileTranslator::kExportAccessMode), MS::kSuccess);
  EXPECT_TRUE(Shown(kvhost::Message::Warning).empty()) << "only the selection mode warns";
  EXPECT_EQ(ReadText(out), selected);
}

TEST_F(ModuleTest, TranslatorsComeAndGoWithoutStoppingTheModule) {
  // The leak checker at exit sees anything a cycle leaves behind.
  for (int i = 0; i < 1000; ++i) ASSERT_NE(kvhost::createTranslator(kTranslatorName), nullptr);
  kvhost::TranslatorPtr first = kvhost::createTranslator(kTranslatorName);
  kvhost::TranslatorPtr second = kvhost::createTranslator(kTranslatorName);
  ASSERT_EQ(kvhost::runWriter(*first, Path("a.kvr"), MPxFileTranslator::kExportAccessMode), MS::kSuccess);
  first.reset();  // must not shut the runtime down under the second
  ASSERT_EQ(kvhost::runWriter(*second, Path("b.kvr"), MPxFileTranslator::kExportAccessMode), MS::kSuccess);
  second.reset();
  EXPECT_EQ(ReadText(Path("a.kvr")), ReadText(Path("b.kvr")));
  LoadedScene scene(Path("b.kvr"));
  EXPECT_NE(scene.get(), nullptr) << scene.error();
}

TEST(ModuleLoading, ReportsAMissingModuleAndUnloadsCleanly) {
  std::string error;
  EXPECT_EQ(kvhost::PluginModule::load("/nonexistent/KvMayaExporter.so", error), nullptr);
  EXPECT_NE(error.find("/nonexistent/KvMayaExporter.so"), std::string::npos) << error;

  ::testing::internal::CaptureStdout();
  auto module = kvhost::PluginModule::load(KV_PLUGIN_MODULE, error);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "A Kavrel KVR exporter for Maya.\n");
  ASSERT_NE(module, nullptr) << error;
  EXPECT_EQ(module->unload(), MS::kSuccess);
  kvhost::TranslatorInfo info;
  EXPECT_FALSE(kvhost::findTranslator(kTranslatorName, info)) << "deregistered";
}

}  // namespace
}  // namespace plugin_test
