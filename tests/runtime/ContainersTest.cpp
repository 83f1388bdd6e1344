// KvArray and KvList: growth, copies, removal, and element lifetimes.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "kv/Array.h"
#include "kv/List.h"
#include "kv/Runtime.h"
#include "kv/String.h"

namespace {

// Counts live elements, so leaks and double destruction show, and copies, so that
// moves which copy show.
struct Tracked {
  static inline int alive = 0;
  static inline int copies = 0;
  int value = 0;
  Tracked(int v = 0) : value(v) { ++alive; }  // NOLINT: implicit on purpose
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
  Tracked& operator=(Tracked&&) noexcept = default;
  ~Tracked() { --alive; }
  bool operator==(const Tracked& other) const { return value == other.value; }
};

class ContainersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Tracked::alive = Tracked::copies = 0;
    KvRuntimeStartupDefault();
  }
  void TearDown() override {
    EXPECT_EQ(Tracked::alive, 0) << "every element constructed was destroyed exactly once";
    KvRuntimeShutdown();
  }
  static std::vector<int> Values(const KvArray<Tracked>& array) {
    std::vector<int> values;
    for (uint32_t i = 0; i < array.Size(); ++i) values.push_back(array[i].value);
    return values;
  }
};

TEST_F(ContainersTest, ArrayGrowsByDoublingReservesExactlyAndThrowsBeyondTheAllocatorsReach) {
  KvArray<Tracked> array;
  std::vector<uint32_t> capacities = {array.Capacity()};
  for (int i = 0; i < 4; ++i) {
    array.PushBack(i);
    capacities.push_back(array.Capacity());
  }
  EXPECT_EQ(Tracked::copies, 0) << "temporaries pushed are taken, and growth moves the elements";
  array.PushBack(array[0]);  // reallocates while the argument lives in the old storage
  capacities.push_back(array.Capacity());
  EXPECT_EQ(Tracked::copies, 1);
  EXPECT_EQ(capacities, (std::vector<uint32_t>{0, 1, 2, 4, 4, 8}));
  EXPECT_EQ(Values(array), (std::vector<int>{0, 1, 2, 3, 0}));
  array.Reserve(2);
  EXPECT_EQ(array.Capacity(), 8u) << "never shrinks";
  array.Reserve(11);
  EXPECT_EQ(array.Capacity(), 11u);
  EXPECT_EQ(Values(array), (std::vector<int>{0, 1, 2, 3, 0}));
  array.Clear();
  EXPECT_EQ(array.Capacity(), 0u);
  EXPECT_EQ(array.Data(), nullptr);

  struct Wide {
    char bytes[24];
  };
  // 178,956,971 x 24 bytes is 2^32 + 8: narrowed to 32 bits it would be 8 bytes.
  KvArray<Wide> wide;
  EXPECT_THROW(wide.Reserve(178956971u), std::bad_alloc);
  EXPECT_EQ(wide.Capacity(), 0u);
  EXPECT_THROW(KvString("x").Append("y", 0xFFFFFFFFu), std::bad_alloc);
}

TEST_F(ContainersTest, CopiesAreSizedExactlyAndDeepRemovalKeepsOrderAndListsKeepAddressesAndRemoveEveryMatch) {
  KvArray<Tracked> array(8);
  for (int v : {10, 20, 30, 40}) array.PushBack(v);
  KvArray<Tracked> copy(array);
  EXPECT_EQ(copy.Capacity(), 4u);
  copy[0].value = 99;
  EXPECT_EQ(array[0].value, 10);
  KvArray<Tracked> assigned;
  assigned.PushBack(7);
  assigned = array;
  assigned = assigned;
  EXPECT_EQ(Values(assigned), Values(array));

  const int copiesBefore = Tracked::copies;
  array.RemoveAt(0);
  EXPECT_EQ(Tracked::copies, copiesBefore) << "later elements are moved down, never copied";
  array.RemoveAt(2);
  EXPECT_EQ(Values(array), (std::vector<int>{20, 30}));
  EXPECT_EQ(array.Capacity(), 8u);

  KvList<Tracked> list;
  EXPECT_FALSE(list.HasSentinel());
  EXPECT_EQ(list.Find(Tracked(3)), list.Sentinel()) << "not found answers the sentinel, made on first use";
  EXPECT_TRUE(list.HasSentinel());
  auto* first = list.PushBack(1);
  for (int v : {2, 1, 3, 1}) list.PushBack(v);
  for (int v = 10; v < 100; ++v) list.PushBack(v);
  EXPECT_EQ(list.Find(Tracked(1)), first) << "nodes keep their addresses";
  EXPECT_EQ(list.Find(Tracked(3))->value.value, 3);
  list.RemoveValue(Tracked(1));
  EXPECT_EQ(list.Count(), 92u);
  std::vector<int> order;
  for (Tracked& t : list) order.push_back(t.value);
  EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 3), (std::vector<int>{2, 3, 10}));
  list.Clear();
  EXPECT_FALSE(list.HasSentinel());
  EXPECT_EQ(list.Count(), 0u);
}

}  // namespace
