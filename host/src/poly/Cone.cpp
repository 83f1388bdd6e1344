// polyCone: a base ring of sa vertices and an apex. The base is one polygon
// (face 0) and the sides are triangles; with subdivisions the sides get
// rings of quads below the apex and the base rings around a centre.

#include <algorithm>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

using poly::f32;
using poly::kSoftTurnDegrees;

}  // namespace

std::shared_ptr<const MeshGeom> coneMesh(PolyEval& e, const ConeShape& shape) {
  const float r = shape.radius;
  const double h = shape.height;
  const int sa = std::max(3, shape.sides), sh = std::max(1, shape.rings), sc = std::max(0, shape.caps);
  const bool uvs = shape.uvs;
  if (!e.within(double(sa) * (sh + sc) + 2.0, "vertices") || !e.within(4.0 * sa * (sh + sc + 1), "face vertices"))
    return nullptr;

  poly::MeshMaker m;
  const poly::Circle circle = poly::circleTable(sa);
  auto entry = [&](int i) { return static_cast<size_t>(sa - 1 - i); };
  // Side rings from the base (ring 0) up; ring j has radius r (sh - j) / sh.
  const std::vector<float> ys = poly::accumulate(-h / 2, h / 2, sh);
  for (int j = 0; j < sh; ++j) {
    const float rj = j == 0 ? r : f32(double(r) * (sh - j) / sh);
    for (int i = 0; i < sa; ++i) m.vertex(rj * circle.c[entry(i)], ys[static_cast<size_t>(j)], rj * circle.s[entry(i)]);
  }
  const int apex = m.vertex(0.0f, f32(h / 2), 0.0f);
  // Base rings inside the rim, then the base centre.
  const int baseRings = m.vertexCount();
  for (int k = 1; k < sc; ++k) {
    const float rk = f32(double(r) * (sc - k) / sc);
    for (int i = 0; i < sa; ++i) m.vertex(rk * circle.c[entry(i)], f32(-h / 2), rk * circle.s[entry(i)]);
  }
  const int centre = sc > 0 ? m.vertex(0.0f, f32(-h / 2), 0.0f) : -1;
  auto v = [&](int j, int i) { return j * sa + i % sa; };
  auto base = [&](int k, int i) { return k == 0 ? v(0, i) : baseRings + (k - 1) * sa + i % sa; };

  // UVs: the base as a circle in the lower half, a row per side ring at and
  // above v = 0.5, and one apex UV shared by the side triangles.
  int sideUV = 0, apexUV = 0, baseRingUV = 0, centreUV = 0;
  if (uvs) {
    for (int i = 0; i < sa; ++i)
      m.uv(f32(0.5 + double(f32(0.25 * double(circle.c[entry(i)])))),
           f32(0.25 + double(f32(0.25 * double(circle.s[entry(i)])))));
    sideUV = m.uvCount();
    const float du = f32(0.5 / sa);
    for (int j = 0; j < sh; ++j) {
      float u = 0.25f;
      const float vRow = j == 0 ? 0.5f : f32(0.5 + 0.5 * j / sh);
      for (int i = 0; i <= sa; ++i, u = u + du) m.uv(u, vRow);
    }
    apexUV = m.uv(0.5f, 1.0f);
    baseRingUV = m.uvCount();
    for (int k = 1; k < sc; ++k)
      for (int i = 0; i < sa; ++i) {
        const double scale = 0.25 * (sc - k) / sc;
        m.uv(f32(0.5 + scale * circle.c[entry(i)]), f32(0.25 + scale * circle.s[entry(i)]));
      }
    centreUV = sc > 0 ? m.uv(0.5f, 0.25f) : 0;
  }
  auto S = [&](int j, int i) { return sideUV + j * (sa + 1) + i; };
  auto baseUV = [&](int k, int i) { return k == 0 ? i % sa : baseRingUV + (k - 1) * sa + i % sa; };
  auto face = [&](std::vector<int> verts, std::vector<int> uv) { m.face(verts, uvs ? uv : std::vector<int>()); };

  if (sc == 0) {
    std::vector<int> loop;
    for (int n = 0; n < sa; ++n) loop.push_back((sa - n) % sa);
    face(loop, loop);
  } else {
    for (int k = 0; k + 1 < sc; ++k)
      for (int i = 0; i < sa; ++i)
        face({base(k, i + 1), base(k, i), base(k + 1, i), base(k + 1, i + 1)},
             {baseUV(k, i + 1), baseUV(k, i), baseUV(k + 1, i), baseUV(k + 1, i + 1)});
    for (int i = 0; i < sa; ++i)
      face({base(sc - 1, i + 1), base(sc - 1, i), centre}, {baseUV(sc - 1, i + 1), baseUV(sc - 1, i), centreUV});
  }
  for (int j = 0; j + 1 < sh; ++j)
    for (int i = 0; i < sa; ++i)
      face({v(j, i), v(j, i + 1), v(j + 1, i + 1), v(j + 1, i)}, {S(j, i), S(j, i + 1), S(j + 1, i + 1), S(j + 1, i)});
  for (int i = 0; i < sa; ++i) face({v(sh - 1, i), v(sh - 1, i + 1), apex}, {S(sh - 1, i), S(sh - 1, i + 1), apexUV});

  const bool softSides = 360.0 / sa < kSoftTurnDegrees;
  for (int i = 0; i < sa; ++i) m.edge(v(0, i), v(0, i + 1), false);
  for (int j = 1; j < sh; ++j)
    for (int i = 0; i < sa; ++i) m.edge(v(j, i), v(j, i + 1), true);
  for (int j = 0; j + 1 < sh; ++j)
    for (int i = 0; i < sa; ++i) m.edge(v(j, i), v(j + 1, i), softSides);
  for (int i = 0; i < sa; ++i) m.edge(v(sh - 1, i), apex, softSides);
  return m.finish(e.vector("ax"));
}

namespace {

std::shared_ptr<const MeshGeom> evaluateCone(PolyEval& e) {
  return coneMesh(e, {f32(e.number("r")), e.number("h"), e.integer("sa"), e.integer("sh"), e.integer("sc"),
                      e.integer("cuv") != 0});
}

const PolyFamily kCone{PolyFamily::Input::None, evaluateCone};

}  // namespace

void registerPolyCone(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyCone", "polyPrimitive", {});
  b.type().poly = &kCone;
  b.num({"radius", "r"}, NumType::Distance, 1.0);
  b.num({"height", "h"}, NumType::Distance, 2.0);
  b.num({"subdivisionsAxis", "sa"}, NumType::Long, 20);
  b.num({"subdivisionsHeight", "sh"}, NumType::Long, 1);
  b.num({"subdivisionsCap", "sc"}, NumType::Long, 0);
  b.num({"roundCap", "rcp"}, NumType::Bool, 0);
  b.num({"createUVs", "cuv"}, NumType::Enum, 2);
}

}  // namespace kvhost
