#pragma once
// Three-component float vector.

#include <cmath>
#include <maya/MVector.h>

class OPENMAYA_EXPORT MFloatVector {
public:
  MFloatVector() = default;
  MFloatVector(float xx, float yy, float zz = 0.0f) : x(xx), y(yy), z(zz) {}
  MFloatVector(const MVector& v) : x(float(v.x)), y(float(v.y)), z(float(v.z)) {}
  float operator[](unsigned int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  float& operator[](unsigned int i) { return i == 0 ? x : (i == 1 ? y : z); }
  MFloatVector operator+(const MFloatVector& o) const { return {x + o.x, y + o.y, z + o.z}; }
  MFloatVector operator-(const MFloatVector& o) const { return {x - o.x, y - o.y, z - o.z}; }
  MFloatVector operator-() const { return {-x, -y, -z}; }
  MFloatVector operator*(float s) const { return {x * s, y * s, z * s}; }
  float operator*(const MFloatVector& o) const { return x * o.x + y * o.y + z * o.z; }
  bool operator==(const MFloatVector& o) const { return x == o.x && y == o.y && z == o.z; }
  float length() const { return std::sqrt(x * x + y * y + z * z); }
  MFloatVector normal() const { float l = length(); return l > 0.0f ? MFloatVector(x / l, y / l, z / l) : *this; }
  MStatus normalize() { *this = normal(); return MS::kSuccess; }
  bool isEquivalent(const MFloatVector& o, float tolerance = 1e-5f) const {
    return std::fabs(x - o.x) <= tolerance && std::fabs(y - o.y) <= tolerance && std::fabs(z - o.z) <= tolerance;
  }
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

inline MVector::MVector(const MFloatVector& v) : x(v.x), y(v.y), z(v.z) {}
