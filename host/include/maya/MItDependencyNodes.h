#pragma once
// Iteration over every dependency node: Maya's default nodes first, then the
// others in creation order; optionally filtered by hasFn.

#include <cstddef>
#include <maya/MFn.h>
#include <maya/MObject.h>

class OPENMAYA_EXPORT MItDependencyNodes {
public:
  MItDependencyNodes(MFn::Type filter = MFn::kInvalid, MStatus* status = nullptr);
  ~MItDependencyNodes();

  MStatus reset();
  MStatus next();
  bool isDone(MStatus* status = nullptr) const;
  MObject item(MStatus* status = nullptr) const;
  MObject thisNode(MStatus* status = nullptr) const { return item(status); }

private:
  void skip();
  size_t fIndex = 0;
  MFn::Type fFilter;
  bool fFailed = false;
};
