// Point, spot and directional lights.
#pragma once

#include <cstdint>

#include "kv/Math.h"
#include "kv/Object.h"

class KvLight : public KvNamedObject {
  KV_DECLARE_CLASS(KvLight)

  // Light types. Written into archives; never change.
  static constexpr uint32_t kPoint = 1;
  static constexpr uint32_t kSpot = 2;
  static constexpr uint32_t kDirectional = 3;

  KvLight() = default;
  explicit KvLight(const KvName& lightName) : KvNamedObject(lightName) {}

  void SetType(uint32_t value) { type = value; }
  void SetPosition(const KvVec3& value) { position = value; }
  void SetDirection(const KvVec3& value) { direction = value; }
  void SetColor(const KvColor& value) { color = value; }
  void SetIntensityColor(const KvColor& value) { intensity = value; }
  void SetDropOff(float value) { dropOff = value; }
  // In degrees.
  void SetConeAngle(float value) { coneAngle = value; }
  uint32_t GetType() const { return type; }
  const KvVec3& GetPosition() const { return position; }
  const KvVec3& GetDirection() const { return direction; }
  const KvColor& GetColor() const { return color; }
  const KvColor& GetSecondColor() const { return secondColor; }
  const KvColor& GetIntensityColor() const { return intensity; }
  float GetDropOff() const { return dropOff; }
  float GetConeAngle() const { return coneAngle; }
  bool IsEnabled() const { return enabled; }
  // The five parameters no stage sets, in stored order (first, second, third,
  // fourth, fifth).
  float GetParameter(uint32_t index) const { return parameters[index < 5 ? index : 0]; }

  void Serialize(KvArchive& archive) override;

 private:
  uint32_t type = kPoint;
  KvVec3 position{0.0f, 0.0f, 0.0f};
  KvVec3 direction{0.0f, 0.0f, 1.0f};
  KvColor color{1.0f, 1.0f, 1.0f, 1.0f};
  KvColor secondColor{0.0f, 0.0f, 0.0f, 1.0f};
  KvColor intensity{1.0f, 1.0f, 1.0f, 1.0f};
  // First to fifth parameter; the drop-off is stored between the third and fourth.
  float parameters[5] = {10000.0f, 1.0f, 0.0f, 0.0f, 0.0f};
  float dropOff = 0.0f;
  float coneAngle = 1.5707964f;
  bool enabled = true;
};
