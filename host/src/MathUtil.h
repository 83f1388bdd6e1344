#pragma once
// Matrix composition and decomposition shared by the evaluator and the API classes.

#include <maya/MMatrix.h>
#include <maya/MVector.h>

namespace kvhost {

// Elementary rotation about axis 0/1/2 for row vectors.
MMatrix axisRotation(int axis, double angle);
// Rotation from angles (x, y, z) in radians composed in the rotateOrder `order`.
MMatrix eulerMatrix(const double r[3], int order);
// Angles (x, y, z) in `order` that reproduce the rotation part of m.
void eulerFromMatrix(const MMatrix& m, int order, double out[3]);
MMatrix translationMatrix(const MVector& t);
MMatrix scaleMatrix(const MVector& s);
// Shear (xy, xz, yz) as rows [1 0 0; xy 1 0; xz yz 1].
MMatrix shearMatrix(const MVector& sh);

struct TransformParts {
  MVector translate, rotate, scale{1, 1, 1}, shear, rotatePivot, rotatePivotTranslate, scalePivot,
      scalePivotTranslate, rotateAxis;
  int rotateOrder = 0;
};

struct JointParts {
  MVector translate, rotate, scale{1, 1, 1}, rotateAxis, jointOrient, inverseScale{1, 1, 1};
  int rotateOrder = 0;
  bool segmentScaleCompensate = true;
};

MMatrix composeTransform(const TransformParts& p);
MMatrix composeJoint(const JointParts& p);

// Rows orthogonalised in order (x, then y, then z); a negative determinant is
// carried by the z scale.
struct Decomposed {
  MVector scale{1, 1, 1}, shear, translate;
  MMatrix rotation;
};
Decomposed decompose(const MMatrix& m);

}  // namespace kvhost
