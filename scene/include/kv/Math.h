// Value types of the scene model: vectors, quaternions, colours, 4x4 transforms and
// axis-aligned bounding boxes, with their serialized forms.
//
// KvMatrix uses row vectors multiplied from the left (p' = p x M): the translation
// is row 3 (m[12], m[13], m[14]) and A x B applies A first, then B. Every matrix
// carries type flags (kIdentity, kAffine) that each operation keeps true, so the
// identity and affine shortcuts below are always safe. All arithmetic is single
// precision.
#pragma once

#include <cstdint>

class KvArchive;

struct KvVec3 {
  float x, y, z;
};

// Stored w first.
struct KvQuat {
  float w, x, y, z;
};

struct KvColor {
  KvColor() = default;
  KvColor(float r, float g, float b, float a) : red(r), green(g), blue(b), alpha(a) {}

  float red = 0.0f;
  float green = 0.0f;
  float blue = 0.0f;
  float alpha = 1.0f;
};

struct KvTexCoord {
  float u = 0.0f;
  float v = 0.0f;
};

class KvMatrix {
 public:
  // Type flags. Written into archives; never change.
  static constexpr uint32_t kIdentity = 1;  // the matrix is the identity
  static constexpr uint32_t kAffine = 2;    // column 3 is (0, 0, 0, 1)

  KvMatrix() { SetIdentity(); }
  // Sixteen values in row order; the flags are derived from them.
  explicit KvMatrix(const float values[16]) { Set(values); }

  void SetIdentity();
  void Set(const float values[16]);
  // Adds `v` to the translation row (nothing when v is zero).
  void Translate(const KvVec3& v);
  // M becomes M x diag(s): the translation row is scaled too (nothing when s is one).
  void Scale(const KvVec3& s);
  // The rotation matrix of a unit quaternion.
  void SetFromQuat(const KvQuat& q);

  // result = a x b; `result` may alias neither argument.
  static void Multiply(const KvMatrix& a, const KvMatrix& b, KvMatrix& result);
  KvMatrix operator*(const KvMatrix& other) const;

  KvVec3 TransformPoint(const KvVec3& p) const {
    if (IsIdentity()) return p;
    const KvVec3 r{p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
                   p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
    if (IsAffine()) return r;
    const float f = 1.0f / (p.x * m[3] + p.y * m[7] + p.z * m[11] + m[15]);
    return KvVec3{r.x * f, r.y * f, r.z * f};
  }
  // As TransformPoint without the translation row.
  KvVec3 TransformDirection(const KvVec3& d) const {
    if (IsIdentity()) return d;
    const KvVec3 r{d.x * m[0] + d.y * m[4] + d.z * m[8], d.x * m[1] + d.y * m[5] + d.z * m[9],
                   d.x * m[2] + d.y * m[6] + d.z * m[10]};
    if (IsAffine()) return r;
    const float f = 1.0f / (d.x * m[3] + d.y * m[7] + d.z * m[11] + m[15]);
    return KvVec3{r.x * f, r.y * f, r.z * f};
  }
  // The affine inverse; a copy of this matrix when the 3x3 part is singular
  // (|det| < 1e-12) or when this is the identity.
  KvMatrix Inverse() const;

  float operator[](uint32_t index) const { return m[index]; }
  const float* Values() const { return m; }
  uint32_t Flags() const { return flags; }
  bool IsIdentity() const { return (flags & kIdentity) != 0; }
  bool IsAffine() const { return (flags & kAffine) != 0; }

  // Serialized form: the flags (u32), then m0..m15. Loading takes both as stored.
  void Serialize(KvArchive& archive);

 private:
  float m[16];
  uint32_t flags;
};

class KvBoundingBox {
 public:
  KvBoundingBox() = default;
  KvBoundingBox(const KvVec3& minimum, const KvVec3& maximum) : min(minimum), max(maximum) {}

  // Minimum at +FLT_MAX, maximum at -FLT_MAX: expands to the first point it meets.
  void MakeEmpty();
  void Expand(const KvVec3& p);
  // Takes part only when `other` is not inverted on any axis (an empty box never is
  // merged; the all-zero box is).
  void Merge(const KvBoundingBox& other);
  KvVec3 Center() const;
  // From the positions of `count` vertices; all zero when count is 0.
  static KvBoundingBox FromVertices(const struct KvVertex* vertices, uint32_t count);

  KvVec3 min{0.0f, 0.0f, 0.0f};
  KvVec3 max{0.0f, 0.0f, 0.0f};
};

// Serialized forms, each component through the archive's 4-byte numeric encoding.
void KvSerialize(KvArchive& archive, KvVec3& value);
void KvSerialize(KvArchive& archive, KvQuat& value);
void KvSerialize(KvArchive& archive, KvColor& value);
void KvSerialize(KvArchive& archive, KvTexCoord& value);
