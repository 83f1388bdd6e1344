// polyTweak: the vertex offsets (tk[i]) Maya records when points of a mesh
// with history are moved, added to the incoming vertices.

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

std::shared_ptr<const MeshGeom> evaluateTweak(PolyEval& e) {
  const MeshGeom& in = e.input();
  const SlotSub* tweaks = elementsOf(e.node(), keyOf(e.node(), "tk"));
  if (!tweaks || tweaks->indices.empty()) return e.inputs().front();
  auto out = std::make_shared<MeshGeom>(in);
  for (size_t i = 0; i < tweaks->indices.size(); ++i) {
    const size_t v = static_cast<size_t>(tweaks->indices[i]);
    if (v >= out->points.size() || tweaks->kind(i) != Value::Tuple) continue;
    const auto offset = tweaks->numbers(i);
    MVector& p = out->points[v];
    p = MVector(poly::f32(p.x + offset[0]), poly::f32(p.y + offset[1]), poly::f32(p.z + offset[2]));
  }
  return out;
}

const PolyFamily kTweak{PolyFamily::Input::Polymesh, evaluateTweak};

}  // namespace

void registerPolyTweak(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyTweak", "polyModifier", {});
  b.type().poly = &kTweak;
  multi(b.tuple({"tweak", "tk"}, NumType::Float, {{"tweakX", "tx"}, {"tweakY", "ty"}, {"tweakZ", "tz"}}));
}

}  // namespace kvhost
