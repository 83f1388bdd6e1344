// The material and texture stage through the module: shader types and channels,
// sharing by name, and file textures (loaded, ignored, or unloadable).
#include <kvhost/TestSwitches.h>

#include "StageScenes.h"
#include "kv/ExportStages.h"
#include "kv/Material.h"
#include "kv/Name.h"
#include "kv/Texture.h"

namespace plugin_test {
namespace {

class MaterialExport : public PluginTest {
 protected:
  // A one-triangle mesh NAME drawn with `shadingGroup`.
  void MeshWith(const std::string& name, const std::string& shadingGroup) {
    build.assign(build.mesh(name, TriangleStrip(1)), shadingGroup);
  }
};

TEST_F(MaterialExport, EachShaderTypeFillsItsChannelsAndPowerOnce) {
  const std::string plainGroup = build.material("lambert", "plain", {0.2, 0.4, 0.6});
  MeshWith("a", plainGroup);
  MeshWith("shared", plainGroup);
  build.set("plain.ambc", {0.1, 0.1, 0.1}, "float3");
  build.set("plain.ic", {0.3, 0.0, 0.0}, "float3");
  build.set("plain.it", {0.9, 0.9, 0.9}, "float3");
  MeshWith("b", build.material("phong", "shiny", {1, 1, 1}));  // cosine power 20 by default
  build.set("shiny.sc", {0.7, 0.7, 0.7}, "float3");
  MeshWith("c", build.material("blinn", "soft", {0, 0, 1}));  // eccentricity 0.3, specular 0.5 by default
  // A node of another shader type makes no material.
  build.create("surfaceShader", "flat");
  build.connect("flat.msg", build.create("shadingEngine", "flatSG") + ".ss");
  MeshWith("d", "flatSG");
  auto scene = ExportAndLoad("types.kvr");
  ASSERT_TRUE(scene->get());
  const Lines lines = LogLines();
  EXPECT_EQ(CountOf(lines, "Importing [Lambert] material plain..."), 1) << "shared by two meshes";
  EXPECT_EQ(CountOf(lines, "Importing [Phong] material shiny..."), 1);
  EXPECT_EQ(CountOf(lines, "Importing [Blinn] material soft..."), 1);

  for (const std::string& line : lines) EXPECT_EQ(line.find("material flat"), std::string::npos) << line;
  ASSERT_EQ((*scene)->GetNumMaterials(), 3u);
  EXPECT_EQ((*scene)->FindMesh(KvName("d"))->GetSurface(0)->GetMaterial(), nullptr);
  KvMaterial* plain = (*scene)->FindMaterial(KvName("plain"));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ((*scene)->GetMesh(0)->GetSurface(0)->GetMaterial(), plain);
  EXPECT_EQ((*scene)->FindMesh(KvName("shared"))->GetSurface(0)->GetMaterial(), plain);
  // No shader has alpha plugs: alpha keeps 1. Transparency has no field to reach.
  ExpectColor(plain->GetDiffuseColor(), 0.2f, 0.4f, 0.6f, 1.0f);
  ExpectColor(plain->GetAmbientColor(), 0.1f, 0.1f, 0.1f, 1.0f);
  ExpectColor(plain->GetEmissiveColor(), 0.3f, 0.0f, 0.0f, 1.0f);
  ExpectColor(plain->GetSpecularColor(), 0.0f, 0.0f, 0.0f, 1.0f);
  EXPECT_EQ(plain->GetSpecularPower(), 0.0f);
  EXPECT_EQ(plain->GetDiffuseTexture(), nullptr);

  KvMaterial* shiny = (*scene)->FindMaterial(KvName("shiny"));
  ASSERT_NE(shiny, nullptr);
  EXPECT_FLOAT_EQ(shiny->GetSpecularPower(), 20.0f);
  ExpectColor(shiny->GetSpecularColor(), 0.7f, 0.7f, 0.7f, 1.0f);

  KvMaterial* soft = (*scene)->FindMaterial(KvName("soft"));
  ASSERT_NE(soft, nullptr);
  EXPECT_FLOAT_EQ(soft->GetSpecularPower(), 0.3f) << "eccentricity as it is";
  ExpectColor(soft->GetSpecularColor(), 0.5f, 0.5f, 0.5f, 1.0f);
  ExpectColor(soft->GetDiffuseColor(), 0.0f, 0.0f, 1.0f, 1.0f);
}

TEST_F(MaterialExport, ColorTexturesAreSharedByFileAndOtherChannelsIgnored) {
  // A texture that cannot be loaded is still referenced by name.
  const std::string missing = Path("missing.png");
  MeshWith("broken", build.material("lambert", "broken"));
  build.fileTexture("file0", missing, "broken");
  const std::string image = Path("checker.tga");
  WriteTinyTga(image);
  const std::string painted = build.material("lambert", "painted");
  build.fileTexture("file1", image, "painted");
  const std::string repainted = build.material("blinn", "repainted");
  build.fileTexture("file2", image, "repainted");
  const std::string glossy = build.material("phong", "glossy");
  build.create("file", "file3");
  build.set("file3.ftn", {Path("gloss.tga")}, "string");
  build.connect("file3.oc", "glossy.sc");
  MeshWith("a", painted);
  MeshWith("b", repainted);
  MeshWith("c", glossy);
  auto scene = ExportAndLoad("textures.kvr");
  ASSERT_TRUE(scene->get());
  const Lines lines = LogLines();
  EXPECT_EQ(CountOf(lines, "Importing texture " + image + "..."), 1);
  EXPECT_EQ(CountOf(lines, "Only diffuse textures are supported.  Specular texture file3 ignored."), 1);
  EXPECT_TRUE(HasRun(lines, {"Importing texture " + missing + "...", "Could not load texture!"}));
  EXPECT_EQ(CountOf(lines, "Could not load texture!"), 1);

  ASSERT_EQ((*scene)->GetNumTextures(), 2u);
  KvTexture* broken = (*scene)->FindTexture(KvName(missing.c_str()));
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ((*scene)->FindMaterial(KvName("broken"))->GetDiffuseTexture(), broken);
  KvTexture* texture = (*scene)->FindTexture(KvName(image.c_str()));
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->GetWidth(), 2u);
  EXPECT_EQ(texture->GetHeight(), 2u);
  EXPECT_EQ((*scene)->FindMaterial(KvName("painted"))->GetDiffuseTexture(), texture);
  EXPECT_EQ((*scene)->FindMaterial(KvName("repainted"))->GetDiffuseTexture(), texture);
  EXPECT_EQ((*scene)->FindMaterial(KvName("glossy"))->GetDiffuseTexture(), nullptr);
}

TEST_F(MaterialExport, FailingNodeIteratorMakesNoMaterial) {
  build.material("lambert", "plain");
  EXPECT_TRUE(RunStageDirectly([](KvScene* scene) {
    kvhost::failNextDependencyNodeIterator();
    ImportMaterial(MString("plain"), scene);
    kvhost::clearTestSwitches();
    const bool none = scene->GetNumMaterials() == 0;
    ImportMaterial(MString("plain"), scene);
    ImportMaterial(MString("plain"), scene);  // found by name: nothing more is logged
    return none && scene->GetNumMaterials() == 1;
  }));
  EXPECT_EQ(LogLines(), (Lines{"Couldn't get dependency node iterator!", "Importing [Lambert] material plain..."}));
}

}  // namespace
}  // namespace plugin_test
