#pragma once
// Function set for cameras.

#include <maya/MFnDagNode.h>
#include <maya/MPoint.h>
#include <maya/MVector.h>

class OPENMAYA_EXPORT MFnCamera : public MFnDagNode {
public:
  MFnCamera() = default;
  MFnCamera(const MObject& object, MStatus* status = nullptr);
  MFnCamera(const MDagPath& path, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kCamera; }

  bool isOrtho(MStatus* status = nullptr) const;
  double orthoWidth(MStatus* status = nullptr) const;
  double focalLength(MStatus* status = nullptr) const;
  double horizontalFilmAperture(MStatus* status = nullptr) const;
  double verticalFilmAperture(MStatus* status = nullptr) const;
  double cameraScale(MStatus* status = nullptr) const;
  double nearClippingPlane(MStatus* status = nullptr) const;
  double farClippingPlane(MStatus* status = nullptr) const;
  double centerOfInterest(MStatus* status = nullptr) const;
  // 2 atan(aperture * 25.4 * cameraScale / (2 focalLength)), in radians.
  double horizontalFieldOfView(MStatus* status = nullptr) const;
  double verticalFieldOfView(MStatus* status = nullptr) const;
  // (0, 0, -1) in object space; for kWorld rotated by the world matrix.
  MVector viewDirection(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;

private:
  MVector direction(const MVector& local, MSpace::Space space) const;
};
