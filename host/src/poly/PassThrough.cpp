// Modifiers that change no vertex, face or UV the exporter reads: vertex
// colours, user normals, edge smoothing, creases, blind data. They pass the
// incoming mesh through. So do the UV editing nodes, whose projections,
// layouts, cuts and sews the host does not compute: the mesh keeps its
// geometry and the UVs it had before them, and says so (Scene::checkMeshes).

#include <cmath>
#include <string>

#include "PolyNodes.h"

namespace kvhost {

namespace {

std::shared_ptr<const MeshGeom> passThrough(PolyEval& e) { return e.inputs().front(); }

const PolyFamily kPassThrough{PolyFamily::Input::Polymesh, passThrough};
const PolyFamily kUVsKept{PolyFamily::Input::Polymesh, passThrough, true};

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
  for (const char* type : {"polyMapCut", "polyMapDel", "polyMoveUV", "polyFlipUV", "polyNormalizeUV", "polyStraightenUVBorder",
                           "polyPinUV", "polyOptUvs", "polyUVRectangle"}) {
    TypeBuilder b(impl, type, "polyModifier", {});
    b.type().poly = &kUVsKept;
  }
  for (const char* type : {"polyLayoutUV", "polyAutoProj", "polyPlanarProj", "polyCylProj", "polySphProj", "polyProj",
                           "polyMapSew", "polyMapSewMove", "polyMergeUV", "polyCopyUV", "polyContourProj"}) {
    TypeBuilder b(impl, type, "polyModifierWorld", {});
    b.type().poly = &kUVsKept;
  }
}

}  // namespace kvhost
