#pragma once
// Array of MObject values.

#include <kvhost/ArrayBase.h>
#include <maya/MObject.h>

class OPENMAYA_EXPORT MObjectArray : public kvhost::ArrayBase<MObject> {
public:
  MObjectArray() = default;
  MObjectArray(unsigned int length, const MObject& value = MObject()) : ArrayBase(length, value) {}
  MObjectArray(const MObject* items, unsigned int count) : ArrayBase(items, count) {}
};
