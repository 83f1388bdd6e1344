// Vectors and the view of a render, in Maya's right-handed space.
#pragma once

#include <cmath>
#include <cstdint>

#include "kv/Math.h"

namespace kvrender {

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
// The zero vector stays zero.
inline Vec3 Normalize(Vec3 a) {
  const float length = Length(a);
  return length > 0.0f ? a * (1.0f / length) : a;
}

// Archives store Maya's positions and directions with x negated; this undoes it.
inline Vec3 FromArchive(const KvVec3& v) { return {-v.x, v.y, v.z}; }

// A pinhole camera: eye, an orthonormal right-handed basis (forward is the viewing
// direction) and the projection onto a width x height picture. View space has x to
// the right, y up and z along `forward`; a point at view (x, y, z) with z > 0 lands
// on the picture at (cx + focal * x / z, cy - focal * y / z), in pixels from the top
// left corner (pixel centres at +0.5).
struct View {
  Vec3 eye;
  Vec3 right, up, forward;
  float focal = 1.0f;  // pixels per unit of x / z
  float cx = 0.0f, cy = 0.0f;
  float nearZ = 1e-3f;  // nothing nearer than this is drawn
  uint32_t width = 0, height = 0;

  Vec3 ToView(Vec3 p) const {
    const Vec3 d = p - eye;
    return {Dot(d, right), Dot(d, up), Dot(d, forward)};
  }
  // The direction (not normalised) from the eye through picture point (px, py).
  Vec3 RayThrough(float px, float py) const {
    return forward + right * ((px - cx) / focal) + up * ((cy - py) / focal);
  }
};

}  // namespace kvrender
