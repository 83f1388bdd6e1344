// Math types: the conventions plug-ins rely on (quaternion product order,
// Euler orders, quaternions from matrices), and MStatus behaviour.

#include <cmath>

#include <gtest/gtest.h>

#include <maya/MEulerRotation.h>
#include <maya/MMatrix.h>
#include <maya/MQuaternion.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MVector.h>

namespace {

TEST(MathTest, DeterminantsKeepTheirSignSmallPivotsAreNotSingularAndStringsSplitSkippingEmptyParts) {
  const double rows[4][4] = {{1, 2, 0, 0}, {3, 4, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  EXPECT_DOUBLE_EQ(MMatrix(rows).det4x4(), -2.0);
  EXPECT_TRUE((MMatrix() * 0.1).inverse().isEquivalent(MMatrix() * 10.0, 1e-12));
  MStringArray parts;
  ASSERT_TRUE(MString("|grp||leaf").split('|', parts));
  EXPECT_EQ(parts.items(), (std::vector<MString>{"grp", "leaf"}));
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

// Quaternions apply their left operand first, hold w last, and come back from
// their matrices whichever of w, x, y or z is largest.
TEST(MathTest, QuaternionsApplyTheLeftOperandFirstAndComeBackFromTheirMatrices) {
  MQuaternion aboutX(M_PI / 2, MVector::xAxis), aboutY(M_PI / 2, MVector::yAxis);
  // x first: (0,1,0) -> (0,0,1); then y: (0,0,1) -> (1,0,0).
  MVector both = MVector(0, 1, 0) * (aboutX * aboutY);
  EXPECT_TRUE(both.isEquivalent(MVector(1, 0, 0), 1e-12)) << both.x << " " << both.y << " " << both.z;
  EXPECT_TRUE((aboutX * aboutY).asMatrix().isEquivalent(aboutX.asMatrix() * aboutY.asMatrix(), 1e-12));
  EXPECT_NEAR(aboutY.y, std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(aboutY.w, std::sqrt(0.5), 1e-15);
  for (const MQuaternion& q : {MQuaternion(0.5, MVector(1, 2, 3)), MQuaternion(3.0, MVector(3, 1, 2)),
                               MQuaternion(3.0, MVector(1, 3, 2)), MQuaternion(3.0, MVector(1, 2, 3))}) {
    MQuaternion back;
    back = q.asMatrix();
    EXPECT_TRUE(back.isEquivalent(q, 1e-12)) << q.x << " " << q.y << " " << q.z << " " << q.w;
  }
}

}  // namespace
