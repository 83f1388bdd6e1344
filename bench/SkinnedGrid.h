// The 1,000,000-vertex scene of the archive and render benchmarks, in the archive's
// space (x mirrored) as the exporter writes it: a grid of 1000 x 1000 vertices
// (1,996,002 triangles) in a gentle wave, skinned to a chain of 100 joints with
// four influences per vertex, one material, a point light and a camera looking on
// from three quarters.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"

// A chain of `count` joints, each 0.1 further along z than its parent.
inline KvSkeleton* JointChain(int count, std::vector<KvJoint*>& joints) {
  auto* skeleton = new KvSkeleton;
  for (int j = 0; j < count; ++j) {
    auto* joint = new KvJoint(KvName(("j" + std::to_string(j)).c_str()));
    joint->SetTranslation(KvVec3{0.0f, 0.0f, j == 0 ? 0.0f : 0.1f});
    joint->SetScale(KvVec3{1.0f, 1.0f, 1.0f});
    joint->SetParent(joints.empty() ? nullptr : joints.back());
    skeleton->AddJoint(joint);
    joints.push_back(joint);
  }
  skeleton->StoreBindPose();
  return skeleton;
}

// The scene, its mesh drawn with `material` (which the scene takes).
inline KvScene* SkinnedGrid(KvMaterial* material) {
  constexpr int kSide = 1000;
  constexpr int kJoints = 100;
  constexpr int kInfluences = 4;
  auto* scene = new KvScene;
  std::vector<KvJoint*> joints;
  KvSkeleton* skeleton = JointChain(kJoints, joints);
  scene->AddSkeleton(skeleton);
  scene->AddMaterial(material);

  auto* mesh = new KvMesh;
  mesh->SetName(KvName("grid"));
  mesh->SetNumVertices(kSide * kSide);
  mesh->SetNumTexCoords(kSide * kSide);
  for (int z = 0; z < kSide; ++z) {
    for (int x = 0; x < kSide; ++x) {
      const int index = z * kSide + x;
      const float px = x * 10.0f / (kSide - 1) - 5.0f, pz = z * 10.0f / (kSide - 1);
      KvVertex vertex;
      vertex.position = KvVec3{-px, 0.3f * std::sin(px) * std::cos(pz), pz};
      vertex.firstInfluence = static_cast<uint32_t>(index * kInfluences);
      vertex.influenceCount = kInfluences;
      mesh->AddVertex(vertex);
      mesh->AddTexCoord(KvTexCoord{x / (kSide - 1.0f), 1.0f - z / (kSide - 1.0f)});
      const int first = std::min(z * kJoints / kSide, kJoints - kInfluences);
      for (int k = 0; k < kInfluences; ++k) {
        KvVertexInfluence influence;
        influence.joint = joints[first + k];
        influence.weight = 1.0f / kInfluences;
        influence.positionOffset = KvVec3{vertex.position.x, vertex.position.y, vertex.position.z - 0.1f * (first + k)};
        mesh->AddInfluence(influence);
      }
    }
  }
  auto* surface = new KvSurface(mesh);
  surface->SetNumTriangles(2 * (kSide - 1) * (kSide - 1));
  for (uint32_t z = 0; z + 1 < kSide; ++z) {
    for (uint32_t x = 0; x + 1 < kSide; ++x) {
      const uint32_t a = z * kSide + x, b = a + 1, c = a + kSide, d = c + 1;
      surface->AddTriangle(KvTriangle{{a, b, d}, {a, b, d}});
      surface->AddTriangle(KvTriangle{{a, d, c}, {a, d, c}});
    }
  }
  surface->SetMaterial(material);
  mesh->AddSurface(surface);
  mesh->SetSkeleton(skeleton);
  mesh->ComputeNormals();
  scene->AddMesh(mesh);

  auto* light = new KvLight(KvName("key"));
  light->SetPosition(KvVec3{-2.0f, 6.0f, 3.0f});
  scene->AddLight(light);
  // At Maya (9, 7, 14) looking at (0, 0, 5): aimed as the camera stage aims.
  auto* camera = new KvCamera(KvName("cam"));
  camera->SetPosition(KvVec3{-9.0f, 7.0f, 14.0f});
  const KvVec3 d{9.0f, -7.0f, -9.0f};
  camera->SetRotation(KvVec3{std::atan2(-d.x, d.z), std::atan2(d.y, std::sqrt(d.x * d.x + d.z * d.z)), 0.0f});
  camera->SetFieldOfView(54.43f);
  scene->AddCamera(camera);
  return scene;
}
