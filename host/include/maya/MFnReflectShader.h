#pragma once
// Function set for reflective shaders (phong, blinn).

#include <maya/MFnLambertShader.h>

class OPENMAYA_EXPORT MFnReflectShader : public MFnLambertShader {
public:
  MFnReflectShader() = default;
  MFnReflectShader(const MObject& object, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kReflect; }

  MColor specularColor(MStatus* status = nullptr) const;
  float reflectivity(MStatus* status = nullptr) const;
};
