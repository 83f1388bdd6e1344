#pragma once
// Function set for spot lights. Angles are in radians.

#include <maya/MFnNonExtendedLight.h>

class OPENMAYA_EXPORT MFnSpotLight : public MFnNonExtendedLight {
public:
  MFnSpotLight() = default;
  MFnSpotLight(const MObject& object, MStatus* status = nullptr);
  MFnSpotLight(const MDagPath& path, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kSpotLight; }

  double coneAngle(MStatus* status = nullptr) const;
  MStatus setConeAngle(double angle);
  double penumbraAngle(MStatus* status = nullptr) const;
  double dropOff(MStatus* status = nullptr) const;
  MStatus setDropOff(double dropOff);
};
