#pragma once
// Array of MPlug values.

#include <kvhost/ArrayBase.h>
#include <maya/MPlug.h>

class OPENMAYA_EXPORT MPlugArray : public kvhost::ArrayBase<MPlug> {
public:
  MPlugArray() = default;
  MPlugArray(unsigned int length, const MPlug& value = MPlug()) : ArrayBase(length, value) {}
  MPlugArray(const MPlug* items, unsigned int count) : ArrayBase(items, count) {}
};
