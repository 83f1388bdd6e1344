// Saving and loading object graphs through the archive: many small objects (the
// object and name tables) and large value arrays (the per-value path).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "kv/Archive.h"
#include "kv/Object.h"
#include "kv/Runtime.h"

namespace {

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

// A root with `objects` children, each named uniquely, holding `floats` values and
// pointing at its predecessor.
BenchNode* MakeGraph(int objects, int floats) {
  auto* root = new BenchNode;
  BenchNode* previous = nullptr;
  for (int i = 0; i < objects; ++i) {
    auto* node = new BenchNode;
    node->SetName(KvName(("node" + std::to_string(i)).c_str()));
    for (int f = 0; f < floats; ++f) node->values.PushBack(static_cast<float>(f));
    node->sibling = previous;
    previous = node;
    root->children.PushBack(node);
  }
  return root;
}

const std::string kPath = "/tmp/kv_bench_archive.kvr";

void BM_Save(benchmark::State& state) {
  KvRuntimeStartupDefault();
  BenchNode* root = MakeGraph(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) benchmark::DoNotOptimize(KvSaveObject(root, kPath.c_str(), nullptr, 0.01f));
  state.SetItemsProcessed(state.iterations() * state.range(0));
  delete root;
  KvRuntimeShutdown();
}

void BM_Load(benchmark::State& state) {
  KvRuntimeStartupDefault();
  BenchNode* root = MakeGraph(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  KvSaveObject(root, kPath.c_str(), nullptr, 0.01f);
  delete root;
  for (auto _ : state) {
    KvArchive archive(KvArchiveStoreFile::Create(kPath.c_str()), KvArchive::kModeLoad, 0);
    archive.Open();
    KvArray<KvObject*> unowned;
    KvObject* loaded = archive.LoadRoot(BenchNode::StaticClass(), unowned);
    archive.Close();
    delete loaded;
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  std::remove(kPath.c_str());
  KvRuntimeShutdown();
}

BENCHMARK(BM_Save)->Args({1000, 16})->Args({10000, 16})->Args({10, 1000000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Args({1000, 16})->Args({10000, 16})->Args({10, 1000000})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
