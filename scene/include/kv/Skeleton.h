// Joints and skeletons.
//
// A KvSkeleton owns one hierarchy of KvJoint objects, kept parents-first: every
// parent comes before its children, so an archive writes a parent in full before
// any child refers to it.
#pragma once

#include <cstdint>

#include "kv/Array.h"
#include "kv/Math.h"
#include "kv/Object.h"

class KvJoint : public KvNamedObject {
  KV_DECLARE_CLASS(KvJoint)

  KvJoint() = default;
  explicit KvJoint(const KvName& jointName) : KvNamedObject(jointName) {}

  // Setters mark the local transform stale.
  void SetTranslation(const KvVec3& value);
  void SetRotation(const KvQuat& value);
  void SetScale(const KvVec3& value);
  const KvVec3& GetTranslation() const { return translation; }
  const KvQuat& GetRotation() const { return rotation; }
  const KvVec3& GetScale() const { return scale; }
  const KvVec3& GetBindTranslation() const { return bindTranslation; }
  const KvQuat& GetBindRotation() const { return bindRotation; }
  const KvVec3& GetBindScale() const { return bindScale; }
  // Copies translation, rotation and scale into the bind pose.
  void StoreBindPose();

  // Non-owning; a joint of the same skeleton, or null for a root. The parent links
  // must not form a cycle.
  void SetParent(KvJoint* newParent) { parent = newParent; }
  KvJoint* GetParent() const { return parent; }

  // Joint-to-world: R x T x S of this joint (scale applied to the translation row
  // too), times the parent's world transform.
  KvMatrix GetWorldTransform();
  // R x T x S of this joint alone, cached until the next setter or Serialize.
  const KvMatrix& GetLocalTransform();

  void Serialize(KvArchive& archive) override;

 private:
  KvVec3 translation{0.0f, 0.0f, 0.0f};
  KvQuat rotation{1.0f, 0.0f, 0.0f, 0.0f};
  KvVec3 scale{0.0f, 0.0f, 0.0f};
  KvMatrix localTransform;
  bool localTransformValid = false;
  KvVec3 bindTranslation{0.0f, 0.0f, 0.0f};
  KvQuat bindRotation{1.0f, 0.0f, 0.0f, 0.0f};
  KvVec3 bindScale{0.0f, 0.0f, 0.0f};
  KvJoint* parent = nullptr;
};

class KvSkeleton : public KvObject {
  KV_DECLARE_CLASS(KvSkeleton)

  KvSkeleton() = default;
  KvSkeleton(const KvSkeleton&) = delete;
  KvSkeleton& operator=(const KvSkeleton&) = delete;
  // Destroys every joint in its list (each once).
  ~KvSkeleton() override;

  // Appends `joint` (the skeleton takes ownership), then sorts. A joint the sort
  // drops is the caller's again (see SortJoints); a joint of another skeleton may
  // not be added.
  void AddJoint(KvJoint* joint);
  uint32_t GetNumJoints() const { return joints.Size(); }
  // The caller keeps `index` below GetNumJoints.
  KvJoint* GetJoint(uint32_t index) const { return joints[index]; }
  // The first joint in (sorted) order with that name, or null.
  KvJoint* FindJoint(const KvName& jointName) const;
  void StoreBindPose();

  // Orders the joints parents-first, depth first; roots and siblings keep their
  // relative order, and a joint listed twice is listed once. Null entries, joints
  // whose parent is not in this skeleton and every joint below them leave the
  // list, and with it the skeleton's ownership: whoever added them keeps them.
  void SortJoints();

  void Serialize(KvArchive& archive) override;

 private:
  // SortJoints; appends the joints it drops to `dropped` when given.
  void Sort(KvArray<KvJoint*>* dropped);

  KvArray<KvJoint*> joints;
};
