// polyPrism: a cylinder with numberOfSides sides of sideLength and hard side
// edges, built and numbered as polyCylinder builds its cylinder.

#include <algorithm>
#include <cmath>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

std::shared_ptr<const MeshGeom> evaluatePrism(PolyEval& e) {
  const int ns = std::max(3, e.integer("ns"));
  const double radius = e.number("w") / (2.0 * std::sin(M_PI / ns));
  return cylinderMesh(e, {poly::f32(radius), e.number("l"), ns, e.integer("sh"), e.integer("sc"),
                          e.integer("cuv") != 0, false});
}

const PolyFamily kPrism{PolyFamily::Input::None, evaluatePrism};

}  // namespace

void registerPolyPrism(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyPrism", "polyPrimitive", {});
  b.type().poly = &kPrism;
  b.num({"length", "l"}, NumType::Distance, 2.0);
  b.num({"sideLength", "w"}, NumType::Distance, 1.0);
  b.num({"numberOfSides", "ns"}, NumType::Long, 3);
  b.num({"subdivisionsHeight", "sh"}, NumType::Long, 1);
  b.num({"subdivisionsCaps", "sc"}, NumType::Long, 0);
  b.num({"createUVs", "cuv"}, NumType::Enum, 2);
}

}  // namespace kvhost
