#include "kv/Actor.h"

#include <algorithm>
#include <new>

#include "kv/Archive.h"

namespace {

KvList<KvActor*>* g_actors = nullptr;

constexpr uint16_t kMasterBoneListVersion = 2;
constexpr uint16_t kCompiledFaceGraphVersion = 0;

// Fewest bytes one element takes in a current archive (see FaceGraph.cpp).
constexpr uint32_t kMinBoneBytes = 44;          // name and ten floats
constexpr uint32_t kMinCompiledNodeBytes = 28;  // two names, range, operation, two counts
constexpr uint32_t kMinCompiledLinkBytes = 12;  // input, type, parameter count
constexpr uint32_t kMinGroupBytes = 8;          // name and animation count

// Old actors store their face graph; it is dropped once compiled. Its nodes were
// entered in the archive's object table while they loaded: those entries are
// cleared first, so that nothing later in the stream can reach a destroyed node.
void ForgetLoadedNodes(KvArchive& archive, const KvFaceGraph& graph) {
  KvArchiveTables* tables = archive.GetTables();
  if (tables == nullptr || graph.GetNumNodes() == 0) return;
  KvArray<const KvObject*> nodes(graph.GetNumNodes());
  for (uint32_t i = 0; i < graph.GetNumNodes(); ++i) nodes.PushBack(graph.GetNode(i));
  std::sort(nodes.begin(), nodes.end());
  for (KvObject*& entry : tables->objects) {
    if (entry != nullptr && std::binary_search(nodes.begin(), nodes.end(), entry)) entry = nullptr;
  }
}

}  // namespace

KV_IMPLEMENT_CLASS(KvActor, 3, KvNamedObject)
KV_IMPLEMENT_ABSTRACT_CLASS(KvActorInstance, 0, KvNamedObject)

// ---- Master bone list ---------------------------------------------------------------

void KvMasterBoneList::Serialize(KvArchive& archive) {
  const uint16_t version = archive.SerializeClassVersion("KvMasterBoneList", true, kMasterBoneListVersion);
  if (archive.IsLoading() && archive.IsValid() && version != kMasterBoneListVersion) {
    archive.Fail(KvArchiveError::kCorrupt, "a master bone list of an unknown version");
    return;
  }
  archive.SerializeArray(bones, [&archive](KvBone& bone) { bone.Serialize(archive); }, kMinBoneBytes);
}

int32_t KvMasterBoneList::FindBone(const KvName& boneName) const {
  for (uint32_t i = 0; i < bones.Size(); ++i) {
    if (bones[i].GetName() == boneName) return static_cast<int32_t>(i);
  }
  return -1;
}

void KvMasterBoneList::Link(const KvFaceGraph& graph, KvCompiledFaceGraph& compiled) {
  for (uint32_t n = 0; n < graph.GetNumNodes(); ++n) {
    const auto* pose = KvCast<KvBonePoseNode>(graph.GetNode(n));
    if (pose == nullptr) continue;
    KvArray<uint32_t> indices(pose->bones.Size());
    for (const KvBone& bone : pose->bones) {
      int32_t index = FindBone(bone.GetName());
      if (index < 0) {
        bones.PushBack(bone);
        index = static_cast<int32_t>(bones.Size() - 1);
      }
      indices.PushBack(static_cast<uint32_t>(index));
    }
    if (n < compiled.nodes.Size()) compiled.nodes[n].boneIndices.Swap(indices);
  }
}

// ---- Compiled face graph --------------------------------------------------------------

namespace {

// Node pointer -> node index, sorted by pointer: links find their input's index in
// logarithmic time, however large the graph.
struct NodeSlot {
  const KvFaceGraphNode* node;
  uint32_t index;
  bool operator<(const NodeSlot& other) const { return node < other.node; }
};

int32_t IndexIn(const KvArray<NodeSlot>& slots, const KvFaceGraphNode* node) {
  if (node == nullptr) return -1;
  const NodeSlot* found = std::lower_bound(slots.begin(), slots.end(), NodeSlot{node, 0});
  return found != slots.end() && found->node == node ? static_cast<int32_t>(found->index) : -1;
}

}  // namespace

void KvCompiledFaceGraph::Build(const KvFaceGraph& graph) {
  KvArray<NodeSlot> slots(graph.GetNumNodes());
  for (uint32_t n = 0; n < graph.GetNumNodes(); ++n) slots.PushBack(NodeSlot{graph.GetNode(n), n});
  std::sort(slots.begin(), slots.end());
  KvArray<KvCompiledNode> built;
  built.Resize(graph.GetNumNodes());
  for (uint32_t n = 0; n < graph.GetNumNodes(); ++n) {
    const KvFaceGraphNode* node = graph.GetNode(n);
    KvCompiledNode& out = built[n];
    out.name = node->GetName();
    out.className = node->ClassOf()->GetName();
    out.minValue = node->GetMinValue();
    out.maxValue = node->GetMaxValue();
    out.inputOperation = node->GetInputOperation();
    out.links.Resize(node->GetInputLinks().Size());
    for (uint32_t l = 0; l < node->GetInputLinks().Size(); ++l) {
      const KvFaceGraphNodeLink& link = node->GetInputLinks()[l];
      out.links[l].inputIndex = IndexIn(slots, link.inputNode);
      out.links[l].linkFnType = link.linkFnType;
      out.links[l].parameters = link.parameters;
    }
  }
  nodes.Swap(built);
}

void KvCompiledFaceGraph::Serialize(KvArchive& archive) {
  const uint16_t version =
      archive.SerializeClassVersion("KvCompiledFaceGraph", true, kCompiledFaceGraphVersion);
  if (archive.IsLoading() && archive.IsValid() && version != kCompiledFaceGraphVersion) {
    archive.Fail(KvArchiveError::kCorrupt, "a compiled face graph of an unknown version");
    return;
  }
  archive.SerializeArray(
      nodes,
      [&archive](KvCompiledNode& node) {
        archive.Serialize(node.name);
        archive.Serialize(node.className);
        archive.Serialize(node.minValue);
        archive.Serialize(node.maxValue);
        archive.Serialize(node.inputOperation);
        archive.SerializeArray(
            node.links,
            [&archive](KvCompiledLink& link) {
              archive.Serialize(link.inputIndex);
              archive.Serialize(link.linkFnType);
              archive.Serialize(link.parameters);
            },
            kMinCompiledLinkBytes);
        archive.Serialize(node.boneIndices);
      },
      kMinCompiledNodeBytes);
  if (!archive.IsLoading() || !archive.IsValid()) return;
  const auto count = static_cast<int32_t>(nodes.Size());
  for (const KvCompiledNode& node : nodes) {
    for (const KvCompiledLink& link : node.links) {
      if (link.inputIndex < -1 || link.inputIndex >= count) {
        archive.Fail(KvArchiveError::kCorrupt, "a compiled link reads a node that does not exist");
        return;
      }
    }
  }
}

// ---- Actor ----------------------------------------------------------------------------------

KvActor::KvActor() : KvNamedObject(KvNewActorName()), defaultGroup_(KvDefaultName()) {}

KvActor::~KvActor() {
  for (KvActorInstance* instance : instances_) {
    instance->actor_ = nullptr;
    instance->nodeValues_.Clear();
  }
}

void KvActor::Recompile() {
  compiledFaceGraph_.Build(faceGraph_);
  masterBoneList_.Link(faceGraph_, compiledFaceGraph_);
  for (KvActorInstance* instance : instances_) instance->AttachTo(this);
}

void KvActor::Serialize(KvArchive& archive) {
  const bool loading = archive.IsLoading();
  KvNamedObject::Serialize(archive);
  const uint16_t version = archive.SerializeClassVersion("KvActor");
  masterBoneList_.Serialize(archive);

  if (loading && version < 3) {
    // Old actors store the face graph itself: compile it, then drop it.
    faceGraph_.Serialize(archive);
    if (archive.IsValid()) Recompile();
    ForgetLoadedNodes(archive, faceGraph_);
    faceGraph_.Clear();
  } else {
    compiledFaceGraph_.Serialize(archive);
    if (loading && archive.IsValid()) {
      for (const KvCompiledNode& node : compiledFaceGraph_.nodes) {
        for (uint32_t index : node.boneIndices) {
          if (index >= masterBoneList_.GetNumBones()) {
            archive.Fail(KvArchiveError::kCorrupt, "a compiled node poses a bone the master list lacks");
            return;
          }
        }
      }
    }
  }

  auto serializeGroup = [&archive](KvAnimGroup& group) { group.Serialize(archive); };
  if (loading && version < 2) {
    // Old actors keep the default group among the others.
    archive.SerializeArray(animGroups_, serializeGroup, kMinGroupBytes);
    for (uint32_t i = 0; i < animGroups_.Size(); ++i) {
      if (animGroups_[i].GetName() == KvDefaultName()) {
        defaultGroup_ = animGroups_[i];
        animGroups_.RemoveAt(i);
        break;
      }
    }
  } else {
    defaultGroup_.Serialize(archive);
    archive.SerializeArray(animGroups_, serializeGroup, kMinGroupBytes);
  }

  if (loading && version < 3) {
    // A list of names that current actors no longer keep.
    uint32_t count = 0;
    archive.Serialize(count);
    if (archive.IsValid() && count > archive.BytesLeft() / 4) {
      archive.Fail(KvArchiveError::kCorrupt, "an old actor lists more names than the file holds");
      return;
    }
    for (uint32_t i = 0; i < count && archive.IsValid(); ++i) {
      KvName ignored;
      archive.Serialize(ignored);
    }
  }

  if (!(loading && version == 0)) phonemeMap_.Serialize(archive);
}

// ---- Actor instance ----------------------------------------------------------------------------

KvActorInstance::~KvActorInstance() { AttachTo(nullptr); }

void KvActorInstance::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvActorInstance");
}

void KvActorInstance::AttachTo(KvActor* actor) {
  if (actor_ != nullptr) {
    nodeValues_.Clear();
    if (actor_ != actor) {
      KvList<KvActorInstance*>& attached = actor_->instances_;
      KvList<KvActorInstance*>::Node* node = attached.Find(this);
      if (node != attached.Sentinel()) attached.Remove(node);
    }
  }
  actor_ = actor;
  if (actor == nullptr) return;
  if (actor->instances_.Find(this) == actor->instances_.Sentinel()) actor->instances_.PushBack(this);
  const uint32_t count = actor->compiledFaceGraph_.GetNumNodes();
  nodeValues_.Reserve(count);
  for (uint32_t i = 0; i < count; ++i) nodeValues_.PushBack(KvActorNodeValue{});
}

// ---- Actor list ----------------------------------------------------------------------------------

KvList<KvActor*>* KvGetActorList() { return g_actors; }

bool KvActorListAdd(KvActor* actor) {
  if (g_actors == nullptr || actor == nullptr) return false;
  g_actors->PushBack(actor);
  return true;
}

bool KvActorListRemove(KvActor* actor) {
  if (g_actors == nullptr || actor == nullptr) return false;
  KvList<KvActor*>::Node* node = g_actors->Find(actor);
  if (node == g_actors->Sentinel()) return false;
  g_actors->Remove(node);
  return true;
}

void KvActorListStartup() {
  if (g_actors != nullptr) return;
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvList<KvActor*>)));
  g_actors = ::new (memory) KvList<KvActor*>();
}

void KvActorListShutdown() {
  if (g_actors == nullptr) return;
  for (KvActor* actor : *g_actors) KvReleaseObject(actor);
  g_actors->~KvList<KvActor*>();
  KvFree(g_actors, static_cast<uint32_t>(sizeof(KvList<KvActor*>)));
  g_actors = nullptr;
}
