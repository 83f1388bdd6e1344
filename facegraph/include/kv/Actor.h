// Actors: everything of one animated character (master bone list, compiled face
// graph, animation groups, phoneme map), and the instances that attach to an actor
// to hold per-node working values. Runtime start-up creates the global actor list,
// which owns its actors; shut-down destroys them.
#pragma once

#include <cstdint>

#include "kv/Anim.h"
#include "kv/Array.h"
#include "kv/FaceGraph.h"
#include "kv/List.h"
#include "kv/Name.h"
#include "kv/Object.h"
#include "kv/PhonemeMap.h"

class KvActor;
class KvActorInstance;
class KvArchive;
class KvCompiledFaceGraph;

// The bones an actor's face graph poses, each once (by name), in order of first
// appearance in the graph's bone-pose nodes, with the transform first seen.
// Stored under the record "KvMasterBoneList", version 2: the bones (array of bones).
class KvMasterBoneList {
 public:
  void Serialize(KvArchive& archive);

  // Adds the bones of `graph` that are not yet listed, then points each compiled
  // bone-pose node at its bones in this list.
  void Link(const KvFaceGraph& graph, KvCompiledFaceGraph& compiled);
  // Index of the bone of that name, or -1.
  int32_t FindBone(const KvName& boneName) const;
  uint32_t GetNumBones() const { return bones.Size(); }

  KvArray<KvBone> bones;
};

// One input of a compiled node: the index of the node read from (-1 when the link
// had no input), the link function's type number and the parameter values.
struct KvCompiledLink {
  int32_t inputIndex = -1;
  int32_t linkFnType = -1;
  KvArray<float> parameters;
};

// A face-graph node flattened: its name, the name of its class, range, input
// operation, links by node index and, for bone-pose nodes, indexes of its bones in
// the master bone list.
struct KvCompiledNode {
  KvName name;
  KvName className;
  float minValue = 0.0f;
  float maxValue = 1.0f;
  uint32_t inputOperation = 0;
  KvArray<KvCompiledLink> links;
  KvArray<uint32_t> boneIndices;
};

// A face graph flattened into node order, with links as node indexes: what an
// actor keeps of its face graph. Stored under the record "KvCompiledFaceGraph",
// version 0: the nodes (array), each as name, class name, min, max, input
// operation, links (array of input index, type, parameters) and bone indexes.
class KvCompiledFaceGraph {
 public:
  void Serialize(KvArchive& archive);

  // Replaces the contents with one compiled node per node of `graph`.
  void Build(const KvFaceGraph& graph);
  void Clear() { nodes.Clear(); }
  // The number of nodes: the number of working records each instance holds.
  uint32_t GetNumNodes() const { return nodes.Size(); }

  KvArray<KvCompiledNode> nodes;
};

// The working record an instance holds per compiled node. Its words are the
// runtime's scratch; the initial values are fixed.
struct KvActorNodeValue {
  uint32_t words[7] = {0, 0, 0, 0, 0, 0, 0};
  float time = -2147483648.0f;
  uint32_t word8 = 0;
  int32_t word9 = 3;
  int32_t word10 = 6;
  uint32_t word11 = 0;
};
static_assert(sizeof(KvActorNodeValue) == 48, "twelve 32-bit words");

class KvActor : public KvNamedObject {
  KV_DECLARE_CLASS(KvActor)

  // Named "NewActor", with an empty default group named "Default".
  KvActor();
  KvActor(const KvActor&) = delete;
  KvActor& operator=(const KvActor&) = delete;
  // Detaches every instance first.
  ~KvActor() override;
  // Saves class version 3; loads versions 0 to 3 (older actors store their face
  // graph, which is compiled and dropped on loading).
  void Serialize(KvArchive& archive) override;

  // Rebuilds the compiled graph from the face graph, links the master bone list to
  // both, and attaches every instance again (resizing its working records).
  void Recompile();

  KvMasterBoneList& GetMasterBoneList() { return masterBoneList_; }
  const KvMasterBoneList& GetMasterBoneList() const { return masterBoneList_; }
  // Only used while old actors are loaded, and to build the compiled graph.
  KvFaceGraph& GetFaceGraph() { return faceGraph_; }
  const KvFaceGraph& GetFaceGraph() const { return faceGraph_; }
  const KvCompiledFaceGraph& GetCompiledFaceGraph() const { return compiledFaceGraph_; }
  KvAnimGroup& GetDefaultGroup() { return defaultGroup_; }
  const KvAnimGroup& GetDefaultGroup() const { return defaultGroup_; }
  KvArray<KvAnimGroup>& GetAnimGroups() { return animGroups_; }
  const KvArray<KvAnimGroup>& GetAnimGroups() const { return animGroups_; }
  // Groups kept beside the stored ones; never stored.
  KvList<KvAnimGroup>& GetGroupList() { return groupList_; }
  KvList<KvActorInstance*>& GetInstances() { return instances_; }
  uint32_t GetNumInstances() const { return instances_.Count(); }
  KvPhonemeMap& GetPhonemeMap() { return phonemeMap_; }
  const KvPhonemeMap& GetPhonemeMap() const { return phonemeMap_; }

  // Two flags of the runtime's own; never stored.
  bool flags[2] = {false, false};

 private:
  friend class KvActorInstance;

  // Destroyed in reverse: phoneme map, instances, group list, groups, default
  // group, compiled graph, face graph, master bone list.
  KvMasterBoneList masterBoneList_;
  KvFaceGraph faceGraph_;
  KvCompiledFaceGraph compiledFaceGraph_;
  KvAnimGroup defaultGroup_;
  KvArray<KvAnimGroup> animGroups_;
  KvList<KvAnimGroup> groupList_;
  KvList<KvActorInstance*> instances_;  // attached instances, not owned
  KvPhonemeMap phonemeMap_;
};

// A user of an actor: attaches to it and holds one working record per compiled
// node. Registered without a factory: archives never create instances.
class KvActorInstance : public KvNamedObject {
  KV_DECLARE_CLASS(KvActorInstance)

  KvActorInstance() = default;
  KvActorInstance(const KvActorInstance&) = delete;
  KvActorInstance& operator=(const KvActorInstance&) = delete;
  // Detaches from its actor.
  ~KvActorInstance() override;
  void Serialize(KvArchive& archive) override;

  // Detaches from the current actor (dropping the working records), then, unless
  // `actor` is null, enters this instance in `actor`'s instances (once) and gives
  // it one fresh working record per compiled node.
  void AttachTo(KvActor* actor);
  KvActor* GetActor() const { return actor_; }
  const KvArray<KvActorNodeValue>& GetNodeValues() const { return nodeValues_; }

 private:
  friend class KvActor;

  KvActor* actor_ = nullptr;  // not owned
  KvArray<KvActorNodeValue> nodeValues_;
};

// The global actor list (null before start-up and after shut-down).
KvList<KvActor*>* KvGetActorList();
// Hands `actor` to the actor list, which destroys it at shut-down. False (the
// caller keeps it) when the list does not exist or `actor` is null.
bool KvActorListAdd(KvActor* actor);
// Takes `actor` back from the list; false when it is not there.
bool KvActorListRemove(KvActor* actor);
// Creates the empty list unless it exists. Called by runtime start-up.
void KvActorListStartup();
// Destroys every actor on the list in order, then frees it. Called by shut-down.
void KvActorListShutdown();
