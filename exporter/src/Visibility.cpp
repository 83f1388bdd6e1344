#include <maya/MPlug.h>

#include "kv/ExportLog.h"
#include "kv/ExportStages.h"

bool IsNodeVisible(MFnDagNode& node) {
  if (node.isIntermediateObject()) return false;
  MStatus status;
  MPlug visibility = node.findPlug("visibility", &status);
  if (!status) {
    LogPrintf("No visibility attribute for node %s, assuming not visible!", node.name().asChar());
    return false;
  }
  bool visible = false;
  if (!visibility.getValue(visible, MDGContext::fsNormal)) {
    LogPrintf("Can't query visibility attribute for node %s, assuming not visible!", node.name().asChar());
    return false;
  }
  // Only the node's own attribute counts, not its ancestors'.
  return visible;
}
