#include "kv/Skeleton.h"

#include <algorithm>
#include <functional>

#include "kv/Archive.h"

KV_IMPLEMENT_CLASS(KvJoint, 0, KvNamedObject)
KV_IMPLEMENT_CLASS(KvSkeleton, 1, KvObject)

// ---- KvJoint ------------------------------------------------------------------------

void KvJoint::SetTranslation(const KvVec3& value) {
  translation = value;
  localTransformValid = false;
}

void KvJoint::SetRotation(const KvQuat& value) {
  rotation = value;
  localTransformValid = false;
}

void KvJoint::SetScale(const KvVec3& value) {
  scale = value;
  localTransformValid = false;
}

void KvJoint::StoreBindPose() {
  bindTranslation = translation;
  bindRotation = rotation;
  bindScale = scale;
}

const KvMatrix& KvJoint::GetLocalTransform() {
  if (!localTransformValid) {
    KvMatrix ts;
    ts.Translate(translation);
    ts.Scale(scale);
    KvMatrix r;
    r.SetFromQuat(rotation);
    KvMatrix::Multiply(r, ts, localTransform);
    localTransformValid = true;
  }
  return localTransform;
}

KvMatrix KvJoint::GetWorldTransform() {
  // cache x parent.GetWorldTransform(), evaluated from the root down without
  // recursion so that long joint chains cannot exhaust the stack; the products are
  // formed in the same order as the recursive definition.
  KvArray<KvJoint*> chain;
  for (KvJoint* joint = this; joint != nullptr; joint = joint->parent) chain.PushBack(joint);
  KvMatrix world = chain[chain.Size() - 1]->GetLocalTransform();
  for (uint32_t i = chain.Size() - 1; i-- > 0;) world = chain[i]->GetLocalTransform() * world;
  return world;
}

void KvJoint::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvJoint");
  KvSerialize(archive, translation);
  KvSerialize(archive, rotation);
  KvSerialize(archive, scale);
  KvSerialize(archive, bindTranslation);
  KvSerialize(archive, bindRotation);
  KvSerialize(archive, bindScale);
  archive.SerializeObject(parent);
  localTransformValid = false;
}

// ---- KvSkeleton ---------------------------------------------------------------------

KvSkeleton::~KvSkeleton() {
  for (KvJoint* joint : joints) delete joint;
}

namespace {

// Whether sorting would leave `joints` as they are: no null entry, no joint twice,
// and each joint's parent is either none or the joint before it or one of that
// joint's ancestors, so the list already runs parents-first, depth first, with
// roots and siblings in list order. One pass, where the sort itself takes
// O(n log n); a skeleton built parents-first (as the exporter does) stays in this
// order joint after joint.
bool InSortedOrder(const KvArray<KvJoint*>& joints) {
  const uint32_t n = joints.Size();
  uint32_t slots = 16;
  while (slots < 2 * n) slots *= 2;
  KvArray<const KvJoint*> seen;  // open addressing on the joints' addresses
  seen.Resize(slots);
  KvArray<const KvJoint*> path;  // the last joint and its ancestors, root first
  for (const KvJoint* joint : joints) {
    if (joint == nullptr) return false;
    uint32_t slot = static_cast<uint32_t>((reinterpret_cast<uintptr_t>(joint) >> 4) * 2654435761u) & (slots - 1);
    for (; seen[slot] != nullptr; slot = (slot + 1) & (slots - 1)) {
      if (seen[slot] == joint) return false;
    }
    seen[slot] = joint;
    const KvJoint* parent = joint->GetParent();
    while (!path.Empty() && path[path.Size() - 1] != parent) path.RemoveAt(path.Size() - 1);
    if (parent != nullptr && path.Empty()) return false;
    path.PushBack(joint);
  }
  return true;
}

}  // namespace

void KvSkeleton::AddJoint(KvJoint* joint) {
  joints.PushBack(joint);
  if (!InSortedOrder(joints)) SortJoints();
}

KvJoint* KvSkeleton::FindJoint(const KvName& jointName) const {
  for (KvJoint* joint : joints) {
    if (joint != nullptr && joint->GetName() == jointName) return joint;
  }
  return nullptr;
}

void KvSkeleton::StoreBindPose() {
  for (KvJoint* joint : joints) {
    if (joint != nullptr) joint->StoreBindPose();
  }
}

namespace {

// (joint, index) pairs sorted by joint address, then index: a binary search finds
// the first index of a joint, or the indexes of every child of a joint, in
// O(log n) instead of the linear scans of a naive sort.
struct JointKey {
  const KvJoint* joint;
  uint32_t index;
};

bool KeyLess(const JointKey& a, const JointKey& b) {
  if (a.joint != b.joint) return std::less<const KvJoint*>()(a.joint, b.joint);
  return a.index < b.index;
}

const JointKey* LowerBound(const KvArray<JointKey>& keys, const KvJoint* joint) {
  return std::lower_bound(keys.begin(), keys.end(), JointKey{joint, 0}, KeyLess);
}

}  // namespace

void KvSkeleton::SortJoints() { Sort(nullptr); }

void KvSkeleton::Sort(KvArray<KvJoint*>* dropped) {
  const uint32_t n = joints.Size();
  // byJoint: every non-null joint with its index. byParent: (parent, child index)
  // for every non-null joint with a parent; the children of one parent stay in
  // index order.
  KvArray<JointKey> byJoint(n);
  KvArray<JointKey> byParent(n);
  for (uint32_t i = 0; i < n; ++i) {
    if (joints[i] == nullptr) continue;
    byJoint.PushBack(JointKey{joints[i], i});
    if (joints[i]->GetParent() != nullptr) byParent.PushBack(JointKey{joints[i]->GetParent(), i});
  }
  std::sort(byJoint.begin(), byJoint.end(), KeyLess);
  std::sort(byParent.begin(), byParent.end(), KeyLess);
  auto firstIndex = [&](const KvJoint* joint) { return LowerBound(byJoint, joint)->index; };

  KvArray<uint8_t> placed;
  placed.Resize(n);
  KvArray<KvJoint*> sorted(n);
  KvArray<uint32_t> stack;
  for (uint32_t root = 0; root < n; ++root) {
    if (joints[root] == nullptr || joints[root]->GetParent() != nullptr) continue;
    // Depth first, parents before children, siblings in index order. A joint is
    // placed once, at its first index, even if it was added twice.
    if (firstIndex(joints[root]) != root) continue;
    stack.PushBack(root);
    while (!stack.Empty()) {
      const uint32_t k = stack[stack.Size() - 1];
      stack.RemoveAt(stack.Size() - 1);
      if (placed[k]) continue;
      placed[k] = 1;
      sorted.PushBack(joints[k]);
      const JointKey* first = LowerBound(byParent, joints[k]);
      const JointKey* last = first;
      while (last != byParent.end() && last->joint == joints[k]) ++last;
      for (const JointKey* child = last; child != first;) {
        --child;
        stack.PushBack(firstIndex(joints[child->index]));
      }
    }
  }

  if (dropped != nullptr) {
    for (const JointKey& key : byJoint) {
      if (!placed[key.index] && firstIndex(key.joint) == key.index) dropped->PushBack(joints[key.index]);
    }
  }
  KvArray<KvJoint*> exact(sorted.Size());
  for (KvJoint* joint : sorted) exact.PushBack(joint);
  joints.Swap(exact);
}

void KvSkeleton::Serialize(KvArchive& archive) {
  KvObject::Serialize(archive);
  const uint16_t version = archive.SerializeClassVersion("KvSkeleton");
  if (archive.IsSaving()) {
    SortJoints();
    uint32_t count = joints.Size();
    archive.SerializeCount(count, 4);
    for (KvJoint* joint : joints) archive.SerializeOwnedObject(joint);
    return;
  }

  uint32_t count = 0;
  if (!archive.SerializeCount(count, 4, sizeof(KvJoint*))) return;
  // The array is replaced; joints it held before are not destroyed.
  KvArray<KvJoint*> loaded(count);
  for (uint32_t i = 0; i < count && archive.IsValid(); ++i) {
    KvJoint* joint = nullptr;
    archive.SerializeOwnedObject(joint);
    // A joint read before a failure is owned here, so it dies with the skeleton.
    if (archive.IsValid() || joint != nullptr) loaded.PushBack(joint);
  }
  joints.Swap(loaded);
  if (version == 0) {
    // The archive learns that the skeleton no longer owns what its sort drops.
    KvArray<KvJoint*> dropped;
    Sort(&dropped);
    for (KvJoint* joint : dropped) archive.Disown(joint);
  }
}
