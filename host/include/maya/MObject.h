#pragma once
// Handle to a host object: a node, an attribute, a data value or a component.

#include <memory>
#include <maya/MFn.h>
#include <maya/MStatus.h>

namespace kvhost {
class Object;
}

class OPENMAYA_EXPORT MObject {
public:
  MObject() = default;
  MObject(const MObject&) = default;
  MObject(MObject&&) noexcept = default;
  MObject& operator=(const MObject&) = default;
  MObject& operator=(MObject&&) noexcept = default;
  ~MObject() = default;

  bool hasFn(MFn::Type type) const;
  bool isNull() const { return !fObject; }
  MFn::Type apiType() const;
  // The name of apiType() ("kMesh", "kTransform", ...).
  const char* apiTypeStr() const;
  bool operator==(const MObject& other) const { return fObject == other.fObject; }
  bool operator!=(const MObject& other) const { return fObject != other.fObject; }

  // Non-const, as in Maya: it is the default of MObject& parameters.
  static MObject kNullObj;

  explicit MObject(std::shared_ptr<kvhost::Object> object) : fObject(std::move(object)) {}
  const std::shared_ptr<kvhost::Object>& object() const { return fObject; }

private:
  std::shared_ptr<kvhost::Object> fObject;
};
