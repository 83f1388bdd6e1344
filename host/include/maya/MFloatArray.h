#pragma once
// Array of float values.

#include <kvhost/ArrayBase.h>


class OPENMAYA_EXPORT MFloatArray : public kvhost::ArrayBase<float> {
public:
  MFloatArray() = default;
  MFloatArray(unsigned int length, const float& value = float()) : ArrayBase(length, value) {}
  MFloatArray(const float* items, unsigned int count) : ArrayBase(items, count) {}
};
