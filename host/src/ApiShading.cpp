// Shader, light and camera function sets.

#include <cmath>

#include <maya/MFnBlinnShader.h>
#include <maya/MFnCamera.h>
#include <maya/MFnDirectionalLight.h>
#include <maya/MFnLambertShader.h>
#include <maya/MFnLight.h>
#include <maya/MFnNonAmbientLight.h>
#include <maya/MFnNonExtendedLight.h>
#include <maya/MFnPhongShader.h>
#include <maya/MFnPointLight.h>
#include <maya/MFnReflectShader.h>
#include <maya/MFnSpotLight.h>
#include <maya/MDagPathArray.h>

#include "Core.h"

namespace {

void setStatus(MStatus* status, MStatus value) {
  if (status) *status = value;
}

}  // namespace

// ------------------------------------------------------------------ shaders

MFnLambertShader::MFnLambertShader(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnReflectShader::MFnReflectShader(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnPhongShader::MFnPhongShader(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnBlinnShader::MFnBlinnShader(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }

MColor MFnLambertShader::colorOf(const char* attribute, MStatus* status) const {
  kvhost::Node* n = node(status);
  if (!n) return MColor();
  MVector c = kvhost::getVector(*n, attribute);
  return MColor(static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z));
}

float MFnLambertShader::floatOf(const char* attribute, MStatus* status) const {
  kvhost::Node* n = node(status);
  return n ? static_cast<float>(kvhost::getNumber(*n, attribute)) : 0.0f;
}

MColor MFnLambertShader::color(MStatus* status) const { return colorOf("c", status); }
MColor MFnLambertShader::transparency(MStatus* status) const { return colorOf("it", status); }
MColor MFnLambertShader::ambientColor(MStatus* status) const { return colorOf("ambc", status); }
MColor MFnLambertShader::incandescence(MStatus* status) const { return colorOf("ic", status); }
float MFnLambertShader::diffuseCoeff(MStatus* status) const { return floatOf("dc", status); }
float MFnLambertShader::translucenceCoeff(MStatus* status) const { return floatOf("tc", status); }

MStatus MFnLambertShader::setColor(const MColor& color) {
  if (!node()) return MS::kInvalidParameter;
  MPlug p = findPlug("c");
  for (unsigned i = 0; i < 3; ++i) p.child(i).setValue(color[i]);
  return MS::kSuccess;
}

MColor MFnReflectShader::specularColor(MStatus* status) const { return colorOf("sc", status); }
float MFnReflectShader::reflectivity(MStatus* status) const { return floatOf("rfl", status); }
float MFnPhongShader::cosPower(MStatus* status) const { return floatOf("cp", status); }
float MFnBlinnShader::eccentricity(MStatus* status) const { return floatOf("ec", status); }
float MFnBlinnShader::specularRollOff(MStatus* status) const { return floatOf("sro", status); }

// ------------------------------------------------------------------ lights

MFnLight::MFnLight(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnLight::MFnLight(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }
MFnNonAmbientLight::MFnNonAmbientLight(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnNonAmbientLight::MFnNonAmbientLight(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }
MFnNonExtendedLight::MFnNonExtendedLight(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnNonExtendedLight::MFnNonExtendedLight(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }
MFnPointLight::MFnPointLight(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnPointLight::MFnPointLight(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }
MFnDirectionalLight::MFnDirectionalLight(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnDirectionalLight::MFnDirectionalLight(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }
MFnSpotLight::MFnSpotLight(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnSpotLight::MFnSpotLight(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }

MColor MFnLight::color(MStatus* status) const {
  kvhost::Node* n = node(status);
  if (!n) return MColor();
  MVector c = kvhost::getVector(*n, "cl");
  return MColor(static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z));
}

MStatus MFnLight::setColor(const MColor& color) {
  if (!node()) return MS::kInvalidParameter;
  MPlug p = findPlug("cl");
  for (unsigned i = 0; i < 3; ++i) p.child(i).setValue(color[i]);
  return MS::kSuccess;
}

float MFnLight::intensity(MStatus* status) const {
  kvhost::Node* n = node(status);
  return n ? static_cast<float>(kvhost::getNumber(*n, "in")) : 0.0f;
}

MStatus MFnLight::setIntensity(float intensity) {
  if (!node()) return MS::kInvalidParameter;
  return findPlug("in").setValue(intensity);
}

MColor MFnLight::lightIntensity(MStatus* status) const {
  // Colour scaled by intensity; alpha stays 1 (unconfirmed against Maya).
  MColor c = color(status);
  float i = intensity();
  return MColor(c.r * i, c.g * i, c.b * i, 1.0f);
}

MFloatVector MFnLight::lightDirection(int instance, MSpace::Space space, MStatus* status) const {
  kvhost::Node* n = node(status);
  if (!n) return MFloatVector();
  MVector d(0, 0, -1);
  if (space == MSpace::kWorld) {
    MDagPath p = fHasPath ? fPath : pathOrFirst();
    MDagPathArray all;
    if (!fHasPath && instance > 0 && MDagPath::getAllPathsTo(fObject, all) && static_cast<unsigned>(instance) < all.length())
      p = all[static_cast<unsigned>(instance)];
    // Lights point down their local -z axis; only the rotation of the world matrix matters.
    d = (d * p.inclusiveMatrix()).normal();
  }
  return MFloatVector(d);
}

double MFnSpotLight::coneAngle(MStatus* status) const {
  kvhost::Node* n = node(status);
  return n ? kvhost::getNumber(*n, "ca") : 0.0;
}

MStatus MFnSpotLight::setConeAngle(double angle) {
  if (!node()) return MS::kInvalidParameter;
  return findPlug("ca").setValue(angle);
}

double MFnSpotLight::penumbraAngle(MStatus* status) const {
  kvhost::Node* n = node(status);
  return n ? kvhost::getNumber(*n, "pa") : 0.0;
}

double MFnSpotLight::dropOff(MStatus* status) const {
  kvhost::Node* n = node(status);
  return n ? kvhost::getNumber(*n, "dro") : 0.0;
}

MStatus MFnSpotLight::setDropOff(double dropOff) {
  if (!node()) return MS::kInvalidParameter;
  return findPlug("dro").setValue(dropOff);
}

// ------------------------------------------------------------------ cameras

MFnCamera::MFnCamera(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnCamera::MFnCamera(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }

#define KV_CAMERA_NUMBER(method, attr)                           \
  double MFnCamera::method(MStatus* status) const {              \
    kvhost::Node* n = node(status);                              \
    return n ? kvhost::getNumber(*n, attr) : 0.0;                \
  }
KV_CAMERA_NUMBER(orthoWidth, "ow")
KV_CAMERA_NUMBER(focalLength, "fl")
KV_CAMERA_NUMBER(horizontalFilmAperture, "hfa")
KV_CAMERA_NUMBER(verticalFilmAperture, "vfa")
KV_CAMERA_NUMBER(cameraScale, "cs")
KV_CAMERA_NUMBER(nearClippingPlane, "ncp")
KV_CAMERA_NUMBER(farClippingPlane, "fcp")
KV_CAMERA_NUMBER(centerOfInterest, "coi")
#undef KV_CAMERA_NUMBER

bool MFnCamera::isOrtho(MStatus* status) const {
  kvhost::Node* n = node(status);
  return n && kvhost::getBool(*n, "o");
}

double MFnCamera::horizontalFieldOfView(MStatus* status) const {
  double fl = focalLength(status);
  if (fl <= 0.0) return 0.0;
  return 2.0 * std::atan(horizontalFilmAperture() * 25.4 * cameraScale() / (2.0 * fl));
}

double MFnCamera::verticalFieldOfView(MStatus* status) const {
  double fl = focalLength(status);
  if (fl <= 0.0) return 0.0;
  return 2.0 * std::atan(verticalFilmAperture() * 25.4 * cameraScale() / (2.0 * fl));
}

MVector MFnCamera::direction(const MVector& local, MSpace::Space space) const {
  if (space != MSpace::kWorld) return local;
  return (local * pathOrFirst().inclusiveMatrix()).normal();
}

MVector MFnCamera::viewDirection(MSpace::Space space, MStatus* status) const {
  if (!node(status)) return MVector();
  return direction(MVector(0, 0, -1), space);
}

