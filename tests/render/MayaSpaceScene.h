// Scenes for render and check tests, described in Maya's space and stored the way
// the exporter stores them: x negated, v turned over, cameras aimed by yaw and pitch.
#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"
#include "kv/Texture.h"

namespace maya {

struct P {
  float x, y, z;
};

inline KvVec3 Stored(P p) { return KvVec3{-p.x, p.y, p.z}; }

inline KvMaterial* AddMaterial(KvScene& scene, const char* name, KvColor diffuse, KvColor ambient = {0, 0, 0, 1},
                               KvTexture* texture = nullptr) {
  auto* material = new KvMaterial(KvName(name));
  material->SetDiffuseColor(diffuse);
  material->SetAmbientColor(ambient);
  material->SetDiffuseTexture(texture);
  scene.AddMaterial(material);
  return material;
}

// A mesh of one surface: `corners` with Maya texture coordinates (u, v) each (v up,
// as Maya has it), and triangles of corner indices (the same for texture
// coordinates).
inline KvMesh* AddMesh(KvScene& scene, const char* name, const std::vector<P>& corners,
                       const std::vector<std::vector<float>>& uv, const std::vector<KvTriangle>& triangles,
                       KvMaterial* material) {
  auto* mesh = new KvMesh;
  mesh->SetName(KvName(name));
  mesh->SetNumVertices(static_cast<uint32_t>(corners.size()));
  mesh->SetNumTexCoords(static_cast<uint32_t>(corners.size()));
  for (size_t i = 0; i < corners.size(); ++i) {
    KvVertex vertex;
    vertex.position = Stored(corners[i]);
    mesh->AddVertex(vertex);
    mesh->AddTexCoord(KvTexCoord{uv[i][0], 1.0f - uv[i][1]});
  }
  auto* surface = new KvSurface(mesh);
  surface->SetNumTriangles(static_cast<uint32_t>(triangles.size()));
  for (const KvTriangle& triangle : triangles) surface->AddTriangle(triangle);
  surface->SetMaterial(material);
  mesh->AddSurface(surface);
  mesh->ComputeNormals();
  scene.AddMesh(mesh);
  return mesh;
}

// A quad of two triangles (0, 1, 2) and (0, 2, 3), with texture coordinates from
// (0, 0) at the first corner to (1, 1) at the third unless given.
inline KvMesh* AddQuad(KvScene& scene, const char* name, const P (&corners)[4], KvMaterial* material,
                       const std::vector<std::vector<float>>& uv = {{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
  return AddMesh(scene, name, {corners[0], corners[1], corners[2], corners[3]}, uv,
                 {KvTriangle{{0, 1, 2}, {0, 1, 2}}, KvTriangle{{0, 2, 3}, {0, 2, 3}}}, material);
}

// A camera at `eye` looking at `target`, as the camera stage aims one.
inline KvCamera* AddCamera(KvScene& scene, const char* name, P eye, P target, float horizontalDegrees,
                           uint32_t projection = 0) {
  auto* camera = new KvCamera(KvName(name));
  camera->SetProjectionType(projection);
  camera->SetPosition(Stored(eye));
  const KvVec3 d = Stored(P{target.x - eye.x, target.y - eye.y, target.z - eye.z});
  const float yaw = (d.x == 0.0f && d.z == 0.0f) ? 0.0f : std::atan2(-d.x, d.z);
  const float pitch = std::atan2(d.y, std::sqrt(d.x * d.x + d.z * d.z));
  camera->SetRotation(KvVec3{yaw, pitch, 0.0f});
  camera->SetFieldOfView(horizontalDegrees);
  scene.AddCamera(camera);
  return camera;
}

inline KvLight* AddLight(KvScene& scene, const char* name, uint32_t type, P position, P direction, float intensity,
                         float coneDegrees = 40.0f, float dropOff = 0.0f) {
  auto* light = new KvLight(KvName(name));
  light->SetType(type);
  light->SetPosition(Stored(position));
  const float length = std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
  if (length > 0) light->SetDirection(Stored(P{direction.x / length, direction.y / length, direction.z / length}));
  light->SetIntensityColor(KvColor(intensity, intensity, intensity, 1.0f));
  light->SetConeAngle(coneDegrees);
  light->SetDropOff(dropOff);
  scene.AddLight(light);
  return light;
}

// A chain of joints at the given Maya positions, each the child of the one before.
inline KvSkeleton* AddJointChain(KvScene& scene, const std::vector<P>& positions) {
  auto* skeleton = new KvSkeleton;
  KvJoint* parent = nullptr;
  P previous{0, 0, 0};
  for (size_t i = 0; i < positions.size(); ++i) {
    auto* joint = new KvJoint(KvName(("joint" + std::to_string(i)).c_str()));
    const P& p = positions[i];
    joint->SetTranslation(Stored(P{p.x - previous.x, p.y - previous.y, p.z - previous.z}));
    joint->SetScale(KvVec3{1, 1, 1});
    joint->SetParent(parent);
    skeleton->AddJoint(joint);
    parent = joint;
    previous = p;
  }
  skeleton->StoreBindPose();
  scene.AddSkeleton(skeleton);
  return skeleton;
}

// The image files tests write: RGB PPM (rows top first) and 24-bit TGA (pixels
// stored blue first, rows bottom first).
enum class ImageFile { kPpm, kTga };

// Writes `width` x `height` RGB pixels (8 bits, top row first) as `kind`.
inline void WriteImage(const std::string& path, ImageFile kind, uint32_t width, uint32_t height,
                       const std::vector<uint8_t>& rgb) {
  std::ofstream out(path, std::ios::binary);
  if (kind == ImageFile::kTga) {
    const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(width),
                                static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(height),
                                static_cast<uint8_t>(height >> 8), 24, 0};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    for (uint32_t row = height; row-- > 0;) {
      for (uint32_t col = 0; col < width; ++col) {
        const uint8_t* p = &rgb[(row * width + col) * 3];
        out.put(static_cast<char>(p[2])).put(static_cast<char>(p[1])).put(static_cast<char>(p[0]));
      }
    }
    return;
  }
  out << "P6\n" << width << " " << height << "\n255\n";
  out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

}  // namespace maya
