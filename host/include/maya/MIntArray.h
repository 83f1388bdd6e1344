#pragma once
// Array of int values.

#include <kvhost/ArrayBase.h>


class OPENMAYA_EXPORT MIntArray : public kvhost::ArrayBase<int> {
public:
  MIntArray() = default;
  MIntArray(unsigned int length, const int& value = int()) : ArrayBase(length, value) {}
  MIntArray(const int* items, unsigned int count) : ArrayBase(items, count) {}
};
