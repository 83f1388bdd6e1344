#include "kv/StringMap.h"

#include <chrono>
#include <random>

uint32_t KvHashString(const char* text, uint32_t length) {
  uint32_t hash = 5381;
  for (uint32_t i = 0; i < length; ++i) {
    hash = hash * 33 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(text[i])));
  }
  return hash;
}

namespace {

struct SipKey {
  uint64_t k0;
  uint64_t k1;
};

// Drawn once per process, so that nobody can prepare keys that collide in it.
// Nothing stored or printed depends on it: it only spreads index slots.
SipKey DrawKey() {
  uint64_t words[2] = {0, 0};
  try {
    std::random_device device;
    for (uint64_t& word : words) word = (uint64_t{device()} << 32) ^ device();
  } catch (...) {
    // No random device: the clock and an address still differ from run to run.
  }
  const uint64_t clock = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  static const int anchor = 0;
  return SipKey{words[0] ^ clock, words[1] ^ reinterpret_cast<uintptr_t>(&anchor)};
}

uint64_t Rotate(uint64_t value, int bits) { return (value << bits) | (value >> (64 - bits)); }

struct SipState {
  uint64_t v0, v1, v2, v3;
  void Round() {
    v0 += v1;
    v1 = Rotate(v1, 13) ^ v0;
    v0 = Rotate(v0, 32);
    v2 += v3;
    v3 = Rotate(v3, 16) ^ v2;
    v0 += v3;
    v3 = Rotate(v3, 21) ^ v0;
    v2 += v1;
    v1 = Rotate(v1, 17) ^ v2;
    v2 = Rotate(v2, 32);
  }
  void Absorb(uint64_t word) {
    v3 ^= word;
    Round();
    v0 ^= word;
  }
};

}  // namespace

uint64_t KvSipHash13(uint64_t k0, uint64_t k1, const char* text, uint32_t length) {
  SipState s{k0 ^ 0x736f6d6570736575ull, k1 ^ 0x646f72616e646f6dull, k0 ^ 0x6c7967656e657261ull,
             k1 ^ 0x7465646279746573ull};
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  uint32_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word = 0;
    for (int b = 7; b >= 0; --b) word = (word << 8) | bytes[i + b];  // little-endian on every machine
    s.Absorb(word);
  }
  uint64_t last = uint64_t{length & 0xFFu} << 56;
  for (uint32_t b = 0; i + b < length; ++b) last |= uint64_t{bytes[i + b]} << (8 * b);
  s.Absorb(last);
  s.v2 ^= 0xFF;
  s.Round();
  s.Round();
  s.Round();
  return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

uint64_t KvKeyedHashString(const char* text, uint32_t length) {
  static const SipKey key = DrawKey();
  return KvSipHash13(key.k0, key.k1, text, length);
}
