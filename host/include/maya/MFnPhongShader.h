#pragma once
// Function set for phong shaders.

#include <maya/MFnReflectShader.h>

class OPENMAYA_EXPORT MFnPhongShader : public MFnReflectShader {
public:
  MFnPhongShader() = default;
  MFnPhongShader(const MObject& object, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kPhong; }

  float cosPower(MStatus* status = nullptr) const;
};
