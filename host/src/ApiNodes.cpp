// MDagPath, MPlug, the node function sets (dependency node, DAG node,
// transform, joint, matrix data) and the DAG and node iterators.

#include <algorithm>

#include <kvhost/TestSwitches.h>
#include <maya/MDagPath.h>
#include <maya/MDagPathArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MFnMatrixData.h>
#include <maya/MFnTransform.h>
#include <maya/MIntArray.h>
#include <maya/MItDag.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>

#include "Core.h"
#include "MathUtil.h"

using kvhost::Node;
using kvhost::PlugKey;
using kvhost::Value;

MDGContext MDGContext::fsNormal;

namespace {

bool gFailNextDag = false;
bool gFailNextNodes = false;

kvhost::Scene::Impl& scene() { return kvhost::Scene::get().impl(); }

// The nodes of a path, from the top node down.
std::vector<Node*> rawPath(const MDagPath& p) {
  std::vector<Node*> out(p.length());
  for (const kvhost::DagLink* link = p.fTail.get(); link; link = link->up.get()) out[link->length - 1] = link->node.get();
  return out;
}

MDagPath pathFrom(std::shared_ptr<const kvhost::DagLink> tail) {
  MDagPath p;
  p.fTail = std::move(tail);
  return p;
}

Node* lastNode(const MDagPath& p) { return p.fTail ? p.fTail->node.get() : nullptr; }

// Nodes die only all together, when the scene is cleared, and a node made
// afterwards cannot be parented under one of them: the last node of a path
// tells whether the whole path is alive.
bool pathAlive(const MDagPath& p) {
  if (p.fWorld) return true;
  return p.fTail && p.fTail->node->alive;
}

PlugKey keyOf(const MPlug& p) { return PlugKey{p.fNode.get(), p.fAttr, p.fIndices}; }

MPlug plugOf(const PlugKey& k) {
  MPlug p;
  p.fNode = k.node->shared_from_this();
  p.fAttr = k.attr;
  p.fIndices = k.idx;
  return p;
}

void setStatus(MStatus* status, MStatus value) {
  if (status) *status = value;
}

}  // namespace

namespace kvhost {
void failNextDagIterator() { gFailNextDag = true; }
void failNextDependencyNodeIterator() { gFailNextNodes = true; }
void clearTestSwitches() { gFailNextDag = gFailNextNodes = false; }
}  // namespace kvhost

// ------------------------------------------------------------------ MDagPath

MStatus MDagPath::getAllPathsTo(const MObject& object, MDagPathArray& paths) {
  paths.clear();
  Node* n = kvhost::nodeOf(object);
  if (!n || !n->isDag()) return MS::kInvalidParameter;
  for (const auto& p : kvhost::pathsTo(n)) paths.append(pathFrom(p));
  return MS::kSuccess;
}

MStatus MDagPath::getAPathTo(const MObject& object, MDagPath& path) {
  Node* n = kvhost::nodeOf(object);
  if (!n || !n->isDag()) return MS::kInvalidParameter;
  if (n == scene().world.get()) {
    path = MDagPath();
    path.fWorld = true;
    return MS::kSuccess;
  }
  const kvhost::DagLinks& paths = kvhost::pathsTo(n);
  if (paths.empty()) return MS::kFailure;
  path = pathFrom(paths.front());
  return MS::kSuccess;
}

bool MDagPath::isValid(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return pathAlive(*this);
}

MObject MDagPath::node(MStatus* status) const {
  if (!pathAlive(*this)) {
    setStatus(status, MS::kFailure);
    return MObject();
  }
  setStatus(status, MS::kSuccess);
  if (fWorld) return MObject(scene().world);
  return MObject(fTail->node);
}

bool MDagPath::hasFn(MFn::Type type, MStatus* status) const { return node(status).hasFn(type); }

MFn::Type MDagPath::apiType(MStatus* status) const { return node(status).apiType(); }

MObject MDagPath::transform(MStatus* status) const {
  if (!pathAlive(*this) || fWorld) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  const kvhost::DagLink* link = fTail.get();
  while (link && !link->node->hasFn(MFn::kTransform)) link = link->up.get();
  if (!link) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  setStatus(status, MS::kSuccess);
  return MObject(link->node);
}

unsigned int MDagPath::length(MStatus* status) const {
  setStatus(status, pathAlive(*this) ? MS::kSuccess : MS::kFailure);
  return fTail ? fTail->length : 0;
}

unsigned int MDagPath::childCount(MStatus* status) const {
  if (!pathAlive(*this)) {
    setStatus(status, MS::kFailure);
    return 0;
  }
  setStatus(status, MS::kSuccess);
  Node* n = fWorld ? scene().world.get() : lastNode(*this);
  return static_cast<unsigned int>(n->children.size());
}

MObject MDagPath::child(unsigned int index, MStatus* status) const {
  if (!pathAlive(*this)) {
    setStatus(status, MS::kFailure);
    return MObject();
  }
  Node* n = fWorld ? scene().world.get() : lastNode(*this);
  if (index >= n->children.size()) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  setStatus(status, MS::kSuccess);
  return MObject(n->children[index]->shared_from_this());
}

MStatus MDagPath::push(const MObject& child) {
  Node* c = kvhost::nodeOf(child);
  if (!c || !pathAlive(*this)) return MS::kInvalidParameter;
  Node* n = fWorld || !fTail ? scene().world.get() : lastNode(*this);
  if (std::find(n->children.begin(), n->children.end(), c) == n->children.end()) return MS::kInvalidParameter;
  fTail = std::make_shared<const kvhost::DagLink>(c->shared_from_this(), std::move(fTail));
  fWorld = false;
  return MS::kSuccess;
}

MStatus MDagPath::pop(unsigned int count) {
  if (count > length()) return MS::kInvalidParameter;
  for (; count > 0; --count) fTail = fTail->up;
  if (!fTail) fWorld = true;
  return MS::kSuccess;
}

MStatus MDagPath::extendToShape() {
  if (!pathAlive(*this) || fWorld) return MS::kFailure;
  Node* n = lastNode(*this);
  if (n->type->shape) return MS::kSuccess;
  Node* shape = nullptr;
  for (Node* c : n->children)
    if (c->type->shape && !kvhost::getBool(*c, "io")) {
      if (shape) return MS::kFailure;
      shape = c;
    }
  if (!shape) return MS::kFailure;
  fTail = std::make_shared<const kvhost::DagLink>(shape->shared_from_this(), std::move(fTail));
  return MS::kSuccess;
}

MStatus MDagPath::numberOfShapesDirectlyBelow(unsigned int& count) const {
  count = 0;
  if (!pathAlive(*this) || fWorld) return MS::kInvalidParameter;
  for (Node* c : lastNode(*this)->children)
    if (c->type->shape) ++count;
  return MS::kSuccess;
}

unsigned int MDagPath::instanceNumber(MStatus* status) const {
  if (!pathAlive(*this) || fWorld) {
    setStatus(status, MS::kFailure);
    return 0;
  }
  setStatus(status, MS::kSuccess);
  const kvhost::DagLinks& paths = kvhost::pathsTo(lastNode(*this));
  for (size_t i = 0; i < paths.size(); ++i)
    if (pathFrom(paths[i]) == *this) return static_cast<unsigned int>(i);
  return 0;
}

bool MDagPath::isInstanced(MStatus* status) const {
  if (!pathAlive(*this) || fWorld) {
    setStatus(status, MS::kFailure);
    return false;
  }
  setStatus(status, MS::kSuccess);
  return kvhost::pathsTo(lastNode(*this)).size() > 1;
}

MMatrix MDagPath::inclusiveMatrix(MStatus* status) const {
  if (!pathAlive(*this)) {
    setStatus(status, MS::kFailure);
    return MMatrix();
  }
  setStatus(status, MS::kSuccess);
  return kvhost::worldMatrix(fTail.get());
}

MString MDagPath::fullPathName(MStatus* status) const {
  setStatus(status, pathAlive(*this) ? MS::kSuccess : MS::kFailure);
  std::string s;
  for (Node* n : rawPath(*this)) s += "|" + n->name;
  return MString(s);
}

MString MDagPath::partialPathName(MStatus* status) const {
  setStatus(status, pathAlive(*this) ? MS::kSuccess : MS::kFailure);
  if (!fTail) return MString();
  // The shortest tail of the path that names the node uniquely.
  std::string s;
  for (const kvhost::DagLink* link = fTail.get(); link; link = link->up.get()) {
    s = link == fTail.get() ? link->node->name : link->node->name + "|" + s;
    if (scene().find(s) == lastNode(*this) && (link != fTail.get() || scene().byName.count(s) == 1))
      return MString(s);
  }
  return fullPathName();
}

bool MDagPath::operator==(const MDagPath& other) const {
  if (fWorld != other.fWorld || length() != other.length()) return false;
  // Paths that share a link share everything above it.
  const kvhost::DagLink* a = fTail.get();
  const kvhost::DagLink* b = other.fTail.get();
  for (; a != b; a = a->up.get(), b = b->up.get())
    if (a->node != b->node) return false;
  return true;
}

// ------------------------------------------------------------------ MPlug

MPlug::MPlug(const MObject& node, const MObject& attribute) {
  Node* n = kvhost::nodeOf(node);
  auto* a = dynamic_cast<kvhost::AttributeObject*>(attribute.object().get());
  if (!n || !a) return;
  if (n->findAttribute(a->attr->longName) != a->attr) return;
  fNode = n->shared_from_this();
  fAttr = a->attr;
  fIndices.assign(fAttr->chain.size(), -1);
}

bool MPlug::isNull(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return !fNode || !fAttr || !fNode->alive;
}

MObject MPlug::node(MStatus* status) const {
  if (isNull()) {
    setStatus(status, MS::kFailure);
    return MObject();
  }
  setStatus(status, MS::kSuccess);
  return MObject(fNode);
}

MObject MPlug::attribute(MStatus* status) const {
  if (isNull()) {
    setStatus(status, MS::kFailure);
    return MObject();
  }
  setStatus(status, MS::kSuccess);
  return MObject(std::make_shared<kvhost::AttributeObject>(fAttr, fNode));
}

MString MPlug::name(MStatus* status) const {
  if (isNull()) {
    setStatus(status, MS::kFailure);
    return MString();
  }
  setStatus(status, MS::kSuccess);
  return MString(kvhost::plugName(keyOf(*this), false));
}

MString MPlug::partialName(bool includeNodeName, bool, bool, bool, bool, bool useLongNames, MStatus* status) const {
  if (isNull()) {
    setStatus(status, MS::kFailure);
    return MString();
  }
  setStatus(status, MS::kSuccess);
  std::string s = kvhost::plugName(keyOf(*this), useLongNames);
  if (!includeNodeName) s = s.substr(fNode->name.size() + 1);
  return MString(s);
}

bool MPlug::isArray(MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  return !isNull() && fAttr->multi && fIndices.back() < 0;
}

bool MPlug::isElement(MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  return !isNull() && fAttr->multi && fIndices.back() >= 0;
}

bool MPlug::isCompound(MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  return !isNull() && !fAttr->children.empty();
}

bool MPlug::isChild(MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  return !isNull() && fAttr->parent != nullptr;
}

bool MPlug::isDestination(MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  return !isNull() && scene().incoming(keyOf(*this)) != nullptr;
}

bool MPlug::isSource(MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  if (isNull()) return false;
  PlugKey k = keyOf(*this);
  for (const auto& c : fNode->out)
    if (c->src == k) return true;
  return false;
}

bool MPlug::isConnected(MStatus* status) const { return isDestination(status) || isSource(status); }

unsigned int MPlug::logicalIndex(MStatus* status) const {
  if (!isElement()) {
    setStatus(status, MS::kFailure);
    return static_cast<unsigned int>(-1);
  }
  setStatus(status, MS::kSuccess);
  return static_cast<unsigned int>(fIndices.back());
}

unsigned int MPlug::getExistingArrayAttributeIndices(MIntArray& indices, MStatus* status) const {
  indices.clear();
  if (!isArray()) {
    setStatus(status, MS::kFailure);
    return 0;
  }
  setStatus(status, MS::kSuccess);
  PlugKey k = keyOf(*this);
  std::vector<int> ids;
  kvhost::Slot scratch;
  if (const kvhost::Slot* s = scene().lookup(k, scratch); s && s->sub) ids.assign(s->sub->indices.begin(), s->sub->indices.end());
  size_t depth = fIndices.size();
  auto prefixMatches = [&](const PlugKey& other) {
    if (other.attr->chain.size() < depth || other.attr->chain[depth - 1] != fAttr) return false;
    for (size_t i = 0; i + 1 < depth; ++i)
      if (other.idx[i] != std::max(fIndices[i], 0) && !(fIndices[i] < 0 && other.idx[i] <= 0)) return false;
    return true;
  };
  for (const auto& c : fNode->in)
    if (prefixMatches(c->dst)) ids.push_back(c->dst.idx[depth - 1]);
  for (const auto& c : fNode->out)
    if (prefixMatches(c->src)) ids.push_back(c->src.idx[depth - 1]);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  for (int i : ids)
    if (i >= 0) indices.append(i);
  return indices.length();
}

unsigned int MPlug::numElements(MStatus* status) const {
  MIntArray ids;
  return getExistingArrayAttributeIndices(ids, status);
}

MPlug MPlug::elementByLogicalIndex(unsigned int index, MStatus* status) const {
  if (!isArray()) {
    setStatus(status, MS::kFailure);
    return MPlug();
  }
  setStatus(status, MS::kSuccess);
  MPlug p = *this;
  p.fIndices.back() = static_cast<int>(index);
  return p;
}

MPlug MPlug::elementByPhysicalIndex(unsigned int index, MStatus* status) const {
  MIntArray ids;
  getExistingArrayAttributeIndices(ids);
  if (index >= ids.length()) {
    setStatus(status, MS::kFailure);
    return MPlug();
  }
  return elementByLogicalIndex(static_cast<unsigned int>(ids[index]), status);
}

MStatus MPlug::selectAncestorLogicalIndex(unsigned int index, const MObject& attribute) {
  if (isNull()) return MS::kFailure;
  const kvhost::Attribute* target = fAttr;
  if (!attribute.isNull()) {
    auto* a = dynamic_cast<kvhost::AttributeObject*>(attribute.object().get());
    if (!a) return MS::kInvalidParameter;
    target = a->attr;
  }
  for (size_t i = 0; i < fAttr->chain.size(); ++i)
    if (fAttr->chain[i] == target) {
      if (!target->multi) return MS::kInvalidParameter;
      fIndices[i] = static_cast<int>(index);
      return MS::kSuccess;
    }
  return MS::kInvalidParameter;
}

unsigned int MPlug::numChildren(MStatus* status) const {
  setStatus(status, isNull() ? MS::kFailure : MS::kSuccess);
  return isNull() ? 0 : static_cast<unsigned int>(fAttr->children.size());
}

MPlug MPlug::child(unsigned int index, MStatus* status) const {
  if (isNull() || index >= fAttr->children.size()) {
    setStatus(status, MS::kInvalidParameter);
    return MPlug();
  }
  setStatus(status, MS::kSuccess);
  MPlug p = *this;
  p.fAttr = fAttr->children[index];
  p.fIndices.push_back(-1);
  return p;
}

MPlug MPlug::child(const MObject& attribute, MStatus* status) const {
  auto* a = dynamic_cast<kvhost::AttributeObject*>(attribute.object().get());
  if (!a || isNull() || a->attr->parent != fAttr) {
    setStatus(status, MS::kInvalidParameter);
    return MPlug();
  }
  return child(static_cast<unsigned int>(a->attr->childIndex), status);
}

MPlug MPlug::parent(MStatus* status) const {
  if (isNull() || !fAttr->parent) {
    setStatus(status, MS::kInvalidParameter);
    return MPlug();
  }
  setStatus(status, MS::kSuccess);
  MPlug p = *this;
  p.fAttr = fAttr->parent;
  p.fIndices.pop_back();
  return p;
}

MPlug MPlug::array(MStatus* status) const {
  if (!isElement()) {
    setStatus(status, MS::kInvalidParameter);
    return MPlug();
  }
  setStatus(status, MS::kSuccess);
  MPlug p = *this;
  p.fIndices.back() = -1;
  return p;
}

bool MPlug::connectedTo(MPlugArray& plugs, bool asDst, bool asSrc, MStatus* status) const {
  plugs.clear();
  if (isNull()) {
    setStatus(status, MS::kFailure);
    return false;
  }
  setStatus(status, MS::kSuccess);
  PlugKey k = keyOf(*this);
  if (asDst)
    if (const kvhost::Connection* c = scene().incoming(k)) plugs.append(plugOf(c->src));
  if (asSrc)
    for (const auto& c : fNode->out)
      if (c->src == k) plugs.append(plugOf(c->dst));
  return plugs.length() > 0;
}

namespace {

MStatus readNumber(const MPlug& p, double& out) {
  if (p.isNull()) return MS::kFailure;
  Value v;
  if (!kvhost::readValue(keyOf(p), v) || v.kind != Value::Number) return MS::kFailure;
  out = v.n[0];
  return MS::kSuccess;
}

MStatus writeNumber(const MPlug& p, double value) {
  if (p.isNull() || !p.fAttr || (p.fAttr->type != kvhost::AttrType::Numeric && p.fAttr->type != kvhost::AttrType::Generic))
    return MS::kFailure;
  if (p.fAttr->multi && p.fIndices.back() < 0) return MS::kFailure;
  Value v;
  v.kind = Value::Number;
  v.n[0] = value;
  return kvhost::writeValue(keyOf(p), v) ? MS::kSuccess : MS::kFailure;
}

}  // namespace

MStatus MPlug::getValue(MObject& value, const MDGContext&) const {
  if (isNull()) return MS::kFailure;
  Value v;
  if (!kvhost::readValue(keyOf(*this), v) || v.kind != Value::DataValue) return MS::kFailure;
  value = MObject(std::const_pointer_cast<kvhost::Data>(v.data));
  return MS::kSuccess;
}

MStatus MPlug::getValue(MString& value, const MDGContext&) const {
  if (isNull()) return MS::kFailure;
  Value v;
  if (!kvhost::readValue(keyOf(*this), v) || v.kind != Value::DataValue) return MS::kFailure;
  auto s = std::dynamic_pointer_cast<const kvhost::StringData>(v.data);
  if (!s) return MS::kFailure;
  value = MString(s->value);
  return MS::kSuccess;
}

MStatus MPlug::getValue(double& value, const MDGContext&) const { return readNumber(*this, value); }

MStatus MPlug::getValue(float& value, const MDGContext&) const {
  double d;
  MStatus s = readNumber(*this, d);
  if (s) value = static_cast<float>(d);
  return s;
}

MStatus MPlug::getValue(int& value, const MDGContext&) const {
  double d;
  MStatus s = readNumber(*this, d);
  if (s) value = kvhost::toInt(d);
  return s;
}

MStatus MPlug::getValue(short& value, const MDGContext&) const {
  double d;
  MStatus s = readNumber(*this, d);
  if (s) value = static_cast<short>(kvhost::toInt(d));
  return s;
}

MStatus MPlug::getValue(bool& value, const MDGContext&) const {
  double d;
  MStatus s = readNumber(*this, d);
  if (s) value = d != 0.0;
  return s;
}

MStatus MPlug::getValue(char& value, const MDGContext&) const {
  double d;
  MStatus s = readNumber(*this, d);
  if (s) value = static_cast<char>(kvhost::toInt(d));
  return s;
}

MStatus MPlug::setValue(const MObject& value) {
  if (isNull() || fAttr->type != kvhost::AttrType::Typed) return MS::kFailure;
  auto data = std::dynamic_pointer_cast<kvhost::Data>(value.object());
  if (!data) return MS::kInvalidParameter;
  Value v;
  v.kind = Value::DataValue;
  v.data = data;
  return kvhost::writeValue(keyOf(*this), v) ? MS::kSuccess : MS::kFailure;
}

MStatus MPlug::setValue(const MString& value) {
  if (isNull() || !(fAttr->type == kvhost::AttrType::Generic ||
                    (fAttr->type == kvhost::AttrType::Typed && fAttr->data == kvhost::DataType::String)))
    return MS::kFailure;
  Value v;
  v.kind = Value::DataValue;
  v.data = std::make_shared<kvhost::StringData>(value.asChar());
  return kvhost::writeValue(keyOf(*this), v) ? MS::kSuccess : MS::kFailure;
}

MStatus MPlug::setValue(const char* value) { return setValue(MString(value)); }
MStatus MPlug::setValue(double value) { return writeNumber(*this, value); }
MStatus MPlug::setValue(float value) { return writeNumber(*this, value); }
MStatus MPlug::setValue(int value) { return writeNumber(*this, value); }
MStatus MPlug::setValue(short value) { return writeNumber(*this, value); }
MStatus MPlug::setValue(bool value) { return writeNumber(*this, value ? 1.0 : 0.0); }
MStatus MPlug::setValue(char value) { return writeNumber(*this, value); }

double MPlug::asDouble(const MDGContext& ctx, MStatus* status) const {
  double v = 0;
  setStatus(status, getValue(v, ctx));
  return v;
}
float MPlug::asFloat(const MDGContext& ctx, MStatus* status) const {
  float v = 0;
  setStatus(status, getValue(v, ctx));
  return v;
}
int MPlug::asInt(const MDGContext& ctx, MStatus* status) const {
  int v = 0;
  setStatus(status, getValue(v, ctx));
  return v;
}
short MPlug::asShort(const MDGContext& ctx, MStatus* status) const {
  short v = 0;
  setStatus(status, getValue(v, ctx));
  return v;
}
bool MPlug::asBool(const MDGContext& ctx, MStatus* status) const {
  bool v = false;
  setStatus(status, getValue(v, ctx));
  return v;
}
MString MPlug::asString(const MDGContext& ctx, MStatus* status) const {
  MString v;
  setStatus(status, getValue(v, ctx));
  return v;
}
MObject MPlug::asMObject(const MDGContext& ctx, MStatus* status) const {
  MObject v;
  setStatus(status, getValue(v, ctx));
  return v;
}

bool MPlug::operator==(const MPlug& other) const {
  return fNode == other.fNode && fAttr == other.fAttr && fIndices == other.fIndices;
}

// ------------------------------------------------------------------ MFnBase

MFnBase::~MFnBase() = default;

bool MFnBase::hasObj(MFn::Type t) const { return fObject.hasFn(t); }

MObject MFnBase::object(MStatus* status) const {
  setStatus(status, fObject.isNull() ? MS::kFailure : MS::kSuccess);
  return fObject;
}

MStatus MFnBase::setObject(const MObject& object) {
  fHasPath = false;
  fPath = MDagPath();
  if (object.isNull() || !object.hasFn(type())) {
    fObject = MObject();
    return MS::kInvalidParameter;
  }
  if (Node* n = object.object()->asNode(); n && !n->alive) {
    fObject = MObject();
    return MS::kInvalidParameter;
  }
  fObject = object;
  return MS::kSuccess;
}

Node* MFnBase::node(MStatus* status) const {
  Node* n = kvhost::nodeOf(fObject);
  setStatus(status, n ? MS::kSuccess : MS::kInvalidParameter);
  return n;
}

// ------------------------------------------------------------------ MFnDependencyNode

MFnDependencyNode::MFnDependencyNode(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }

MObject MFnDependencyNode::create(const MString& type, MStatus* status) { return create(type, MString(), status); }

MObject MFnDependencyNode::create(const MString& type, const MString& name, MStatus* status) {
  MObject o = kvhost::Scene::get().createNode(type.asChar(), name.asChar());
  setStatus(status, o.isNull() ? MS::kFailure : MS::kSuccess);
  if (!o.isNull()) setObject(o);
  return o;
}

MString MFnDependencyNode::name(MStatus* status) const {
  Node* n = node(status);
  return n ? MString(n->name) : MString();
}

MString MFnDependencyNode::setName(const MString& newName, bool, MStatus* status) {
  Node* n = node(status);
  if (!n) return MString();
  if (!kvhost::Scene::get().rename(fObject, newName.asChar())) setStatus(status, MS::kFailure);
  return MString(n->name);
}

MString MFnDependencyNode::typeName(MStatus* status) const {
  Node* n = node(status);
  return n ? MString(n->typeName) : MString();
}

MPlug MFnDependencyNode::findPlug(const MString& attribute, MStatus* status) const {
  Node* n = node(status);
  if (!n) return MPlug();
  MPlug p;
  if (const kvhost::Attribute* a = n->findAttribute(attribute.asChar())) {
    p.fNode = n->shared_from_this();
    p.fAttr = a;
    p.fIndices.assign(a->chain.size(), -1);
    return p;
  }
  kvhost::Scene::Impl::ParsedPlug parsed;
  std::string saved = scene().error;
  if (std::string(attribute.asChar()).find_first_of(".[") != std::string::npos &&
      scene().parsePlug(*n, attribute.asChar(), parsed, false) && parsed.rangeAt < 0)
    return plugOf(parsed.key);
  scene().error = saved;
  setStatus(status, MS::kInvalidParameter);
  return MPlug();
}

MPlug MFnDependencyNode::findPlug(const MString& attribute, bool, MStatus* status) const {
  return findPlug(attribute, status);
}

MPlug MFnDependencyNode::findPlug(const MObject& attribute, MStatus* status) const {
  Node* n = node(status);
  if (!n) return MPlug();
  MPlug p(fObject, attribute);
  setStatus(status, p.isNull() ? MS::kInvalidParameter : MS::kSuccess);
  return p;
}

MPlug MFnDependencyNode::findPlug(const MObject& attribute, bool, MStatus* status) const {
  return findPlug(attribute, status);
}

MObject MFnDependencyNode::attribute(const MString& name, MStatus* status) const {
  Node* n = node(status);
  if (!n) return MObject();
  const kvhost::Attribute* a = n->findAttribute(name.asChar());
  if (!a) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  return MObject(std::make_shared<kvhost::AttributeObject>(a, n->shared_from_this()));
}

unsigned int MFnDependencyNode::attributeCount(MStatus* status) const {
  Node* n = node(status);
  return n ? static_cast<unsigned int>(n->type->attrs.size() + n->dynAttrs.size()) : 0;
}

MObject MFnDependencyNode::attribute(unsigned int index, MStatus* status) const {
  Node* n = node(status);
  if (!n) return MObject();
  const kvhost::Attribute* a = nullptr;
  if (index < n->type->attrs.size()) a = n->type->attrs[index];
  else if (index - n->type->attrs.size() < n->dynAttrs.size()) a = n->dynAttrs[index - n->type->attrs.size()].get();
  if (!a) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  return MObject(std::make_shared<kvhost::AttributeObject>(a, n->shared_from_this()));
}

bool MFnDependencyNode::hasAttribute(const MString& name, MStatus* status) const {
  Node* n = node(status);
  return n && n->findAttribute(name.asChar()) != nullptr;
}

MStatus MFnDependencyNode::getConnections(MPlugArray& plugs) const {
  plugs.clear();
  Node* n = node();
  if (!n) return MS::kInvalidParameter;
  for (const auto& c : n->in) plugs.append(plugOf(c->dst));
  for (const auto& c : n->out) {
    MPlug p = plugOf(c->src);
    bool seen = false;
    for (unsigned i = 0; i < plugs.length() && !seen; ++i) seen = plugs[i] == p;
    if (!seen) plugs.append(p);
  }
  return MS::kSuccess;
}

bool MFnDependencyNode::isDefaultNode(MStatus* status) const {
  Node* n = node(status);
  return n && n->isDefault;
}

// ------------------------------------------------------------------ MFnDagNode

MFnDagNode::MFnDagNode(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnDagNode::MFnDagNode(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }

MStatus MFnDagNode::setObject(const MObject& object) { return MFnBase::setObject(object); }

MStatus MFnDagNode::setObject(const MDagPath& path) {
  MStatus s;
  MObject o = path.node(&s);
  if (!s) {
    MFnBase::setObject(MObject());
    return MS::kInvalidParameter;
  }
  s = MFnBase::setObject(o);
  if (s) {
    fPath = path;
    fHasPath = true;
  }
  return s;
}

MDagPath MFnDagNode::pathOrFirst() const {
  if (fHasPath) return fPath;
  MDagPath p;
  MDagPath::getAPathTo(fObject, p);
  return p;
}

unsigned int MFnDagNode::parentCount(MStatus* status) const {
  Node* n = node(status);
  return n ? static_cast<unsigned int>(n->parents.size()) : 0;
}

MObject MFnDagNode::parent(unsigned int index, MStatus* status) const {
  Node* n = node(status);
  if (!n) return MObject();
  if (index >= n->parents.size()) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  Node* p = n->parents[index];
  return MObject(p ? p->shared_from_this() : scene().world);
}

unsigned int MFnDagNode::childCount(MStatus* status) const {
  Node* n = node(status);
  return n ? static_cast<unsigned int>(n->children.size()) : 0;
}

MObject MFnDagNode::child(unsigned int index, MStatus* status) const {
  Node* n = node(status);
  if (!n) return MObject();
  if (index >= n->children.size()) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  return MObject(n->children[index]->shared_from_this());
}

bool MFnDagNode::hasChild(const MObject& object, MStatus* status) const {
  Node* n = node(status);
  Node* c = kvhost::nodeOf(object);
  return n && c && std::find(n->children.begin(), n->children.end(), c) != n->children.end();
}

bool MFnDagNode::isChildOf(const MObject& object, MStatus* status) const {
  Node* n = node(status);
  Node* p = kvhost::nodeOf(object);
  if (!n || !p) return false;
  if (p == scene().world.get()) return std::find(n->parents.begin(), n->parents.end(), nullptr) != n->parents.end();
  return std::find(n->parents.begin(), n->parents.end(), p) != n->parents.end();
}

bool MFnDagNode::isParentOf(const MObject& object, MStatus* status) const { return hasChild(object, status); }

MStatus MFnDagNode::getPath(MDagPath& path) const {
  if (!node()) return MS::kInvalidParameter;
  path = pathOrFirst();
  return MS::kSuccess;
}

MDagPath MFnDagNode::dagPath(MStatus* status) const {
  MDagPath p;
  setStatus(status, getPath(p));
  return p;
}

MStatus MFnDagNode::getAllPaths(MDagPathArray& paths) const { return MDagPath::getAllPathsTo(fObject, paths); }

MString MFnDagNode::fullPathName(MStatus* status) const {
  if (!node(status)) return MString();
  return pathOrFirst().fullPathName();
}

MString MFnDagNode::partialPathName(MStatus* status) const {
  if (!node(status)) return MString();
  return pathOrFirst().partialPathName();
}

bool MFnDagNode::isInstanced(bool, MStatus* status) const {
  Node* n = node(status);
  return n && kvhost::pathsTo(n).size() > 1;
}

unsigned int MFnDagNode::instanceCount(bool, MStatus* status) const {
  Node* n = node(status);
  return n ? static_cast<unsigned int>(kvhost::pathsTo(n).size()) : 0;
}

bool MFnDagNode::isIntermediateObject(MStatus* status) const {
  Node* n = node(status);
  return n && kvhost::getBool(*n, "io");
}

MStatus MFnDagNode::setIntermediateObject(bool value) {
  Node* n = node();
  if (!n) return MS::kInvalidParameter;
  return findPlug("io").setValue(value);
}

MMatrix MFnDagNode::transformationMatrix(MStatus* status) const {
  Node* n = node(status);
  return n ? kvhost::localMatrix(*n) : MMatrix();
}

// ------------------------------------------------------------------ MFnTransform

MFnTransform::MFnTransform(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnTransform::MFnTransform(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }

MTransformationMatrix MFnTransform::transformation(MStatus* status) const {
  Node* n = node(status);
  if (!n) return MTransformationMatrix();
  if (n->type->joint) return MTransformationMatrix(kvhost::localMatrix(*n));
  MTransformationMatrix tm;
  MVector s = kvhost::getVector(*n, "s"), sh = kvhost::getVector(*n, "sh"), r = kvhost::getVector(*n, "r"),
          ra = kvhost::getVector(*n, "ra");
  tm.setScale(&s.x, MSpace::kTransform);
  tm.setShear(&sh.x, MSpace::kTransform);
  tm.setRotation(&r.x, static_cast<MTransformationMatrix::RotationOrder>(kvhost::getNumber(*n, "ro") + 1));
  MQuaternion raq;
  raq = kvhost::eulerMatrix(&ra.x, 0);
  tm.setRotationOrientation(raq);
  tm.setTranslation(kvhost::getVector(*n, "t"), MSpace::kTransform);
  tm.setScalePivot(MPoint(kvhost::getVector(*n, "sp")), MSpace::kTransform, false);
  tm.setScalePivotTranslation(kvhost::getVector(*n, "spt"), MSpace::kTransform);
  tm.setRotatePivot(MPoint(kvhost::getVector(*n, "rp")), MSpace::kTransform, false);
  tm.setRotatePivotTranslation(kvhost::getVector(*n, "rpt"), MSpace::kTransform);
  return tm;
}

MStatus MFnTransform::set(const MTransformationMatrix& tm) {
  Node* n = node();
  if (!n) return MS::kInvalidParameter;
  if (n->type->joint) {
    kvhost::setLocalMatrix(*n, tm.asMatrix());
    return MS::kSuccess;
  }
  // Copy the components; the rotation is expressed in the node's rotate order.
  MFnDependencyNode fn(fObject);
  auto write3 = [&](const char* attr, const MVector& v) {
    MPlug p = fn.findPlug(attr);
    for (unsigned i = 0; i < 3; ++i) p.child(i).setValue(v[i]);
  };
  double s[3], sh[3];
  tm.getScale(s, MSpace::kTransform);
  tm.getShear(sh, MSpace::kTransform);
  double r[3];
  kvhost::eulerFromMatrix(tm.rotation().asMatrix(), kvhost::toInt(kvhost::getNumber(*n, "ro")), r);
  double ra[3];
  kvhost::eulerFromMatrix(tm.rotationOrientation().asMatrix(), 0, ra);
  write3("s", MVector(s));
  write3("sh", MVector(sh));
  write3("r", MVector(r));
  write3("ra", MVector(ra));
  write3("t", tm.translation(MSpace::kTransform));
  write3("sp", MVector(tm.scalePivot(MSpace::kTransform)));
  write3("spt", tm.scalePivotTranslation(MSpace::kTransform));
  write3("rp", MVector(tm.rotatePivot(MSpace::kTransform)));
  write3("rpt", tm.rotatePivotTranslation(MSpace::kTransform));
  return MS::kSuccess;
}

MVector MFnTransform::getTranslation(MSpace::Space space, MStatus* status) const {
  Node* n = node(status);
  if (!n) return MVector();
  if (space == MSpace::kWorld) {
    MMatrix w = pathOrFirst().inclusiveMatrix();
    return MVector(w[3][0], w[3][1], w[3][2]);
  }
  return kvhost::getVector(*n, "t");
}

MStatus MFnTransform::setTranslation(const MVector& v, MSpace::Space) {
  if (!node()) return MS::kInvalidParameter;
  MPlug p = findPlug("t");
  for (unsigned i = 0; i < 3; ++i) p.child(i).setValue(v[i]);
  return MS::kSuccess;
}

MStatus MFnTransform::getRotation(MEulerRotation& rotation) const {
  Node* n = node();
  if (!n) return MS::kInvalidParameter;
  MVector r = kvhost::getVector(*n, "r");
  rotation = MEulerRotation(r, static_cast<MEulerRotation::RotationOrder>(kvhost::getNumber(*n, "ro")));
  return MS::kSuccess;
}

MStatus MFnTransform::getRotation(MQuaternion& rotation, MSpace::Space) const {
  MEulerRotation e;
  MStatus s = getRotation(e);
  if (s) rotation = e.asQuaternion();
  return s;
}

MStatus MFnTransform::setRotation(const MEulerRotation& rotation) {
  Node* n = node();
  if (!n) return MS::kInvalidParameter;
  MEulerRotation e = rotation.reorder(static_cast<MEulerRotation::RotationOrder>(kvhost::getNumber(*n, "ro")));
  MPlug p = findPlug("r");
  for (unsigned i = 0; i < 3; ++i) p.child(i).setValue(e[i]);
  return MS::kSuccess;
}

MStatus MFnTransform::setRotation(const MQuaternion& rotation, MSpace::Space) {
  return setRotation(MEulerRotation::decompose(rotation.asMatrix(), MEulerRotation::kXYZ));
}

MTransformationMatrix::RotationOrder MFnTransform::rotationOrder(MStatus* status) const {
  Node* n = node(status);
  return n ? static_cast<MTransformationMatrix::RotationOrder>(kvhost::getNumber(*n, "ro") + 1)
           : MTransformationMatrix::kInvalid;
}

MStatus MFnTransform::getScale(double scale[3]) const {
  Node* n = node();
  if (!n) return MS::kInvalidParameter;
  kvhost::getVector(*n, "s").get(scale);
  return MS::kSuccess;
}

MStatus MFnTransform::setScale(const double scale[3]) {
  if (!node()) return MS::kInvalidParameter;
  MPlug p = findPlug("s");
  for (unsigned i = 0; i < 3; ++i) p.child(i).setValue(scale[i]);
  return MS::kSuccess;
}

MStatus MFnTransform::getShear(double shear[3]) const {
  Node* n = node();
  if (!n) return MS::kInvalidParameter;
  kvhost::getVector(*n, "sh").get(shear);
  return MS::kSuccess;
}

MStatus MFnTransform::setShear(const double shear[3]) {
  if (!node()) return MS::kInvalidParameter;
  MPlug p = findPlug("sh");
  for (unsigned i = 0; i < 3; ++i) p.child(i).setValue(shear[i]);
  return MS::kSuccess;
}

MPoint MFnTransform::rotatePivot(MSpace::Space, MStatus* status) const {
  Node* n = node(status);
  return n ? MPoint(kvhost::getVector(*n, "rp")) : MPoint();
}

MPoint MFnTransform::scalePivot(MSpace::Space, MStatus* status) const {
  Node* n = node(status);
  return n ? MPoint(kvhost::getVector(*n, "sp")) : MPoint();
}

MQuaternion MFnTransform::rotateOrientation(MSpace::Space, MStatus* status) const {
  Node* n = node(status);
  if (!n) return MQuaternion();
  MVector ra = kvhost::getVector(*n, "ra");
  MQuaternion q;
  q = kvhost::eulerMatrix(&ra.x, 0);
  return q;
}

// ------------------------------------------------------------------ MFnIkJoint

MFnIkJoint::MFnIkJoint(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnIkJoint::MFnIkJoint(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }

MStatus MFnIkJoint::getOrientation(MEulerRotation& orientation) const {
  Node* n = node();
  if (!n) return MS::kInvalidParameter;
  orientation = MEulerRotation(kvhost::getVector(*n, "jo"));
  return MS::kSuccess;
}

MStatus MFnIkJoint::getOrientation(MQuaternion& orientation) const {
  MEulerRotation e;
  MStatus s = getOrientation(e);
  if (s) orientation = e.asQuaternion();
  return s;
}

MStatus MFnIkJoint::setOrientation(const MEulerRotation& orientation) {
  if (!node()) return MS::kInvalidParameter;
  MEulerRotation e = orientation.reorder(MEulerRotation::kXYZ);
  MPlug p = findPlug("jo");
  for (unsigned i = 0; i < 3; ++i) p.child(i).setValue(e[i]);
  return MS::kSuccess;
}

MStatus MFnIkJoint::setOrientation(const MQuaternion& orientation) {
  return setOrientation(MEulerRotation::decompose(orientation.asMatrix(), MEulerRotation::kXYZ));
}

MStatus MFnIkJoint::getScaleOrientation(MQuaternion& orientation) const {
  orientation = rotateOrientation(MSpace::kTransform);
  return node() ? MS::kSuccess : MS::kInvalidParameter;
}

MStatus MFnIkJoint::setScaleOrientation(const MQuaternion& orientation) {
  if (!node()) return MS::kInvalidParameter;
  MEulerRotation e = MEulerRotation::decompose(orientation.asMatrix(), MEulerRotation::kXYZ);
  MPlug p = findPlug("ra");
  for (unsigned i = 0; i < 3; ++i) p.child(i).setValue(e[i]);
  return MS::kSuccess;
}

MStatus MFnIkJoint::getSegmentScale(double scale[3]) const {
  Node* n = node();
  if (!n) return MS::kInvalidParameter;
  kvhost::getVector(*n, "is").get(scale);
  return MS::kSuccess;
}

MStatus MFnIkJoint::setSegmentScale(const double scale[3]) {
  if (!node()) return MS::kInvalidParameter;
  MPlug p = findPlug("is");
  for (unsigned i = 0; i < 3; ++i) p.child(i).setValue(scale[i]);
  return MS::kSuccess;
}

// ------------------------------------------------------------------ MFnMatrixData

MFnMatrixData::MFnMatrixData(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }

const MMatrix& MFnMatrixData::matrix(MStatus* status) const {
  auto* d = dynamic_cast<kvhost::MatrixData*>(fObject.object().get());
  setStatus(status, d ? MS::kSuccess : MS::kInvalidParameter);
  return d ? d->matrix : fMatrix;
}

bool MFnMatrixData::isTransformation(MStatus* status) const {
  auto* d = dynamic_cast<kvhost::MatrixData*>(fObject.object().get());
  setStatus(status, d ? MS::kSuccess : MS::kInvalidParameter);
  return d && d->isXform;
}

MTransformationMatrix MFnMatrixData::transformation(MStatus* status) const {
  return MTransformationMatrix(matrix(status));
}

MStatus MFnMatrixData::set(const MMatrix& m) {
  auto* d = dynamic_cast<kvhost::MatrixData*>(fObject.object().get());
  if (!d) return MS::kInvalidParameter;
  d->matrix = m;
  d->isXform = false;
  return MS::kSuccess;
}

MObject MFnMatrixData::create(const MMatrix& m, MStatus* status) {
  auto d = std::make_shared<kvhost::MatrixData>();
  d->matrix = m;
  MObject o(d);
  setObject(o);
  setStatus(status, MS::kSuccess);
  return o;
}

// ------------------------------------------------------------------ MItDag

MItDag::MItDag(TraversalType type, MFn::Type filter, MStatus* status)
    : fType(type == kBreadthFirst ? kBreadthFirst : kDepthFirst), fFilter(filter) {
  if (gFailNextDag) {
    gFailNextDag = false;
    fFailed = true;
    setStatus(status, MS::kFailure);
    return;
  }
  setStatus(status, MS::kSuccess);
  reset();
}

MItDag::~MItDag() = default;

const MItDag::Frame* MItDag::currentFrame() const {
  const std::vector<Frame>& frames = fType == kBreadthFirst ? fCurrent : fStack;
  return frames.empty() ? nullptr : &frames.back();
}

Node* MItDag::current() const {
  const Frame* f = currentFrame();
  return f ? f->node : nullptr;
}

bool MItDag::matches() const {
  Node* n = current();
  return !n || fFilter == MFn::kInvalid || n->hasFn(fFilter);
}

bool MItDag::step() {
  if (fType == kBreadthFirst) {
    if (fCurrent.empty()) return false;
    const Frame& here = fCurrent.back();
    if (!fPruned)
      for (Node* c : here.node->children)
        fQueue.push_back({c, 0, std::make_shared<const kvhost::DagLink>(c->shared_from_this(), here.path)});
    fPruned = false;
    fCurrent.clear();
    if (fQueue.empty()) return false;
    fCurrent.push_back(std::move(fQueue.front()));
    fQueue.pop_front();
    return true;
  }
  while (!fStack.empty()) {
    Frame& top = fStack.back();
    if (top.child < top.node->children.size()) {
      Node* c = top.node->children[top.child++];
      fStack.push_back({c, 0, nullptr});
      return true;
    }
    fStack.pop_back();
  }
  return false;
}

// The path through the first `depth` frames below the world: one of the
// node's paths, the one that runs through its parent frame's path when it
// has several.
std::shared_ptr<const kvhost::DagLink> MItDag::stackPath(size_t depth) const {
  if (depth == 0) return nullptr;
  const kvhost::DagLinks& paths = kvhost::pathsTo(fStack[depth].node);
  if (paths.size() == 1) return paths.front();
  const std::shared_ptr<const kvhost::DagLink> up = stackPath(depth - 1);
  for (const auto& p : paths)
    if (p->up == up) return p;
  // Only when the DAG changed under the iterator: the frames still name the path.
  return std::make_shared<const kvhost::DagLink>(fStack[depth].node->shared_from_this(), up);
}

MStatus MItDag::reset() {
  fStack.clear();
  fCurrent.clear();
  fQueue.clear();
  fPruned = false;
  if (fFailed) return MS::kFailure;
  if (fType == kBreadthFirst) fCurrent.push_back({scene().world.get(), 0, nullptr});
  else fStack.push_back({scene().world.get(), 0, nullptr});
  while (current() && !matches()) step();
  return MS::kSuccess;
}

MStatus MItDag::next() {
  if (!current()) return MS::kFailure;
  do {
    if (!step()) break;
  } while (!matches());
  return MS::kSuccess;
}

bool MItDag::isDone(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return current() == nullptr;
}

MObject MItDag::item(MStatus* status) {
  Node* n = current();
  if (!n) {
    setStatus(status, MS::kFailure);
    return MObject();
  }
  setStatus(status, MS::kSuccess);
  return MObject(n->shared_from_this());
}

MStatus MItDag::getPath(MDagPath& path) const {
  const Frame* f = currentFrame();
  if (!f) return MS::kFailure;
  path = MDagPath();
  path.fTail = fType == kBreadthFirst ? f->path : stackPath(fStack.size() - 1);
  path.fWorld = !path.fTail;
  return MS::kSuccess;
}

MString MItDag::fullPathName(MStatus* status) const {
  MDagPath p;
  setStatus(status, getPath(p));
  return p.fullPathName();
}

MString MItDag::partialPathName(MStatus* status) const {
  MDagPath p;
  setStatus(status, getPath(p));
  return p.partialPathName();
}

MStatus MItDag::prune() {
  if (!current()) return MS::kFailure;
  if (fType == kBreadthFirst) fPruned = true;
  else fStack.back().child = fStack.back().node->children.size();
  return MS::kSuccess;
}

unsigned int MItDag::depth(MStatus* status) const {
  const Frame* f = currentFrame();
  setStatus(status, f ? MS::kSuccess : MS::kFailure);
  if (!f) return 0;
  if (fType != kBreadthFirst) return static_cast<unsigned int>(fStack.size() - 1);
  return f->path ? f->path->length : 0;
}

// ------------------------------------------------------------------ MItDependencyNodes

MItDependencyNodes::MItDependencyNodes(MFn::Type filter, MStatus* status) : fFilter(filter) {
  if (gFailNextNodes) {
    gFailNextNodes = false;
    fFailed = true;
    setStatus(status, MS::kFailure);
    return;
  }
  setStatus(status, MS::kSuccess);
  reset();
}

MItDependencyNodes::~MItDependencyNodes() = default;

void MItDependencyNodes::skip() {
  const auto& nodes = scene().nodes;
  while (fIndex < nodes.size() && fFilter != MFn::kInvalid && !nodes[fIndex]->hasFn(fFilter)) ++fIndex;
}

MStatus MItDependencyNodes::reset() {
  fIndex = 0;
  if (fFailed) {
    fIndex = static_cast<size_t>(-1);
    return MS::kFailure;
  }
  skip();
  return MS::kSuccess;
}

MStatus MItDependencyNodes::next() {
  if (isDone()) return MS::kFailure;
  ++fIndex;
  skip();
  return MS::kSuccess;
}

bool MItDependencyNodes::isDone(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return fFailed || fIndex >= scene().nodes.size();
}

MObject MItDependencyNodes::item(MStatus* status) const {
  if (isDone()) {
    setStatus(status, MS::kFailure);
    return MObject();
  }
  setStatus(status, MS::kSuccess);
  return MObject(scene().nodes[fIndex]);
}
