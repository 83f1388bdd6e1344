#include "PluginFixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kv/Runtime.h"
#include "kv/Scene.h"

namespace plugin_test {

std::unique_ptr<kvhost::PluginModule> PluginTest::module_;

void PluginTest::SetUpTestSuite() {
  std::string error;
  module_ = kvhost::PluginModule::load(KV_PLUGIN_MODULE, error);
  ASSERT_NE(module_, nullptr) << error;
}

void PluginTest::TearDownTestSuite() { module_.reset(); }

void PluginTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir_ = (std::filesystem::temp_directory_path() / "kv_plugin_tests" /
          (std::string(info->test_suite_name()) + "." + info->name()))
             .string();
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
  setenv("MAYA_APP_DIR", dir_.c_str(), 1);
  kvhost::Scene::get().reset();
  kvhost::Scene::get().clearMessages();
}

void PluginTest::TearDown() {
  kvhost::Scene::get().reset();
  unsetenv("MAYA_APP_DIR");
  std::filesystem::remove_all(dir_);
}

MStatus PluginTest::Export(const std::string& path, MPxFileTranslator::FileAccessMode mode) {
  kvhost::TranslatorPtr translator = kvhost::createTranslator(kTranslatorName);
  if (translator == nullptr) return MS::kFailure;
  return kvhost::runWriter(*translator, path, mode);
}

std::unique_ptr<LoadedScene> PluginTest::ExportAndLoad(const std::string& name) {
  const std::string out = Path(name);
  EXPECT_EQ(Export(out), MS::kSuccess);
  auto scene = std::make_unique<LoadedScene>(out);
  EXPECT_NE(scene->get(), nullptr) << scene->error();
  return scene;
}

std::vector<std::string> PluginTest::LogLines() const {
  const std::string text = ReadText(LogPath());
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "log does not end in CR LF: " << text.substr(start);
      break;
    }
    const std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find('\n'), std::string::npos) << "bare line feed in: " << line;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

LoadedScene::LoadedScene(const std::string& path) {
  KvRuntimeStartupDefault();
  RegisterSceneClasses();
  KvString error;
  scene_ = KvLoadScene(path.c_str(), &error);
  error_ = error.View();
}

LoadedScene::~LoadedScene() {
  delete scene_;
  ShutDownSceneClasses();
  KvRuntimeShutdown();
}

std::vector<std::string> PluginTest::Shown(kvhost::Message::Kind kind) const {
  std::vector<std::string> texts;
  for (const kvhost::Message& message : kvhost::Scene::get().messages()) {
    if (message.kind == kind) texts.push_back(message.text);
  }
  return texts;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

}  // namespace plugin_test
