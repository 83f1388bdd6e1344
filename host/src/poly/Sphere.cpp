// polySphere: sh - 1 rings of sa vertices from the bottom up, then the two
// poles. The profile angle is a float32 running sum; the upper half mirrors
// the lower one.

#include <algorithm>
#include <cmath>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

using poly::f32;

std::shared_ptr<const MeshGeom> evaluateSphere(PolyEval& e) {
  const float r = f32(e.number("r"));
  const int sa = std::max(3, e.integer("sa")), sh = std::max(2, e.integer("sh"));
  const int cuv = e.integer("cuv");
  if (!e.within(double(sa) * (sh - 1) + 2.0, "vertices") || !e.within(4.0 * sa * sh, "face vertices")) return nullptr;

  // Ring radius and height, j = 1 .. sh-1 (index j).
  std::vector<float> radius(static_cast<size_t>(sh) + 1), height(static_cast<size_t>(sh) + 1);
  const float step = f32(M_PI / sh);
  float t = 0.0f;
  for (int j = 1; j <= (sh + 1) / 2 - 1; ++j) {
    t = t + step;
    radius[static_cast<size_t>(j)] = f32(double(r) * double(f32(std::sin(double(t)))));
    height[static_cast<size_t>(j)] = f32(double(r) * double(f32(-std::cos(double(t)))));
    radius[static_cast<size_t>(sh - j)] = radius[static_cast<size_t>(j)];
    height[static_cast<size_t>(sh - j)] = -height[static_cast<size_t>(j)];
  }
  if (sh % 2 == 0) {
    radius[static_cast<size_t>(sh / 2)] = r;
    height[static_cast<size_t>(sh / 2)] = 0.0f;
  }

  poly::MeshMaker m;
  const poly::Circle circle = poly::circleTable(sa);
  for (int j = 1; j < sh; ++j)
    for (int i = 0; i < sa; ++i) {
      const size_t k = static_cast<size_t>(sa - 1 - i);
      const float R = radius[static_cast<size_t>(j)];
      m.vertex(R * circle.c[k], height[static_cast<size_t>(j)], R * circle.s[k]);
    }
  const int bottom = m.vertex(0.0f, -r, 0.0f), top = m.vertex(0.0f, r, 0.0f);
  auto v = [&](int j, int i) { return (j - 1) * sa + (i % sa); };

  // UVs: rows of sa + 1 (the seam column repeated), then one UV per pole
  // triangle at each pole, or with cuv 1 (pinched) a single UV per pole.
  int poleBottom = 0, poleTop = 0;
  if (cuv != 0) {
    const float du = f32(1.0 / sa), dv = f32(1.0 / sh);
    float vRow = 0.0f;
    for (int j = 1; j < sh; ++j) {
      vRow = vRow + dv;
      float u = 0.0f;
      for (int i = 0; i <= sa; ++i, u = u + du) m.uv(u, vRow);
    }
    // Maya 2017 centred the pole UVs in one step; later versions add half a step.
    auto poleU = [&](int i) {
      return e.mayaVersion() != 0 && e.mayaVersion() <= 2017 ? f32((i + 0.5) * du) : f32(i * du) + f32(du / 2);
    };
    poleBottom = m.uvCount();
    if (cuv == 1) {
      m.uv(0.5f, 0.0f);
      poleTop = m.uv(0.5f, 1.0f);
    } else {
      for (int i = 0; i < sa; ++i) m.uv(poleU(i), 0.0f);
      poleTop = m.uvCount();
      for (int i = 0; i < sa; ++i) m.uv(poleU(i), 1.0f);
    }
  }
  auto U = [&](int j, int i) { return (j - 1) * (sa + 1) + i; };
  auto pole = [&](int base, int i) { return cuv == 1 ? base : base + i; };
  auto face = [&](std::vector<int> verts, std::vector<int> uv) { m.face(verts, cuv != 0 ? uv : std::vector<int>()); };
  for (int j = 1; j <= sh - 2; ++j)
    for (int i = 0; i < sa; ++i)
      face({v(j, i), v(j, i + 1), v(j + 1, i + 1), v(j + 1, i)}, {U(j, i), U(j, i + 1), U(j + 1, i + 1), U(j + 1, i)});
  for (int i = 0; i < sa; ++i) face({v(1, i + 1), v(1, i), bottom}, {U(1, i + 1), U(1, i), pole(poleBottom, i)});
  for (int i = 0; i < sa; ++i) face({v(sh - 1, i), v(sh - 1, i + 1), top}, {U(sh - 1, i), U(sh - 1, i + 1), pole(poleTop, i)});

  for (int j = 1; j < sh; ++j)
    for (int i = 0; i < sa; ++i) m.edge(v(j, i), v(j, i + 1), true);
  for (int j = 1; j < sh - 1; ++j)
    for (int i = 0; i < sa; ++i) m.edge(v(j, i), v(j + 1, i), true);
  for (int i = 0; i < sa; ++i) m.edge(bottom, v(1, i), true);
  for (int i = 0; i < sa; ++i) m.edge(v(sh - 1, i), top, true);
  return m.finish(e.vector("ax"));
}

const PolyFamily kSphere{PolyFamily::Input::None, evaluateSphere};

}  // namespace

void registerPolySphere(Scene::Impl& impl) {
  TypeBuilder b(impl, "polySphere", "polyPrimitive", {});
  b.type().poly = &kSphere;
  b.num({"radius", "r"}, NumType::Distance, 1.0);
  b.num({"subdivisionsAxis", "sa"}, NumType::Long, 20);
  b.num({"subdivisionsHeight", "sh"}, NumType::Long, 20);
  b.num({"texture", "tx"}, NumType::Enum, 1);
  b.num({"createUVs", "cuv"}, NumType::Enum, 2);
}

}  // namespace kvhost
