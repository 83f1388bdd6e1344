// KvArray: the runtime's growable contiguous array.
//
// Elements 0..size-1 are constructed, the rest of the storage is raw. Storage comes
// from KvAllocate and is released with capacity * sizeof(T). Growth doubles from 1
// and moves the elements to the new storage; copies are sized exactly (capacity =
// the source's size). An array of pointers never destroys its pointees: their
// owner does. A size whose bytes the 32-bit allocator cannot describe throws
// std::bad_alloc (see KvBlockBytes).
#pragma once

#include <cstdint>
#include <new>
#include <utility>

#include "kv/Memory.h"

template <typename T>
class KvArray {
 public:
  constexpr KvArray() = default;
  explicit KvArray(uint32_t initialCapacity) {
    if (initialCapacity > 0) {
      data_ = Allocate(initialCapacity);
      capacity_ = initialCapacity;
    }
  }
  KvArray(const KvArray& other) {
    if (other.size_ == 0) return;
    data_ = Allocate(other.size_);
    capacity_ = other.size_;
    for (uint32_t i = 0; i < other.size_; ++i) new (data_ + i) T(other.data_[i]);
    size_ = other.size_;
  }
  KvArray& operator=(const KvArray& other) {
    if (this != &other) {
      KvArray copy(other);
      Swap(copy);
    }
    return *this;
  }
  ~KvArray() { Clear(); }

  // Appends a copy of `value` (or takes it, when it is an rvalue); when full, the
  // capacity becomes 1 or doubles.
  void PushBack(const T& value) { Append(value); }
  void PushBack(T&& value) { Append(std::move(value)); }

  // Grows the storage to exactly `count` elements; never shrinks.
  void Reserve(uint32_t count) {
    if (count <= capacity_) return;
    T* storage = Allocate(count);
    for (uint32_t i = 0; i < size_; ++i) new (storage + i) T(std::move(data_[i]));
    Release(data_, size_, capacity_);
    data_ = storage;
    capacity_ = count;
  }

  // Removes element `index` keeping the order of the others; capacity unchanged.
  // The later elements move down one place (moved, not copied).
  void RemoveAt(uint32_t index) {
    for (uint32_t i = index + 1; i < size_; ++i) data_[i - 1] = std::move(data_[i]);
    --size_;
    data_[size_].~T();
  }

  // Destroys the elements and releases the storage; all fields zero.
  void Clear() {
    Release(data_, size_, capacity_);
    data_ = nullptr;
    capacity_ = 0;
    size_ = 0;
  }

  void Swap(KvArray& other) {
    std::swap(data_, other.data_);
    std::swap(capacity_, other.capacity_);
    std::swap(size_, other.size_);
  }

  // Replaces the contents with `count` default-constructed elements in storage of
  // exactly that capacity (how arrays are rebuilt when loaded).
  void Resize(uint32_t count) {
    KvArray fresh(count);
    for (uint32_t i = 0; i < count; ++i) new (fresh.data_ + i) T();
    fresh.size_ = count;
    Swap(fresh);
  }

  T& operator[](uint32_t index) { return data_[index]; }
  const T& operator[](uint32_t index) const { return data_[index]; }
  uint32_t Size() const { return size_; }
  uint32_t Capacity() const { return capacity_; }
  bool Empty() const { return size_ == 0; }
  T* Data() { return data_; }
  const T* Data() const { return data_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

 private:
  template <typename V>
  void Append(V&& value) {
    if (size_ < capacity_) {
      new (data_ + size_) T(std::forward<V>(value));
      ++size_;
      return;
    }
    const uint64_t grown = capacity_ == 0 ? 1 : uint64_t{capacity_} * 2;
    T* storage = Allocate(grown);
    new (storage + size_) T(std::forward<V>(value));  // first: `value` may live in the old storage
    for (uint32_t i = 0; i < size_; ++i) new (storage + i) T(std::move(data_[i]));
    T* old = data_;
    const uint32_t oldSize = size_;
    const uint32_t oldCapacity = capacity_;
    data_ = storage;
    capacity_ = static_cast<uint32_t>(grown);
    size_ = oldSize + 1;
    Release(old, oldSize, oldCapacity);
  }

  static T* Allocate(uint64_t count) { return static_cast<T*>(KvAllocate(KvBlockBytes(count, sizeof(T)))); }
  static void Release(T* storage, uint32_t size, uint32_t capacity) {
    for (uint32_t i = 0; i < size; ++i) storage[i].~T();
    if (storage != nullptr) KvFree(storage, KvBlockBytes(capacity, sizeof(T)));
  }

  T* data_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t size_ = 0;
};
