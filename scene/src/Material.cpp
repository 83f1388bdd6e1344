#include "kv/Material.h"

#include "kv/Archive.h"
#include "kv/Texture.h"

KV_IMPLEMENT_CLASS(KvMaterial, 0, KvNamedObject)

void KvMaterial::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvMaterial");
  KvSerialize(archive, diffuse);
  KvSerialize(archive, ambient);
  KvSerialize(archive, specular);
  KvSerialize(archive, emissive);
  archive.SerializeObject(diffuseTexture);
  archive.Serialize(specularPower);
  archive.Serialize(factor);
}
