// Whole exports of a skinned grid: a chain of joints, a grid mesh whose every
// vertex has four weights on neighbouring joints of the chain, and a small mesh
// hanging rigidly under the last joint. The chain length is the second argument:
// the time per export should not grow with it beyond the joints' own count.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <kvhost/Builder.h>
#include <kvhost/Scene.h>

#include "kv/ExportStages.h"
#include "kv/Runtime.h"
#include "kv/Scene.h"
#include "kv/String.h"

namespace {

void BuildSkinnedGrid(kvhost::Builder& build, int side, int jointCount) {
  std::vector<std::string> joints;
  for (int j = 0; j < jointCount; ++j) {
    const std::string parent = j == 0 ? std::string() : joints.back();
    joints.push_back(build.joint("j" + std::to_string(j), parent, {.t = {0, 0, j == 0 ? 0.0 : 0.1}, .r = {0, 1, 0}}));
  }
  build.bindPose("bindPose1", joints);

  kvhost::MeshSpec grid;
  kvhost::MeshSpec::UVSet uvs{"map1", {}, {}};
  for (int z = 0; z < side; ++z) {
    for (int x = 0; x < side; ++x) {
      grid.points.push_back({x * 0.1, 0.0, z * 0.1});
      uvs.uvs.push_back({x / (side - 1.0), z / (side - 1.0)});
    }
  }
  for (int z = 0; z + 1 < side; ++z) {
    for (int x = 0; x + 1 < side; ++x) {
      const int v = z * side + x;
      grid.faces.push_back({v, v + 1, v + side});
      grid.faces.push_back({v + 1, v + side + 1, v + side});
      uvs.faceUVs.push_back(grid.faces[grid.faces.size() - 2]);
      uvs.faceUVs.push_back(grid.faces.back());
    }
  }
  grid.uvSets.push_back(std::move(uvs));
  const std::string shape = build.deformableMesh("grid", grid);
  build.assign(shape, build.material("phong", "skin"));

  std::vector<std::vector<std::pair<int, double>>> weights;
  for (int v = 0; v < side * side; ++v) {
    const int first = (v * 7) % (jointCount - 3);
    weights.push_back({{first, 0.4}, {first + 1, 0.3}, {first + 2, 0.2}, {first + 3, 0.1}});
  }
  build.skinCluster("skinCluster1", shape, joints, weights, {}, "bindPose1");

  kvhost::MeshSpec box;
  box.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  box.faces = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
  build.mesh("hat", box, joints.back());
}

void BM_ExportSkinnedGrid(benchmark::State& state) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kv_bench_exporter";
  std::filesystem::create_directories(dir);
  setenv("MAYA_APP_DIR", dir.c_str(), 1);
  kvhost::Scene::get().reset();
  kvhost::Builder build;
  const int side = static_cast<int>(state.range(0));
  BuildSkinnedGrid(build, side, static_cast<int>(state.range(1)));

  KvRuntimeStartupDefault();
  RegisterSceneClasses();
  {
    const KvString out((dir / "grid.kvr").c_str());  // released before the runtime shuts down
    for (auto _ : state) benchmark::DoNotOptimize(ExportScene(out));
  }
  state.counters["vertices"] = side * side;
  ShutDownSceneClasses();
  KvRuntimeShutdown();
  kvhost::Scene::get().reset();
}

}  // namespace

BENCHMARK(BM_ExportSkinnedGrid)->Args({100, 8})->Args({100, 64})->Args({100, 256})->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
