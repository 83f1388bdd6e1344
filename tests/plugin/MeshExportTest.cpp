// The mesh stage through the module: which shapes become meshes, their vertices
// and texture coordinates, one surface per shading group, and the log lines.
#include "StageScenes.h"
#include "kv/Material.h"
#include "kv/Name.h"

namespace plugin_test {
namespace {

class MeshExport : public PluginTest {
 protected:
  // The vertex indices of a surface's triangles, triangle by triangle.
  static std::vector<std::vector<uint32_t>> Corners(KvSurface* surface) {
    std::vector<std::vector<uint32_t>> corners;
    for (uint32_t t = 0; t < surface->GetNumTriangles(); ++t) {
      const KvTriangle& triangle = *surface->GetTriangle(t);
      corners.push_back({triangle.vertices[0], triangle.vertices[1], triangle.vertices[2]});
    }
    return corners;
  }
};

TEST_F(MeshExport, QuadCubeWarnsOncePerMeshAndKeepsItsVerticesWithoutTriangles) {
  // A lone cube of quads: its surface keeps room for 6 triangles and holds none,
  // at the very end of the archive, which must still load.
  build.mesh("cube", QuadCube());
  auto scene = ExportAndLoad("quads.kvr");
  ASSERT_TRUE(scene->get()) << scene->error();
  const Lines expected = {"Importing meshes...",
                          "Importing mesh: cube with 8 vertices and 6 polygons...",
                          "0 materials applied to mesh.",
                          "WARNING: mesh is not triangulated - failed to import mesh!",
                          "Importing mesh skin...",
                          "No skin for mesh.",
                          "Finished importing meshes."};
  EXPECT_EQ(Between(LogLines(), "Importing meshes...", "Finished importing meshes."), expected);

  ASSERT_EQ((*scene)->GetNumMeshes(), 1u);
  KvMesh* mesh = (*scene)->GetMesh(0);
  EXPECT_STREQ(mesh->GetName().GetAsCString(), "cube");
  EXPECT_EQ(mesh->GetNumVertices(), 8u);
  ASSERT_EQ(mesh->GetNumSurfaces(), 1u);
  EXPECT_EQ(mesh->GetSurface(0)->GetNumTriangles(), 0u);
  EXPECT_EQ(mesh->GetSurface(0)->GetTriangleCapacity(), 6u);
  EXPECT_EQ(mesh->GetSurface(0)->GetMaterial(), nullptr);
  EXPECT_EQ(mesh->GetSkeleton(), nullptr);
  EXPECT_EQ(mesh->GetNumInfluences(), 0u);
}

TEST_F(MeshExport, TriangulatedCubeWithOneShaderIsOneSurfaceOfItsMaterial) {
  const std::string shape = build.mesh("cube", TriangleCube());
  build.assign(shape, build.material("lambert", "red", {1, 0, 0}));
  auto scene = ExportAndLoad("cube.kvr");
  ASSERT_TRUE(scene->get());
  EXPECT_EQ(Between(LogLines(), "Importing meshes...", "Finished importing meshes."),
            (Lines{"Importing meshes...", "Importing mesh: cube with 8 vertices and 12 polygons...",
                   "Importing [Lambert] material red...", "Importing mesh skin...", "No skin for mesh.",
                   "Finished importing meshes."}));

  ASSERT_EQ((*scene)->GetNumMeshes(), 1u);
  KvMesh* mesh = (*scene)->GetMesh(0);
  ASSERT_EQ(mesh->GetNumSurfaces(), 1u);
  KvSurface* surface = mesh->GetSurface(0);
  EXPECT_EQ(surface->GetNumTriangles(), 12u);
  ASSERT_NE(surface->GetMaterial(), nullptr);
  EXPECT_EQ(surface->GetMaterial(), (*scene)->FindMaterial(KvName("red")));
  // Corners keep the host's order.
  const kvhost::MeshSpec spec = TriangleCube();
  const auto corners = Corners(surface);
  for (size_t t = 0; t < corners.size(); ++t) {
    EXPECT_EQ(corners[t], (std::vector<uint32_t>(spec.faces[t].begin(), spec.faces[t].end()))) << "triangle " << t;
  }
  // Closed cube: every vertex gets a unit normal.
  for (uint32_t v = 0; v < mesh->GetNumVertices(); ++v) {
    const KvVec3 n = mesh->GetVertex(v)->normal;
    EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-5f);
  }
  ExpectMeshInvariants(mesh);
}

TEST_F(MeshExport, PositionsAreWorldSpaceMirroredInXAndUVsFlippedFromTheFirstSet) {
  kvhost::MeshSpec spec;
  spec.points = {{1, 2, 3}, {0, 0, 0}, {0, 1, 0}};
  spec.faces = {{0, 1, 2}};
  spec.uvSets = {{"map1", {{0.25, 0.25}, {1, 0}, {0, 1}}, {{2, 1, 0}}},
                 {"extra", {{0.5, 0.5}, {0.5, 0.5}, {0.5, 0.5}, {0.5, 0.5}}, {{3, 2, 1}}}};
  build.mesh("tri", spec, {}, {.t = {10, 0, 0}});
  build.mesh("bare", TriangleStrip(2));  // no UV set at all
  kvhost::MeshSpec partial = TriangleStrip(2, {0, 0, 5});
  partial.uvSets = {{"map1", {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, {{3, 2, 1}, {}}}};  // second face has no UVs
  build.mesh("partial", partial);
  auto scene = ExportAndLoad("uvs.kvr");
  ASSERT_TRUE(scene->get());
  EXPECT_EQ(CountOf(LogLines(), "Multiple uv sets found!  Only the first set will be used."), 1);

  KvMesh* mesh = (*scene)->FindMesh(KvName("tri"));
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->GetNumVertices(), 3u);
  const KvVertex& first = *mesh->GetVertex(0);
  ExpectVec(first.position, -11, 2, 3);
  EXPECT_FLOAT_EQ(first.color.red + first.color.green + first.color.blue + first.color.alpha, 4.0f);
  ASSERT_EQ(mesh->GetNumTexCoords(), 3u);
  EXPECT_FLOAT_EQ(mesh->GetTexCoord(0)->u, 0.25f);
  EXPECT_FLOAT_EQ(mesh->GetTexCoord(0)->v, 0.75f);
  EXPECT_FLOAT_EQ(mesh->GetTexCoord(1)->v, 1.0f);
  EXPECT_FLOAT_EQ(mesh->GetTexCoord(2)->v, 0.0f);
  const KvTriangle& triangle = *mesh->GetSurface(0)->GetTriangle(0);
  EXPECT_EQ(std::vector<uint32_t>(triangle.texCoords, triangle.texCoords + 3), (std::vector<uint32_t>{2, 1, 0}));

  // Corners without UVs get index 0.
  KvMesh* bare = (*scene)->FindMesh(KvName("bare"));
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare->GetNumTexCoords(), 0u);
  ExpectMeshInvariants(bare);
  KvMesh* withGaps = (*scene)->FindMesh(KvName("partial"));
  ASSERT_NE(withGaps, nullptr);
  ASSERT_EQ(withGaps->GetSurface(0)->GetNumTriangles(), 2u);
  EXPECT_EQ(withGaps->GetSurface(0)->GetTriangle(0)->texCoords[0], 3u);
  for (uint32_t corner : withGaps->GetSurface(0)->GetTriangle(1)->texCoords) EXPECT_EQ(corner, 0u);
  ExpectMeshInvariants(withGaps);
}

TEST_F(MeshExport, OnlyVisibleNonIntermediateShapesAreExported) {
  build.mesh("hidden", TriangleStrip(1));
  build.set("hidden.v", {false});
  build.transform("group");
  build.set("group.v", {false});
  build.mesh("inner", TriangleStrip(1), "group");  // a hidden parent does not count
  build.deformableMesh("deformed", TriangleStrip(2));  // its ...ShapeOrig is intermediate
  auto scene = ExportAndLoad("visible.kvr");
  ASSERT_TRUE(scene->get());

  const Lines lines = LogLines();
  EXPECT_EQ(CountOf(lines, "Importing mesh: hidden with 3 vertices and 1 polygons..."), 0);
  EXPECT_EQ(CountOf(lines, "Importing mesh: deformed with 4 vertices and 2 polygons..."), 1);
  std::vector<std::string> names;
  for (KvMesh* mesh : MeshesOf(scene->get())) names.push_back(mesh->GetName().GetAsCString());
  EXPECT_EQ(names, (std::vector<std::string>{"inner", "deformed"}));
}

TEST_F(MeshExport, SeveralShadersMakeOneSurfaceEachInPolygonOrderLeavingUnassignedPolygonsOut) {
  const std::string shape = build.mesh("strip", TriangleStrip(4));
  build.assignFaces(shape, build.material("lambert", "matA"), {"f[0]", "f[2]"});
  build.assignFaces(shape, build.material("blinn", "matB"), {"f[1]", "f[3]"});
  const std::string split = build.mesh("split", TriangleStrip(5, {0, 0, 6}));
  build.assignFaces(split, "matASG", {"f[0]"});
  build.assignFaces(split, build.material("phong", "matD"), {"f[3]"});
  build.material("lambert", "unused");  // a shading group no polygon uses makes no surface
  // With one shading group, every polygon joins its surface.
  build.assignFaces(build.mesh("half", TriangleStrip(2, {0, 0, 3})), build.material("blinn", "matC"), {"f[1]"});
  // A shading group without a surface shader takes a shader named "No name material.".
  build.create("shadingEngine", "bareSG");
  build.assign(build.mesh("tri", TriangleStrip(1)), "bareSG");
  build.create("lambert", "No name material.");
  auto scene = ExportAndLoad("shaders.kvr");
  ASSERT_TRUE(scene->get());
  EXPECT_EQ(CountOf(LogLines(), "Importing [Lambert] material No name material...."), 1);
  EXPECT_EQ((*scene)->FindMesh(KvName("tri"))->GetSurface(0)->GetMaterial(),
            (*scene)->FindMaterial(KvName("No name material.")));
  EXPECT_EQ(Between(LogLines(), "Importing mesh: strip with 6 vertices and 4 polygons...", "Importing mesh skin..."),
            (Lines{"Importing mesh: strip with 6 vertices and 4 polygons...", "2 materials applied to mesh.",
                   "Importing [Lambert] material matA...", "Importing [Blinn] material matB...",
                   "Importing mesh skin..."}));

  using Corners3 = std::vector<std::vector<uint32_t>>;
  KvMesh* mesh = (*scene)->FindMesh(KvName("strip"));
  ASSERT_EQ(mesh->GetNumSurfaces(), 2u);
  EXPECT_EQ(mesh->GetSurface(0)->GetMaterial(), (*scene)->FindMaterial(KvName("matA")));
  EXPECT_EQ(mesh->GetSurface(1)->GetMaterial(), (*scene)->FindMaterial(KvName("matB")));
  EXPECT_EQ(Corners(mesh->GetSurface(0)), (Corners3{{0, 1, 2}, {2, 3, 4}}));
  EXPECT_EQ(Corners(mesh->GetSurface(1)), (Corners3{{2, 1, 3}, {4, 3, 5}}));
  EXPECT_EQ(mesh->GetSurface(0)->GetTriangleCapacity(), 2u);

  mesh = (*scene)->FindMesh(KvName("split"));
  ASSERT_EQ(mesh->GetNumSurfaces(), 2u);
  EXPECT_EQ(Corners(mesh->GetSurface(0)), (Corners3{{0, 1, 2}}));
  EXPECT_EQ(Corners(mesh->GetSurface(1)), (Corners3{{4, 3, 5}}));
  EXPECT_EQ((*scene)->FindMaterial(KvName("unused")), nullptr);
  EXPECT_EQ((*scene)->GetNumMaterials(), 5u);
  ExpectMeshInvariants(mesh);
  KvMesh* half = (*scene)->FindMesh(KvName("half"));
  ASSERT_EQ(half->GetNumSurfaces(), 1u);
  EXPECT_EQ(Corners(half->GetSurface(0)), (Corners3{{0, 1, 2}, {2, 1, 3}}));
  EXPECT_EQ(half->GetSurface(0)->GetMaterial(), (*scene)->FindMaterial(KvName("matC")));
}

}  // namespace
}  // namespace plugin_test
