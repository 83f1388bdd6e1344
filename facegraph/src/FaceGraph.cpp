#include "kv/FaceGraph.h"

#include <new>

#include "kv/Archive.h"
#include "kv/LinkFunctions.h"

namespace {

// Fewest bytes one element takes in the object stream of a current archive; loads
// reject counts that the bytes left cannot hold before allocating anything.
constexpr uint32_t kMinLinkBytes = 12;      // input name, function name, parameter count
constexpr uint32_t kMinPropertyBytes = 20;  // name, kind, two value words, string count
constexpr uint32_t kMinBoneBytes = 44;      // name and ten floats
constexpr uint32_t kMinNodeBytes = 4;       // an object reference

// Old parameter blocks (version 0) end with a reference to an object that current
// links no longer keep: it is read and destroyed. Destroying it must leave nothing
// in the archive's object table that points at freed memory, so it must be one
// object of its own: the only entry of the table that it filled. An object registers
// after its own fields, so the table has gaps at the objects still being read (the
// graph and node around this link) and wherever a file skips indexes; an object
// read inside the old one could fill any of them. The entries that changed are
// found without walking the whole table each time: a scan remembers how far it has
// looked and which entries were still gaps.
struct LegacyObjectScan {
  explicit LegacyObjectScan(KvArchive* forArchive = nullptr) : archive(forArchive) {}
  KvArchive* archive;
  uint32_t checked = 0;     // entries below this were looked at
  KvArray<uint32_t> gaps;   // null entries below `checked`
  bool tooManyGaps = false;  // tracking stopped: old objects are refused
  LegacyObjectScan* previous = nullptr;
};

// Legitimate gaps are the objects being read around a link, so they are few.
constexpr uint32_t kMaxTrackedGaps = KvArchive::kMaxObjectDepth;

LegacyObjectScan* g_scan = nullptr;

// Makes one scan current for every link that `archive` loads below it (a graph, or
// a node loaded on its own), so that each table entry is looked at about once.
class LegacyObjectScope {
 public:
  explicit LegacyObjectScope(KvArchive& archive) {
    if (!archive.IsLoading() || (g_scan != nullptr && g_scan->archive == &archive)) return;
    scan_.archive = &archive;
    scan_.previous = g_scan;
    g_scan = &scan_;
    active_ = true;
  }
  ~LegacyObjectScope() {
    if (active_) g_scan = scan_.previous;
  }
  LegacyObjectScope(const LegacyObjectScope&) = delete;
  LegacyObjectScope& operator=(const LegacyObjectScope&) = delete;

 private:
  LegacyObjectScan scan_;
  bool active_ = false;
};

// Brings the gap list up to the table's current size.
void UpdateGaps(LegacyObjectScan& scan, const KvArray<KvObject*>& objects) {
  if (scan.tooManyGaps) return;
  uint32_t kept = 0;
  for (uint32_t i = 0; i < scan.gaps.Size(); ++i) {
    if (objects[scan.gaps[i]] == nullptr) scan.gaps[kept++] = scan.gaps[i];
  }
  while (scan.gaps.Size() > kept) scan.gaps.RemoveAt(scan.gaps.Size() - 1);
  for (uint32_t i = scan.checked; i < objects.Size() && !scan.tooManyGaps; ++i) {
    if (objects[i] != nullptr) continue;
    scan.gaps.PushBack(i);
    if (scan.gaps.Size() > kMaxTrackedGaps) scan.tooManyGaps = true;
  }
  scan.checked = objects.Size();
  if (scan.tooManyGaps) scan.gaps.Clear();
}

void DiscardLegacyParameterObject(KvArchive& archive) {
  KvArchiveTables* tables = archive.GetTables();
  if (!archive.IsValid() || tables == nullptr) return;
  LegacyObjectScan local(&archive);
  LegacyObjectScan& scan = g_scan != nullptr && g_scan->archive == &archive ? *g_scan : local;
  KvArray<KvObject*>& objects = tables->objects;

  UpdateGaps(scan, objects);
  const uint32_t sizeBefore = objects.Size();
  KvObject* object = nullptr;
  archive.SerializeObjectReference(object, nullptr, false);
  if (object == nullptr || !archive.IsValid()) return;
  if (scan.tooManyGaps) {
    archive.Fail(KvArchiveError::kCorrupt, "old link parameters in an object table with too many gaps");
    return;
  }

  // Every entry the read filled: former gaps, and entries beyond the old end.
  uint32_t filled = 0;
  uint32_t objectIndex = kKvNullObjectIndex;
  auto visit = [&](uint32_t index) {
    if (objects[index] == nullptr) return;
    ++filled;
    if (objects[index] == object) objectIndex = index;
  };
  for (uint32_t gap : scan.gaps) visit(gap);
  for (uint32_t i = sizeBefore; i < objects.Size(); ++i) visit(i);
  if (filled == 0) {
    archive.Fail(KvArchiveError::kCorrupt, "old link parameters refer to an object read earlier");
    return;
  }
  if (filled != 1 || objectIndex == kKvNullObjectIndex) {
    archive.Fail(KvArchiveError::kCorrupt, "old link parameters carry further objects");
    return;
  }
  objects[objectIndex] = nullptr;
  delete object;
}

}  // namespace

KV_IMPLEMENT_CLASS(KvBone, 0, KvNamedObject)
KV_IMPLEMENT_ABSTRACT_CLASS(KvFaceGraphNode, 2, KvNamedObject)
KV_IMPLEMENT_CLASS(KvFaceGraphNodeUserProperty, 0, KvNamedObject)
KV_IMPLEMENT_CLASS(KvFaceGraphNodeLink, 0, KvObject)
KV_IMPLEMENT_CLASS(KvBonePoseNode, 0, KvFaceGraphNode)
KV_IMPLEMENT_CLASS(KvCombinerNode, 0, KvFaceGraphNode)
KV_IMPLEMENT_CLASS(KvCurrentTimeNode, 0, KvFaceGraphNode)
KV_IMPLEMENT_CLASS(KvDeltaNode, 0, KvFaceGraphNode)
KV_IMPLEMENT_CLASS(KvGenericTargetNode, 0, KvFaceGraphNode)
KV_IMPLEMENT_CLASS(KvMorphTargetNode, 0, KvGenericTargetNode)
KV_IMPLEMENT_CLASS(KvFaceGraph, 1, KvObject)

// ---- Bone ---------------------------------------------------------------------------

void KvBone::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvBone");
  archive.SerializeFloats(position, 3);
  archive.SerializeFloats(rotation, 4);
  archive.SerializeFloats(scale, 3);
}

// ---- User property ----------------------------------------------------------------------

KvFaceGraphNodeUserProperty::KvFaceGraphNodeUserProperty(const KvName& propertyName, uint32_t propertyKind)
    : KvNamedObject(propertyName), kind_(propertyKind) {
  if (kind_ == kStringKind) strings_.PushBack(KvString());
}

void KvFaceGraphNodeUserProperty::SetStringValue(const KvString& value) {
  if (kind_ != kStringKind) return;
  if (strings_.Empty()) {
    strings_.PushBack(value);
  } else {
    strings_[0] = value;
  }
}

const KvString& KvFaceGraphNodeUserProperty::GetStringValue() const {
  static const KvString empty;
  return strings_.Empty() ? empty : strings_[0];
}

void KvFaceGraphNodeUserProperty::CopyFrom(const KvFaceGraphNodeUserProperty& other) {
  if (this == &other) return;
  name = other.name;
  kind_ = other.kind_;
  values_[0] = other.values_[0];
  values_[1] = other.values_[1];
  strings_ = other.strings_;
}

void KvFaceGraphNodeUserProperty::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvFaceGraphNodeUserProperty");
  archive.Serialize(kind_);
  archive.Serialize(values_[0]);
  archive.Serialize(values_[1]);
  archive.Serialize(strings_);
}

// ---- Link ---------------------------------------------------------------------------------

KvFaceGraphNodeLink::KvFaceGraphNodeLink(KvFaceGraphNode* input, const KvName& fnName)
    : inputNode(input), linkFnName(fnName) {
  if (input != nullptr) inputName = input->GetName();
  if (const KvLinkFn* fn = FindLinkFunction(fnName)) {
    linkFnType = fn->GetFnType();
    for (uint32_t i = 0; i < fn->GetNumParams(); ++i) parameters.PushBack(fn->GetParamDefaultValue(i));
  }
}

void KvFaceGraphNodeLink::Serialize(KvArchive& archive) {
  KvObject::Serialize(archive);
  archive.SerializeClassVersion("KvFaceGraphNodeLink");
  archive.Serialize(inputName);
  archive.Serialize(linkFnName);
  // The parameter block carries its own version; current blocks are version 1.
  const uint16_t blockVersion = archive.SerializeClassVersion("KvLinkFnParameters", true, 1);
  archive.Serialize(parameters);
  if (archive.IsLoading() && blockVersion == 0) DiscardLegacyParameterObject(archive);
  linkFnType = GetLinkFunctionType(linkFnName);
  if (linkFnType == 0) parameters.Clear();  // withdrawn functions take no parameters
}

// ---- Nodes ----------------------------------------------------------------------------------

void KvFaceGraphNode::Serialize(KvArchive& archive) {
  LegacyObjectScope scope(archive);
  KvNamedObject::Serialize(archive);
  const uint16_t version = archive.SerializeClassVersion("KvFaceGraphNode");
  archive.Serialize(minValue_);
  archive.Serialize(maxValue_);
  archive.Serialize(inputOperation_);
  archive.SerializeArray(
      inputLinks_, [&archive](KvFaceGraphNodeLink& link) { link.Serialize(archive); }, kMinLinkBytes);
  if (version >= 1) {
    archive.SerializeArray(
        userProperties_, [&archive](KvFaceGraphNodeUserProperty& property) { property.Serialize(archive); },
        kMinPropertyBytes);
  }
  if (version >= 2) {
    // Only the number of outputs is stored: link-up rebuilds them, into storage
    // reserved here.
    uint32_t outputCount = outputs_.Size();
    archive.Serialize(outputCount);
    if (archive.IsLoading() && archive.IsValid()) {
      const uint32_t fileBytes = archive.Position() + archive.BytesLeft();
      if (outputCount > fileBytes / kMinLinkBytes) {
        archive.Fail(KvArchiveError::kCorrupt, "a face-graph node claims more outputs than the file has links");
        return;
      }
      if (!archive.CheckCount(outputCount, 0, sizeof(KvFaceGraphNode*))) return;
      outputs_.Clear();
      outputs_.Reserve(outputCount);
    }
  }
}

KvFaceGraphNode* KvFaceGraphNode::Clone() const {
  KvObject* object = ClassOf()->CreateObject();
  KvFaceGraphNode* node = KvCast<KvFaceGraphNode>(object);
  if (node == nullptr) {
    delete object;
    return nullptr;
  }
  CopyDataInto(node);
  return node;
}

void KvFaceGraphNode::CopyDataInto(KvFaceGraphNode* target) const {
  if (target == nullptr || target == this) return;
  target->userData = userData;
  target->name = name;
  target->minValue_ = minValue_;
  target->maxValue_ = maxValue_;
  target->inputOperation_ = inputOperation_;
  for (const KvFaceGraphNodeUserProperty& property : userProperties_) {
    const int32_t index = target->FindUserProperty(property.GetName());
    if (index >= 0) target->userProperties_[static_cast<uint32_t>(index)].CopyFrom(property);
  }
}

bool KvFaceGraphNode::AddInputLink(const KvFaceGraphNodeLink& link) {
  inputLinks_.PushBack(link);
  return true;
}

bool KvFaceGraphNode::AddUserProperty(const KvFaceGraphNodeUserProperty& property) {
  if (FindUserProperty(property.GetName()) >= 0) return false;
  userProperties_.PushBack(property);
  return true;
}

int32_t KvFaceGraphNode::FindUserProperty(const KvName& propertyName) const {
  for (uint32_t i = 0; i < userProperties_.Size(); ++i) {
    if (userProperties_[i].GetName() == propertyName) return static_cast<int32_t>(i);
  }
  return -1;
}

void KvBonePoseNode::Serialize(KvArchive& archive) {
  KvFaceGraphNode::Serialize(archive);
  archive.SerializeClassVersion("KvBonePoseNode");
  archive.SerializeArray(bones, [&archive](KvBone& bone) { bone.Serialize(archive); }, kMinBoneBytes);
}

void KvBonePoseNode::CopyDataInto(KvFaceGraphNode* target) const {
  KvFaceGraphNode::CopyDataInto(target);
  if (target != nullptr && target != this && target->IsKindOf(KvBonePoseNode::StaticClass())) {
    static_cast<KvBonePoseNode*>(target)->bones = bones;
  }
}

void KvCombinerNode::Serialize(KvArchive& archive) {
  KvFaceGraphNode::Serialize(archive);
  archive.SerializeClassVersion("KvCombinerNode");
}

void KvCurrentTimeNode::Serialize(KvArchive& archive) {
  KvFaceGraphNode::Serialize(archive);
  archive.SerializeClassVersion("KvCurrentTimeNode");
}

bool KvCurrentTimeNode::AddInputLink(const KvFaceGraphNodeLink&) { return false; }

void KvDeltaNode::Serialize(KvArchive& archive) {
  KvFaceGraphNode::Serialize(archive);
  archive.SerializeClassVersion("KvDeltaNode");
}

bool KvDeltaNode::AddInputLink(const KvFaceGraphNodeLink& link) {
  if (!GetInputLinks().Empty()) return false;
  KvFaceGraphNode::AddInputLink(link);
  if (const KvFaceGraphNode* input = link.inputNode) {
    const float width = input->GetMaxValue() - input->GetMinValue();
    SetRange(-width, width);
  }
  return true;
}

void KvGenericTargetNode::Serialize(KvArchive& archive) {
  KvFaceGraphNode::Serialize(archive);
  archive.SerializeClassVersion("KvGenericTargetNode");
}

KvMorphTargetNode::KvMorphTargetNode() : KvGenericTargetNode(1) {
  KvFaceGraphNodeUserProperty property(KvName("Morph Target Name"), KvFaceGraphNodeUserProperty::kStringKind);
  property.SetStringValue(KvString("Target"));
  AddUserProperty(property);
}

void KvMorphTargetNode::Serialize(KvArchive& archive) {
  KvGenericTargetNode::Serialize(archive);
  archive.SerializeClassVersion("KvMorphTargetNode");
}

// ---- Graph ------------------------------------------------------------------------------------

KvFaceGraph::~KvFaceGraph() {
  Clear();
  if (nameIndex_ != nullptr) {
    nameIndex_->~NameIndex();
    KvFree(nameIndex_, static_cast<uint32_t>(sizeof(NameIndex)));
  }
}

void KvFaceGraph::EnsureNameIndex() {
  if (nameIndex_ != nullptr) return;
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(NameIndex)));
  nameIndex_ = ::new (memory) NameIndex();
}

void KvFaceGraph::AddNode(KvFaceGraphNode* node) {
  if (node == nullptr) return;
  nodes_.PushBack(node);
  EnsureNameIndex();
  const KvString& text = node->GetName().GetAsString();
  nameIndex_->Insert(text.View(), text.Length(), node);
  KvFaceGraphTypeGroup& group = GroupFor(node->ClassOf());
  for (const KvFaceGraphNode* member : group.nodes) {
    if (member == node) return;
  }
  group.nodes.PushBack(node);
}

void KvFaceGraph::Clear() {
  for (KvFaceGraphNode* node : nodes_) KvReleaseObject(node);
  nodes_.Clear();
  if (nameIndex_ != nullptr) nameIndex_->Clear();
  typeGroups_.Clear();
}

KvFaceGraphTypeGroup& KvFaceGraph::GroupFor(KvClass* nodeClass) {
  for (KvFaceGraphTypeGroup& group : typeGroups_) {
    if (group.nodeClass == nodeClass) return group;
  }
  // Groups created by loading have no class yet: the first free one is taken.
  for (KvFaceGraphTypeGroup& group : typeGroups_) {
    if (group.nodeClass == nullptr) {
      group.nodeClass = nodeClass;
      return group;
    }
  }
  typeGroups_.PushBack(KvFaceGraphTypeGroup{nodeClass, KvArray<KvFaceGraphNode*>()});
  return typeGroups_[typeGroups_.Size() - 1];
}

void KvFaceGraph::LinkUp(bool clearFirst) {
  if (clearFirst) {
    for (KvFaceGraphNode* node : nodes_) node->outputs_.Clear();
  }
  for (KvFaceGraphNode* node : nodes_) {
    for (KvFaceGraphNodeLink& link : node->inputLinks_) {
      KvFaceGraphNode* input = FindNode(link.inputName);
      if (input != nullptr) {
        link.inputNode = input;
        link.inputName = input->GetName();
        input->outputs_.PushBack(node);
      } else {
        link.inputName = KvName();
      }
    }
  }

  if (clearFirst) typeGroups_.Clear();
  // Each node is visited once, so only the members a group had before this pass
  // can already hold it.
  KvArray<uint32_t> sizesBefore;
  sizesBefore.Reserve(typeGroups_.Size());
  for (const KvFaceGraphTypeGroup& group : typeGroups_) sizesBefore.PushBack(group.nodes.Size());
  for (KvFaceGraphNode* node : nodes_) {
    KvFaceGraphTypeGroup& group = GroupFor(node->ClassOf());
    const auto groupIndex = static_cast<uint32_t>(&group - typeGroups_.Data());
    const uint32_t before = groupIndex < sizesBefore.Size() ? sizesBefore[groupIndex] : 0;
    bool present = false;
    for (uint32_t i = 0; i < before && !present; ++i) present = group.nodes[i] == node;
    if (!present) group.nodes.PushBack(node);
  }
}

KvFaceGraphNode* KvFaceGraph::FindNode(const char* text, uint32_t length) const {
  if (nameIndex_ == nullptr) return nullptr;
  KvFaceGraphNode** found = nameIndex_->Find(text, length);
  return found != nullptr ? *found : nullptr;
}

KvFaceGraphNode* KvFaceGraph::FindNode(const KvName& nodeName) const {
  const KvString& text = nodeName.GetAsString();
  return FindNode(text.View(), text.Length());
}

int32_t KvFaceGraph::IndexOfNode(const KvFaceGraphNode* node) const {
  for (uint32_t i = 0; i < nodes_.Size(); ++i) {
    if (nodes_[i] == node) return static_cast<int32_t>(i);
  }
  return -1;
}

void KvFaceGraph::Serialize(KvArchive& archive) {
  const bool loading = archive.IsLoading();
  if (loading) Clear();
  LegacyObjectScope scope(archive);
  KvObject::Serialize(archive);
  const uint16_t version = archive.SerializeClassVersion("KvFaceGraph");
  archive.SerializeArray(
      nodes_, [&archive](KvFaceGraphNode*& node) { archive.SerializeOwnedObject(node); }, kMinNodeBytes);

  if (loading) {
    // A node that could not be read leaves a hole; the graph keeps only real nodes.
    for (uint32_t i = nodes_.Size(); i-- > 0;) {
      if (nodes_[i] == nullptr) {
        if (archive.IsValid()) archive.Fail(KvArchiveError::kCorrupt, "a face graph holds a null node");
        nodes_.RemoveAt(i);
      }
    }
    if (!archive.IsValid()) return;
    if (!nodes_.Empty()) {
      EnsureNameIndex();
      for (KvFaceGraphNode* node : nodes_) {
        const KvString& text = node->GetName().GetAsString();
        nameIndex_->Insert(text.View(), text.Length(), node);
      }
    }
  }

  if (version >= 1) {
    uint32_t groupCount = typeGroups_.Size();
    archive.Serialize(groupCount);
    if (loading) {
      if (!archive.IsValid()) return;
      if (groupCount > archive.BytesLeft() / 4) {
        archive.Fail(KvArchiveError::kCorrupt, "a face graph claims more type groups than the file holds");
        return;
      }
      if (!archive.CheckCount(groupCount, 0, sizeof(typeGroups_[0]))) return;
      typeGroups_.Resize(groupCount);
    }
    for (uint32_t i = 0; i < groupCount && archive.IsValid(); ++i) {
      uint32_t nodeCount = typeGroups_[i].nodes.Size();
      archive.Serialize(nodeCount);
      if (!loading || !archive.IsValid()) continue;
      if (nodeCount > nodes_.Size()) {
        archive.Fail(KvArchiveError::kCorrupt, "a type group claims more nodes than the face graph has");
        return;
      }
      typeGroups_[i].nodes.Reserve(nodeCount);
    }
  }

  if (loading && archive.IsValid()) LinkUp(version == 0);
}
