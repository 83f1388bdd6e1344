#include "kv/Light.h"

#include "kv/Archive.h"

KV_IMPLEMENT_CLASS(KvLight, 0, KvNamedObject)

void KvLight::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvLight");
  archive.Serialize(type);
  KvSerialize(archive, position);
  KvSerialize(archive, direction);
  KvSerialize(archive, color);
  KvSerialize(archive, secondColor);
  KvSerialize(archive, intensity);
  // Stored order: three parameters, drop-off, two parameters, cone angle.
  archive.SerializeFloats(parameters, 3);
  archive.Serialize(dropOff);
  archive.SerializeFloats(parameters + 3, 2);
  archive.Serialize(coneAngle);
  archive.Serialize(enabled);
}
