// kvr check: every finding made to fire by an archive broken on purpose, through the
// scene model or in its bytes; and the report as the command prints it.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Check.h"
#include "KvrProcess.h"
#include "MayaSpaceScene.h"
#include "SceneTestSupport.h"
#include "kv/Archive.h"
#include "kv/Morph.h"
#include "kv/Runtime.h"

using maya::P;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN(), kInfinity = std::numeric_limits<float>::infinity();

std::string U32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

// The healthy scene every case breaks in one way: a textured quad skinned to two
// joints (vertex 0 half to each) with a morph target, a light and a camera.
struct Parts {
  KvScene* scene;
  KvMesh* mesh;
  KvSkeleton* skeleton;
  KvMaterial* material;
  KvMorphTarget target;
};

// Where a finding says it is: `Class "name"`, "byte" for an offset, "" for nowhere.
std::string Where(const Finding& f) {
  if (!f.className.empty()) return f.className + (f.objectName.empty() ? "" : " \"" + f.objectName + "\"");
  return f.offset >= 0 ? "byte" : "";
}

class KvrCheck : public SceneTest {
 protected:
  // Saves the healthy scene after `breakScene` (may be null) changed it, then lets
  // `breakBytes` (may be null) change the file. Returns the archive's path.
  std::string Archive(const std::function<void(Parts&)>& breakScene,
                      const std::function<void(std::string&)>& breakBytes = nullptr,
                      const std::string& name = "scene.kvr") {
    Parts parts{new KvScene, nullptr, nullptr, nullptr, {}};
    KvScene& scene = *parts.scene;
    maya::WriteImage(TempPath("skin.ppm"), maya::ImageFile::kPpm, 2, 2,
                     {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
    auto* texture = new KvTexture(KvName("skin.ppm"));
    texture->LoadImage(KvString(TempPath("skin.ppm").c_str()));
    scene.AddTexture(texture);
    parts.material = maya::AddMaterial(scene, "skinMat", {1, 1, 1, 1}, {0, 0, 0, 1}, texture);
    parts.mesh = maya::AddQuad(scene, "body", {P{-1, 0, 0}, P{1, 0, 0}, P{1, 2, 0}, P{-1, 2, 0}}, parts.material);
    parts.skeleton = maya::AddJointChain(scene, {P{0, 0, 0}, P{0, 1, 0}});
    parts.mesh->SetSkeleton(parts.skeleton);
    for (uint32_t i = 0; i < 4; ++i) {
      parts.mesh->GetVertex(i)->firstInfluence = parts.mesh->GetNumInfluences();
      parts.mesh->GetVertex(i)->influenceCount = i == 0 ? 2 : 1;
      parts.mesh->AddInfluence(KvVertexInfluence{parts.skeleton->GetJoint(0), i == 0 ? 0.5f : 1.0f, {}, {}});
      if (i == 0) parts.mesh->AddInfluence(KvVertexInfluence{parts.skeleton->GetJoint(1), 0.5f, {}, {}});
    }
    parts.mesh->ComputeNormals();
    parts.target = KvMorphTarget(KvName("bulge"));
    parts.target.AddMorphVertex(KvMorphVertex{{0, 0, 0.1f}, {0, 0, 0}, 2});
    maya::AddLight(scene, "key", KvLight::kPoint, P{1, 2, 3}, P{0, 0, 0}, 1.0f);
    maya::AddCamera(scene, "cam", P{0, 1, 5}, P{0, 1, 0}, 50.0f);
    if (breakScene) breakScene(parts);
    auto* controller = new KvMorphController;
    controller->AddMorphTarget(parts.target);
    parts.mesh->SetMorphController(controller);
    const std::string path = TempPath(name);
    EXPECT_TRUE(KvSaveScene(parts.scene, path.c_str(), nullptr, 0.01f));
    // A mesh listed twice is destroyed once.
    if (parts.scene->GetNumMeshes() > 1) parts.scene->Meshes().Remove(parts.scene->Meshes().Find(parts.mesh)->next);
    delete parts.scene;
    if (breakBytes) {
      std::string bytes = ReadText(path);
      breakBytes(bytes);
      std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    return path;
  }
};

// One row per way of breaking an archive: the code that must appear, whether it is
// a warning, where it must point, and words its message must hold.
TEST_F(KvrCheck, EveryFindingFiresOnAnArchiveBrokenForIt) {
  struct Case {
    const char* code;
    bool warning;
    std::function<void(Parts&)> breakScene;
    std::function<void(std::string&)> breakBytes;
    std::string where;
    std::string words;
  };
  // The texture's stored description (2 x 2 x 1, 3 bytes per pixel) in the file.
  auto patchDescription = [](uint32_t field, uint32_t value) {
    return [=](std::string& bytes) {
      const size_t at = bytes.find(U32(2) + U32(2) + U32(1) + U32(3));
      ASSERT_NE(at, std::string::npos);
      bytes.replace(at + 4 * field, 4, U32(value));
    };
  };
  auto extraSurface = [](KvTriangle triangle) {
    return [=](Parts& parts) {
      auto* surface = new KvSurface(parts.mesh);
      surface->SetNumTriangles(1);
      surface->AddTriangle(triangle);
      parts.mesh->AddSurface(surface);
    };
  };
  const std::vector<Case> cases = {
      // Files that do not load.
      {"NOT_AN_ARCHIVE", false, nullptr, [](std::string& b) { b = "hello"; }, "", "KAVE"},
      {"UNSUPPORTED_VERSION", false, nullptr, [](std::string& b) { b.replace(4, 4, U32(9999)); }, "", "9999"},
      {"ARCHIVE_TRUNCATED", false, nullptr, [](std::string& b) { b.pop_back(); }, "byte", ""},
      {"TRAILING_BYTES", false, nullptr, [](std::string& b) { b += "xyz"; }, "byte", "3 unexpected byte"},
      {"UNKNOWN_CLASS", false, nullptr,
       [](std::string& b) {
         for (size_t at = b.find("KvLight"); at != std::string::npos; at = b.find("KvLight")) b[at + 6] = 'z';
       },
       "byte", "does not know"},
      {"ARCHIVE_CORRUPT", false,
       [](Parts& p) {
         // Listed twice: the second entry claims the mesh a second time.
         p.scene->Meshes().PushBack(p.mesh);
       },
       nullptr, "byte", "two owners"},
      {"TRIANGLE_VERTEX_OUT_OF_RANGE", false, extraSurface(KvTriangle{{0, 1, 4}, {0, 1, 2}}), nullptr,
       "byte", "vertex"},
      {"TRIANGLE_TEXCOORD_OUT_OF_RANGE", false, extraSurface(KvTriangle{{0, 1, 2}, {0, 4, 2}}), nullptr,
       "byte", "texture coordinate"},
      {"INFLUENCE_RUN_OUT_OF_RANGE", false,
       [](Parts& p) { p.mesh->GetVertex(3)->influenceCount = 2; }, nullptr, "byte", "influences"},
      {"TEXTURE_SIZE_MISMATCH", false, nullptr, patchDescription(7, 13), "byte", "data size"},
      {"TEXTURE_FORMAT_MISMATCH", false, nullptr, patchDescription(3, 4), "byte", "bytes per pixel"},
      // Scenes that load but make no sense.
      {"INFLUENCE_WEIGHT_INVALID", false,
       [](Parts& p) {
         p.mesh->GetInfluence(0).weight = 1.0f;
         p.mesh->GetInfluence(1).weight = 0.0f;
       },
       nullptr, "KvMesh \"body\"", "influence 1 has the weight 0"},
      {"INFLUENCE_WEIGHTS_NOT_NORMALIZED", false, [](Parts& p) { p.mesh->GetInfluence(1).weight = 0.3f; },
       nullptr, "KvMesh \"body\"", "vertex 0 sum to 0.8"},
      {"INFLUENCE_JOINT_NOT_IN_SKELETON", false,
       [](Parts& p) { p.mesh->GetInfluence(2).joint = maya::AddJointChain(*p.scene, {P{5, 5, 5}})->GetJoint(0); },
       nullptr, "KvMesh \"body\"", "influence 2 names the joint \"joint0\", which is not in the mesh's skeleton"},
      {"INFLUENCE_JOINT_NOT_IN_SKELETON", false, [](Parts& p) { p.mesh->SetSkeleton(nullptr); }, nullptr,
       "KvMesh \"body\"", "but the mesh has no skeleton (and 4 more)"},
      {"INFLUENCE_JOINT_NOT_IN_SKELETON", false, [](Parts& p) { p.mesh->GetInfluence(4).joint = nullptr; },
       nullptr, "KvMesh \"body\"", "influence 4 names no joint"},
      {"MORPH_VERTEX_OUT_OF_RANGE", false,
       [](Parts& p) { p.target.AddMorphVertex(KvMorphVertex{{0, 1, 0}, {0, 0, 0}, 4}); }, nullptr, "KvMesh \"body\"",
       "morph target \"bulge\", entry 1 moves vertex 4 of a mesh of 4"},
      {"NON_FINITE_POSITION", false, [](Parts& p) { p.mesh->GetVertex(2)->position.y = kNaN; }, nullptr,
       "KvMesh \"body\"", "vertex 2 is at (-1, nan, 0)"},
      {"NON_FINITE_NORMAL", false,
       [](Parts& p) {
         p.target = KvMorphTarget(KvName("dent"));
         p.target.AddMorphVertex(KvMorphVertex{{}, {kNaN, 0, 0}, 1});
       },
       nullptr, "KvMesh \"body\"", "morph target \"dent\", entry 0 turns the normal"},
      {"NON_FINITE_MATRIX", false,
       [](Parts& p) { p.skeleton->GetJoint(1)->SetTranslation(KvVec3{0, kNaN, 0}); }, nullptr, "KvJoint \"joint1\"",
       "world transform"},
      {"NON_FINITE_VALUE", false, [](Parts& p) { p.material->SetAmbientColor(KvColor(0, kNaN, 0, 1)); },
       nullptr, "KvMaterial \"skinMat\"", "ambient colour"},
      {"NON_FINITE_POSITION", false,
       [](Parts& p) { (*p.scene->Lights().begin())->SetPosition(KvVec3{kNaN, 0, 0}); }, nullptr, "KvLight \"key\"",
       "the light is at (nan, 0, 0)"},
      {"NON_FINITE_VALUE", false, [](Parts& p) { (*p.scene->Lights().begin())->SetDropOff(kInfinity); }, nullptr,
       "KvLight \"key\"", "drop-off"},
      {"NON_FINITE_VALUE", false,
       [](Parts& p) { (*p.scene->Cameras().begin())->SetRotation(KvVec3{0, kNaN, 0}); }, nullptr,
       "KvCamera \"cam\"", "rotation"},
      {"NON_FINITE_POSITION", false,
       [](Parts& p) { (*p.scene->Cameras().begin())->SetPosition(KvVec3{0, 0, kInfinity}); }, nullptr,
       "KvCamera \"cam\"", "the camera is at (0, 0, inf)"},
      {"TEXTURE_WITHOUT_PIXELS", true,
       [](Parts& p) {
         auto* empty = new KvTexture(KvName("missing.tga"));
         p.scene->AddTexture(empty);
         p.material->SetDiffuseTexture(empty);
       },
       nullptr, "KvTexture \"missing.tga\"", "holds no pixels"},
      {"UNREFERENCED_MATERIAL", true,
       [](Parts& p) { maya::AddMaterial(*p.scene, "spare", {1, 1, 1, 1}); }, nullptr, "KvMaterial \"spare\"",
       "no surface"},
      {"UNREFERENCED_TEXTURE", true, [](Parts& p) { p.material->SetDiffuseTexture(nullptr); }, nullptr,
       "KvTexture \"skin.ppm\"", "no material"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.code) + ": " + c.words);
    std::string all;
    for (const Finding& f : CheckArchive(Archive(c.breakScene, c.breakBytes)).findings) {
      all += "\n  " + f.code + ": " + f.message;
      if (f.code != c.code) continue;
      EXPECT_EQ(f.severity, c.warning ? Severity::kWarning : Severity::kError);
      EXPECT_EQ(Where(f), c.where);
      EXPECT_NE(f.message.find(c.words), std::string::npos) << f.message;
      if (!c.where.empty() && c.where != "byte") {
        EXPECT_GE(f.objectIndex, 0);
      }
    }
    EXPECT_NE(all.find("\n  " + std::string(c.code) + ": "), std::string::npos) << "findings:" << all;
  }
  // Files that are no archive, or no scene: one finding each.
  const std::string skeletonPath = TempPath("skeleton.kvr");
  auto* skeleton = new KvSkeleton;
  ASSERT_TRUE(KvSaveObject(skeleton, skeletonPath.c_str(), nullptr, 0.01f));
  delete skeleton;
  const struct {
    std::string path, code, where, message;
  } whole[] = {
      {TempPath("missing.kvr"), "ARCHIVE_UNREADABLE", "", "cannot be opened: No such file or directory"},
      {::testing::TempDir(), "ARCHIVE_UNREADABLE", "", "is a directory, not an archive"},
      {skeletonPath, "NOT_A_SCENE", "KvSkeleton", "the root object is a KvSkeleton, not a KvScene: this is not a rendering archive"},
  };
  for (const auto& c : whole) {
    const ArchiveCheck check = CheckArchive(c.path);
    ASSERT_EQ(check.findings.size(), 1u) << c.path;
    EXPECT_EQ(check.findings[0].code, c.code);
    EXPECT_EQ(Where(check.findings[0]), c.where);
    EXPECT_EQ(check.findings[0].objectIndex, c.where.empty() ? -1 : 0);
    EXPECT_EQ(check.findings[0].message, c.message);
  }
}

// The command: compiler-style lines and a summary per archive, or one JSON
// document; exit 1 only for errors.
TEST_F(KvrCheck, ReportsLikeACompiler) {
  const std::string healthy = Archive(nullptr, nullptr, "healthy.kvr");
  auto spareMaterial = [](Parts& p) { maya::AddMaterial(*p.scene, "spare", {1, 1, 1, 1}); };
  const std::string spare = Archive(spareMaterial, nullptr, "spare.kvr");
  const std::string broken = Archive(nullptr, [](std::string& b) { b += "x"; }, "broken.kvr");
  const std::string mixed = Archive([&](Parts& p) { spareMaterial(p), p.mesh->GetInfluence(1).weight = 0.3f; }, nullptr, "mixed.kvr");
  const std::filesystem::path dir = TempPath("run");

  ProcessRun run = RunKvr(dir, "check '" + healthy + "' '" + spare + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string spareLine = ": KvMaterial \"spare\" (object 3): warning: no surface uses this material [UNREFERENCED_MATERIAL]\n";
  EXPECT_EQ(run.out, healthy + ": no problems found\n" + spare + spareLine + spare + ": 0 errors, 1 warning\n");

  run = RunKvr(dir, "check '" + broken + "' '" + mixed + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, broken + ": byte " + std::to_string(ReadText(broken).size() - 1) +
                         ": error: 1 unexpected byte(s) after the object stream [TRAILING_BYTES]\n" + broken +
                         ": 1 error, 0 warnings\n" + mixed + ": KvMesh \"body\" (object 7): error: the weights of vertex 0 "
                         "sum to 0.8, not 1 [INFLUENCE_WEIGHTS_NOT_NORMALIZED]\n" + mixed + spareLine + mixed +
                         ": 1 error, 1 warning\n");

  run = RunKvr(dir, "check --json '" + spare + "' '" + mixed + "'");
  EXPECT_EQ(run.status, 1);
  nlohmann::json expected = nlohmann::json::parse(R"({"errors":1,"warnings":2,"archives":[{"errors":0,"warnings":1,
"findings":[{"code":"UNREFERENCED_MATERIAL","severity":"warning","message":"no surface uses this material",
"object":{"index":3,"class":"KvMaterial","name":"spare"},"offset":null}]},{"errors":1,"warnings":1,"findings":[
{"code":"INFLUENCE_WEIGHTS_NOT_NORMALIZED","severity":"error","message":"the weights of vertex 0 sum to 0.8, not 1",
"object":{"index":7,"class":"KvMesh","name":"body"},"offset":null},{"code":"UNREFERENCED_MATERIAL",
"severity":"warning","message":"no surface uses this material","object":{"index":3,"class":"KvMaterial",
"name":"spare"},"offset":null}]}]})");
  expected["archives"][0]["path"] = spare;
  expected["archives"][1]["path"] = mixed;
  EXPECT_EQ(nlohmann::json::parse(run.out), expected);
}

}  // namespace
