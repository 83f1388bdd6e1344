// polyUnite (Mesh > Combine): the input meshes one after the other, each
// moved by its world matrix (im[k]). Vertices, edges, faces and UVs keep
// their order within each input; UV sets are merged by name, in the order
// the inputs name them.

#include <algorithm>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

std::shared_ptr<const MeshGeom> evaluateUnite(PolyEval& e) {
  const auto& inputs = e.inputs();
  double vertices = 0, corners = 0;
  for (const auto& in : inputs) {
    vertices += static_cast<double>(in->points.size());
    corners += static_cast<double>(in->topo->faceVerts.size());
  }
  if (!e.within(vertices, "vertices") || !e.within(corners, "face vertices")) return nullptr;
  auto topo = std::make_shared<MeshTopology>();
  auto geom = std::make_shared<MeshGeom>();
  // The united UV sets, by name in order of appearance.
  std::vector<std::string> names;
  for (const auto& in : inputs)
    for (const auto& set : in->topo->uvSets)
      if (std::find(names.begin(), names.end(), set.name) == names.end()) names.push_back(set.name);
  topo->uvSets.resize(names.size());
  for (size_t s = 0; s < names.size(); ++s) topo->uvSets[s].name = names[s];
  int faceBase = 0;
  for (size_t k = 0; k < inputs.size(); ++k) {
    const MeshGeom& in = *inputs[k];
    const auto edged = poly::withEdges(in.topo);
    const MeshTopology& t = *edged;
    const MMatrix m = e.matrix("im", {e.inputIndex(k)});
    const int vertexBase = static_cast<int>(geom->points.size());
    const int edgeBase = static_cast<int>(topo->edges.size());
    for (const MVector& p : in.points) {
      const MPoint q = MPoint(p) * m;
      geom->points.emplace_back(poly::f32(q.x), poly::f32(q.y), poly::f32(q.z));
    }
    for (MeshTopology::Edge edge : t.edges) {
      edge.v0 += vertexBase;
      edge.v1 += vertexBase;
      topo->edges.push_back(edge);
    }
    const int cornerBase = static_cast<int>(topo->faceVerts.size());
    for (int v : t.faceVerts) topo->faceVerts.push_back(v + vertexBase);
    for (int code : t.faceEdges) topo->faceEdges.push_back(code >= 0 ? code + edgeBase : code - edgeBase);
    for (int h : t.holeStarts) topo->holeStarts.push_back(h + cornerBase);
    for (size_t f = 1; f < t.faceStart.size(); ++f) topo->faceStart.push_back(t.faceStart[f] + cornerBase);
    for (size_t s = 0; s < names.size(); ++s) {
      auto& out = topo->uvSets[s];
      auto it = std::find_if(t.uvSets.begin(), t.uvSets.end(), [&](const auto& set) { return set.name == names[s]; });
      if (it == t.uvSets.end()) {
        out.uvIds.insert(out.uvIds.end(), t.faceVerts.size(), -1);
        continue;
      }
      const int uvBase = static_cast<int>(out.u.size());
      out.u.insert(out.u.end(), it->u.begin(), it->u.end());
      out.v.insert(out.v.end(), it->v.begin(), it->v.end());
      for (int id : it->uvIds) out.uvIds.push_back(id >= 0 ? id + uvBase : -1);
    }
    for (const FaceGroup& g : in.groups) {
      FaceGroup moved{g.id, {}};
      for (int f : g.faces) moved.faces.push_back(f + faceBase);
      auto same = std::find_if(geom->groups.begin(), geom->groups.end(), [&](const FaceGroup& x) { return x.id == g.id; });
      if (same == geom->groups.end()) geom->groups.push_back(std::move(moved));
      else same->faces.insert(same->faces.end(), moved.faces.begin(), moved.faces.end());
    }
    faceBase += t.numFaces();
  }
  topo->numVertices = static_cast<int>(geom->points.size());
  geom->topo = std::move(topo);
  return geom;
}

const PolyFamily kUnite{PolyFamily::Input::Polymeshes, evaluateUnite};

}  // namespace

void registerPolyUnite(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyUnite", "polyCreator", {});
  b.type().poly = &kUnite;
  multi(b.typed({"inputPoly", "ip"}, DataType::Mesh));
  multi(b.typed({"inputMat", "im"}, DataType::Matrix));
  b.num({"mergeUVSets", "muv"}, NumType::Enum, 1);
  b.num({"useOldPolyArchitecture", "uopa"}, NumType::Bool, 0);
}

}  // namespace kvhost
