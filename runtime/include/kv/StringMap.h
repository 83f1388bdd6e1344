// KvStringMap: a string-keyed hash map with a fixed number of buckets.
//
// The hash starts at 5381 and, for each byte taken as a signed 8-bit value, becomes
// h * 33 + byte (32-bit wrap-around); the bucket is its low bits. The hash and the
// bucket counts (4096 for names, 2048 for face-graph nodes, 128 for archive class
// versions) decide where archived class-version entries go; never change them.
#pragma once

#include <cstdint>
#include <cstring>

#include "kv/Array.h"
#include "kv/String.h"

uint32_t KvHashString(const char* text, uint32_t length);

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

  // The value stored under the key, or null.
  V* Find(const char* text, uint32_t length) {
    KvArray<Entry>& bucket = buckets_[BucketOf(text, length)];
    for (Entry& entry : bucket) {
      if (Matches(entry.key, text, length)) {
        ++hitCount_;
        return &entry.value;
      }
    }
    return nullptr;
  }
  V* Find(const KvString& key) { return Find(key.View(), key.Length()); }

  // Inserts unless the key is present (then the old value stays and false is returned).
  bool Insert(const char* text, uint32_t length, const V& value) {
    KvArray<Entry>& bucket = buckets_[BucketOf(text, length)];
    for (Entry& entry : bucket) {
      if (Matches(entry.key, text, length)) {
        ++hitCount_;
        return false;
      }
    }
    if (!bucket.Empty()) ++collisionCount_;
    ++insertCount_;
    bucket.PushBack(Entry{KvString(text, length), value});
    return true;
  }
  bool Insert(const KvString& key, const V& value) { return Insert(key.View(), key.Length(), value); }

  // Appends an entry to a given bucket without hashing (archived tables say where).
  void AppendToBucket(uint32_t bucket, const KvString& key, const V& value) {
    buckets_[bucket & (BucketCount - 1)].PushBack(Entry{key, value});
  }

  bool Remove(const char* text, uint32_t length) {
    KvArray<Entry>& bucket = buckets_[BucketOf(text, length)];
    for (uint32_t i = 0; i < bucket.Size(); ++i) {
      if (Matches(bucket[i].key, text, length)) {
        ++removeCount_;
        bucket.RemoveAt(i);
        return true;
      }
    }
    return false;
  }

  // Empties every bucket and zeroes the counters.
  void Clear() {
    for (KvArray<Entry>& bucket : buckets_) bucket.Clear();
    ResetCounters();
  }
  void ResetCounters() { insertCount_ = removeCount_ = collisionCount_ = hitCount_ = 0; }

  KvArray<Entry>& Bucket(uint32_t index) { return buckets_[index]; }
  const KvArray<Entry>& Bucket(uint32_t index) const { return buckets_[index]; }

  uint32_t InsertCount() const { return insertCount_; }
  uint32_t RemoveCount() const { return removeCount_; }
  uint32_t CollisionCount() const { return collisionCount_; }
  uint32_t HitCount() const { return hitCount_; }

 private:
  static bool Matches(const KvString& key, const char* text, uint32_t length) {
    return key.Length() == length && (length == 0 || std::memcmp(key.Data(), text, length) == 0);
  }

  uint32_t insertCount_ = 0;
  uint32_t removeCount_ = 0;
  uint32_t collisionCount_ = 0;
  uint32_t hitCount_ = 0;
  KvArray<Entry> buckets_[BucketCount] = {};
};
