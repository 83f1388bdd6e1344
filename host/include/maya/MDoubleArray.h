#pragma once
// Array of double values.

#include <kvhost/ArrayBase.h>


class OPENMAYA_EXPORT MDoubleArray : public kvhost::ArrayBase<double> {
public:
  MDoubleArray() = default;
  MDoubleArray(unsigned int length, const double& value = double()) : ArrayBase(length, value) {}
  MDoubleArray(const double* items, unsigned int count) : ArrayBase(items, count) {}
};
