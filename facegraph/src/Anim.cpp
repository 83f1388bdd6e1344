#include "kv/Anim.h"

#include <limits>

#include "kv/Archive.h"

namespace {

// Fewest bytes one element takes in a current archive (see FaceGraph.cpp).
constexpr uint32_t kKeyRecordBytes = 18;  // a 16-bit field and four floats
constexpr uint32_t kMinCurveBytes = 8;    // name and interpolation
constexpr uint32_t kMinWeightBytes = 8;   // name and weight
constexpr uint32_t kMinAnimBytes = 20;    // the smallest animation of any version


}  // namespace

KV_IMPLEMENT_CLASS(KvAnimCurve, 1, KvNamedObject)
KV_IMPLEMENT_CLASS(KvAnimGroup, 0, KvNamedObject)
KV_IMPLEMENT_CLASS(KvAnimSet, 0, KvNamedObject)
KV_IMPLEMENT_CLASS(KvAnim, 6, KvNamedObject)

// ---- Curve --------------------------------------------------------------------------

KvAnimCurve::KvAnimCurve(const KvAnimCurve& other)
    : KvNamedObject(other), userData(other.userData), interpolation(other.interpolation), keys_(other.keys_) {}

KvAnimCurve& KvAnimCurve::operator=(const KvAnimCurve& other) {
  if (this != &other) {
    KvNamedObject::operator=(other);
    userData = other.userData;
    interpolation = other.interpolation;
    keys_ = other.keys_;
    cachedKeyIndex_ = -1;
  }
  return *this;
}

void KvAnimCurve::SetKeys(const float* quadruples, uint32_t count) {
  if (quadruples == nullptr || count == 0) return;
  KvArray<KvAnimKey> fresh(count);
  for (uint32_t i = 0; i < count; ++i) {
    const float* q = quadruples + static_cast<size_t>(i) * 4;
    fresh.PushBack(KvAnimKey{q[0], q[1], q[2], q[3], 0});
  }
  keys_.Swap(fresh);
  cachedKeyIndex_ = -1;
}

void KvAnimCurve::GetTimeRange(float& start, float& end) const {
  if (keys_.Empty()) {
    start = 0.0f;
    end = 0.0f;
    return;
  }
  start = keys_[0].time;
  end = keys_[keys_.Size() - 1].time;
}

void KvAnimCurve::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  const uint16_t version = archive.SerializeClassVersion("KvAnimCurve");
  archive.Serialize(interpolation);
  // Version 1 curves have their keys packed into the owning animation.
  if (archive.IsLoading() && version == 0) {
    archive.SerializeArray(
        keys_,
        [&archive](KvAnimKey& key) {
          uint16_t ignored = 0;  // written as 0 by every writer; meaningless
          archive.Serialize(ignored);
          archive.Serialize(key.time);
          archive.Serialize(key.value);
          archive.Serialize(key.slopeIn);
          archive.Serialize(key.slopeOut);
        },
        kKeyRecordBytes);
    cachedKeyIndex_ = -1;
  }
}

// ---- Animation --------------------------------------------------------------------------

uint32_t KvAnim::GetTotalKeys() const {
  uint32_t total = 0;
  for (const KvAnimCurve& curve : curves) total += curve.GetNumKeys();
  return total;
}

// The range starts from the largest finite float and the smallest normal positive
// float and takes in each curve's range, a curve without keys counting as (0, 0).
// The end therefore never drops below that smallest float: curves that all end at
// or before 0 (empty ones included) leave it there (1.1754944e-38, which prints as
// 0.000000). Only an animation whose range is still exactly the two seeds (one
// without curves) gets the default range 0 to 1.
void KvAnim::RecomputeTimeRange() {
  constexpr float kStartSeed = std::numeric_limits<float>::max();  // 3.4028235e38
  constexpr float kEndSeed = std::numeric_limits<float>::min();    // 1.1754944e-38
  startTime = kStartSeed;
  endTime = kEndSeed;
  for (const KvAnimCurve& curve : curves) {
    float start = 0.0f;
    float end = 0.0f;
    curve.GetTimeRange(start, end);
    if (start < startTime) startTime = start;
    if (end > endTime) endTime = end;
  }
  if (startTime == kStartSeed && endTime == kEndSeed) {
    startTime = 0.0f;
    endTime = 1.0f;
  }
}

namespace {

void SaveKeys(KvArchive& archive, KvArray<KvAnimCurve>& curves, uint32_t total) {
  KvArray<float> block(total * 4);
  KvArray<uint32_t> counts(curves.Size());
  for (const KvAnimCurve& curve : curves) {
    for (const KvAnimKey& key : curve.GetKeys()) {
      block.PushBack(key.time);
      block.PushBack(key.value);
      block.PushBack(key.slopeIn);
      block.PushBack(key.slopeOut);
    }
    counts.PushBack(curve.GetNumKeys());
  }
  archive.SerializeFloats(block.Data(), block.Size());
  uint32_t curveCount = counts.Size();
  archive.SerializeCount(curveCount, 4);
  archive.SerializeUInt32s(counts.Data(), curveCount);
}

void LoadKeys(KvArchive& archive, KvArray<KvAnimCurve>& curves, uint32_t total) {
  if (total > archive.BytesLeft() / 16) {
    archive.Fail(KvArchiveError::kCorrupt, "an animation claims more keys than the file holds");
    return;
  }
  KvArray<float> block;
  block.Resize(total * 4);
  archive.SerializeFloats(block.Data(), block.Size());
  uint32_t curveCount = 0;
  if (!archive.SerializeCount(curveCount, 4)) return;
  KvArray<uint32_t> counts;
  counts.Resize(curveCount);
  archive.SerializeUInt32s(counts.Data(), curveCount);
  if (!archive.IsValid()) return;
  if (curveCount != curves.Size()) {
    archive.Fail(KvArchiveError::kCorrupt, "an animation's key counts do not match its curves");
    return;
  }
  uint64_t sum = 0;
  for (uint32_t count : counts) sum += count;
  if (sum != total) {
    archive.Fail(KvArchiveError::kCorrupt, "an animation's key counts do not add up to its key total");
    return;
  }
  uint32_t offset = 0;
  for (uint32_t i = 0; i < curveCount; ++i) {
    curves[i].SetKeys(block.Data() + static_cast<size_t>(offset) * 4, counts[i]);
    offset += counts[i];
  }
}

}  // namespace

void KvAnim::Serialize(KvArchive& archive) {
  const bool loading = archive.IsLoading();
  KvNamedObject::Serialize(archive);
  const uint16_t version = archive.SerializeClassVersion("KvAnim");
  if (loading && version < 4) {
    uint32_t ignored = 0;
    archive.Serialize(ignored);
  }
  archive.SerializeArray(curves, [&archive](KvAnimCurve& curve) { curve.Serialize(archive); }, kMinCurveBytes);
  if (version >= 6) {
    uint32_t total = loading ? 0 : GetTotalKeys();
    archive.Serialize(total);
    if (total != 0 && archive.IsValid()) {
      if (loading) {
        LoadKeys(archive, curves, total);
      } else {
        SaveKeys(archive, curves, total);
      }
    }
  }
  if (loading && version < 5) {
    uint16_t ignored16 = 0;
    uint32_t ignored32 = 0;
    archive.Serialize(ignored16);
    archive.Serialize(ignored32);
  }
  archive.Serialize(timingParameters[0]);
  archive.Serialize(timingParameters[1]);
  if (version >= 2) {
    archive.SerializeArray(
        boneWeights,
        [&archive](KvAnimBoneWeight& weight) {
          archive.SerializeClassVersion("KvAnimBoneWeight", true, 0);
          archive.Serialize(weight.boneName);
          archive.Serialize(weight.weight);
        },
        kMinWeightBytes);
  }
  if (version >= 1) {
    archive.Serialize(textFields[0]);
    archive.Serialize(textFields[1]);
  }
  if (version >= 3) archive.Serialize(signedField);
  if (loading) RecomputeTimeRange();
}

// ---- Groups and sets ------------------------------------------------------------------------

int32_t KvAnimGroup::FindAnim(const KvName& animName) const {
  for (uint32_t i = 0; i < anims.Size(); ++i) {
    if (anims[i].GetName() == animName) return static_cast<int32_t>(i);
  }
  return -1;
}

void KvAnimGroup::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvAnimGroup");
  archive.SerializeArray(anims, [&archive](KvAnim& anim) { anim.Serialize(archive); }, kMinAnimBytes);
}

void KvAnimSet::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvAnimSet");
  archive.Serialize(secondName);
  group.Serialize(archive);
}
