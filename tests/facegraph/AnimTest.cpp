// Animation data and phoneme maps: defaults, copies, time ranges, the packed key
// layout of current archives and every version gate of older animations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "kv/Anim.h"
#include "kv/PhonemeMap.h"
#include "kv/Runtime.h"

namespace {

using kvtest::StreamBuilder;

class AnimTest : public ::testing::Test {
 protected:
  void SetUp() override { KvRuntimeStartupDefault(); }
  void TearDown() override { KvRuntimeShutdown(); }
};

KvAnimCurve MakeCurve(const char* name, std::vector<float> quadruples, uint32_t interpolation = 0) {
  KvAnimCurve curve;
  curve.SetName(KvName(name));
  curve.interpolation = interpolation;
  curve.SetKeys(quadruples.data(), static_cast<uint32_t>(quadruples.size() / 4));
  return curve;
}

KvAnim MakeAnim() {
  KvAnim anim;
  anim.SetName(KvName("Talk"));
  anim.curves.PushBack(MakeCurve("jaw", {0.0f, 0.0f, 0.1f, 0.2f, 1.0f, 1.0f, 0.3f, 0.4f}, 2));
  anim.curves.PushBack(MakeCurve("empty", {}));
  anim.curves.PushBack(MakeCurve("lip", {-0.5f, 2.0f, 0.0f, 0.0f, 0.25f, 3.0f, 0.0f, 0.0f, 4.0f, 1.0f, 0.0f, 0.0f}));
  anim.timingParameters[0] = 0.5f;
  anim.boneWeights.PushBack(KvAnimBoneWeight{KvName("jaw"), 0.75f});
  anim.boneWeights.PushBack(KvAnimBoneWeight{KvName("neck"), 0.25f});
  anim.textFields[0] = KvString("hello.wav");
  anim.textFields[1] = KvString("HH EH L OW");
  anim.signedField = 42;
  return anim;
}

void ExpectSameAnim(const KvAnim& loaded, const KvAnim& original) {
  EXPECT_TRUE(loaded.GetName() == original.GetName());
  ASSERT_EQ(loaded.curves.Size(), original.curves.Size());
  for (uint32_t c = 0; c < loaded.curves.Size(); ++c) {
    const KvAnimCurve& a = loaded.curves[c];
    const KvAnimCurve& b = original.curves[c];
    EXPECT_TRUE(a.GetName() == b.GetName());
    EXPECT_EQ(a.interpolation, b.interpolation);
    ASSERT_EQ(a.GetNumKeys(), b.GetNumKeys()) << "curve " << c;
    for (uint32_t k = 0; k < a.GetNumKeys(); ++k) {
      EXPECT_EQ(a.GetKeys()[k].time, b.GetKeys()[k].time);
      EXPECT_EQ(a.GetKeys()[k].value, b.GetKeys()[k].value);
      EXPECT_EQ(a.GetKeys()[k].slopeIn, b.GetKeys()[k].slopeIn);
      EXPECT_EQ(a.GetKeys()[k].slopeOut, b.GetKeys()[k].slopeOut);
    }
  }
  EXPECT_EQ(loaded.timingParameters[0], original.timingParameters[0]);
  EXPECT_EQ(loaded.timingParameters[1], original.timingParameters[1]);
  ASSERT_EQ(loaded.boneWeights.Size(), original.boneWeights.Size());
  for (uint32_t i = 0; i < loaded.boneWeights.Size(); ++i) {
    EXPECT_TRUE(loaded.boneWeights[i].boneName == original.boneWeights[i].boneName);
    EXPECT_EQ(loaded.boneWeights[i].weight, original.boneWeights[i].weight);
  }
  EXPECT_TRUE(loaded.textFields[0] == original.textFields[0]);
  EXPECT_TRUE(loaded.textFields[1] == original.textFields[1]);
  EXPECT_EQ(loaded.signedField, original.signedField);
}

TEST_F(AnimTest, DefaultsAndDeepCopies) {
  KvAnim fresh;
  EXPECT_EQ(fresh.startTime, 0.0f);
  EXPECT_EQ(fresh.endTime, 1.0f);
  EXPECT_EQ(fresh.timingParameters[0], 0.16f);
  EXPECT_EQ(fresh.timingParameters[1], 0.22f);
  EXPECT_EQ(fresh.signedField, -1);
  KvAnimCurve curve;
  EXPECT_EQ(curve.GetCachedKeyIndex(), -1);
  EXPECT_EQ(curve.interpolation, 0u);
  KvAnimSet set;
  EXPECT_TRUE(set.secondName == KvName());

  KvAnim original = MakeAnim();
  int marker = 0;
  original.userData = &marker;
  KvAnim copy(original);
  EXPECT_EQ(copy.userData, &marker);
  EXPECT_EQ(copy.GetName().GetNode(), original.GetName().GetNode()) << "names are shared, not copied";
  copy.curves[0].SetKeys(std::vector<float>{9.0f, 9.0f, 9.0f, 9.0f}.data(), 1);
  copy.textFields[0] = KvString("other");
  EXPECT_EQ(original.curves[0].GetNumKeys(), 2u) << "keys are not shared";
  EXPECT_STREQ(original.textFields[0].View(), "hello.wav");

  KvAnimCurve keep = MakeCurve("keep", {1.0f, 2.0f, 3.0f, 4.0f});
  keep.SetKeys(nullptr, 3);
  keep.SetKeys(std::vector<float>{5.0f, 5.0f, 5.0f, 5.0f}.data(), 0);
  ASSERT_EQ(keep.GetNumKeys(), 1u) << "a null run or zero count changes nothing";
  EXPECT_EQ(keep.GetKeys()[0].value, 2.0f);
}

TEST_F(AnimTest, TimeRangeSpansTheCurves) {
  KvAnim none;
  none.startTime = 5.0f;
  none.RecomputeTimeRange();
  EXPECT_EQ(none.startTime, 0.0f);
  EXPECT_EQ(none.endTime, 1.0f);

  KvAnim onlyEmpty;
  onlyEmpty.curves.PushBack(KvAnimCurve());
  onlyEmpty.curves.PushBack(KvAnimCurve());
  onlyEmpty.RecomputeTimeRange();
  // Empty curves count as (0, 0): 0 is no later than the end's seed, the smallest
  // normal float, which stays (and prints with %f as 0.000000).
  EXPECT_EQ(onlyEmpty.startTime, 0.0f);
  EXPECT_EQ(onlyEmpty.endTime, 1.1754944e-38f);

  KvAnim early;  // every key before time 0
  early.curves.PushBack(KvAnimCurve());
  const float keys[] = {-3.0f, 1.0f, 0.0f, 0.0f, -2.0f, 1.0f, 0.0f, 0.0f};
  early.curves[0].SetKeys(keys, 2);
  early.RecomputeTimeRange();
  EXPECT_EQ(early.startTime, -3.0f);
  EXPECT_EQ(early.endTime, 1.1754944e-38f) << "the end never drops below its seed";

  KvAnim spread = MakeAnim();
  spread.RecomputeTimeRange();
  EXPECT_EQ(spread.startTime, -0.5f);
  EXPECT_EQ(spread.endTime, 4.0f);
}

TEST_F(AnimTest, GroupRoundTripsInBothByteOrders) {
  KvAnimGroup group(KvName("Speech"));
  group.anims.PushBack(MakeAnim());
  KvAnim second;
  second.SetName(KvName("Blink"));
  group.anims.PushBack(second);
  for (uint32_t byteOrder : {0u, 1u}) {
    SCOPED_TRACE(byteOrder);
    std::string error;
    KvAnimGroup* loaded = kvtest::Load<KvAnimGroup>(kvtest::SaveToBytes(&group, byteOrder), &error);
    ASSERT_NE(loaded, nullptr) << error;
    EXPECT_STREQ(loaded->GetName().GetAsCString(), "Speech");
    ASSERT_EQ(loaded->anims.Size(), 2u);
    ExpectSameAnim(loaded->anims[0], group.anims[0]);
    ExpectSameAnim(loaded->anims[1], group.anims[1]);
    EXPECT_EQ(loaded->anims[0].startTime, -0.5f);
    EXPECT_EQ(loaded->anims[0].endTime, 4.0f);
    EXPECT_EQ(loaded->anims[1].endTime, 1.0f) << "no curves: the default range";
    EXPECT_EQ(loaded->FindAnim(KvName("Blink")), 1);
    delete loaded;
  }

  KvAnimSet set;
  set.SetName(KvName("Set"));
  set.secondName = KvName("Alias");
  set.group = group;
  KvAnimSet* loadedSet = kvtest::Load<KvAnimSet>(kvtest::SaveToBytes(&set, 1));
  ASSERT_NE(loadedSet, nullptr);
  EXPECT_STREQ(loadedSet->secondName.GetAsCString(), "Alias");
  EXPECT_STREQ(loadedSet->group.GetName().GetAsCString(), "Speech");
  ASSERT_EQ(loadedSet->group.anims.Size(), 2u);
  ExpectSameAnim(loadedSet->group.anims[0], group.anims[0]);
  delete loadedSet;
}

// The current layout, byte for byte: curves without keys, then the packed block and
// the per-curve counts; an animation without keys writes neither.
TEST_F(AnimTest, SavesPackedKeysAfterTheCurves) {
  for (bool withKeys : {true, false}) {
    SCOPED_TRACE(withKeys ? "with keys" : "without keys");
    KvAnim anim;
    anim.SetName(KvName("A"));
    anim.curves.PushBack(MakeCurve("c0", withKeys ? std::vector<float>{1, 2, 3, 4} : std::vector<float>{}));
    anim.curves.PushBack(MakeCurve("c1", withKeys ? std::vector<float>{5, 6, 7, 8, 9, 10, 11, 12}
                                                  : std::vector<float>{}, 1));
    anim.boneWeights.PushBack(KvAnimBoneWeight{KvName("b"), 0.5f});

    StreamBuilder s;
    s.Object(0, "KvAnim", KvAnim::StaticClass()->GetSize()).NamedPart("A").Version("KvAnim", 6).Count(2);
    s.NamedPart("c0").Version("KvAnimCurve", 1).U32(0);
    s.NamedPart("c1").Version("KvAnimCurve", 1).U32(1);
    if (withKeys) {
      s.U32(3);
      for (int v = 1; v <= 12; ++v) s.F32(static_cast<float>(v));
      s.Count(2).U32(1).U32(2);
    } else {
      s.U32(0);
    }
    s.F32(0.16f).F32(0.22f).Count(1).Version("KvAnimBoneWeight", 0).Name("b").F32(0.5f);
    s.Str("").Str("").I32(-1);
    EXPECT_EQ(kvtest::SaveToBytes(&anim), s.Finish(1));
  }
}

// An animation of class version v as an older writer stored it; curves are version
// 0 (own keys) below 6. Keys: (0, 1), (2, 3) on one curve.
std::vector<uint8_t> OldAnim(uint16_t v, bool legacyArchive) {
  const uint16_t curveVersion = v < 6 ? 0 : 1;
  StreamBuilder s(legacyArchive);
  s.Object(0, "KvAnim").NamedPart("Old").Version("KvAnim", v);
  if (v < 4) s.U32(0xDEADBEEF);
  s.Count(1).NamedPart("curve").Version("KvAnimCurve", curveVersion).U32(4);
  if (curveVersion == 0) {
    s.Count(2);
    s.U16(0x1234).F32(0.0f).F32(1.0f).F32(0.0f).F32(0.0f);  // the leading field is ignored
    s.U16(0).F32(2.0f).F32(3.0f).F32(0.0f).F32(0.0f);
  } else {
    s.U32(2).F32(0.0f).F32(1.0f).F32(0.0f).F32(0.0f).F32(2.0f).F32(3.0f).F32(0.0f).F32(0.0f);
    s.Count(1).U32(2);
  }
  if (v < 5) s.U16(7).U32(8);
  s.F32(0.3f).F32(0.4f);
  if (v >= 2) s.Count(1).Version("KvAnimBoneWeight", 0).Name("jaw").F32(0.9f);
  if (v >= 1) s.Str("a.wav").Str("text");
  if (v >= 3) s.I32(17);
  return s.Finish(1);
}

TEST_F(AnimTest, LoadsEveryOlderVersion) {
  for (bool legacyArchive : {false, true}) {
    for (uint16_t v = 0; v <= 6; ++v) {
      SCOPED_TRACE(testing::Message() << "anim version " << v << (legacyArchive ? " in 1699" : " in 1710"));
      std::string error;
      KvAnim* anim = kvtest::Load<KvAnim>(OldAnim(v, legacyArchive), &error);
      ASSERT_NE(anim, nullptr) << error;
      ASSERT_EQ(anim->curves.Size(), 1u);
      const KvAnimCurve& curve = anim->curves[0];
      EXPECT_EQ(curve.interpolation, 4u);
      ASSERT_EQ(curve.GetNumKeys(), 2u);
      EXPECT_EQ(curve.GetKeys()[1].time, 2.0f);
      EXPECT_EQ(curve.GetKeys()[1].value, 3.0f);
      EXPECT_EQ(anim->startTime, 0.0f);
      EXPECT_EQ(anim->endTime, 2.0f);
      EXPECT_EQ(anim->timingParameters[1], 0.4f);
      EXPECT_EQ(anim->boneWeights.Size(), v >= 2 ? 1u : 0u);
      EXPECT_STREQ(anim->textFields[0].View(), v >= 1 ? "a.wav" : "");
      EXPECT_EQ(anim->signedField, v >= 3 ? 17 : -1);
      delete anim;
    }
  }
}

TEST_F(AnimTest, RejectsKeyBlocksThatDoNotFit) {
  struct Case {
    const char* what;
    uint32_t total;
    std::vector<uint32_t> counts;
    uint32_t floats;
  };
  const Case cases[] = {
      {"total beyond the bytes left", 0x40000000u, {1}, 4},
      {"counts disagree with the total", 1, {2}, 4},
      {"one count per curve", 1, {1, 0}, 4},
      {"counts that overflow 32 bits", 1, {0xFFFFFFFFu}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StreamBuilder s;
    s.Object(0, "KvAnim").NamedPart("A").Version("KvAnim", 6).Count(1);
    s.NamedPart("c").Version("KvAnimCurve", 1).U32(0).U32(c.total);
    for (uint32_t i = 0; i < c.floats; ++i) s.F32(1.0f);
    s.Count(static_cast<uint32_t>(c.counts.size()));
    for (uint32_t count : c.counts) s.U32(count);
    s.F32(0.0f).F32(0.0f).Count(0).Str("").Str("").I32(0);
    std::string error;
    KvAnim* anim = kvtest::Load<KvAnim>(s.Finish(1), &error);
    EXPECT_EQ(anim, nullptr);
    EXPECT_NE(error.find("corrupt"), std::string::npos) << error;
    delete anim;
  }
}

TEST_F(AnimTest, EveryTruncationOfASavedGroupFailsCleanly) {
  KvAnimGroup group(KvName("G"));
  group.anims.PushBack(MakeAnim());
  const std::vector<uint8_t> bytes = kvtest::SaveToBytes(&group);
  for (size_t length = 0; length < bytes.size(); ++length) {
    KvAnimGroup* loaded =
        kvtest::Load<KvAnimGroup>(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(length)));
    EXPECT_EQ(loaded, nullptr) << length;
    delete loaded;
  }
}

TEST_F(AnimTest, PhonemeMapKeepsOrderAndDuplicates) {
  KvPhonemeMap empty;
  const std::vector<uint8_t> emptyBytes = kvtest::SaveToBytes(&empty);
  ASSERT_GE(emptyBytes.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(emptyBytes.end() - 8, emptyBytes.end()), std::vector<uint8_t>(8, 0))
      << "two zero counts end an empty map";

  KvPhonemeMap map;
  map.entries.PushBack(KvPhonemeMapEntry{12, KvName("Open"), 0.5f});
  map.entries.PushBack(KvPhonemeMapEntry{3, KvName("Wide"), 1.0f});
  map.entries.PushBack(KvPhonemeMapEntry{12, KvName("Round"), 0.25f});
  map.targetNames.PushBack(KvName("Open"));
  map.targetNames.PushBack(KvName("Wide"));
  for (uint32_t byteOrder : {0u, 1u}) {
    KvPhonemeMap* loaded = kvtest::Load<KvPhonemeMap>(kvtest::SaveToBytes(&map, byteOrder));
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->entries.Size(), 3u);
    EXPECT_EQ(loaded->entries[2].phoneme, 12u);
    EXPECT_STREQ(loaded->entries[2].targetName.GetAsCString(), "Round");
    EXPECT_EQ(loaded->entries[2].amount, 0.25f);
    EXPECT_EQ(loaded->entries[0].phoneme, 12u);
    ASSERT_EQ(loaded->targetNames.Size(), 2u);
    EXPECT_STREQ(loaded->targetNames[1].GetAsCString(), "Wide");
    delete loaded;
  }
}

}  // namespace
