#pragma once
// A transformation held as components (scale, shear, rotation, rotate axis,
// translation, pivots) that compose a transform node's matrix:
// SP^-1 * S * SH * SP * ST * RP^-1 * RA * R * RP * RT * T.

#include <maya/MEulerRotation.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>
#include <maya/MQuaternion.h>
#include <maya/MVector.h>

class OPENMAYA_EXPORT MTransformationMatrix {
public:
  // Rotation orders of this class are the rotateOrder attribute value + 1.
  enum RotationOrder { kInvalid = 0, kXYZ, kYZX, kZXY, kXZY, kYXZ, kZYX, kLast };

  MTransformationMatrix() = default;
  MTransformationMatrix(const MTransformationMatrix&) = default;
  MTransformationMatrix& operator=(const MTransformationMatrix&) = default;
  // Decomposes a matrix into scale, shear, rotation and translation.
  MTransformationMatrix(const MMatrix& m);
  MTransformationMatrix& operator=(const MMatrix& m) { return *this = MTransformationMatrix(m); }

  MMatrix asMatrix() const;
  MMatrix asMatrix(double percent) const;
  MMatrix asMatrixInverse() const { return asMatrix().inverse(); }
  MMatrix asScaleMatrix() const;
  MMatrix asRotateMatrix() const;

  MVector translation(MSpace::Space space, MStatus* status = nullptr) const;
  MStatus setTranslation(const MVector& v, MSpace::Space space);
  MStatus addTranslation(const MVector& v, MSpace::Space space);
  MQuaternion rotation(MStatus* status = nullptr) const;
  MTransformationMatrix& rotateTo(const MQuaternion& q);
  MTransformationMatrix& rotateTo(const MEulerRotation& e);
  MEulerRotation eulerRotation(MStatus* status = nullptr) const;
  MStatus getRotation(double rotation[3], RotationOrder& order) const;
  MStatus setRotation(const double rotation[3], RotationOrder order);
  MStatus getRotationQuaternion(double& x, double& y, double& z, double& w) const;
  MStatus setRotationQuaternion(double x, double y, double z, double w);
  RotationOrder rotationOrder(MStatus* status = nullptr) const;
  MStatus reorderRotation(const RotationOrder& order);
  MQuaternion rotationOrientation() const { return fRotateAxis; }
  MTransformationMatrix& setRotationOrientation(const MQuaternion& q) { fRotateAxis = q; return *this; }
  MStatus getScale(double scale[3], MSpace::Space space) const;
  MStatus setScale(const double scale[3], MSpace::Space space);
  MStatus getShear(double shear[3], MSpace::Space space) const;
  MStatus setShear(const double shear[3], MSpace::Space space);
  MPoint scalePivot(MSpace::Space space, MStatus* status = nullptr) const;
  MStatus setScalePivot(const MPoint& p, MSpace::Space space, bool balance);
  MVector scalePivotTranslation(MSpace::Space space, MStatus* status = nullptr) const;
  MStatus setScalePivotTranslation(const MVector& v, MSpace::Space space);
  MPoint rotatePivot(MSpace::Space space, MStatus* status = nullptr) const;
  MStatus setRotatePivot(const MPoint& p, MSpace::Space space, bool balance);
  MVector rotatePivotTranslation(MSpace::Space space, MStatus* status = nullptr) const;
  MStatus setRotatePivotTranslation(const MVector& v, MSpace::Space space);
  bool isEquivalent(const MTransformationMatrix& other, double tolerance = 1e-10) const;
  bool operator==(const MTransformationMatrix& other) const { return asMatrix() == other.asMatrix(); }
  bool operator!=(const MTransformationMatrix& other) const { return !(*this == other); }

  static const MTransformationMatrix identity;

private:
  MVector fScale{1.0, 1.0, 1.0};
  MVector fShear;
  MEulerRotation fRotation;
  MQuaternion fRotationQ;  // kept in step with fRotation
  MQuaternion fRotateAxis;
  MVector fTranslation;
  MPoint fScalePivot;
  MVector fScalePivotTranslation;
  MPoint fRotatePivot;
  MVector fRotatePivotTranslation;
};
