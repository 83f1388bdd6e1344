// Interned names: sharing, reference counts, cleaning, removal and shut-down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kv/Name.h"
#include "kv/Object.h"
#include "kv/Runtime.h"

namespace {

class NamesTest : public ::testing::Test {
 protected:
  void SetUp() override { KvRuntimeStartupDefault(); }
  void TearDown() override { KvRuntimeShutdown(); }
};

TEST_F(NamesTest, SameTextSharesOneEntryAndCountsReferences) {
  auto* a = new KvName("Hip");
  KvName b("Hip");
  EXPECT_EQ(a->GetNode(), b.GetNode());
  EXPECT_EQ(b.GetRefCount(), 2u);
  delete a;
  EXPECT_EQ(b.GetRefCount(), 1u);
  EXPECT_NE(KvGetNameTable().Find("Hip", 3), nullptr) << "still interned";

  KvName copy(b);
  KvName assigned("Knee");
  assigned = b;
  EXPECT_EQ(b.GetRefCount(), 3u);
  EXPECT_EQ(KvGetNameTable().Find("Knee", 4), nullptr) << "assignment released the old entry";
  assigned = assigned;
  EXPECT_EQ(b.GetRefCount(), 3u) << "self-assignment changes nothing";
}

TEST_F(NamesTest, LastReleaseRemovesTheEntryFromTableAndList) {
  const uint32_t listCount = KvGetNameList()->Count();
  const uint32_t inserts = KvGetNameTable().InsertCount();
  {
    KvName temporary("Knee");
    EXPECT_EQ(KvGetNameList()->Count(), listCount + 1);
  }
  EXPECT_EQ(KvGetNameTable().Find("Knee", 4), nullptr);
  EXPECT_EQ(KvGetNameList()->Count(), listCount);
  KvName again("Knee");
  EXPECT_EQ(again.GetRefCount(), 1u);
  EXPECT_EQ(KvGetNameTable().InsertCount(), inserts + 2);
}

TEST_F(NamesTest, CleaningReplacesBarsAndDoubleQuotes) {
  KvName barred("a|b");
  EXPECT_STREQ(barred.GetAsCString(), "a_b");
  EXPECT_TRUE(barred == KvName("a_b"));
  EXPECT_FALSE(barred == "a|b") << "text comparison does not clean";
  EXPECT_TRUE(barred == "a_b");
  EXPECT_STREQ(KvName("say \"hi\"").GetAsCString(), "say 'hi'");
  EXPECT_FALSE(barred == static_cast<const char*>(nullptr));
}

TEST_F(NamesTest, OverlongTextIsTruncatedToTheLimit) {
  const std::string longText(700, 'x');
  KvName name(longText.c_str());
  EXPECT_EQ(name.GetAsString().Length(), kKvNameMaxLength - 1);
  EXPECT_TRUE(name == KvName(std::string(kKvNameMaxLength - 1, 'x').c_str()));
}

TEST_F(NamesTest, DefaultNameIsTheNullName) {
  KvName name;
  EXPECT_STREQ(name.GetAsCString(), "");
  EXPECT_TRUE(name == KvNullName());
  EXPECT_TRUE(name == KvName(""));
  EXPECT_STREQ(KvDefaultName().GetAsCString(), "Default");
  EXPECT_STREQ(KvNewActorName().GetAsCString(), "NewActor");
}

TEST_F(NamesTest, EntriesAreRegisteredRefStrings) {
  KvName name("Spine");
  KvRefString* entry = name.GetNode()->value;
  EXPECT_EQ(entry->ClassOf(), KvRefString::StaticClass());
  EXPECT_TRUE(entry->IsKindOf(KvRefObject::StaticClass()));
  EXPECT_EQ(entry->refCount, 1u);
}

TEST(NamesLifecycle, NamesOutlivingShutdownStayInertAcrossRestarts) {
  KvRuntimeStartupDefault();
  auto* survivor = new KvName("Survivor");
  auto* restarted = new KvName("Survivor");
  KvRuntimeShutdown();
  EXPECT_EQ(KvGetNameList(), nullptr);
  EXPECT_FALSE(KvNameSystemRunning());
  delete survivor;  // must not touch the freed entry (the sanitizer would see it)

  KvName beforeStartup;  // constructed while the name system is down
  EXPECT_EQ(beforeStartup.GetNode(), nullptr);

  // A survivor of the last run reads as unattached and releases nothing of this one.
  KvRuntimeStartupDefault();
  KvName fresh("Survivor");
  EXPECT_TRUE(KvName("") == beforeStartup) << "an unattached right-hand side reads as the null name";
  EXPECT_EQ(restarted->GetNode(), nullptr);
  EXPECT_STREQ(restarted->GetAsCString(), "");
  EXPECT_FALSE(*restarted == fresh);
  delete restarted;
  EXPECT_EQ(fresh.GetRefCount(), 1u);
  KvRuntimeShutdown();
}

}  // namespace

namespace {

TEST(StringMapHash, BytesCountAsSignedAndBucketsAreTheLowBits) {
  // 5381 * 33 + 'A' and, for a byte above 127, the negative value it has as a
  // signed byte: 0xC3 is -61.
  EXPECT_EQ(KvHashString("A", 1), 5381u * 33u + 65u);
  EXPECT_EQ(KvHashString("\xC3", 1), 5381u * 33u - 61u);
  EXPECT_EQ(KvHashString("", 0), 5381u);
  EXPECT_EQ((KvStringMap<int, 128>::BucketOf("KvSkeleton", 10)), 107u);
  EXPECT_EQ((KvStringMap<int, 4096>::BucketOf("KvScene", 7)), 2996u);
}

TEST(StringMapHash, CountersFollowInsertsHitsCollisionsAndRemovals) {
  KvRuntimeStartupDefault();
  {
    KvStringMap<int, 2048> map;
    EXPECT_TRUE(map.Insert("a", 1, 1));
    EXPECT_FALSE(map.Insert("a", 1, 2)) << "the first value stays";
    EXPECT_EQ(*map.Find("a", 1), 1);
    EXPECT_EQ(map.HitCount(), 2u);
    EXPECT_EQ(map.InsertCount(), 1u);
    // "a" and "a" + 2048 apart in hash: find two keys in one bucket.
    const uint32_t bucket = KvStringMap<int, 2048>::BucketOf("a", 1);
    std::string other;
    for (int i = 0; i < 100000 && other.empty(); ++i) {
      std::string candidate = "k" + std::to_string(i);
      if (KvStringMap<int, 2048>::BucketOf(candidate.c_str(), static_cast<uint32_t>(candidate.size())) == bucket) {
        other = candidate;
      }
    }
    ASSERT_FALSE(other.empty());
    map.Insert(other.c_str(), static_cast<uint32_t>(other.size()), 3);
    EXPECT_EQ(map.CollisionCount(), 1u);
    EXPECT_TRUE(map.Remove("a", 1));
    EXPECT_EQ(map.RemoveCount(), 1u);
    EXPECT_EQ(*map.Find(other.c_str(), static_cast<uint32_t>(other.size())), 3);
    EXPECT_EQ(map.Find("a", 1), nullptr);
  }
  KvRuntimeShutdown();
}

// "Ez" and "FY" add the same to the hash, so strings made of them share a bucket
// in every table. A crowded bucket keeps its order and finds every key.
TEST(StringMapHash, CrowdedBucketsKeepOrderThroughInsertsAndRemovals) {
  KvRuntimeStartupDefault();
  {
    KvStringMap<int, 128> map;
    std::vector<std::string> keys;
    for (int i = 0; i < 64; ++i) {
      std::string key;
      for (int bit = 0; bit < 6; ++bit) key += (i >> bit) & 1 ? "FY" : "Ez";
      keys.push_back(key);
      ASSERT_TRUE(map.Insert(key.c_str(), 12, i));
    }
    const uint32_t bucket = KvStringMap<int, 128>::BucketOf("EzEzEzEzEzEz", 12);
    ASSERT_EQ(map.Bucket(bucket).Size(), 64u);
    EXPECT_EQ(map.CollisionCount(), 63u);
    EXPECT_FALSE(map.Insert(keys[40].c_str(), 12, 99)) << "present already";
    // Remove from the middle, the end and the front; the rest keep their order.
    for (int gone : {20, 63, 0, 21}) ASSERT_TRUE(map.Remove(keys[gone].c_str(), 12));
    EXPECT_FALSE(map.Remove(keys[20].c_str(), 12));
    ASSERT_EQ(map.Bucket(bucket).Size(), 60u);
    int expected = 1;
    for (const auto& entry : map.Bucket(bucket)) {
      while (expected == 20 || expected == 21) ++expected;
      EXPECT_EQ(entry.value, expected);
      EXPECT_TRUE(entry.key == keys[expected].c_str());
      ++expected;
    }
    for (int i = 0; i < 64; ++i) {
      const int* found = map.Find(keys[i].c_str(), 12);
      const bool removed = i == 0 || i == 20 || i == 21 || i == 63;
      EXPECT_EQ(found == nullptr, removed) << i;
      if (found != nullptr) {
        EXPECT_EQ(*found, i);
      }
    }
  }
  KvRuntimeShutdown();
}

}  // namespace
