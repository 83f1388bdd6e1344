// Point, directional and spot lights, and perspective cameras.
// Not built yet: the stage logs its opening and closing lines and succeeds.
#include "kv/ExportLog.h"
#include "kv/ExportStages.h"

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
