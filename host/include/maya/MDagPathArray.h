#pragma once
// Array of MDagPath values.

#include <kvhost/ArrayBase.h>
#include <maya/MDagPath.h>

class OPENMAYA_EXPORT MDagPathArray : public kvhost::ArrayBase<MDagPath> {
public:
  MDagPathArray() = default;
  MDagPathArray(unsigned int length, const MDagPath& value = MDagPath()) : ArrayBase(length, value) {}
  MDagPathArray(const MDagPath* items, unsigned int count) : ArrayBase(items, count) {}
};
