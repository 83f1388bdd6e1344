#pragma once
// Function set for lambert shaders (and, through subclasses, reflective ones).

#include <maya/MColor.h>
#include <maya/MFnDependencyNode.h>

class OPENMAYA_EXPORT MFnLambertShader : public MFnDependencyNode {
public:
  MFnLambertShader() = default;
  MFnLambertShader(const MObject& object, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kLambert; }

  MColor color(MStatus* status = nullptr) const;
  MStatus setColor(const MColor& color);
  MColor transparency(MStatus* status = nullptr) const;
  MColor ambientColor(MStatus* status = nullptr) const;
  MColor incandescence(MStatus* status = nullptr) const;
  float diffuseCoeff(MStatus* status = nullptr) const;
  float translucenceCoeff(MStatus* status = nullptr) const;

protected:
  MColor colorOf(const char* attribute, MStatus* status) const;
  float floatOf(const char* attribute, MStatus* status) const;
};
