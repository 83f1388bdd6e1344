#pragma once
// Homogeneous double point (w is 1 for a Cartesian point).

#include <cmath>
#include <maya/MVector.h>

class MFloatPoint;

class OPENMAYA_EXPORT MPoint {
public:
  MPoint() = default;
  MPoint(double xx, double yy, double zz = 0.0, double ww = 1.0) : x(xx), y(yy), z(zz), w(ww) {}
  MPoint(const double d[4]) : x(d[0]), y(d[1]), z(d[2]), w(d[3]) {}
  MPoint(const MVector& v) : x(v.x), y(v.y), z(v.z) {}
  MPoint(const MFloatPoint& p);

  double operator[](unsigned int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
  double& operator[](unsigned int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
  MPoint operator+(const MVector& v) const { return {x + v.x, y + v.y, z + v.z, w}; }
  MPoint operator-(const MVector& v) const { return {x - v.x, y - v.y, z - v.z, w}; }
  MVector operator-(const MPoint& o) const { return {x - o.x, y - o.y, z - o.z}; }
  MPoint& operator+=(const MVector& v) { x += v.x; y += v.y; z += v.z; return *this; }
  MPoint& operator-=(const MVector& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
  MPoint operator*(double s) const { return {x * s, y * s, z * s, w}; }
  MPoint operator*(const MMatrix& m) const {
    return {x * m[0][0] + y * m[1][0] + z * m[2][0] + w * m[3][0], x * m[0][1] + y * m[1][1] + z * m[2][1] + w * m[3][1],
            x * m[0][2] + y * m[1][2] + z * m[2][2] + w * m[3][2], x * m[0][3] + y * m[1][3] + z * m[2][3] + w * m[3][3]};
  }
  MPoint& operator*=(const MMatrix& m) { return *this = *this * m; }
  bool operator==(const MPoint& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
  bool operator!=(const MPoint& o) const { return !(*this == o); }
  bool isEquivalent(const MPoint& o, double tolerance = 1e-10) const {
    return std::fabs(x - o.x) <= tolerance && std::fabs(y - o.y) <= tolerance && std::fabs(z - o.z) <= tolerance &&
           std::fabs(w - o.w) <= tolerance;
  }
  double distanceTo(const MPoint& o) const { return (*this - o).length(); }
  MPoint cartesianize() const { return w != 0.0 && w != 1.0 ? MPoint(x / w, y / w, z / w) : *this; }
  MStatus get(double d[4]) const { d[0] = x; d[1] = y; d[2] = z; d[3] = w; return MS::kSuccess; }

  static const MPoint origin;
  double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
};

inline MVector::MVector(const MPoint& p) : x(p.x), y(p.y), z(p.z) {}
