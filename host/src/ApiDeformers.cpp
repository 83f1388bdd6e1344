// MFnGeometryFilter, MFnSkinCluster and MFnBlendShapeDeformer.

#include <algorithm>

#include <maya/MFnBlendShapeDeformer.h>
#include <maya/MFnGeometryFilter.h>
#include <maya/MFnSkinCluster.h>
#include <maya/MPlug.h>

#include "Core.h"

using kvhost::Node;
using kvhost::PlugKey;

namespace {

void setStatus(MStatus* status, MStatus value) {
  if (status) *status = value;
}

PlugKey elementKey(Node& n, const char* attr, std::vector<int> idx) {
  const kvhost::Attribute* a = n.findAttribute(attr);
  idx.resize(a->chain.size(), -1);
  return PlugKey{&n, a, idx};
}

// The mesh shape upstream of an input plug (through deformers and groupParts).
Node* upstreamShape(const PlugKey& input) {
  PlugKey key = input;
  for (int guard = 0; guard < 1000; ++guard) {
    const kvhost::Connection* c = key.node->scene->incoming(key);
    if (!c) return nullptr;
    Node* src = c->src.node;
    if (src->hasFn(MFn::kMesh)) return src;
    if (src->hasFn(MFn::kGroupParts)) key = elementKey(*src, "ig", {});
    else if (src->hasFn(MFn::kGeometryFilt)) key = elementKey(*src, "ig", {std::max(0, c->src.idx.back()), -1});
    else return nullptr;
  }
  return nullptr;
}

}  // namespace

// ------------------------------------------------------------------ MFnGeometryFilter

MFnGeometryFilter::MFnGeometryFilter(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }

std::vector<int> MFnGeometryFilter::outputIndices() const {
  std::vector<int> out;
  Node* n = node();
  if (!n) return out;
  const kvhost::Attribute* og = n->findAttribute("og");
  for (const auto& c : n->out)
    if (c->src.attr == og) out.push_back(std::max(0, c->src.idx.back()));
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

unsigned int MFnGeometryFilter::indexForOutputShape(const MObject& shape, MStatus* status) const {
  Node* n = node(status);
  Node* target = kvhost::nodeOf(shape);
  if (!n || !target) {
    setStatus(status, MS::kInvalidParameter);
    return 0;
  }
  for (int k : outputIndices())
    if (kvhost::downstreamShape(elementKey(*n, "og", {k})) == target) {
      setStatus(status, MS::kSuccess);
      return static_cast<unsigned int>(k);
    }
  setStatus(status, MS::kFailure);
  return 0;
}

MObject MFnGeometryFilter::outputShapeAtIndex(unsigned int index, MStatus* status) const {
  Node* n = node(status);
  Node* shape = n ? kvhost::downstreamShape(elementKey(*n, "og", {static_cast<int>(index)})) : nullptr;
  setStatus(status, shape ? MS::kSuccess : MS::kFailure);
  return shape ? MObject(shape->shared_from_this()) : MObject();
}

MObject MFnGeometryFilter::inputShapeAtIndex(unsigned int index, MStatus* status) const {
  Node* n = node(status);
  Node* shape = n ? upstreamShape(elementKey(*n, "ig", {static_cast<int>(index), -1})) : nullptr;
  setStatus(status, shape ? MS::kSuccess : MS::kFailure);
  return shape ? MObject(shape->shared_from_this()) : MObject();
}

MStatus MFnGeometryFilter::getPathAtIndex(unsigned int index, MDagPath& path) const {
  MStatus s;
  MObject shape = outputShapeAtIndex(index, &s);
  if (!s) return s;
  return MDagPath::getAPathTo(shape, path);
}

MStatus MFnGeometryFilter::getOutputGeometry(MObjectArray& shapes) const {
  shapes.clear();
  if (!node()) return MS::kInvalidParameter;
  for (int k : outputIndices()) {
    MStatus s;
    MObject o = outputShapeAtIndex(static_cast<unsigned>(k), &s);
    if (s) shapes.append(o);
  }
  return MS::kSuccess;
}

MStatus MFnGeometryFilter::getInputGeometry(MObjectArray& shapes) const {
  shapes.clear();
  Node* n = node();
  if (!n) return MS::kInvalidParameter;
  const kvhost::Attribute* ig = n->findAttribute("ig");
  std::vector<int> inputs;
  for (const auto& c : n->in)
    if (c->dst.attr == ig) inputs.push_back(c->dst.idx[0]);
  std::sort(inputs.begin(), inputs.end());
  for (int k : inputs) {
    MStatus s;
    MObject o = inputShapeAtIndex(static_cast<unsigned>(k), &s);
    if (s) shapes.append(o);
  }
  return MS::kSuccess;
}

unsigned int MFnGeometryFilter::numOutputConnections(MStatus* status) const {
  setStatus(status, node() ? MS::kSuccess : MS::kInvalidParameter);
  return static_cast<unsigned int>(outputIndices().size());
}

unsigned int MFnGeometryFilter::indexForOutputConnection(unsigned int connectionIndex, MStatus* status) const {
  auto ids = outputIndices();
  if (connectionIndex >= ids.size()) {
    setStatus(status, MS::kInvalidParameter);
    return 0;
  }
  setStatus(status, MS::kSuccess);
  return static_cast<unsigned int>(ids[connectionIndex]);
}

float MFnGeometryFilter::envelope(MStatus* status) const {
  Node* n = node(status);
  return n ? static_cast<float>(kvhost::getNumber(*n, "en")) : 0.0f;
}

MStatus MFnGeometryFilter::setEnvelope(float envelope) {
  if (!node()) return MS::kInvalidParameter;
  return findPlug("en").setValue(envelope);
}

// ------------------------------------------------------------------ MFnSkinCluster

namespace {

using Influence = Node::Influence;

// Cached on the node until its connections change (exporters ask once per vertex).
const std::vector<Influence>& influencesOf(Node& skin) {
  if (skin.hasInfluences) return skin.influences;
  std::vector<Influence> out;
  const kvhost::Attribute* ma = skin.findAttribute("ma");
  for (const auto& c : skin.in)
    if (c->dst.attr == ma && c->src.node->isDag())
      out.push_back({c->dst.idx[0], c->src.node, std::max(0, c->src.idx.empty() ? 0 : c->src.idx.back())});
  std::sort(out.begin(), out.end(), [](const Influence& a, const Influence& b) { return a.logical < b.logical; });
  std::vector<int> logical;
  for (const Influence& inf : out) logical.push_back(inf.logical);
  skin.influenceAt = kvhost::IndexTable(std::move(logical));
  skin.influences = std::move(out);
  skin.hasInfluences = true;
  skin.genValid = true;  // later changes must clear the cache
  return skin.influences;
}

MDagPath influencePath(const Influence& inf) {
  const kvhost::DagLinks& paths = kvhost::pathsTo(inf.node);
  MDagPath p;
  if (!paths.empty()) p.fTail = paths[std::min(static_cast<size_t>(inf.instance), paths.size() - 1)];
  return p;
}

}  // namespace

MFnSkinCluster::MFnSkinCluster(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }

unsigned int MFnSkinCluster::influenceObjects(MDagPathArray& paths, MStatus* status) const {
  paths.clear();
  Node* n = node(status);
  if (!n) return 0;
  for (const Influence& inf : influencesOf(*n)) paths.append(influencePath(inf));
  return paths.length();
}

unsigned int MFnSkinCluster::indexForInfluenceObject(const MDagPath& influence, MStatus* status) const {
  Node* n = node(status);
  if (!n) return 0;
  for (const Influence& inf : influencesOf(*n))
    if (influencePath(inf) == influence) {
      setStatus(status, MS::kSuccess);
      return static_cast<unsigned int>(inf.logical);
    }
  setStatus(status, MS::kInvalidParameter);
  return 0;
}

namespace {

// Whether the deformer outputs to `shape`; exporters ask once per vertex, so
// the answer is kept until a connection changes.
bool feeds(Node& skin, const MFnSkinCluster& fn, const MDagPath& shape) {
  const Node* last = shape.fTail ? shape.fTail->node.get() : nullptr;
  const uint64_t version = skin.scene->connectionsVersion;
  if (last && skin.weightsShape == last && skin.weightsShapeVersion == version) return skin.weightsShapeFed;
  MStatus s;
  fn.indexForOutputShape(shape.node(), &s);
  skin.weightsShape = last;
  skin.weightsShapeVersion = version;
  skin.weightsShapeFed = static_cast<bool>(s);
  skin.weightList = skin.findAttribute("wl");
  skin.weights = skin.findAttribute("w");
  return skin.weightsShapeFed;
}

// Weights of the given vertices (all when null) in influence order, appended
// to `out`: one number per influence and vertex, 0 where none is stored.
MStatus collectWeights(Node* skin, const MFnSkinCluster& fn, const MDagPath& shape, const MObject& components,
                       std::vector<double>& out, unsigned int& influenceCount) {
  if (!skin || !feeds(*skin, fn, shape)) return MS::kInvalidParameter;
  const std::vector<Influence>& influences = influencesOf(*skin);
  influenceCount = static_cast<unsigned int>(influences.size());
  const kvhost::SlotSub* wl =
      skin->weightList && skin->weights ? skin->slots[static_cast<size_t>(skin->weightList->slot)].sub.get() : nullptr;
  const int weights = wl ? skin->weights->childIndex : 0;
  auto vertex = [&](int v) {
    const size_t base = out.size();
    out.resize(base + influences.size(), 0.0);
    const long at = wl ? wl->find(v) : -1;
    if (at < 0) return;
    wl->forEachEntry(static_cast<size_t>(at), weights, [&](int logical, double w) {
      const int k = skin->influenceAt.find(logical);
      if (k >= 0) out[base + static_cast<size_t>(k)] = w;
    });
  };
  if (auto* comp = dynamic_cast<kvhost::ComponentObject*>(components.object().get())) {
    out.reserve(out.size() + comp->indices.size() * influences.size());
    for (int v : comp->indices) vertex(v);
  } else {
    Node* shapeNode = kvhost::nodeOf(shape.node());
    auto g = shapeNode ? kvhost::shapeGeometry(*shapeNode) : nullptr;
    const int count = g ? static_cast<int>(g->points.size()) : 0;
    out.reserve(out.size() + static_cast<size_t>(count) * influences.size());
    for (int v = 0; v < count; ++v) vertex(v);
  }
  return MS::kSuccess;
}

}  // namespace

MStatus MFnSkinCluster::getWeights(const MDagPath& shape, const MObject& components, MDoubleArray& weights,
                                   unsigned int& influenceCount) const {
  weights.clear();
  return collectWeights(node(), *this, shape, components, weights.items(), influenceCount);
}

MStatus MFnSkinCluster::getWeights(const MDagPath& shape, const MObject& components, unsigned int influenceIndex,
                                   MDoubleArray& weights) const {
  weights.clear();
  MDoubleArray all;
  unsigned int count = 0;
  MStatus s = getWeights(shape, components, all, count);
  if (!s) return s;
  if (influenceIndex >= count) return MS::kInvalidParameter;
  for (unsigned i = influenceIndex; i < all.length(); i += count) weights.append(all[i]);
  return MS::kSuccess;
}

// ------------------------------------------------------------------ MFnBlendShapeDeformer

MFnBlendShapeDeformer::MFnBlendShapeDeformer(const MObject& object, MStatus* status) {
  setStatus(status, setObject(object));
}

MStatus MFnBlendShapeDeformer::getBaseObjects(MObjectArray& objects) const { return getOutputGeometry(objects); }

MStatus MFnBlendShapeDeformer::weightIndexList(MIntArray& indexList) const {
  indexList.clear();
  if (!node()) return MS::kInvalidParameter;
  MIntArray ids;
  findPlug("w").getExistingArrayAttributeIndices(ids);
  indexList = ids;
  return MS::kSuccess;
}

unsigned int MFnBlendShapeDeformer::numWeights(MStatus* status) const {
  MIntArray ids;
  setStatus(status, weightIndexList(ids));
  return ids.length();
}

float MFnBlendShapeDeformer::weight(unsigned int index, MStatus* status) const {
  if (!node(status)) return 0.0f;
  return findPlug("w").elementByLogicalIndex(index).asFloat(MDGContext::fsNormal, status);
}

MStatus MFnBlendShapeDeformer::setWeight(unsigned int index, float weight) {
  if (!node()) return MS::kInvalidParameter;
  return findPlug("w").elementByLogicalIndex(index).setValue(weight);
}

MStatus MFnBlendShapeDeformer::getTargets(MObject baseObject, int weightIndex,
                                          MObjectArray& targetObjects) const {
  targetObjects.clear();
  MStatus s;
  unsigned int base = indexForOutputShape(baseObject, &s);
  if (!s) return MS::kInvalidParameter;
  Node* n = node();
  const kvhost::Attribute* igt = n->findAttribute("igt");
  std::vector<std::pair<int, Node*>> items;
  for (const auto& c : n->in)
    if (c->dst.attr == igt && c->dst.idx[0] == static_cast<int>(base) && c->dst.idx[1] == weightIndex &&
        c->src.node->hasFn(MFn::kMesh))
      items.push_back({c->dst.idx[2], c->src.node});
  // A weight whose target shape was deleted (only its deltas kept) has no target
  // object to give: Maya reports a failure, which exporters tell their users.
  if (items.empty()) return MS::kFailure;
  std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [item, target] : items) targetObjects.append(MObject(target->shared_from_this()));
  return MS::kSuccess;
}
