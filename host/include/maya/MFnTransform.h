#pragma once
// Function set for transform nodes.

#include <maya/MEulerRotation.h>
#include <maya/MFnDagNode.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MVector.h>

class OPENMAYA_EXPORT MFnTransform : public MFnDagNode {
public:
  MFnTransform() = default;
  MFnTransform(const MObject& object, MStatus* status = nullptr);
  MFnTransform(const MDagPath& path, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kTransform; }

  // The node's transformation: components of a transform, or the decomposed
  // local matrix of a joint (so its rotation includes the joint orient).
  MTransformationMatrix transformation(MStatus* status = nullptr) const;
  // Changes the node so that its local matrix becomes the given one.
  MStatus set(const MTransformationMatrix& transformation);
  MVector getTranslation(MSpace::Space space, MStatus* status = nullptr) const;
  MVector translation(MSpace::Space space, MStatus* status = nullptr) const { return getTranslation(space, status); }
  MStatus setTranslation(const MVector& vec, MSpace::Space space);
  MStatus getRotation(MEulerRotation& rotation) const;
  MStatus getRotation(MQuaternion& rotation, MSpace::Space space = MSpace::kTransform) const;
  MStatus setRotation(const MEulerRotation& rotation);
  MStatus setRotation(const MQuaternion& rotation, MSpace::Space space = MSpace::kTransform);
  MTransformationMatrix::RotationOrder rotationOrder(MStatus* status = nullptr) const;
  MStatus getScale(double scale[3]) const;
  MStatus setScale(const double scale[3]);
  MStatus getShear(double shear[3]) const;
  MStatus setShear(const double shear[3]);
  MPoint rotatePivot(MSpace::Space space, MStatus* status = nullptr) const;
  MPoint scalePivot(MSpace::Space space, MStatus* status = nullptr) const;
  MQuaternion rotateOrientation(MSpace::Space space, MStatus* status = nullptr) const;
};
