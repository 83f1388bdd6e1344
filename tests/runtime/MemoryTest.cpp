// The sized allocator and its small-block pools.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kv/Memory.h"
#include "kv/Runtime.h"

namespace {

struct CountingAllocator {
  static inline int allocations = 0;
  static inline int releases = 0;
  static inline uint32_t lastSize = 0;
  static void* Allocate(uint32_t size) {
    ++allocations;
    lastSize = size;
    return ::operator new(size);
  }
  static void Free(void* pointer, uint32_t) {
    ++releases;
    ::operator delete(pointer);
  }
};

// Pools over the caller's functions. Shut-down must hand every chunk back through
// them, including chunks whose blocks were never freed.
class PooledRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    CountingAllocator::allocations = CountingAllocator::releases = 0;
    // Policy neither 0 nor 1: the caller's functions.
    KvRuntimeStartup({.allocationPolicy = 7, .useMemoryPools = true, .allocate = &CountingAllocator::Allocate,
                      .free = &CountingAllocator::Free});
  }
  void TearDown() override {
    KvRuntimeShutdown();
    EXPECT_EQ(CountingAllocator::allocations, CountingAllocator::releases);
    EXPECT_EQ(KvGetPoolSizeClass(1).firstChunk, nullptr);
    EXPECT_EQ(KvGetPoolSizeClass(1).blockSize, 0u);
    EXPECT_EQ(KvGetMemoryConfig().allocate, nullptr);
  }

  static bool InChunk(const KvPoolChunk* chunk, const void* pointer) {
    auto* p = static_cast<const uint8_t*>(pointer);
    return p >= chunk->data && p < chunk->data + chunk->bytes;
  }
};

TEST_F(PooledRuntime, SixteenClassesServeTheSmallestRequestsThatFitAndFullChunksGrowAndReuseFreedBlocksFirst) {
  for (uint32_t i = 0; i < kKvPoolSizeClassCount; ++i) {
    EXPECT_EQ(KvGetPoolSizeClass(i).blockSize, 8 * (i + 1));
    ASSERT_NE(KvGetPoolSizeClass(i).firstChunk, nullptr) << "every class owns one chunk from start-up";
  }

  struct Case {
    uint32_t size;
    int sizeClass;  // -1: the configured allocation function
  } cases[] = {{0, 0}, {1, 0}, {8, 0}, {9, 1}, {127, 15}, {128, 15}, {129, -1}, {4000, -1}};
  for (const Case& c : cases) {
    const int before = CountingAllocator::allocations;
    void* block = KvAllocate(c.size);
    if (c.sizeClass < 0) {
      EXPECT_EQ(CountingAllocator::allocations, before + 1) << c.size;
      EXPECT_EQ(CountingAllocator::lastSize, c.size);
    } else {
      EXPECT_EQ(CountingAllocator::allocations, before) << c.size;
      EXPECT_TRUE(InChunk(KvGetPoolSizeClass(c.sizeClass).firstChunk, block)) << c.size;
    }
    KvFree(block, c.size);
  }

  // Each block holds its own pattern; any overlap corrupts a neighbour.
  const KvPoolSizeClass& eights = KvGetPoolSizeClass(0);
  std::vector<void*> blocks;
  for (int i = 0; i < 256; ++i) blocks.push_back(std::memset(KvAllocate(8), i, 8));
  for (int i = 0; i < 256; ++i) ASSERT_EQ(std::memcmp(blocks[i], std::string(8, static_cast<char>(i)).data(), 8), 0);
  ASSERT_NE(eights.firstChunk->next, nullptr) << "the 256th block needs a second chunk";
  EXPECT_TRUE(InChunk(eights.firstChunk->next, blocks[255]));
  EXPECT_EQ(eights.firstChunk->freeBlocks, 0);

  // Freeing one block of the first chunk makes the next allocation come from it.
  KvFree(blocks[10], 8);
  EXPECT_EQ(KvAllocate(8), blocks[10]);

  // Freed blocks are reused last-freed-first: free A then B, get B then A.
  KvFree(blocks[3], 8);
  KvFree(blocks[7], 8);
  EXPECT_EQ(KvAllocate(8), blocks[7]);
  EXPECT_EQ(KvAllocate(8), blocks[3]);
  // Left allocated: pooled memory dies with the pools.
}

}  // namespace
