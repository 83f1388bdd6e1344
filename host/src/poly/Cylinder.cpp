// polyCylinder: sh + 1 rings of sa vertices from the bottom up, then the cap
// centres. The rim UVs are circles in the lower and upper quarter of the UV
// square and the side a grid between them; where the side grid ends changed
// in Maya 2023.

#include <algorithm>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

using poly::f32;
using poly::kSoftTurnDegrees;

}  // namespace

std::shared_ptr<const MeshGeom> cylinderMesh(PolyEval& e, const CylinderShape& shape) {
  const float r = shape.radius;
  const double h = shape.height;
  const int sa = std::max(3, shape.sides), sh = std::max(1, shape.rings), sc = std::max(0, shape.caps);
  const bool uvs = shape.uvs;
  const double caps = sc == 0 ? 0.0 : 2.0 * (double(sa) * (sc - 1) + 1);
  if (!e.within(double(sa) * (sh + 1) + caps, "vertices") || !e.within(4.0 * sa * (sh + 2.0 * sc + 2), "face vertices"))
    return nullptr;

  poly::MeshMaker m;
  const poly::Circle circle = poly::circleTable(sa);
  auto entry = [&](int i) { return static_cast<size_t>(sa - 1 - i); };
  const std::vector<float> ys = poly::accumulate(-h / 2, h / 2, sh);
  for (int j = 0; j <= sh; ++j)
    for (int i = 0; i < sa; ++i) m.vertex(r * circle.c[entry(i)], ys[static_cast<size_t>(j)], r * circle.s[entry(i)]);
  auto v = [&](int j, int i) { return j * sa + (i % sa); };
  // Caps of sc rings: the rim, sc - 1 inner rings (bottom cap first, then the
  // top one, each from the outside in), then the two centres.
  std::vector<int> bottomRing(static_cast<size_t>(sc) + 1), topRing(static_cast<size_t>(sc) + 1);
  bottomRing[0] = v(0, 0);
  topRing[0] = v(sh, 0);
  for (int pass = 0; pass < 2 && sc > 1; ++pass)
    for (int k = 1; k < sc; ++k) {
      (pass == 0 ? bottomRing : topRing)[static_cast<size_t>(k)] = m.vertexCount();
      const float rk = f32(double(r) * (sc - k) / sc);
      for (int i = 0; i < sa; ++i) m.vertex(rk * circle.c[entry(i)], f32(pass == 0 ? -h / 2 : h / 2), rk * circle.s[entry(i)]);
    }
  const int cb = sc > 0 ? m.vertex(0.0f, f32(-h / 2), 0.0f) : -1;
  const int ct = sc > 0 ? m.vertex(0.0f, f32(h / 2), 0.0f) : -1;
  auto ring = [&](bool top, int k, int i) { return (top ? topRing : bottomRing)[static_cast<size_t>(k)] + (i % sa); };

  // UVs: bottom rim, side grid, top rim (walked the other way round, as the
  // top cap is seen from above), then the centres.
  const bool before2023 = e.mayaVersion() != 0 && e.mayaVersion() < 2023;
  int side = 0, topRim = 0, centres = 0;
  if (uvs) {
    for (int i = 0; i < sa; ++i)
      m.uv(f32(0.5 + double(f32(0.15625 * double(circle.c[entry(i)])))),
           f32(0.15625 + double(f32(0.15625 * double(circle.s[entry(i)])))));
    side = m.uvCount();
    const float du = f32(0.25 / sa);
    const float dv = before2023 ? f32(0.375 * 400.0 / 399.0 / sh) : f32(0.375 / sh);
    float vRow = 0.3125f;
    for (int j = 0; j <= sh; ++j, vRow = vRow + dv) {
      float u = 0.375f;
      for (int i = 0; i <= sa; ++i, u = u + du) m.uv(u, j == sh && !before2023 ? 0.6875f : vRow);
    }
    topRim = m.uvCount();
    for (int i = 0; i < sa; ++i)
      m.uv(f32(0.5 + double(f32(0.15625 * double(circle.c[entry(i)])))),
           f32(0.84375 + double(f32(0.15625 * double(circle.s[entry(i)])))));
    centres = m.uvCount();
    m.uv(0.5f, before2023 ? f32(0.15) : 0.15625f);
    m.uv(0.5f, before2023 ? f32(0.8375) : 0.84375f);
  }
  auto S = [&](int j, int i) { return side + j * (sa + 1) + i; };
  auto T = [&](int i) { return topRim + ((sa - 2 - i) % sa + sa) % sa; };
  // Inner cap rings reuse the rim's UV circle scaled towards its centre.
  std::vector<int> bottomUVRing(static_cast<size_t>(sc) + 1, 0), topUVRing(static_cast<size_t>(sc) + 1, topRim);
  if (uvs)
    for (int pass = 0; pass < 2 && sc > 1; ++pass)
      for (int k = 1; k < sc; ++k) {
        (pass == 0 ? bottomUVRing : topUVRing)[static_cast<size_t>(k)] = m.uvCount();
        const double scale = 0.15625 * (sc - k) / sc;
        for (int i = 0; i < sa; ++i) {
          // The top rim's UV of vertex i sits where the bottom rim has vertex sa-2-i's.
          const size_t at = pass == 0 ? entry(i) : entry((sa - 2 - i + sa) % sa);
          m.uv(f32(0.5 + scale * circle.c[at]), f32((pass == 0 ? 0.15625 : 0.84375) + scale * circle.s[at]));
        }
      }
  auto capUV = [&](bool top, int k, int i) {
    if (top && k == 0) return T(i % sa);
    return (top ? topUVRing : bottomUVRing)[static_cast<size_t>(k)] + i % sa;
  };
  auto face = [&](std::vector<int> verts, std::vector<int> uv) { m.face(verts, uvs ? uv : std::vector<int>()); };

  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sa; ++i)
      face({v(j, i), v(j, i + 1), v(j + 1, i + 1), v(j + 1, i)}, {S(j, i), S(j, i + 1), S(j + 1, i + 1), S(j + 1, i)});
  // Caps: without subdivisions one polygon each; otherwise rings of quads
  // from the rim inwards and a fan around the centre. Both are wound to face
  // outwards (the bottom one downwards).
  for (bool top : {false, true}) {
    if (sc == 0) {
      std::vector<int> loop, uvLoop;
      for (int n = 0; n < sa; ++n) {
        const int i = top ? n : (sa - n) % sa;
        loop.push_back(ring(top, 0, i));
        uvLoop.push_back(capUV(top, 0, i));
      }
      face(loop, uvLoop);
      continue;
    }
    for (int k = 0; k + 1 < sc; ++k)
      for (int i = 0; i < sa; ++i) {
        const int a = top ? i : i + 1, b = top ? i + 1 : i;
        face({ring(top, k, a), ring(top, k, b), ring(top, k + 1, b), ring(top, k + 1, a)},
             {capUV(top, k, a), capUV(top, k, b), capUV(top, k + 1, b), capUV(top, k + 1, a)});
      }
    const int centre = top ? ct : cb, centreUV = centres + (top ? 1 : 0);
    for (int i = 0; i < sa; ++i) {
      const int a = top ? i : i + 1, b = top ? i + 1 : i;
      face({ring(top, sc - 1, a), ring(top, sc - 1, b), centre}, {capUV(top, sc - 1, a), capUV(top, sc - 1, b), centreUV});
    }
  }

  const bool softSides = shape.softSides && 360.0 / sa < kSoftTurnDegrees;
  for (int j = 0; j <= sh; ++j)
    for (int i = 0; i < sa; ++i) m.edge(v(j, i), v(j, i + 1), j != 0 && j != sh);
  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sa; ++i) m.edge(v(j, i), v(j + 1, i), softSides);
  for (bool top : {false, true}) {
    for (int k = 1; k < sc; ++k)
      for (int i = 0; i < sa; ++i) m.edge(ring(top, k, i), ring(top, k, i + 1), true);
    for (int k = 0; k + 1 < sc; ++k)
      for (int i = 0; i < sa; ++i) m.edge(ring(top, k, i), ring(top, k + 1, i), true);
  }
  if (sc > 0) {
    for (int i = 0; i < sa; ++i) m.edge(cb, ring(false, sc - 1, i), true);
    for (int i = 0; i < sa; ++i) m.edge(ring(true, sc - 1, i), ct, true);
  }
  return m.finish(e.vector("ax"));
}

namespace {

std::shared_ptr<const MeshGeom> evaluateCylinder(PolyEval& e) {
  if (e.flag("rcp")) return e.fail("has round caps, which the host does not build");
  return cylinderMesh(e, {f32(e.number("r")), e.number("h"), e.integer("sa"), e.integer("sh"), e.integer("sc"),
                          e.integer("cuv") != 0, true});
}

const PolyFamily kCylinder{PolyFamily::Input::None, evaluateCylinder};

}  // namespace

void registerPolyCylinder(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyCylinder", "polyPrimitive", {});
  b.type().poly = &kCylinder;
  b.num({"radius", "r"}, NumType::Distance, 1.0);
  b.num({"height", "h"}, NumType::Distance, 2.0);
  b.num({"subdivisionsAxis", "sa"}, NumType::Long, 20);
  b.num({"subdivisionsHeight", "sh"}, NumType::Long, 1);
  b.num({"subdivisionsCaps", "sc"}, NumType::Long, 1);
  b.num({"roundCap", "rcp"}, NumType::Bool, 0);
  b.num({"createUVs", "cuv"}, NumType::Enum, 2);
}

}  // namespace kvhost
