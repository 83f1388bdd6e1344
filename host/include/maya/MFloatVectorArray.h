#pragma once
// Array of MFloatVector values.

#include <kvhost/ArrayBase.h>
#include <maya/MFloatVector.h>

class OPENMAYA_EXPORT MFloatVectorArray : public kvhost::ArrayBase<MFloatVector> {
public:
  MFloatVectorArray() = default;
  MFloatVectorArray(unsigned int length, const MFloatVector& value = MFloatVector()) : ArrayBase(length, value) {}
  MFloatVectorArray(const MFloatVector* items, unsigned int count) : ArrayBase(items, count) {}
};
