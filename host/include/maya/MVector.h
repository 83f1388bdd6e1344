#pragma once
// Three-component double vector. Multiplying by a matrix ignores its translation.

#include <cmath>
#include <maya/MMatrix.h>

class MPoint;
class MFloatVector;

class OPENMAYA_EXPORT MVector {
public:
  MVector() = default;
  MVector(double xx, double yy, double zz = 0.0) : x(xx), y(yy), z(zz) {}
  MVector(const double d[3]) : x(d[0]), y(d[1]), z(d[2]) {}
  MVector(const MPoint& p);
  MVector(const MFloatVector& v);

  double operator[](unsigned int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  double& operator[](unsigned int i) { return i == 0 ? x : (i == 1 ? y : z); }
  MVector operator+(const MVector& o) const { return {x + o.x, y + o.y, z + o.z}; }
  MVector operator-(const MVector& o) const { return {x - o.x, y - o.y, z - o.z}; }
  MVector operator-() const { return {-x, -y, -z}; }
  MVector operator*(double s) const { return {x * s, y * s, z * s}; }
  MVector operator/(double s) const { return {x / s, y / s, z / s}; }
  MVector& operator+=(const MVector& o) { x += o.x; y += o.y; z += o.z; return *this; }
  MVector& operator-=(const MVector& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
  MVector& operator*=(double s) { x *= s; y *= s; z *= s; return *this; }
  double operator*(const MVector& o) const { return x * o.x + y * o.y + z * o.z; }
  MVector operator^(const MVector& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
  MVector operator*(const MMatrix& m) const {
    return {x * m[0][0] + y * m[1][0] + z * m[2][0], x * m[0][1] + y * m[1][1] + z * m[2][1],
            x * m[0][2] + y * m[1][2] + z * m[2][2]};
  }
  MVector& operator*=(const MMatrix& m) { return *this = *this * m; }
  bool operator==(const MVector& o) const { return x == o.x && y == o.y && z == o.z; }
  bool operator!=(const MVector& o) const { return !(*this == o); }
  bool isEquivalent(const MVector& o, double tolerance = 1e-10) const {
    return std::fabs(x - o.x) <= tolerance && std::fabs(y - o.y) <= tolerance && std::fabs(z - o.z) <= tolerance;
  }
  double length() const { return std::sqrt(x * x + y * y + z * z); }
  MVector normal() const { double l = length(); return l > 0.0 ? *this / l : *this; }
  MStatus normalize() { *this = normal(); return MS::kSuccess; }
  MStatus get(double d[3]) const { d[0] = x; d[1] = y; d[2] = z; return MS::kSuccess; }

  static const MVector zero, xAxis, yAxis, zAxis, xNegAxis, yNegAxis, zNegAxis, one;
  double x = 0.0, y = 0.0, z = 0.0;
};

inline MVector operator*(double s, const MVector& v) { return v * s; }
