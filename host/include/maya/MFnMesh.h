#pragma once
// Function set for polygon meshes. Geometry is the shape's evaluated output:
// stored data, or what its construction history (poly generators and
// modifiers, groupParts, tweak, blendShape, skinCluster) makes. When the host
// cannot produce it, the mesh reads as empty and an error naming the mesh is
// shown once.

#include <maya/MFloatArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MIntArray.h>
#include <maya/MObjectArray.h>
#include <maya/MPoint.h>
#include <maya/MPointArray.h>
#include <maya/MStringArray.h>

#define kMFnMeshInstanceUnspecified -1

class OPENMAYA_EXPORT MFnMesh : public MFnDagNode {
public:
  MFnMesh() = default;
  MFnMesh(const MObject& object, MStatus* status = nullptr);
  MFnMesh(const MDagPath& path, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kMesh; }

  int numVertices(MStatus* status = nullptr) const;
  int numPolygons(MStatus* status = nullptr) const;
  int numFaceVertices(MStatus* status = nullptr) const;
  // Points in object space, or multiplied by the path's world matrix for kWorld.
  MStatus getPoints(MPointArray& points, MSpace::Space space = MSpace::kObject) const;
  MStatus getPoint(int vertexId, MPoint& point, MSpace::Space space = MSpace::kObject) const;
  int polygonVertexCount(int polygonId, MStatus* status = nullptr) const;
  // Vertices of a face: its outer loop, then its hole loops.
  MStatus getPolygonVertices(int polygonId, MIntArray& vertexList) const;
  MStatus getVertices(MIntArray& vertexCount, MIntArray& vertexList) const;
  // Edges in the mesh's own order (as files store them), and whether each is
  // smooth (soft).
  int numEdges(MStatus* status = nullptr) const;
  MStatus getEdgeVertices(int edgeId, int2& vertexList) const;
  bool isEdgeSmooth(int edgeId, MStatus* status = nullptr) const;

  // UV set names in the mesh's uvSet index order.
  MStatus getUVSetNames(MStringArray& setNames) const;
  // The current UV set (one set for every instance here).
  MString currentUVSetName(MStatus* status = nullptr, int instance = kMFnMeshInstanceUnspecified) const;
  MStatus getCurrentUVSetName(MString& name, int instance = kMFnMeshInstanceUnspecified) const;
  int numUVSets(MStatus* status = nullptr) const;
  // UVs of the current set, or of the named set.
  int numUVs(MStatus* status = nullptr) const;
  int numUVs(const MString& uvSet, MStatus* status = nullptr) const;
  MStatus getUVs(MFloatArray& uArray, MFloatArray& vArray, const MString* uvSet = nullptr) const;
  // Fails when the face has no UV at that corner.
  MStatus getPolygonUVid(int polygonId, int vertexIndex, int& uvId, const MString* uvSet = nullptr) const;

  // Shading groups of an instance and, per polygon, the index of its group
  // (-1 for a polygon that no group holds).
  MStatus getConnectedShaders(unsigned int instanceNumber, MObjectArray& shaders, MIntArray& indices) const;
};
