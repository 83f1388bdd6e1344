// KvPhonemeMap: maps phonemes, by number, to named targets with an amount.
#pragma once

#include <cstdint>

#include "kv/Array.h"
#include "kv/Name.h"
#include "kv/Object.h"

struct KvPhonemeMapEntry {
  uint32_t phoneme = 0;
  KvName targetName;
  float amount = 0.0f;
};

class KvPhonemeMap : public KvObject {
  KV_DECLARE_CLASS(KvPhonemeMap)

  KvPhonemeMap() = default;
  KvPhonemeMap(const KvPhonemeMap&) = default;
  KvPhonemeMap& operator=(const KvPhonemeMap&) = default;
  // Loading rebuilds each array in full before replacing the old one.
  void Serialize(KvArchive& archive) override;

  // Entries keep their order; the same phoneme may appear more than once.
  KvArray<KvPhonemeMapEntry> entries;
  // Destroyed before the entries (member order).
  KvArray<KvName> targetNames;
};
