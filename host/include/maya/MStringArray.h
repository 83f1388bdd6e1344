#pragma once
// Array of MString values.

#include <kvhost/ArrayBase.h>
#include <maya/MString.h>

class OPENMAYA_EXPORT MStringArray : public kvhost::ArrayBase<MString> {
public:
  MStringArray() = default;
  MStringArray(unsigned int length, const MString& value = MString()) : ArrayBase(length, value) {}
  MStringArray(const MString* items, unsigned int count) : ArrayBase(items, count) {}
};
