// MStatus, MString, MObject and the type names of MFn.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include "Core.h"

// ------------------------------------------------------------------ MStatus

MString MStatus::errorString() const {
  switch (fCode) {
    case MS::kSuccess: return "(kSuccess): Success";
    case MS::kFailure: return "(kFailure): Unexpected Internal Failure";
    case MS::kInsufficientMemory: return "(kInsufficientMemory): Insufficient Memory";
    case MS::kInvalidParameter: return "(kInvalidParameter): Object is incompatible with this method";
    case MS::kLicenseFailure: return "(kLicenseFailure): License Failure";
    case MS::kUnknownParameter: return "(kUnknownParameter): Unknown Parameter";
    case MS::kNotImplemented: return "(kNotImplemented): Not Implemented";
    case MS::kNotFound: return "(kNotFound): Not Found";
    case MS::kEndOfFile: return "(kEndOfFile): End of File";
  }
  return "(unknown status)";
}

void MStatus::perror(const char* prefix) const {
  std::cerr << (prefix ? prefix : "") << ": " << errorString().asChar() << std::endl;
}

void MStatus::perror(const MString& prefix) const { perror(prefix.asChar()); }

std::ostream& operator<<(std::ostream& os, const MStatus& status) { return os << status.errorString().asChar(); }

// ------------------------------------------------------------------ MString

MString& MString::set(double value, int precision) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*g", precision, value);
  fText = buf;
  return *this;
}

MString& MString::operator+=(double value) {
  MString n;
  n.set(value);
  fText += n.fText;
  return *this;
}

MString& MString::operator+=(int value) {
  fText += std::to_string(value);
  return *this;
}

MString& MString::operator+=(unsigned int value) {
  fText += std::to_string(value);
  return *this;
}

MStatus MString::split(char delimiter, MStringArray& parts) const {
  parts.clear();
  std::string cur;
  for (char c : fText) {
    if (c == delimiter) {
      if (!cur.empty()) parts.append(MString(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.append(MString(cur));
  return MS::kSuccess;
}

MString MString::toLowerCase() const {
  std::string s = fText;
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return MString(s);
}

MString MString::toUpperCase() const {
  std::string s = fText;
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return MString(s);
}

bool MString::isInt() const {
  if (fText.empty()) return false;
  char* end = nullptr;
  std::strtol(fText.c_str(), &end, 10);
  return *end == '\0';
}

bool MString::isDouble() const {
  if (fText.empty()) return false;
  char* end = nullptr;
  std::strtod(fText.c_str(), &end);
  return *end == '\0';
}

int MString::asInt() const { return static_cast<int>(std::strtol(fText.c_str(), nullptr, 10)); }
double MString::asDouble() const { return std::strtod(fText.c_str(), nullptr); }

std::ostream& operator<<(std::ostream& os, const MString& text) { return os << text.asChar(); }

// ------------------------------------------------------------------ MObject

MObject MObject::kNullObj;

bool MObject::hasFn(MFn::Type type) const { return fObject && fObject->hasFn(type); }

MFn::Type MObject::apiType() const { return fObject ? fObject->apiType() : MFn::kInvalid; }

const char* MObject::apiTypeStr() const { return kvhost::apiTypeName(apiType()); }

namespace kvhost {

const char* apiTypeName(MFn::Type type) {
  switch (type) {
#define KV_NAME(x) \
  case MFn::x: return #x;
    KV_NAME(kInvalid) KV_NAME(kBase) KV_NAME(kNamedObject) KV_NAME(kModel) KV_NAME(kDependencyNode)
    KV_NAME(kAddDoubleLinear) KV_NAME(kAnimCurve) KV_NAME(kAttribute) KV_NAME(kComponent) KV_NAME(kMeshComponent)
    KV_NAME(kMeshVertComponent) KV_NAME(kMeshEdgeComponent) KV_NAME(kMeshPolygonComponent)
    KV_NAME(kMeshFaceVertComponent) KV_NAME(kSingleIndexedComponent) KV_NAME(kDagNode) KV_NAME(kWorld)
    KV_NAME(kTransform) KV_NAME(kIkEffector) KV_NAME(kIkHandle) KV_NAME(kJoint) KV_NAME(kLookAt) KV_NAME(kShape)
    KV_NAME(kCamera) KV_NAME(kNurbsCurve) KV_NAME(kLocator) KV_NAME(kNurbsSurface) KV_NAME(kMesh) KV_NAME(kLight)
    KV_NAME(kAmbientLight) KV_NAME(kNonAmbientLight) KV_NAME(kAreaLight) KV_NAME(kLinearLight)
    KV_NAME(kNonExtendedLight) KV_NAME(kDirectionalLight) KV_NAME(kPointLight) KV_NAME(kSpotLight)
    KV_NAME(kShadingEngine) KV_NAME(kGeometryFilt) KV_NAME(kBlendShape) KV_NAME(kCluster) KV_NAME(kTweak)
    KV_NAME(kGroupId) KV_NAME(kGroupParts) KV_NAME(kLambert) KV_NAME(kReflect) KV_NAME(kBlinn) KV_NAME(kPhong)
    KV_NAME(kTexture2d) KV_NAME(kFileTexture) KV_NAME(kPlace2dTexture) KV_NAME(kData) KV_NAME(kComponentListData)
    KV_NAME(kDoubleArrayData) KV_NAME(kIntArrayData) KV_NAME(kMatrixData) KV_NAME(kMeshData)
    KV_NAME(kPointArrayData) KV_NAME(kStringArrayData) KV_NAME(kStringData) KV_NAME(kVectorArrayData)
    KV_NAME(kPluginData) KV_NAME(kPlugin) KV_NAME(kNumericData) KV_NAME(kSkinClusterFilter) KV_NAME(kDagPose) KV_NAME(kConstraint)
    KV_NAME(kAimConstraint) KV_NAME(kOrientConstraint) KV_NAME(kParentConstraint) KV_NAME(kPointConstraint)
    KV_NAME(kScaleConstraint) KV_NAME(kLast)
#undef KV_NAME
  }
  return "kInvalid";
}

}  // namespace kvhost
