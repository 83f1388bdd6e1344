// The runtime's one allocation pair and its configuration.
//
// Every allocation of the runtime, the archive and the object models goes through
// KvAllocate / KvFree. Freeing names the size that was allocated: the pooled
// allocator keeps no header in front of a block and finds the block's size class
// from that size.
#pragma once

#include <cstdint>

// How KvAllocate and KvFree get their memory; applied by runtime start-up.
struct KvMemoryConfig {
  // 0: global operator new / operator delete; 1: malloc / free;
  // any other value: the three functions below, supplied by the caller.
  uint32_t allocationPolicy = 0;
  // Blocks of up to 128 bytes come from sixteen fixed-size pools.
  bool useMemoryPools = false;
  void* (*allocate)(uint32_t size) = nullptr;
  // Stored beside `allocate` and never called by the runtime.
  void* (*allocateDebug)(uint32_t size) = nullptr;
  void (*free)(void* pointer, uint32_t size) = nullptr;
};

// Returns at least `size` bytes. Under policy 0 exhaustion throws std::bad_alloc;
// under the other policies the configured function's result is returned as is.
void* KvAllocate(uint32_t size);

// Releases a block. `size` must be the size given to KvAllocate (or any size of the
// same pool size class). A null pointer is ignored.
void KvFree(void* pointer, uint32_t size);

// The byte size of `count` elements of `elementSize` bytes, computed in 64 bits
// (also where size_t has 32). A block the allocator's 32-bit sizes cannot describe is a request no
// allocator can serve: it throws std::bad_alloc, whatever the policy.
uint32_t KvBlockBytes(uint64_t count, uint64_t elementSize);

// Applies `config` (copied into the global configuration unless it is the global
// one) and builds the pools when asked. Called by runtime start-up.
void KvMemoryStartup(const KvMemoryConfig& config);
// Releases every pool chunk and clears the configuration. Called by runtime shut-down.
void KvMemoryShutdown();
// The configuration in force (function fields null before start-up).
const KvMemoryConfig& KvGetMemoryConfig();

// ---- Pool inspection ------------------------------------------------------------
// The pool table is exposed read-only so that tools and tests can see chunk usage.

struct KvPoolChunk {
  uint8_t* data;           // the chunk's storage
  uint32_t bytes;          // blockSize * blocksPerChunk
  uint8_t firstFreeBlock;  // index of the first free block
  uint8_t freeBlocks;      // number of free blocks
  KvPoolChunk* next;       // next chunk of the class, null at the end
};

struct KvPoolSizeClass {
  uint32_t blockSize;
  uint8_t blocksPerChunk;
  KvPoolChunk* firstChunk;
};

inline constexpr uint32_t kKvPoolSizeClassCount = 16;
inline constexpr uint32_t kKvPoolLargestBlock = 128;

// Size class `index` (0..15) of the pool table; all zero while pools are off.
const KvPoolSizeClass& KvGetPoolSizeClass(uint32_t index);
