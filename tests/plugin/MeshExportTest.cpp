// Meshes, materials and textures through the module: which shapes become meshes,
// their vertices and texture coordinates, one surface per shading group, the
// shaders' channels and the textures on their colour.
#include <cstdint>
#include <sstream>

#include "PluginFixture.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Name.h"
#include "kv/Texture.h"

namespace plugin_test {
namespace {

// A mesh's surfaces, each as its material, its room for triangles and its
// triangles' corners as vertex/texture-coordinate indices.
std::string SurfacesOf(KvMesh* mesh) {
  std::ostringstream text;
  for (uint32_t s = 0; s < mesh->GetNumSurfaces(); ++s) {
    KvSurface* surface = mesh->GetSurface(s);
    KvMaterial* material = surface->GetMaterial();
    text << (s == 0 ? " " : " | ") << (material ? material->GetName().GetAsCString() : "-") << " ["
         << surface->GetTriangleCapacity() << "]";
    for (uint32_t t = 0; t < surface->GetNumTriangles(); ++t) {
      const uint32_t *v = surface->GetTriangle(t)->vertices, *uv = surface->GetTriangle(t)->texCoords;
      text << (t == 0 ? " " : ", ") << v[0] << " " << v[1] << " " << v[2] << "/" << uv[0] << " " << uv[1] << " "
           << uv[2];
    }
  }
  return text.str();
}

class MeshExport : public PluginTest {};

// Shapes become meshes when visible and not intermediate, with mirrored world
// vertices and the first UV set flipped; each shading group a polygon uses makes one
// surface and one shared material with its channels, and a texture on its colour.
TEST_F(MeshExport, ShapesBecomeMeshesWithOneSurfacePerShadingGroupAndSharedMaterials) {
  kvhost::MeshSpec spec;
  spec.points = {{1, 2, 3}, {0, 0, 0}, {0, 1, 0}};
  spec.faces = {{0, 1, 2}};
  spec.uvSets = {{"map1", {{0.25, 0.25}, {1, 0}, {0, 1}}, {{2, 1, 0}}},
                 {"extra", {{0.5, 0.5}, {0.5, 0.5}, {0.5, 0.5}, {0.5, 0.5}}, {{3, 2, 1}}}};
  build.mesh("tri", spec, {}, {.t = {10, 0, 0}});
  kvhost::MeshSpec partial = TriangleStrip(2, {0, 0, 5});
  partial.uvSets = {{"map1", {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, {{3, 2, 1}, {}}}};  // second face has no UVs
  build.mesh("partial", partial);
  build.mesh("bare", TriangleStrip(2));  // no UV set at all
  kvhost::MeshSpec quads;
  quads.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 2, 0}, {1, 2, 0}};
  quads.faces = {{0, 1, 3, 2}, {2, 3, 5, 4}};
  build.mesh("quads", quads);
  build.mesh("hidden", TriangleStrip(1));
  build.set("hidden.v", {false});
  build.transform("group");
  build.set("group.v", {false});
  build.mesh("inner", TriangleStrip(1), "group");      // a hidden parent does not count
  build.deformableMesh("deformed", TriangleStrip(2));  // its ...ShapeOrig is intermediate
  const std::string image = Path("checker.tga");
  WriteFile(image, BottomUpTga());
  const std::string missing = Path("missing.png");
  const std::string plainSG = build.material("lambert", "plain", {0.2, 0.4, 0.6});
  build.set("plain.ambc", {0.1, 0.1, 0.1}, "float3");
  build.set("plain.ic", {0.3, 0.0, 0.0}, "float3");
  build.set("plain.it", {0.9, 0.9, 0.9}, "float3");
  build.fileTexture("file1", image, "plain");
  const std::string softSG = build.material("blinn", "soft", {0, 0, 1});  // eccentricity 0.3, specular 0.5
  build.fileTexture("file2", image, "soft");
  const std::string shinySG = build.material("phong", "shiny", {1, 1, 1});  // cosine power 20
  build.set("shiny.sc", {0.7, 0.7, 0.7}, "float3");
  build.create("file", "file3");
  build.set("file3.ftn", {Path("gloss.tga")}, "string");
  for (const char* channel : {"ambc", "sc", "ic", "it"}) build.connect("file3.oc", std::string("shiny.") + channel);
  const std::string brokenSG = build.material("lambert", "broken");
  build.fileTexture("file0", missing, "broken");
  build.material("lambert", "unused");  // a shading group no polygon uses makes nothing
  build.create("surfaceShader", "flat");  // another shader type makes no material
  build.connect("flat.msg", build.create("shadingEngine", "flatSG") + ".ss");
  // A shading group without a surface shader takes the shader "No name material.".
  build.create("shadingEngine", "bareSG");
  build.create("lambert", "No name material.");

  const std::string strip = build.mesh("strip", TriangleStrip(4));
  build.assignFaces(strip, plainSG, {"f[0]", "f[2]"});
  build.assignFaces(strip, softSG, {"f[1]", "f[3]"});
  const std::string split = build.mesh("split", TriangleStrip(5, {0, 0, 6}));
  build.assignFaces(split, plainSG, {"f[0]"});
  build.assignFaces(split, shinySG, {"f[3]"});  // polygons of no group are left out
  build.assignFaces(build.mesh("half", TriangleStrip(2, {0, 0, 3})), brokenSG, {"f[1]"});  // one group takes all
  // A whole-object group whose polygons another group takes all makes no surface.
  const std::string shared = build.mesh("shared", TriangleStrip(1));
  build.assign(shared, plainSG);
  build.assignFaces(shared, softSG, {"f[0]"});
  build.assign(build.mesh("noName", TriangleStrip(1)), "bareSG");
  build.assign(build.mesh("flatMesh", TriangleStrip(1)), "flatSG");
  auto scene = ExportAndLoad("meshes.kvr");
  ASSERT_NE(scene.scene, nullptr);

  const Lines lines = LogLines();
  EXPECT_EQ(CountOf(lines, "Multiple uv sets found!  Only the first set will be used."), 1);
  EXPECT_TRUE(SpanIs(lines, {"Importing mesh: quads with 6 vertices and 2 polygons...", "0 materials applied to mesh.",
                   "WARNING: mesh is not triangulated - failed to import mesh!", "Importing mesh skin...",
                   "No skin for mesh."}));
  // Every mesh in order with its surfaces; corners without UVs get index 0, and a
  // mesh of quads keeps room for its polygons but holds no triangle.
  Lines meshes;
  for (KvMesh* mesh : scene->Meshes()) meshes.push_back(mesh->GetName().GetAsCString() + (":" + SurfacesOf(mesh)));
  EXPECT_EQ(meshes, (Lines{"tri: - [1] 0 1 2/2 1 0", "partial: - [2] 0 1 2/3 2 1, 2 1 3/0 0 0",
                           "bare: - [2] 0 1 2/0 0 0, 2 1 3/0 0 0", "quads: - [2]", "inner: - [1] 0 1 2/0 0 0",
                           "deformed: - [2] 0 1 2/0 0 0, 2 1 3/0 0 0",
                           "strip: plain [2] 0 1 2/0 0 0, 2 3 4/0 0 0 | soft [2] 2 1 3/0 0 0, 4 3 5/0 0 0",
                           "split: plain [1] 0 1 2/0 0 0 | shiny [1] 4 3 5/0 0 0",
                           "half: broken [2] 0 1 2/0 0 0, 2 1 3/0 0 0", "shared: soft [1] 0 1 2/0 0 0",
                           "noName: No name material. [1] 0 1 2/0 0 0", "flatMesh: - [1] 0 1 2/0 0 0"}));
  auto material = [&](const char* name) { return scene->FindMaterial(KvName(name)); };
  auto mesh = [&](const char* name) { return scene->FindMesh(KvName(name)); };

  KvMesh* tri = mesh("tri");
  ASSERT_EQ(tri->GetNumVertices(), 3u);
  ExpectVec(tri->GetVertex(0)->position, -11, 2, 3);
  ExpectColor(tri->GetVertex(2)->color, 1, 1, 1, 1);
  ASSERT_EQ(tri->GetNumTexCoords(), 3u);
  EXPECT_FLOAT_EQ(tri->GetTexCoord(0)->u, 0.25f);
  EXPECT_FLOAT_EQ(tri->GetTexCoord(0)->v, 0.75f);
  EXPECT_FLOAT_EQ(tri->GetTexCoord(1)->v, 1.0f);
  KvMesh* bare = mesh("bare");
  EXPECT_EQ(bare->GetNumTexCoords(), 0u);
  for (uint32_t v = 0; v < bare->GetNumVertices(); ++v) ExpectVec(bare->GetVertex(v)->normal, 0, 0, -1);
  EXPECT_EQ(mesh("quads")->GetNumVertices(), 6u) << "the mesh of quads keeps its vertices";

  EXPECT_TRUE(SpanIs(lines, {"Importing mesh: strip with 6 vertices and 4 polygons...", "2 materials applied to mesh.",
                   "Importing [Lambert] material plain...", "Importing texture " + image + "...",
                   "Importing [Blinn] material soft...", "Importing mesh skin..."}));
  EXPECT_TRUE(SpanIs(lines, {"Importing [Phong] material shiny...",
                   "Only diffuse textures are supported.  Ambient texture file3 ignored.",
                   "Only diffuse textures are supported.  Specular texture file3 ignored.",
                   "Only diffuse textures are supported.  Incandescence texture file3 ignored.",
                   "Only diffuse textures are supported.  Transparency texture file3 ignored.",
                   "Importing mesh skin..."}));
  EXPECT_TRUE(SpanIs(lines, {"Importing [Lambert] material broken...", "Importing texture " + missing + "...",
                             "Could not load texture!", "Importing mesh skin..."}));
  EXPECT_EQ(CountOf(lines, "Importing [Lambert] material plain..."), 1) << "shared by three meshes";
  EXPECT_EQ(CountOf(lines, "Importing texture " + image + "..."), 1) << "shared by two materials";

  // No shader has alpha plugs: alpha keeps 1. Transparency has no field to reach.
  EXPECT_EQ(scene->GetNumMaterials(), 5u);
  KvMaterial* plain = material("plain");
  ExpectColor(plain->GetDiffuseColor(), 0.2f, 0.4f, 0.6f, 1.0f);
  ExpectColor(plain->GetAmbientColor(), 0.1f, 0.1f, 0.1f, 1.0f);
  ExpectColor(plain->GetEmissiveColor(), 0.3f, 0.0f, 0.0f, 1.0f);
  EXPECT_FLOAT_EQ(material("shiny")->GetSpecularPower(), 20.0f);
  ExpectColor(material("shiny")->GetSpecularColor(), 0.7f, 0.7f, 0.7f, 1.0f);
  EXPECT_EQ(material("shiny")->GetDiffuseTexture(), nullptr);
  EXPECT_FLOAT_EQ(material("soft")->GetSpecularPower(), 0.3f) << "eccentricity as it is";
  ExpectColor(material("soft")->GetSpecularColor(), 0.5f, 0.5f, 0.5f, 1.0f);
  ExpectColor(material("soft")->GetDiffuseColor(), 0.0f, 0.0f, 1.0f, 1.0f);

  // A texture that cannot be loaded is still referenced by name.
  ASSERT_EQ(scene->GetNumTextures(), 2u);
  KvTexture* texture = scene->FindTexture(KvName(image.c_str()));
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->GetWidth() * 10 + texture->GetHeight(), 22u) << "loaded";
  EXPECT_EQ(plain->GetDiffuseTexture(), texture);
  EXPECT_EQ(material("soft")->GetDiffuseTexture(), texture);
  EXPECT_EQ(material("broken")->GetDiffuseTexture(), scene->FindTexture(KvName(missing.c_str())));
  EXPECT_NE(material("broken")->GetDiffuseTexture(), nullptr);
}

}  // namespace
}  // namespace plugin_test
