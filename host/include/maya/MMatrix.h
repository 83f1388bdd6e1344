#pragma once
// 4x4 double matrix, row-major, for row vectors (p' = p * M); the translation
// sits in elements [3][0..2].

#include <maya/MStatus.h>

class OPENMAYA_EXPORT MMatrix {
public:
  MMatrix() { setToIdentity(); }
  MMatrix(const double m[4][4]) {
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) matrix[r][c] = m[r][c];
  }
  MMatrix(const MMatrix&) = default;
  MMatrix& operator=(const MMatrix&) = default;

  double operator()(unsigned int row, unsigned int col) const { return matrix[row][col]; }
  double& operator()(unsigned int row, unsigned int col) { return matrix[row][col]; }
  const double* operator[](unsigned int row) const { return matrix[row]; }
  double* operator[](unsigned int row) { return matrix[row]; }
  MStatus get(double dest[4][4]) const {
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) dest[r][c] = matrix[r][c];
    return MS::kSuccess;
  }

  MMatrix operator*(const MMatrix& right) const;
  MMatrix& operator*=(const MMatrix& right) { return *this = *this * right; }
  MMatrix operator*(double s) const;
  MMatrix operator+(const MMatrix& right) const;
  MMatrix operator-(const MMatrix& right) const;
  bool operator==(const MMatrix& other) const;
  bool operator!=(const MMatrix& other) const { return !(*this == other); }
  bool isEquivalent(const MMatrix& other, double tolerance = 1e-10) const;

  MMatrix transpose() const;
  // Inverse; a singular matrix gives the identity.
  MMatrix inverse() const;
  MMatrix homogenize() const { return *this; }
  double det4x4() const;
  double det3x3() const;
  MMatrix& setToIdentity() {
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) matrix[r][c] = r == c ? 1.0 : 0.0;
    return *this;
  }
  bool isSingular() const { return det4x4() == 0.0; }

  static const MMatrix identity;
  double matrix[4][4];
};

OPENMAYA_EXPORT MMatrix operator*(double s, const MMatrix& m);
