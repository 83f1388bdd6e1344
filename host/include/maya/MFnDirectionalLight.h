#pragma once
// Function set for directional lights.

#include <maya/MFnNonExtendedLight.h>

class OPENMAYA_EXPORT MFnDirectionalLight : public MFnNonExtendedLight {
public:
  MFnDirectionalLight() = default;
  MFnDirectionalLight(const MObject& object, MStatus* status = nullptr);
  MFnDirectionalLight(const MDagPath& path, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kDirectionalLight; }
};
