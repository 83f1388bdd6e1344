// Blend shapes: envelopes off before reading, targets as morph targets afterwards.
// Not built yet: the stage logs its opening and closing lines and succeeds.
#include "kv/ExportLog.h"
#include "kv/ExportStages.h"

bool DisableBlendShapes() {
  LogPrintf("Disabling blend shapes...");
  LogPrintf("Finished disabling blend shapes.");
  return true;
}

bool ImportBlendShapes(KvScene*) {
  LogPrintf("Importing blend shapes...");
  LogPrintf("Finished importing blend shapes.");
  return true;
}
