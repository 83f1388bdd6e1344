// Adds to StageScenes.h what the blend-shape, light and camera tests share: a grid
// mesh, lookup by name in a loaded scene, and running one stage of the suite's own
// exporter library for the failure paths an export through the module cannot reach.
#pragma once

#include <gtest/gtest.h>

#include <kvhost/Builder.h>

#include <string>
#include <vector>

#include "PluginFixture.h"
#include "StageScenes.h"
#include "kv/ExportLog.h"
#include "kv/Runtime.h"
#include "kv/Scene.h"

namespace plugin_test {

// A flat grid in the XZ plane of (columns + 1) x (rows + 1) vertices, row by row,
// each square split into two triangles; vertex (c, r) is at (x0 + c, 0, r).
inline kvhost::MeshSpec TriangleGrid(int columns, int rows, double x0 = 0.0) {
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

// The first object named `name` in a scene list, or null.
template <typename T>
T* FindNamed(KvList<T*>& list, const std::string& name) {
  for (T* object : list) {
    if (object != nullptr && name == object->GetName().GetAsCString()) return object;
  }
  return nullptr;
}

// Runs `stage` of the exporter library linked into the suite (not the module's) on
// an empty scene, with the suite's own runtime, writing the export log where the
// fixture's LogLines reads it.
template <typename Stage>
bool RunStageDirectly(Stage stage) {
  KvRuntimeStartupDefault();
  RegisterSceneClasses();
  OpenExportLog();
  auto* scene = new KvScene;
  const bool result = stage(scene);
  delete scene;
  CloseExportLog();
  ShutDownSceneClasses();
  KvRuntimeShutdown();
  return result;
}

}  // namespace plugin_test
