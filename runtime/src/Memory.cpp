#include "kv/Memory.h"

#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define KV_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define KV_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define KV_POISON(address, size) ((void)(address), (void)(size))
#define KV_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace {

KvMemoryConfig g_config;
KvPoolSizeClass g_pools[kKvPoolSizeClassCount];

void* NewAllocate(uint32_t size) { return ::operator new(size); }
void NewFree(void* pointer, uint32_t) { ::operator delete(pointer); }
void* MallocAllocate(uint32_t size) { return std::malloc(size); }
void MallocFree(void* pointer, uint32_t) { std::free(pointer); }

// First class whose blocks hold `size` bytes; null above the largest block.
KvPoolSizeClass* SizeClassFor(uint32_t size) {
  if (!g_config.useMemoryPools || size > kKvPoolLargestBlock) return nullptr;
  for (KvPoolSizeClass& sizeClass : g_pools) {
    if (sizeClass.blockSize >= size) return &sizeClass;
  }
  return nullptr;
}

// A chunk with every block free: block i stores i + 1 in its first byte.
KvPoolChunk* NewChunk(const KvPoolSizeClass& sizeClass) {
  auto* chunk = static_cast<KvPoolChunk*>(g_config.allocate(sizeof(KvPoolChunk)));
  if (chunk == nullptr) return nullptr;
  chunk->bytes = sizeClass.blockSize * sizeClass.blocksPerChunk;
  chunk->data = static_cast<uint8_t*>(g_config.allocate(chunk->bytes));
  if (chunk->data == nullptr) {
    g_config.free(chunk, sizeof(KvPoolChunk));
    return nullptr;
  }
  chunk->firstFreeBlock = 0;
  chunk->freeBlocks = sizeClass.blocksPerChunk;
  chunk->next = nullptr;
  for (uint32_t i = 0; i < sizeClass.blocksPerChunk; ++i) {
    uint8_t* block = chunk->data + i * sizeClass.blockSize;
    block[0] = static_cast<uint8_t>(i + 1);
    KV_POISON(block + 1, sizeClass.blockSize - 1);
  }
  return chunk;
}

void* TakeBlock(KvPoolSizeClass& sizeClass, KvPoolChunk& chunk) {
  uint8_t* block = chunk.data + chunk.firstFreeBlock * sizeClass.blockSize;
  chunk.firstFreeBlock = block[0];
  --chunk.freeBlocks;
  KV_UNPOISON(block, sizeClass.blockSize);
  return block;
}

}  // namespace

void* KvAllocate(uint32_t size) {
  KvPoolSizeClass* sizeClass = SizeClassFor(size);
  if (sizeClass == nullptr) return g_config.allocate(size);

  KvPoolChunk** link = &sizeClass->firstChunk;
  for (KvPoolChunk* chunk = *link; chunk != nullptr; chunk = chunk->next) {
    if (chunk->freeBlocks > 0) return TakeBlock(*sizeClass, *chunk);
    link = &chunk->next;
  }
  KvPoolChunk* chunk = NewChunk(*sizeClass);
  if (chunk == nullptr) return nullptr;
  *link = chunk;
  return TakeBlock(*sizeClass, *chunk);
}

uint32_t KvBlockBytes(uint64_t count, uint64_t elementSize) {
  if (elementSize != 0 && count > UINT32_MAX / elementSize) throw std::bad_alloc();
  return static_cast<uint32_t>(count * elementSize);
}

void KvFree(void* pointer, uint32_t size) {
  if (pointer == nullptr) return;
  KvPoolSizeClass* sizeClass = SizeClassFor(size);
  if (sizeClass == nullptr) {
    g_config.free(pointer, size);
    return;
  }
  auto* block = static_cast<uint8_t*>(pointer);
  for (KvPoolChunk* chunk = sizeClass->firstChunk; chunk != nullptr; chunk = chunk->next) {
    if (block < chunk->data || block >= chunk->data + chunk->bytes) continue;
    block[0] = chunk->firstFreeBlock;
    chunk->firstFreeBlock = static_cast<uint8_t>((block - chunk->data) / sizeClass->blockSize);
    ++chunk->freeBlocks;
    KV_POISON(block + 1, sizeClass->blockSize - 1);
    return;
  }
  // A pointer no chunk holds is a caller error; it is left alone.
}

void KvMemoryStartup(const KvMemoryConfig& config) {
  if (&config != &g_config) g_config = config;
  switch (g_config.allocationPolicy) {
    case 0:
      g_config.allocate = NewAllocate;
      g_config.allocateDebug = NewAllocate;
      g_config.free = NewFree;
      break;
    case 1:
      g_config.allocate = MallocAllocate;
      g_config.allocateDebug = MallocAllocate;
      g_config.free = MallocFree;
      break;
    default:
      break;
  }
  if (!g_config.useMemoryPools) return;
  for (uint32_t i = 0; i < kKvPoolSizeClassCount; ++i) {
    KvPoolSizeClass& sizeClass = g_pools[i];
    sizeClass.blockSize = 8 * (i + 1);
    const uint32_t perChunk = 4096 / sizeClass.blockSize;
    sizeClass.blocksPerChunk = static_cast<uint8_t>(perChunk < 255 ? perChunk : 255);
    sizeClass.firstChunk = NewChunk(sizeClass);
  }
}

void KvMemoryShutdown() {
  if (g_config.useMemoryPools && g_config.free != nullptr) {
    for (KvPoolSizeClass& sizeClass : g_pools) {
      KvPoolChunk* chunk = sizeClass.firstChunk;
      while (chunk != nullptr) {
        KvPoolChunk* next = chunk->next;
        KV_UNPOISON(chunk->data, chunk->bytes);
        g_config.free(chunk->data, chunk->bytes);
        g_config.free(chunk, sizeof(KvPoolChunk));
        chunk = next;
      }
      sizeClass = KvPoolSizeClass{};
    }
  }
  g_config = KvMemoryConfig{};
}

const KvMemoryConfig& KvGetMemoryConfig() { return g_config; }

const KvPoolSizeClass& KvGetPoolSizeClass(uint32_t index) { return g_pools[index % kKvPoolSizeClassCount]; }
