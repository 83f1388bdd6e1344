// Platonic solids: polyPlatonicSolid (solidType 0 dodecahedron, 1
// icosahedron, 2 octahedron, 3 tetrahedron) and the newer polyPlatonic
// (primitive 0 tetrahedron, 1 cube, 2 octahedron, 3 dodecahedron, 4
// icosahedron, with subdivisions and a spherical inflation). Corners lie on
// the sphere of the given radius; faces are the corners nearest each vertex
// of the dual solid, counter-clockwise from outside. Subdivisions are
// polySubdFace levels (quads for the quad and cap modes, triangles around a
// centre for the triangle and pie modes). UVs give each face a cell of its
// own in a square grid.

#include <algorithm>
#include <cmath>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

using poly::f32;

enum Kind { kTetrahedron, kCube, kOctahedron, kDodecahedron, kIcosahedron };

std::vector<MVector> corners(int kind) {
  const double phi = (1.0 + std::sqrt(5.0)) / 2.0, inv = 1.0 / phi;
  std::vector<MVector> v;
  switch (kind) {
    case kTetrahedron:
      return {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
    case kCube:
      for (int i = 0; i < 8; ++i) v.emplace_back(i & 1 ? 1 : -1, i & 2 ? 1 : -1, i & 4 ? 1 : -1);
      return v;
    case kOctahedron:
      return {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    case kDodecahedron:
      for (int i = 0; i < 8; ++i) v.emplace_back(i & 1 ? 1 : -1, i & 2 ? 1 : -1, i & 4 ? 1 : -1);
      for (int i = 0; i < 4; ++i) {
        const double a = i & 1 ? inv : -inv, b = i & 2 ? phi : -phi;
        v.emplace_back(0, b, a);
        v.emplace_back(b, a, 0);
        v.emplace_back(a, 0, b);
      }
      return v;
    default:
      for (int i = 0; i < 4; ++i) {
        const double a = i & 1 ? 1 : -1, b = i & 2 ? phi : -phi;
        v.emplace_back(0, a, b);
        v.emplace_back(a, b, 0);
        v.emplace_back(b, 0, a);
      }
      return v;
  }
}

int dualOf(int kind) {
  switch (kind) {
    case kCube: return kOctahedron;
    case kOctahedron: return kCube;
    case kDodecahedron: return kIcosahedron;
    case kIcosahedron: return kDodecahedron;
    default: return kTetrahedron;
  }
}

std::shared_ptr<MeshGeom> solid(PolyEval& e, int kind, double radius, bool uvs) {
  std::vector<MVector> v = corners(kind), dual = corners(dualOf(kind));
  if (kind == kTetrahedron)
    for (MVector& d : dual) d = -d;
  poly::MeshMaker m;
  for (const MVector& p : v) {
    const MVector q = p / p.length() * radius;
    m.vertex(f32(q.x), f32(q.y), f32(q.z));
  }
  std::vector<std::vector<int>> faces;
  for (const MVector& n : dual) {
    double best = -INFINITY;
    for (const MVector& p : v) best = std::max(best, p * n);
    std::vector<int> face;
    for (size_t i = 0; i < v.size(); ++i)
      if (v[i] * n > best - 1e-9 * std::abs(best)) face.push_back(static_cast<int>(i));
    MVector centre;
    for (int i : face) centre += v[static_cast<size_t>(i)];
    centre = centre / static_cast<double>(face.size());
    const MVector u = (v[static_cast<size_t>(face[0])] - centre).normal(), w = (n ^ u).normal();
    std::sort(face.begin(), face.end(), [&](int a, int b) {
      const MVector pa = v[static_cast<size_t>(a)] - centre, pb = v[static_cast<size_t>(b)] - centre;
      return std::atan2(pa * w, pa * u) < std::atan2(pb * w, pb * u);
    });
    faces.push_back(std::move(face));
  }
  const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(faces.size()))));
  for (size_t f = 0; f < faces.size(); ++f) {
    std::vector<int> faceUVs;
    if (uvs) {
      // The face's own polygon, fitted into its cell.
      const int n = static_cast<int>(faces[f].size());
      const double cell = 1.0 / columns, x0 = cell * (static_cast<double>(f % columns) + 0.5),
                   y0 = cell * (static_cast<double>(f / columns) + 0.5);
      for (int i = 0; i < n; ++i) {
        const double a = 2.0 * M_PI * i / n;
        faceUVs.push_back(m.uv(f32(x0 + 0.45 * cell * std::cos(a)), f32(y0 + 0.45 * cell * std::sin(a))));
      }
    }
    m.face(faces[f], faceUVs);
  }
  return m.finish(e.vector("ax"));
}

std::shared_ptr<const MeshGeom> evaluatePlatonicSolid(PolyEval& e) {
  static const int kTypes[] = {kDodecahedron, kIcosahedron, kOctahedron, kTetrahedron};
  const int type = std::clamp(e.integer("st"), 0, 3);
  return solid(e, kTypes[type], e.number("r"), e.integer("cuv") != 0);
}

std::shared_ptr<const MeshGeom> evaluatePlatonic(PolyEval& e) {
  const int kind = std::clamp(e.integer("primitive"), 0, 4);
  const int levels = std::max(0, e.integer("subdivisions"));
  const double radius = e.number("radius");
  if (!e.within(60.0 * std::pow(4.0, levels), "face vertices")) return nullptr;
  auto base = solid(e, kind, radius, true);
  if (levels == 0) return base;
  const int mode = e.integer("subdivisionMode");
  std::vector<int> origin;
  auto geom = subdivideFaces(*base, nullptr, levels, mode == 1 || mode == 2, origin);
  // Inflation pushes the new vertices out towards the sphere.
  const double inflate = e.number("sphericalInflation");
  for (size_t i = static_cast<size_t>(base->topo->numVertices); i < geom->points.size(); ++i) {
    MVector& p = geom->points[i];
    const double length = p.length();
    if (length <= 0) continue;
    const MVector q = p + (p * (radius / length) - p) * inflate;
    p = MVector(f32(q.x), f32(q.y), f32(q.z));
  }
  return geom;
}

const PolyFamily kPlatonicSolid{PolyFamily::Input::None, evaluatePlatonicSolid};
const PolyFamily kPlatonic{PolyFamily::Input::None, evaluatePlatonic};

}  // namespace

void registerPolyPlatonic(Scene::Impl& impl) {
  {
    TypeBuilder b(impl, "polyPlatonicSolid", "polyPrimitive", {});
    b.type().poly = &kPlatonicSolid;
    b.num({"radius", "r"}, NumType::Distance, 1.0);
    b.num({"sideLength", "l"}, NumType::Distance, 0.0);
    b.num({"solidType", "st"}, NumType::Enum, 0);
    b.num({"createUVs", "cuv"}, NumType::Enum, 3);
    b.num({"texture", "tx"}, NumType::Enum, 2);
  }
  {
    // Files write this node's attributes by their long names.
    TypeBuilder b(impl, "polyPlatonic", "polyPrimitive", {});
    b.type().poly = &kPlatonic;
    b.num({"radius", "radius"}, NumType::Distance, 1.0);
    b.num({"primitive", "primitive"}, NumType::Enum, kIcosahedron);
    b.num({"subdivisionMode", "subdivisionMode"}, NumType::Enum, 0);
    b.num({"subdivisions", "subdivisions"}, NumType::Long, 0);
    b.num({"sphericalInflation", "sphericalInflation"}, NumType::Double, 1.0);
  }
}

}  // namespace kvhost
