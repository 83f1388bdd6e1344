// KvStringMap: a string-keyed hash map with a fixed number of buckets.
//
// The hash starts at 5381 and, for each byte taken as a signed 8-bit value, becomes
// h * 33 + byte (32-bit wrap-around); the bucket is its low bits. The hash and the
// bucket counts (4096 for names, 2048 for face-graph nodes, 128 for archive class
// versions) decide where archived class-version entries go; never change them.
//
// Within a bucket, entries keep their insertion order (archives write them in that
// order). Anyone can make many keys share a bucket of this hash, so a bucket that
// outgrows a few entries gets an index of its own, under a keyed hash nobody can
// aim at: finding, inserting and removing at the end of a crowded bucket stay
// constant-time on average however the keys were chosen.
#pragma once

#include <cstdint>
#include <cstring>

#include "kv/Array.h"
#include "kv/Memory.h"
#include "kv/String.h"

uint32_t KvHashString(const char* text, uint32_t length);
// SipHash-1-3 of the bytes under the key (k0, k1): the bytes of k0 then k1, low first.
uint64_t KvSipHash13(uint64_t k0, uint64_t k1, const char* text, uint32_t length);
// KvSipHash13 under a key drawn once per process.
uint64_t KvKeyedHashString(const char* text, uint32_t length);

template <typename V, uint32_t BucketCount>
class KvStringMap {
  static_assert((BucketCount & (BucketCount - 1)) == 0, "bucket count must be a power of two");

 public:
  struct Entry {
    KvString key;
    V value;
  };

  static constexpr uint32_t kBucketCount = BucketCount;
  static uint32_t BucketOf(const char* text, uint32_t length) {
    return KvHashString(text, length) & (BucketCount - 1);
  }

  constexpr KvStringMap() = default;
  KvStringMap(const KvStringMap&) = delete;
  KvStringMap& operator=(const KvStringMap&) = delete;
  ~KvStringMap() { DropIndexes(); }

  // The value stored under the key, or null.
  V* Find(const char* text, uint32_t length) {
    const uint32_t b = BucketOf(text, length);
    const uint32_t at = PositionIn(b, text, length);
    if (at == kNowhere) return nullptr;
    ++hitCount_;
    return &buckets_[b][at].value;
  }
  V* Find(const KvString& key) { return Find(key.View(), key.Length()); }

  // Inserts unless the key is present (then the old value stays and false is returned).
  bool Insert(const char* text, uint32_t length, const V& value) {
    const uint32_t b = BucketOf(text, length);
    if (PositionIn(b, text, length) != kNowhere) {
      ++hitCount_;
      return false;
    }
    if (!buckets_[b].Empty()) ++collisionCount_;
    ++insertCount_;
    Append(b, KvString(text, length), value);
    return true;
  }
  bool Insert(const KvString& key, const V& value) { return Insert(key.View(), key.Length(), value); }

  // Appends an entry to a given bucket without hashing (archived tables say where).
  void AppendToBucket(uint32_t bucket, const KvString& key, const V& value) {
    Append(bucket & (BucketCount - 1), key, value);
  }
  // True when `bucket` holds the key (wherever the key would hash to).
  bool BucketHolds(uint32_t bucket, const char* text, uint32_t length) const {
    return PositionIn(bucket & (BucketCount - 1), text, length) != kNowhere;
  }

  // Order-keeping removal.
  bool Remove(const char* text, uint32_t length) {
    const uint32_t b = BucketOf(text, length);
    const uint32_t at = PositionIn(b, text, length);
    if (at == kNowhere) return false;
    ++removeCount_;
    Unindex(b, at);
    buckets_[b].RemoveAt(at);
    return true;
  }

  // Empties every bucket and zeroes the counters.
  void Clear() {
    for (KvArray<Entry>& bucket : buckets_) bucket.Clear();
    DropIndexes();
    ResetCounters();
  }
  void ResetCounters() { insertCount_ = removeCount_ = collisionCount_ = hitCount_ = 0; }
  // Makes every bucket a copy of `other`'s, entries in the same order.
  void CopyBucketsFrom(const KvStringMap& other) {
    Clear();
    for (uint32_t b = 0; b < BucketCount; ++b) {
      for (const Entry& entry : other.buckets_[b]) Append(b, entry.key, entry.value);
    }
  }

  const KvArray<Entry>& Bucket(uint32_t index) const { return buckets_[index]; }

  uint32_t InsertCount() const { return insertCount_; }
  uint32_t RemoveCount() const { return removeCount_; }
  uint32_t CollisionCount() const { return collisionCount_; }
  uint32_t HitCount() const { return hitCount_; }

 private:
  static constexpr uint32_t kNowhere = 0xFFFFFFFFu;
  // A bucket longer than this is indexed; shorter ones are searched in order.
  static constexpr uint32_t kIndexedBucketSize = 8;

  // One slot of a bucket's open-addressing index: the entry's position + 1 (0 for
  // an empty slot) and 32 bits of its keyed hash.
  struct Slot {
    uint32_t position;
    uint32_t hash;
  };
  struct BucketIndex {
    Slot* slots;
    uint32_t capacity;  // a power of two, at least twice the entries indexed
  };

  static bool Matches(const KvString& key, const char* text, uint32_t length) {
    return key.Length() == length && (length == 0 || std::memcmp(key.Data(), text, length) == 0);
  }
  static uint32_t SlotHash(const char* text, uint32_t length) {
    return static_cast<uint32_t>(KvKeyedHashString(text, length));
  }
  BucketIndex* IndexOf(uint32_t b) const {
    return indexes_ != nullptr && indexes_[b].slots != nullptr ? &indexes_[b] : nullptr;
  }

  uint32_t PositionIn(uint32_t b, const char* text, uint32_t length) const {
    const KvArray<Entry>& bucket = buckets_[b];
    const BucketIndex* index = IndexOf(b);
    if (index == nullptr) {
      for (uint32_t i = 0; i < bucket.Size(); ++i) {
        if (Matches(bucket[i].key, text, length)) return i;
      }
      return kNowhere;
    }
    const uint32_t hash = SlotHash(text, length);
    const uint32_t mask = index->capacity - 1;
    for (uint32_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = index->slots[at];
      if (slot.position == 0) return kNowhere;
      if (slot.hash == hash && Matches(bucket[slot.position - 1].key, text, length)) return slot.position - 1;
    }
  }

  static void Place(BucketIndex& index, uint32_t position, uint32_t hash) {
    const uint32_t mask = index.capacity - 1;
    uint32_t at = hash & mask;
    while (index.slots[at].position != 0) at = (at + 1) & mask;
    index.slots[at] = Slot{position + 1, hash};
  }

  // Indexes every entry of bucket `b` in a table of `capacity` slots.
  void Rebuild(uint32_t b, uint32_t capacity) {
    if (indexes_ == nullptr) {
      indexes_ = static_cast<BucketIndex*>(KvAllocate(KvBlockBytes(BucketCount, sizeof(BucketIndex))));
      for (uint32_t i = 0; i < BucketCount; ++i) indexes_[i] = BucketIndex{nullptr, 0};
    }
    BucketIndex& index = indexes_[b];
    auto* slots = static_cast<Slot*>(KvAllocate(KvBlockBytes(capacity, sizeof(Slot))));
    FreeSlots(index);
    index = BucketIndex{slots, capacity};
    for (uint32_t i = 0; i < capacity; ++i) index.slots[i] = Slot{0, 0};
    const KvArray<Entry>& bucket = buckets_[b];
    for (uint32_t i = 0; i < bucket.Size(); ++i) {
      Place(index, i, SlotHash(bucket[i].key.View(), bucket[i].key.Length()));
    }
  }

  void Append(uint32_t b, const KvString& key, const V& value) {
    KvArray<Entry>& bucket = buckets_[b];
    bucket.PushBack(Entry{key, value});
    const uint32_t size = bucket.Size();
    if (size <= kIndexedBucketSize) return;
    BucketIndex* index = IndexOf(b);
    if (index == nullptr || uint64_t{size} * 2 > index->capacity) {
      uint32_t capacity = 32;
      while (capacity < uint64_t{size} * 4) capacity *= 2;
      Rebuild(b, capacity);
      return;
    }
    Place(*index, size - 1, SlotHash(key.View(), key.Length()));
  }

  // Takes entry `position` out of bucket `b`'s index before the bucket removes it:
  // its slot is emptied (the slots after it in its probe run move back), and the
  // entries after it, which the removal moves down one place, are renumbered.
  void Unindex(uint32_t b, uint32_t position) {
    BucketIndex* index = IndexOf(b);
    if (index == nullptr) return;
    const uint32_t mask = index->capacity - 1;
    Slot* slots = index->slots;
    const KvString& key = buckets_[b][position].key;
    uint32_t hole = SlotHash(key.View(), key.Length()) & mask;
    while (slots[hole].position != position + 1) hole = (hole + 1) & mask;
    for (uint32_t next = (hole + 1) & mask; slots[next].position != 0; next = (next + 1) & mask) {
      const uint32_t home = slots[next].hash & mask;
      // The slot may move back to the hole unless its home lies cyclically in (hole, next].
      const bool stays = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
      if (stays) continue;
      slots[hole] = slots[next];
      hole = next;
    }
    slots[hole] = Slot{0, 0};
    if (position + 1 == buckets_[b].Size()) return;
    for (uint32_t i = 0; i < index->capacity; ++i) {
      if (slots[i].position > position + 1) --slots[i].position;
    }
  }

  static void FreeSlots(BucketIndex& index) {
    if (index.slots != nullptr) KvFree(index.slots, KvBlockBytes(index.capacity, sizeof(Slot)));
    index = BucketIndex{nullptr, 0};
  }
  void DropIndexes() {
    if (indexes_ == nullptr) return;
    for (uint32_t i = 0; i < BucketCount; ++i) FreeSlots(indexes_[i]);
    KvFree(indexes_, KvBlockBytes(BucketCount, sizeof(BucketIndex)));
    indexes_ = nullptr;
  }

  uint32_t insertCount_ = 0;
  uint32_t removeCount_ = 0;
  uint32_t collisionCount_ = 0;
  uint32_t hitCount_ = 0;
  KvArray<Entry> buckets_[BucketCount] = {};
  BucketIndex* indexes_ = nullptr;  // per bucket; allocated when a bucket first needs one
};
