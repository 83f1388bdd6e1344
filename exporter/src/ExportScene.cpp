// The spine of one export: log, stages in their fixed order, statistics, save.
#include <maya/MGlobal.h>

#include <new>

#include "kv/ExportLog.h"
#include "kv/ExportStages.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"

void ReportApiError(const char* description) {
  MGlobal::displayError(kExportErrorText);
  LogPrintf("Maya API Error detected: \"%s\"", description);
}

namespace {

// Every skeleton, joint by joint in its parents-first order. The skeletons are
// ImportSkeletons' own, which holds no null skeleton and no null joint.
void DumpSkeletons(KvScene* scene) {
  const uint32_t skeletonCount = scene->GetNumSkeletons();
  LogPrintf("Dumping %d imported skeletons...", static_cast<int>(skeletonCount));
  for (uint32_t s = 0; s < skeletonCount; ++s) {
    KvSkeleton* skeleton = scene->GetSkeleton(s);
    for (uint32_t j = 0; j < skeleton->GetNumJoints(); ++j) {
      KvJoint* joint = skeleton->GetJoint(j);
      if (joint->GetParent() != nullptr) {
        LogPrintf("Joint %s with parent joint %s", joint->GetName().GetAsCString(),
                  joint->GetParent()->GetName().GetAsCString());
      } else {
        LogPrintf("Root joint: %s", joint->GetName().GetAsCString());
      }
    }
  }
  LogPrintf("Finished dumping imported skeletons.");
}

// The stages that run before the skeleton dump, then the ones after it; the first
// that fails ends the export before anything is written.
bool RunStages(KvScene* scene) {
  if (!ForceBindPose() || !DisableBlendShapes() || !ImportSkeletons(scene)) return false;
  DumpSkeletons(scene);
  if (!ImportMeshes(scene) || !ImportBlendShapes(scene) || !ImportLights(scene) || !ImportCameras(scene)) {
    return false;
  }
  ImportRigidSkins(scene);  // its outcome does not decide the export
  LogSceneStats(scene);
  return true;
}

}  // namespace

void LogSceneStats(KvScene* scene) {
  if (scene == nullptr) {
    LogPrintf("Scene is NULL!");
    return;
  }
  LogPrintf("Scene stats:");
  LogPrintf("%d textures", static_cast<int>(scene->GetNumTextures()));
  LogPrintf("%d materials", static_cast<int>(scene->GetNumMaterials()));
  LogPrintf("%d skeletons", static_cast<int>(scene->GetNumSkeletons()));
  LogPrintf("%d meshes", static_cast<int>(scene->GetNumMeshes()));
  LogPrintf("%d lights", static_cast<int>(scene->GetNumLights()));
  LogPrintf("%d cameras", static_cast<int>(scene->GetNumCameras()));
}

bool ExportScene(const KvString& path) {
  OpenExportLog();
  // Memory running out, as a null block from a caller's allocator or as the
  // default allocator's std::bad_alloc, ends the export like a scene that cannot
  // be created: result false, log closed, nothing shown; the host's call returns.
  KvScene* scene = nullptr;
  bool result = false;
  try {
    scene = static_cast<KvScene*>(KvScene::StaticClass()->CreateObject());
    if (scene != nullptr) {
      LogPrintf("Exporting Maya file: %s", path.View());
      result = RunStages(scene);
      if (result) {
        // The save's own outcome does not change the export's result.
        KvSaveScene(scene, path.View(), nullptr, 0.01f);
      }
    }
  } catch (const std::bad_alloc&) {
    result = false;
  }
  delete scene;
  CloseExportLog();
  return result;
}
