// Matrices, quaternions, Euler angles and transformation matrices.

#include <algorithm>
#include <cmath>

#include <maya/MEulerRotation.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MVector.h>

#include "MathUtil.h"

const MMatrix MMatrix::identity;
const MVector MVector::zero(0, 0, 0), MVector::xAxis(1, 0, 0), MVector::yAxis(0, 1, 0), MVector::zAxis(0, 0, 1),
    MVector::xNegAxis(-1, 0, 0), MVector::yNegAxis(0, -1, 0), MVector::zNegAxis(0, 0, -1), MVector::one(1, 1, 1);
const MPoint MPoint::origin;
const MQuaternion MQuaternion::identity;
const MTransformationMatrix MTransformationMatrix::identity;

// ---------------------------------------------------------------- MMatrix

MMatrix MMatrix::operator*(const MMatrix& right) const {
  MMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0.0;
      for (int k = 0; k < 4; ++k) s += matrix[i][k] * right.matrix[k][j];
      r.matrix[i][j] = s;
    }
  return r;
}

MMatrix MMatrix::operator*(double s) const {
  MMatrix r(*this);
  for (auto& row : r.matrix)
    for (double& v : row) v *= s;
  return r;
}

MMatrix operator*(double s, const MMatrix& m) { return m * s; }

MMatrix MMatrix::operator+(const MMatrix& right) const {
  MMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.matrix[i][j] = matrix[i][j] + right.matrix[i][j];
  return r;
}

MMatrix MMatrix::operator-(const MMatrix& right) const {
  MMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.matrix[i][j] = matrix[i][j] - right.matrix[i][j];
  return r;
}

bool MMatrix::operator==(const MMatrix& other) const {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (matrix[i][j] != other.matrix[i][j]) return false;
  return true;
}

bool MMatrix::isEquivalent(const MMatrix& other, double tolerance) const {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (std::fabs(matrix[i][j] - other.matrix[i][j]) > tolerance) return false;
  return true;
}

MMatrix MMatrix::transpose() const {
  MMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.matrix[i][j] = matrix[j][i];
  return r;
}

double MMatrix::det3x3() const {
  const auto& m = matrix;
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

double MMatrix::det4x4() const {
  // Laplace expansion along the first row.
  double det = 0.0;
  for (int c = 0; c < 4; ++c) {
    double sub[3][3];
    for (int i = 1; i < 4; ++i) {
      int k = 0;
      for (int j = 0; j < 4; ++j)
        if (j != c) sub[i - 1][k++] = matrix[i][j];
    }
    double minor = sub[0][0] * (sub[1][1] * sub[2][2] - sub[1][2] * sub[2][1]) -
                   sub[0][1] * (sub[1][0] * sub[2][2] - sub[1][2] * sub[2][0]) +
                   sub[0][2] * (sub[1][0] * sub[2][1] - sub[1][1] * sub[2][0]);
    det += (c % 2 ? -1.0 : 1.0) * matrix[0][c] * minor;
  }
  return det;
}

MMatrix MMatrix::inverse() const {
  // Gauss-Jordan elimination with partial pivoting.
  double a[4][8];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      a[i][j] = matrix[i][j];
      a[i][j + 4] = i == j ? 1.0 : 0.0;
    }
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (a[pivot][col] == 0.0) return MMatrix();
    if (pivot != col)
      for (int j = 0; j < 8; ++j) std::swap(a[pivot][j], a[col][j]);
    double d = a[col][col];
    for (int j = 0; j < 8; ++j) a[col][j] /= d;
    for (int r = 0; r < 4; ++r) {
      if (r == col || a[r][col] == 0.0) continue;
      double f = a[r][col];
      for (int j = 0; j < 8; ++j) a[r][j] -= f * a[col][j];
    }
  }
  MMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.matrix[i][j] = a[i][j + 4];
  return r;
}

// ---------------------------------------------------------------- MQuaternion

MQuaternion::MQuaternion(double angle, const MVector& axis) {
  MVector n = axis.normal();
  double s = std::sin(angle * 0.5);
  x = n.x * s;
  y = n.y * s;
  z = n.z * s;
  w = std::cos(angle * 0.5);
}

MQuaternion::MQuaternion(const MVector& a, const MVector& b) {
  MVector na = a.normal(), nb = b.normal();
  double d = std::clamp(na * nb, -1.0, 1.0);
  MVector axis = na ^ nb;
  if (axis.length() < 1e-12) {
    if (d > 0) return;
    axis = std::fabs(na.x) < 0.9 ? (na ^ MVector::xAxis) : (na ^ MVector::yAxis);
  }
  *this = MQuaternion(std::acos(d), axis);
}

MQuaternion MQuaternion::operator*(const MQuaternion& right) const {
  // Applying *this then right is the Hamilton product right (x) *this.
  const MQuaternion& a = right;
  const MQuaternion& b = *this;
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

bool MQuaternion::isEquivalent(const MQuaternion& o, double tolerance) const {
  auto close = [&](const MQuaternion& p) {
    return std::fabs(x - p.x) <= tolerance && std::fabs(y - p.y) <= tolerance && std::fabs(z - p.z) <= tolerance &&
           std::fabs(w - p.w) <= tolerance;
  };
  return close(o) || close(-o);
}

MQuaternion MQuaternion::normal() const {
  double l = std::sqrt(x * x + y * y + z * z + w * w);
  return l > 0.0 ? MQuaternion(x / l, y / l, z / l, w / l) : *this;
}

MQuaternion MQuaternion::inverse() const {
  double n = x * x + y * y + z * z + w * w;
  return n > 0.0 ? MQuaternion(-x / n, -y / n, -z / n, w / n) : *this;
}

MMatrix MQuaternion::asMatrix() const {
  MQuaternion q = normal();
  MMatrix m;
  m[0][0] = 1 - 2 * (q.y * q.y + q.z * q.z);
  m[0][1] = 2 * (q.x * q.y + q.z * q.w);
  m[0][2] = 2 * (q.x * q.z - q.y * q.w);
  m[1][0] = 2 * (q.x * q.y - q.z * q.w);
  m[1][1] = 1 - 2 * (q.x * q.x + q.z * q.z);
  m[1][2] = 2 * (q.y * q.z + q.x * q.w);
  m[2][0] = 2 * (q.x * q.z + q.y * q.w);
  m[2][1] = 2 * (q.y * q.z - q.x * q.w);
  m[2][2] = 1 - 2 * (q.x * q.x + q.y * q.y);
  return m;
}

MQuaternion& MQuaternion::operator=(const MMatrix& m) {
  double t = m[0][0] + m[1][1] + m[2][2];
  if (t > 0.0) {
    double s = 0.5 / std::sqrt(t + 1.0);
    w = 0.25 / s;
    x = (m[1][2] - m[2][1]) * s;
    y = (m[2][0] - m[0][2]) * s;
    z = (m[0][1] - m[1][0]) * s;
  } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
    double s = 2.0 * std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
    w = (m[1][2] - m[2][1]) / s;
    x = 0.25 * s;
    y = (m[0][1] + m[1][0]) / s;
    z = (m[0][2] + m[2][0]) / s;
  } else if (m[1][1] > m[2][2]) {
    double s = 2.0 * std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]);
    w = (m[2][0] - m[0][2]) / s;
    x = (m[0][1] + m[1][0]) / s;
    y = 0.25 * s;
    z = (m[1][2] + m[2][1]) / s;
  } else {
    double s = 2.0 * std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]);
    w = (m[0][1] - m[1][0]) / s;
    x = (m[0][2] + m[2][0]) / s;
    y = (m[1][2] + m[2][1]) / s;
    z = 0.25 * s;
  }
  return *this;
}

MEulerRotation MQuaternion::asEulerRotation() const {
  return MEulerRotation::decompose(asMatrix(), MEulerRotation::kXYZ);
}

bool MQuaternion::getAxisAngle(MVector& axis, double& angle) const {
  MQuaternion q = normal();
  angle = 2.0 * std::acos(std::clamp(q.w, -1.0, 1.0));
  double s = std::sqrt(std::max(0.0, 1.0 - q.w * q.w));
  axis = s > 1e-12 ? MVector(q.x / s, q.y / s, q.z / s) : MVector(0, 0, 1);
  return true;
}

MVector operator*(const MVector& v, const MQuaternion& q) { return v * q.asMatrix(); }

// ---------------------------------------------------------------- MEulerRotation

namespace {

// Axes of each rotate order, first applied first.
constexpr int kOrderAxes[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {0, 2, 1}, {1, 0, 2}, {2, 1, 0}};
constexpr bool kOrderOdd[6] = {false, false, false, true, true, true};

}  // namespace

namespace kvhost {

MMatrix axisRotation(int axis, double angle) {
  MMatrix m;
  double c = std::cos(angle), s = std::sin(angle);
  int a = (axis + 1) % 3, b = (axis + 2) % 3;
  m[a][a] = c;
  m[a][b] = s;
  m[b][a] = -s;
  m[b][b] = c;
  return m;
}

MMatrix eulerMatrix(const double r[3], int order) {
  if (order < 0 || order > 5) order = 0;
  const int* ax = kOrderAxes[order];
  return axisRotation(ax[0], r[ax[0]]) * axisRotation(ax[1], r[ax[1]]) * axisRotation(ax[2], r[ax[2]]);
}

void eulerFromMatrix(const MMatrix& m, int order, double out[3]) {
  if (order < 0 || order > 5) order = 0;
  const int* ax = kOrderAxes[order];
  // Relabel the axes so that the order becomes xyz; odd relabelings flip handedness
  // and negate the angles.
  double p[3][3];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) p[r][c] = m[ax[r]][ax[c]];
  double sb = std::clamp(-p[0][2], -1.0, 1.0);
  double b = std::asin(sb), a, c;
  if (std::fabs(sb) < 1.0 - 1e-12) {
    a = std::atan2(p[1][2], p[2][2]);
    c = std::atan2(p[0][1], p[0][0]);
  } else {
    c = 0.0;
    a = std::atan2(sb * p[1][0], p[1][1]);
  }
  double sign = kOrderOdd[order] ? -1.0 : 1.0;
  out[ax[0]] = sign * a;
  out[ax[1]] = sign * b;
  out[ax[2]] = sign * c;
}

MMatrix translationMatrix(const MVector& t) {
  MMatrix m;
  m[3][0] = t.x;
  m[3][1] = t.y;
  m[3][2] = t.z;
  return m;
}

MMatrix scaleMatrix(const MVector& s) {
  MMatrix m;
  m[0][0] = s.x;
  m[1][1] = s.y;
  m[2][2] = s.z;
  return m;
}

MMatrix shearMatrix(const MVector& sh) {
  MMatrix m;
  m[1][0] = sh.x;  // xy
  m[2][0] = sh.y;  // xz
  m[2][1] = sh.z;  // yz
  return m;
}

MMatrix composeTransform(const TransformParts& p) {
  MMatrix rot = eulerMatrix(&p.rotate.x, p.rotateOrder);
  MMatrix ra = eulerMatrix(&p.rotateAxis.x, 0);
  return translationMatrix(-p.scalePivot) * scaleMatrix(p.scale) * shearMatrix(p.shear) *
         translationMatrix(p.scalePivot) * translationMatrix(p.scalePivotTranslate) *
         translationMatrix(-p.rotatePivot) * ra * rot * translationMatrix(p.rotatePivot) *
         translationMatrix(p.rotatePivotTranslate) * translationMatrix(p.translate);
}

MMatrix composeJoint(const JointParts& p) {
  MMatrix rot = eulerMatrix(&p.rotate.x, p.rotateOrder);
  MMatrix ra = eulerMatrix(&p.rotateAxis.x, 0);
  MMatrix jo = eulerMatrix(&p.jointOrient.x, 0);
  MMatrix is;
  if (p.segmentScaleCompensate) {
    is[0][0] = p.inverseScale.x != 0.0 ? 1.0 / p.inverseScale.x : 1.0;
    is[1][1] = p.inverseScale.y != 0.0 ? 1.0 / p.inverseScale.y : 1.0;
    is[2][2] = p.inverseScale.z != 0.0 ? 1.0 / p.inverseScale.z : 1.0;
  }
  return scaleMatrix(p.scale) * ra * rot * jo * is * translationMatrix(p.translate);
}

Decomposed decompose(const MMatrix& m) {
  Decomposed d;
  MVector row0(m[0][0], m[0][1], m[0][2]), row1(m[1][0], m[1][1], m[1][2]), row2(m[2][0], m[2][1], m[2][2]);
  double sx = row0.length();
  MVector r0 = sx > 0.0 ? row0 / sx : MVector::xAxis;
  double xy = r0 * row1;
  MVector r1v = row1 - r0 * xy;
  double sy = r1v.length();
  MVector r1 = sy > 0.0 ? r1v / sy : (r0 ^ MVector::zAxis).normal();
  double xz = r0 * row2, yz = r1 * row2;
  MVector r2v = row2 - r0 * xz - r1 * yz;
  double sz = r2v.length();
  MVector r2 = sz > 0.0 ? r2v / sz : (r0 ^ r1).normal();
  if (m.det3x3() < 0.0) {
    sz = -sz;
    r2 = -r2;
  }
  d.scale = MVector(sx, sy, sz);
  d.shear = MVector(sy != 0.0 ? xy / sy : 0.0, sz != 0.0 ? xz / sz : 0.0, sz != 0.0 ? yz / sz : 0.0);
  MMatrix rot;
  for (int c = 0; c < 3; ++c) {
    rot[0][c] = r0[c];
    rot[1][c] = r1[c];
    rot[2][c] = r2[c];
  }
  d.rotation = rot;
  d.translate = MVector(m[3][0], m[3][1], m[3][2]);
  return d;
}

}  // namespace kvhost

MMatrix MEulerRotation::asMatrix() const {
  double r[3] = {x, y, z};
  return kvhost::eulerMatrix(r, order);
}

MQuaternion MEulerRotation::asQuaternion() const {
  MQuaternion q;
  q = asMatrix();
  return q;
}

bool MEulerRotation::isEquivalent(const MEulerRotation& o, double tolerance) const {
  return order == o.order && std::fabs(x - o.x) <= tolerance && std::fabs(y - o.y) <= tolerance &&
         std::fabs(z - o.z) <= tolerance;
}

MEulerRotation MEulerRotation::decompose(const MMatrix& rotation, RotationOrder order) {
  double r[3];
  kvhost::eulerFromMatrix(rotation, order, r);
  return MEulerRotation(r[0], r[1], r[2], order);
}

MEulerRotation MEulerRotation::reorder(RotationOrder ord) const { return decompose(asMatrix(), ord); }

// ---------------------------------------------------------------- MTransformationMatrix

MTransformationMatrix::MTransformationMatrix(const MMatrix& m) {
  kvhost::Decomposed d = kvhost::decompose(m);
  fScale = d.scale;
  fShear = d.shear;
  fRotationQ = d.rotation;
  fRotation = MEulerRotation::decompose(d.rotation, MEulerRotation::kXYZ);
  fTranslation = d.translate;
}

MMatrix MTransformationMatrix::asMatrix() const {
  using namespace kvhost;
  return translationMatrix(-MVector(fScalePivot)) * scaleMatrix(fScale) * shearMatrix(fShear) *
         translationMatrix(MVector(fScalePivot)) * translationMatrix(fScalePivotTranslation) *
         translationMatrix(-MVector(fRotatePivot)) * fRotateAxis.asMatrix() * fRotationQ.asMatrix() *
         translationMatrix(MVector(fRotatePivot)) * translationMatrix(fRotatePivotTranslation) *
         translationMatrix(fTranslation);
}

MMatrix MTransformationMatrix::asMatrix(double percent) const {
  MTransformationMatrix t(*this);
  t.fScale = MVector(1, 1, 1) + (fScale - MVector(1, 1, 1)) * percent;
  t.fShear = fShear * percent;
  t.fTranslation = fTranslation * percent;
  MVector axis;
  double angle;
  fRotationQ.getAxisAngle(axis, angle);
  t.fRotationQ = MQuaternion(angle * percent, axis);
  return t.asMatrix();
}

MMatrix MTransformationMatrix::asScaleMatrix() const {
  using namespace kvhost;
  return translationMatrix(-MVector(fScalePivot)) * scaleMatrix(fScale) * shearMatrix(fShear) *
         translationMatrix(MVector(fScalePivot)) * translationMatrix(fScalePivotTranslation);
}

MMatrix MTransformationMatrix::asRotateMatrix() const {
  using namespace kvhost;
  return translationMatrix(-MVector(fRotatePivot)) * fRotateAxis.asMatrix() * fRotationQ.asMatrix() *
         translationMatrix(MVector(fRotatePivot)) * translationMatrix(fRotatePivotTranslation);
}

MVector MTransformationMatrix::translation(MSpace::Space, MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return fTranslation;
}

MStatus MTransformationMatrix::setTranslation(const MVector& v, MSpace::Space) {
  fTranslation = v;
  return MS::kSuccess;
}

MStatus MTransformationMatrix::addTranslation(const MVector& v, MSpace::Space) {
  fTranslation += v;
  return MS::kSuccess;
}

MQuaternion MTransformationMatrix::rotation(MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return fRotationQ;
}

MTransformationMatrix& MTransformationMatrix::rotateTo(const MQuaternion& q) {
  fRotationQ = q.normal();
  fRotation = MEulerRotation::decompose(fRotationQ.asMatrix(), fRotation.order);
  return *this;
}

MTransformationMatrix& MTransformationMatrix::rotateTo(const MEulerRotation& e) {
  fRotation = e;
  fRotationQ = e.asQuaternion();
  return *this;
}

MEulerRotation MTransformationMatrix::eulerRotation(MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return fRotation;
}

MStatus MTransformationMatrix::getRotation(double rotation[3], RotationOrder& order) const {
  rotation[0] = fRotation.x;
  rotation[1] = fRotation.y;
  rotation[2] = fRotation.z;
  order = static_cast<RotationOrder>(fRotation.order + 1);
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setRotation(const double rotation[3], RotationOrder order) {
  if (order <= kInvalid || order >= kLast) return MS::kInvalidParameter;
  rotateTo(MEulerRotation(rotation[0], rotation[1], rotation[2],
                          static_cast<MEulerRotation::RotationOrder>(order - 1)));
  return MS::kSuccess;
}

MStatus MTransformationMatrix::getRotationQuaternion(double& x, double& y, double& z, double& w) const {
  x = fRotationQ.x;
  y = fRotationQ.y;
  z = fRotationQ.z;
  w = fRotationQ.w;
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setRotationQuaternion(double x, double y, double z, double w) {
  rotateTo(MQuaternion(x, y, z, w));
  return MS::kSuccess;
}

MTransformationMatrix::RotationOrder MTransformationMatrix::rotationOrder(MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return static_cast<RotationOrder>(fRotation.order + 1);
}

MStatus MTransformationMatrix::reorderRotation(const RotationOrder& order) {
  if (order <= kInvalid || order >= kLast) return MS::kInvalidParameter;
  fRotation = MEulerRotation::decompose(fRotationQ.asMatrix(), static_cast<MEulerRotation::RotationOrder>(order - 1));
  return MS::kSuccess;
}

MStatus MTransformationMatrix::getScale(double scale[3], MSpace::Space) const {
  fScale.get(scale);
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setScale(const double scale[3], MSpace::Space) {
  fScale = MVector(scale);
  return MS::kSuccess;
}

MStatus MTransformationMatrix::getShear(double shear[3], MSpace::Space) const {
  fShear.get(shear);
  return MS::kSuccess;
}

MStatus MTransformationMatrix::setShear(const double shear[3], MSpace::Space) {
  fShear = MVector(shear);
  return MS::kSuccess;
}

MPoint MTransformationMatrix::scalePivot(MSpace::Space, MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return fScalePivot;
}

MStatus MTransformationMatrix::setScalePivot(const MPoint& p, MSpace::Space, bool) {
  fScalePivot = p;
  return MS::kSuccess;
}

MVector MTransformationMatrix::scalePivotTranslation(MSpace::Space, MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return fScalePivotTranslation;
}

MStatus MTransformationMatrix::setScalePivotTranslation(const MVector& v, MSpace::Space) {
  fScalePivotTranslation = v;
  return MS::kSuccess;
}

MPoint MTransformationMatrix::rotatePivot(MSpace::Space, MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return fRotatePivot;
}

MStatus MTransformationMatrix::setRotatePivot(const MPoint& p, MSpace::Space, bool) {
  fRotatePivot = p;
  return MS::kSuccess;
}

MVector MTransformationMatrix::rotatePivotTranslation(MSpace::Space, MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return fRotatePivotTranslation;
}

MStatus MTransformationMatrix::setRotatePivotTranslation(const MVector& v, MSpace::Space) {
  fRotatePivotTranslation = v;
  return MS::kSuccess;
}

bool MTransformationMatrix::isEquivalent(const MTransformationMatrix& other, double tolerance) const {
  return asMatrix().isEquivalent(other.asMatrix(), tolerance);
}
