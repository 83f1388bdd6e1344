#pragma once
// Euler angles in radians with a rotation order (same values as the
// rotateOrder attribute).

#include <maya/MMatrix.h>
#include <maya/MVector.h>

class MQuaternion;

class OPENMAYA_EXPORT MEulerRotation {
public:
  enum RotationOrder { kXYZ = 0, kYZX = 1, kZXY = 2, kXZY = 3, kYXZ = 4, kZYX = 5 };
  MEulerRotation() = default;
  MEulerRotation(double xx, double yy, double zz, RotationOrder ord = kXYZ) : x(xx), y(yy), z(zz), order(ord) {}
  MEulerRotation(const MVector& v, RotationOrder ord = kXYZ) : x(v.x), y(v.y), z(v.z), order(ord) {}

  double operator[](unsigned int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  MMatrix asMatrix() const;
  MQuaternion asQuaternion() const;
  MVector asVector() const { return {x, y, z}; }
  bool isEquivalent(const MEulerRotation& o, double tolerance = 1e-10) const;
  bool operator==(const MEulerRotation& o) const { return x == o.x && y == o.y && z == o.z && order == o.order; }
  // Angles in the given order that reproduce the rotation matrix.
  static MEulerRotation decompose(const MMatrix& rotation, RotationOrder order);
  MEulerRotation reorder(RotationOrder ord) const;

  double x = 0.0, y = 0.0, z = 0.0;
  RotationOrder order = kXYZ;
};
