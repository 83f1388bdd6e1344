#include "kv/Math.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kv/Archive.h"

namespace {

constexpr float kIdentityValues[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr float kFloatMax = 3.4028235e38f;

bool BitwiseEqual(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

uint32_t DeriveFlags(const float m[16]) {
  if (std::memcmp(m, kIdentityValues, sizeof kIdentityValues) == 0) return KvMatrix::kIdentity | KvMatrix::kAffine;
  if (m[3] == 0.0f && m[7] == 0.0f && m[11] == 0.0f && BitwiseEqual(m[15], 1.0f)) return KvMatrix::kAffine;
  return 0;
}

}  // namespace

// ---- KvMatrix ----------------------------------------------------------------------

void KvMatrix::SetIdentity() {
  std::memcpy(m, kIdentityValues, sizeof m);
  flags = kIdentity | kAffine;
}

void KvMatrix::Set(const float values[16]) {
  std::memcpy(m, values, sizeof m);
  flags = DeriveFlags(m);
}

void KvMatrix::Translate(const KvVec3& v) {
  if (v.x == 0.0f && v.y == 0.0f && v.z == 0.0f) return;
  m[12] += v.x;
  m[13] += v.y;
  m[14] += v.z;
  flags &= ~kIdentity;
}

void KvMatrix::Scale(const KvVec3& s) {
  if (BitwiseEqual(s.x, 1.0f) && BitwiseEqual(s.y, 1.0f) && BitwiseEqual(s.z, 1.0f)) return;
  for (uint32_t r = 0; r < 4; ++r) {
    m[4 * r] *= s.x;
    m[4 * r + 1] *= s.y;
    m[4 * r + 2] *= s.z;
  }
  flags &= ~kIdentity;
}

void KvMatrix::SetFromQuat(const KvQuat& q) {
  const float xx = 2.0f * q.x * q.x, yy = 2.0f * q.y * q.y, zz = 2.0f * q.z * q.z;
  const float xy = 2.0f * q.x * q.y, xz = 2.0f * q.x * q.z, yz = 2.0f * q.y * q.z;
  const float wx = 2.0f * q.w * q.x, wy = 2.0f * q.w * q.y, wz = 2.0f * q.w * q.z;
  const float values[16] = {
      1.0f - (yy + zz), xy + wz,          xz - wy,          0.0f,  //
      xy - wz,          1.0f - (xx + zz), yz + wx,          0.0f,  //
      xz + wy,          yz - wx,          1.0f - (xx + yy), 0.0f,  //
      0.0f,             0.0f,             0.0f,             1.0f,
  };
  Set(values);
}

void KvMatrix::Multiply(const KvMatrix& a, const KvMatrix& b, KvMatrix& result) {
  if (a.IsIdentity()) {
    result = b;
    return;
  }
  if (b.IsIdentity()) {
    result = a;
    return;
  }
  const bool affine = a.IsAffine() && b.IsAffine();
  const uint32_t columns = affine ? 3 : 4;
  for (uint32_t i = 0; i < 4; ++i) {
    for (uint32_t j = 0; j < columns; ++j) {
      result.m[4 * i + j] = a.m[4 * i] * b.m[j] + a.m[4 * i + 1] * b.m[4 + j] + a.m[4 * i + 2] * b.m[8 + j] +
                            a.m[4 * i + 3] * b.m[12 + j];
    }
  }
  if (affine) {
    // The last column is known exactly; rounding must not disturb it.
    result.m[3] = result.m[7] = result.m[11] = 0.0f;
    result.m[15] = 1.0f;
    result.flags = kAffine;
  } else {
    result.flags = 0;
  }
}

KvMatrix KvMatrix::operator*(const KvMatrix& other) const {
  KvMatrix result;
  Multiply(*this, other, result);
  return result;
}

KvMatrix KvMatrix::Inverse() const {
  if (IsIdentity()) return *this;
  // a[r][c] is the upper-left 3x3 part; cofactors c[r][c].
  const float a00 = m[0], a01 = m[1], a02 = m[2];
  const float a10 = m[4], a11 = m[5], a12 = m[6];
  const float a20 = m[8], a21 = m[9], a22 = m[10];
  const float c00 = a11 * a22 - a12 * a21;
  const float c01 = a12 * a20 - a10 * a22;
  const float c02 = a10 * a21 - a11 * a20;
  const float det = a00 * c00 + a01 * c01 + a02 * c02;
  if (std::fabs(static_cast<double>(det)) < 1e-12) return *this;
  const float c10 = a02 * a21 - a01 * a22;
  const float c11 = a00 * a22 - a02 * a20;
  const float c12 = a01 * a20 - a00 * a21;
  const float c20 = a01 * a12 - a02 * a11;
  const float c21 = a02 * a10 - a00 * a12;
  const float c22 = a00 * a11 - a01 * a10;
  const float f = 1.0f / det;
  // The inverse is the transposed cofactor matrix over the determinant.
  const float i00 = c00 * f, i01 = c10 * f, i02 = c20 * f;
  const float i10 = c01 * f, i11 = c11 * f, i12 = c21 * f;
  const float i20 = c02 * f, i21 = c12 * f, i22 = c22 * f;
  const float tx = m[12], ty = m[13], tz = m[14];
  KvMatrix result;
  const float values[16] = {
      i00, i01, i02, 0.0f,  //
      i10, i11, i12, 0.0f,  //
      i20, i21, i22, 0.0f,  //
      -(tx * i00 + ty * i10 + tz * i20), -(tx * i01 + ty * i11 + tz * i21), -(tx * i02 + ty * i12 + tz * i22), 1.0f,
  };
  std::memcpy(result.m, values, sizeof values);
  result.flags = kAffine;
  return result;
}

void KvMatrix::Serialize(KvArchive& archive) {
  archive.Serialize(flags);
  archive.SerializeFloats(m, 16);
}

// ---- KvBoundingBox ------------------------------------------------------------------

void KvBoundingBox::MakeEmpty() {
  min = KvVec3{kFloatMax, kFloatMax, kFloatMax};
  max = KvVec3{-kFloatMax, -kFloatMax, -kFloatMax};
}

// A NaN coordinate leaves the box as it is.
void KvBoundingBox::Expand(const KvVec3& p) {
  min = KvVec3{std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
  max = KvVec3{std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

void KvBoundingBox::Merge(const KvBoundingBox& other) {
  if (other.max.x < other.min.x || other.max.y < other.min.y || other.max.z < other.min.z) return;
  Expand(other.min);
  Expand(other.max);
}

KvVec3 KvBoundingBox::Center() const {
  return KvVec3{(min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f, (min.z + max.z) * 0.5f};
}

// ---- Serialized forms ------------------------------------------------------------------

void KvSerialize(KvArchive& archive, KvVec3& value) {
  archive.Serialize(value.x);
  archive.Serialize(value.y);
  archive.Serialize(value.z);
}

void KvSerialize(KvArchive& archive, KvQuat& value) {
  archive.Serialize(value.w);
  archive.Serialize(value.x);
  archive.Serialize(value.y);
  archive.Serialize(value.z);
}

void KvSerialize(KvArchive& archive, KvColor& value) {
  archive.Serialize(value.red);
  archive.Serialize(value.green);
  archive.Serialize(value.blue);
  archive.Serialize(value.alpha);
}

void KvSerialize(KvArchive& archive, KvTexCoord& value) {
  archive.Serialize(value.u);
  archive.Serialize(value.v);
}
