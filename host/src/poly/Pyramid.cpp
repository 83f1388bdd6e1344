// polyPyramid: a cone with ns sides whose every edge has length w, so the
// side triangles are equilateral; built and numbered as polyCone builds its
// cone, with hard edges.

#include <algorithm>
#include <cmath>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

std::shared_ptr<const MeshGeom> evaluatePyramid(PolyEval& e) {
  const double w = e.number("w");
  const int ns = std::max(3, e.integer("ns"));
  const double radius = w / (2.0 * std::sin(M_PI / ns));
  const double height = std::sqrt(std::max(0.0, w * w - radius * radius));
  return coneMesh(e, {poly::f32(radius), height, ns, e.integer("sh"), e.integer("sc"), e.integer("cuv") != 0});
}

const PolyFamily kPyramid{PolyFamily::Input::None, evaluatePyramid};

}  // namespace

void registerPolyPyramid(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyPyramid", "polyPrimitive", {});
  b.type().poly = &kPyramid;
  b.num({"sideLength", "w"}, NumType::Distance, 1.0);
  b.num({"numberOfSides", "ns"}, NumType::Long, 4);
  b.num({"subdivisionsHeight", "sh"}, NumType::Long, 1);
  b.num({"subdivisionsCaps", "sc"}, NumType::Long, 0);
  b.num({"createUVs", "cuv"}, NumType::Enum, 2);
}

}  // namespace kvhost
