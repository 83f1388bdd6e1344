#pragma once
// Rotation quaternion (x, y, z imaginary, w real). q1 * q2 applies q1, then q2.

#include <maya/MMatrix.h>
#include <maya/MVector.h>

class MEulerRotation;

class OPENMAYA_EXPORT MQuaternion {
public:
  MQuaternion() = default;
  MQuaternion(double xx, double yy, double zz, double ww) : x(xx), y(yy), z(zz), w(ww) {}
  // Rotation of `angle` radians about `axis`.
  MQuaternion(double angle, const MVector& axis);
  // Shortest rotation taking a onto b.
  MQuaternion(const MVector& a, const MVector& b);

  double operator[](unsigned int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
  double& operator[](unsigned int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
  MQuaternion operator*(const MQuaternion& right) const;
  MQuaternion& operator*=(const MQuaternion& right) { return *this = *this * right; }
  MQuaternion operator-() const { return {-x, -y, -z, -w}; }
  bool operator==(const MQuaternion& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
  bool operator!=(const MQuaternion& o) const { return !(*this == o); }
  bool isEquivalent(const MQuaternion& o, double tolerance = 1e-10) const;
  MQuaternion conjugate() const { return {-x, -y, -z, w}; }
  MQuaternion inverse() const;
  MQuaternion normal() const;
  MQuaternion& normalizeIt() { return *this = normal(); }
  // Rotation matrix for row vectors.
  MMatrix asMatrix() const;
  MEulerRotation asEulerRotation() const;
  // Sets from the rotation part of a matrix (scale-free rows expected).
  MQuaternion& operator=(const MMatrix& m);
  MQuaternion& operator=(const MQuaternion&) = default;
  MQuaternion(const MQuaternion&) = default;
  bool getAxisAngle(MVector& axis, double& angle) const;

  static const MQuaternion identity;
  double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
};

// Rotates v by q.
OPENMAYA_EXPORT MVector operator*(const MVector& v, const MQuaternion& q);
