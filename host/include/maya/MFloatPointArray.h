#pragma once
// Array of MFloatPoint values.

#include <kvhost/ArrayBase.h>
#include <maya/MFloatPoint.h>

class OPENMAYA_EXPORT MFloatPointArray : public kvhost::ArrayBase<MFloatPoint> {
public:
  MFloatPointArray() = default;
  MFloatPointArray(unsigned int length, const MFloatPoint& value = MFloatPoint()) : ArrayBase(length, value) {}
  MFloatPointArray(const MFloatPoint* items, unsigned int count) : ArrayBase(items, count) {}
};
