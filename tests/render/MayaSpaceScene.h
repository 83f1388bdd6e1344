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

// A mesh of one surface: corners with their Maya texture coordinates (v up), and
// triangles of corner indices (the texture-coordinate indices are the same).
inline KvMesh* AddMesh(KvScene& scene, const char* name, const std::vector<P>& corners,
                       const std::vector<std::vector<float>>& uv, std::vector<KvTriangle> triangles,
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
  for (KvTriangle& triangle : triangles) {
    for (int k = 0; k < 3; ++k) triangle.texCoords[k] = triangle.vertices[k];
    surface->AddTriangle(triangle);
  }
  surface->SetMaterial(material);
  mesh->AddSurface(surface);
  mesh->ComputeNormals();
  scene.AddMesh(mesh);
  return mesh;
}

// Two triangles (0, 1, 2) and (0, 2, 3), textured from (0, 0) at the first corner to
// (1, 1) at the third unless `uv` says otherwise.
inline KvMesh* AddQuad(KvScene& scene, const char* name, const P (&c)[4], KvMaterial* material,
                       const std::vector<std::vector<float>>& uv = {{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
  return AddMesh(scene, name, {c[0], c[1], c[2], c[3]}, uv, {KvTriangle{{0, 1, 2}, {}}, KvTriangle{{0, 2, 3}, {}}},
                 material);
}

// A camera at `eye` looking at `target`, as the camera stage aims one.
inline KvCamera* AddCamera(KvScene& scene, const char* name, P eye, P target, float horizontalDegrees,
                           uint32_t projection = 0) {
  auto* camera = new KvCamera(KvName(name));
  camera->SetProjectionType(projection);
  camera->SetPosition(Stored(eye));
  const KvVec3 d = Stored(P{target.x - eye.x, target.y - eye.y, target.z - eye.z});
  const float yaw = (d.x == 0.0f && d.z == 0.0f) ? 0.0f : std::atan2(-d.x, d.z);
  camera->SetRotation(KvVec3{yaw, std::atan2(d.y, std::sqrt(d.x * d.x + d.z * d.z)), 0.0f});
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

// A chain of joints "joint0", "joint1"... at the given Maya positions, each the
// child of the one before.
inline KvSkeleton* AddJointChain(KvScene& scene, const std::vector<P>& positions) {
  auto* skeleton = new KvSkeleton;
  KvJoint* parent = nullptr;
  P previous{0, 0, 0};
  for (const P& p : positions) {
    auto* joint = new KvJoint(KvName(("joint" + std::to_string(skeleton->GetNumJoints())).c_str()));
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

// Image files for textures: RGB PPM (rows top first), or 24-bit TGA (blue first,
// rows bottom first).
enum class ImageFile { kPpm, kTga };

// Writes `width` x `height` RGB pixels (top row first) as `kind`.
inline void WriteImage(const std::string& path, ImageFile kind, uint32_t width, uint32_t height,
                       const std::vector<uint8_t>& rgb) {
  std::ofstream out(path, std::ios::binary);
  if (kind == ImageFile::kPpm) {
    out << "P6\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return;
  }
  const char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<char>(width), static_cast<char>(width >> 8),
                           static_cast<char>(height), static_cast<char>(height >> 8), 24, 0};
  out.write(header, sizeof header);
  for (uint32_t row = height; row-- > 0;) {
    for (const uint8_t* p = &rgb[row * width * 3]; p < &rgb[row * width * 3] + width * 3; p += 3) out << p[2] << p[1] << p[0];
  }
}

}  // namespace maya
