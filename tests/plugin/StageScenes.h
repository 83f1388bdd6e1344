// Scene pieces and checks shared by the stage tests: small host meshes, a tiny
// image file written byte by byte, log searches, lookups in a loaded scene, the
// mesh invariants every exported mesh must keep, and running one stage of the
// suite's own exporter library for failure paths an export cannot reach.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <kvhost/Builder.h>

#include "PluginFixture.h"
#include "kv/ExportLog.h"
#include "kv/Mesh.h"
#include "kv/Runtime.h"
#include "kv/Scene.h"

namespace plugin_test {

using Lines = std::vector<std::string>;

inline int CountOf(const Lines& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// Whether `run` appears in `lines` as consecutive lines.
inline bool HasRun(const Lines& lines, const Lines& run) {
  return std::search(lines.begin(), lines.end(), run.begin(), run.end()) != lines.end();
}

// The lines from the first `from` up to and including the next `to`.
inline Lines Between(const Lines& lines, const std::string& from, const std::string& to) {
  auto begin = std::find(lines.begin(), lines.end(), from);
  if (begin == lines.end()) return {};
  auto end = std::find(begin, lines.end(), to);
  return Lines(begin, end == lines.end() ? end : end + 1);
}

// A unit cube of six quads centred on the origin.
inline kvhost::MeshSpec QuadCube() {
  kvhost::MeshSpec spec;
  for (int i = 0; i < 8; ++i) spec.points.push_back({(i & 1) ? 0.5 : -0.5, (i & 2) ? 0.5 : -0.5, (i & 4) ? 0.5 : -0.5});
  spec.faces = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  return spec;
}

// The same cube with every quad split into two triangles (12 faces).
inline kvhost::MeshSpec TriangleCube() {
  kvhost::MeshSpec quads = QuadCube();
  kvhost::MeshSpec spec;
  spec.points = quads.points;
  for (const auto& q : quads.faces) {
    spec.faces.push_back({q[0], q[1], q[2]});
    spec.faces.push_back({q[0], q[2], q[3]});
  }
  return spec;
}

// A strip of `count` triangles along +x, all vertices at z = 0 and y in {0, 1}.
inline kvhost::MeshSpec TriangleStrip(int count, const kvhost::Vec3& offset = {0, 0, 0}) {
  kvhost::MeshSpec spec;
  for (int i = 0; i < count + 2; ++i) {
    spec.points.push_back({offset[0] + 0.5 * i, offset[1] + (i % 2), offset[2]});
  }
  for (int i = 0; i < count; ++i) {
    if (i % 2 == 0) {
      spec.faces.push_back({i, i + 1, i + 2});
    } else {
      spec.faces.push_back({i + 1, i, i + 2});
    }
  }
  return spec;
}

// A 2x2 24-bit uncompressed TGA, bottom row first (the format's default origin):
// bottom row red, green; top row blue, white.
inline void WriteTinyTga(const std::string& path) {
  const uint8_t bytes[] = {
      0, 0, 2,                    // no id, no colour map, uncompressed true colour
      0, 0, 0, 0, 0,              // colour map spec
      0, 0, 0, 0,                 // x, y origin
      2, 0, 2, 0,                 // width 2, height 2
      24, 0,                      // 24 bits per pixel, bottom-left origin
      0, 0, 255, 0, 255, 0,       // bottom row, stored BGR: red, green
      255, 0, 0, 255, 255, 255};  // top row: blue, white
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes), sizeof(bytes));
}

// The invariants every written mesh keeps: triangle indices below the vertex and
// texture-coordinate counts (0 when there are none), influence runs inside the
// influence list.
inline void ExpectMeshInvariants(KvMesh* mesh) {
  const uint32_t vertices = mesh->GetNumVertices();
  const uint32_t texCoords = mesh->GetNumTexCoords();
  for (uint32_t s = 0; s < mesh->GetNumSurfaces(); ++s) {
    KvSurface* surface = mesh->GetSurface(s);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->GetMesh(), mesh);
    for (uint32_t t = 0; t < surface->GetNumTriangles(); ++t) {
      const KvTriangle& triangle = *surface->GetTriangle(t);
      for (int c = 0; c < 3; ++c) {
        EXPECT_LT(triangle.vertices[c], vertices);
        if (texCoords > 0) {
          EXPECT_LT(triangle.texCoords[c], texCoords);
        } else {
          EXPECT_EQ(triangle.texCoords[c], 0u);
        }
      }
    }
  }
  for (uint32_t v = 0; v < vertices; ++v) {
    const KvVertex& vertex = *mesh->GetVertex(v);
    EXPECT_LE(uint64_t{vertex.firstInfluence} + vertex.influenceCount, mesh->GetNumInfluences()) << "vertex " << v;
  }
}

// Every mesh of the scene, in scene order.
inline std::vector<KvMesh*> MeshesOf(KvScene* scene) {
  std::vector<KvMesh*> meshes;
  for (uint32_t i = 0; i < scene->GetNumMeshes(); ++i) meshes.push_back(scene->GetMesh(i));
  return meshes;
}

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

// A vector or colour read back, within `tolerance` (0: exactly).
inline void ExpectVec(const KvVec3& v, float x, float y, float z, float tolerance = 1e-6f) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}
inline void ExpectColor(const KvColor& c, float r, float g, float b, float a) {
  EXPECT_FLOAT_EQ(c.red, r);
  EXPECT_FLOAT_EQ(c.green, g);
  EXPECT_FLOAT_EQ(c.blue, b);
  EXPECT_FLOAT_EQ(c.alpha, a);
}

}  // namespace plugin_test
