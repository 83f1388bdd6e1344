// polyTorus: sh rings (sections around the tube, ring 0 at the inner
// equator) of sa vertices around the axis; both directions use the float32
// circle table.

#include <algorithm>
#include <cmath>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

using poly::f32;

std::shared_ptr<const MeshGeom> evaluateTorus(PolyEval& e) {
  const float r = f32(e.number("r")), sr = f32(e.number("sr"));
  const int sa = std::max(3, e.integer("sa")), sh = std::max(3, e.integer("sh"));
  const double twist = e.number("tw");  // radians
  const bool uvs = e.integer("cuv") != 0;
  if (!e.within(double(sa) * sh, "vertices") || !e.within(4.0 * sa * sh, "face vertices")) return nullptr;

  poly::MeshMaker m;
  const poly::Circle around = poly::circleTable(sa), section = poly::circleTable(sh);
  const double ct = std::cos(twist), st = std::sin(twist);
  for (int j = 0; j < sh; ++j) {
    float cj = section.c[static_cast<size_t>(j)], sj = section.s[static_cast<size_t>(j)];
    if (twist != 0.0) {
      const double c = cj * ct - sj * st, s = sj * ct + cj * st;
      cj = f32(c);
      sj = f32(s);
    }
    const float radius = r - sr * cj, y = sr * sj;
    for (int i = 0; i < sa; ++i) {
      const size_t k = static_cast<size_t>(sa - 1 - i);
      m.vertex(radius * around.c[k], y, radius * around.s[k]);
    }
  }
  auto v = [&](int j, int i) { return (j % sh) * sa + i % sa; };
  if (uvs) {
    const float du = f32(1.0 / sa), dv = f32(1.0 / sh);
    float vRow = 1.0f;
    for (int j = 0; j <= sh; ++j, vRow = vRow - dv) {
      float u = 0.0f;
      for (int i = 0; i <= sa; ++i, u = u + du) m.uv(u, vRow);
    }
  }
  auto U = [&](int j, int i) { return j * (sa + 1) + i; };
  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sa; ++i)
      m.face({v(j, i + 1), v(j, i), v(j + 1, i), v(j + 1, i + 1)},
             uvs ? std::vector<int>{U(j, i + 1), U(j, i), U(j + 1, i), U(j + 1, i + 1)} : std::vector<int>());
  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sa; ++i) m.edge(v(j, i), v(j, i + 1), true);
  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sa; ++i) m.edge(v(j, i), v(j + 1, i), true);
  return m.finish(e.vector("ax"));
}

const PolyFamily kTorus{PolyFamily::Input::None, evaluateTorus};

}  // namespace

void registerPolyTorus(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyTorus", "polyPrimitive", {});
  b.type().poly = &kTorus;
  b.num({"radius", "r"}, NumType::Distance, 1.0);
  b.num({"sectionRadius", "sr"}, NumType::Distance, 0.5);
  b.num({"twist", "tw"}, NumType::Angle, 0.0);
  b.num({"subdivisionsAxis", "sa"}, NumType::Long, 20);
  b.num({"subdivisionsHeight", "sh"}, NumType::Long, 20);
  b.num({"createUVs", "cuv"}, NumType::Enum, 1);
}

}  // namespace kvhost
