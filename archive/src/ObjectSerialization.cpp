// The serialized form of the two root classes. They live beside the archive because
// serializing is the archive's work; the classes themselves belong to the runtime.
#include "kv/Archive.h"
#include "kv/Object.h"

void KvObject::Serialize(KvArchive& archive) { archive.SerializeClassVersion("KvObject"); }

void KvNamedObject::Serialize(KvArchive& archive) {
  KvObject::Serialize(archive);
  archive.SerializeClassVersion("KvNamedObject");
  archive.Serialize(name);
}
