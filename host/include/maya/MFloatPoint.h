#pragma once
// Homogeneous float point.

#include <maya/MPoint.h>

class OPENMAYA_EXPORT MFloatPoint {
public:
  MFloatPoint() = default;
  MFloatPoint(float xx, float yy, float zz = 0.0f, float ww = 1.0f) : x(xx), y(yy), z(zz), w(ww) {}
  MFloatPoint(const MPoint& p) : x(float(p.x)), y(float(p.y)), z(float(p.z)), w(float(p.w)) {}
  float operator[](unsigned int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
  bool operator==(const MFloatPoint& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
};

inline MPoint::MPoint(const MFloatPoint& p) : x(p.x), y(p.y), z(p.z), w(p.w) {}
