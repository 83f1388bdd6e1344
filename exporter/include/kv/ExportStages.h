// The export driver and its extraction stages. Each stage reads the host scene
// through the Maya API, adds what it finds to the KvScene and writes its progress to
// the export log. A stage returns false only when a host call it tests fails (after
// showing the export error and logging the failed call); the driver then stops.
#pragma once

#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MObjectArray.h>
#include <maya/MString.h>

#include "kv/String.h"

class KvJoint;
class KvMaterial;
class KvMesh;
class KvScene;
class KvSkeleton;

// The text every failing stage shows to the user.
inline constexpr char kExportErrorText[] = "Error exporting KVR file.  Check KvMayaExporter_Log.txt for details.";

// Runs one export to `path` (used unchanged): log, stages, statistics, save.
// True when every stage whose result counts succeeded.
bool ExportScene(const KvString& path);
// Logs the scene's six counts ("Scene is NULL!" for a null scene).
void LogSceneStats(KvScene* scene);

// Shows the export error and logs the failed host call; `description` is logged
// inside double quotes.
void ReportApiError(const char* description);

// Joints and skeletons.
bool ForceBindPose();
bool ImportSkeletons(KvScene* scene);
KvJoint* ImportJoint(MDagPath jointPath, KvSkeleton* skeleton);

// Meshes, skin weights, materials and textures.
bool IsNodeVisible(MFnDagNode& node);
bool ImportMeshes(KvScene* scene);
// The scene's skin clusters in node order, found once for all the meshes of a
// stage instead of each mesh walking every node; `found` is false when the
// node iterator could not be had.
struct SkinClusters {
  MObjectArray nodes;
  bool found = false;
};
SkinClusters FindSkinClusters();
// Without `clusters`, the mesh's skin is looked for among the scene's nodes.
KvMesh* ImportMesh(MDagPath meshPath, KvScene* scene, const SkinClusters* clusters = nullptr);
void ImportMeshSkin(MDagPath meshPath, KvMesh* mesh, KvScene* scene, const SkinClusters* clusters = nullptr);
void ImportMaterial(MString materialName, KvScene* scene);
void ImportMaterialChannel(MFnDependencyNode& shader, MString channel, KvMaterial* material, KvScene* scene);
void ImportTexture(MString fileName, KvScene* scene);

// Blend shapes, lights, cameras, rigid skins.
bool DisableBlendShapes();
bool ImportBlendShapes(KvScene* scene);
// Adds `target` (a mesh shape) to the morph controller of `mesh` as the differences
// of its world points from those of the base shape at `basePath`, after moving the
// target's transform onto the base's. Nothing happens for a null mesh or a target
// that is not a DAG node; nothing is added when the mesh has no controller.
void ImportBlendShapeTarget(MObject target, KvMesh* mesh, MDagPath basePath);
bool ImportLights(KvScene* scene);
bool ImportCameras(KvScene* scene);
bool ImportRigidSkins(KvScene* scene);
