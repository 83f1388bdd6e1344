#pragma once
// Array of MPoint values.

#include <kvhost/ArrayBase.h>
#include <maya/MPoint.h>

class OPENMAYA_EXPORT MPointArray : public kvhost::ArrayBase<MPoint> {
public:
  MPointArray() = default;
  MPointArray(unsigned int length, const MPoint& value = MPoint()) : ArrayBase(length, value) {}
  MPointArray(const MPoint* items, unsigned int count) : ArrayBase(items, count) {}
};
