// The stand-in headers declare Maya's signatures: the plug-in's sources must build
// unchanged against Maya's devkit, so nothing may compile here that Maya refuses
// (a const method Maya does not make const, a path where Maya returns an object, a
// parameter Maya takes by non-const reference). Checked when this file compiles.
#include <maya/MDagPath.h>
#include <maya/MDoubleArray.h>
#include <maya/MFloatArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnPlugin.h>
#include <maya/MFnSkinCluster.h>
#include <maya/MItDag.h>
#include <maya/MItGeometry.h>
#include <maya/MItMeshPolygon.h>
#include <maya/MPlug.h>

#include <type_traits>
#include <utility>

namespace {

template <typename T>
constexpr bool kItemIsConst = requires(const T& iterator) { iterator.item(); };
template <typename T>
constexpr bool kPolygonQueriesAreConst = requires(const T& polygon, int uv) {
  polygon.isDone();
  polygon.polygonVertexCount();
  polygon.getUVIndex(0, uv);
};
template <typename Weights>
constexpr bool kSkinWeightsIn = requires(const MFnSkinCluster& skin, Weights& weights, unsigned int& count) {
  skin.getWeights(MDagPath(), MObject(), weights, count);
};

static_assert(std::is_same_v<decltype(std::declval<const MDagPath&>().transform()), MObject>,
              "MDagPath::transform returns the transform's MObject");
static_assert(std::is_same_v<decltype(std::declval<const MDagPath&>().numberOfShapesDirectlyBelow(
                                 std::declval<unsigned int&>())),
                             MStatus>);
static_assert(!kItemIsConst<MItDag>, "MItDag::item is not const");
static_assert(!kPolygonQueriesAreConst<MItMeshPolygon>);
static_assert(std::is_same_v<decltype(std::declval<MItMeshPolygon&>().count()), unsigned int>);
static_assert(!std::is_constructible_v<MItMeshPolygon, const MDagPath&, const MObject&>,
              "the component is taken by non-const reference, defaulting to MObject::kNullObj");
static_assert(std::is_same_v<decltype((MObject::kNullObj)), MObject&>);
static_assert(!std::is_constructible_v<MItGeometry, const MObject&>);
static_assert(kSkinWeightsIn<MDoubleArray> && !kSkinWeightsIn<MFloatArray>, "skin weights come as doubles");
static_assert(!std::is_constructible_v<MFnPlugin, const MObject&>);
static_assert(std::is_same_v<decltype(std::declval<const MPlug&>().asDouble(std::declval<MStatus*>())), double>);
static_assert(std::is_same_v<decltype(std::declval<MFnDependencyNode&>().create(MString(), std::declval<MStatus*>())),
                             MObject>);

}  // namespace
