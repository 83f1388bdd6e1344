#include "kv/Camera.h"

#include "kv/Archive.h"

KV_IMPLEMENT_CLASS(KvCamera, 0, KvNamedObject)

namespace {

// Differences strictly inside (-kEpsilon, kEpsilon) count as no change.
constexpr float kEpsilon = 1.1920929e-7f;

bool Differs(float a, float b) {
  const float d = a - b;
  return !(d > -kEpsilon && d < kEpsilon);
}

bool Differs(const KvVec3& a, const KvVec3& b) { return Differs(a.x, b.x) || Differs(a.y, b.y) || Differs(a.z, b.z); }

}  // namespace

void KvCamera::SetProjectionType(uint32_t value) {
  if (value == projectionType) return;
  projectionType = value;
  projectionValid = false;
}

void KvCamera::SetPosition(const KvVec3& value) {
  if (!Differs(value, position)) return;
  position = value;
  viewValid = false;
  secondValid = false;
}

void KvCamera::SetRotation(const KvVec3& value) {
  if (!Differs(value, rotation)) return;
  rotation = value;
  viewValid = false;
  secondValid = false;
}

void KvCamera::SetFieldOfView(float degrees) {
  const float radians = degrees * 3.1415927f * 0.0055555557f;
  if (radians == fieldOfView) return;
  fieldOfView = radians;
  projectionValid = false;
}

void KvCamera::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvCamera");
  archive.Serialize(projectionType);
  archive.Serialize(fieldOfView);
  archive.SerializeFloats(parameters, 7);
  KvSerialize(archive, position);
  KvSerialize(archive, rotation);
  archive.Serialize(viewValid);
  view.Serialize(archive);
  archive.Serialize(secondValid);
  second.Serialize(archive);
  archive.Serialize(projectionValid);
  projection.Serialize(archive);
}
