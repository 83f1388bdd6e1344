#include "kv/StringMap.h"

uint32_t KvHashString(const char* text, uint32_t length) {
  uint32_t hash = 5381;
  for (uint32_t i = 0; i < length; ++i) {
    hash = hash * 33 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(text[i])));
  }
  return hash;
}
