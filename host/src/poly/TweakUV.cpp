// polyTweakUV: UV offsets (uvtk[i]) Maya records when UVs of a mesh with
// history are moved, added to the UVs of the named set (the first set when
// it names none).

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

std::shared_ptr<const MeshGeom> evaluateTweakUV(PolyEval& e) {
  const MeshGeom& in = e.input();
  const SlotSub* tweaks = elementsOf(e.node(), keyOf(e.node(), "uvtk"));
  const auto& sets = in.topo->uvSets;
  if (!tweaks || tweaks->indices.empty() || sets.empty()) return e.inputs().front();
  const std::string name = getString(e.node(), "uvs");
  size_t set = 0;
  while (!name.empty() && set < sets.size() && sets[set].name != name) ++set;
  if (set == sets.size()) return e.fail("names UV set '" + name + "', which the mesh does not have");
  auto topo = std::make_shared<MeshTopology>(*in.topo);
  auto& uv = topo->uvSets[set];
  for (size_t i = 0; i < tweaks->indices.size(); ++i) {
    const size_t id = static_cast<size_t>(tweaks->indices[i]);
    if (id >= uv.u.size() || tweaks->kind(i) != Value::Tuple) continue;
    const auto offset = tweaks->numbers(i);
    uv.u[id] = poly::f32(uv.u[id] + offset[0]);
    uv.v[id] = poly::f32(uv.v[id] + offset[1]);
  }
  auto out = std::make_shared<MeshGeom>(in);
  out->topo = std::move(topo);
  return out;
}

const PolyFamily kTweakUV{PolyFamily::Input::Polymesh, evaluateTweakUV};

}  // namespace

void registerPolyTweakUV(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyTweakUV", "polyModifier", {});
  b.type().poly = &kTweakUV;
  multi(b.tuple({"uvTweak", "uvtk"}, NumType::Float, {{"uvTweakU", "tu"}, {"uvTweakV", "tv"}}));
  b.typed({"uvSetName", "uvs"}, DataType::String);
}

}  // namespace kvhost
