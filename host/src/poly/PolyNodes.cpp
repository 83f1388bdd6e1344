// Evaluation of construction-history poly nodes: inputs, attribute reads,
// work limits and the cached output; and the base node types the families
// inherit from.

#include "PolyNodes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kvhost {

// ------------------------------------------------------------------ PolyEval

double PolyEval::number(const char* attr, int component) const { return getNumber(fNode, attr, component); }

int PolyEval::integer(const char* attr) const { return toInt(std::round(number(attr))); }

MVector PolyEval::vector(const char* attr) const { return getVector(fNode, attr); }

MMatrix PolyEval::matrix(const char* attr, std::vector<int> index) const {
  Value v;
  PlugKey key = keyOf(fNode, attr, std::move(index));
  if (!key.attr || !readValue(key, v)) return MMatrix();
  return matrixOf(v);
}

std::optional<std::vector<int>> PolyEval::components(const char* attr, const char* kind, int count) const {
  Value v;
  PlugKey key = keyOf(fNode, attr);
  if (!key.attr || !readValue(key, v) || v.kind != Value::DataValue) return std::nullopt;
  auto list = std::dynamic_pointer_cast<const ComponentListData>(v.data);
  if (!list || list->ranges.empty()) return std::nullopt;
  return list->indices(kind, count);
}

int PolyEval::mayaVersion() const { return fNode.scene->mayaVersion; }

bool PolyEval::within(double count, const char* what) {
  const double limit = fNode.scene->maxMeshElements;
  if (count <= limit) return true;
  char text[160];
  std::snprintf(text, sizeof text, "would make %.0f %s, more than the host builds (%.0f)", count, what, limit);
  fError = text;
  return false;
}

std::shared_ptr<const MeshGeom> PolyEval::fail(const std::string& why) {
  fError = why;
  return nullptr;
}

// ------------------------------------------------------------------ output

std::shared_ptr<const MeshGeom> polyNodeOutput(Node& node, const PlugKey& key, std::string* error) {
  const PolyFamily& family = *node.type->poly;
  const char* output = family.input == PolyFamily::Input::Geometry ? "og" : "out";
  auto named = [&](const std::string& why) {
    if (error) *error = "'" + node.name + "' (" + node.typeName + ") " + why;
    return nullptr;
  };
  if (key.attr->shortName != output) return named("has no geometry on '" + key.attr->longName + "'");
  if (auto it = node.geomCache.find(0); it != node.geomCache.end()) return it->second;

  const uint64_t passed = node.scene->passedThrough;
  std::vector<std::shared_ptr<const MeshGeom>> inputs;
  std::vector<int> indices;
  switch (family.input) {
    case PolyFamily::Input::None:
      break;
    case PolyFamily::Input::Polymesh:
    case PolyFamily::Input::Geometry: {
      auto in = inputGeometry(keyOf(node, family.input == PolyFamily::Input::Geometry ? "ig" : "ip"), error);
      if (!in) return nullptr;
      inputs.push_back(std::move(in));
      break;
    }
    case PolyFamily::Input::Polymeshes: {
      const Attribute* ip = node.findAttribute("ip");
      std::vector<int> elements;
      for (const auto& c : node.in)
        if (c->dst.attr == ip) elements.push_back(c->dst.idx[0]);
      std::sort(elements.begin(), elements.end());
      for (int k : elements) {
        auto in = inputGeometry(keyOf(node, "ip", {k}), error);
        if (!in) return nullptr;
        inputs.push_back(std::move(in));
      }
      indices = std::move(elements);
      break;
    }
  }
  PolyEval eval(node, std::move(inputs), std::move(indices));
  auto out = family.evaluate(eval);
  if (!out) return named(eval.error());
  if (node.scene->passedThrough == passed) node.geomCache[0] = out;
  return out;
}

// ------------------------------------------------------------------ types

void registerPolyBaseTypes(Scene::Impl& impl) {
  {
    TypeBuilder b(impl, "polyBase", "dependNode", {});
    computed(b.typed({"output", "out"}, DataType::Mesh));
  }
  { TypeBuilder b(impl, "polyCreator", "polyBase", {}); }
  {
    TypeBuilder b(impl, "polyPrimitive", "polyCreator", {});
    b.tuple({"axis", "ax"}, NumType::Double, {{"axisX", "axx"}, {"axisY", "axy"}, {"axisZ", "axz"}}, {0, 1, 0});
    b.num({"paramWarn", "pw"}, NumType::Bool, 1);
    b.typed({"uvSetName", "uvs"}, DataType::String);
  }
  {
    TypeBuilder b(impl, "polyModifier", "polyBase", {});
    b.typed({"inputPolymesh", "ip"}, DataType::Mesh);
    b.typed({"inputComponents", "ics"}, DataType::ComponentList);
    b.typed({"cachedInMesh", "cim"}, DataType::Mesh);
  }
  {
    TypeBuilder b(impl, "polyModifierWorld", "polyModifier", {});
    b.num({"useOldPolyArchitecture", "uopa"}, NumType::Bool);
    b.typed({"inputMatrix", "ix"}, DataType::Matrix);
    b.num({"worldSpace", "ws"}, NumType::Bool, 0);
    b.typed({"manipMatrix", "mp"}, DataType::Matrix);
  }
}

void registerPolyNodeTypes(Scene::Impl& impl) {
  registerPolyBaseTypes(impl);
  for (auto family : {registerPolyCube, registerPolyPlane, registerPolySphere, registerPolyCylinder, registerPolyCone,
                      registerPolyTorus, registerPolyPyramid, registerPolyPlatonic, registerPolyPrism, registerPolyPipe,
                      registerPolyTriangulate, registerPolySubdFace, registerPolySmoothFace, registerPolyNormal,
                      registerPolyTweak, registerPolyTweakUV, registerPolyUnite, registerPolyMergeVert, registerTransformGeometry,
                      registerDeleteComponent, registerPolyPassThrough})
    family(impl);
}

}  // namespace kvhost
