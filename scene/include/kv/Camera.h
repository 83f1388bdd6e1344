// Perspective cameras with three cached matrices that are stored as they stand.
#pragma once

#include <cstdint>

#include "kv/Math.h"
#include "kv/Object.h"

class KvCamera : public KvNamedObject {
  KV_DECLARE_CLASS(KvCamera)

  KvCamera() = default;
  explicit KvCamera(const KvName& cameraName) : KvNamedObject(cameraName) {}

  // Clears the projection flag when the type changes.
  void SetProjectionType(uint32_t value);
  // Stores the value and clears the view and second flags when a component moves by
  // at least 1.1920929e-7; smaller changes are ignored.
  void SetPosition(const KvVec3& value);
  // Yaw, pitch, roll in radians; same rule as SetPosition.
  void SetRotation(const KvVec3& value);
  // In degrees; stored in radians, clearing the projection flag when it changes.
  void SetFieldOfView(float degrees);

  uint32_t GetProjectionType() const { return projectionType; }
  float GetFieldOfView() const { return fieldOfView; }  // radians
  const KvVec3& GetPosition() const { return position; }
  const KvVec3& GetRotation() const { return rotation; }
  // The seven parameters no stage sets, in stored order.
  float GetParameter(uint32_t index) const { return parameters[index < 7 ? index : 0]; }
  bool IsViewMatrixValid() const { return viewValid; }
  bool IsSecondMatrixValid() const { return secondValid; }
  bool IsProjectionMatrixValid() const { return projectionValid; }
  const KvMatrix& GetViewMatrix() const { return view; }
  const KvMatrix& GetSecondMatrix() const { return second; }
  const KvMatrix& GetProjectionMatrix() const { return projection; }

  void Serialize(KvArchive& archive) override;

 private:
  uint32_t projectionType = 0;
  float fieldOfView = 0.7853982f;
  float parameters[7] = {1.0f, 1e7f, 1.0f, 1e-8f, 3.4028235e38f, 1.0f, 1.0f};
  KvVec3 position{0.0f, 0.0f, 0.0f};
  KvVec3 rotation{0.0f, 0.0f, 0.0f};
  bool viewValid = false;
  KvMatrix view;
  bool secondValid = false;
  KvMatrix second;
  bool projectionValid = false;
  KvMatrix projection;
};
