// KvString: the runtime's owned byte string.
//
// Invariants: an empty string that owns nothing has data null, capacity 0 and
// length 0; whenever data is not null, length < capacity and data[length] is 0.
// Bytes are not interpreted: no encoding, embedded zeros allowed, comparisons are
// byte-wise. Copies never share storage.
#pragma once

#include <cstdint>

class KvString {
 public:
  static constexpr uint32_t kMeasure = 0xFFFFFFFFu;  // "count up to the terminator"

  constexpr KvString() = default;
  // Copies `count` bytes of `text` (measured up to its terminator when `count` is
  // kMeasure). A null text or a zero count gives an empty string that owns nothing.
  KvString(const char* text, uint32_t count = kMeasure);
  // The copy's capacity is the source's length + 1 (nothing for an empty source).
  KvString(const KvString& other);
  KvString& operator=(const KvString& other);
  // Moves take the buffer; the source owns nothing afterwards.
  KvString(KvString&& other) noexcept { Swap(other); }
  KvString& operator=(KvString&& other) noexcept {
    KvString taken(static_cast<KvString&&>(other));
    Swap(taken);
    return *this;
  }
  ~KvString();

  // Appends `count` bytes; reallocates to exactly the needed size when full.
  void Append(const char* text, uint32_t count);
  void Append(const KvString& other) { Append(other.data_, other.length_); }

  // The characters as zero-terminated text; never null. An empty string that owns
  // nothing allocates a 16-byte buffer first.
  const char* CStr();

  uint32_t Length() const { return length_; }
  uint32_t Capacity() const { return capacity_; }
  // The raw buffer (null when the string owns nothing); does not allocate.
  const char* Data() const { return data_; }
  // The characters; "" when the string owns nothing. Does not allocate.
  const char* View() const { return data_ != nullptr ? data_ : ""; }

  // Replaces the contents with `count` bytes of `text` (loading from archives).
  void Assign(const char* text, uint32_t count);
  // Releases the buffer; the string owns nothing afterwards.
  void Clear();
  void Swap(KvString& other) noexcept;

  bool operator==(const KvString& other) const;
  // A null text is never equal.
  bool operator==(const char* text) const;

 private:
  char* data_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t length_ = 0;
};

// A copy of `left` with `right`'s bytes appended.
KvString operator+(const KvString& left, const KvString& right);
