#include "kv/String.h"

#include <cstring>

#include "kv/Memory.h"

KvString::KvString(const char* text, uint32_t count) { Assign(text, count); }

KvString::KvString(const KvString& other) {
  if (other.length_ == 0) return;
  data_ = static_cast<char*>(KvAllocate(other.length_ + 1));
  std::memcpy(data_, other.data_, other.length_);
  data_[other.length_] = '\0';
  capacity_ = other.length_ + 1;
  length_ = other.length_;
}

KvString& KvString::operator=(const KvString& other) {
  KvString copy(other);
  Swap(copy);
  return *this;
}

KvString::~KvString() { Clear(); }

void KvString::Clear() {
  KvFree(data_, capacity_);
  data_ = nullptr;
  capacity_ = 0;
  length_ = 0;
}

void KvString::Swap(KvString& other) noexcept {
  char* data = data_;
  uint32_t capacity = capacity_;
  uint32_t length = length_;
  data_ = other.data_;
  capacity_ = other.capacity_;
  length_ = other.length_;
  other.data_ = data;
  other.capacity_ = capacity;
  other.length_ = length;
}

void KvString::Assign(const char* text, uint32_t count) {
  Clear();
  if (text == nullptr) return;
  if (count == kMeasure) count = KvBlockBytes(std::strlen(text), 1);
  if (count == 0) return;
  data_ = static_cast<char*>(KvAllocate(KvBlockBytes(uint64_t{count} + 1, 1)));
  std::memcpy(data_, text, count);
  data_[count] = '\0';
  capacity_ = count + 1;
  length_ = count;
}

void KvString::Append(const char* text, uint32_t count) {
  const uint32_t needed = KvBlockBytes(uint64_t{length_} + count + 1, 1);
  if (capacity_ >= needed) {
    if (count > 0) std::memmove(data_ + length_, text, count);
    length_ += count;
    data_[length_] = '\0';
    return;
  }
  auto* grown = static_cast<char*>(KvAllocate(needed));
  if (length_ > 0) std::memcpy(grown, data_, length_);
  if (count > 0) std::memcpy(grown + length_, text, count);
  KvFree(data_, capacity_);
  data_ = grown;
  capacity_ = needed;
  length_ += count;
  data_[length_] = '\0';
}

const char* KvString::CStr() {
  if (data_ == nullptr) {
    data_ = static_cast<char*>(KvAllocate(16));
    capacity_ = 16;
    length_ = 0;
  }
  data_[length_] = '\0';
  return data_;
}

bool KvString::operator==(const KvString& other) const {
  if (length_ != other.length_) return false;
  return length_ == 0 || std::memcmp(data_, other.data_, length_) == 0;
}

bool KvString::operator==(const char* text) const {
  if (text == nullptr) return false;
  const size_t length = std::strlen(text);
  return length == length_ && (length_ == 0 || std::memcmp(data_, text, length_) == 0);
}

KvString operator+(const KvString& left, const KvString& right) {
  KvString result(left);
  result.Append(right.Data(), right.Length());
  return result;
}
