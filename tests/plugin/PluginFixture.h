// The plug-in module loaded as Maya loads it, a scratch directory for the export log
// and archives, scene builders, and archives read back with the suite's own runtime.
#pragma once

#include <gtest/gtest.h>
#include <maya/MPxFileTranslator.h>

#include <kvhost/Builder.h>
#include <kvhost/Plugins.h>
#include <kvhost/Scene.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../scene/SceneTestSupport.h"

namespace plugin_test {

using Lines = std::vector<std::string>;
inline constexpr char kTranslatorName[] = "Kavrel Rendering Archive";
using archive_test::ReadText;

// An archive read back, with the runtime started for the object's lifetime (after
// the exports it checks, so that start-up and shut-down never interleave with the
// module's).
struct LoadedScene {
  explicit LoadedScene(const std::string& path);
  LoadedScene(const LoadedScene&) = delete;
  ~LoadedScene() { delete scene; }
  KvScene* operator->() const { return scene; }
  SceneRuntime runtime;
  KvScene* scene = nullptr;
};

class PluginTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite() { module_.reset(); }
  void SetUp() override;
  void TearDown() override;

  // One export through a fresh translator object.
  MStatus Export(const std::string& path);
  // Exports to NAME in the test's directory (the export must succeed) and loads it;
  // callers assert that `scene` is non-null.
  LoadedScene ExportAndLoad(const std::string& name) {
    EXPECT_EQ(Export(Path(name)), MS::kSuccess);
    return LoadedScene(Path(name));
  }
  // The export log as lines; fails the test if a line does not end in CR LF.
  Lines LogLines() const;
  std::string LogPath() const { return dir_ + "/KvMayaExporter_Log.txt"; }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // Messages the host showed through MGlobal during the test.
  Lines Shown(kvhost::Message::Kind kind) const;

  static std::unique_ptr<kvhost::PluginModule> module_;
  std::string dir_;
  kvhost::Builder build;
};

inline int CountOf(const Lines& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}
// Whether the lines from the first `run.front()` up to and including the next
// `run.back()` are exactly `run`.
inline ::testing::AssertionResult SpanIs(const Lines& lines, const Lines& run) {
  auto begin = std::find(lines.begin(), lines.end(), run.front());
  auto end = std::find(begin, lines.end(), run.back());
  const Lines span(begin, end == lines.end() ? end : end + 1);
  if (span == run) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the lines there are " << ::testing::PrintToString(span);
}

// A strip of `count` triangles along +x at z = 0, y alternating 0 and 1.
kvhost::MeshSpec TriangleStrip(int count, const kvhost::Vec3& offset = {0, 0, 0});
// A flat grid in the XZ plane of (columns + 1) x (rows + 1) vertices, row by row,
// each square split into two triangles; vertex (c, r) is at (x0 + c, 0, r).
kvhost::MeshSpec TriangleGrid(int columns, int rows, double x0 = 0.0);

template <typename T>
T* FindNamed(KvList<T*>& list, const std::string& name) {
  for (T* object : list) {
    if (name == object->GetName().GetAsCString()) return object;
  }
  return nullptr;
}

inline void ExpectRgb(const KvColor& c, float r, float g, float b) { ExpectVec({c.red, c.green, c.blue}, r, g, b); }
inline void ExpectColor(const KvColor& c, float r, float g, float b, float a) {
  ExpectRgb(c, r, g, b);
  EXPECT_FLOAT_EQ(c.alpha, a);
}

}  // namespace plugin_test
