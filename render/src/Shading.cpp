#include "Shading.h"

#include <algorithm>
#include <cmath>

#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Scene.h"
#include "kv/Texture.h"

namespace kvrender {
namespace {

// DevIL's pixel formats and channel types, as textures describe their pixels (the
// same codes archives store).
constexpr uint32_t kFormatAlpha = 0x1906, kFormatRgb = 0x1907, kFormatRgba = 0x1908, kFormatBgr = 0x80E0,
                   kFormatBgra = 0x80E1, kFormatLuminance = 0x1909, kFormatLuminanceAlpha = 0x190A;
constexpr uint32_t kTypeUnsignedByte = 0x1401;

constexpr float kDegreesToRadians = 3.14159265f / 180.0f;

Vec3 Rgb(const KvColor& c) { return {c.red, c.green, c.blue}; }

// Where red, green and blue sit among a pixel's channels (`order` starts as 0, 0, 0);
// false for a format without colour channels this renderer knows.
bool ChannelLayout(uint32_t format, uint32_t& channels, uint32_t order[3]) {
  switch (format) {
    case kFormatRgb:
    case kFormatRgba:
      channels = format == kFormatRgb ? 3 : 4;
      order[0] = 0, order[1] = 1, order[2] = 2;
      return true;
    case kFormatBgr:
    case kFormatBgra:
      channels = format == kFormatBgr ? 3 : 4;
      order[0] = 2, order[1] = 1, order[2] = 0;
      return true;
    case kFormatLuminance:
    case kFormatLuminanceAlpha:
    case kFormatAlpha:
      channels = format == kFormatLuminanceAlpha ? 2 : 1;  // grey: the order stays 0, 0, 0
      return true;
    default:
      return false;
  }
}

}  // namespace

Vec3 TextureImage::Sample(float u, float v) const {
  if (Empty()) return {};
  if (!std::isfinite(u)) u = 0.0f;
  if (!std::isfinite(v)) v = 0.0f;
  // Texel centres sit at half-texel positions.
  const float x = (u - std::floor(u)) * static_cast<float>(width) - 0.5f;
  const float y = (v - std::floor(v)) * static_cast<float>(height) - 0.5f;
  const float fx = std::floor(x), fy = std::floor(y);
  const float tx = x - fx, ty = y - fy;
  auto wrap = [](float value, uint32_t size) {
    const int64_t i = static_cast<int64_t>(value) % static_cast<int64_t>(size);
    return static_cast<uint32_t>(i < 0 ? i + size : i);
  };
  const uint32_t x0 = wrap(fx, width), x1 = (x0 + 1) % width;
  const uint32_t y0 = wrap(fy, height), y1 = (y0 + 1) % height;
  auto at = [this](uint32_t col, uint32_t row) { return texels[static_cast<size_t>(row) * width + col]; };
  const Vec3 top = at(x0, y0) * (1.0f - tx) + at(x1, y0) * tx;
  const Vec3 bottom = at(x0, y1) * (1.0f - tx) + at(x1, y1) * tx;
  return top * (1.0f - ty) + bottom * ty;
}

TextureImage ConvertTexture(const KvTexture& texture) {
  TextureImage image;
  uint32_t description[KvTexture::kDescriptionCount];
  texture.GetDescription(description);
  const uint32_t width = description[KvTexture::kWidth], height = description[KvTexture::kHeight];
  uint32_t channels = 0, order[3] = {};
  const uint8_t* pixels = texture.GetPixels();
  if (pixels == nullptr || width == 0 || height == 0 || description[KvTexture::kType] != kTypeUnsignedByte ||
      !ChannelLayout(description[KvTexture::kFormat], channels, order) ||
      description[KvTexture::kDataSize] < static_cast<uint64_t>(width) * height * channels) {
    return image;
  }
  image.width = width;
  image.height = height;
  image.texels.resize(static_cast<size_t>(width) * height);
  for (uint32_t row = 0; row < height; ++row) {
    // A texture read from an archive holds its rows bottom up.
    const uint32_t held = texture.IsFlipped() ? height - 1 - row : row;
    const uint8_t* source = pixels + static_cast<size_t>(held) * width * channels;
    for (uint32_t col = 0; col < width; ++col) {
      const uint8_t* pixel = source + static_cast<size_t>(col) * channels;
      image.texels[static_cast<size_t>(row) * width + col] =
          Vec3{pixel[order[0]] / 255.0f, pixel[order[1]] / 255.0f, pixel[order[2]] / 255.0f};
    }
  }
  return image;
}

SurfaceLook LookOf(const KvMaterial* material, const TextureImage* texture) {
  SurfaceLook look;
  if (material != nullptr) {
    look.diffuse = Rgb(material->GetDiffuseColor());
    look.ambient = Rgb(material->GetAmbientColor());
    look.emissive = Rgb(material->GetEmissiveColor());
  }
  if (texture != nullptr && !texture->Empty()) look.texture = texture;
  return look;
}

std::vector<Light> GatherLights(KvScene& scene) {
  std::vector<Light> lights;
  for (KvLight* source : scene.Lights()) {
    if (source == nullptr || !source->IsEnabled()) continue;
    Light light;
    light.position = FromArchive(source->GetPosition());
    light.direction = Normalize(FromArchive(source->GetDirection()));
    // The exporter stores Maya's light intensity: the colour already scaled by the
    // intensity.
    light.radiance = Rgb(source->GetIntensityColor());
    switch (source->GetType()) {
      case KvLight::kPoint:
        light.kind = Light::kPoint;
        break;
      case KvLight::kSpot:
        light.kind = Light::kSpot;
        light.cosHalfCone = std::cos(source->GetConeAngle() * 0.5f * kDegreesToRadians);
        light.dropOff = source->GetDropOff();
        break;
      case KvLight::kDirectional:
        light.kind = Light::kDirectional;
        break;
      default:
        continue;
    }
    lights.push_back(light);
  }
  return lights;
}

Vec3 Illuminate(const std::vector<Light>& lights, Vec3 point, Vec3 normal, Vec3 eye) {
  if (lights.empty()) {
    const float facing = Dot(normal, Normalize(eye - point));
    return Vec3{1.0f, 1.0f, 1.0f} * std::max(facing, 0.0f);
  }
  Vec3 sum;
  for (const Light& light : lights) {
    const Vec3 toLight = light.kind == Light::kDirectional ? -light.direction : Normalize(light.position - point);
    float amount = Dot(normal, toLight);
    if (!(amount > 0.0f)) continue;
    if (light.kind == Light::kSpot) {
      const float offAxis = -Dot(toLight, light.direction);
      if (offAxis < light.cosHalfCone) continue;
      if (light.dropOff != 0.0f) amount *= std::pow(std::max(offAxis, 0.0f), light.dropOff);
    }
    sum = sum + light.radiance * amount;
  }
  return sum;
}

}  // namespace kvrender
