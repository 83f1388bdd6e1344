// Archive save and load throughput, each timed next to a raw transfer of the same
// bytes in the same loop:
//
//   Save/<case>   KvSaveObject (counting pass, then the file pass through the
//                 atomic file store) beside fwrite of the archive's bytes to a file;
//                 both write new files (the names are removed, untimed, before
//                 each iteration). Save/<case>_replace writes both over files of
//                 the same size that are already there: the raw write truncates
//                 its old file, the save renames its temporary file over the old
//                 one, and each pays for dropping the old file's cached pages
//   Load/<case>   loading the archive back into objects beside fread of the file
//                 into a freshly allocated buffer
//
// The reported time is the archive's; `raw_ms` is the raw transfer's, and `ratio`
// is the archive's time over the raw one (sums over all iterations). `cpu_ratio`
// is the same ratio of the process's CPU time (user and system), which other
// work on a shared machine disturbs less than wall time. The cases:
//
//   Scene1M       a 1000 x 1000 vertex grid (1,996,002 triangles) skinned to a
//                 chain of 100 joints with four influences per vertex, one
//                 material, a light and a camera, built through the scene model
//   Meshes10k     10,000 small named meshes (a cube each: 8 vertices, 12
//                 triangles, skinned to two of 1,000 joints) with 100 materials
//   Nodes100k     100,000 named objects of a small test class, each with 16 floats
//                 and a reference to its predecessor
//   Meshes1k, Nodes10k   the same with a tenth of the meshes or objects: a cost
//                 that grows faster than the size shows as a higher ms per MB
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ctime>
#include <string>
#include <vector>

#include "kv/Archive.h"
#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Object.h"
#include "kv/Runtime.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"
#include "SkinnedGrid.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string TempPath(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Wall and CPU seconds of the archive's work and of the raw transfer.
struct Times {
  double archive = 0, raw = 0, archiveCpu = 0, rawCpu = 0;
};

class BenchNode : public KvNamedObject {
  KV_DECLARE_CLASS(BenchNode)
  ~BenchNode() override {
    for (BenchNode* child : children) delete child;
  }
  void Serialize(KvArchive& archive) override {
    KvNamedObject::Serialize(archive);
    archive.SerializeClassVersion("BenchNode");
    archive.Serialize(values);
    archive.SerializeObject(sibling);
    archive.SerializeArray(children, [&archive](BenchNode*& child) { archive.SerializeOwnedObject(child); }, 4);
  }
  KvArray<float> values;
  BenchNode* sibling = nullptr;
  KvArray<BenchNode*> children;
};
KV_IMPLEMENT_CLASS(BenchNode, 0, KvNamedObject)

KvObject* MakeNodes(int count) {
  auto* root = new BenchNode;
  BenchNode* previous = nullptr;
  for (int i = 0; i < count; ++i) {
    auto* node = new BenchNode;
    node->SetName(KvName(("node" + std::to_string(i)).c_str()));
    for (int f = 0; f < 16; ++f) node->values.PushBack(static_cast<float>(f));
    node->sibling = previous;
    previous = node;
    root->children.PushBack(node);
  }
  return root;
}

KvObject* MakeScene1M() { return SkinnedGrid(new KvMaterial(KvName("skin"))); }

KvObject* MakeMeshes(int meshCount) {
  constexpr int kJoints = 1000;
  constexpr int kMaterials = 100;
  static const uint32_t kCube[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                        {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
  auto* scene = new KvScene;
  std::vector<KvJoint*> joints;
  KvSkeleton* skeleton = JointChain(kJoints, joints);
  scene->AddSkeleton(skeleton);
  std::vector<KvMaterial*> materials;
  for (int m = 0; m < kMaterials; ++m) {
    materials.push_back(new KvMaterial(KvName(("material" + std::to_string(m)).c_str())));
    scene->AddMaterial(materials.back());
  }
  for (int i = 0; i < meshCount; ++i) {
    auto* mesh = new KvMesh;
    mesh->SetName(KvName(("mesh" + std::to_string(i)).c_str()));
    mesh->SetNumVertices(8);
    mesh->SetNumTexCoords(8);
    KvJoint* joint = joints[static_cast<size_t>(i % (kJoints - 1))];
    for (uint32_t v = 0; v < 8; ++v) {
      KvVertex vertex;
      vertex.position = KvVec3{static_cast<float>(v & 1) + i, static_cast<float>((v >> 1) & 1), static_cast<float>(v >> 2)};
      vertex.firstInfluence = 2 * v;
      vertex.influenceCount = 2;
      mesh->AddVertex(vertex);
      mesh->AddTexCoord(KvTexCoord{static_cast<float>(v & 1), static_cast<float>(v >> 2)});
      for (KvJoint* target : {joint, joint->GetParent() != nullptr ? joint->GetParent() : joint}) {
        KvVertexInfluence influence;
        influence.joint = target;
        influence.weight = 0.5f;
        influence.positionOffset = vertex.position;
        mesh->AddInfluence(influence);
      }
    }
    auto* surface = new KvSurface(mesh);
    surface->SetNumTriangles(12);
    for (const auto& t : kCube) surface->AddTriangle(KvTriangle{{t[0], t[1], t[2]}, {t[0], t[1], t[2]}});
    surface->SetMaterial(materials[static_cast<size_t>(i % kMaterials)]);
    mesh->AddSurface(surface);
    mesh->SetSkeleton(skeleton);
    mesh->ComputeNormals();
    scene->AddMesh(mesh);
  }
  return scene;
}

// One case: its object graph in memory, its archive on disk and the archive's
// bytes in memory, made once per process.
struct Case {
  KvObject* root = nullptr;
  std::string path;
  std::vector<uint8_t> bytes;
};

Case& Shared(int which) {
  static bool started = false;
  if (!started) {
    KvRuntimeStartupDefault();
    RegisterSceneClasses();
    BenchNode::StaticClass();
    started = true;
  }
  static std::unique_ptr<Case> cases[5];
  if (cases[which] == nullptr) {
    auto made = std::make_unique<Case>();
    static constexpr int kCounts[5] = {0, 10000, 100000, 1000, 10000};
    if (which == 0) {
      made->root = MakeScene1M();
    } else if (which == 1 || which == 3) {
      made->root = MakeMeshes(kCounts[which]);
    } else {
      made->root = MakeNodes(kCounts[which]);
    }
    made->path = TempPath(("kv_bench_archive_" + std::to_string(which) + ".kvr").c_str());
    KvSaveObject(made->root, made->path.c_str(), nullptr, 0.01f);
    std::FILE* file = std::fopen(made->path.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    made->bytes.resize(static_cast<size_t>(std::ftell(file)));
    std::fseek(file, 0, SEEK_SET);
    if (std::fread(made->bytes.data(), 1, made->bytes.size(), file) != made->bytes.size()) made->bytes.clear();
    std::fclose(file);
    cases[which] = std::move(made);
  }
  return *cases[which];
}

const KvClass* RootClass(int which) {
  return which == 2 || which == 4 ? BenchNode::StaticClass() : KvScene::StaticClass();
}

void Finish(benchmark::State& state, const Case& shared, const Times& times) {
  const double iterations = static_cast<double>(state.iterations());
  state.counters["MB"] = static_cast<double>(shared.bytes.size()) / 1e6;
  state.counters["raw_ms"] = times.raw / iterations * 1e3;
  state.counters["ratio"] = times.raw > 0 ? times.archive / times.raw : 0.0;
  state.counters["cpu_ratio"] = times.rawCpu > 0 ? times.archiveCpu / times.rawCpu : 0.0;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(shared.bytes.size()));
}

bool WriteRaw(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* raw = std::fopen(path.c_str(), "wb");
  if (raw == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), raw) == bytes.size();
  return std::fclose(raw) == 0 && written;
}

void Save(benchmark::State& state, int which, bool replace) {
  Case& shared = Shared(which);
  const std::string rawPath = TempPath("kv_bench_archive_raw.kvr");
  const std::string savePath = TempPath("kv_bench_archive_saved.kvr");
  if (replace && !(WriteRaw(rawPath, shared.bytes) && WriteRaw(savePath, shared.bytes))) {
    state.SkipWithError("cannot write the files to replace");
  }
  Times times;
  for (auto _ : state) {
    if (!replace) {
      std::remove(rawPath.c_str());
      std::remove(savePath.c_str());
    }
    Clock::time_point start = Clock::now();
    double cpu = CpuSeconds();
    const bool rawWritten = WriteRaw(rawPath, shared.bytes);
    times.raw += Seconds(start);
    times.rawCpu += CpuSeconds() - cpu;

    start = Clock::now();
    cpu = CpuSeconds();
    KvSaveResult result;
    KvSaveObject(shared.root, savePath.c_str(), nullptr, 0.01f, &result);
    const double seconds = Seconds(start);
    times.archive += seconds;
    times.archiveCpu += CpuSeconds() - cpu;
    state.SetIterationTime(seconds);
    if (!rawWritten || !result.written) state.SkipWithError("a write failed");
  }
  std::remove(rawPath.c_str());
  std::remove(savePath.c_str());
  Finish(state, shared, times);
}

void Load(benchmark::State& state, int which) {
  Case& shared = Shared(which);
  Times times;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    double cpu = CpuSeconds();
    std::FILE* raw = std::fopen(shared.path.c_str(), "rb");
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[shared.bytes.size()]);
    const bool rawRead = std::fread(buffer.get(), 1, shared.bytes.size(), raw) == shared.bytes.size();
    std::fclose(raw);
    benchmark::DoNotOptimize(buffer.get());
    times.raw += Seconds(start);
    times.rawCpu += CpuSeconds() - cpu;
    buffer.reset();  // untimed, as the loaded objects' destruction is

    start = Clock::now();
    cpu = CpuSeconds();
    KvArchive archive(KvArchiveStoreFile::Create(shared.path.c_str()), KvArchive::kModeLoad, 0);
    archive.Open();
    KvArray<KvObject*> unowned;
    KvObject* loaded = archive.LoadRoot(RootClass(which), unowned);
    archive.Close();
    const double seconds = Seconds(start);
    times.archive += seconds;
    times.archiveCpu += CpuSeconds() - cpu;
    state.SetIterationTime(seconds);
    if (!rawRead || loaded == nullptr || !unowned.Empty()) state.SkipWithError("a load failed");
    delete loaded;
  }
  Finish(state, shared, times);
}

BENCHMARK_CAPTURE(Save, Scene1M, 0, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, Scene1M_replace, 0, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, Meshes10k, 1, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, Nodes100k, 2, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, Meshes1k, 3, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, Nodes10k, 4, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, Scene1M, 0)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, Meshes10k, 1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, Nodes100k, 2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, Meshes1k, 3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, Nodes10k, 4)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
