#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "kv/Math.h"

namespace {

void ExpectMatrix(const KvMatrix& m, std::initializer_list<float> expected, uint32_t flags, float tolerance = 0.0f) {
  uint32_t i = 0;
  for (float value : expected) {
    EXPECT_NEAR(m[i], value, tolerance) << "element " << i;
    ++i;
  }
  EXPECT_EQ(m.Flags(), flags);
}

KvMatrix Translation(float x, float y, float z) {
  KvMatrix m;
  m.Translate(KvVec3{x, y, z});
  return m;
}

TEST(KvMatrixTest, FlagsFollowEveryOperation) {
  struct Case {
    const char* what;
    KvMatrix matrix;
    uint32_t flags;
  };
  KvMatrix scaledByOne;
  scaledByOne.Scale(KvVec3{1, 1, 1});
  KvMatrix scaled;
  scaled.Scale(KvVec3{2, 1, 1});
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float negativeZero[16] = {1, -0.0f, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float affine[16] = {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1};
  const float general[16] = {1, 0, 0, 0.5f, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float notBitwiseOne[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.0000001f};
  const Case cases[] = {
      {"default", KvMatrix(), 3},
      {"translated by zero", Translation(0, 0, 0), 3},
      {"scaled by one", scaledByOne, 3},
      {"translated by (1,0,0)", Translation(1, 0, 0), 2},
      {"scaled by (2,1,1)", scaled, 2},
      {"identity values", KvMatrix(identity), 3},
      {"identity with a negative zero", KvMatrix(negativeZero), 2},
      {"affine values", KvMatrix(affine), 2},
      {"projective column", KvMatrix(general), 0},
      {"m15 not bitwise one", KvMatrix(notBitwiseOne), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.matrix.Flags(), c.flags) << c.what;
}

TEST(KvMatrixTest, QuaternionConversion) {
  KvMatrix m;
  m.SetFromQuat(KvQuat{1, 0, 0, 0});
  ExpectMatrix(m, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 3);
  // A third of a turn about (1,1,1): every product term is 0.5, so each element is
  // exactly 0 or 1 and the sign of every term shows (x -> y -> z -> x, row vectors).
  m.SetFromQuat(KvQuat{0.5f, 0.5f, 0.5f, 0.5f});
  ExpectMatrix(m, {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1}, 2);
  // Half turn about x: the diagonal terms.
  m.SetFromQuat(KvQuat{0, 1, 0, 0});
  ExpectMatrix(m, {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}, 2);
}

TEST(KvMatrixTest, MultiplyAppliesTheLeftMatrixFirstAndCopiesPastAnIdentity) {
  KvMatrix scale;
  scale.Scale(KvVec3{2, 2, 2});
  const KvMatrix t = Translation(1, 0, 0);
  // Scale then translate: (1,1,1) -> (2,2,2) -> (3,2,2).
  KvVec3 p = (scale * t).TransformPoint(KvVec3{1, 1, 1});
  EXPECT_EQ(p.x, 3.0f);
  EXPECT_EQ(p.y, 2.0f);
  // Translate then scale: (1,1,1) -> (2,1,1) -> (4,2,2).
  p = (t * scale).TransformPoint(KvVec3{1, 1, 1});
  EXPECT_EQ(p.x, 4.0f);
  EXPECT_EQ((t * scale).Flags(), 2u);
  // An identity operand copies the other one, flags included.
  const float general[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const KvMatrix g(general);
  ExpectMatrix(KvMatrix() * g, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 0);
  ExpectMatrix(g * KvMatrix(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 0);
}

TEST(KvMatrixTest, AffineProductWritesAnExactLastColumnIntoAUsedResult) {
  const float a[16] = {0.1f, 0.2f, 0.3f, 0, 0.4f, 0.5f, 0.6f, 0, 0.7f, 0.8f, 0.9f, 0, 1, 2, 3, 1};
  const float g[16] = {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 4};
  // The result held a general matrix: the affine product must replace its column 3.
  KvMatrix result(g);
  KvMatrix::Multiply(KvMatrix(a), KvMatrix(a), result);
  ExpectMatrix(result,
               {0.1f * 0.1f + 0.2f * 0.4f + 0.3f * 0.7f, 0.1f * 0.2f + 0.2f * 0.5f + 0.3f * 0.8f,
                0.1f * 0.3f + 0.2f * 0.6f + 0.3f * 0.9f, 0, 0.4f * 0.1f + 0.5f * 0.4f + 0.6f * 0.7f,
                0.4f * 0.2f + 0.5f * 0.5f + 0.6f * 0.8f, 0.4f * 0.3f + 0.5f * 0.6f + 0.6f * 0.9f, 0,
                0.7f * 0.1f + 0.8f * 0.4f + 0.9f * 0.7f, 0.7f * 0.2f + 0.8f * 0.5f + 0.9f * 0.8f,
                0.7f * 0.3f + 0.8f * 0.6f + 0.9f * 0.9f, 0, 0.1f + 2 * 0.4f + 3 * 0.7f + 1,
                0.2f + 2 * 0.5f + 3 * 0.8f + 2, 0.3f + 2 * 0.6f + 3 * 0.9f + 3, 1},
               2, 1e-6f);
  EXPECT_EQ(result[15], 1.0f);
  // A general operand gives a full product with flags 0: column 3 of a times g.
  KvMatrix::Multiply(KvMatrix(a), KvMatrix(g), result);
  EXPECT_EQ(result.Flags(), 0u);
  EXPECT_FLOAT_EQ(result[3], 0.1f + 0.4f + 0.9f);
  EXPECT_FLOAT_EQ(result[15], 1 + 4 + 9 + 4);
}

TEST(KvMatrixTest, TransformsByFlags) {
  const float projective[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1};
  const KvMatrix p(projective);  // w = z + 1
  const KvVec3 point = p.TransformPoint(KvVec3{2, 4, 1});
  EXPECT_FLOAT_EQ(point.x, 1.0f);
  EXPECT_FLOAT_EQ(point.y, 2.0f);
  EXPECT_FLOAT_EQ(point.z, 0.5f);
  const KvVec3 d = p.TransformDirection(KvVec3{2, 4, 1});  // no translation row, w still z + m15
  EXPECT_FLOAT_EQ(d.x, 1.0f);
  EXPECT_FLOAT_EQ(d.y, 2.0f);
  EXPECT_FLOAT_EQ(d.z, 0.5f);
  const KvVec3 moved = Translation(1, 2, 3).TransformDirection(KvVec3{1, 1, 1});
  EXPECT_EQ(moved.x, 1.0f);
  EXPECT_EQ(moved.z, 1.0f);
}

TEST(KvMatrixTest, Inverse) {
  ExpectMatrix(Translation(1, 2, 3).Inverse(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, -2, -3, 1}, 2);
  // Singular 3x3 part: the matrix itself comes back, flags unchanged.
  KvMatrix singular = Translation(4, 5, 6);
  singular.Scale(KvVec3{0, 0, 0});
  ExpectMatrix(singular.Inverse(), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 2);
  // A general matrix is inverted as affine: its column 3 is dropped.
  const float general[16] = {2, 0, 0, 7, 0, 4, 0, 7, 0, 0, 8, 7, 2, 4, 8, 9};
  ExpectMatrix(KvMatrix(general).Inverse(), {0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.125f, 0, -1, -1, -1, 1}, 2);
  // Rotation, scale and translation undo each other.
  KvMatrix m;
  m.SetFromQuat(KvQuat{std::sqrt(0.5f), std::sqrt(0.5f), 0, 0});
  m = m * Translation(3, -2, 5);
  m.Scale(KvVec3{2, 3, 0.5f});
  const KvVec3 p{0.3f, -1.7f, 2.5f};
  const KvVec3 back = m.Inverse().TransformPoint(m.TransformPoint(p));
  EXPECT_NEAR(back.x, p.x, 1e-5f);
  EXPECT_NEAR(back.y, p.y, 1e-5f);
  EXPECT_NEAR(back.z, p.z, 1e-5f);
}

TEST(KvBoundingBoxTest, EmptyExpandAndMerge) {
  KvBoundingBox empty;
  empty.MakeEmpty();
  EXPECT_EQ(empty.min.x, FLT_MAX);
  EXPECT_EQ(empty.max.z, -FLT_MAX);

  KvBoundingBox box;
  box.MakeEmpty();
  box.Expand(KvVec3{-5, -5, -5});
  EXPECT_EQ(box.min.x, -5.0f);
  EXPECT_EQ(box.max.x, -5.0f);
  EXPECT_EQ(box.max.z, -5.0f);

  // The empty box never merges; the all-zero box does.
  KvBoundingBox merged = box;
  merged.Merge(empty);
  EXPECT_EQ(merged.max.x, -5.0f);
  merged.Merge(KvBoundingBox());
  EXPECT_EQ(merged.max.x, 0.0f);
  EXPECT_EQ(merged.min.y, -5.0f);
  // A box inverted on one axis only is not merged either.
  merged.Merge(KvBoundingBox(KvVec3{0, 0, 9}, KvVec3{10, 10, 8}));
  EXPECT_EQ(merged.max.y, 0.0f);

  // A point that compares as neither below nor above changes nothing.
  merged.Expand(KvVec3{NAN, NAN, NAN});
  EXPECT_EQ(merged.min.y, -5.0f);

  const KvVec3 c = KvBoundingBox(KvVec3{-2, 0, 4}, KvVec3{2, 6, 8}).Center();
  EXPECT_EQ(c.x, 0.0f);
  EXPECT_EQ(c.y, 3.0f);
  EXPECT_EQ(c.z, 6.0f);
}

}  // namespace
