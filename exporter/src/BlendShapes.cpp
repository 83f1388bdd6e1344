// Blend shapes: every deformer's envelope is turned off before the meshes are read,
// and afterwards every target shape becomes a morph target of its base's mesh.
#include <maya/MDagPath.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnBlendShapeDeformer.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MPointArray.h>
#include <maya/MString.h>

#include <cstring>

#include "kv/ExportLog.h"
#include "kv/ExportStages.h"
#include "kv/Mesh.h"
#include "kv/Morph.h"
#include "kv/Scene.h"

namespace {

// Morph vertices that move their vertex by at most this distance are dropped.
constexpr float kSmallestDelta = 0.001f;

bool IsBlendShape(const MObject& node) { return std::strcmp(node.apiTypeStr(), "kBlendShape") == 0; }

MString TransformName(const MDagPath& shapePath) {
  return MFnDependencyNode(shapePath.transform()).name();
}

// Puts the target's transform where the base's transform is in world space, so that
// both shapes' world points compare vertex by vertex whatever the target's own
// placement. Runs MEL (as a user could), without echo or undo; the target stays
// moved.
void MoveOntoBase(const MString& baseName, const MString& targetName) {
  MDoubleArray matrix;
  MGlobal::executeCommand("xform -q -ws -m " + baseName, matrix, false, false);
  MString command("xform -ws -m ");
  for (unsigned int i = 0; i < matrix.length() && i < 16; ++i) {
    command += matrix[i];
    command += " ";
  }
  // A second blank before the name: the command has always been formed this way.
  command += " ";
  command += targetName;
  MGlobal::executeCommand(command, false, false);
}

}  // namespace

bool DisableBlendShapes() {
  LogPrintf("Disabling blend shapes...");
  MStatus status;
  MItDependencyNodes iterator(MFn::kInvalid, &status);
  if (!status) {
    ReportApiError("Could not create blendShapeIterator!");
    return false;
  }
  for (; !iterator.isDone(); iterator.next()) {
    MObject node = iterator.item();
    if (!IsBlendShape(node)) continue;
    MFnBlendShapeDeformer deformer(node);
    LogPrintf("Disabling blend shape %s...", deformer.name().asChar());
    // The envelope stays 0 after the export: the meshes are read undeformed.
    deformer.findPlug("en").setValue(0.0f);
  }
  LogPrintf("Finished disabling blend shapes.");
  return true;
}

bool ImportBlendShapes(KvScene* scene) {
  LogPrintf("Importing blend shapes...");
  if (scene != nullptr) {
    MStatus status;
    MItDependencyNodes iterator(MFn::kInvalid, &status);
    if (!status) {
      ReportApiError("Could not create blendShapeIterator!");
      return false;
    }
    for (; !iterator.isDone(); iterator.next()) {
      MObject node = iterator.item();
      if (!IsBlendShape(node)) continue;
      MFnBlendShapeDeformer deformer(node);
      LogPrintf("Importing blend shape deformer %s...", deformer.name().asChar());
      MObjectArray baseObjects;
      deformer.getBaseObjects(baseObjects);
      LogPrintf("Blend shape deformer deforms %d objects.", static_cast<int>(baseObjects.length()));
      for (unsigned int b = 0; b < baseObjects.length(); ++b) {
        MDagPath basePath;
        MFnDagNode(baseObjects[b]).getPath(basePath);
        const MString baseName = TransformName(basePath);
        MIntArray weightIndices;
        deformer.weightIndexList(weightIndices);
        LogPrintf("Mesh %s deformed with %d weights.", baseName.asChar(), static_cast<int>(weightIndices.length()));
        KvMesh* mesh = scene->FindMesh(KvName(baseName.asChar()));
        if (mesh == nullptr) {
          LogPrintf("Deformed mesh not found in scene!");
          continue;
        }
        // One controller per mesh collects the targets of every deformer on it.
        if (mesh->GetMorphController() == nullptr) mesh->SetMorphController(new KvMorphController);
        for (unsigned int w = 0; w < weightIndices.length(); ++w) {
          MObjectArray targets;
          if (!deformer.getTargets(baseObjects[b], weightIndices[w], targets)) {
            LogPrintf(
                "MFnBlendShapeDeformer::getTarget function failed. You must leave the blend shape objects in the "
                "scene after adding them to the blendShape modifier.");
            continue;
          }
          for (unsigned int t = 0; t < targets.length(); ++t) ImportBlendShapeTarget(targets[t], mesh, basePath);
        }
      }
    }
  }
  LogPrintf("Finished importing blend shapes.");
  return true;
}

void ImportBlendShapeTarget(MObject target, KvMesh* mesh, MDagPath basePath) {
  if (mesh == nullptr || !target.hasFn(MFn::kDagNode)) return;
  MDagPath targetPath;
  MFnDagNode(target).getPath(targetPath);
  const MString targetName = TransformName(targetPath);
  MoveOntoBase(TransformName(basePath), targetName);

  MFnMesh targetMesh(targetPath);
  MFnMesh baseMesh(basePath);
  LogPrintf("Importing blend shape %s with %d vertices and %d polygons...", targetName.asChar(),
            targetMesh.numVertices(), targetMesh.numPolygons());
  KvMorphController* controller = mesh->GetMorphController();
  if (controller == nullptr) return;

  MPointArray basePoints;
  MPointArray targetPoints;
  baseMesh.getPoints(basePoints, MSpace::kWorld);
  targetMesh.getPoints(targetPoints, MSpace::kWorld);
  const unsigned int count = static_cast<unsigned int>(baseMesh.numVertices());
  // Morph vertex v pairs base vertex v with target point v and exported vertex v.
  // A target with fewer points than its base has no partner for some base
  // vertices: it is left out whole rather than stored as half a shape. The same
  // holds for an exported mesh with fewer vertices, which happens when another
  // transform of the same name was exported first: its morph vertices would name
  // vertices it does not have.
  if (targetPoints.length() < count || basePoints.length() < count) {
    LogPrintf("Warning: blend shape %s has fewer vertices than its base!  Morph target will not be exported",
              targetName.asChar());
    return;
  }
  if (mesh->GetNumVertices() < count) {
    LogPrintf("Warning: exported mesh %s has fewer vertices than the base of blend shape %s!  Morph target will not "
              "be exported",
              mesh->GetName().GetAsCString(), targetName.asChar());
    return;
  }

  KvMorphTarget morphTarget{KvName(targetName.asChar())};
  for (unsigned int v = 0; v < count; ++v) {
    // The base as the exported mesh holds it (mirrored in X, narrowed to 32 bits);
    // the target as the host gives it. Only the difference is narrowed again.
    const float baseX = -static_cast<float>(basePoints[v].x);
    const float baseY = static_cast<float>(basePoints[v].y);
    const float baseZ = static_cast<float>(basePoints[v].z);
    KvMorphVertex morphVertex;
    morphVertex.positionDelta = KvVec3{static_cast<float>(-targetPoints[v].x - baseX),
                                       static_cast<float>(targetPoints[v].y - baseY),
                                       static_cast<float>(targetPoints[v].z - baseZ)};
    morphVertex.vertexIndex = v;
    morphTarget.AddMorphVertex(morphVertex);
  }
  morphTarget.ComputeNormalDeltas(mesh);
  morphTarget.RemoveSmallDeltas(mesh, kSmallestDelta);
  if (morphTarget.GetNumMorphVertices() == 0) {
    LogPrintf("Warning: optimization removed ALL vertices!  Morph target will not be exported");
    return;
  }
  controller->AddMorphTarget(morphTarget);
}
