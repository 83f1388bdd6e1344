// Reads arbitrary bytes as a Maya ASCII scene into the stand-in host, then
// evaluates what the exporter would ask of it: world matrices, mesh points, UVs
// and shading, skin weights, blend-shape targets, lights, cameras, plugs and the
// MEL xform query. Any input must be read or refused, and evaluated, without a
// crash, an over-read, a leak or a hang.
//
//   cmake --preset fuzz && cmake --build --preset fuzz --target kv_fuzz_host
//   build/fuzz/bin/kv_fuzz_host -max_len=1000000 -timeout=20 -rss_limit_mb=2048 \
//       -close_fd_mask=2 -max_total_time=600 NEW_CORPUS_DIR examples ../shared/corpus/maya-usd
// (-close_fd_mask=2 silences the host's error lines, which every odd scene prints.)
#include <maya/MDagPath.h>
#include <maya/MDagPathArray.h>
#include <maya/MDoubleArray.h>
#include <maya/MFloatArray.h>
#include <maya/MFnBlendShapeDeformer.h>
#include <maya/MFnCamera.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnLambertShader.h>
#include <maya/MFnLight.h>
#include <maya/MFnMesh.h>
#include <maya/MFnSkinCluster.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MItDag.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MItMeshPolygon.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MPointArray.h>
#include <maya/MStringArray.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <kvhost/MayaAscii.h>
#include <kvhost/Scene.h>

namespace {

void EvaluateDagNode(MItDag& dag) {
  MDagPath path;
  if (!dag.getPath(path)) return;
  path.inclusiveMatrix();
  MObject node = dag.item();
  MFnDagNode dagNode(path);
  dagNode.transformationMatrix();
  if (node.hasFn(MFn::kTransform)) {
    MFnTransform transform(path);
    transform.transformation().rotation();
    MDoubleArray matrix;
    MGlobal::executeCommand("xform -q -ws -m " + dagNode.partialPathName(), matrix, false, false);
  }
  if (node.hasFn(MFn::kMesh)) {
    MFnMesh mesh(path);
    MPointArray points;
    mesh.getPoints(points, MSpace::kWorld);
    MStringArray sets;
    mesh.getUVSetNames(sets);
    MFloatArray u;
    MFloatArray v;
    mesh.getUVs(u, v, sets.length() > 0 ? &sets[0] : nullptr);
    MObjectArray shaders;
    MIntArray indices;
    mesh.getConnectedShaders(0, shaders, indices);
    for (MItMeshPolygon polygon(path); !polygon.isDone(); polygon.next()) {
      for (unsigned int corner = 0; corner < polygon.polygonVertexCount(); ++corner) {
        int uv = 0;
        polygon.vertexIndex(static_cast<int>(corner));
        polygon.getUVIndex(static_cast<int>(corner), uv, sets.length() > 0 ? &sets[0] : nullptr);
      }
    }
  }
  if (node.hasFn(MFn::kLight)) {
    MFnLight light(path);
    light.lightIntensity();
    light.lightDirection(0, MSpace::kWorld);
  }
  if (node.hasFn(MFn::kCamera)) {
    MFnCamera camera(path);
    camera.horizontalFieldOfView();
    camera.viewDirection(MSpace::kWorld);
  }
}

void EvaluateDependencyNode(const MObject& node) {
  MFnDependencyNode dependency(node);
  const unsigned int attributes = dependency.attributeCount();
  for (unsigned int a = 0; a < attributes; ++a) {
    MPlug plug = dependency.findPlug(dependency.attribute(a));
    MPlugArray connected;
    plug.connectedTo(connected, true, true);
  }
  if (node.hasFn(MFn::kSkinClusterFilter)) {
    MFnSkinCluster skin(node);
    MDagPathArray influences;
    skin.influenceObjects(influences);
    MObjectArray outputs;
    skin.getOutputGeometry(outputs);
    for (unsigned int i = 0; i < outputs.length(); ++i) {
      MDagPath shape;
      if (!MFnDagNode(outputs[i]).getPath(shape)) continue;
      MDoubleArray weights;
      unsigned int influenceCount = 0;
      skin.getWeights(shape, MObject::kNullObj, weights, influenceCount);
    }
  }
  if (node.hasFn(MFn::kBlendShape)) {
    MFnBlendShapeDeformer blendShape(node);
    MObjectArray bases;
    blendShape.getBaseObjects(bases);
    MIntArray weights;
    blendShape.weightIndexList(weights);
    for (unsigned int b = 0; b < bases.length(); ++b) {
      for (unsigned int w = 0; w < weights.length(); ++w) {
        MObjectArray targets;
        blendShape.getTargets(bases[b], weights[w], targets);
      }
    }
  }
  if (node.hasFn(MFn::kLambert)) MFnLambertShader(node).color();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvhost::MayaAsciiOptions options;
  // Smaller budgets than a real read's, so that one input stays well inside the
  // fuzzer's time limit.
  options.maxHostWork = std::size_t{1} << 24;
  options.maxStatementValues = std::size_t{1} << 20;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kvhost::Scene& scene = kvhost::Scene::get();
  // History may build meshes of 2^18 elements at most; half the inputs are
  // triangulated as kvr export does, and checked as it checks them.
  scene.setMaxMeshElements(double(1 << 18));
  kvhost::readMayaAsciiString(text, "fuzz.ma", options);
  scene.setTriangulateMeshes(size % 2 == 0);
  scene.checkMeshes();
  for (MItDag dag(MItDag::kDepthFirst); !dag.isDone(); dag.next()) EvaluateDagNode(dag);
  for (MItDependencyNodes nodes; !nodes.isDone(); nodes.next()) EvaluateDependencyNode(nodes.item());
  scene.reset();
  scene.clearMessages();
  return 0;
}
