// deleteComponent: removes the faces, edges and vertices of its component
// list from the geometry flowing through. A deleted face goes; a deleted
// edge joins the two faces on it into one (the one earlier in order keeps its
// slot), or removes the face of a border edge; a deleted vertex on exactly
// two edges leaves the loops it lies on, any other deleted vertex takes its
// faces with it. Vertices, edges and UVs that no face uses any more are
// removed, and everything left keeps its order.

#include <algorithm>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

struct Face {
  std::vector<std::vector<int>> loops;  // offsets into the input's faceVerts
  bool alive = true;
};

std::shared_ptr<const MeshGeom> evaluateDeleteComponent(PolyEval& e) {
  const MeshGeom& in = e.input();
  const auto edged = poly::withEdges(in.topo);
  const MeshTopology& t = *edged;
  const int faceCount = t.numFaces();
  std::vector<Face> faces(static_cast<size_t>(faceCount));
  for (int f = 0; f < faceCount; ++f)
    for (auto [begin, end] : t.loops(f)) {
      std::vector<int> loop;
      for (int i = begin; i < end; ++i) loop.push_back(i);
      faces[static_cast<size_t>(f)].loops.push_back(std::move(loop));
    }
  auto vertexAt = [&](int offset) { return t.faceVerts[static_cast<size_t>(offset)]; };
  auto edgeAt = [&](int offset) {
    const int code = t.faceEdges[static_cast<size_t>(offset)];
    return code >= 0 ? code : -code - 1;
  };
  std::vector<int> faceOfOffset(t.faceVerts.size());
  for (int f = 0; f < faceCount; ++f)
    for (int i = t.faceStart[static_cast<size_t>(f)]; i < t.faceStart[static_cast<size_t>(f) + 1]; ++i)
      faceOfOffset[static_cast<size_t>(i)] = f;
  // Corners leaving each edge, for finding the faces on it.
  std::vector<std::vector<int>> onEdge(t.edges.size());
  for (size_t i = 0; i < t.faceVerts.size(); ++i) onEdge[static_cast<size_t>(edgeAt(static_cast<int>(i)))].push_back(static_cast<int>(i));

  if (auto list = e.components("dc", "f", faceCount))
    for (int f : *list) faces[static_cast<size_t>(f)].alive = false;

  // Edges: join the faces on both sides. `owner` follows faces that were
  // joined into another one.
  std::vector<int> owner(static_cast<size_t>(faceCount));
  for (int f = 0; f < faceCount; ++f) owner[static_cast<size_t>(f)] = f;
  auto ownerOf = [&](int f) {
    while (owner[static_cast<size_t>(f)] != f) f = owner[static_cast<size_t>(f)];
    return f;
  };
  if (auto list = e.components("dc", "e", static_cast<int>(t.edges.size())))
    for (int edge : *list) {
      const auto& corners = onEdge[static_cast<size_t>(edge)];
      if (corners.size() == 1) {
        faces[static_cast<size_t>(ownerOf(faceOfOffset[static_cast<size_t>(corners[0])]))].alive = false;
        continue;
      }
      if (corners.size() != 2) continue;
      const int fa = ownerOf(faceOfOffset[static_cast<size_t>(corners[0])]);
      const int fb = ownerOf(faceOfOffset[static_cast<size_t>(corners[1])]);
      if (fa == fb || !faces[static_cast<size_t>(fa)].alive || !faces[static_cast<size_t>(fb)].alive) continue;
      const int keep = std::min(fa, fb), gone = std::max(fa, fb);
      const int keepCorner = keep == fa ? corners[0] : corners[1], goneCorner = keep == fa ? corners[1] : corners[0];
      // Outer loops only: the kept loop from the corner after the edge round
      // to the edge, then the other loop likewise.
      auto& a = faces[static_cast<size_t>(keep)].loops.front();
      auto& b = faces[static_cast<size_t>(gone)].loops.front();
      auto ia = std::find(a.begin(), a.end(), keepCorner);
      auto ib = std::find(b.begin(), b.end(), goneCorner);
      if (ia == a.end() || ib == b.end()) continue;
      std::vector<int> joined;
      const size_t na = a.size(), nb = b.size(), pa = static_cast<size_t>(ia - a.begin()), pb = static_cast<size_t>(ib - b.begin());
      for (size_t k = 1; k <= na; ++k) joined.push_back(a[(pa + k) % na]);
      for (size_t k = 1; k < nb; ++k) joined.push_back(b[(pb + k) % nb]);
      // Both halves name the edge's first vertex where they meet: the
      // other face's copy of that corner goes.
      joined.erase(joined.begin() + static_cast<long>(na));
      // The kept face still starts where it started.
      auto start = std::find(joined.begin(), joined.end(), a.front());
      if (start != joined.end()) std::rotate(joined.begin(), start, joined.end());
      a = std::move(joined);
      auto& bl = faces[static_cast<size_t>(gone)].loops;
      faces[static_cast<size_t>(keep)].loops.insert(faces[static_cast<size_t>(keep)].loops.end(), bl.begin() + 1, bl.end());
      faces[static_cast<size_t>(gone)].alive = false;
      owner[static_cast<size_t>(gone)] = keep;
    }

  if (auto list = e.components("dc", "vtx", t.numVertices)) {
    std::vector<int> degree(static_cast<size_t>(t.numVertices), 0);
    for (const auto& edge : t.edges) {
      ++degree[static_cast<size_t>(edge.v0)];
      ++degree[static_cast<size_t>(edge.v1)];
    }
    std::vector<char> gone(static_cast<size_t>(t.numVertices), 0);
    for (int v : *list) gone[static_cast<size_t>(v)] = 1;
    for (Face& face : faces) {
      bool takes = false;
      for (auto& loop : face.loops) {
        std::vector<int> kept;
        for (int offset : loop) {
          const int v = vertexAt(offset);
          if (!gone[static_cast<size_t>(v)]) kept.push_back(offset);
          else if (degree[static_cast<size_t>(v)] != 2) takes = true;
        }
        loop = std::move(kept);
      }
      if (takes || face.loops.front().size() < 3) face.alive = false;
    }
  }

  poly::TopoBuilder out(t);
  for (int f = 0; f < faceCount; ++f) {
    const Face& face = faces[static_cast<size_t>(f)];
    if (!face.alive) continue;
    out.beginFace(f);
    for (size_t l = 0; l < face.loops.size(); ++l) {
      if (face.loops[l].size() < 3) continue;
      if (l > 0) out.beginHole();
      for (int offset : face.loops[l]) out.cornerFrom(t, offset, vertexAt(offset));
    }
    out.endFace();
  }
  // Remove what no face uses: vertices in finish(), then UVs.
  auto geom = out.finish(in.points, in, true);
  std::vector<char> all(static_cast<size_t>(geom->topo->numFaces()), 1);
  poly::Compacted tidy = poly::compact(*geom, all, true);
  return tidy.geom;
}

const PolyFamily kDeleteComponent{PolyFamily::Input::Geometry, evaluateDeleteComponent};

}  // namespace

void registerDeleteComponent(Scene::Impl& impl) {
  TypeBuilder b(impl, "deleteComponent", "dependNode", {});
  b.type().poly = &kDeleteComponent;
  b.typed({"inputGeometry", "ig"}, DataType::Mesh);
  computed(b.typed({"outputGeometry", "og"}, DataType::Mesh));
  b.typed({"deleteComponents", "dc"}, DataType::ComponentList);
  b.num({"useOldPolyArchitecture", "uopa"}, NumType::Bool, 0);
}

}  // namespace kvhost
