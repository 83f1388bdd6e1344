// Deformers and component groups the host evaluates the way Maya does:
// groupParts (tags faces with a group id), tweak, blendShape and skinCluster.
// Other deformers pass the mesh through when they cannot change it (an
// envelope of 0, a nonLinear deformer at rest) and are named otherwise.

#include <algorithm>
#include <map>

#include "Core.h"

namespace kvhost {

// Geometry arriving at an input plug through its connection.
std::shared_ptr<const MeshGeom> inputGeometry(const PlugKey& input, std::string* error) {
  const Connection* c = input.node->scene->incoming(input);
  if (!c) {
    if (error) *error = "nothing is connected to '" + plugName(input, false) + "'";
    return nullptr;
  }
  return plugGeometry(c->src, error);
}

namespace {

std::shared_ptr<MeshGeom> copyGeom(const MeshGeom& g) { return std::make_shared<MeshGeom>(g); }

std::shared_ptr<const MeshGeom> tweakOutput(Node& node, int k, std::shared_ptr<const MeshGeom> in) {
  PlugKey vt = keyOf(node, "vt", {k, -1});
  const SlotSub* offsets = elementsOf(node, vt);
  if (!offsets || offsets->indices.empty()) return in;
  auto out = copyGeom(*in);
  for (size_t i = 0; i < offsets->indices.size(); ++i) {
    size_t v = static_cast<size_t>(offsets->indices[i]);
    const auto n = offsets->numbers(i);
    if (v < out->points.size() && offsets->kind(i) == Value::Tuple) out->points[v] += MVector(n[0], n[1], n[2]);
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
    if (static_cast<size_t>(elems->indices[i]) < n && elems->kind(i) == Value::Number)
      w[static_cast<size_t>(elems->indices[i])] = elems->numbers(i)[0];
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
  const Attribute* ma = node.findAttribute("ma");
  std::vector<int> ids;
  for (const auto& c : node.in)
    if (c->dst.attr == ma) ids.push_back(c->dst.idx[0]);
  if (const SlotSub* stored = elementsOf(node, keyOf(node, "ma")))
    ids.insert(ids.end(), stored->indices.begin(), stored->indices.end());
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  std::vector<MMatrix> matrices;
  for (int j : ids) {
    Value wm, pm;
    readValue(keyOf(node, "ma", {j}), wm);
    readValue(keyOf(node, "pm", {j}), pm);
    matrices.push_back(gm * matrixOf(pm) * matrixOf(wm) * gmInv);
  }
  const IndexTable influence(std::move(ids));
  auto out = copyGeom(*in);
  const SlotSub* weightList = elementsOf(node, keyOf(node, "wl"));
  const int weights = node.findAttribute("w")->childIndex;
  const size_t n = in->points.size();
  size_t e = 0;
  for (size_t v = 0; v < n; ++v) {
    MPoint p(in->points[v]);
    MVector sum;
    while (weightList && e < weightList->indices.size() && static_cast<size_t>(weightList->indices[e]) < v) ++e;
    if (weightList && e < weightList->indices.size() && static_cast<size_t>(weightList->indices[e]) == v) {
      weightList->forEachEntry(e, weights, [&](int j, double w) {
        const int k = influence.find(j);
        if (w != 0.0 && k >= 0) sum += MVector(p * matrices[static_cast<size_t>(k)]) * w;
      });
    }
    out->points[v] = in->points[v] + (sum - in->points[v]) * envelope;
  }
  return out;
}

// Faces listed in the groupParts' inputComponents, tagged with its group id;
// a later group of the same id replaces an earlier one.
std::shared_ptr<const MeshGeom> groupPartsOutput(Node& node, std::shared_ptr<const MeshGeom> in) {
  Value ic;
  if (!readValue(keyOf(node, "ic"), ic) || ic.kind != Value::DataValue) return in;
  auto list = std::dynamic_pointer_cast<const ComponentListData>(ic.data);
  if (!list || std::none_of(list->ranges.begin(), list->ranges.end(), [](const auto& r) { return r.kind == "f"; }))
    return in;
  auto out = copyGeom(*in);
  FaceGroup group{groupKey(keyOf(node, "gi")), list->indices("f", in->topo->numFaces())};
  auto same = std::find_if(out->groups.begin(), out->groups.end(), [&](const FaceGroup& g) { return g.id == group.id; });
  if (same != out->groups.end()) *same = std::move(group);
  else out->groups.push_back(std::move(group));
  return out;
}

// A nonLinear deformer whose shape parameters are at rest (no squash factor,
// bend curvature, twist angle, wave amplitude or flare) moves no point.
bool nonLinearAtRest(Node& node) {
  static const std::pair<const char*, double> kRest[] = {
      {"factor", 0.0},      {"curvature", 0.0},   {"startAngle", 0.0},  {"endAngle", 0.0},
      {"amplitude", 0.0},   {"curve", 0.0},       {"startFlareX", 1.0}, {"startFlareZ", 1.0},
      {"endFlareX", 1.0},   {"endFlareZ", 1.0},
  };
  bool any = false;
  for (const auto& [attr, rest] : kRest) {
    if (!node.findAttribute(attr)) continue;
    any = true;
    if (getNumber(node, attr) != rest) return false;
  }
  return any;
}

}  // namespace

int64_t groupKey(const PlugKey& idPlug) {
  if (!idPlug.attr) return -1;
  if (const Connection* c = idPlug.node->scene->incoming(idPlug)) return static_cast<int64_t>(c->src.node->order);
  Value v;
  return readValue(idPlug, v) ? -1 - static_cast<int64_t>(toInt(numberOf(v, idPlug.attr))) : -1;
}

std::shared_ptr<const MeshGeom> deformerOutput(Node& node, int k, std::string* error) {
  if (auto it = node.geomCache.find(k); it != node.geomCache.end()) return it->second;
  Scene::Impl& impl = *node.scene;
  const uint64_t passed = impl.passedThrough;
  const bool groupParts = node.hasFn(MFn::kGroupParts);
  auto in = inputGeometry(groupParts ? keyOf(node, "ig") : keyOf(node, "ig", {k, -1}), error);
  if (!in) return nullptr;
  std::shared_ptr<const MeshGeom> out = in;
  if (groupParts) out = groupPartsOutput(node, in);
  else if (impl.checkingMeshes && (node.hasFn(MFn::kTweak) || node.hasFn(MFn::kBlendShape) ||
                                   node.hasFn(MFn::kSkinClusterFilter))) ++impl.passedThrough;
  else if (node.hasFn(MFn::kTweak)) out = tweakOutput(node, k, in);
  else if (node.hasFn(MFn::kBlendShape)) out = blendShapeOutput(node, k, in);
  else if (node.hasFn(MFn::kSkinClusterFilter)) out = skinOutput(node, in);
  else if (getNumber(node, "en") == 0.0 || (node.typeName == "nonLinear" && nonLinearAtRest(node))) out = in;
  else {
    if (error) *error = "'" + node.name + "' (" + node.typeName + ") is not supported";
    return nullptr;
  }
  if (impl.passedThrough == passed) node.geomCache[k] = out;
  return out;
}

}  // namespace kvhost
