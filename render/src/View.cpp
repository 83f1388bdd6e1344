#include "View.h"

#include <algorithm>
#include <cmath>

#include "kv/Camera.h"
#include "kv/Scene.h"

namespace kvrender {
namespace {

// The view of Maya's default perspective camera: it sits at (28, 21, 28) looking at
// the origin, with a 35 mm lens on a 1.417 inch film back (0.9500 radians across).
constexpr Vec3 kThreeQuarter{28.0f, 21.0f, 28.0f};
constexpr float kDefaultFieldOfView = 0.9500f;
// Framing leaves this much room around the meshes' bounding sphere.
constexpr float kFrameMargin = 1.05f;
// The near plane: a share of the eye's distance to the meshes' bounding box, or of
// the box's size for an eye inside it. Depth is kept as 1/z, so a near plane this
// close costs no precision further away.
constexpr float kNearShareOfDistance = 1e-4f;
constexpr float kNearShareOfSize = 1e-6f;

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The meshes' bounding box in Maya's space, and the sphere around it; a unit sphere
// at the origin when the scene has no meshes or no usable box.
struct Bounds {
  Vec3 low, high, centre;
  float radius = 1.0f;
};

Bounds BoundsOf(KvScene& scene) {
  const KvBoundingBox box = scene.GetBoundingBox();
  Bounds bounds;
  bounds.low = FromArchive(KvVec3{box.max.x, box.min.y, box.min.z});
  bounds.high = FromArchive(KvVec3{box.min.x, box.max.y, box.max.z});
  bounds.centre = (bounds.low + bounds.high) * 0.5f;
  bounds.radius = Length(bounds.high - bounds.low) * 0.5f;
  if (!Finite(bounds.centre) || !std::isfinite(bounds.radius) || bounds.radius <= 0.0f) {
    bounds = Bounds{};
    bounds.low = bounds.high = bounds.centre;  // no box to keep away from
  }
  return bounds;
}

// Sets the basis from the viewing direction, with world +y up (or -z / +z when
// looking straight down / up, as Maya's top view does), and the projection from the
// horizontal field of view.
void Aim(View& view, Vec3 forward, float horizontalFieldOfView) {
  view.forward = Normalize(forward);
  Vec3 upHint{0.0f, 1.0f, 0.0f};
  if (std::fabs(view.forward.y) > 0.9999f) upHint = Vec3{0.0f, 0.0f, view.forward.y > 0.0f ? 1.0f : -1.0f};
  view.right = Normalize(Cross(view.forward, upHint));
  view.up = Cross(view.right, view.forward);
  const float fov = std::clamp(std::isfinite(horizontalFieldOfView) ? horizontalFieldOfView : kDefaultFieldOfView,
                               1e-3f, 3.1f);
  view.focal = static_cast<float>(view.width) * 0.5f / std::tan(fov * 0.5f);
}

void SetNear(View& view, const Bounds& bounds) {
  const Vec3 closest{std::clamp(view.eye.x, bounds.low.x, bounds.high.x),
                     std::clamp(view.eye.y, bounds.low.y, bounds.high.y),
                     std::clamp(view.eye.z, bounds.low.z, bounds.high.z)};
  const float distance = Length(view.eye - closest);
  view.nearZ = std::max(distance > 0.0f ? kNearShareOfDistance * distance : kNearShareOfSize * bounds.radius, 1e-12f);
}

// The camera's viewing direction in Maya's space. Yaw and pitch aim it in the
// archive's space (yaw 0, pitch 0 looks along +z; yaw = atan2(-d.x, d.z)); negating
// x turns it back. The roll is always 0 in archives and is not applied.
Vec3 CameraForward(const KvCamera& camera) {
  const KvVec3 rotation = camera.GetRotation();
  const float yaw = rotation.x, pitch = rotation.y;
  return FromArchive(KvVec3{-std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch)});
}

void Frame(KvScene& scene, View& view) {
  const Bounds bounds = BoundsOf(scene);
  const Vec3 away = Normalize(kThreeQuarter);
  Aim(view, -away, kDefaultFieldOfView);
  // The sphere fits the narrower of the two fields of view.
  const float halfWidth = static_cast<float>(view.width) * 0.5f, halfHeight = static_cast<float>(view.height) * 0.5f;
  const float halfAngle = std::atan(std::min(halfWidth, halfHeight) / view.focal);
  view.eye = bounds.centre + away * (bounds.radius * kFrameMargin / std::sin(halfAngle));
  SetNear(view, bounds);
}

}  // namespace

bool MakeView(KvScene& scene, const Options& options, View& view, std::string& description, std::string& error) {
  view.width = options.width;
  view.height = options.height;
  view.cx = static_cast<float>(options.width) * 0.5f;
  view.cy = static_cast<float>(options.height) * 0.5f;

  KvCamera* chosen = nullptr;
  if (!options.frame) {
    std::string names;
    for (KvCamera* camera : scene.Cameras()) {
      if (camera == nullptr) continue;
      const std::string name = camera->GetName().GetAsCString();
      if (options.camera.empty() ? camera->GetProjectionType() == 0 : name == options.camera) {
        chosen = camera;
        break;
      }
      names += (names.empty() ? "" : ", ") + name;
    }
    if (chosen == nullptr && !options.camera.empty()) {
      error = "no camera named \"" + options.camera + "\"" + (names.empty() ? " (the archive has no cameras)"
                                                                           : "; the archive has: " + names);
      return false;
    }
    if (chosen != nullptr && chosen->GetProjectionType() != 0) {
      error = "camera \"" + options.camera + "\" is not a perspective camera";
      return false;
    }
  }
  if (chosen == nullptr) {
    Frame(scene, view);
    description = "framed view";
    return true;
  }

  view.eye = FromArchive(chosen->GetPosition());
  if (!Finite(view.eye)) view.eye = Vec3{};
  Vec3 forward = CameraForward(*chosen);
  if (!Finite(forward)) forward = Vec3{0.0f, 0.0f, -1.0f};
  Aim(view, forward, chosen->GetFieldOfView());
  SetNear(view, BoundsOf(scene));
  description = std::string("camera \"") + chosen->GetName().GetAsCString() + "\"";
  return true;
}

}  // namespace kvrender
