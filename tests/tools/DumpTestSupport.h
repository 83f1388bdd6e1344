// Shared by the kvr dump tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "Dump.h"
#include "SceneTestSupport.h"

// One of everything: a texture "checker.tga" shared by two materials (loaded from
// BottomUpTga written at `tga`, or without an image when `tga` is empty), a three-joint
// skeleton, a skinned two-surface mesh with a morph target, a spot light and a
// camera. 14 objects.
inline KvScene* BuildSampleScene(const std::string& tga) {
  auto* scene = new KvScene();
  auto* texture = new KvTexture(KvName("checker.tga"));
  if (!tga.empty()) {
    WriteFile(tga, BottomUpTga());
    EXPECT_TRUE(texture->LoadImage(KvString(tga.c_str())));
  }
  scene->AddTexture(texture);
  auto* skin = new KvMaterial(KvName("skin"));
  skin->SetDiffuseTexture(texture);
  skin->SetSpecularPower(12.5f);
  skin->SetAmbientColor(KvColor(0.1f, 0.2f, 0.3f, 1));
  auto* cloth = new KvMaterial(KvName("cloth"));
  cloth->SetDiffuseTexture(texture);
  scene->AddMaterial(skin);
  scene->AddMaterial(cloth);

  auto* skeleton = new KvSkeleton();
  KvJoint* parent = nullptr;
  for (const char* name : {"hip", "knee", "ankle"}) {
    auto* joint = new KvJoint(KvName(name));
    joint->SetTranslation(KvVec3{0, -1, 0.5f});
    joint->SetRotation(KvQuat{std::sqrt(0.5f), 0, std::sqrt(0.5f), 0});
    joint->SetScale(KvVec3{1, 1, 1});
    joint->SetParent(parent);
    skeleton->AddJoint(joint);
    parent = joint;
  }
  skeleton->StoreBindPose();
  scene->AddSkeleton(skeleton);

  auto* mesh = new KvMesh();
  mesh->SetName(KvName("leg"));
  mesh->SetNumVertices(4);
  const KvVec3 positions[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}};
  for (uint32_t i = 0; i < 4; ++i) {
    KvVertex v;
    v.position = positions[i];
    v.color = KvColor(1, 1, 1, 1);
    v.firstInfluence = i;
    v.influenceCount = 1;
    mesh->AddVertex(v);
    KvVertexInfluence influence;
    influence.joint = skeleton->GetJoint(i % 3);
    influence.weight = 1;
    influence.positionOffset = KvVec3{0.5f * i, 0, 0};
    mesh->AddInfluence(influence);
  }
  mesh->SetNumTexCoords(2);
  mesh->AddTexCoord(KvTexCoord{0, 1});
  mesh->AddTexCoord(KvTexCoord{1, 0.5f});
  for (uint32_t s = 0; s < 2; ++s) {
    auto* surface = new KvSurface(mesh);
    surface->SetNumTriangles(1);
    surface->AddTriangle(s == 0 ? KvTriangle{{0, 1, 2}, {0, 1, 0}} : KvTriangle{{1, 3, 2}, {1, 1, 0}});
    surface->SetMaterial(s == 0 ? skin : cloth);
    mesh->AddSurface(surface);
  }
  mesh->SetSkeleton(skeleton);
  mesh->ComputeNormals();
  KvMorphTarget target(KvName("bend"));
  for (uint32_t i = 0; i < 4; ++i) {
    KvMorphVertex v;
    v.positionDelta = KvVec3{0, 0, i == 3 ? 0.5f : 0.0f};
    v.vertexIndex = i;
    target.AddMorphVertex(v);
  }
  target.ComputeNormalDeltas(mesh);
  target.RemoveSmallDeltas(mesh, 0.001f);
  auto* controller = new KvMorphController();
  controller->AddMorphTarget(target);
  mesh->SetMorphController(controller);
  scene->AddMesh(mesh);

  auto* light = new KvLight(KvName("sun"));
  light->SetType(KvLight::kSpot);
  light->SetConeAngle(30);
  scene->AddLight(light);
  auto* camera = new KvCamera(KvName("persp"));
  camera->SetPosition(KvVec3{0, 5, -10});
  camera->SetFieldOfView(60);
  scene->AddCamera(camera);
  return scene;
}

// kvr dump's two forms of the archive at `path`, made as kvr makes them (the JSON
// streamed, the text from a summary), against the whole document in memory: the
// JSON must be that document as nlohmann prints it, the text its WriteTextReport.
// False when the file does not load (after checking that it says why).
inline bool ExpectDumpsMatchDocument(const std::string& path) {
  nlohmann::ordered_json document;
  std::string error;
  if (DumpToJson(path, document, error) != kExitOk) {
    EXPECT_FALSE(error.empty()) << path;
    return false;
  }
  std::ostringstream json, text, err;
  EXPECT_EQ(RunDump(path, true, json, err), kExitOk) << err.str();
  EXPECT_EQ(json.str(), document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
  EXPECT_EQ(RunDump(path, false, text, err), kExitOk) << err.str();
  std::ostringstream expected;
  expected << "File: " << path << "\n";
  WriteTextReport(document, expected);
  EXPECT_EQ(text.str(), expected.str());
  return true;
}

// Flips every byte of `good` in turn, from the object stream on (which starts with
// `rootRecord`), and dumps each variant written to `path`: one that does not load
// must say why, one that loads (odd but valid graphs: objects first met in unusual
// places, nulls) must come out the same in every form. Returns how many variants
// loaded.
inline uint32_t DumpEveryFlippedByte(const Bytes& good, const Bytes& rootRecord, const std::string& path) {
  const size_t stream = std::search(good.begin(), good.end(), rootRecord.begin(), rootRecord.end()) - good.begin();
  if (stream >= good.size()) {
    ADD_FAILURE() << "the root's record is not in the archive";
    return 0;
  }
  uint32_t rendered = 0;
  for (size_t i = stream; i < good.size(); ++i) {
    Bytes patched = good;
    patched[i] ^= 0xFF;
    WriteFile(path, patched);
    SCOPED_TRACE("byte " + std::to_string(i));
    if (ExpectDumpsMatchDocument(path)) ++rendered;
  }
  return rendered;
}
