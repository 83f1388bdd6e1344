#include "PluginFixture.h"

#include <cstdlib>
#include <filesystem>

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

MStatus PluginTest::Export(const std::string& path) {
  kvhost::TranslatorPtr translator = kvhost::createTranslator(kTranslatorName);
  if (translator == nullptr) return MS::kFailure;
  return kvhost::runWriter(*translator, path, MPxFileTranslator::kExportAccessMode);
}

Lines PluginTest::LogLines() const {
  const std::string text = ReadText(LogPath());
  EXPECT_TRUE(text.empty() || text.ends_with("\r\n")) << "the log does not end in CR LF";
  Lines lines;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::ssize(lines)) << "a line feed without CR";
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
  KvString text;
  scene = KvLoadScene(path.c_str(), &text);
  EXPECT_NE(scene, nullptr) << text.View();
}

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

}  // namespace plugin_test
