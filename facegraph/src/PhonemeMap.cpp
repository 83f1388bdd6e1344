#include "kv/PhonemeMap.h"

#include "kv/Archive.h"

KV_IMPLEMENT_CLASS(KvPhonemeMap, 0, KvObject)

void KvPhonemeMap::Serialize(KvArchive& archive) {
  KvObject::Serialize(archive);
  archive.SerializeClassVersion("KvPhonemeMap");
  archive.SerializeArray(
      entries,
      [&archive](KvPhonemeMapEntry& entry) {
        archive.Serialize(entry.phoneme);
        archive.Serialize(entry.targetName);
        archive.Serialize(entry.amount);
      },
      12);
  archive.Serialize(targetNames);
}
