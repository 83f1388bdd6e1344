#pragma once
// Base of every function set: an object (and, for DAG function sets, a path)
// that the set is attached to. Attaching an object of the wrong kind fails
// with kInvalidParameter and leaves the set unattached.

#include <maya/MDagPath.h>
#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

namespace kvhost {
class Node;
}

class OPENMAYA_EXPORT MFnBase {
public:
  MFnBase() = default;
  virtual ~MFnBase();
  virtual MFn::Type type() const { return MFn::kBase; }
  bool hasObj(MFn::Type t) const;
  bool hasObj(const MObject& object) const { return object.hasFn(type()); }
  MObject object(MStatus* status = nullptr) const;
  virtual MStatus setObject(const MObject& object);

protected:
  // The attached node, or null (with kInvalidParameter in *status).
  kvhost::Node* node(MStatus* status = nullptr) const;
  MObject fObject;
  MDagPath fPath;
  bool fHasPath = false;
};
