// Interned names: sharing, reference counts, cleaning and removal; the string
// hashes beneath the name table. Names across shut-down: ClassesTest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kv/Name.h"
#include "kv/Object.h"
#include "RuntimeTest.h"

namespace {

using NamesTest = RuntimeTest;
using StringMapTest = RuntimeTest;

TEST_F(NamesTest, SameTextSharesOneCountedEntryUntilTheLastReleaseRemovesItAndTextIsCleanedAndTruncated) {
  const uint32_t listCount = KvGetNameList()->Count();
  auto* a = new KvName("Hip");
  KvName b("Hip");
  EXPECT_EQ(a->GetNode(), b.GetNode());
  EXPECT_EQ(b.GetRefCount(), 2u);
  KvRefString* entry = b.GetNode()->value;
  EXPECT_EQ(entry->ClassOf(), KvRefString::StaticClass());
  delete a;
  EXPECT_EQ(b.GetRefCount(), 1u);
  EXPECT_NE(KvGetNameTable().Find("Hip", 3), nullptr) << "still interned";

  KvName copy(b);
  KvName assigned("Knee");
  EXPECT_EQ(KvGetNameList()->Count(), listCount + 2);
  assigned = b;
  EXPECT_EQ(b.GetRefCount(), 3u);
  EXPECT_EQ(KvGetNameTable().Find("Knee", 4), nullptr) << "assignment released the old entry";
  EXPECT_EQ(KvGetNameList()->Count(), listCount + 1);
  assigned = assigned;
  EXPECT_EQ(b.GetRefCount(), 3u) << "self-assignment changes nothing";
  KvName again("Knee");
  EXPECT_EQ(again.GetRefCount(), 1u);

  EXPECT_TRUE(KvName() == KvNullName());
  EXPECT_TRUE(KvName() == KvName(""));
  EXPECT_STREQ(KvNullName().GetAsCString(), "");
  KvName barred("a|b");
  EXPECT_STREQ(barred.GetAsCString(), "a_b");
  EXPECT_TRUE(barred == KvName("a_b"));
  EXPECT_FALSE(barred == "a|b") << "text comparison does not clean";
  EXPECT_TRUE(barred == "a_b");
  EXPECT_FALSE(barred == static_cast<const char*>(nullptr));
  EXPECT_STREQ(KvName("say \"hi\"").GetAsCString(), "say 'hi'");
  KvName overlong(std::string(700, 'x').c_str());
  EXPECT_TRUE(overlong == std::string(kKvNameMaxLength - 1, 'x').c_str());
}

TEST_F(StringMapTest, BucketHashCountsSignedBytesKeyedHashIsSipHash13AndCrowdedBucketsKeepOrderAndCounts) {
  // 5381 * 33 + 'A' and, for a byte above 127, the negative value it has as a
  // signed byte: 0xC3 is -61.
  EXPECT_EQ(KvHashString("A", 1), 5381u * 33u + 65u);
  EXPECT_EQ(KvHashString("\xC3", 1), 5381u * 33u - 61u);
  EXPECT_EQ(KvHashString("", 0), 5381u);
  EXPECT_EQ((KvStringMap<int, 4096>::BucketOf("KvScene", 7)), 2996u) << "the low bits";
  // Reference values of SipHash-1-3 (the key bytes 00..0F; and the zero key, as in
  // Python's hash(b"KvSkeleton") with PYTHONHASHSEED=0): one word and a tail, a
  // tail only, exactly one word, two words and a tail, nothing.
  const uint64_t k0 = 0x0706050403020100ull;
  const uint64_t k1 = 0x0F0E0D0C0B0A0908ull;
  EXPECT_EQ(KvSipHash13(k0, k1, "KvSkeleton", 10), 0x9AD5DE71B6B0BF98ull);
  EXPECT_EQ(KvSipHash13(k0, k1, "a", 1), 0x1C2697AB786A6237ull);
  EXPECT_EQ(KvSipHash13(k0, k1, "abcdefgh", 8), 0x12D8C08C2EE9E620ull);
  EXPECT_EQ(KvSipHash13(k0, k1, "0123456789abcdef!", 17), 0x26BE39BAAF574274ull);
  EXPECT_EQ(KvSipHash13(k0, k1, "", 0), 0xABAC0158050FC4DCull);
  EXPECT_EQ(KvSipHash13(0, 0, "KvSkeleton", 10), 0xE8D6D5FF31BF37D5ull);

  // "Ez" and "FY" add the same to the hash, so strings made of them share a bucket
  // in every table. A crowded bucket keeps its order and counts, and finds every key.
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
  EXPECT_FALSE(map.Insert(keys[40].c_str(), 12, 99)) << "present already: the first value stays";
  EXPECT_EQ(*map.Find(keys[40].c_str(), 12), 40);
  EXPECT_EQ(map.InsertCount(), 64u);
  EXPECT_EQ(map.CollisionCount(), 63u);
  EXPECT_EQ(map.HitCount(), 2u);
  // Remove from the middle, the end and the front; the rest keep their order.
  for (int gone : {20, 63, 0, 21}) ASSERT_TRUE(map.Remove(keys[gone].c_str(), 12));
  EXPECT_FALSE(map.Remove(keys[20].c_str(), 12));
  EXPECT_EQ(map.RemoveCount(), 4u);
  ASSERT_EQ(map.Bucket(bucket).Size(), 60u);
  std::vector<int> order;
  for (const auto& entry : map.Bucket(bucket)) order.push_back(entry.value);
  std::vector<int> kept;
  for (int i = 0; i < 64; ++i) {
    const bool removed = i == 0 || i == 20 || i == 21 || i == 63;
    if (!removed) kept.push_back(i);
    const int* found = map.Find(keys[i].c_str(), 12);
    EXPECT_EQ(found != nullptr ? *found : -1, removed ? -1 : i);
  }
  EXPECT_EQ(order, kept);
}

}  // namespace
