// Point, directional and spot lights, and perspective cameras. Both stages walk the
// whole DAG once and take each object's name and position from its transform node.
#include <maya/MColor.h>
#include <maya/MDagPath.h>
#include <maya/MFloatVector.h>
#include <maya/MFnCamera.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnLight.h>
#include <maya/MFnSpotLight.h>
#include <maya/MFnTransform.h>
#include <maya/MItDag.h>
#include <maya/MString.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MVector.h>

#include <cmath>
#include <cstring>

#include "kv/Camera.h"
#include "kv/ExportLog.h"
#include "kv/ExportStages.h"
#include "kv/Light.h"
#include "kv/Scene.h"

namespace {

// Degrees per radian, as the single-precision constant the exported angles have
// always been converted with.
constexpr float kDegreesPerRadian = 57.295776f;

// What the walk learns of every DAG node before the stage looks at its type.
struct DagItem {
  MDagPath path;
  MFnTransform transform;
  KvVec3 position;         // the transform's translation, mirrored in X
  const char* typeString;  // the node's own type name ("kPointLight", "kCamera")
};

// Fills `item` for the iterator's current node; false when the node has no usable
// path or DAG function set and is to be passed over.
bool ReadDagItem(MItDag& iterator, DagItem& item) {
  if (!iterator.getPath(item.path)) return false;
  MStatus status;
  MFnDagNode node(item.path, &status);
  if (!status) return false;
  item.transform.setObject(item.path.transform());
  const MVector translation = item.transform.transformation().translation(MSpace::kWorld);
  item.position = KvVec3{static_cast<float>(-translation.x), static_cast<float>(translation.y),
                         static_cast<float>(translation.z)};
  item.typeString = iterator.item().apiTypeStr();
  return true;
}

bool IsType(const char* typeString, const char* wanted) { return std::strcmp(typeString, wanted) == 0; }

float Length(const KvVec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

// Mirrored in X, then scaled to unit length unless it is exactly zero (a zero
// vector is kept as it is).
KvVec3 MirroredDirection(float x, float y, float z) {
  KvVec3 direction{-x, y, z};
  const float length = Length(direction);
  if (length != 0.0f) {
    direction.x /= length;
    direction.y /= length;
    direction.z /= length;
  }
  return direction;
}

KvColor ToColor(const MColor& color) { return KvColor(color.r, color.g, color.b, color.a); }

// The fields every light kind shares: name, type, position, colour and intensity.
KvLight* NewLight(const DagItem& item, const MFnLight& light, uint32_t type) {
  auto* result = new KvLight(KvName(item.transform.name().asChar()));
  result->SetType(type);
  result->SetPosition(item.position);
  result->SetColor(ToColor(light.color()));
  MColor intensity = light.lightIntensity();
  // Spot lights keep the host's alpha; point and directional lights always get 1.
  if (type != KvLight::kSpot) intensity.a = 1.0f;
  result->SetIntensityColor(ToColor(intensity));
  return result;
}

KvVec3 LightDirection(const MFnLight& light) {
  const MFloatVector direction = light.lightDirection(0, MSpace::kWorld);
  return MirroredDirection(direction.x, direction.y, direction.z);
}

// The light of a point, directional or spot light shape, or null for any other
// node (nothing logged for those).
KvLight* ImportLight(DagItem& item) {
  const bool point = IsType(item.typeString, "kPointLight");
  const bool directional = !point && IsType(item.typeString, "kDirectionalLight");
  const bool spot = !point && !directional && IsType(item.typeString, "kSpotLight");
  if (!point && !directional && !spot) return nullptr;
  if (!IsNodeVisible(item.transform)) return nullptr;
  const MString nameString = item.transform.name();
  const char* name = nameString.asChar();

  if (point) {
    LogPrintf("Importing point light %s...", name);
    return NewLight(item, MFnLight(item.path), KvLight::kPoint);
  }
  if (directional) {
    LogPrintf("Importing directional light %s...", name);
    MFnLight light(item.path);
    KvLight* result = NewLight(item, light, KvLight::kDirectional);
    result->SetDirection(LightDirection(light));
    return result;
  }
  LogPrintf("Importing spotlight %s...", name);
  MFnSpotLight light(item.path);
  KvLight* result = NewLight(item, light, KvLight::kSpot);
  result->SetDirection(LightDirection(light));
  result->SetDropOff(static_cast<float>(light.dropOff()));
  result->SetConeAngle(static_cast<float>(light.coneAngle() * kDegreesPerRadian));
  return result;
}

// Yaw and pitch (roll 0) of a camera at `position` looking along `direction`
// towards a point as far away as `target`.
KvVec3 AimRotation(const KvVec3& position, const KvVec3& direction, const KvVec3& target) {
  const KvVec3 toTarget{target.x - position.x, target.y - position.y, target.z - position.z};
  const float distance = Length(toTarget);
  const KvVec3 lookAt{position.x + direction.x * distance, position.y + direction.y * distance,
                      position.z + direction.z * distance};
  const KvVec3 d{lookAt.x - position.x, lookAt.y - position.y, lookAt.z - position.z};
  KvVec3 rotation{0.0f, 0.0f, 0.0f};
  // An angle whose two atan2 arguments are both zero stays 0.
  if (d.x != 0.0f || d.z != 0.0f) {
    // 0 - d.x rather than -d.x: a zero d.x of either sign becomes +0, so a camera
    // looking straight down -z gets the yaw +pi and never -pi.
    rotation.x = std::atan2(0.0f - d.x, d.z);
  }
  const float horizontal = std::sqrt(d.x * d.x + d.z * d.z);
  if (d.y != 0.0f || horizontal != 0.0f) rotation.y = std::atan2(d.y, horizontal);
  return rotation;
}

// The camera of a perspective camera shape; null for an orthographic one.
KvCamera* ImportCamera(const DagItem& item, KvScene* scene) {
  const MString nameString = item.transform.name();
  const char* name = nameString.asChar();
  LogPrintf("Importing camera %s...", name);
  MFnCamera camera(item.path);
  if (camera.isOrtho()) {
    LogPrintf("Ortho cameras are not supported.");
    return nullptr;
  }
  auto* result = new KvCamera(KvName(name));
  const MVector view = camera.viewDirection(MSpace::kWorld);
  const KvVec3 direction =
      MirroredDirection(static_cast<float>(view.x), static_cast<float>(view.y), static_cast<float>(view.z));
  result->SetProjectionType(0);
  result->SetPosition(item.position);
  // Aimed at the centre of the meshes exported so far (the origin without meshes).
  result->SetRotation(AimRotation(item.position, direction, scene->GetBoundingBox().Center()));
  result->SetFieldOfView(static_cast<float>(camera.horizontalFieldOfView() * kDegreesPerRadian));
  return result;
}

}  // namespace

bool ImportLights(KvScene* scene) {
  LogPrintf("Importing lights...");
  if (scene != nullptr) {
    MStatus status;
    MItDag iterator(MItDag::kDepthFirst, MFn::kInvalid, &status);
    if (!status) {
      ReportApiError("Failed to create lightIterator!");
      return false;
    }
    for (; !iterator.isDone(); iterator.next()) {
      DagItem item;
      if (!ReadDagItem(iterator, item)) continue;
      if (KvLight* light = ImportLight(item)) scene->AddLight(light);
    }
  }
  LogPrintf("Finished importing lights.");
  return true;
}

bool ImportCameras(KvScene* scene) {
  LogPrintf("Importing cameras...");
  if (scene != nullptr) {
    MStatus status;
    MItDag iterator(MItDag::kDepthFirst, MFn::kInvalid, &status);
    if (!status) {
      ReportApiError("Failed to create cameraIterator!");
      return false;
    }
    for (; !iterator.isDone(); iterator.next()) {
      DagItem item;
      if (!ReadDagItem(iterator, item)) continue;
      // Cameras have no visibility test: a hidden camera is exported.
      if (!IsType(item.typeString, "kCamera")) continue;
      if (KvCamera* camera = ImportCamera(item, scene)) scene->AddCamera(camera);
    }
  }
  LogPrintf("Finished importing cameras.");
  return true;
}
