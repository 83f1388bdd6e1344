// Stages whose extraction is not built yet: each logs its opening and closing lines
// and succeeds, so the driver runs its full order.
#include "kv/ExportLog.h"
#include "kv/ExportStages.h"

bool DisableBlendShapes() {
  LogPrintf("Disabling blend shapes...");
  LogPrintf("Finished disabling blend shapes.");
  return true;
}

bool ImportMeshes(KvScene*) {
  LogPrintf("Importing meshes...");
  LogPrintf("Finished importing meshes.");
  return true;
}

bool ImportBlendShapes(KvScene*) {
  LogPrintf("Importing blend shapes...");
  LogPrintf("Finished importing blend shapes.");
  return true;
}

bool ImportLights(KvScene*) {
  LogPrintf("Importing lights...");
  LogPrintf("Finished importing lights.");
  return true;
}

bool ImportCameras(KvScene*) {
  LogPrintf("Importing cameras...");
  LogPrintf("Finished importing cameras.");
  return true;
}

bool ImportRigidSkins(KvScene*) {
  LogPrintf("Searching for and creating rigidly skinned meshes...");
  LogPrintf("Finished searching for and creating rigidly skinned meshes...");
  return true;
}
