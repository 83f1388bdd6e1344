// KvArray and KvList: growth, copies, removal, and element lifetimes.
#include <gtest/gtest.h>

#include <new>

#include "kv/Array.h"
#include "kv/List.h"
#include "kv/String.h"
#include "kv/Runtime.h"

namespace {

// Counts constructions and destructions so leaks and double destruction show, and
// copies so that moves which copy show.
struct Tracked {
  static inline int alive = 0;
  static inline int copies = 0;
  int value = 0;
  Tracked() { ++alive; }
  Tracked(int v) : value(v) { ++alive; }  // NOLINT: implicit on purpose
  Tracked(const Tracked& other) : value(other.value) {
    ++alive;
    ++copies;
  }
  Tracked(Tracked&& other) noexcept : value(other.value) { ++alive; }
  Tracked& operator=(const Tracked& other) {
    value = other.value;
    ++copies;
    return *this;
  }
  Tracked& operator=(Tracked&& other) noexcept {
    value = other.value;
    return *this;
  }
  ~Tracked() { --alive; }
  bool operator==(const Tracked& other) const { return value == other.value; }
};

class ContainersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Tracked::alive = 0;
    Tracked::copies = 0;
    KvRuntimeStartupDefault();
  }
  void TearDown() override {
    EXPECT_EQ(Tracked::alive, 0) << "every element constructed was destroyed exactly once";
    KvRuntimeShutdown();
  }
};

TEST_F(ContainersTest, ArrayGrowsByDoublingFromOne) {
  KvArray<Tracked> array;
  EXPECT_EQ(array.Capacity(), 0u);
  uint32_t capacities[5];
  for (int i = 0; i < 5; ++i) {
    array.PushBack(i);
    capacities[i] = array.Capacity();
  }
  EXPECT_EQ(capacities[0], 1u);
  EXPECT_EQ(capacities[1], 2u);
  EXPECT_EQ(capacities[2], 4u);
  EXPECT_EQ(capacities[4], 8u);
  EXPECT_EQ(Tracked::alive, 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(array[i].value, i);
  array.Reserve(100);
  EXPECT_EQ(Tracked::copies, 0) << "temporaries pushed are taken, and growth moves the elements";
  const Tracked kept(9);
  array.PushBack(kept);
  EXPECT_EQ(Tracked::copies, 1);
  EXPECT_EQ(array[5].value, 9);
}

TEST_F(ContainersTest, PushingAnElementOfTheArrayItselfSurvivesGrowth) {
  KvArray<Tracked> array;
  array.PushBack(41);
  array.PushBack(array[0]);  // reallocates while the argument lives in the old storage
  EXPECT_EQ(array[1].value, 41);
}

TEST_F(ContainersTest, CopyIsSizedExactlyAndDeep) {
  KvArray<Tracked> array(8);
  array.PushBack(1);
  array.PushBack(2);
  array.PushBack(3);
  KvArray<Tracked> copy(array);
  EXPECT_EQ(copy.Capacity(), 3u);
  EXPECT_EQ(copy.Size(), 3u);
  copy[0].value = 99;
  EXPECT_EQ(array[0].value, 1);

  KvArray<Tracked> assigned;
  assigned.PushBack(7);
  assigned = array;
  EXPECT_EQ(assigned.Size(), 3u);
  EXPECT_EQ(assigned[2].value, 3);
  assigned = assigned;
  EXPECT_EQ(assigned.Size(), 3u);
}

TEST_F(ContainersTest, RemoveAtKeepsOrderAndCapacityAndMovesTheRest) {
  KvArray<Tracked> array;
  for (int v : {10, 20, 30, 40}) array.PushBack(v);
  const int copiesBefore = Tracked::copies;
  array.RemoveAt(0);
  EXPECT_EQ(Tracked::copies, copiesBefore) << "later elements are moved down, never copied";
  ASSERT_EQ(array.Size(), 3u);
  EXPECT_EQ(array[0].value, 20);
  EXPECT_EQ(array[1].value, 30);
  EXPECT_EQ(array[2].value, 40);
  EXPECT_EQ(array.Capacity(), 4u);
  array.RemoveAt(2);
  EXPECT_EQ(array.Size(), 2u);
  EXPECT_EQ(Tracked::alive, 2);
}

TEST_F(ContainersTest, SizesBeyondTheAllocatorsReachThrowInsteadOfWrapping) {
  struct Wide {
    char bytes[24];
  };
  // 178,956,971 x 24 bytes is 2^32 + 8: narrowed to 32 bits it would be 8 bytes.
  KvArray<Wide> wide;
  EXPECT_THROW(wide.Reserve(178956971u), std::bad_alloc);
  EXPECT_EQ(wide.Capacity(), 0u);
  EXPECT_THROW(KvString("x").Append("y", 0xFFFFFFFFu), std::bad_alloc);
}

TEST_F(ContainersTest, ReserveGrowsExactlyAndNeverShrinks) {
  KvArray<Tracked> array(4);
  array.PushBack(1);
  array.Reserve(2);
  EXPECT_EQ(array.Capacity(), 4u);
  array.Reserve(11);
  EXPECT_EQ(array.Capacity(), 11u);
  EXPECT_EQ(array.Size(), 1u);
  EXPECT_EQ(array[0].value, 1);
  array.Clear();
  EXPECT_EQ(array.Capacity(), 0u);
  EXPECT_EQ(array.Data(), nullptr);
}

TEST_F(ContainersTest, ListFindOnAnUnusedListCreatesTheSentinel) {
  KvList<Tracked> list;
  EXPECT_FALSE(list.HasSentinel());
  auto* found = list.Find(Tracked(3));
  EXPECT_TRUE(list.HasSentinel());
  EXPECT_EQ(found, list.Sentinel()) << "not found answers the sentinel";
  EXPECT_EQ(list.Count(), 0u);
}

TEST_F(ContainersTest, ListKeepsInsertionOrderAndRemovesEveryMatch) {
  KvList<Tracked> list;
  for (int v : {1, 2, 1, 3, 1}) list.PushBack(v);
  EXPECT_EQ(list.Count(), 5u);
  EXPECT_EQ(list.Find(Tracked(3))->value.value, 3);
  list.RemoveValue(Tracked(1));
  EXPECT_EQ(list.Count(), 2u);
  int order[2];
  int i = 0;
  for (Tracked& t : list) order[i++] = t.value;
  EXPECT_EQ(order[0], 2);
  EXPECT_EQ(order[1], 3);
  list.Clear();
  EXPECT_FALSE(list.HasSentinel());
  EXPECT_EQ(list.Count(), 0u);
}

TEST_F(ContainersTest, ListNodesKeepTheirAddresses) {
  KvList<int> list;
  auto* first = list.PushBack(1);
  for (int v = 2; v < 100; ++v) list.PushBack(v);
  EXPECT_EQ(first->value, 1);
  EXPECT_EQ(list.Find(1), first);
}

}  // namespace
