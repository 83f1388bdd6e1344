#pragma once
// Function set for DAG nodes: hierarchy, paths and the local transformation.

#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MMatrix.h>

class OPENMAYA_EXPORT MFnDagNode : public MFnDependencyNode {
public:
  MFnDagNode() = default;
  MFnDagNode(const MObject& object, MStatus* status = nullptr);
  MFnDagNode(const MDagPath& path, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kDagNode; }
  using MFnDependencyNode::setObject;
  MStatus setObject(const MObject& object) override;
  virtual MStatus setObject(const MDagPath& path);

  unsigned int parentCount(MStatus* status = nullptr) const;
  MObject parent(unsigned int index, MStatus* status = nullptr) const;
  unsigned int childCount(MStatus* status = nullptr) const;
  MObject child(unsigned int index, MStatus* status = nullptr) const;
  bool hasChild(const MObject& node, MStatus* status = nullptr) const;
  bool isChildOf(const MObject& node, MStatus* status = nullptr) const;
  bool isParentOf(const MObject& node, MStatus* status = nullptr) const;
  // The attached path, or the node's first path when attached by object.
  MStatus getPath(MDagPath& path) const;
  MDagPath dagPath(MStatus* status = nullptr) const;
  MStatus getAllPaths(class MDagPathArray& paths) const;
  MString fullPathName(MStatus* status = nullptr) const;
  MString partialPathName(MStatus* status = nullptr) const;
  bool isInstanced(bool indirect = true, MStatus* status = nullptr) const;
  unsigned int instanceCount(bool total, MStatus* status = nullptr) const;
  bool isIntermediateObject(MStatus* status = nullptr) const;
  MStatus setIntermediateObject(bool value);
  // The node's whole local matrix (identity for shapes).
  MMatrix transformationMatrix(MStatus* status = nullptr) const;

protected:
  MDagPath pathOrFirst() const;
};
