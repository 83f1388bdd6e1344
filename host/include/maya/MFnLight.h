#pragma once
// Function set for lights.

#include <maya/MColor.h>
#include <maya/MFloatVector.h>
#include <maya/MFnDagNode.h>

class OPENMAYA_EXPORT MFnLight : public MFnDagNode {
public:
  MFnLight() = default;
  MFnLight(const MObject& object, MStatus* status = nullptr);
  MFnLight(const MDagPath& path, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kLight; }

  MColor color(MStatus* status = nullptr) const;
  MStatus setColor(const MColor& color);
  float intensity(MStatus* status = nullptr) const;
  MStatus setIntensity(float intensity);
  // Colour times intensity, alpha 1.
  MColor lightIntensity(MStatus* status = nullptr) const;
  // (0, 0, -1) in object space; for kWorld rotated by the instance's world matrix.
  MFloatVector lightDirection(int instance = 0, MSpace::Space space = MSpace::kWorld, MStatus* status = nullptr) const;
};
