// The node types the host knows, with the attributes (long and short names,
// types, defaults) that Maya gives them. Attributes not listed here still
// work: setAttr creates them on the fly, so files keep every value they hold.

#include <cmath>
#include <initializer_list>
#include <utility>

#include "Core.h"
#include "NodeTypeBuilder.h"
#include "poly/PolyNodes.h"

namespace kvhost {

namespace {

constexpr double kDegree = M_PI / 180.0;

void lightAttributes(TypeBuilder& b) {
  b.tuple({"color", "cl"}, NumType::Float, {{"colorR", "cr"}, {"colorG", "cg"}, {"colorB", "cb"}}, {1, 1, 1});
  b.num({"intensity", "in"}, NumType::Float, 1.0);
}

}  // namespace

void registerNodeTypes(Scene::Impl& impl) {
  {
    TypeBuilder b(impl, "dependNode", "", {MFn::kNamedObject, MFn::kDependencyNode});
    b.message({"message", "msg"});
    b.num({"caching", "cch"}, NumType::Bool);
    b.num({"frozen", "fzn"}, NumType::Bool);
    b.num({"isHistoricallyInteresting", "ihi"}, NumType::Byte, 2);
    b.num({"nodeState", "nds"}, NumType::Enum);
  }
  {
    TypeBuilder b(impl, "dagNode", "dependNode", {MFn::kDagNode});
    b.type().dag = true;
    b.num({"visibility", "v"}, NumType::Bool, 1);
    b.num({"intermediateObject", "io"}, NumType::Bool);
    b.num({"template", "tmp"}, NumType::Bool);
    b.num({"lodVisibility", "lodv"}, NumType::Bool, 1);
    Attribute* iog = multi(b.compound({"instObjGroups", "iog"}));
    Attribute* og = multi(b.compound({"objectGroups", "og"}, iog));
    b.typed({"objectGrpCompList", "gcl"}, DataType::ComponentList, og);
    b.num({"objectGroupId", "gid"}, NumType::Long, 0, og);
    b.num({"objectGrpColor", "gco"}, NumType::Short, 0, og);
    computed(multi(b.typed({"worldMatrix", "wm"}, DataType::Matrix)));
    computed(multi(b.typed({"worldInverseMatrix", "wim"}, DataType::Matrix)));
    computed(multi(b.typed({"parentMatrix", "pm"}, DataType::Matrix)));
    computed(multi(b.typed({"parentInverseMatrix", "pim"}, DataType::Matrix)));
  }
  {
    TypeBuilder b(impl, "world", "dagNode", {MFn::kWorld});
  }
  {
    // A file's nodes whose parent is a referenced node wait under it until
    // the reference's parent edits move them.
    TypeBuilder b(impl, "fosterParent", "dagNode", {});
  }
  {
    TypeBuilder b(impl, "transform", "dagNode", {MFn::kTransform});
    b.type().transform = true;
    moves(b.tuple({"translate", "t"}, NumType::Distance, {{"translateX", "tx"}, {"translateY", "ty"}, {"translateZ", "tz"}}));
    moves(b.tuple({"rotate", "r"}, NumType::Angle, {{"rotateX", "rx"}, {"rotateY", "ry"}, {"rotateZ", "rz"}}));
    moves(b.tuple({"scale", "s"}, NumType::Double, {{"scaleX", "sx"}, {"scaleY", "sy"}, {"scaleZ", "sz"}}, {1, 1, 1}));
    moves(b.tuple({"shear", "sh"}, NumType::Double, {{"shearXY", "shxy"}, {"shearXZ", "shxz"}, {"shearYZ", "shyz"}}));
    moves(b.num({"rotateOrder", "ro"}, NumType::Enum));
    moves(b.tuple({"rotatePivot", "rp"}, NumType::Distance,
                  {{"rotatePivotX", "rpx"}, {"rotatePivotY", "rpy"}, {"rotatePivotZ", "rpz"}}));
    moves(b.tuple({"rotatePivotTranslate", "rpt"}, NumType::Distance,
                  {{"rotatePivotTranslateX", "rptx"}, {"rotatePivotTranslateY", "rpty"}, {"rotatePivotTranslateZ", "rptz"}}));
    moves(b.tuple({"scalePivot", "sp"}, NumType::Distance,
                  {{"scalePivotX", "spx"}, {"scalePivotY", "spy"}, {"scalePivotZ", "spz"}}));
    moves(b.tuple({"scalePivotTranslate", "spt"}, NumType::Distance,
                  {{"scalePivotTranslateX", "sptx"}, {"scalePivotTranslateY", "spty"}, {"scalePivotTranslateZ", "sptz"}}));
    moves(b.tuple({"rotateAxis", "ra"}, NumType::Angle, {{"rotateAxisX", "rax"}, {"rotateAxisY", "ray"}, {"rotateAxisZ", "raz"}}));
    moves(b.num({"inheritsTransform", "it"}, NumType::Bool, 1));
    computed(b.typed({"matrix", "m"}, DataType::Matrix));
    computed(b.typed({"inverseMatrix", "im"}, DataType::Matrix));
    b.num({"displayHandle", "dh"}, NumType::Bool);
  }
  {
    TypeBuilder b(impl, "joint", "transform", {MFn::kJoint});
    b.type().joint = true;
    moves(b.tuple({"jointOrient", "jo"}, NumType::Angle, {{"jointOrientX", "jox"}, {"jointOrientY", "joy"}, {"jointOrientZ", "joz"}}));
    moves(b.num({"segmentScaleCompensate", "ssc"}, NumType::Bool, 1));
    moves(b.tuple({"inverseScale", "is"}, NumType::Double,
                  {{"inverseScaleX", "isx"}, {"inverseScaleY", "isy"}, {"inverseScaleZ", "isz"}}, {1, 1, 1}));
    b.typed({"bindPose", "bps"}, DataType::Matrix);
    b.tuple({"preferredAngle", "pa"}, NumType::Angle, {{"preferredAngleX", "pax"}, {"preferredAngleY", "pay"}, {"preferredAngleZ", "paz"}});
    b.num({"radius", "radi"}, NumType::Double, 1);
  }
  for (auto [name, fn] : {std::pair{"ikEffector", MFn::kIkEffector}, {"ikHandle", MFn::kIkHandle},
                          {"parentConstraint", MFn::kParentConstraint}, {"pointConstraint", MFn::kPointConstraint},
                          {"orientConstraint", MFn::kOrientConstraint}, {"aimConstraint", MFn::kAimConstraint},
                          {"scaleConstraint", MFn::kScaleConstraint}, {"lookAt", MFn::kLookAt}}) {
    TypeBuilder b(impl, name, "transform", {fn});
  }
  {
    TypeBuilder b(impl, "shape", "dagNode", {MFn::kShape});
    b.type().shape = true;
  }
  for (auto [name, fn] : {std::pair{"locator", MFn::kLocator}, {"nurbsCurve", MFn::kNurbsCurve},
                          {"nurbsSurface", MFn::kNurbsSurface}}) {
    TypeBuilder b(impl, name, "shape", {fn});
  }
  {
    TypeBuilder b(impl, "mesh", "shape", {MFn::kMesh});
    b.typed({"inMesh", "i"}, DataType::Mesh);
    computed(b.typed({"outMesh", "o"}, DataType::Mesh));
    computed(multi(b.typed({"worldMesh", "w"}, DataType::Mesh)));
    multi(b.tuple({"vrts", "vt"}, NumType::Float, {{"vrtx", "vx"}, {"vrty", "vy"}, {"vrtz", "vz"}}));
    multi(b.tuple({"pnts", "pt"}, NumType::Float, {{"pntx", "px"}, {"pnty", "py"}, {"pntz", "pz"}}));
    multi(b.tuple({"edge", "ed"}, NumType::Long, {{"edg1", "e1"}, {"edg2", "e2"}, {"edgh", "eh"}}));
    multi(b.typed({"face", "fc"}, DataType::PolyFaces));
    Attribute* uvst = multi(b.compound({"uvSet", "uvst"}));
    b.typed({"uvSetName", "uvsn"}, DataType::String, uvst);
    multi(b.tuple({"uvSetPoints", "uvsp"}, NumType::Float, {{"uvSetPointsU", "uvpu"}, {"uvSetPointsV", "uvpv"}}, {}, uvst));
    b.typed({"currentUVSet", "cuvs"}, DataType::String);
  }
  {
    TypeBuilder b(impl, "camera", "shape", {MFn::kCamera});
    b.num({"focalLength", "fl"}, NumType::Double, 35.0);
    b.num({"horizontalFilmAperture", "hfa"}, NumType::Double, 1.41732);
    b.num({"verticalFilmAperture", "vfa"}, NumType::Double, 0.94488);
    b.num({"lensSqueezeRatio", "lsr"}, NumType::Double, 1.0);
    b.num({"cameraScale", "cs"}, NumType::Double, 1.0);
    b.num({"orthographic", "o"}, NumType::Bool);
    b.num({"orthographicWidth", "ow"}, NumType::Distance, 10.0);
    b.num({"centerOfInterest", "coi"}, NumType::Distance, 5.0);
    b.num({"nearClipPlane", "ncp"}, NumType::Distance, 0.1);
    b.num({"farClipPlane", "fcp"}, NumType::Distance, 10000.0);
  }
  {
    TypeBuilder b(impl, "light", "shape", {MFn::kLight});
    lightAttributes(b);
  }
  { TypeBuilder b(impl, "ambientLight", "light", {MFn::kAmbientLight}); }
  { TypeBuilder b(impl, "nonAmbientLight", "light", {MFn::kNonAmbientLight}); }
  { TypeBuilder b(impl, "areaLight", "nonAmbientLight", {MFn::kAreaLight}); }
  { TypeBuilder b(impl, "nonExtendedLight", "nonAmbientLight", {MFn::kNonExtendedLight}); }
  { TypeBuilder b(impl, "pointLight", "nonExtendedLight", {MFn::kPointLight}); }
  { TypeBuilder b(impl, "directionalLight", "nonExtendedLight", {MFn::kDirectionalLight}); }
  {
    TypeBuilder b(impl, "spotLight", "nonExtendedLight", {MFn::kSpotLight});
    b.num({"coneAngle", "ca"}, NumType::Angle, 40.0 * kDegree);
    b.num({"penumbraAngle", "pa"}, NumType::Angle, 0.0);
    b.num({"dropoff", "dro"}, NumType::Double, 0.0);
  }
  {
    TypeBuilder b(impl, "shadingEngine", "dependNode", {MFn::kShadingEngine});
    multi(b.message({"dagSetMembers", "dsm"}));
    multi(b.message({"dnSetMembers", "dnsm"}));
    multi(b.message({"groupNodes", "gn"}));
    b.tuple({"surfaceShader", "ss"}, NumType::Float, {{"surfaceShaderR", "ssr"}, {"surfaceShaderG", "ssg"}, {"surfaceShaderB", "ssb"}});
    b.tuple({"volumeShader", "vs"}, NumType::Float, {{"volumeShaderR", "vsr"}, {"volumeShaderG", "vsg"}, {"volumeShaderB", "vsb"}});
    b.num({"displacementShader", "ds"}, NumType::Float);
    b.num({"renderableOnlySet", "ro"}, NumType::Bool);
  }
  {
    TypeBuilder b(impl, "lambert", "dependNode", {MFn::kLambert});
    b.tuple({"color", "c"}, NumType::Float, {{"colorR", "cr"}, {"colorG", "cg"}, {"colorB", "cb"}}, {0.5, 0.5, 0.5});
    b.tuple({"transparency", "it"}, NumType::Float, {{"transparencyR", "itr"}, {"transparencyG", "itg"}, {"transparencyB", "itb"}});
    b.tuple({"ambientColor", "ambc"}, NumType::Float, {{"ambientColorR", "acr"}, {"ambientColorG", "acg"}, {"ambientColorB", "acb"}});
    b.tuple({"incandescence", "ic"}, NumType::Float, {{"incandescenceR", "ir"}, {"incandescenceG", "ig"}, {"incandescenceB", "ib"}});
    b.num({"diffuse", "dc"}, NumType::Float, 0.8);
    b.num({"translucence", "tc"}, NumType::Float, 0.0);
    b.tuple({"normalCamera", "n"}, NumType::Float, {{"normalCameraX", "nx"}, {"normalCameraY", "ny"}, {"normalCameraZ", "nz"}});
    // Shading results are not computed by the host: reading them gives no value.
    computed(b.tuple({"outColor", "oc"}, NumType::Float, {{"outColorR", "ocr"}, {"outColorG", "ocg"}, {"outColorB", "ocb"}}));
    computed(b.tuple({"outTransparency", "ot"}, NumType::Float, {{"outTransparencyR", "otr"}, {"outTransparencyG", "otg"}, {"outTransparencyB", "otb"}}));
  }
  {
    TypeBuilder b(impl, "reflect", "lambert", {MFn::kReflect});
    b.tuple({"specularColor", "sc"}, NumType::Float, {{"specularColorR", "sr"}, {"specularColorG", "sg"}, {"specularColorB", "sb"}},
            {0.5, 0.5, 0.5});
    b.num({"reflectivity", "rfl"}, NumType::Float, 0.5);
    b.tuple({"reflectedColor", "rc"}, NumType::Float, {{"reflectedColorR", "rr"}, {"reflectedColorG", "rg"}, {"reflectedColorB", "rb"}});
  }
  {
    TypeBuilder b(impl, "phong", "reflect", {MFn::kPhong});
    b.num({"cosinePower", "cp"}, NumType::Float, 20.0);
  }
  {
    TypeBuilder b(impl, "blinn", "reflect", {MFn::kBlinn});
    b.num({"eccentricity", "ec"}, NumType::Float, 0.3);
    b.num({"specularRollOff", "sro"}, NumType::Float, 0.7);
  }
  {
    TypeBuilder b(impl, "file", "dependNode", {MFn::kTexture2d, MFn::kFileTexture});
    b.typed({"fileTextureName", "ftn"}, DataType::String);
    // Texture lookups are not computed by the host: a channel driven by a
    // texture reads its own stored value.
    computed(b.tuple({"outColor", "oc"}, NumType::Float, {{"outColorR", "ocr"}, {"outColorG", "ocg"}, {"outColorB", "ocb"}}));
    computed(b.num({"outAlpha", "oa"}, NumType::Float));
  }
  { TypeBuilder b(impl, "place2dTexture", "dependNode", {MFn::kPlace2dTexture}); }
  {
    TypeBuilder b(impl, "groupId", "dependNode", {MFn::kGroupId});
    b.num({"groupId", "id"}, NumType::Long);
  }
  {
    TypeBuilder b(impl, "groupParts", "dependNode", {MFn::kGroupParts});
    b.typed({"inputGeometry", "ig"}, DataType::Mesh);
    computed(b.typed({"outputGeometry", "og"}, DataType::Mesh));
    b.typed({"inputComponents", "ic"}, DataType::ComponentList);
    b.num({"groupId", "gi"}, NumType::Long);
  }
  {
    TypeBuilder b(impl, "geometryFilter", "dependNode", {MFn::kGeometryFilt});
    b.num({"envelope", "en"}, NumType::Float, 1.0);
    Attribute* ip = multi(b.compound({"input", "ip"}));
    b.typed({"inputGeometry", "ig"}, DataType::Mesh, ip);
    b.num({"groupId", "gi"}, NumType::Long, 0, ip);
    computed(multi(b.typed({"outputGeometry", "og"}, DataType::Mesh)));
  }
  {
    TypeBuilder b(impl, "tweak", "geometryFilter", {MFn::kTweak});
    b.num({"relativeTweak", "rtw"}, NumType::Bool, 1);
    Attribute* vl = multi(b.compound({"vlist", "vl"}));
    multi(b.tuple({"vertex", "vt"}, NumType::Float, {{"xVertex", "xv"}, {"yVertex", "yv"}, {"zVertex", "zv"}}, {}, vl));
  }
  {
    TypeBuilder b(impl, "skinCluster", "geometryFilter", {MFn::kSkinClusterFilter});
    Attribute* wl = multi(b.compound({"weightList", "wl"}));
    multi(b.num({"weights", "w"}, NumType::Double, 0.0, wl));
    multi(b.typed({"bindPreMatrix", "pm"}, DataType::Matrix));
    b.typed({"geomMatrix", "gm"}, DataType::Matrix);
    multi(b.typed({"matrix", "ma"}, DataType::Matrix));
    b.message({"bindPose", "bp"});
    b.num({"maxInfluences", "mi"}, NumType::Long, 5);
    b.num({"normalizeWeights", "nw"}, NumType::Enum, 1);
    b.num({"skinningMethod", "sm"}, NumType::Enum, 0);
    multi(b.num({"lockWeights", "lw"}, NumType::Bool));
  }
  {
    TypeBuilder b(impl, "blendShape", "geometryFilter", {MFn::kBlendShape});
    multi(b.num({"weight", "w"}, NumType::Float));
    Attribute* it = multi(b.compound({"inputTarget", "it"}));
    Attribute* itg = multi(b.compound({"inputTargetGroup", "itg"}, it));
    Attribute* iti = multi(b.compound({"inputTargetItem", "iti"}, itg));
    b.typed({"inputGeomTarget", "igt"}, DataType::Mesh, iti);
    b.typed({"inputPointsTarget", "ipt"}, DataType::PointArray, iti);
    b.typed({"inputComponentsTarget", "ict"}, DataType::ComponentList, iti);
    multi(b.num({"targetWeights", "tw"}, NumType::Float, 1.0, itg));
    multi(b.num({"baseWeights", "bw"}, NumType::Float, 1.0, it));
    b.typed({"attributeAliasList", "aal"}, DataType::Generic);
    b.num({"origin", "or"}, NumType::Enum, 1);
    b.num({"topologyCheck", "tc"}, NumType::Bool, 1);
  }
  {
    TypeBuilder b(impl, "nonLinear", "geometryFilter", {});
    b.typed({"deformerData", "dd"}, DataType::DoubleArray);
    b.typed({"matrix", "ma"}, DataType::Matrix);
  }
  // Deformers the host does not evaluate: known as deformers, so that one at
  // envelope 0 passes the mesh through and any other is named.
  for (const char* name : {"cluster", "ffd", "wire", "wrap", "sculpt", "softMod", "deltaMush", "tension", "jiggle",
                           "textureDeformer", "proximityWrap", "shrinkWrap", "solidify", "morph", "boneLattice",
                           "jointCluster", "jointFfd", "jointLattice"}) {
    TypeBuilder b(impl, name, "geometryFilter", {});
  }
  {
    TypeBuilder b(impl, "dagPose", "dependNode", {MFn::kDagPose});
    multi(b.message({"members", "m"}));
    multi(b.typed({"worldMatrix", "wm"}, DataType::Matrix));
    // Typed matrix data ("xform" records), not a matrix attribute: an element that
    // was never set holds no matrix.
    multi(b.typed({"xformMatrix", "xm"}, DataType::Matrix))->noDefault = true;
    multi(b.message({"parents", "p"}));
    b.message({"world", "w"});
    b.num({"global", "g"}, NumType::Bool);
    b.num({"bindPose", "bp"}, NumType::Bool);
  }
  registerPolyNodeTypes(impl);
}

}  // namespace kvhost
