#pragma once
// Array of MVector values.

#include <kvhost/ArrayBase.h>
#include <maya/MVector.h>

class OPENMAYA_EXPORT MVectorArray : public kvhost::ArrayBase<MVector> {
public:
  MVectorArray() = default;
  MVectorArray(unsigned int length, const MVector& value = MVector()) : ArrayBase(length, value) {}
  MVectorArray(const MVector* items, unsigned int count) : ArrayBase(items, count) {}
};
