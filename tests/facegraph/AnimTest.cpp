// Animation data: time ranges, the packed keys of current archives, every version
// gate of older animations, hostile key blocks.
#include <memory>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "kv/Anim.h"

namespace {

using kvtest::StreamBuilder;
using AnimTest = ::RuntimeTest;

KvAnimCurve MakeCurve(const char* name, std::vector<float> quadruples, uint32_t interpolation = 0) {
  KvAnimCurve curve;
  curve.SetName(KvName(name));
  curve.interpolation = interpolation;
  curve.SetKeys(quadruples.data(), static_cast<uint32_t>(quadruples.size() / 4));
  return curve;
}

KvAnimSet* BuildSet() {
  auto* set = new KvAnimSet;
  set->SetName(KvName("Set"));
  set->secondName = KvName("Alias");
  set->group.SetName(KvName("Speech"));
  KvAnim talk;
  talk.SetName(KvName("Talk"));
  talk.curves.PushBack(MakeCurve("jaw", {0.0f, 0.0f, 0.1f, 0.2f, 1.0f, 1.0f, 0.3f, 0.4f}, 2));
  talk.curves.PushBack(MakeCurve("empty", {}));
  talk.curves.PushBack(MakeCurve("lip", {-0.5f, 2.0f, 0.0f, 0.0f, 0.25f, 3.0f, 0.0f, 0.0f, 4.0f, 1.0f, 0.0f, 0.0f}));
  talk.timingParameters[0] = 0.5f;
  talk.boneWeights.PushBack(KvAnimBoneWeight{KvName("jaw"), 0.75f});
  talk.boneWeights.PushBack(KvAnimBoneWeight{KvName("neck"), 0.25f});
  talk.textFields[0] = KvString("hello.wav");
  talk.textFields[1] = KvString("HH EH L OW");
  talk.signedField = 42;
  set->group.anims.PushBack(talk);
  KvAnim blink;
  blink.SetName(KvName("Blink"));
  set->group.anims.PushBack(blink);
  return set;
}

// BuildSet as current archives store it: curves without keys, then the packed keys
// and per-curve counts (none at all without keys), every field distinct.
std::vector<uint8_t> GoldenSet(bool legacyArchive = false) {
  StreamBuilder s(legacyArchive);
  s.Object(0, "KvAnimSet", KvAnimSet::StaticClass()->GetSize()).NamedPart("Set").Version("KvAnimSet", 0);
  s.Name("Alias").NamedPart("Speech").Version("KvAnimGroup", 0).Count(2);
  s.NamedPart("Talk").Version("KvAnim", 6).Count(3).NamedPart("jaw").Version("KvAnimCurve", 1).U32(2);
  s.NamedPart("empty").Version("KvAnimCurve", 1).U32(0).NamedPart("lip").Version("KvAnimCurve", 1).U32(0).U32(5);
  s.Floats({0.0f, 0.0f, 0.1f, 0.2f, 1.0f, 1.0f, 0.3f, 0.4f});                                 // jaw's keys
  s.Floats({-0.5f, 2.0f, 0.0f, 0.0f, 0.25f, 3.0f, 0.0f, 0.0f, 4.0f, 1.0f, 0.0f, 0.0f});  // lip's keys
  s.Count(3).U32(2).U32(0).U32(3).F32(0.5f).F32(0.22f);
  s.Count(2).Version("KvAnimBoneWeight", 0).Name("jaw").F32(0.75f).Version("KvAnimBoneWeight", 0).Name("neck");
  s.F32(0.25f);
  s.Str("hello.wav").Str("HH EH L OW").I32(42);
  s.NamedPart("Blink").Version("KvAnim", 6).Count(0).U32(0).F32(0.16f).F32(0.22f).Count(0).Str("").Str("").I32(-1);
  return s.Finish(1);
}

TEST_F(AnimTest, TimeRangesSpanTheCurvesAndTheSetSavesToTheGoldenStreamLoadsBackAndFailsCutShort) {
  float start = 5.0f, end = 5.0f;
  KvAnimCurve().GetTimeRange(start, end);
  EXPECT_EQ(start + end, 0.0f) << "a curve without keys spans 0 to 0";

  // Key times of each curve -> the animation's range. The end starts from the
  // smallest normal float and never drops below it; only no curves at all give 0..1.
  struct Row {
    std::vector<std::vector<float>> curves;
    float start, end;
  };
  const Row rows[] = {{{}, 0.0f, 1.0f},
                      {{{}, {}}, 0.0f, 1.1754944e-38f},
                      {{{-3.0f, -2.0f}}, -3.0f, 1.1754944e-38f},
                      {{{0.0f, 1.0f}, {}, {-0.5f, 0.25f, 4.0f}, {2.0f}}, -0.5f, 4.0f}};
  for (const Row& row : rows) {
    KvAnim anim;
    anim.startTime = 5.0f;
    for (const std::vector<float>& times : row.curves) {
      std::vector<float> keys;
      for (float t : times) keys.insert(keys.end(), {t, 1.0f, 0.0f, 0.0f});
      anim.curves.PushBack(MakeCurve("c", keys));
    }
    anim.RecomputeTimeRange();
    EXPECT_EQ(anim.startTime, row.start) << row.curves.size() << " curves";
    EXPECT_EQ(anim.endTime, row.end) << row.curves.size() << " curves";
  }

  // The smallest elements still load when they fill the bytes after their count
  // exactly: 29 curves (8 bytes each, 28 follow), 13 bone weights (8, 12) and 25
  // per-curve key counts (4, 24).
  KvAnim curves, weights, counts;
  curves.curves.Resize(29);
  weights.boneWeights.Resize(13);
  counts.curves.Resize(25);
  counts.curves[0].SetKeys(std::vector<float>{1.0f, 2.0f, 3.0f, 4.0f}.data(), 1);
  for (KvAnim* anim : {&curves, &weights, &counts}) EXPECT_TRUE(kvtest::Loads<KvAnim>(kvtest::SaveToBytes(anim)));
  std::unique_ptr<KvAnimSet> original(BuildSet());
  const std::vector<uint8_t> golden = GoldenSet();
  std::unique_ptr<KvAnimSet> set = kvtest::ExpectGoldenRoundTrip(original.get(), golden, GoldenSet(true));
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->group.anims[0].startTime, -0.5f) << "the time range is recomputed";
  EXPECT_EQ(set->group.anims[0].endTime, 4.0f);
  EXPECT_EQ(set->group.FindAnim(KvName("Blink")), 1);
  EXPECT_EQ(set->group.FindAnim(KvName("Wink")), -1);
  kvtest::ExpectEveryCutFails<KvAnimSet>(golden);
}

// A set holding one animation of class version v as its writers stored it, with the
// fields of version `fields` (later ones at their defaults); curves are version 0
// (keys of their own) below 6.
std::vector<uint8_t> OldAnim(uint16_t v, bool legacyArchive, uint16_t fields) {
  StreamBuilder s(legacyArchive);
  s.Object(0, "KvAnimSet", KvAnimSet::StaticClass()->GetSize()).NamedPart("S").Version("KvAnimSet", 0).Name("A");
  s.NamedPart("G").Version("KvAnimGroup", 0).Count(1).NamedPart("Old").Version("KvAnim", v);
  if (v < 4) s.U32(0xDEADBEEF);
  s.Count(1).NamedPart("curve").Version("KvAnimCurve", v < 6 ? 0 : 1).U32(4);
  if (v < 6) {
    s.Count(2).U16(0x1234).F32(0.0f).F32(1.0f).F32(0.25f).F32(0.5f);  // the leading field is ignored
    s.U16(0).F32(2.0f).F32(3.0f).F32(0.75f).F32(1.5f);
  } else {
    s.U32(2).F32(0.0f).F32(1.0f).F32(0.25f).F32(0.5f).F32(2.0f).F32(3.0f).F32(0.75f).F32(1.5f).Count(1).U32(2);
  }
  if (v < 5) s.U16(7).U32(8);
  s.F32(0.3f).F32(0.4f);
  if (v >= 2) (fields >= 2 ? s.Count(1).Version("KvAnimBoneWeight", 0).Name("jaw").F32(0.9f) : s.Count(0));
  if (v >= 1) s.Str(fields >= 1 ? "a.wav" : "").Str(fields >= 1 ? "text" : "");
  if (v >= 3) s.I32(fields >= 3 ? 17 : -1);
  return s.Finish(1);
}

TEST_F(AnimTest, LoadsEveryOlderVersionAndRejectsKeyBlocksThatDoNotFit) {
  for (bool legacyArchive : {false, true}) {
    for (uint16_t v = 0; v <= 6; ++v) {
      std::unique_ptr<KvAnimSet> set = kvtest::MustLoad<KvAnimSet>(OldAnim(v, legacyArchive, v));
      ASSERT_NE(set, nullptr);
      EXPECT_EQ(set->group.anims[0].endTime, 2.0f);
      EXPECT_EQ(kvtest::SaveToBytes(set.get()), OldAnim(6, false, v)) << v << (legacyArchive ? " in 1699" : "");
    }
  }

  struct Case {
    const char* what;  // also part of the error
    uint32_t curves, total;
    std::vector<uint32_t> counts;
  };
  const Case cases[] = {
      {"claims more keys than the file holds", 1, 0x40000000u, {1}},
      {"do not add up to its key total", 1, 1, {2}},
      {"do not match its curves", 1, 1, {1, 0}},
      {"do not add up to its key total", 2, 1, {0xFFFFFFFFu, 2}},  // a 32-bit sum would be 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StreamBuilder s;
    s.Object(0, "KvAnim").NamedPart("A").Version("KvAnim", 6).Count(c.curves);
    for (uint32_t i = 0; i < c.curves; ++i) s.NamedPart("c").Version("KvAnimCurve", 1).U32(0);
    s.U32(c.total).F32(1.0f).F32(1.0f).F32(1.0f).F32(1.0f);
    s.Count(static_cast<uint32_t>(c.counts.size()));
    for (uint32_t count : c.counts) s.U32(count);
    s.F32(0.0f).F32(0.0f).Count(0).Str("").Str("").I32(0);
    EXPECT_PRED_FORMAT2(testing::IsSubstring, c.what, kvtest::LoadError<KvAnim>(s.Finish(1)));
  }
}

}  // namespace
