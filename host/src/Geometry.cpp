// Mesh geometry as a shape holds it: stored on the shape (vertices, edges,
// polyFaces, UV sets) or arriving through its inMesh from construction
// history, plus the shape's own tweaks; and the geometry the API sees, which
// the host may triangulate.

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "Core.h"
#include "poly/MeshOps.h"
#include "poly/PolyNodes.h"

namespace kvhost {

namespace {

// Marks a node as being evaluated for as long as it lives, so that a history
// loop coming back to it is noticed.
struct Evaluating {
  Node& node;
  explicit Evaluating(Node& n) : node(n) { node.evaluating = true; }
  ~Evaluating() { node.evaluating = false; }
  Evaluating(const Evaluating&) = delete;
  Evaluating& operator=(const Evaluating&) = delete;
};

// Dense size of a stored multi (its largest index + 1), or -1 when the
// indices are far sparser than any mesh Maya writes.
int denseCount(const SlotSub* elems) {
  if (!elems || elems->indices.empty()) return 0;
  size_t count = static_cast<size_t>(elems->indices.back()) + 1;
  return count > 2 * elems->indices.size() + 65536 ? -1 : static_cast<int>(count);
}

std::shared_ptr<const MeshGeom> storedGeometry(Node& shape, std::string* error) {
  auto topo = std::make_shared<MeshTopology>();
  auto geom = std::make_shared<MeshGeom>();
  const SlotSub* vt = elementsOf(shape, keyOf(shape, "vt"));
  const SlotSub* ed = elementsOf(shape, keyOf(shape, "ed"));
  int nv = denseCount(vt), ne = denseCount(ed);
  if (nv < 0 || ne < 0) {
    if (error) *error = std::string(nv < 0 ? "vertex" : "edge") + " indices lie far beyond the stored " +
                        (nv < 0 ? "vertices" : "edges");
    return nullptr;
  }
  geom->points.assign(static_cast<size_t>(nv), MVector());
  if (vt)
    for (size_t i = 0; i < vt->indices.size(); ++i) {
      if (vt->kind(i) != Value::Tuple) continue;
      const auto n = vt->numbers(i);
      geom->points[static_cast<size_t>(vt->indices[i])] = MVector(n[0], n[1], n[2]);
    }
  topo->numVertices = nv;
  // Edges with their smooth flags; an end outside the vertices becomes vertex 0.
  std::vector<MeshTopology::Edge>& edges = topo->edges;
  if (ed) {
    edges.assign(static_cast<size_t>(ne), {});
    auto vertex = [nv](double d) {
      int v = toInt(d);
      return v >= 0 && v < nv ? v : 0;
    };
    for (size_t i = 0; i < ed->indices.size(); ++i) {
      const auto n = ed->numbers(i);
      edges[static_cast<size_t>(ed->indices[i])] = {vertex(n[0]), vertex(n[1]), n[2] != 0.0};
    }
  }
  // UV sets in uvst index order.
  std::unordered_map<int, int> setPos;
  if (const SlotSub* uvst = elementsOf(shape, keyOf(shape, "uvst"))) {
    for (size_t i = 0; i < uvst->indices.size(); ++i) {
      int logical = uvst->indices[i];
      MeshTopology::UVSet set;
      Value name;
      if (readValue(keyOf(shape, "uvsn", {logical, -1}), name) && name.kind == Value::DataValue)
        if (auto s = std::dynamic_pointer_cast<const StringData>(name.data)) set.name = s->value;
      if (set.name.empty()) set.name = logical == 0 ? "map1" : "uvSet" + std::to_string(logical);
      if (const SlotSub* pts = elementsOf(shape, keyOf(shape, "uvsp", {logical, -1}))) {
        int dense = denseCount(pts);
        if (dense < 0) {
          if (error) *error = "UV indices lie far beyond the stored UVs";
          return nullptr;
        }
        size_t count = static_cast<size_t>(dense);
        set.u.assign(count, 0.0f);
        set.v.assign(count, 0.0f);
        for (size_t j = 0; j < pts->indices.size(); ++j) {
          const auto p = pts->numbers(j);
          set.u[static_cast<size_t>(pts->indices[j])] = static_cast<float>(p[0]);
          set.v[static_cast<size_t>(pts->indices[j])] = static_cast<float>(p[1]);
        }
      }
      setPos[logical] = static_cast<int>(topo->uvSets.size());
      topo->uvSets.push_back(std::move(set));
    }
  }
  // Faces: the i-th vertex of a loop is where its i-th directed edge starts.
  // A loop naming an edge that does not exist keeps vertex 0 there and
  // leaves the mesh without per-face edges (modifiers derive them).
  bool edgesValid = true;
  auto edgeStart = [&](int e) {
    size_t idx = static_cast<size_t>(e >= 0 ? e : -(static_cast<int64_t>(e) + 1));
    if (idx >= edges.size()) {
      edgesValid = false;
      return 0;
    }
    return e >= 0 ? edges[idx].v0 : edges[idx].v1;
  };
  // Faces in ascending index; the last one set for an index wins, and
  // indices never set make no face. Files set them in order.
  Node::StoredFaces& stored = shape.faces;
  stored.restore();
  struct Run {
    int index;
    int64_t first, end;
  };
  std::vector<Run> runs(stored.faces.size());
  for (size_t f = 0; f < runs.size(); ++f)
    runs[f] = {stored.faces[f].index, stored.faces[f].first,
               f + 1 < runs.size() ? stored.faces[f + 1].first : static_cast<int64_t>(stored.edges.size())};
  if (std::adjacent_find(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.index >= b.index; }) !=
      runs.end())
    std::stable_sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.index < b.index; });
  // Each stored UV list, by its set's place among the mesh's sets.
  // The faces can be let go once decoded when the topology keeps all they
  // hold: every UV list and UV id, every edge.
  bool whole = true;
  std::vector<std::pair<const std::vector<int>*, MeshTopology::UVSet*>> uvLists;
  std::vector<std::pair<int, int>> storedSets;
  for (const auto& uv : stored.uvs)
    if (auto it = setPos.find(uv.set); it != setPos.end()) {
      uvLists.emplace_back(&uv.ids, &topo->uvSets[static_cast<size_t>(it->second)]);
      storedSets.emplace_back(uv.set, it->second);
    } else {
      whole = false;
    }
  topo->faceStart.reserve(runs.size() + 1);
  topo->faceVerts.reserve(stored.edges.size());
  topo->faceEdges.reserve(stored.edges.size());
  for (auto& set : topo->uvSets) set.uvIds.reserve(stored.edges.size());
  for (size_t r = 0; r < runs.size(); ++r) {
    const Run& run = runs[r];
    if (r + 1 < runs.size() && runs[r + 1].index == run.index) continue;
    const size_t faceFirst = topo->faceVerts.size();
    // The face's holes start after its first corner, up to its end (an empty last loop).
    auto hole = std::upper_bound(stored.holes.begin(), stored.holes.end(), run.first);
    for (int64_t c = run.first;; ++c) {
      for (; hole != stored.holes.end() && *hole == c; ++hole)
        topo->holeStarts.push_back(static_cast<int>(topo->faceVerts.size()));
      if (c == run.end) break;
      const int e = stored.edges[static_cast<size_t>(c)];
      topo->faceVerts.push_back(edgeStart(e));
      topo->faceEdges.push_back(e);
    }
    for (auto& set : topo->uvSets) set.uvIds.resize(topo->faceVerts.size(), -1);
    for (auto [ids, set] : uvLists)
      for (int64_t c = run.first; c < run.end && static_cast<size_t>(c) < ids->size(); ++c) {
        const int id = (*ids)[static_cast<size_t>(c)];
        const bool held = id >= 0 && static_cast<size_t>(id) < set->u.size();
        if (id >= 0 && !held) whole = false;
        set->uvIds[faceFirst + static_cast<size_t>(c - run.first)] = held ? id : -1;
      }
    topo->faceStart.push_back(static_cast<int>(topo->faceVerts.size()));
  }
  for (auto& set : topo->uvSets) set.uvIds.resize(topo->faceVerts.size(), -1);
  if (!edgesValid) topo->faceEdges.clear();
  if (nv == 0) {
    // Faces and edges name vertices the mesh does not store: none of them stand.
    topo->faceStart.assign(1, 0);
    topo->faceVerts.clear();
    topo->faceEdges.clear();
    topo->holeStarts.clear();
    topo->edges.clear();
    for (auto& set : topo->uvSets) set.uvIds.clear();
  }
  if (nv > 0 && edgesValid && whole && !stored.faces.empty()) stored.release(topo, std::move(storedSets));
  geom->topo = topo;
  return geom;
}

bool hasStoredGeometry(Node& shape) {
  const SlotSub* vt = elementsOf(shape, keyOf(shape, "vt"));
  return (vt && !vt->indices.empty()) || !shape.faces.empty();
}


}  // namespace

void Node::StoredFaces::release(std::shared_ptr<const MeshTopology> topo, std::vector<std::pair<int, int>> sets) {
  decoded = std::move(topo);
  decodedSets = std::move(sets);
  std::vector<Face>().swap(faces);
  std::vector<int>().swap(edges);
  std::vector<int64_t>().swap(holes);
  std::vector<UVs>().swap(uvs);
}

void Node::StoredFaces::restore() {
  if (!decoded) return;
  const MeshTopology& t = *decoded;
  faces.resize(static_cast<size_t>(t.numFaces()));
  for (size_t f = 0; f < faces.size(); ++f) faces[f] = {static_cast<int>(f), t.faceStart[f]};
  edges = t.faceEdges;
  holes.assign(t.holeStarts.begin(), t.holeStarts.end());
  uvs.clear();
  for (auto [set, pos] : decodedSets) uvs.push_back({set, t.uvSets[static_cast<size_t>(pos)].uvIds});
  decoded.reset();
  decodedSets.clear();
}

std::shared_ptr<const MeshGeom> plugGeometry(const PlugKey& key, std::string* error) {
  Node& node = *key.node;
  node.genValid = true;
  const std::string& attr = key.attr->shortName;
  if (node.hasFn(MFn::kMesh) && (attr == "o" || attr == "w")) return shapeGeometry(node, error);
  if (node.evaluating) {
    if (error) *error = "'" + node.name + "' (" + node.typeName + ") feeds its own input";
    return nullptr;
  }
  Evaluating guard(node);
  if (node.type->poly) return polyNodeOutput(node, key, error);
  if (attr == "og" && (node.hasFn(MFn::kGeometryFilt) || node.hasFn(MFn::kGroupParts)))
    return deformerOutput(node, key.idx.empty() ? 0 : std::max(0, key.idx.back()), error);
  if (error) {
    // Placeholder connections of a reference that did not load.
    if (node.typeName == "reference") *error = "its input comes from '" + node.name + "', a file reference that is not loaded";
    else *error = "'" + node.name + "' (" + node.typeName + ") is not supported";
  }
  return nullptr;
}

std::shared_ptr<const MeshGeom> shapeGeometry(Node& shape, std::string* error) {
  shape.genValid = true;
  if (shape.shapeCache) return shape.shapeCache;
  if (shape.shapeCacheFailed) {
    if (error) *error = shape.shapeError;
    return nullptr;
  }
  if (shape.evaluating) {
    if (error) *error = "mesh '" + shape.name + "' feeds its own input";
    return nullptr;
  }
  Evaluating guard(shape);
  const uint64_t passed = shape.scene->passedThrough;
  std::shared_ptr<const MeshGeom> geom;
  if (const Connection* c = shape.scene->incoming(keyOf(shape, "i"))) {
    // History that cannot be evaluated falls back on geometry stored on the
    // shape itself, which Maya writes when it has it.
    std::string why;
    geom = plugGeometry(c->src, &why);
    if (!geom && !hasStoredGeometry(shape)) {
      shape.shapeCacheFailed = true;
      shape.shapeError = why;
      if (error) *error = why;
      return nullptr;
    }
  }
  if (!geom) {
    std::string why;
    geom = storedGeometry(shape, &why);
    if (!geom) {
      shape.shapeCacheFailed = true;
      shape.shapeError = why;
      if (error) *error = why;
      return nullptr;
    }
  }
  // The shape's own tweaks (pnts) apply on top of whatever feeds it.
  if (const SlotSub* pt = elementsOf(shape, keyOf(shape, "pt")); pt && !pt->indices.empty()) {
    auto moved = std::make_shared<MeshGeom>(*geom);
    for (size_t i = 0; i < pt->indices.size(); ++i) {
      size_t v = static_cast<size_t>(pt->indices[i]);
      const auto n = pt->numbers(i);
      if (v < moved->points.size() && pt->kind(i) == Value::Tuple) moved->points[v] += MVector(n[0], n[1], n[2]);
    }
    geom = moved;
  }
  if (shape.scene->passedThrough == passed) shape.shapeCache = geom;
  return geom;
}

namespace {

// Polygons of more than three corners, or with holes.
long polygonsToSplit(const MeshTopology& t) {
  long count = 0;
  auto hole = t.holeStarts.begin();
  for (int f = 0; f < t.numFaces(); ++f) {
    const int end = t.faceStart[static_cast<size_t>(f) + 1];
    bool holes = false;
    for (; hole != t.holeStarts.end() && *hole < end; ++hole) holes = true;
    if (t.faceSize(f) > 3 || holes) ++count;
  }
  return count;
}

// Nodes upstream of a shape's geometry whose UV edits the host passes over,
// nearest first.
std::vector<Node*> uvEditsUpstream(Node& shape) {
  std::vector<Node*> found, queue{&shape}, seen{&shape};
  for (size_t k = 0; k < queue.size(); ++k) {
    for (const auto& c : queue[k]->in) {
      const std::string& attr = c->dst.attr->shortName;
      if (attr != "i" && attr != "ip" && attr != "ig") continue;
      Node* source = c->src.node;
      if (std::find(seen.begin(), seen.end(), source) != seen.end()) continue;
      seen.push_back(source);
      queue.push_back(source);
      if (source->type->poly && source->type->poly->uvsKept) found.push_back(source);
    }
  }
  return found;
}

}  // namespace

std::shared_ptr<const MeshGeom> apiGeometry(Node& shape, std::string* error, bool withEdges) {
  auto geom = shapeGeometry(shape, error);
  if (!geom) return geom;
  // Edges cost more than the rest of the triangulation (a lookup per corner and
  // a second copy), and only the edge queries need them: the cached geometry
  // gets them when one asks, once, not on every query.
  const auto hasEdges = [](const MeshTopology& t) { return t.faceEdges.size() == t.faceVerts.size(); };
  const bool triangulate =
      shape.scene->triangulateMeshes && !getBool(shape, "io") && polygonsToSplit(*geom->topo) > 0;
  if (!triangulate && (!withEdges || hasEdges(*geom->topo))) return geom;
  if (!shape.apiCache || (withEdges && !hasEdges(*shape.apiCache->topo))) {
    if (triangulate) {
      std::vector<int> origin;
      auto triangles = triangulateFaces(*geom, nullptr, origin, withEdges);
      triangles->faceOrigin = std::make_shared<const std::vector<int>>(std::move(origin));
      shape.apiCache = std::move(triangles);
    } else {
      auto edged = std::make_shared<MeshGeom>(*geom);
      edged->topo = poly::withEdges(geom->topo);
      shape.apiCache = std::move(edged);
    }
  }
  return shape.apiCache;
}

std::string geometryProblem(const Node& shape, const std::string& why) {
  return "mesh '" + shape.name + "': " + why + "; the mesh has no geometry";
}

Node* downstreamShape(const PlugKey& key) {
  // Follow outgoing connections breadth-first until a mesh's inMesh.
  std::vector<Node*> frontier{key.node};
  std::vector<Node*> seen;
  bool first = true;
  while (!frontier.empty()) {
    std::vector<Node*> next;
    for (Node* n : frontier) {
      for (const auto& c : n->out) {
        if (first && !(c->src == key)) continue;
        const std::string& d = c->dst.attr->shortName;
        Node* dn = c->dst.node;
        if (dn->hasFn(MFn::kMesh) && d == "i") return dn;
        if (d != "ig" && d != "ip") continue;
        if (std::find(seen.begin(), seen.end(), dn) != seen.end()) continue;
        seen.push_back(dn);
        next.push_back(dn);
      }
    }
    first = false;
    frontier = std::move(next);
  }
  return nullptr;
}

}  // namespace kvhost

// ------------------------------------------------------------------ scene-wide

namespace kvhost {

void Scene::setMayaVersion(int year) { fImpl->mayaVersion = year; }
int Scene::mayaVersion() const { return fImpl->mayaVersion; }

void Scene::setMaxMeshElements(double count) { fImpl->maxMeshElements = count; }

void Scene::setTriangulateMeshes(bool on) {
  if (fImpl->triangulateMeshes == on) return;
  fImpl->triangulateMeshes = on;
  for (auto& n : fImpl->nodes) n->apiCache.reset();
}

Scene::MeshReport Scene::checkMeshes() {
  MeshReport report;
  struct Checking {
    Impl& impl;
    explicit Checking(Impl& i) : impl(i) { impl.checkingMeshes = true; }
    ~Checking() { impl.checkingMeshes = false; }
  } checking(*fImpl);
  for (const auto& node : fImpl->nodes) {
    Node& n = *node;
    if (!n.alive || !n.hasFn(MFn::kMesh) || getBool(n, "io")) continue;
    // As the export takes them: under a transform that is visible.
    Node* parent = n.parents.empty() ? nullptr : n.parents.front();
    if (!parent || !parent->type->transform || !getBool(*parent, "v")) continue;
    ++report.meshes;
    std::string why;
    auto geom = shapeGeometry(n, &why);
    if (!geom) {
      report.problems.push_back(geometryProblem(n, why));
      n.reportedGeomError = true;
      continue;
    }
    if (fImpl->triangulateMeshes) report.polygonsTriangulated += polygonsToSplit(*geom->topo);
    for (Node* edit : uvEditsUpstream(n))
      report.notes.push_back("mesh '" + n.name + "': '" + edit->name + "' (" + edit->typeName +
                             ") is not computed; the mesh keeps the UVs from before it");
  }
  return report;
}

}  // namespace kvhost
