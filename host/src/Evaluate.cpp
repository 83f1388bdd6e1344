// Values the host computes the way Maya does: local and world matrices of
// transforms and joints, and mesh geometry from stored data or through
// deformer chains (groupParts, tweak, blendShape, skinCluster).

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

#include "Core.h"
#include "MathUtil.h"

namespace kvhost {

namespace {

std::shared_ptr<const Data> matrixValue(const MMatrix& m) {
  auto d = std::make_shared<MatrixData>();
  d->matrix = m;
  return d;
}

PlugKey keyOf(Node& node, const char* attr, std::vector<int> idx = {}) {
  PlugKey k;
  k.node = &node;
  k.attr = node.findAttribute(attr);
  if (k.attr) {
    k.idx = std::move(idx);
    k.idx.resize(k.attr->chain.size(), -1);
  }
  return k;
}

// Stored multi elements of an attribute (the array plug's slot), or null.
const SlotSub* elementsOf(Node& node, const PlugKey& arrayKey) {
  if (!arrayKey.attr) return nullptr;
  Slot* s = node.scene->findSlot(arrayKey, false);
  return s && s->sub ? s->sub.get() : nullptr;
}

MMatrix matrixOf(const Value& v) {
  if (v.kind == Value::DataValue)
    if (auto m = std::dynamic_pointer_cast<const MatrixData>(v.data)) return m->matrix;
  return MMatrix();
}

bool isSinglePath(Node* node) {
  for (Node* n = node; n;) {
    if (n->parents.size() != 1) return false;
    n = n->parents.front();
  }
  return true;
}

MMatrix worldAlong(const std::vector<Node*>& path, size_t n) {
  if (n == 0) return MMatrix();
  Node* node = path[n - 1];
  bool single = isSinglePath(node);
  if (single && node->hasWorld) return node->worldCache;
  MMatrix local = localMatrix(*node);
  MMatrix m = node->type->transform && !getBool(*node, "it") ? local : local * worldAlong(path, n - 1);
  node->matValid = true;
  if (single) {
    node->worldCache = m;
    node->hasWorld = true;
  }
  return m;
}

bool computeValue(const PlugKey& key, Value& out) {
  Node& node = *key.node;
  const std::string& s = key.attr->shortName;
  out = Value();
  out.kind = Value::DataValue;
  if (node.type->dag && (s == "wm" || s == "wim" || s == "pm" || s == "pim")) {
    int instance = std::max(0, key.idx.empty() ? 0 : key.idx.back());
    auto paths = allPaths(&node);
    if (paths.empty()) return false;
    std::vector<Node*> path = paths[std::min(static_cast<size_t>(instance), paths.size() - 1)];
    if (s == "pm" || s == "pim") path.pop_back();
    MMatrix m = worldMatrix(path);
    out.data = matrixValue(s == "wim" || s == "pim" ? m.inverse() : m);
    return true;
  }
  if (node.type->transform && (s == "m" || s == "im")) {
    MMatrix m = localMatrix(node);
    out.data = matrixValue(s == "im" ? m.inverse() : m);
    return true;
  }
  std::string error;
  auto geom = plugGeometry(key, &error);
  if (!geom) return false;
  out.data = std::make_shared<MeshData>(geom);
  return true;
}

// Geometry arriving at an input plug through its connection.
std::shared_ptr<const MeshGeom> inputGeometry(const PlugKey& input, std::string* error) {
  const Connection* c = input.node->scene->incoming(input);
  if (!c) {
    if (error) *error = "nothing is connected to '" + plugName(input, false) + "'";
    return nullptr;
  }
  return plugGeometry(c->src, error);
}

std::shared_ptr<MeshGeom> copyGeom(const MeshGeom& g) { return std::make_shared<MeshGeom>(g); }

std::shared_ptr<const MeshGeom> tweakOutput(Node& node, int k, std::shared_ptr<const MeshGeom> in) {
  PlugKey vt = keyOf(node, "vt", {k, -1});
  const SlotSub* offsets = elementsOf(node, vt);
  if (!offsets || offsets->indices.empty()) return in;
  auto out = copyGeom(*in);
  for (size_t i = 0; i < offsets->indices.size(); ++i) {
    size_t v = static_cast<size_t>(offsets->indices[i]);
    const Value& val = offsets->elems[i].value;
    if (v < out->points.size() && val.kind == Value::Tuple) out->points[v] += MVector(val.n[0], val.n[1], val.n[2]);
  }
  return out;
}

// Per-vertex weights of a multi (targetWeights, baseWeights); absent ones are 1.
std::vector<double> perVertexWeights(Node& node, const PlugKey& arrayKey, size_t n) {
  std::vector<double> w;
  const SlotSub* elems = elementsOf(node, arrayKey);
  if (!elems || elems->indices.empty()) return w;
  w.assign(n, 1.0);
  for (size_t i = 0; i < elems->indices.size(); ++i)
    if (static_cast<size_t>(elems->indices[i]) < n && elems->elems[i].value.kind == Value::Number)
      w[static_cast<size_t>(elems->indices[i])] = elems->elems[i].value.n[0];
  return w;
}

// Offsets of one target item from the base points: a connected target
// shape's points minus the base's, or stored deltas over their components.
bool itemDelta(Node& node, int k, int t, int item, const MeshGeom& base, std::vector<MVector>& delta) {
  const size_t n = base.points.size();
  delta.assign(n, MVector());
  PlugKey geomKey = keyOf(node, "igt", {k, t, item});
  if (node.scene->incoming(geomKey)) {
    auto target = inputGeometry(geomKey, nullptr);
    if (!target || target->points.size() != n) return false;
    for (size_t v = 0; v < n; ++v) delta[v] = target->points[v] - base.points[v];
    return true;
  }
  Value pts, comps;
  if (!readValue(keyOf(node, "ipt", {k, t, item}), pts) || pts.kind != Value::DataValue) return false;
  auto points = std::dynamic_pointer_cast<const PointArrayData>(pts.data);
  if (!points) return false;
  std::vector<int> ids;
  if (readValue(keyOf(node, "ict", {k, t, item}), comps) && comps.kind == Value::DataValue)
    if (auto list = std::dynamic_pointer_cast<const ComponentListData>(comps.data))
      ids = list->indices("vtx", static_cast<int>(n));
  for (size_t i = 0; i < points->values.size(); ++i) {
    size_t v = i < ids.size() ? static_cast<size_t>(ids[i]) : (ids.empty() ? i : n);
    if (v < n) delta[v] = MVector(points->values[i].x, points->values[i].y, points->values[i].z);
  }
  return true;
}

std::shared_ptr<const MeshGeom> blendShapeOutput(Node& node, int k, std::shared_ptr<const MeshGeom> in) {
  double envelope = getNumber(node, "en");
  if (envelope == 0.0) return in;
  const size_t n = in->points.size();
  std::vector<MVector> total(n);
  bool any = false;
  // Target groups and their items, from stored data and from connections.
  std::map<int, std::vector<int>> groups;
  if (const SlotSub* itg = elementsOf(node, keyOf(node, "itg", {k, -1})))
    for (size_t g = 0; g < itg->indices.size(); ++g) {
      groups[itg->indices[g]];
      if (const SlotSub* iti = elementsOf(node, keyOf(node, "iti", {k, itg->indices[g], -1})))
        groups[itg->indices[g]].insert(groups[itg->indices[g]].end(), iti->indices.begin(), iti->indices.end());
    }
  const Attribute* igt = node.findAttribute("igt");
  for (const auto& c : node.in)
    if (c->dst.attr == igt && c->dst.idx[0] == k) groups[c->dst.idx[1]].push_back(c->dst.idx[2]);
  std::vector<MVector> lower, upper;
  for (auto& [t, items] : groups) {
    Value wv;
    readValue(keyOf(node, "w", {t}), wv);
    double w = numberOf(wv, node.findAttribute("w"));
    if (w == 0.0) continue;
    // Items sit at weight (item - 5000) / 1000: 6000 is the full target,
    // lower items are in-betweens. The offset at w follows the segment
    // between the neighbouring items (the base at weight 0), extended
    // linearly beyond the last one.
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    items.erase(std::remove_if(items.begin(), items.end(), [](int i) { return i <= 5000 || i > 6000; }), items.end());
    if (items.empty()) continue;
    size_t hi = 0;
    while (hi + 1 < items.size() && (items[hi] - 5000) / 1000.0 < w) ++hi;
    double wHi = (items[hi] - 5000) / 1000.0;
    double wLo = hi == 0 ? 0.0 : (items[hi - 1] - 5000) / 1000.0;
    if (!itemDelta(node, k, t, items[hi], *in, upper)) continue;
    if (hi == 0) lower.assign(n, MVector());
    else if (!itemDelta(node, k, t, items[hi - 1], *in, lower)) continue;
    double f = (w - wLo) / (wHi - wLo);
    std::vector<double> tw = perVertexWeights(node, keyOf(node, "tw", {k, t, -1}), n);
    for (size_t v = 0; v < n; ++v) {
      MVector d = lower[v] + (upper[v] - lower[v]) * f;
      total[v] += tw.empty() ? d : d * tw[v];
    }
    any = true;
  }
  if (!any) return in;
  std::vector<double> bw = perVertexWeights(node, keyOf(node, "bw", {k, -1}), n);
  auto out = copyGeom(*in);
  for (size_t v = 0; v < n; ++v) out->points[v] += total[v] * (envelope * (bw.empty() ? 1.0 : bw[v]));
  return out;
}

std::shared_ptr<const MeshGeom> skinOutput(Node& node, std::shared_ptr<const MeshGeom> in) {
  double envelope = getNumber(node, "en");
  if (envelope == 0.0) return in;
  Value gmv;
  readValue(keyOf(node, "gm"), gmv);
  MMatrix gm = matrixOf(gmv), gmInv = gm.inverse();
  // Influence matrices by logical index: gm * bindPreMatrix * worldMatrix * gm^-1.
  std::unordered_map<int, MMatrix> influence;
  const Attribute* ma = node.findAttribute("ma");
  std::vector<int> ids;
  for (const auto& c : node.in)
    if (c->dst.attr == ma) ids.push_back(c->dst.idx[0]);
  if (const SlotSub* stored = elementsOf(node, keyOf(node, "ma")))
    ids.insert(ids.end(), stored->indices.begin(), stored->indices.end());
  for (int j : ids) {
    Value wm, pm;
    readValue(keyOf(node, "ma", {j}), wm);
    readValue(keyOf(node, "pm", {j}), pm);
    influence[j] = gm * matrixOf(pm) * matrixOf(wm) * gmInv;
  }
  auto out = copyGeom(*in);
  const SlotSub* weightList = elementsOf(node, keyOf(node, "wl"));
  const size_t n = in->points.size();
  size_t e = 0;
  for (size_t v = 0; v < n; ++v) {
    MPoint p(in->points[v]);
    MVector sum;
    while (weightList && e < weightList->indices.size() && static_cast<size_t>(weightList->indices[e]) < v) ++e;
    if (weightList && e < weightList->indices.size() && static_cast<size_t>(weightList->indices[e]) == v) {
      const Slot& element = weightList->elems[e];
      const Slot* weights = element.sub && !element.sub->elems.empty() ? &element.sub->elems[0] : nullptr;
      if (weights && weights->sub) {
        for (size_t i = 0; i < weights->sub->indices.size(); ++i) {
          double w = weights->sub->elems[i].value.n[0];
          auto it = influence.find(weights->sub->indices[i]);
          if (w == 0.0 || it == influence.end()) continue;
          sum += MVector(p * it->second) * w;
        }
      }
    }
    out->points[v] = in->points[v] + (sum - in->points[v]) * envelope;
  }
  return out;
}

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
    if (error)
      *error = "mesh '" + shape.name + "' has " + (nv < 0 ? "vertex" : "edge") +
               " indices far beyond its element count";
    return nullptr;
  }
  geom->points.assign(static_cast<size_t>(nv), MVector());
  if (vt)
    for (size_t i = 0; i < vt->indices.size(); ++i) {
      const Value& v = vt->elems[i].value;
      if (v.kind == Value::Tuple) geom->points[static_cast<size_t>(vt->indices[i])] = MVector(v.n[0], v.n[1], v.n[2]);
    }
  topo->numVertices = nv;
  std::vector<std::array<int, 2>> edges;
  if (ed) {
    edges.assign(static_cast<size_t>(ne), {0, 0});
    for (size_t i = 0; i < ed->indices.size(); ++i) {
      const Value& v = ed->elems[i].value;
      edges[static_cast<size_t>(ed->indices[i])] = {toInt(v.n[0]), toInt(v.n[1])};
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
          if (error) *error = "mesh '" + shape.name + "' has UV indices far beyond its UV count";
          return nullptr;
        }
        size_t count = static_cast<size_t>(dense);
        set.u.assign(count, 0.0f);
        set.v.assign(count, 0.0f);
        for (size_t j = 0; j < pts->indices.size(); ++j) {
          const Value& p = pts->elems[j].value;
          set.u[static_cast<size_t>(pts->indices[j])] = static_cast<float>(p.n[0]);
          set.v[static_cast<size_t>(pts->indices[j])] = static_cast<float>(p.n[1]);
        }
      }
      setPos[logical] = static_cast<int>(topo->uvSets.size());
      topo->uvSets.push_back(std::move(set));
    }
  }
  // Faces: the i-th vertex of a loop is where its i-th directed edge starts.
  auto edgeStart = [&](int e) {
    size_t idx = static_cast<size_t>(e >= 0 ? e : -e - 1);
    if (idx >= edges.size()) return 0;
    int v = e >= 0 ? edges[idx][0] : edges[idx][1];
    return v >= 0 && v < nv ? v : 0;
  };
  // Faces in ascending index; the last run set for an index wins, and
  // indices never set make no face.
  std::vector<Node::FaceRun> runs = shape.faceRuns;
  std::stable_sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) { return a.index < b.index; });
  const std::vector<int>& data = shape.faceData;
  for (size_t r = 0; r < runs.size(); ++r) {
    if (r + 1 < runs.size() && runs[r + 1].index == runs[r].index) continue;
    int64_t p = runs[r].start, end = runs[r].end;
    size_t faceFirst = topo->faceVerts.size();
    size_t loopFirst = faceFirst;
    size_t loopSize = 0;
    std::vector<std::pair<int, std::vector<int>>> uvs;  // set position, ids for the face's vertices
    while (p < end) {
      int code = data[static_cast<size_t>(p)], set = data[static_cast<size_t>(p) + 1], n = data[static_cast<size_t>(p) + 2];
      const int* vals = &data[static_cast<size_t>(p) + 3];
      p += 3 + n;
      if (code == 1 || code == 2) {
        loopFirst = topo->faceVerts.size();
        loopSize = static_cast<size_t>(n);
        for (int i = 0; i < n; ++i) topo->faceVerts.push_back(edgeStart(vals[i]));
      } else if (code == 3) {
        auto it = setPos.find(set);
        if (it == setPos.end()) continue;
        auto u = std::find_if(uvs.begin(), uvs.end(), [&](const auto& x) { return x.first == it->second; });
        if (u == uvs.end()) {
          uvs.push_back({it->second, {}});
          u = uvs.end() - 1;
        }
        u->second.resize(topo->faceVerts.size() - faceFirst, -1);
        for (int i = 0; i < n && static_cast<size_t>(i) < loopSize; ++i)
          u->second[loopFirst - faceFirst + static_cast<size_t>(i)] = vals[i];
      }
    }
    size_t count = topo->faceVerts.size() - faceFirst;
    for (auto& set : topo->uvSets) set.uvIds.resize(topo->faceVerts.size(), -1);
    for (auto& [pos, ids] : uvs) {
      auto& set = topo->uvSets[static_cast<size_t>(pos)];
      ids.resize(count, -1);
      for (size_t i = 0; i < count; ++i) {
        int id = ids[i];
        set.uvIds[faceFirst + i] = id >= 0 && static_cast<size_t>(id) < set.u.size() ? id : -1;
      }
    }
    topo->faceStart.push_back(static_cast<int>(topo->faceVerts.size()));
  }
  for (auto& set : topo->uvSets) set.uvIds.resize(topo->faceVerts.size(), -1);
  geom->topo = topo;
  return geom;
}

bool hasStoredGeometry(Node& shape) {
  const SlotSub* vt = elementsOf(shape, keyOf(shape, "vt"));
  return (vt && !vt->indices.empty()) || !shape.faceRuns.empty();
}

}  // namespace

// ------------------------------------------------------------------ plug values

namespace {
bool readStoredOrConnected(const PlugKey& key, Value& out);
}

bool readValue(const PlugKey& key, Value& out) {
  if (!readStoredOrConnected(key, out)) return false;
  // Components of a tuple may be connected one by one (src.ty -> dst.tx).
  if (key.attr->type == AttrType::Tuple && out.kind == Value::Tuple) {
    for (const auto& c : key.node->in) {
      const Attribute* a = c->dst.attr;
      if (!a->tupleComponent || a->parent != key.attr) continue;
      if (!std::equal(key.idx.begin(), key.idx.end(), c->dst.idx.begin())) continue;
      Value v;
      if (readValue(c->src, v) && v.kind == Value::Number) out.n[a->component] = v.n[0];
    }
  }
  return true;
}

namespace {
bool readStoredOrConnected(const PlugKey& key, Value& out) {
  Node& node = *key.node;
  if (!node.alive || !key.attr) return false;
  Scene::Impl& impl = *node.scene;
  node.genValid = true;
  const Attribute* attr = key.attr;
  if (attr->computed) return computeValue(key, out);
  if (const Connection* c = impl.incoming(key)) {
    Value v;
    if (readValue(c->src, v)) {
      out = v;
      return true;
    }
  }
  if (attr->tupleComponent) {
    PlugKey parent = key;
    parent.attr = attr->parent;
    parent.idx.pop_back();
    if (const Connection* c = impl.incoming(parent)) {
      Value v;
      if (readValue(c->src, v) && v.kind == Value::Tuple) {
        out = Value();
        out.kind = Value::Number;
        out.n[0] = v.n[attr->component];
        return true;
      }
    }
  }
  Slot* s = impl.findSlot(key, false);
  if (s && s->value.kind != Value::None) {
    if (attr->tupleComponent) {
      out = Value();
      out.kind = Value::Number;
      out.n[0] = numberOf(s->value, attr->parent, attr->component);
    } else {
      out = s->value;
    }
    return true;
  }
  out = Value();
  switch (attr->type) {
    case AttrType::Numeric:
      out.kind = Value::Number;
      out.n[0] = attr->tupleComponent ? attr->parent->defaults[attr->component] : attr->defaults[0];
      return true;
    case AttrType::Tuple:
      out.kind = Value::Tuple;
      for (int i = 0; i < 4; ++i) out.n[i] = attr->defaults[i];
      return true;
    case AttrType::Typed:
      if (attr->data == DataType::String) {
        out.kind = Value::DataValue;
        out.data = std::make_shared<StringData>();
        return true;
      }
      if (attr->data == DataType::Matrix && !attr->noDefault) {
        out.kind = Value::DataValue;
        out.data = matrixValue(MMatrix());
        return true;
      }
      return false;
    default:
      return false;
  }
}
}  // namespace

double getNumber(Node& node, const char* attr, int component) {
  const Attribute* a = node.findAttribute(attr);
  if (!a) return 0.0;
  PlugKey k{&node, a, std::vector<int>(a->chain.size(), -1)};
  Value v;
  if (!readValue(k, v)) return 0.0;
  return numberOf(v, a, component);
}

bool getBool(Node& node, const char* attr) { return getNumber(node, attr) != 0.0; }

MVector getVector(Node& node, const char* attr) {
  const Attribute* a = node.findAttribute(attr);
  if (!a) return MVector();
  PlugKey k{&node, a, std::vector<int>(a->chain.size(), -1)};
  Value v;
  if (!readValue(k, v)) return MVector(a->defaults[0], a->defaults[1], a->defaults[2]);
  return MVector(numberOf(v, a, 0), numberOf(v, a, 1), numberOf(v, a, 2));
}

std::string getString(Node& node, const char* attr) {
  const Attribute* a = node.findAttribute(attr);
  if (!a) return {};
  PlugKey k{&node, a, std::vector<int>(a->chain.size(), -1)};
  Value v;
  if (!readValue(k, v) || v.kind != Value::DataValue) return {};
  auto s = std::dynamic_pointer_cast<const StringData>(v.data);
  return s ? s->value : std::string();
}

// ------------------------------------------------------------------ matrices

MMatrix localMatrix(Node& node) {
  if (node.hasLocal) return node.localCache;
  MMatrix m;
  if (node.type->joint) {
    JointParts p;
    p.translate = getVector(node, "t");
    p.rotate = getVector(node, "r");
    p.scale = getVector(node, "s");
    p.rotateAxis = getVector(node, "ra");
    p.jointOrient = getVector(node, "jo");
    p.inverseScale = getVector(node, "is");
    p.rotateOrder = toInt(getNumber(node, "ro"));
    p.segmentScaleCompensate = getBool(node, "ssc");
    m = composeJoint(p);
  } else if (node.type->transform) {
    TransformParts p;
    p.translate = getVector(node, "t");
    p.rotate = getVector(node, "r");
    p.scale = getVector(node, "s");
    p.shear = getVector(node, "sh");
    p.rotatePivot = getVector(node, "rp");
    p.rotatePivotTranslate = getVector(node, "rpt");
    p.scalePivot = getVector(node, "sp");
    p.scalePivotTranslate = getVector(node, "spt");
    p.rotateAxis = getVector(node, "ra");
    p.rotateOrder = toInt(getNumber(node, "ro"));
    m = composeTransform(p);
  }
  node.localCache = m;
  node.hasLocal = true;
  node.matValid = true;
  return m;
}

MMatrix worldMatrix(const std::vector<Node*>& path) { return worldAlong(path, path.size()); }

std::vector<std::vector<Node*>> allPaths(Node* node) {
  std::vector<std::vector<Node*>> out;
  if (!node || !node->isDag() || node == node->scene->world.get()) return out;
  for (Node* p : node->parents) {
    if (!p) {
      out.push_back({node});
      continue;
    }
    for (auto& path : allPaths(p)) {
      path.push_back(node);
      out.push_back(std::move(path));
    }
  }
  return out;
}

MMatrix worldMatrixOfNode(Node& node, int instance) {
  auto paths = allPaths(&node);
  if (paths.empty()) return MMatrix();
  return worldMatrix(paths[std::min(static_cast<size_t>(std::max(instance, 0)), paths.size() - 1)]);
}

void setLocalMatrix(Node& node, const MMatrix& target) {
  auto tuple = [](const MVector& v) {
    Value val;
    val.kind = Value::Tuple;
    val.n[0] = v.x;
    val.n[1] = v.y;
    val.n[2] = v.z;
    return val;
  };
  auto write = [&](const char* attr, const MVector& v) {
    const Attribute* a = node.findAttribute(attr);
    if (a) writeValue(PlugKey{&node, a, std::vector<int>(a->chain.size(), -1)}, tuple(v));
  };
  int order = toInt(getNumber(node, "ro"));
  MVector ra = getVector(node, "ra");
  MMatrix raM = eulerMatrix(&ra.x, 0);
  double r[3];
  if (node.type->joint) {
    MVector is = getVector(node, "is");
    MMatrix x = target;
    if (getBool(node, "ssc"))
      for (int row = 0; row < 3; ++row)
        for (int c = 0; c < 3; ++c) x[row][c] *= is[static_cast<unsigned>(c)];
    Decomposed d = decompose(x);
    MVector jo = getVector(node, "jo");
    MMatrix rot = raM.transpose() * d.rotation * eulerMatrix(&jo.x, 0).transpose();
    eulerFromMatrix(rot, order, r);
    write("s", d.scale);
    write("r", MVector(r[0], r[1], r[2]));
    write("t", MVector(target[3][0], target[3][1], target[3][2]));
    return;
  }
  Decomposed d = decompose(target);
  MMatrix rot = raM.transpose() * d.rotation;
  eulerFromMatrix(rot, order, r);
  write("s", d.scale);
  write("sh", d.shear);
  write("r", MVector(r[0], r[1], r[2]));
  write("t", MVector());
  MMatrix without = localMatrix(node);
  write("t", MVector(target[3][0] - without[3][0], target[3][1] - without[3][1], target[3][2] - without[3][2]));
}

// ------------------------------------------------------------------ geometry

std::shared_ptr<const MeshGeom> plugGeometry(const PlugKey& key, std::string* error) {
  Node& node = *key.node;
  node.genValid = true;
  const std::string& type = node.typeName;
  const std::string& attr = key.attr->shortName;
  if (node.hasFn(MFn::kMesh) && (attr == "o" || attr == "w")) return shapeGeometry(node, error);
  int k = key.idx.empty() ? 0 : std::max(0, key.idx.back());
  if (attr == "og" && (node.hasFn(MFn::kGeometryFilt) || node.hasFn(MFn::kGroupParts))) {
    if (auto it = node.geomCache.find(k); it != node.geomCache.end()) return it->second;
    std::shared_ptr<const MeshGeom> in;
    if (node.hasFn(MFn::kGroupParts)) in = inputGeometry(keyOf(node, "ig"), error);
    else in = inputGeometry(keyOf(node, "ig", {k, -1}), error);
    if (!in) return nullptr;
    std::shared_ptr<const MeshGeom> out = in;
    if (node.hasFn(MFn::kTweak)) out = tweakOutput(node, k, in);
    else if (node.hasFn(MFn::kBlendShape)) out = blendShapeOutput(node, k, in);
    else if (node.hasFn(MFn::kSkinClusterFilter)) out = skinOutput(node, in);
    else if (!node.hasFn(MFn::kGroupParts)) {
      if (error) *error = "'" + node.name + "' (" + type + ") is a deformer the host cannot evaluate";
      return nullptr;
    }
    node.geomCache[k] = out;
    return out;
  }
  if (error) *error = "'" + node.name + "' (" + type + ") generates geometry the host cannot evaluate";
  return nullptr;
}

std::shared_ptr<const MeshGeom> shapeGeometry(Node& shape, std::string* error) {
  shape.genValid = true;
  if (shape.shapeCache) return shape.shapeCache;
  if (shape.shapeCacheFailed) {
    if (error) *error = shape.shapeError;
    return nullptr;
  }
  std::shared_ptr<const MeshGeom> geom;
  PlugKey in = keyOf(shape, "i");
  if (const Connection* c = shape.scene->incoming(in)) {
    std::string why;
    geom = plugGeometry(c->src, &why);
    if (!geom && !hasStoredGeometry(shape)) {
      shape.shapeCacheFailed = true;
      shape.shapeError = "mesh '" + shape.name + "' has no geometry in the scene: " + why +
                         "; delete the mesh's construction history before saving the file";
      if (error) *error = shape.shapeError;
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
    auto moved = copyGeom(*geom);
    for (size_t i = 0; i < pt->indices.size(); ++i) {
      size_t v = static_cast<size_t>(pt->indices[i]);
      const Value& val = pt->elems[i].value;
      if (v < moved->points.size() && val.kind == Value::Tuple) moved->points[v] += MVector(val.n[0], val.n[1], val.n[2]);
    }
    geom = moved;
  }
  shape.shapeCache = geom;
  return geom;
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
        bool geometryInput = d == "ig" || d == "igt";
        if (d != "ig" || !geometryInput) continue;
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
