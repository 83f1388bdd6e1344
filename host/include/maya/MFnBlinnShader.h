#pragma once
// Function set for blinn shaders.

#include <maya/MFnReflectShader.h>

class OPENMAYA_EXPORT MFnBlinnShader : public MFnReflectShader {
public:
  MFnBlinnShader() = default;
  MFnBlinnShader(const MObject& object, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kBlinn; }

  float eccentricity(MStatus* status = nullptr) const;
  float specularRollOff(MStatus* status = nullptr) const;
};
