#pragma once
// Storage shared by the Maya array classes (MIntArray, MPointArray, ...):
// a growable vector with Maya's length()/append()/remove() interface.

#include <vector>
#include <maya/MStatus.h>

namespace kvhost {

template <typename T>
class ArrayBase {
public:
  ArrayBase() = default;
  ArrayBase(unsigned int length, const T& value) : fItems(length, value) {}
  ArrayBase(const T* items, unsigned int count) : fItems(items, items + count) {}

  unsigned int length() const { return static_cast<unsigned int>(fItems.size()); }
  MStatus setLength(unsigned int length) { fItems.resize(length); return MS::kSuccess; }
  MStatus append(const T& item) { fItems.push_back(item); return MS::kSuccess; }
  MStatus remove(unsigned int index) {
    if (index >= fItems.size()) return MS::kFailure;
    fItems.erase(fItems.begin() + index);
    return MS::kSuccess;
  }
  MStatus insert(const T& item, unsigned int index) {
    if (index > fItems.size()) return MS::kFailure;
    fItems.insert(fItems.begin() + index, item);
    return MS::kSuccess;
  }
  MStatus set(const T& item, unsigned int index) {
    if (index >= fItems.size()) return MS::kFailure;
    fItems[index] = item;
    return MS::kSuccess;
  }
  MStatus clear() { fItems.clear(); return MS::kSuccess; }
  void setSizeIncrement(unsigned int) {}
  T& operator[](unsigned int index) { return fItems[index]; }
  const T& operator[](unsigned int index) const { return fItems[index]; }
  MStatus get(T* out) const {
    for (size_t i = 0; i < fItems.size(); ++i) out[i] = fItems[i];
    return MS::kSuccess;
  }

  std::vector<T>& items() { return fItems; }
  const std::vector<T>& items() const { return fItems; }

private:
  std::vector<T> fItems;
};

}  // namespace kvhost
