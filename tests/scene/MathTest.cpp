#include "SceneTestSupport.h"

namespace {

void ExpectMatrix(const KvMatrix& m, std::initializer_list<float> expected, uint32_t flags) {
  uint32_t i = 0;
  for (float value : expected) EXPECT_EQ(m[i++], value) << "element " << i - 1;
  EXPECT_EQ(m.Flags(), flags);
}

KvMatrix Translation(float x, float y, float z) {
  KvMatrix m;
  m.Translate(KvVec3{x, y, z});
  return m;
}

KvMatrix Scaling(float x, float y, float z) {
  KvMatrix m;
  m.Scale(KvVec3{x, y, z});
  return m;
}

TEST(KvMatrixTest, FlagsFollowEveryOperationAndQuaternionConversion) {
  const float negativeZero[16] = {1, -0.0f, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float affine[16] = {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1};
  const float general[16] = {1, 0, 0, 0.5f, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float notBitwiseOne[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.0000001f};
  const std::pair<KvMatrix, uint32_t> cases[] = {
      {KvMatrix(), 3},          {Translation(0, 0, 0), 3},   {Scaling(1, 1, 1), 3}, {KvMatrix(KvMatrix().Values()), 3},
      {Translation(1, 0, 0), 2}, {Scaling(2, 1, 1), 2},       {KvMatrix(negativeZero), 2}, {KvMatrix(affine), 2},
      {KvMatrix(general), 0},   {KvMatrix(notBitwiseOne), 0}};
  for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(cases[i].first.Flags(), cases[i].second) << "case " << i;

  KvMatrix m;
  m.SetFromQuat(KvQuat{1, 0, 0, 0});
  ExpectMatrix(m, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 3);
  // A third of a turn about (1,1,1): every product term is 0.5, so each element is
  // exactly 0 or 1 and the sign of every term shows (x -> y -> z -> x, row vectors).
  m.SetFromQuat(KvQuat{0.5f, 0.5f, 0.5f, 0.5f});
  ExpectMatrix(m, {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1}, 2);
  m.SetFromQuat(KvQuat{0, 1, 0, 0});  // half turn about x: the diagonal terms
  ExpectMatrix(m, {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}, 2);
}

TEST(KvMatrixTest, ProductsTransformsAndInverses) {
  const KvMatrix scale = Scaling(2, 2, 2), t = Translation(1, 0, 0);
  // Scale then translate: (1,1,1) -> (2,2,2) -> (3,2,2); the other way (4,2,2).
  ExpectVec((scale * t).TransformPoint(KvVec3{1, 1, 1}), 3, 2, 2, 0);
  ExpectVec((t * scale).TransformPoint(KvVec3{1, 1, 1}), 4, 2, 2, 0);
  EXPECT_EQ((t * scale).Flags(), 2u);
  // An identity operand copies the other one, flags included.
  const float general[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  ExpectMatrix(KvMatrix() * KvMatrix(general), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 0);
  ExpectMatrix(KvMatrix(general) * KvMatrix(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 0);

  const float a[16] = {0.1f, 0.2f, 0.3f, 0, 0.4f, 0.5f, 0.6f, 0, 0.7f, 0.8f, 0.9f, 0, 1, 2, 3, 1};
  const float g[16] = {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 4};
  // The result held a general matrix: the affine product must replace its column 3.
  KvMatrix result(g);
  KvMatrix::Multiply(KvMatrix(a), KvMatrix(a), result);
  for (uint32_t i : {3u, 7u, 11u}) EXPECT_EQ(result[i], 0.0f) << i;
  EXPECT_EQ(result[15], 1.0f);
  EXPECT_EQ(result.Flags(), 2u);
  EXPECT_FLOAT_EQ(result[1], 0.1f * 0.2f + 0.2f * 0.5f + 0.3f * 0.8f);
  EXPECT_FLOAT_EQ(result[14], 0.3f + 2 * 0.6f + 3 * 0.9f + 3);
  // A general operand gives a full product with flags 0: column 3 of a times g.
  KvMatrix::Multiply(KvMatrix(a), KvMatrix(g), result);
  EXPECT_EQ(result.Flags(), 0u);
  EXPECT_FLOAT_EQ(result[3], 0.1f + 0.4f + 0.9f);
  EXPECT_FLOAT_EQ(result[15], 1 + 4 + 9 + 4);

  const float projective[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1};
  const KvMatrix p(projective);  // w = z + 1, for points and directions alike
  ExpectVec(p.TransformPoint(KvVec3{2, 4, 1}), 1, 2, 0.5f, 0);
  ExpectVec(p.TransformDirection(KvVec3{2, 4, 1}), 1, 2, 0.5f, 0);
  ExpectVec(Translation(1, 2, 3).TransformDirection(KvVec3{1, 1, 1}), 1, 1, 1, 0);
  ExpectMatrix(Translation(1, 2, 3).Inverse(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, -2, -3, 1}, 2);
  // Singular 3x3 part: the matrix itself comes back, flags unchanged.
  KvMatrix singular = Translation(4, 5, 6);
  singular.Scale(KvVec3{0, 0, 0});
  ExpectMatrix(singular.Inverse(), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 2);
  // A general matrix is inverted as affine: its column 3 is dropped.
  const float withColumn3[16] = {2, 0, 0, 7, 0, 4, 0, 7, 0, 0, 8, 7, 2, 4, 8, 9};
  ExpectMatrix(KvMatrix(withColumn3).Inverse(), {0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.125f, 0, -1, -1, -1, 1}, 2);
  // Rotation (about an axis off every plane, so no entry is zero), scale and
  // translation undo each other.
  KvMatrix m;
  m.SetFromQuat(KvQuat{0.8f, 0.4f, 0.2f, 0.4f});
  m = m * Translation(3, -2, 5);
  m.Scale(KvVec3{2, 3, 0.5f});
  const KvVec3 v{0.3f, -1.7f, 2.5f};
  ExpectVec(m.Inverse().TransformPoint(m.TransformPoint(v)), v.x, v.y, v.z, 1e-5f);
}

using KvMathArchiveTest = SceneTest;

// The golden scenes write the other value types; meshes write texture coordinates in bulk.
TEST_F(KvMathArchiveTest, TexCoordIsWrittenFieldByFieldInTheArchivesByteOrder) {
  const std::string path = TempPath("values.kvr");
  KvArchiveStoreFile* store = KvArchiveStoreFile::Create(path.c_str());
  KvArchive archive(store, KvArchive::kModeSave, 1);
  ASSERT_TRUE(archive.Open());
  KvTexCoord t{12, 13};
  KvSerialize(archive, t);
  archive.Flush();
  EXPECT_TRUE(archive.IsValid() && store->Commit());
  archive.Close();
  EXPECT_EQ(ReadFile(path), StreamBuilder(false, true).Header().Floats({12, 13}).Get());
}

}  // namespace
