// polyNormal: turns faces over. A face is reversed by walking each of its
// loops backwards from its first corner ([0 1 2 3] becomes [0 3 2 1]), its
// UVs with it. normalMode 0 reverses the listed faces; 3 also cuts them
// loose from the rest (their shared vertices are copied); 4 reverses the
// listed faces' whole shells; 1 and 2 make each shell consistent, with the
// listed faces (1) or with the orientation most of the shell has (2).

#include <algorithm>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

// Neighbours across each edge with whether they walk it the same way.
struct Adjacency {
  std::vector<std::vector<std::pair<int, bool>>> faces;  // per edge: (face, walks v0 -> v1)
};

Adjacency adjacency(const MeshTopology& t) {
  Adjacency a;
  a.faces.resize(t.edges.size());
  for (int f = 0; f < t.numFaces(); ++f)
    for (int i = t.faceStart[static_cast<size_t>(f)]; i < t.faceStart[static_cast<size_t>(f) + 1]; ++i) {
      const int code = t.faceEdges[static_cast<size_t>(i)];
      a.faces[static_cast<size_t>(code >= 0 ? code : -code - 1)].push_back({f, code >= 0});
    }
  return a;
}

// Which faces to flip so that, in each shell, faces agree with `seed`s'
// orientation (seeds keep theirs); unseeded shells follow their first face,
// or with `majority` flip whichever side has fewer faces.
std::vector<char> consistentFlips(const MeshTopology& t, const std::vector<char>& seed, bool majority) {
  const Adjacency adj = adjacency(t);
  std::vector<std::vector<int>> faceEdges(static_cast<size_t>(t.numFaces()));
  for (int f = 0; f < t.numFaces(); ++f)
    for (int i = t.faceStart[static_cast<size_t>(f)]; i < t.faceStart[static_cast<size_t>(f) + 1]; ++i) {
      const int code = t.faceEdges[static_cast<size_t>(i)];
      faceEdges[static_cast<size_t>(f)].push_back(code >= 0 ? code : -code - 1);
    }
  std::vector<int> state(static_cast<size_t>(t.numFaces()), -1);  // 0 keep, 1 flip
  std::vector<char> flips(static_cast<size_t>(t.numFaces()), 0);
  std::vector<int> order;
  // Seeded faces start first so their orientation spreads.
  for (int f = 0; f < t.numFaces(); ++f)
    if (seed[static_cast<size_t>(f)]) order.push_back(f);
  for (int f = 0; f < t.numFaces(); ++f)
    if (!seed[static_cast<size_t>(f)]) order.push_back(f);
  for (int start : order) {
    if (state[static_cast<size_t>(start)] >= 0) continue;
    std::vector<int> shell{start};
    state[static_cast<size_t>(start)] = 0;
    for (size_t k = 0; k < shell.size(); ++k) {
      const int f = shell[k];
      for (int e : faceEdges[static_cast<size_t>(f)]) {
        const auto& on = adj.faces[static_cast<size_t>(e)];
        bool mine = true;
        for (auto [g, forward] : on)
          if (g == f) mine = forward;
        for (auto [g, forward] : on) {
          if (g == f || state[static_cast<size_t>(g)] >= 0) continue;
          // Neighbours walk a shared edge in opposite directions when they agree.
          const bool agree = forward != mine;
          state[static_cast<size_t>(g)] = state[static_cast<size_t>(f)] ^ (agree ? 0 : 1);
          shell.push_back(g);
        }
      }
    }
    size_t flipped = 0;
    for (int f : shell) flipped += static_cast<size_t>(state[static_cast<size_t>(f)]);
    const bool invert = majority && !seed[static_cast<size_t>(start)] && flipped * 2 > shell.size();
    for (int f : shell) flips[static_cast<size_t>(f)] = static_cast<char>(state[static_cast<size_t>(f)] ^ (invert ? 1 : 0));
  }
  return flips;
}

std::shared_ptr<const MeshGeom> evaluateNormal(PolyEval& e) {
  const MeshGeom& in = e.input();
  auto topo = poly::withEdges(in.topo);
  const MeshTopology& t = *topo;
  const int count = t.numFaces();
  auto listed = e.components("ics", "f", count);
  std::vector<char> selected(static_cast<size_t>(count), listed ? 0 : 1);
  if (listed)
    for (int f : *listed) selected[static_cast<size_t>(f)] = 1;
  const int mode = e.integer("nm");
  std::vector<char> flip(static_cast<size_t>(count), 0);
  std::vector<MVector> points = in.points;
  std::vector<int> renumber;  // mode 3: vertex copies for the cut faces
  switch (mode) {
    case 0:
    case 3:
      flip = selected;
      break;
    case 4: {
      // Everything in a listed face's shell turns over with it.
      const Adjacency adj = adjacency(t);
      std::vector<int> shell(static_cast<size_t>(count), -1);
      int next = 0;
      for (int f = 0; f < count; ++f) {
        if (shell[static_cast<size_t>(f)] >= 0) continue;
        std::vector<int> stack{f};
        shell[static_cast<size_t>(f)] = next;
        while (!stack.empty()) {
          const int g = stack.back();
          stack.pop_back();
          for (int i = t.faceStart[static_cast<size_t>(g)]; i < t.faceStart[static_cast<size_t>(g) + 1]; ++i) {
            const int code = t.faceEdges[static_cast<size_t>(i)];
            for (auto [h, forward] : adj.faces[static_cast<size_t>(code >= 0 ? code : -code - 1)]) {
              (void)forward;
              if (shell[static_cast<size_t>(h)] < 0) {
                shell[static_cast<size_t>(h)] = next;
                stack.push_back(h);
              }
            }
          }
        }
        ++next;
      }
      std::vector<char> turned(static_cast<size_t>(next), 0);
      for (int f = 0; f < count; ++f)
        if (selected[static_cast<size_t>(f)]) turned[static_cast<size_t>(shell[static_cast<size_t>(f)])] = 1;
      for (int f = 0; f < count; ++f) flip[static_cast<size_t>(f)] = turned[static_cast<size_t>(shell[static_cast<size_t>(f)])];
      break;
    }
    case 1:
      flip = consistentFlips(t, selected, false);
      break;
    case 2:
      flip = consistentFlips(t, std::vector<char>(static_cast<size_t>(count), 0), true);
      break;
    default:
      return e.fail("has normal mode " + std::to_string(mode) + ", which the host does not know");
  }
  if (mode == 3) {
    // Vertices the reversed faces share with the others get a copy of their own.
    std::vector<char> usedOther(points.size(), 0), usedFlipped(points.size(), 0);
    for (int f = 0; f < count; ++f)
      for (int i = t.faceStart[static_cast<size_t>(f)]; i < t.faceStart[static_cast<size_t>(f) + 1]; ++i)
        (flip[static_cast<size_t>(f)] ? usedFlipped : usedOther)[static_cast<size_t>(t.faceVerts[static_cast<size_t>(i)])] = 1;
    const size_t before = points.size();
    renumber.resize(before);
    for (size_t v = 0; v < before; ++v) {
      renumber[v] = static_cast<int>(v);
      if (usedOther[v] && usedFlipped[v]) {
        renumber[v] = static_cast<int>(points.size());
        points.push_back(points[v]);
      }
    }
  }
  return poly::turnFaces(in, std::move(points), flip, renumber.empty() ? nullptr : &renumber);
}

const PolyFamily kNormal{PolyFamily::Input::Polymesh, evaluateNormal};

}  // namespace

void registerPolyNormal(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyNormal", "polyModifier", {});
  b.type().poly = &kNormal;
  b.num({"normalMode", "nm"}, NumType::Enum, 0);
  b.num({"userNormalMode", "unm"}, NumType::Bool, 1);
}

}  // namespace kvhost
