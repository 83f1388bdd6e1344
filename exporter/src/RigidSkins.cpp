// Rigid skins: a mesh whose transform hangs directly under a joint follows that
// joint, every vertex with one influence of weight 1.
#include <cstring>

#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MItDag.h>

#include "kv/ExportLog.h"
#include "kv/ExportStages.h"
#include "kv/Mesh.h"
#include "kv/Name.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"
#include "kv/StringMap.h"

namespace {

// Binds every vertex of `mesh` to `joint` with weight 1.
//
// A mesh that already carries influences (from its skin cluster, or from an earlier
// rigid skinning when two shapes share a transform name or a transform is found
// twice) is skinned again: the new influences are appended and each vertex's run
// starts at the list's length before the append, so the runs always lie inside the
// list. The latest skinning decides the skeleton and the runs; earlier influences
// stay in the list, named by no vertex.
void SkinRigidly(KvMesh* mesh, KvSkeleton* skeleton, KvJoint* joint) {
  LogPrintf("Rigidly skinning...");
  mesh->SetSkeleton(skeleton);
  // One joint, unchanged for the whole mesh: its inverse is formed once.
  const KvMatrix inverseWorld = joint->GetWorldTransform().Inverse();
  const uint32_t first = mesh->GetNumInfluences();
  for (uint32_t v = 0; v < mesh->GetNumVertices(); ++v) {
    KvVertex* vertex = mesh->GetVertex(v);
    KvVertexInfluence influence;
    influence.joint = joint;
    influence.weight = 1.0f;
    influence.positionOffset = inverseWorld.TransformPoint(vertex->position);
    mesh->AddInfluence(influence);
    vertex->firstInfluence = first + v;
    vertex->influenceCount = 1;
  }
  LogPrintf("Finished skinning mesh.");
}

// Skins the exported meshes of the visible transforms directly under the host
// joint at `jointPath` to `joint`.
void SkinTransformsUnder(const MDagPath& jointPath, KvScene* scene, KvSkeleton* skeleton, KvJoint* joint) {
  MFnDagNode jointNode(jointPath);
  for (unsigned int c = 0; c < jointPath.childCount(); ++c) {
    MObject child = jointPath.child(c);
    if (child.apiType() != MFn::kTransform) continue;  // joints and shapes are not rigid skins
    MDagPath transformPath;
    transformPath.set(jointPath);
    transformPath.push(child);
    MFnDagNode transformNode(transformPath);
    if (!IsNodeVisible(transformNode)) continue;
    LogPrintf("Found %s linked to bone %s.", transformNode.name().asChar(), jointNode.name().asChar());
    for (unsigned int s = 0; s < transformNode.childCount(); ++s) {
      MObject shape = transformNode.child(s);
      if (std::strcmp(shape.apiTypeStr(), "kMesh") != 0) continue;
      if (MFnDagNode(shape).isIntermediateObject()) continue;
      KvMesh* mesh = scene->FindMesh(KvName(transformNode.name().asChar()));
      if (mesh != nullptr) SkinRigidly(mesh, skeleton, joint);
    }
  }
}

// The first host joint of each name, in the order of a depth-first joint walk.
using FirstJointOfName = KvStringMap<MDagPath, 1024>;

// Walks `joints` to its end, keeping the path of each name's first joint.
void IndexJoints(MItDag& joints, FirstJointOfName& firstOfName) {
  for (; !joints.isDone(); joints.next()) {
    const MString name = MFnDependencyNode(joints.item()).name();
    if (firstOfName.Find(name.asChar(), name.length()) != nullptr) continue;
    MDagPath path;
    joints.getPath(path);
    firstOfName.Insert(name.asChar(), name.length(), path);
  }
}

}  // namespace

bool ImportRigidSkins(KvScene* scene) {
  LogPrintf("Searching for and creating rigidly skinned meshes...");
  if (scene != nullptr) {
    FirstJointOfName firstOfName;
    bool indexed = false;
    for (uint32_t s = 0; s < scene->GetNumSkeletons(); ++s) {
      KvSkeleton* skeleton = scene->GetSkeleton(s);
      if (skeleton == nullptr) continue;
      // A skeleton holds no null joint: its parents-first sort drops them.
      for (uint32_t j = 0; j < skeleton->GetNumJoints(); ++j) {
        KvJoint* joint = skeleton->GetJoint(j);
        // Each KvJoint still asks for its iterator: a host that cannot make one
        // ends the stage there, with the joints before it bound.
        MStatus status;
        MItDag jointIterator(MItDag::kDepthFirst, MFn::kJoint, &status);
        if (!status) {
          // Only logged: the driver does not look at this stage's outcome.
          LogPrintf("Failed to create jointIterator!");
          return false;
        }
        // The first host joint of the same name stands for the KvJoint. One walk
        // finds it for every name: the host's joints do not change during the
        // stage, so each KvJoint's own walk would meet the same joint first.
        if (!indexed) {
          IndexJoints(jointIterator, firstOfName);
          indexed = true;
        }
        const KvString& name = joint->GetName().GetAsString();
        if (const MDagPath* jointPath = firstOfName.Find(name.View(), name.Length())) {
          SkinTransformsUnder(*jointPath, scene, skeleton, joint);
        }
      }
    }
  }
  LogPrintf("Finished searching for and creating rigidly skinned meshes...");
  return true;
}
