// Materials: four colours, an optional diffuse texture and a specular power.
#pragma once

#include "kv/Math.h"
#include "kv/Object.h"

class KvTexture;

class KvMaterial : public KvNamedObject {
  KV_DECLARE_CLASS(KvMaterial)

  KvMaterial() = default;
  explicit KvMaterial(const KvName& materialName) : KvNamedObject(materialName) {}

  void SetDiffuseColor(const KvColor& color) { diffuse = color; }
  void SetAmbientColor(const KvColor& color) { ambient = color; }
  void SetSpecularColor(const KvColor& color) { specular = color; }
  void SetEmissiveColor(const KvColor& color) { emissive = color; }
  const KvColor& GetDiffuseColor() const { return diffuse; }
  const KvColor& GetAmbientColor() const { return ambient; }
  const KvColor& GetSpecularColor() const { return specular; }
  const KvColor& GetEmissiveColor() const { return emissive; }
  // Non-owning: the scene owns its textures. May be null.
  void SetDiffuseTexture(KvTexture* texture) { diffuseTexture = texture; }
  KvTexture* GetDiffuseTexture() const { return diffuseTexture; }
  void SetSpecularPower(float power) { specularPower = power; }
  float GetSpecularPower() const { return specularPower; }
  // Carried and stored; nothing in the exporter sets it.
  float GetFactor() const { return factor; }

  void Serialize(KvArchive& archive) override;

 private:
  KvColor diffuse{1.0f, 1.0f, 1.0f, 1.0f};
  KvColor ambient{0.0f, 0.0f, 0.0f, 1.0f};
  KvColor specular{0.0f, 0.0f, 0.0f, 1.0f};
  KvColor emissive{0.0f, 0.0f, 0.0f, 1.0f};
  KvTexture* diffuseTexture = nullptr;
  float specularPower = 0.0f;
  float factor = 1.0f;
};
