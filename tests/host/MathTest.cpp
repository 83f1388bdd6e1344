// Math types and strings: the conventions plug-ins rely on (row vectors,
// quaternion product order, Euler orders), and MString/MStatus behaviour.

#include <cmath>

#include <gtest/gtest.h>

#include <maya/MEulerRotation.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>
#include <maya/MQuaternion.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MVector.h>

namespace {

TEST(MathTest, QuaternionProductAppliesTheLeftOperandFirst) {
  MQuaternion aboutX(M_PI / 2, MVector::xAxis), aboutY(M_PI / 2, MVector::yAxis);
  MVector v(0, 1, 0);
  // x first: (0,1,0) -> (0,0,1); then y: (0,0,1) -> (1,0,0).
  MVector both = v * (aboutX * aboutY);
  EXPECT_TRUE(both.isEquivalent(MVector(1, 0, 0), 1e-12)) << both.x << " " << both.y << " " << both.z;
  EXPECT_TRUE((aboutX * aboutY).asMatrix().isEquivalent(aboutX.asMatrix() * aboutY.asMatrix(), 1e-12));
  // A quarter turn about y is (0, sin 45, 0, cos 45), w last.
  EXPECT_NEAR(aboutY.y, std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(aboutY.w, std::sqrt(0.5), 1e-15);
}

TEST(MathTest, RowVectorsCarryTranslationInTheLastRow) {
  MMatrix m;
  m[3][0] = 1;
  m[3][1] = 2;
  m[3][2] = 3;
  EXPECT_TRUE((MPoint(1, 1, 1) * m).isEquivalent(MPoint(2, 3, 4)));
  EXPECT_TRUE((MVector(1, 1, 1) * m).isEquivalent(MVector(1, 1, 1))) << "vectors ignore translation";
  MMatrix r = MEulerRotation(0.3, 0.2, 0.1).asMatrix() * m;
  EXPECT_TRUE((r * r.inverse()).isEquivalent(MMatrix::identity, 1e-12));
  MMatrix singular;
  singular[0][0] = 0;
  EXPECT_TRUE(singular.inverse().isEquivalent(MMatrix::identity)) << "a singular matrix inverts to the identity";
  EXPECT_DOUBLE_EQ(r.det3x3(), 1.0);
}

TEST(MathTest, EulerDecompositionRoundTripsEveryOrderIncludingGimbalLock) {
  const double angles[][3] = {{0.3, -0.7, 1.1}, {2.5, 0.4, -2.9}, {0.2, M_PI / 2, 0.5}, {-1.0, -M_PI / 2, 0.3}};
  for (int order = 0; order <= 5; ++order)
    for (const auto& a : angles) {
      auto ro = static_cast<MEulerRotation::RotationOrder>(order);
      MMatrix m = MEulerRotation(a[0], a[1], a[2], ro).asMatrix();
      MEulerRotation back = MEulerRotation::decompose(m, ro);
      EXPECT_EQ(back.order, ro);
      EXPECT_TRUE(back.asMatrix().isEquivalent(m, 1e-9)) << "order " << order << " angles " << a[0] << " " << a[1];
    }
}

TEST(MathTest, QuaternionFromMatrixInEveryQuadrant) {
  const MQuaternion cases[] = {MEulerRotation(0.1, M_PI / 3, 0.5).asQuaternion(), MQuaternion(3.0, MVector(1, 2, 3)),
                               MQuaternion(M_PI, MVector::xAxis), MQuaternion(M_PI, MVector::yAxis),
                               MQuaternion(M_PI, MVector::zAxis), MQuaternion()};
  for (const MQuaternion& q : cases) {
    MQuaternion back;
    back = q.asMatrix();
    EXPECT_TRUE(back.isEquivalent(q, 1e-12)) << q.x << " " << q.y << " " << q.z << " " << q.w;
  }
}

TEST(MathTest, TransformationMatrixComponentsComposeLikeATransformNode) {
  MTransformationMatrix tm;
  double s[3] = {2, 1, 1};
  double r[3] = {0, 0, M_PI / 2};
  tm.setScale(s, MSpace::kTransform);
  tm.setRotation(r, MTransformationMatrix::kXYZ);
  tm.setTranslation(MVector(10, 0, 0), MSpace::kTransform);
  tm.setRotatePivot(MPoint(1, 0, 0), MSpace::kTransform, false);
  // (1,0,0) -> scaled (2,0,0) -> about the pivot (1,0,0) to (1,1,0) -> moved (11,1,0).
  EXPECT_TRUE((MPoint(1, 0, 0) * tm.asMatrix()).isEquivalent(MPoint(11, 1, 0), 1e-12));
  EXPECT_EQ(tm.rotationOrder(), MTransformationMatrix::kXYZ);
  EXPECT_EQ(MTransformationMatrix::kXYZ, MEulerRotation::kXYZ + 1) << "orders are the attribute value + 1";
  EXPECT_EQ(tm.setRotation(r, MTransformationMatrix::kInvalid), MS::kInvalidParameter);
  tm.reorderRotation(MTransformationMatrix::kZYX);
  EXPECT_TRUE((MPoint(1, 0, 0) * tm.asMatrix()).isEquivalent(MPoint(11, 1, 0), 1e-12)) << "reordering keeps the rotation";
}

TEST(MathTest, StringAppendsNumbersAndSplits) {
  MString s("xform -ws -m ");
  s += 0.5;
  s += " ";
  s += 1e-17;
  s += " ";
  s += 3;
  EXPECT_EQ(s, MString("xform -ws -m 0.5 1e-17 3"));
  MString pi;
  pi += M_PI;
  EXPECT_NEAR(pi.asDouble(), M_PI, 1e-13);
  MStringArray parts;
  MString("a||b|c|").split('|', parts);
  ASSERT_EQ(parts.length(), 3u);
  EXPECT_EQ(parts[2], MString("c"));
  EXPECT_EQ(MString("scene.kvr").substring(6, 8), MString("kvr"));
  EXPECT_EQ(MString("ab").substring(5, 9), MString(""));
  EXPECT_EQ(MString("a.b.c").rindex('.'), 3);
  EXPECT_TRUE(MString("12").isInt());
  EXPECT_FALSE(MString("1x").isDouble());
  EXPECT_EQ("pre" + MString("fix"), MString("prefix"));
}

TEST(MathTest, StatusConvertsToBoolAndPrintsWithItsPrefix) {
  MStatus ok, bad(MS::kInvalidParameter);
  EXPECT_TRUE(ok);
  EXPECT_FALSE(bad);
  EXPECT_TRUE(bad.error());
  EXPECT_EQ(bad, MS::kInvalidParameter);
  testing::internal::CaptureStderr();
  bad.perror("MayaExportCommand::registerFileTranslator");
  std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(printed.rfind("MayaExportCommand::registerFileTranslator: ", 0), 0u) << printed;
  EXPECT_NE(printed.find("kInvalidParameter"), std::string::npos) << printed;
  EXPECT_EQ(printed.back(), '\n');
}

}  // namespace
