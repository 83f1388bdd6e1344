#pragma once
// A path from the world down to a DAG node; an instanced node has one path per
// instance.

#include <memory>
#include <vector>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MString.h>

class MDagPathArray;
namespace kvhost {
class Node;
struct DagLink;
}

class OPENMAYA_EXPORT MDagPath {
public:
  MDagPath() = default;
  MDagPath(const MDagPath&) = default;
  MDagPath& operator=(const MDagPath&) = default;

  static MStatus getAllPathsTo(const MObject& node, MDagPathArray& paths);
  static MStatus getAPathTo(const MObject& node, MDagPath& path);

  bool hasFn(MFn::Type type, MStatus* status = nullptr) const;
  MFn::Type apiType(MStatus* status = nullptr) const;
  bool isValid(MStatus* status = nullptr) const;
  MObject node(MStatus* status = nullptr) const;
  // The transform above a shape; a transform itself. (For a path, copy the path
  // and pop() it.)
  MObject transform(MStatus* status = nullptr) const;
  unsigned int length(MStatus* status = nullptr) const;
  unsigned int childCount(MStatus* status = nullptr) const;
  MObject child(unsigned int index, MStatus* status = nullptr) const;
  MStatus push(const MObject& child);
  MStatus pop(unsigned int count = 1);
  MStatus set(const MDagPath& source) { *this = source; return MS::kSuccess; }
  MStatus extendToShape();
  MStatus numberOfShapesDirectlyBelow(unsigned int& count) const;
  unsigned int instanceNumber(MStatus* status = nullptr) const;
  bool isInstanced(MStatus* status = nullptr) const;
  MMatrix inclusiveMatrix(MStatus* status = nullptr) const;
  MMatrix inclusiveMatrixInverse(MStatus* status = nullptr) const { return inclusiveMatrix(status).inverse(); }
  MString fullPathName(MStatus* status = nullptr) const;
  MString partialPathName(MStatus* status = nullptr) const;
  bool operator==(const MDagPath& other) const;

  // The path's last node, linked to the path of its parent: copies, and paths
  // pushed from this one, share the links above. Null for the world (which the
  // `world` flag marks) and for an empty path.
  std::shared_ptr<const kvhost::DagLink> fTail;
  bool fWorld = false;
};
