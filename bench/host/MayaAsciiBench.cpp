// Reading a large Maya ASCII scene: a skinned grid mesh written the way Maya
// writes it (vertices, edges, faces and UVs in chunks, compact weights in one
// statement), generated in memory.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <string>

#include <kvhost/MayaAscii.h>

namespace {

constexpr int kJoints = 100;
constexpr int kInfluences = 4;
constexpr int kChunk = 1000;

__attribute__((format(printf, 2, 3))) void append(std::string& s, const char* format, ...) {
  char buf[256];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  s.append(buf, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buf) - 1)));
}

// A side x side grid of vertices, quads between them, one UV per vertex, and
// four influences per vertex out of a chain of joints.
std::string skinnedGrid(int side) {
  const int verts = side * side;
  const int quads = (side - 1) * (side - 1);
  std::string s = "//Maya ASCII 2020 scene\nrequires maya \"2020\";\ncurrentUnit -l centimeter -a degree -t film;\n";
  for (int j = 0; j < kJoints; ++j) {
    if (j == 0) append(s, "createNode joint -n \"j0\";\n");
    else append(s, "createNode joint -n \"j%d\" -p \"j%d\";\n", j, j - 1);
    append(s, "\tsetAttr \".t\" -type \"double3\" 0 %g 0 ;\n", j == 0 ? 0.0 : 1.0);
  }
  append(s, "createNode transform -n \"grid\";\ncreateNode mesh -n \"gridShape\" -p \"grid\";\n");
  append(s, "\tsetAttr \".uvst[0].uvsn\" -type \"string\" \"map1\";\n\tsetAttr -s %d \".uvst[0].uvsp\";\n", verts);
  for (int a = 0; a < verts; a += kChunk) {
    int b = std::min(verts, a + kChunk) - 1;
    append(s, "\tsetAttr \".uvst[0].uvsp[%d:%d]\" -type \"float2\"", a, b);
    for (int v = a; v <= b; ++v) append(s, " %.6g %.6g", (v % side) / double(side), (v / side) / double(side));
    s += ";\n";
  }
  append(s, "\tsetAttr -s %d \".vt\";\n", verts);
  for (int a = 0; a < verts; a += kChunk) {
    int b = std::min(verts, a + kChunk) - 1;
    append(s, "\tsetAttr \".vt[%d:%d]\"", a, b);
    for (int v = a; v <= b; ++v) append(s, " %.9g %.9g 0", (v % side) * 0.01, (v / side) * 0.01);
    s += ";\n";
  }
  // Edges: per vertex a horizontal edge (to its right) and a vertical one (up).
  std::map<long long, int> edgeId;
  std::string edges;
  int numEdges = 0;
  auto edge = [&](int v0, int v1) {
    edgeId[static_cast<long long>(v0) * verts + v1] = numEdges++;
    append(edges, " %d %d 0", v0, v1);
  };
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      int v = y * side + x;
      if (x + 1 < side) edge(v, v + 1);
      if (y + 1 < side) edge(v, v + side);
    }
  append(s, "\tsetAttr -s %d \".ed\";\n", numEdges);
  // Edges go in chunks too; each edge is " v0 v1 0".
  size_t pos = 0;
  for (int a = 0; a < numEdges; a += kChunk) {
    int b = std::min(numEdges, a + kChunk) - 1;
    size_t end = pos;
    for (int k = a; k <= b; ++k)
      for (int spaces = 0; spaces < 3; ++spaces) end = edges.find(' ', end + 1);
    if (end == std::string::npos) end = edges.size();
    append(s, "\tsetAttr \".ed[%d:%d]\"", a, b);
    s.append(edges, pos, end - pos);
    s += ";\n";
    pos = end;
  }
  auto id = [&](int v0, int v1) {
    auto it = edgeId.find(static_cast<long long>(v0) * verts + v1);
    return it != edgeId.end() ? it->second : -edgeId.at(static_cast<long long>(v1) * verts + v0) - 1;
  };
  append(s, "\tsetAttr -s %d \".fc\";\n", quads);
  for (int a = 0; a < quads; a += kChunk) {
    int b = std::min(quads, a + kChunk) - 1;
    append(s, "\tsetAttr \".fc[%d:%d]\" -type \"polyFaces\"", a, b);
    for (int f = a; f <= b; ++f) {
      int x = f % (side - 1), y = f / (side - 1), v = y * side + x;
      int c[4] = {v, v + 1, v + 1 + side, v + side};
      append(s, "\n\t\tf 4 %d %d %d %d", id(c[0], c[1]), id(c[1], c[2]), id(c[2], c[3]), id(c[3], c[0]));
      append(s, "\n\t\tmu 0 4 %d %d %d %d", c[0], c[1], c[2], c[3]);
    }
    s += ";\n";
  }
  append(s, "createNode skinCluster -n \"skin\";\n\tsetAttr -s %d \".wl\";\n\tsetAttr \".wl[0:%d].w\"", verts, verts - 1);
  for (int v = 0; v < verts; ++v) {
    int first = (v * 7) % (kJoints - kInfluences);
    append(s, "\n\t\t%d %d 0.4 %d 0.3 %d 0.2 %d 0.1", kInfluences, first, first + 1, first + 2, first + 3);
  }
  s += ";\n";
  for (int j = 0; j < kJoints; ++j) {
    append(s, "connectAttr \"j%d.wm\" \"skin.ma[%d]\";\n", j, j);
  }
  s += "connectAttr \"grid.msg\" \"skin.gm\";\n";
  return s;
}

const std::string& scene(int side) {
  static std::map<int, std::string> cache;
  auto it = cache.find(side);
  if (it == cache.end()) it = cache.emplace(side, skinnedGrid(side)).first;
  return it->second;
}

void BM_ReadSkinnedGrid(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const std::string& text = scene(side);
  for (auto _ : state) {
    kvhost::MayaAsciiResult r = kvhost::readMayaAsciiString(text, "grid.ma");
    if (!r.success) {
      state.SkipWithError(r.error.c_str());
      break;
    }
    benchmark::DoNotOptimize(r.stats.statements);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["vertices"] = side * side;
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ReadSkinnedGrid)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
