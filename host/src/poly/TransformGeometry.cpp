// transformGeometry: the incoming points multiplied by a matrix (or its
// inverse), as freezing the transform of a mesh with history records it.
// With reverseNormals the faces are turned over as well.

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

std::shared_ptr<const MeshGeom> evaluateTransformGeometry(PolyEval& e) {
  const MeshGeom& in = e.input();
  MMatrix m = e.matrix("txf");
  if (e.flag("itf")) m = m.inverse();
  auto out = std::make_shared<MeshGeom>(in);
  for (MVector& p : out->points) {
    const MPoint q = MPoint(p) * m;
    p = MVector(poly::f32(q.x), poly::f32(q.y), poly::f32(q.z));
  }
  if (!e.flag("rn")) return out;
  return poly::turnFaces(in, std::move(out->points), std::vector<char>(static_cast<size_t>(in.topo->numFaces()), 1));
}

const PolyFamily kTransformGeometry{PolyFamily::Input::Geometry, evaluateTransformGeometry};

}  // namespace

void registerTransformGeometry(Scene::Impl& impl) {
  TypeBuilder b(impl, "transformGeometry", "dependNode", {});
  b.type().poly = &kTransformGeometry;
  b.typed({"inputGeometry", "ig"}, DataType::Mesh);
  computed(b.typed({"outputGeometry", "og"}, DataType::Mesh));
  b.typed({"transform", "txf"}, DataType::Matrix);
  b.num({"invertTransform", "itf"}, NumType::Bool, 0);
  b.num({"freezeNormals", "fn"}, NumType::Enum, 0);
  b.num({"reverseNormals", "rn"}, NumType::Bool, 0);
}

}  // namespace kvhost
