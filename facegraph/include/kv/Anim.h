// Animation data: keyed curves grouped into animations, animation groups and
// animation sets. The classes are stored data: nothing here evaluates a curve.
//
// Current archives store an animation's keys packed: the curves carry no keys of
// their own, and the animation writes every key of every curve in one float block
// followed by the per-curve key counts. Older curves (class version 0) carry their
// own keys.
#pragma once

#include <cstdint>

#include "kv/Array.h"
#include "kv/Name.h"
#include "kv/Object.h"
#include "kv/String.h"

// One key: a value at a time with its incoming and outgoing tangent slopes.
struct KvAnimKey {
  float time = 0.0f;
  float value = 0.0f;
  float slopeIn = 0.0f;
  float slopeOut = 0.0f;
  uint32_t opaqueWord = 0;  // copied with the key, never stored
};

class KvAnimCurve : public KvNamedObject {
  KV_DECLARE_CLASS(KvAnimCurve)

  KvAnimCurve() = default;
  // Copies name, user data, keys and interpolation; the cached key index restarts.
  KvAnimCurve(const KvAnimCurve& other);
  KvAnimCurve& operator=(const KvAnimCurve& other);
  void Serialize(KvArchive& archive) override;

  // Replaces the whole key list by `count` keys from (time, value, slopeIn, slopeOut)
  // quadruples. A null run or a zero count leaves the curve unchanged.
  void SetKeys(const float* quadruples, uint32_t count);
  const KvArray<KvAnimKey>& GetKeys() const { return keys_; }
  uint32_t GetNumKeys() const { return keys_.Size(); }
  // First and last key times; 0.0 and 0.0 without keys.
  void GetTimeRange(float& start, float& end) const;
  int32_t GetCachedKeyIndex() const { return cachedKeyIndex_; }

  void* userData = nullptr;  // copied, never stored
  uint32_t interpolation = 0;

 private:
  KvArray<KvAnimKey> keys_;
  int32_t cachedKeyIndex_ = -1;
};

// The weight of one bone in an animation.
struct KvAnimBoneWeight {
  KvName boneName;
  float weight = 0.0f;
};

class KvAnim : public KvNamedObject {
  KV_DECLARE_CLASS(KvAnim)

  KvAnim() = default;
  KvAnim(const KvAnim&) = default;
  KvAnim& operator=(const KvAnim&) = default;
  // Saves class version 6 (packed keys); loads versions 0 to 6, then recomputes
  // the time range.
  void Serialize(KvArchive& archive) override;

  // startTime / endTime from the curves: the earliest curve start and the latest
  // curve end; 0.0 and 1.0 for an animation without curves.
  void RecomputeTimeRange();
  uint32_t GetNumCurves() const { return curves.Size(); }
  // Keys over all curves.
  uint32_t GetTotalKeys() const;

  void* userData = nullptr;  // copied, never stored
  KvArray<KvAnimCurve> curves;
  float startTime = 0.0f;
  float endTime = 1.0f;
  // Two timing parameters, stored and copied as they are.
  float timingParameters[2] = {0.16f, 0.22f};
  KvArray<KvAnimBoneWeight> boneWeights;
  // Two text fields, stored and copied as they are.
  KvString textFields[2];
  int32_t signedField = -1;
  uint32_t opaqueWord = 0;  // copied, never stored
};

class KvAnimGroup : public KvNamedObject {
  KV_DECLARE_CLASS(KvAnimGroup)

  KvAnimGroup() = default;
  explicit KvAnimGroup(const KvName& groupName) : KvNamedObject(groupName) {}
  KvAnimGroup(const KvAnimGroup&) = default;
  KvAnimGroup& operator=(const KvAnimGroup&) = default;
  void Serialize(KvArchive& archive) override;

  // Index of the first animation of that name, or -1.
  int32_t FindAnim(const KvName& animName) const;

  KvArray<KvAnim> anims;
};

class KvAnimSet : public KvNamedObject {
  KV_DECLARE_CLASS(KvAnimSet)

  KvAnimSet() = default;
  KvAnimSet(const KvAnimSet&) = default;
  KvAnimSet& operator=(const KvAnimSet&) = default;
  void Serialize(KvArchive& archive) override;

  KvName secondName;  // stored beside the set's own name; empty by default
  KvAnimGroup group;
};
