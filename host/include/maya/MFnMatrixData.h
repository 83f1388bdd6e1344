#pragma once
// Function set for matrix data (plain matrices and "xform" records).

#include <maya/MFnBase.h>
#include <maya/MMatrix.h>
#include <maya/MTransformationMatrix.h>

class OPENMAYA_EXPORT MFnMatrixData : public MFnBase {
public:
  MFnMatrixData() = default;
  MFnMatrixData(const MObject& object, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kMatrixData; }

  // The matrix; an "xform" record gives the matrix its values compose.
  const MMatrix& matrix(MStatus* status = nullptr) const;
  bool isTransformation(MStatus* status = nullptr) const;
  MTransformationMatrix transformation(MStatus* status = nullptr) const;
  MStatus set(const MMatrix& matrix);
  MObject create(const MMatrix& matrix, MStatus* status = nullptr);
  MObject create(const MTransformationMatrix& matrix, MStatus* status = nullptr) { return create(matrix.asMatrix(), status); }

private:
  MMatrix fMatrix;
};
