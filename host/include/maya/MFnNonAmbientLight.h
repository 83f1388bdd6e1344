#pragma once
// Function set for non-ambient lights (point, directional, spot, area).

#include <maya/MFnLight.h>

class OPENMAYA_EXPORT MFnNonAmbientLight : public MFnLight {
public:
  MFnNonAmbientLight() = default;
  MFnNonAmbientLight(const MObject& object, MStatus* status = nullptr);
  MFnNonAmbientLight(const MDagPath& path, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kNonAmbientLight; }
};
