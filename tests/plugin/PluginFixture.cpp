#include "PluginFixture.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kv/ExportLog.h"
#include "kv/Runtime.h"

namespace plugin_test {

std::unique_ptr<kvhost::PluginModule> PluginTest::module_;

void PluginTest::SetUpTestSuite() {
  std::string error;
  module_ = kvhost::PluginModule::load(KV_PLUGIN_MODULE, error);
  ASSERT_NE(module_, nullptr) << error;
}

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
  EXPECT_EQ(Export(Path(name)), MS::kSuccess);
  auto scene = std::make_unique<LoadedScene>(Path(name));
  EXPECT_NE(scene->get(), nullptr) << scene->error();
  return scene;
}

Lines PluginTest::LogLines() const {
  const std::string text = ReadText(LogPath());
  Lines lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "log does not end in CR LF: " << text.substr(start);
      break;
    }
    lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(lines.back().find('\n'), std::string::npos) << "bare line feed in: " << lines.back();
    start = end + 2;
  }
  return lines;
}

Lines PluginTest::Shown(kvhost::Message::Kind kind) const {
  Lines texts;
  for (const kvhost::Message& message : kvhost::Scene::get().messages()) {
    if (message.kind == kind) texts.push_back(message.text);
  }
  return texts;
}

LoadedScene::LoadedScene(const std::string& path) {
  KvString error;
  scene_ = KvLoadScene(path.c_str(), &error);
  error_ = error.View();
}

LoadedScene::~LoadedScene() { delete scene_; }

kvhost::MeshSpec TriangleStrip(int count, const kvhost::Vec3& offset) {
  kvhost::MeshSpec spec;
  for (int i = 0; i < count + 2; ++i) spec.points.push_back({offset[0] + 0.5 * i, offset[1] + (i % 2), offset[2]});
  for (int i = 0; i < count; ++i) {
    spec.faces.push_back(i % 2 == 0 ? std::vector<int>{i, i + 1, i + 2} : std::vector<int>{i + 1, i, i + 2});
  }
  return spec;
}

kvhost::MeshSpec TriangleGrid(int columns, int rows, double x0) {
  kvhost::MeshSpec grid;
  for (int r = 0; r <= rows; ++r) {
    for (int c = 0; c <= columns; ++c) grid.points.push_back({x0 + c, 0.0, static_cast<double>(r)});
  }
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const int v = r * (columns + 1) + c;
      grid.faces.push_back({v, v + 1, v + columns + 2});
      grid.faces.push_back({v, v + columns + 2, v + columns + 1});
    }
  }
  return grid;
}

void WriteTinyTga(const std::string& path) {
  // Uncompressed true colour, 2 x 2, 24 bits, bottom-left origin, BGR pixels.
  const uint8_t bytes[] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0,
                           0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

bool RunStageDirectly(bool (*stage)(KvScene*)) {
  SceneRuntime runtime;
  OpenExportLog();
  auto* scene = new KvScene;
  const bool result = stage(scene);
  delete scene;
  CloseExportLog();
  return result;
}

}  // namespace plugin_test
