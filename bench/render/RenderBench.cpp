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
#include "../SkinnedGrid.h"

namespace {

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

KvScene* BuildScene() {
  auto* material = new KvMaterial(KvName("skin"));
  material->SetAmbientColor(KvColor(0.1f, 0.1f, 0.1f, 1.0f));
  KvScene* scene = SkinnedGrid(material);
  KvTexture* texture = Checker(TempPath("kv_bench_render_checker.ppm"));
  scene->AddTexture(texture);
  material->SetDiffuseTexture(texture);
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
