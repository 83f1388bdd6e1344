// polyPipe: a tube of outer radius r and wall thickness t. Vertices: the
// outer wall's rings from the bottom up, the inner wall's likewise, then the
// cap rings between them (bottom cap, then top cap, from the outside in).
// Faces: outer wall, inner wall (facing in), bottom cap, top cap. UVs: one
// grid per part, stacked in v: bottom cap, inner wall, top cap, outer wall.

#include <algorithm>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

using poly::f32;

std::shared_ptr<const MeshGeom> evaluatePipe(PolyEval& e) {
  const double r = e.number("r"), h = e.number("h"), thickness = e.number("t");
  const int sa = std::max(3, e.integer("sa")), sh = std::max(1, e.integer("sh")), sc = std::max(1, e.integer("sc"));
  const bool uvs = e.integer("cuv") != 0;
  if (e.flag("rcp")) return e.fail("has round caps, which the host does not build");
  if (!e.within(double(sa) * (2.0 * (sh + 1) + 2.0 * (sc - 1)), "vertices") ||
      !e.within(8.0 * sa * (sh + sc), "face vertices"))
    return nullptr;

  poly::MeshMaker m;
  const poly::Circle circle = poly::circleTable(sa);
  auto entry = [&](int i) { return static_cast<size_t>(sa - 1 - i); };
  auto ring = [&](double radius, float y) {
    const float rr = f32(radius);
    for (int i = 0; i < sa; ++i) m.vertex(rr * circle.c[entry(i)], y, rr * circle.s[entry(i)]);
  };
  const std::vector<float> ys = poly::accumulate(-h / 2, h / 2, sh);
  for (int j = 0; j <= sh; ++j) ring(r, ys[static_cast<size_t>(j)]);
  const int innerBase = m.vertexCount();
  for (int j = 0; j <= sh; ++j) ring(r - thickness, ys[static_cast<size_t>(j)]);
  const int capBase = m.vertexCount();
  for (int top = 0; top < 2; ++top)
    for (int k = 1; k < sc; ++k) ring(r - thickness * k / sc, f32(top ? h / 2 : -h / 2));
  auto outer = [&](int j, int i) { return j * sa + i % sa; };
  auto inner = [&](int j, int i) { return innerBase + j * sa + i % sa; };
  // Cap ring k of a cap: 0 the outer wall's end ring, sc the inner wall's.
  auto cap = [&](bool top, int k, int i) {
    if (k == 0) return outer(top ? sh : 0, i);
    if (k == sc) return inner(top ? sh : 0, i);
    return capBase + ((top ? sc - 1 : 0) + k - 1) * sa + i % sa;
  };

  // UV grids of sa + 1 columns, one band each.
  auto grid = [&](int rows, double v0, double v1) {
    const int base = m.uvCount();
    const float du = f32(1.0 / sa);
    for (int j = 0; j <= rows; ++j) {
      const float v = f32(v0 + (v1 - v0) * j / rows);
      float u = 0.0f;
      for (int i = 0; i <= sa; ++i, u = u + du) m.uv(u, v);
    }
    return base;
  };
  int bottomUV = 0, innerUV = 0, topUV = 0, outerUV = 0;
  if (uvs) {
    bottomUV = grid(sc, 0.0, 0.125);
    innerUV = grid(sh, 0.125, 0.375);
    topUV = grid(sc, 0.375, 0.5);
    outerUV = grid(sh, 0.5, 1.0);
  }
  auto G = [&](int base, int j, int i) { return base + j * (sa + 1) + i; };
  auto quad = [&](std::vector<int> v, std::vector<int> uv) { m.face(v, uvs ? uv : std::vector<int>()); };
  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sa; ++i)
      quad({outer(j, i), outer(j, i + 1), outer(j + 1, i + 1), outer(j + 1, i)},
           {G(outerUV, j, i), G(outerUV, j, i + 1), G(outerUV, j + 1, i + 1), G(outerUV, j + 1, i)});
  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sa; ++i)
      quad({inner(j, i + 1), inner(j, i), inner(j + 1, i), inner(j + 1, i + 1)},
           {G(innerUV, j, i + 1), G(innerUV, j, i), G(innerUV, j + 1, i), G(innerUV, j + 1, i + 1)});
  for (int k = 0; k < sc; ++k)
    for (int i = 0; i < sa; ++i)
      quad({cap(false, k, i + 1), cap(false, k, i), cap(false, k + 1, i), cap(false, k + 1, i + 1)},
           {G(bottomUV, k, i + 1), G(bottomUV, k, i), G(bottomUV, k + 1, i), G(bottomUV, k + 1, i + 1)});
  for (int k = 0; k < sc; ++k)
    for (int i = 0; i < sa; ++i)
      quad({cap(true, k, i), cap(true, k, i + 1), cap(true, k + 1, i + 1), cap(true, k + 1, i)},
           {G(topUV, k, i), G(topUV, k, i + 1), G(topUV, k + 1, i + 1), G(topUV, k + 1, i)});
  // Rims of the walls hard, everything else soft.
  for (int wall = 0; wall < 2; ++wall)
    for (int j = 0; j <= sh; ++j)
      for (int i = 0; i < sa; ++i) {
        const int a = wall ? inner(j, i) : outer(j, i), b = wall ? inner(j, i + 1) : outer(j, i + 1);
        m.edge(a, b, j != 0 && j != sh);
      }
  return m.finish(e.vector("ax"));
}

const PolyFamily kPipe{PolyFamily::Input::None, evaluatePipe};

}  // namespace

void registerPolyPipe(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyPipe", "polyPrimitive", {});
  b.type().poly = &kPipe;
  b.num({"radius", "r"}, NumType::Distance, 1.0);
  b.num({"height", "h"}, NumType::Distance, 2.0);
  b.num({"thickness", "t"}, NumType::Distance, 0.5);
  b.num({"subdivisionsAxis", "sa"}, NumType::Long, 20);
  b.num({"subdivisionsHeight", "sh"}, NumType::Long, 1);
  b.num({"subdivisionsCaps", "sc"}, NumType::Long, 1);
  b.num({"roundCap", "rcp"}, NumType::Bool, 0);
  b.num({"createUVs", "cuv"}, NumType::Bool, 1);
}

}  // namespace kvhost
