// Animation data and phoneme maps: defaults, copies, time ranges, the packed key
// layout of current archives and every version gate of older animations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "kv/Anim.h"
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

// A set holding MakeAnim and an animation without curves, as current archives
// store it: curves without keys, then the packed keys and per-curve counts (none
// at all when there are no keys), every field distinct.
std::vector<uint8_t> GoldenSet() {
  StreamBuilder s;
  s.Object(0, "KvAnimSet", KvAnimSet::StaticClass()->GetSize()).NamedPart("Set").Version("KvAnimSet", 0);
  s.Name("Alias").NamedPart("Speech").Version("KvAnimGroup", 0).Count(2);
  s.NamedPart("Talk").Version("KvAnim", 6).Count(3).NamedPart("jaw").Version("KvAnimCurve", 1).U32(2);
  s.NamedPart("empty").U32(0).NamedPart("lip").U32(0).U32(5);
  for (float f : {0.0f, 0.0f, 0.1f, 0.2f, 1.0f, 1.0f, 0.3f, 0.4f, -0.5f, 2.0f, 0.0f, 0.0f, 0.25f, 3.0f, 0.0f, 0.0f,
                  4.0f, 1.0f, 0.0f, 0.0f}) {
    s.F32(f);
  }
  s.Count(3).U32(2).U32(0).U32(3).F32(0.5f).F32(0.22f);
  s.Count(2).Version("KvAnimBoneWeight", 0).Name("jaw").F32(0.75f).Name("neck").F32(0.25f);
  s.Str("hello.wav").Str("HH EH L OW").I32(42);
  s.NamedPart("Blink").Count(0).U32(0).F32(0.16f).F32(0.22f).Count(0).Str("").Str("").I32(-1);
  return s.Finish(1);
}

KvAnimSet* BuildSet() {
  auto* set = new KvAnimSet;
  set->SetName(KvName("Set"));
  set->secondName = KvName("Alias");
  set->group.SetName(KvName("Speech"));
  set->group.anims.PushBack(MakeAnim());
  KvAnim blink;
  blink.SetName(KvName("Blink"));
  set->group.anims.PushBack(blink);
  return set;
}

TEST_F(AnimTest, SetSavesToTheGoldenStreamLoadsBackInBothByteOrdersAndFailsCutShort) {
  KvAnimSet* original = BuildSet();
  const std::vector<uint8_t> golden = GoldenSet();
  EXPECT_EQ(kvtest::SaveToBytes(original), golden);
  std::string error;
  KvAnimSet* set = kvtest::Load<KvAnimSet>(kvtest::SaveToBytes(original, 1), &error);
  delete original;
  ASSERT_NE(set, nullptr) << error;
  EXPECT_EQ(set->group.anims[0].startTime, -0.5f);
  EXPECT_EQ(set->group.anims[0].endTime, 4.0f);
  EXPECT_EQ(set->group.anims[1].endTime, 1.0f) << "no curves: the default range";
  EXPECT_EQ(set->group.FindAnim(KvName("Blink")), 1);
  EXPECT_EQ(set->group.FindAnim(KvName("Wink")), -1);
  EXPECT_EQ(kvtest::SaveToBytes(set), golden);
  delete set;
  for (size_t length = 0; length < golden.size(); ++length) {
    KvAnimSet* cut =
        kvtest::Load<KvAnimSet>(std::vector<uint8_t>(golden.begin(), golden.begin() + static_cast<long>(length)));
    EXPECT_EQ(cut, nullptr) << "length " << length;
    delete cut;
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

}  // namespace
