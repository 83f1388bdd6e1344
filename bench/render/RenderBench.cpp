// Pictures of a 1,000,000-vertex archive at 800x600: a grid of 1000 x 1000 vertices
// (1,996,002 triangles) skinned to a chain of 100 joints with four influences per
// vertex, textured, lit by a point light and seen by a camera from three quarters.
//
//   Render          the render alone, of the scene in memory
//   LoadAndRender   the archive read from disk, then rendered (what `kvr render`
//                   does before it writes the PNG)
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Runtime.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"
#include "kv/Texture.h"
#include "kvrender/Render.h"

namespace {

constexpr int kSide = 1000;
constexpr int kJoints = 100;
constexpr int kInfluences = 4;

std::string TempPath(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

KvTexture* Checker(const std::string& path) {
  const int size = 256;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::fprintf(file, "P6\n%d %d\n255\n", size, size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const unsigned char on = ((x / 32) + (y / 32)) % 2 == 0 ? 230 : 60;
      const unsigned char rgb[3] = {on, 120, static_cast<unsigned char>(255 - on)};
      std::fwrite(rgb, 1, 3, file);
    }
  }
  std::fclose(file);
  auto* texture = new KvTexture(KvName("checker.ppm"));
  texture->LoadImage(KvString(path.c_str()));
  return texture;
}

// The scene in the archive's space (x mirrored), as the exporter writes it.
KvScene* BuildScene() {
  auto* scene = new KvScene;
  auto* skeleton = new KvSkeleton;
  std::vector<KvJoint*> joints;
  for (int j = 0; j < kJoints; ++j) {
    auto* joint = new KvJoint(KvName(("j" + std::to_string(j)).c_str()));
    joint->SetTranslation(KvVec3{0.0f, 0.0f, j == 0 ? 0.0f : 0.1f});
    joint->SetScale(KvVec3{1.0f, 1.0f, 1.0f});
    joint->SetParent(joints.empty() ? nullptr : joints.back());
    skeleton->AddJoint(joint);
    joints.push_back(joint);
  }
  skeleton->StoreBindPose();
  scene->AddSkeleton(skeleton);

  auto* texture = Checker(TempPath("kv_bench_render_checker.ppm"));
  scene->AddTexture(texture);
  auto* material = new KvMaterial(KvName("skin"));
  material->SetDiffuseTexture(texture);
  material->SetAmbientColor(KvColor(0.1f, 0.1f, 0.1f, 1.0f));
  scene->AddMaterial(material);

  auto* mesh = new KvMesh;
  mesh->SetName(KvName("grid"));
  mesh->SetNumVertices(kSide * kSide);
  mesh->SetNumTexCoords(kSide * kSide);
  for (int z = 0; z < kSide; ++z) {
    for (int x = 0; x < kSide; ++x) {
      const int index = z * kSide + x;
      KvVertex vertex;
      // A gentle wave, so that the light shades it.
      const float px = x * 10.0f / (kSide - 1) - 5.0f, pz = z * 10.0f / (kSide - 1);
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

// The runtime, the scene in memory and its archive on disk, made once.
struct Fixture {
  Fixture() {
    KvRuntimeStartupDefault();
    RegisterSceneClasses();
    scene = BuildScene();
    archive = TempPath("kv_bench_render.kvr");
    KvSaveScene(scene, archive.c_str(), nullptr, 0.01f);
  }
  KvScene* scene = nullptr;
  std::string archive;
};

Fixture& Shared() {
  static Fixture* fixture = new Fixture;
  return *fixture;
}

void Report(benchmark::State& state, const kvrender::Report& report) {
  state.counters["triangles"] = static_cast<double>(report.triangles);
  state.counters["pixels"] = static_cast<double>(report.pixelsCovered);
}

void Render(benchmark::State& state) {
  Fixture& fixture = Shared();
  kvrender::Image image;
  kvrender::Report report;
  std::string error;
  for (auto _ : state) {
    if (!kvrender::Render(*fixture.scene, kvrender::Options{}, image, &report, error)) state.SkipWithError(error.c_str());
  }
  Report(state, report);
}
BENCHMARK(Render)->Unit(benchmark::kMillisecond);

void LoadAndRender(benchmark::State& state) {
  Fixture& fixture = Shared();
  kvrender::Image image;
  kvrender::Report report;
  std::string error;
  for (auto _ : state) {
    KvScene* scene = KvLoadScene(fixture.archive.c_str(), nullptr);
    if (scene == nullptr || !kvrender::Render(*scene, kvrender::Options{}, image, &report, error)) {
      state.SkipWithError("could not load or render the archive");
    }
    delete scene;
  }
  Report(state, report);
}
BENCHMARK(LoadAndRender)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
