// What a surface looks like: its material's colours and texture, and the light
// falling on it.
#pragma once

#include <cstdint>
#include <vector>

#include "Geometry.h"

class KvMaterial;
class KvScene;
class KvTexture;

namespace kvrender {

// A texture's pixels as RGB in 0..1, top row first (the archive's row order, in
// which v = 0 is the top row).
struct TextureImage {
  uint32_t width = 0, height = 0;
  std::vector<Vec3> texels;

  bool Empty() const { return texels.empty(); }
  // Bilinear, repeating beyond 0..1 as Maya's file textures do by default.
  Vec3 Sample(float u, float v) const;
};

// The texture's pixels; empty when it holds none or they are not of 8-bit channels
// in one of DevIL's RGB, BGR or grey formats (with or without alpha, which is not
// used).
TextureImage ConvertTexture(const KvTexture& texture);

// A material as the shading needs it; `texture` (may be null) replaces the diffuse
// colour, as a file texture on Maya's colour channel does.
struct SurfaceLook {
  Vec3 diffuse{0.5f, 0.5f, 0.5f};  // Maya's default lambert1, for surfaces without a material
  Vec3 ambient, emissive;
  const TextureImage* texture = nullptr;
};

SurfaceLook LookOf(const KvMaterial* material, const TextureImage* texture);

struct Light {
  enum Kind { kPoint, kSpot, kDirectional };
  Kind kind = kPoint;
  Vec3 position;
  Vec3 direction;  // where the light travels (spot and directional), unit length
  Vec3 radiance;
  float cosHalfCone = -1.0f;  // spot: the cosine of half the cone angle
  float dropOff = 0.0f;       // spot: the light is scaled by cos(angle off the axis)^dropOff
};

// The scene's enabled lights in Maya's space.
std::vector<Light> GatherLights(KvScene& scene);

// The diffuse light reaching `point` with unit `normal`: the sum over `lights`, or
// a white head-light at `eye` when there are none. Lights fall off with the angle of
// incidence only, as Maya's lights do with their default "no decay".
Vec3 Illuminate(const std::vector<Light>& lights, Vec3 point, Vec3 normal, Vec3 eye);

}  // namespace kvrender
