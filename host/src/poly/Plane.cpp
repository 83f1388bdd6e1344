// polyPlane: a w x h grid of sw x sh quads. Maya builds the grid facing +Z
// and turns it onto the XZ plane; the turn leaves a residue of 2.2e-16 times
// the row coordinate in y, which Maya stores, so it is reproduced here.

#include <algorithm>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

using poly::f32;

std::shared_ptr<const MeshGeom> evaluatePlane(PolyEval& e) {
  const double w = e.number("w"), h = e.number("h");
  const int sw = std::max(1, e.integer("sw")), sh = std::max(1, e.integer("sh"));
  const int cuv = e.integer("cuv");
  if (!e.within((sw + 1.0) * (sh + 1.0), "vertices") || !e.within(4.0 * sw * sh, "face vertices")) return nullptr;
  const int cols = sw + 1;
  poly::MeshMaker m;
  const float dx = f32(w / sw), dz = f32(h / sh);
  for (int j = 0; j <= sh; ++j)
    for (int i = 0; i <= sw; ++i) {
      const float x = f32(double(f32(i * dx)) - w / 2), v = f32(double(f32(j * dz)) - h / 2);
      m.vertex(x, f32(2.220446049250313e-16 * v), -v);
    }
  // UVs, one per vertex: the unit square, or with cuv 2 the longer side
  // spanning 0..1 and the other in proportion.
  if (cuv != 0) {
    const double longer = std::max(w, h);
    const double su = cuv == 2 && longer > 0 ? w / longer : 1.0, sv = cuv == 2 && longer > 0 ? h / longer : 1.0;
    const float du = f32(su / sw), dv = f32(sv / sh);
    for (int j = 0; j <= sh; ++j)
      for (int i = 0; i <= sw; ++i) m.uv(f32(i * du), f32(j * dv));
  }
  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sw; ++i) {
      const int a = j * cols + i;
      std::vector<int> loop{a, a + 1, a + cols + 1, a + cols};
      m.face(loop, cuv != 0 ? loop : std::vector<int>());
    }
  for (int j = 0; j <= sh; ++j)
    for (int i = 0; i <= sw; ++i) {
      const int v = j * cols + i;
      if (i < sw) m.edge(v, v + 1, j != 0 && j != sh);
      if (j < sh) m.edge(v, v + cols, i != 0 && i != sw);
    }
  return m.finish(e.vector("ax"));
}

const PolyFamily kPlane{PolyFamily::Input::None, evaluatePlane};

}  // namespace

void registerPolyPlane(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyPlane", "polyPrimitive", {});
  b.type().poly = &kPlane;
  b.num({"width", "w"}, NumType::Distance, 1.0);
  b.num({"height", "h"}, NumType::Distance, 1.0);
  b.num({"subdivisionsWidth", "sw"}, NumType::Long, 10);
  b.num({"subdivisionsHeight", "sh"}, NumType::Long, 10);
  b.num({"createUVs", "cuv"}, NumType::Enum, 1);
}

}  // namespace kvhost
