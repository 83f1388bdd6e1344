// Skin weights: binds one exported mesh to the skeleton of its skin cluster's first
// influence and gives every vertex its weighted joint influences.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>

#include <maya/MDagPath.h>
#include <maya/MDagPathArray.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnSkinCluster.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MItGeometry.h>
#include <maya/MObjectArray.h>

#include "kv/Array.h"
#include "kv/ExportLog.h"
#include "kv/ExportStages.h"
#include "kv/Mesh.h"
#include "kv/Name.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"

namespace {

// One influence object of the cluster, looked up in the mesh's skeleton once. The
// joint's inverse world transform is formed on its first use and reused for every
// vertex: nothing moves a joint while a skin is read, so each vertex gets the same
// bits as if it were formed again.
struct InfluenceJoint {
  MString name;
  KvJoint* joint = nullptr;
  KvMatrix inverseWorld;
  bool inverseReady = false;

  const KvMatrix& InverseWorld() {
    if (!inverseReady) {
      inverseWorld = joint->GetWorldTransform().Inverse();
      inverseReady = true;
    }
    return inverseWorld;
  }
};

// The first skeleton of the scene, in scene order, holding a joint of that name.
KvSkeleton* SkeletonHolding(KvScene* scene, const KvName& jointName) {
  for (uint32_t s = 0; s < scene->GetNumSkeletons(); ++s) {
    KvSkeleton* skeleton = scene->GetSkeleton(s);
    if (skeleton != nullptr && skeleton->FindJoint(jointName) != nullptr) return skeleton;
  }
  return nullptr;
}

// The joints of a skeleton by name: Find gives what FindJoint gives, the first
// joint in list order with that name, in O(log n), so a cluster with one influence
// per joint does not scan the skeleton once per influence. Names compare by their
// interned entry, an unattached name as the null name, as KvName's == does.
class JointsByName {
 public:
  explicit JointsByName(const KvSkeleton& skeleton) : entries(skeleton.GetNumJoints()) {
    for (uint32_t j = 0; j < skeleton.GetNumJoints(); ++j) {
      KvJoint* joint = skeleton.GetJoint(j);
      if (joint != nullptr) entries.PushBack(Entry{EntryOf(joint->GetName()), j, joint});
    }
    std::sort(entries.begin(), entries.end(), Less);
  }

  KvJoint* Find(const KvName& name) const {
    const Entry key{EntryOf(name), 0, nullptr};
    const Entry* found = std::lower_bound(entries.begin(), entries.end(), key, Less);
    return found != entries.end() && found->name == key.name ? found->joint : nullptr;
  }

 private:
  struct Entry {
    const KvName::Node* name;
    uint32_t index;
    KvJoint* joint;
  };
  static const KvName::Node* EntryOf(const KvName& name) {
    name.GetAsString();  // attaches an unattached name to the null name
    return name.GetNode();
  }
  static bool Less(const Entry& a, const Entry& b) {
    if (a.name != b.name) return std::less<const KvName::Node*>()(a.name, b.name);
    return a.index < b.index;
  }
  KvArray<Entry> entries;
};

// The bits of a weight narrowed to 32 bits, without the sign: zero exactly when
// the narrowed weight is zero.
uint32_t Magnitude(double weight) { return std::bit_cast<uint32_t>(static_cast<float>(weight)) & 0x7fffffffu; }

// The first of weights[j..count) that is not zero once narrowed to 32 bits,
// or `count`. A vertex of a big skin has a few weights among many zeros, which
// are passed over four at a time.
uint32_t NextWeight(const double* weights, uint32_t j, uint32_t count) {
  for (; j + 4 <= count; j += 4) {
    if ((Magnitude(weights[j]) | Magnitude(weights[j + 1]) | Magnitude(weights[j + 2]) | Magnitude(weights[j + 3])) != 0)
      break;
  }
  while (j < count && Magnitude(weights[j]) == 0) ++j;
  return j;
}

// Appends the vertex's influences for its non-zero weights; false when every
// weight is zero (or there are none).
bool AddVertexInfluences(KvMesh* mesh, KvVertex& vertex, const MDoubleArray& weights,
                         KvArray<InfluenceJoint>& influences) {
  vertex.firstInfluence = mesh->GetNumInfluences();
  uint32_t added = 0;
  bool weighted = false;
  const uint32_t count = weights.length() < influences.Size() ? weights.length() : influences.Size();
  const double* all = count > 0 ? &weights[0] : nullptr;
  for (uint32_t j = NextWeight(all, 0, count); j < count; j = NextWeight(all, j + 1, count)) {
    // Weights are narrowed to 32 bits first; only an exact zero is then skipped:
    // tiny, negative and oversized weights count.
    const float weight = static_cast<float>(weights[j]);
    weighted = true;
    InfluenceJoint& influence = influences[j];
    if (influence.joint == nullptr) {
      LogPrintf("Couldn't find influence joint: %s!", influence.name.asChar());
      continue;
    }
    KvVertexInfluence record;
    record.joint = influence.joint;
    record.weight = weight;
    record.positionOffset = influence.InverseWorld().TransformPoint(vertex.position);
    mesh->AddInfluence(record);
    ++added;
  }
  vertex.influenceCount = added;
  return weighted;
}

}  // namespace

SkinClusters FindSkinClusters() {
  SkinClusters clusters;
  MStatus status;
  MItDependencyNodes nodes(MFn::kInvalid, &status);
  if (!status) return clusters;
  clusters.found = true;
  for (; !nodes.isDone(); nodes.next()) {
    MObject node = nodes.item();
    if (std::strcmp(node.apiTypeStr(), "kSkinClusterFilter") == 0) clusters.nodes.append(node);
  }
  return clusters;
}

void ImportMeshSkin(MDagPath meshPath, KvMesh* mesh, KvScene* scene, const SkinClusters* clusters) {
  LogPrintf("Importing mesh skin...");
  if (mesh == nullptr) {
    LogPrintf("Trying to import skin for NULL mesh!");
    return;
  }
  const SkinClusters found = clusters == nullptr ? FindSkinClusters() : SkinClusters();
  if (clusters == nullptr) clusters = &found;
  if (!clusters->found) {
    LogPrintf("Couldn't get dependency node iterator!");
    return;
  }

  // The skin cluster whose output feeds this shape.
  MStatus status;
  MObject clusterNode;
  MDagPathArray influenceObjects;
  for (unsigned int c = 0; c < clusters->nodes.length(); ++c) {
    MObject node = clusters->nodes[c];
    MFnSkinCluster cluster(node, &status);
    if (!status) {
      LogPrintf("Couldn't get skinCluster!");
      return;
    }
    const unsigned int outputIndex = cluster.indexForOutputShape(meshPath.node(), &status);
    if (!status) continue;  // the cluster deforms another shape
    LogPrintf("Found skinCluster for mesh.");
    cluster.influenceObjects(influenceObjects, &status);
    if (!status) {
      LogPrintf("Couldn't get influenceObjects!");
      return;
    }
    for (unsigned int i = 0; i < influenceObjects.length(); ++i) {
      MFnDagNode influence(influenceObjects[i]);
      LogPrintf("Found influence object: %s", influence.name().asChar());
      if (i != 0) continue;
      // The first influence alone picks the skeleton.
      KvSkeleton* skeleton = SkeletonHolding(scene, KvName(influence.name().asChar()));
      if (skeleton != nullptr) mesh->SetSkeleton(skeleton);
    }
    if (mesh->GetSkeleton() == nullptr) {
      LogPrintf("Trying to import skin for mesh with no matching skeleton!");
      return;
    }
    MDagPath outputPath;
    cluster.getPathAtIndex(outputIndex, outputPath);
    if (outputPath == meshPath) {
      clusterNode = node;
      break;
    }
    LogPrintf("skinCluster linkup inconsistency!");
  }
  if (clusterNode.isNull()) {
    LogPrintf("No skin for mesh.");
    return;
  }

  MFnSkinCluster cluster(clusterNode);
  MItGeometry geometry(meshPath, &status);
  if (!status) {
    LogPrintf("Couldn't get geometry iterator!");
    return;
  }
  const JointsByName joints(*mesh->GetSkeleton());
  KvArray<InfluenceJoint> influences(influenceObjects.length());
  for (unsigned int i = 0; i < influenceObjects.length(); ++i) {
    InfluenceJoint influence;
    influence.name = MFnDagNode(influenceObjects[i]).name();
    influence.joint = joints.Find(KvName(influence.name.asChar()));
    influences.PushBack(influence);
  }

  // The n-th vertex the iterator visits is the mesh's n-th vertex. Should the
  // iterator offer more vertices than the mesh holds, the walk stops at the mesh's
  // count: the extra ones have nowhere to go and add no influences.
  int nonWeighted = 0;
  uint32_t n = 0;
  // Room for up to four weights a vertex (fewer with fewer joints), the usual most
  // a game skin carries: a big mesh's list then fills in place instead of being
  // moved through every doubling. Room a vertex does not use is never touched. A
  // list too big for one block is left to grow as far as it can.
  const uint32_t perVertex = influences.Size() < 4 ? influences.Size() : 4;
  const uint64_t room = uint64_t{mesh->GetNumInfluences()} + uint64_t{mesh->GetNumVertices()} * perVertex;
  if (room * sizeof(KvVertexInfluence) <= UINT32_MAX) mesh->ReserveInfluences(static_cast<uint32_t>(room));
  MDoubleArray weights;
  for (; !geometry.isDone() && n < mesh->GetNumVertices(); geometry.next(), ++n) {
    unsigned int influenceCount = 0;
    cluster.getWeights(meshPath, geometry.component(), weights, influenceCount);
    if (!AddVertexInfluences(mesh, *mesh->GetVertex(n), weights, influences)) ++nonWeighted;
  }
  if (nonWeighted > 0) {
    LogPrintf("numNonWeightedVerts: %d  -> Possibly only the control mesh was skinned.", nonWeighted);
    LogPrintf(
        "For clustering effects like sub-division surfaces, the construction history must be deleted before "
        "binding the skeleton and skinning the mesh.");
  }
  LogPrintf("Imported skin.");
}
