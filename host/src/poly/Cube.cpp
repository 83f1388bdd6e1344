// polyCube: a box of w x h x d with sw x sh x sd subdivisions, as Maya
// builds it. The vertices form a strip of rows wound around the X axis
// (front, top, back, bottom), then the interiors of the right and left sides;
// every coordinate is a float32 running sum, as in Maya.

#include <algorithm>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

using poly::accumulate;
using poly::f32;

std::shared_ptr<const MeshGeom> evaluateCube(PolyEval& e) {
  const double w = e.number("w"), h = e.number("h"), d = e.number("d");
  const int sw = std::max(1, e.integer("sw")), sh = std::max(1, e.integer("sh")), sd = std::max(1, e.integer("sd"));
  const int cuv = e.integer("cuv");
  const bool uvs = cuv != 0, perSide = cuv == 2;
  const double rows = 2.0 * sh + 2.0 * sd;
  if (!e.within(rows * (sw + 1.0) + 2.0 * (sh + 1.0) * (sd + 1.0), "vertices") ||
      !e.within(4.0 * (rows * sw + 2.0 * sh * sd), "face vertices"))
    return nullptr;
  const int nr = 2 * sh + 2 * sd, cols = sw + 1;

  poly::MeshMaker m;
  const std::vector<float> xs = accumulate(-w / 2, w / 2, sw);
  const std::vector<float> front = accumulate(-h / 2, h / 2, sh), top = accumulate(d / 2, -d / 2, sd);
  const std::vector<float> back = accumulate(h / 2, -h / 2, sh), bottom = accumulate(-d / 2, d / 2, sd);
  auto row = [&](float y, float z) {
    for (float x : xs) m.vertex(x, y, z);
  };
  for (int k = 0; k <= sh; ++k) row(front[static_cast<size_t>(k)], f32(d / 2));
  for (int k = 1; k <= sd; ++k) row(f32(h / 2), top[static_cast<size_t>(k)]);
  for (int k = 1; k <= sh; ++k) row(back[static_cast<size_t>(k)], f32(-d / 2));
  for (int k = 1; k < sd; ++k) row(f32(-h / 2), bottom[static_cast<size_t>(k)]);
  const int rightBase = m.vertexCount();
  for (float x : {f32(w / 2), f32(-w / 2)})
    for (int a = 1; a < sh; ++a)
      for (int b = 1; b < sd; ++b) m.vertex(x, front[static_cast<size_t>(a)], bottom[static_cast<size_t>(b)]);
  const int leftBase = rightBase + (sh - 1) * (sd - 1);

  auto V = [&](int k, int i) { return (k % nr) * cols + i; };
  // Side grid: a is the y index (0 at the bottom), b the z index (0 at the back).
  auto G = [&](bool right, int a, int b) {
    const int c = right ? sw : 0;
    if (b == sd) return V(a, c);
    if (a == sh) return V(sh + (sd - b), c);
    if (b == 0) return V(sh + sd + (sh - a), c);
    if (a == 0) return V(2 * sh + sd + b, c);
    return (right ? rightBase : leftBase) + (a - 1) * (sd - 1) + (b - 1);
  };

  // UVs: the strip runs up the middle column of the layout, one running v over
  // every row (the step changes per band and the sum is never reset); the
  // sides sit right and left of the front band.
  int rightUV = 0, leftUV = 0;
  if (uvs && !perSide) {
    const std::vector<float> us = accumulate(0.375, 0.625, sw);
    const float stepH = f32(0.25 / sh), stepD = f32(0.25 / sd);
    float v = 0.0f;
    for (int k = 0; k <= nr; ++k) {
      for (float u : us) m.uv(u, v);
      const bool heightBand = k < sh || (k >= sh + sd && k < 2 * sh + sd);
      v = v + (heightBand ? stepH : stepD);
    }
    const std::vector<float> vs = accumulate(0.0, 0.25, sh);
    rightUV = m.uvCount();
    for (int a = 0; a <= sh; ++a) {
      float u = 0.875f;
      for (int b = 0; b < sd; ++b, u = u - stepD) m.uv(u, vs[static_cast<size_t>(a)]);
    }
    leftUV = m.uvCount();
    for (int a = 0; a <= sh; ++a) {
      float u = 0.125f;
      for (int b = 0; b < sd; ++b, u = u + stepD) m.uv(u, vs[static_cast<size_t>(a)]);
    }
  }
  auto U = [&](int k, int i) { return k * cols + i; };
  auto sideUV = [&](bool right, int a, int b) {
    if (b == sd) return U(a, right ? sw : 0);
    return (right ? rightUV : leftUV) + a * sd + b;
  };
  // cuv 2, each face normalised separately: every side of the box gets a grid
  // of its own spanning the whole UV square (front, top, back, bottom, right,
  // left), seen from outside.
  std::vector<int> bandStart, bandBase;
  if (perSide) {
    for (int band = 0, start = 0; band < 4; ++band) {
      const int rows = band % 2 == 0 ? sh : sd;
      bandStart.push_back(start);
      bandBase.push_back(m.uvCount());
      for (int r = 0; r <= rows; ++r)
        for (int i = 0; i <= sw; ++i) m.uv(f32(double(i) / sw), f32(double(r) / rows));
      start += rows;
    }
    rightUV = m.uvCount();
    for (int a = 0; a <= sh; ++a)
      for (int x = 0; x <= sd; ++x) m.uv(f32(double(x) / sd), f32(double(a) / sh));
    leftUV = m.uvCount();
    for (int a = 0; a <= sh; ++a)
      for (int x = 0; x <= sd; ++x) m.uv(f32(double(x) / sd), f32(double(a) / sh));
  }
  auto stripUV = [&](int k, int i) {
    if (!perSide) return U(k, i);
    // Strip row k in the grid of the band it starts.
    int band = 3;
    while (band > 0 && k < bandStart[static_cast<size_t>(band)]) --band;
    return bandBase[static_cast<size_t>(band)] + (k - bandStart[static_cast<size_t>(band)]) * cols + i;
  };
  auto sideFaceUV = [&](bool right, int a, int b) {
    if (!perSide) return sideUV(right, a, b);
    return (right ? rightUV + a * (sd + 1) + (sd - b) : leftUV + a * (sd + 1) + b);
  };
  auto face = [&](std::vector<int> verts, std::vector<int> uv) { m.face(verts, uvs ? uv : std::vector<int>()); };

  for (int k = 0; k < nr; ++k)
    for (int i = 0; i < sw; ++i) {
      // A face's upper row, in its own band's grid when each side has one.
      const int top = perSide ? stripUV(k, i) + cols : U(k + 1, i);
      face({V(k, i), V(k, i + 1), V(k + 1, i + 1), V(k + 1, i)}, {stripUV(k, i), stripUV(k, i + 1), top + 1, top});
    }
  for (int a = 0; a < sh; ++a)
    for (int b = 0; b < sd; ++b)
      face({G(true, a, b + 1), G(true, a, b), G(true, a + 1, b), G(true, a + 1, b + 1)},
           {sideFaceUV(true, a, b + 1), sideFaceUV(true, a, b), sideFaceUV(true, a + 1, b), sideFaceUV(true, a + 1, b + 1)});
  for (int a = 0; a < sh; ++a)
    for (int b = 0; b < sd; ++b)
      face({G(false, a, b), G(false, a, b + 1), G(false, a + 1, b + 1), G(false, a + 1, b)},
           {sideFaceUV(false, a, b), sideFaceUV(false, a, b + 1), sideFaceUV(false, a + 1, b + 1), sideFaceUV(false, a + 1, b)});

  // Edges: along the rows (hard where the strip turns a corner), around the
  // strip (hard on its two rims), then each side's inner grid.
  for (int k = 0; k < nr; ++k)
    for (int i = 0; i < sw; ++i)
      m.edge(V(k, i), V(k, i + 1), !(k == 0 || k == sh || k == sh + sd || k == 2 * sh + sd));
  for (int k = 0; k < nr; ++k)
    for (int i = 0; i <= sw; ++i) m.edge(V(k, i), V(k + 1, i), i != 0 && i != sw);
  for (bool right : {true, false}) {
    for (int a = 1; a < sh; ++a)
      for (int b = 0; b < sd; ++b) m.edge(G(right, a, b), G(right, a, b + 1), true);
    for (int b = 1; b < sd; ++b)
      for (int a = 0; a < sh; ++a) m.edge(G(right, a, b), G(right, a + 1, b), true);
  }
  return m.finish(e.vector("ax"));
}

const PolyFamily kCube{PolyFamily::Input::None, evaluateCube};

}  // namespace

void registerPolyCube(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyCube", "polyPrimitive", {});
  b.type().poly = &kCube;
  b.num({"width", "w"}, NumType::Distance, 1.0);
  b.num({"height", "h"}, NumType::Distance, 1.0);
  b.num({"depth", "d"}, NumType::Distance, 1.0);
  b.num({"subdivisionsWidth", "sw"}, NumType::Long, 1);
  b.num({"subdivisionsHeight", "sh"}, NumType::Long, 1);
  b.num({"subdivisionsDepth", "sd"}, NumType::Long, 1);
  b.num({"createUVs", "cuv"}, NumType::Enum, 3);
}

}  // namespace kvhost
