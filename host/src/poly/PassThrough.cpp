// Modifiers that change no vertex, face or UV the exporter reads: vertex
// colours, user normals, edge smoothing, creases, blind data. They pass the
// incoming mesh through.

#include <cmath>
#include <string>

#include "PolyNodes.h"

namespace kvhost {

namespace {

std::shared_ptr<const MeshGeom> passThrough(PolyEval& e) { return e.inputs().front(); }

const PolyFamily kPassThrough{PolyFamily::Input::Polymesh, passThrough};

}  // namespace

void registerPolyPassThrough(Scene::Impl& impl) {
  for (const char* type : {"polyColorPerVertex", "polyNormalPerVertex", "polyColorMod", "polyColorDel", "polyCrease",
                           "polyBlindData", "polySetToFaceNormal"}) {
    TypeBuilder b(impl, type, "polyModifier", {});
    b.type().poly = &kPassThrough;
  }
  for (const char* type : {"polySoftEdge", "polyPassThru"}) {
    TypeBuilder b(impl, type, "polyModifierWorld", {});
    b.type().poly = &kPassThrough;
    if (std::string(type) == "polySoftEdge") b.num({"angle", "a"}, NumType::Angle, 30.0 * M_PI / 180.0);
  }
}

}  // namespace kvhost
