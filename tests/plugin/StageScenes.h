// Scene pieces and checks shared by the mesh, skin, material and rigid-skin export
// tests: small host meshes, a tiny image file written byte by byte, log searches
// and the mesh invariants every exported mesh must keep.
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
#include "kv/Mesh.h"
#include "kv/Scene.h"

namespace plugin_test {

using Lines = std::vector<std::string>;

// A fixture with a scene builder and an export that reads its archive back.
class StageExport : public PluginTest {
 protected:
  kvhost::Builder build;

  // Exports to NAME in the test's directory (the export must succeed) and loads the
  // archive; the log is left for LogLines(). Callers assert that get() is non-null.
  std::unique_ptr<LoadedScene> ExportAndLoad(const std::string& name) {
    const std::string out = Path(name);
    EXPECT_EQ(Export(out), MS::kSuccess);
    auto scene = std::make_unique<LoadedScene>(out);
    EXPECT_NE(scene->get(), nullptr) << scene->error();
    return scene;
  }
};

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

}  // namespace plugin_test
