// polyMergeVert: vertices of the component list closer than `distance`
// become one, at the mean of their positions and with the lowest index of
// the group; the others are removed and the rest renumbered in order. Faces
// lose the corners that fall together, and faces left with fewer than three
// corners go. With alwaysMergeTwoVertices, exactly two listed vertices merge
// whatever their distance.

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

int findRoot(std::vector<int>& parent, int v) {
  while (parent[static_cast<size_t>(v)] != v) {
    parent[static_cast<size_t>(v)] = parent[static_cast<size_t>(parent[static_cast<size_t>(v)])];
    v = parent[static_cast<size_t>(v)];
  }
  return v;
}

std::shared_ptr<const MeshGeom> evaluateMergeVert(PolyEval& e) {
  const MeshGeom& in = e.input();
  const MeshTopology& t = *in.topo;
  const int nv = static_cast<int>(in.points.size());
  // Listed vertices, also through listed faces and edges; none listed: all.
  std::vector<char> listed(static_cast<size_t>(nv), 0);
  auto vertices = e.components("ics", "vtx", nv);
  if (!vertices) std::fill(listed.begin(), listed.end(), 1);
  else {
    for (int v : *vertices) listed[static_cast<size_t>(v)] = 1;
    if (auto faces = e.components("ics", "f", t.numFaces()))
      for (int f : *faces)
        for (int i = t.faceStart[static_cast<size_t>(f)]; i < t.faceStart[static_cast<size_t>(f) + 1]; ++i)
          listed[static_cast<size_t>(t.faceVerts[static_cast<size_t>(i)])] = 1;
    if (auto edges = e.components("ics", "e", static_cast<int>(t.edges.size())))
      for (int x : *edges) {
        listed[static_cast<size_t>(t.edges[static_cast<size_t>(x)].v0)] = 1;
        listed[static_cast<size_t>(t.edges[static_cast<size_t>(x)].v1)] = 1;
      }
  }
  std::vector<int> parent(static_cast<size_t>(nv));
  std::iota(parent.begin(), parent.end(), 0);
  auto unite = [&](int a, int b) {
    a = findRoot(parent, a);
    b = findRoot(parent, b);
    if (a != b) parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
  };
  const double distance = std::max(0.0, e.number("d"));
  const int count = static_cast<int>(std::count(listed.begin(), listed.end(), 1));
  if (e.flag("am") && count == 2) {
    int a = -1;
    for (int v = 0; v < nv; ++v)
      if (listed[static_cast<size_t>(v)]) a < 0 ? void(a = v) : unite(a, v);
  } else {
    // Neighbours found through a grid of cells `distance` wide.
    const double cell = std::max(distance, 1e-9);
    std::unordered_map<uint64_t, std::vector<int>> grid;
    auto cellOf = [&](double x) { return static_cast<int64_t>(std::floor(x / cell)); };
    auto key = [](int64_t x, int64_t y, int64_t z) {
      return (static_cast<uint64_t>(x) * 73856093u) ^ (static_cast<uint64_t>(y) * 19349663u) ^ (static_cast<uint64_t>(z) * 83492791u);
    };
    for (int v = 0; v < nv; ++v) {
      if (!listed[static_cast<size_t>(v)]) continue;
      const MVector& p = in.points[static_cast<size_t>(v)];
      const int64_t cx = cellOf(p.x), cy = cellOf(p.y), cz = cellOf(p.z);
      for (int64_t dx = -1; dx <= 1; ++dx)
        for (int64_t dy = -1; dy <= 1; ++dy)
          for (int64_t dz = -1; dz <= 1; ++dz) {
            auto it = grid.find(key(cx + dx, cy + dy, cz + dz));
            if (it == grid.end()) continue;
            for (int w : it->second)
              if ((in.points[static_cast<size_t>(w)] - p).length() <= distance) unite(w, v);
          }
      grid[key(cx, cy, cz)].push_back(v);
    }
  }
  // Survivors, renumbered in order, at the mean of their group.
  std::vector<int> newIndex(static_cast<size_t>(nv), -1);
  std::vector<MVector> sum;
  std::vector<int> members;
  for (int v = 0; v < nv; ++v) {
    const int root = findRoot(parent, v);
    if (root == v) {
      newIndex[static_cast<size_t>(v)] = static_cast<int>(sum.size());
      sum.push_back(MVector());
      members.push_back(0);
    }
    const int n = newIndex[static_cast<size_t>(root)];
    sum[static_cast<size_t>(n)] += in.points[static_cast<size_t>(v)];
    ++members[static_cast<size_t>(n)];
  }
  for (int v = 0; v < nv; ++v) newIndex[static_cast<size_t>(v)] = newIndex[static_cast<size_t>(findRoot(parent, v))];
  std::vector<MVector> points(sum.size());
  for (size_t n = 0; n < sum.size(); ++n) {
    const MVector p = sum[n] / members[n];
    points[n] = members[n] == 1 ? sum[n] : MVector(poly::f32(p.x), poly::f32(p.y), poly::f32(p.z));
  }
  poly::TopoBuilder out(t);
  for (auto& edge : out.edges()) {
    edge.v0 = newIndex[static_cast<size_t>(edge.v0)];
    edge.v1 = newIndex[static_cast<size_t>(edge.v1)];
  }
  for (int f = 0; f < t.numFaces(); ++f) {
    // Loops without the corners that merged into their predecessor.
    std::vector<std::vector<int>> loops;
    for (auto [begin, end] : t.loops(f)) {
      std::vector<int> kept;
      for (int i = begin; i < end; ++i) {
        const int v = newIndex[static_cast<size_t>(t.faceVerts[static_cast<size_t>(i)])];
        if (!kept.empty() && newIndex[static_cast<size_t>(t.faceVerts[static_cast<size_t>(kept.back())])] == v) continue;
        kept.push_back(i);
      }
      while (kept.size() > 1 && newIndex[static_cast<size_t>(t.faceVerts[static_cast<size_t>(kept.front())])] ==
                                    newIndex[static_cast<size_t>(t.faceVerts[static_cast<size_t>(kept.back())])])
        kept.pop_back();
      if (kept.size() >= 3 || loops.empty()) loops.push_back(std::move(kept));
    }
    if (loops.front().size() < 3) continue;
    out.beginFace(f);
    for (size_t l = 0; l < loops.size(); ++l) {
      if (l > 0) out.beginHole();
      for (int i : loops[l]) out.cornerFrom(t, i, newIndex[static_cast<size_t>(t.faceVerts[static_cast<size_t>(i)])]);
    }
    out.endFace();
  }
  return out.finish(std::move(points), in, false);
}

const PolyFamily kMergeVert{PolyFamily::Input::Polymesh, evaluateMergeVert};

}  // namespace

void registerPolyMergeVert(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyMergeVert", "polyModifierWorld", {});
  b.type().poly = &kMergeVert;
  b.num({"distance", "d"}, NumType::Distance, 0.0);
  b.num({"alwaysMergeTwoVertices", "am"}, NumType::Bool, 0);
  b.typed({"mergeToComponents", "mtc"}, DataType::String);
  b.num({"texture", "tx"}, NumType::Bool, 1);
}

}  // namespace kvhost
