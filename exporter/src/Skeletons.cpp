// Joints: forcing the bind pose, and one KvSkeleton per top-level joint.
#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MFnMatrixData.h>
#include <maya/MItDag.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MVector.h>

#include "kv/ExportLog.h"
#include "kv/ExportStages.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"

namespace {

// Sets the joint's transform to the local matrix that its bind-pose node recorded
// at the element the joint's "bindPose" plug feeds. A pose node without that
// matrix (no "xformMatrix" attribute, or no value at that element) leaves the
// joint as it was, rather than setting the identity that an empty value reads as.
void ApplyBindPose(const MDagPath& jointPath, const MPlug& poseElement) {
  MObject poseNode = poseElement.node();
  MFnDependencyNode pose(poseNode);
  MObject xformAttribute = pose.attribute("xformMatrix");
  if (xformAttribute.isNull()) return;
  MPlug xform(poseNode, xformAttribute);
  xform.selectAncestorLogicalIndex(poseElement.logicalIndex(), xformAttribute);
  // No value at that element leaves `data` null, and the function set refuses it.
  MObject data;
  xform.getValue(data, MDGContext::fsNormal);
  MStatus status;
  MFnMatrixData matrixData(data, &status);
  if (!status) return;
  MTransformationMatrix transformation(matrixData.matrix());
  MFnIkJoint joint(jointPath.node());
  joint.set(transformation);
}

}  // namespace

bool ForceBindPose() {
  LogPrintf("Forcing all joints to bind pose...");
  MStatus status;
  MItDag jointIterator(MItDag::kDepthFirst, MFn::kJoint, &status);
  if (!status) {
    ReportApiError("Failed to create jointIterator!");
    return false;
  }
  for (; !jointIterator.isDone(); jointIterator.next()) {
    MDagPath jointPath;
    if (!jointIterator.getPath(jointPath)) {
      ReportApiError("jointIterator.getPath() failed!");
      return false;
    }
    MFnDagNode jointNode(jointPath, &status);
    if (!status) continue;
    LogPrintf("Found joint: %s", jointNode.name().asChar());
    MPlug bindPose = jointNode.findPlug("bindPose", &status);
    if (!status) {
      ReportApiError("Could not find bindPose plug for joint!");
      return false;
    }
    MPlugArray destinations;
    bindPose.connectedTo(destinations, false, true);
    if (destinations.length() == 0) {
      LogPrintf("bindPose plug for joint with no connections!");
      continue;
    }
    ApplyBindPose(jointPath, destinations[0]);
  }
  LogPrintf("Finished forcing all joints to bind pose.");
  return true;
}

bool ImportSkeletons(KvScene* scene) {
  LogPrintf("Importing skeletons...");
  MStatus status;
  MItDag jointIterator(MItDag::kDepthFirst, MFn::kJoint, &status);
  if (!status) {
    ReportApiError("Failed to create jointIterator!");
    return false;
  }
  for (; !jointIterator.isDone(); jointIterator.next()) {
    MDagPath jointPath;
    jointIterator.getPath(jointPath);
    MFnDagNode jointNode(jointPath);
    LogPrintf("Importing hierarchy for joint: %s", jointNode.name().asChar());
    auto* skeleton = new KvSkeleton;
    ImportJoint(jointPath, skeleton);
    skeleton->StoreBindPose();
    scene->AddSkeleton(skeleton);
    // Every joint below a top-level joint is reached through ImportJoint only.
    jointIterator.prune();
  }
  LogPrintf("Finished importing skeleton.");
  return true;
}

KvJoint* ImportJoint(MDagPath jointPath, KvSkeleton* skeleton) {
  MFnDagNode jointNode(jointPath);
  LogPrintf("Importing joint %s...", jointNode.name().asChar());
  auto* joint = new KvJoint(KvName(jointNode.name().asChar()));

  // The local matrix, relative to the joint's DAG parent, decomposed; the exported
  // space is the host's mirrored in X.
  MFnDagNode transformNode(jointPath.transform());
  MTransformationMatrix local(transformNode.transformationMatrix());
  const MVector translation = local.translation(MSpace::kWorld);
  joint->SetTranslation(KvVec3{static_cast<float>(-translation.x), static_cast<float>(translation.y),
                               static_cast<float>(translation.z)});
  double scale[3] = {1.0, 1.0, 1.0};
  local.getScale(scale, MSpace::kWorld);
  joint->SetScale(KvVec3{static_cast<float>(scale[0]), static_cast<float>(scale[1]), static_cast<float>(scale[2])});
  const MQuaternion rotation = local.rotation();
  joint->SetRotation(KvQuat{static_cast<float>(-rotation.w), static_cast<float>(-rotation.x),
                            static_cast<float>(rotation.y), static_cast<float>(rotation.z)});

  skeleton->AddJoint(joint);

  for (unsigned int i = 0; i < jointPath.childCount(); ++i) {
    MObject child = jointPath.child(i);
    MDagPath childPath(jointPath);
    childPath.push(child);
    if (child.hasFn(MFn::kJoint)) {
      KvJoint* childJoint = ImportJoint(childPath, skeleton);
      childJoint->SetParent(joint);
      continue;
    }
    MFnDagNode childNode(childPath);
    if (child.apiType() == MFn::kTransform) {
      LogPrintf("%s is a child of joint %s, skipping...", childNode.name().asChar(), jointNode.name().asChar());
    } else {
      // The third field names the child's node type ("mesh", "pointLight").
      LogPrintf("Unusual child type: %s.  Ignoring node %s type %s", child.apiTypeStr(), childNode.name().asChar(),
                childNode.typeName().asChar());
    }
  }
  return joint;
}
