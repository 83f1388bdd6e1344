#pragma once
// Iteration over the polygons of a mesh.

#include <memory>
#include <maya/MDagPath.h>
#include <maya/MIntArray.h>
#include <maya/MObject.h>
#include <maya/MPoint.h>
#include <maya/MString.h>

namespace kvhost {
struct MeshGeom;
}

class OPENMAYA_EXPORT MItMeshPolygon {
public:
  MItMeshPolygon(const MObject& polyObject, MStatus* status = nullptr);
  MItMeshPolygon(const MDagPath& polyObject, MObject& component = MObject::kNullObj, MStatus* status = nullptr);
  ~MItMeshPolygon();

  // As in Maya, the queries of the current polygon are not const.
  bool isDone(MStatus* status = nullptr);
  MStatus next();
  MStatus reset();
  unsigned int index(MStatus* status = nullptr);
  unsigned int count(MStatus* status = nullptr);
  // Moves to a polygon; prevIndex receives the previous one.
  MStatus setIndex(int index, int& prevIndex);
  unsigned int polygonVertexCount(MStatus* status = nullptr);
  int vertexIndex(int vertex, MStatus* status = nullptr);
  MStatus getVertices(MIntArray& vertices);
  MPoint point(int vertex, MSpace::Space space = MSpace::kObject, MStatus* status = nullptr);
  bool hasUVs(MStatus* status = nullptr) const;
  bool hasUVs(const MString& uvSet, MStatus* status = nullptr) const;
  // Fails when the polygon has no UV at that corner in the set.
  MStatus getUVIndex(int vertex, int& index, const MString* uvSet = nullptr);
  MStatus getUVIndex(int vertex, int& index, float& u, float& v, const MString* uvSet = nullptr);

private:
  bool finished() const;
  void moved();  // fIndex changed
  int setIndexOf(const MString* uvSet) const;
  std::shared_ptr<const kvhost::MeshGeom> fGeom;
  MDagPath fPath;
  int fIndex = 0;
  int fFirst = 0, fCorners = 0;  // the polygon's corners, in the mesh's face vertices
  int fCurrentSet = -1;
  // The UV set last asked for by name (exporters ask once per corner).
  mutable MString fNamedSet;
  mutable int fNamedSetIndex = -1;
};
