// The loaded plug-in module, a scratch directory for logs and archives, a scene
// builder, and helpers to export host scenes and read the results back.
#pragma once

#include <gtest/gtest.h>
#include <maya/MPxFileTranslator.h>

#include <kvhost/Builder.h>
#include <kvhost/Plugins.h>
#include <kvhost/Scene.h>

#include <memory>
#include <string>
#include <vector>

class KvScene;

namespace plugin_test {

class LoadedScene;

inline constexpr char kTranslatorName[] = "Kavrel Rendering Archive";

class PluginTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Runs one export through a fresh translator object.
  MStatus Export(const std::string& path,
                 MPxFileTranslator::FileAccessMode mode = MPxFileTranslator::kExportAccessMode);
  // Exports to NAME in the test's directory (the export must succeed) and loads the
  // archive; the log is left for LogLines(). Callers assert that get() is non-null.
  std::unique_ptr<LoadedScene> ExportAndLoad(const std::string& name);
  // The export log as lines; fails the test if a line does not end in CR LF.
  std::vector<std::string> LogLines() const;
  std::string LogPath() const { return dir_ + "/KvMayaExporter_Log.txt"; }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // Messages the host showed through MGlobal during the test.
  std::vector<std::string> Shown(kvhost::Message::Kind kind) const;

  static std::unique_ptr<kvhost::PluginModule> module_;
  std::string dir_;
  kvhost::Builder build;
};

// An archive read back with the suite's own runtime and scene model, started for
// the object's lifetime (after the exports it checks, so the image library's
// start-up and shut-down never interleave with the module's).
class LoadedScene {
 public:
  explicit LoadedScene(const std::string& path);
  ~LoadedScene();
  LoadedScene(const LoadedScene&) = delete;
  LoadedScene& operator=(const LoadedScene&) = delete;
  KvScene* get() const { return scene_; }
  KvScene* operator->() const { return scene_; }
  const std::string& error() const { return error_; }

 private:
  KvScene* scene_ = nullptr;
  std::string error_;
};

std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

}  // namespace plugin_test
