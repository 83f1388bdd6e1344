// The test scene builder, written over the scene's primitive operations.

#include <kvhost/Builder.h>

#include <algorithm>
#include <map>
#include <stdexcept>

#include <maya/MDagPath.h>
#include <maya/MEulerRotation.h>
#include <maya/MFnDagNode.h>
#include <maya/MQuaternion.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>

#include "Core.h"

namespace kvhost {

namespace {

std::vector<Arg> vec(const Vec3& v) { return {v[0], v[1], v[2]}; }

MMatrix worldOf(const std::string& name) {
  MDagPath p;
  MDagPath::getAPathTo(Scene::get().findNode(name), p);
  return p.inclusiveMatrix();
}

std::vector<Arg> matrixArgs(const MMatrix& m) {
  std::vector<Arg> out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out.emplace_back(m[r][c]);
  return out;
}

}  // namespace

void Builder::check(bool ok) {
  if (!ok) throw std::runtime_error(fScene.lastError());
}

std::string Builder::create(const std::string& type, const std::string& name, const std::string& parent) {
  MObject o = fScene.createNode(type, name, parent);
  check(!o.isNull());
  return MFnDependencyNode(o).name().asChar();
}

void Builder::set(const std::string& plug, std::initializer_list<Arg> values, const std::string& type) {
  check(fScene.setAttr(plug, values, type));
}

void Builder::set(const std::string& plug, const std::vector<Arg>& values, const std::string& type) {
  check(fScene.setAttr(plug, std::span<const Arg>(values), type));
}

void Builder::connect(const std::string& src, const std::string& dst, bool nextAvailable) {
  check(fScene.connectAttr(src, dst, nextAvailable));
}

std::string Builder::transform(const std::string& name, const std::string& parent, const Xform& x) {
  std::string n = create("transform", name, parent);
  set(n + ".t", vec(x.t));
  set(n + ".r", vec(x.r));
  set(n + ".s", vec(x.s));
  set(n + ".ro", {x.ro});
  return n;
}

std::string Builder::joint(const std::string& name, const std::string& parent, const Xform& x) {
  std::string n = create("joint", name, parent);
  set(n + ".t", vec(x.t));
  set(n + ".r", vec(x.r));
  set(n + ".s", vec(x.s));
  set(n + ".jo", vec(x.jo));
  set(n + ".ro", {x.ro});
  if (!parent.empty() && fScene.findNode(parent).hasFn(MFn::kJoint)) connect(parent + ".s", n + ".is");
  return n;
}

std::vector<std::string> Builder::jointChain(const std::string& prefix, int count, const Vec3& step,
                                             const std::string& parent) {
  std::vector<std::string> out;
  std::string p = parent;
  for (int i = 0; i < count; ++i) {
    Xform x;
    if (i > 0 || !parent.empty()) x.t = step;
    p = joint(prefix + std::to_string(i + 1), p, x);
    out.push_back(p);
  }
  return out;
}

void Builder::meshData(const std::string& shape, const MeshSpec& spec) {
  std::vector<Arg> args;
  args.reserve(spec.points.size() * 3);
  for (const Vec3& p : spec.points) args.insert(args.end(), {p[0], p[1], p[2]});
  if (!spec.points.empty()) set(shape + ".vt[0:" + std::to_string(spec.points.size() - 1) + "]", args);
  // Edges in first-seen order; a loop walking an edge against its stored
  // direction refers to it as -e-1.
  std::map<std::pair<int, int>, int> edgeIndex;
  std::vector<std::pair<int, int>> edges;
  auto loopEdges = [&](const std::vector<int>& loop) {
    std::vector<int> out;
    for (size_t i = 0; i < loop.size(); ++i) {
      int a = loop[i], b = loop[(i + 1) % loop.size()];
      auto it = edgeIndex.find({std::min(a, b), std::max(a, b)});
      if (it == edgeIndex.end()) {
        int e = static_cast<int>(edges.size());
        edges.push_back({a, b});
        edgeIndex[{std::min(a, b), std::max(a, b)}] = e;
        out.push_back(e);
      } else {
        out.push_back(edges[static_cast<size_t>(it->second)].first == a ? it->second : -it->second - 1);
      }
    }
    return out;
  };
  std::vector<Arg> faces;
  for (size_t f = 0; f < spec.faces.size(); ++f) {
    std::vector<int> e = loopEdges(spec.faces[f]);
    faces.push_back(Arg::word("f"));
    faces.emplace_back(static_cast<int>(e.size()));
    for (int x : e) faces.emplace_back(x);
    for (size_t s = 0; s < spec.uvSets.size(); ++s) {
      const auto& set = spec.uvSets[s];
      if (f >= set.faceUVs.size() || set.faceUVs[f].empty()) continue;
      faces.push_back(Arg::word("mu"));
      faces.emplace_back(static_cast<int>(s));
      faces.emplace_back(static_cast<int>(set.faceUVs[f].size()));
      for (int id : set.faceUVs[f]) faces.emplace_back(id);
    }
    for (const auto& [face, loop] : spec.holes) {
      if (face != static_cast<int>(f)) continue;
      std::vector<int> he = loopEdges(loop);
      faces.push_back(Arg::word("h"));
      faces.emplace_back(static_cast<int>(he.size()));
      for (int x : he) faces.emplace_back(x);
    }
  }
  if (!edges.empty()) {
    std::vector<Arg> ed;
    for (auto [a, b] : edges) ed.insert(ed.end(), {a, b, 0});
    set(shape + ".ed[0:" + std::to_string(edges.size() - 1) + "]", ed);
  }
  if (!spec.faces.empty())
    set(shape + ".fc[0:" + std::to_string(spec.faces.size() - 1) + "]", faces, "polyFaces");
  for (size_t s = 0; s < spec.uvSets.size(); ++s) {
    const auto& uvSet = spec.uvSets[s];
    std::string base = shape + ".uvst[" + std::to_string(s) + "]";
    set(base + ".uvsn", {uvSet.name}, "string");
    if (uvSet.uvs.empty()) continue;
    std::vector<Arg> uv;
    for (const auto& p : uvSet.uvs) uv.insert(uv.end(), {p[0], p[1]});
    set(base + ".uvsp[0:" + std::to_string(uvSet.uvs.size() - 1) + "]", uv);
  }
  if (!spec.uvSets.empty()) set(shape + ".cuvs", {spec.uvSets[0].name}, "string");
}

std::string Builder::mesh(const std::string& name, const MeshSpec& spec, const std::string& parent, const Xform& x) {
  std::string t = transform(name, parent, x);
  std::string shape = create("mesh", t + "Shape", t);
  meshData(shape, spec);
  return shape;
}

std::string Builder::deformableMesh(const std::string& name, const MeshSpec& spec, const std::string& parent,
                                    const Xform& x) {
  std::string t = transform(name, parent, x);
  std::string shape = create("mesh", t + "Shape", t);
  std::string orig = create("mesh", t + "ShapeOrig", t);
  set(orig + ".io", {true});
  meshData(orig, spec);
  connect(orig + ".w[0]", shape + ".i");
  return shape;
}

std::string Builder::material(const std::string& type, const std::string& name, const Vec3& color) {
  std::string m = create(type, name);
  set(m + ".c", vec(color), "float3");
  std::string sg = create("shadingEngine", m + "SG");
  connect(m + ".oc", sg + ".ss");
  return sg;
}

void Builder::assign(const std::string& shape, const std::string& shadingGroup) {
  connect(shape + ".iog[0]", shadingGroup + ".dsm", true);
}

void Builder::assignFaces(const std::string& shape, const std::string& shadingGroup,
                          const std::vector<std::string>& faces) {
  MFnDependencyNode fn(fScene.findNode(shape));
  MPlug og = fn.findPlug("iog").elementByLogicalIndex(0).child(0);
  int k = static_cast<int>(og.numElements());
  std::string element = shape + ".iog[0].og[" + std::to_string(k) + "]";
  std::vector<Arg> list{static_cast<int>(faces.size())};
  for (const auto& f : faces) list.emplace_back(f);
  set(element + ".gcl", list, "componentList");
  connect(element, shadingGroup + ".dsm", true);
}

std::string Builder::fileTexture(const std::string& name, const std::string& path, const std::string& material) {
  std::string f = create("file", name);
  set(f + ".ftn", {path}, "string");
  connect(f + ".oc", material + ".c");
  return f;
}

std::string Builder::bindPose(const std::string& name, const std::vector<std::string>& joints) {
  std::string pose = create("dagPose", name);
  set(pose + ".bp", {true});
  for (size_t i = 0; i < joints.size(); ++i) {
    const std::string& j = joints[i];
    std::string index = "[" + std::to_string(i) + "]";
    MFnDependencyNode fn(fScene.findNode(j));
    auto v = [&](const char* attr, int c) { return fn.findPlug(attr).child(static_cast<unsigned>(c)).asDouble(); };
    auto quat = [&](const char* attr) {
      MEulerRotation e(v(attr, 0), v(attr, 1), v(attr, 2));
      MQuaternion q = e.asQuaternion();
      return std::vector<Arg>{q.x, q.y, q.z, q.w};
    };
    std::vector<Arg> xm{Arg("xform")};
    for (const char* attr : {"s", "r"})
      for (int c = 0; c < 3; ++c) xm.emplace_back(v(attr, c));
    xm.emplace_back(fn.findPlug("ro").asInt());
    for (const char* attr : {"t", "sh", "sp", "spt", "rp", "rpt"})
      for (int c = 0; c < 3; ++c) xm.emplace_back(v(attr, c));
    for (const Arg& a : quat("ra")) xm.push_back(a);
    for (const Arg& a : quat("jo")) xm.push_back(a);
    for (int c = 0; c < 3; ++c) xm.emplace_back(v("is", c));
    xm.emplace_back(fn.findPlug("ssc").asBool());
    set(pose + ".xm" + index, xm, "matrix");
    set(j + ".bps", matrixArgs(worldOf(j)), "matrix");
    connect(j + ".msg", pose + ".m" + index);
    connect(j + ".bps", pose + ".wm" + index);
    MObject parentObj = MFnDagNode(fScene.findNode(j)).parent(0);
    std::string parent = MFnDependencyNode(parentObj).name().asChar();
    auto it = std::find(joints.begin(), joints.end(), parent);
    if (it != joints.end()) connect(pose + ".m[" + std::to_string(it - joints.begin()) + "]", pose + ".p" + index);
    else connect(pose + ".w", pose + ".p" + index);
  }
  return pose;
}

void Builder::insertDeformer(const std::string& deformer, const std::string& shape, int index) {
  MFnDependencyNode fn(fScene.findNode(shape));
  MPlugArray src;
  if (!fn.findPlug("i").connectedTo(src, true, false))
    throw std::runtime_error("'" + shape + "' has no input geometry to deform");
  std::string srcName = src[0].name().asChar();
  check(fScene.disconnectAttr(srcName, shape + ".i"));
  std::string k = "[" + std::to_string(index) + "]";
  connect(srcName, deformer + ".ip" + k + ".ig");
  connect(deformer + ".og" + k, shape + ".i");
}

std::string Builder::skinCluster(const std::string& name, const std::string& shape,
                                 const std::vector<std::string>& joints,
                                 const std::vector<std::vector<std::pair<int, double>>>& weights,
                                 const std::vector<int>& logical, const std::string& bindPose) {
  std::string skin = create("skinCluster", name);
  insertDeformer(skin, shape, 0);
  for (size_t j = 0; j < joints.size(); ++j) {
    int index = j < logical.size() ? logical[j] : static_cast<int>(j);
    std::string e = "[" + std::to_string(index) + "]";
    connect(joints[j] + ".wm[0]", skin + ".ma" + e);
    set(skin + ".pm" + e, matrixArgs(worldOf(joints[j]).inverse()), "matrix");
  }
  for (size_t v = 0; v < weights.size(); ++v) {
    std::vector<Arg> compact{static_cast<int>(weights[v].size())};
    for (auto [j, w] : weights[v]) {
      compact.emplace_back(j < static_cast<int>(logical.size()) ? logical[static_cast<size_t>(j)] : j);
      compact.emplace_back(w);
    }
    set(skin + ".wl[" + std::to_string(v) + "].w", compact);
  }
  if (!bindPose.empty()) connect(bindPose + ".msg", skin + ".bp");
  return skin;
}

std::string Builder::blendShape(const std::string& name, const std::string& shape,
                                const std::vector<std::string>& targets, const std::vector<double>& weights) {
  std::string bs = create("blendShape", name);
  insertDeformer(bs, shape, 0);
  for (size_t t = 0; t < targets.size(); ++t) {
    std::string i = std::to_string(t);
    set(bs + ".w[" + i + "]", {t < weights.size() ? weights[t] : 0.0});
    connect(targets[t] + ".w[0]", bs + ".it[0].itg[" + i + "].iti[6000].igt");
  }
  return bs;
}

std::string Builder::light(const std::string& type, const std::string& name, const Xform& x) {
  std::string t = transform(name, {}, x);
  return create(type, t + "Shape", t);
}

std::string Builder::camera(const std::string& name, const Xform& x) {
  std::string t = transform(name, {}, x);
  return create("camera", t + "Shape", t);
}

}  // namespace kvhost
