#pragma once
// Iteration over the vertices of a shape's evaluated geometry.

#include <memory>
#include <maya/MDagPath.h>
#include <maya/MObject.h>
#include <maya/MPoint.h>

namespace kvhost {
struct MeshGeom;
}

class OPENMAYA_EXPORT MItGeometry {
public:
  MItGeometry(const MDagPath& dagPath, MStatus* status = nullptr);
  MItGeometry(MObject& dagObject, MStatus* status = nullptr);
  ~MItGeometry();

  bool isDone(MStatus* status = nullptr) const;
  MStatus next();
  MStatus reset();
  int index(MStatus* status = nullptr) const;
  int count(MStatus* status = nullptr) const;
  MPoint position(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  // The current vertex as a single-vertex component.
  MObject component(MStatus* status = nullptr) const;

private:
  std::shared_ptr<const kvhost::MeshGeom> fGeom;
  MDagPath fPath;
  int fIndex = 0;
};
