// Plug values as the host reads them (connected sources, computed values,
// stored values, defaults) and the local and world matrices of transforms and
// joints, composed the way Maya composes them.

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

#include "Core.h"
#include "MathUtil.h"

namespace kvhost {

PlugKey keyOf(Node& node, const char* attr, std::vector<int> idx) {
  PlugKey k;
  k.node = &node;
  k.attr = node.findAttribute(attr);
  if (k.attr) {
    k.idx = std::move(idx);
    k.idx.resize(k.attr->chain.size(), -1);
  }
  return k;
}

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

namespace {

std::shared_ptr<const Data> matrixValue(const MMatrix& m) {
  auto d = std::make_shared<MatrixData>();
  d->matrix = m;
  return d;
}

bool computeValue(const PlugKey& key, Value& out) {
  Node& node = *key.node;
  const std::string& s = key.attr->shortName;
  out = Value();
  out.kind = Value::DataValue;
  if (node.type->dag && (s == "wm" || s == "wim" || s == "pm" || s == "pim")) {
    int instance = std::max(0, key.idx.empty() ? 0 : key.idx.back());
    const DagLinks& paths = pathsTo(&node);
    if (paths.empty()) return false;
    const DagLink* path = paths[std::min(static_cast<size_t>(instance), paths.size() - 1)].get();
    if (s == "pm" || s == "pim") path = path->up.get();
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
  Slot scratch;
  const Slot* s = impl.lookup(key, scratch);
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

// The world matrix along `path`; a node with one path keeps its world matrix.
MMatrix worldMatrix(const DagLink* path) {
  if (!path) return MMatrix();
  Node* node = path->node.get();
  bool single = pathsTo(node).size() == 1;
  if (single && node->hasWorld) return node->worldCache;
  MMatrix local = localMatrix(*node);
  MMatrix m = node->type->transform && !getBool(*node, "it") ? local : local * worldMatrix(path->up.get());
  node->matValid = true;
  if (single) {
    node->worldCache = m;
    node->hasWorld = true;
  }
  return m;
}

DagLink::~DagLink() {
  std::shared_ptr<const DagLink> next = std::move(up);
  // Only the last owner of a link takes its parent link along.
  while (next && next.use_count() == 1) next = std::move(next->up);
}

const DagLinks& pathsTo(Node* node) {
  static const DagLinks none;
  if (!node || !node->isDag() || node == node->scene->world.get()) return none;
  const uint64_t version = node->scene->dagVersion;
  if (node->pathsVersion == version) return node->paths;
  DagLinks out;
  for (Node* p : node->parents) {
    if (!p) {
      out.push_back(std::make_shared<const DagLink>(node->shared_from_this(), nullptr));
      continue;
    }
    for (const auto& up : pathsTo(p)) out.push_back(std::make_shared<const DagLink>(node->shared_from_this(), up));
  }
  node->paths = std::move(out);
  node->pathsVersion = version;
  return node->paths;
}

MMatrix worldMatrixOfNode(Node& node, int instance) {
  const DagLinks& paths = pathsTo(&node);
  if (paths.empty()) return MMatrix();
  return worldMatrix(paths[std::min(static_cast<size_t>(std::max(instance, 0)), paths.size() - 1)].get());
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

}  // namespace kvhost
