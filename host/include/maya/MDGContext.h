#pragma once
// Evaluation context; the host only evaluates at the current time.

#include <maya/MTypes.h>

class OPENMAYA_EXPORT MDGContext {
public:
  MDGContext() = default;
  bool isNormal() const { return true; }
  static MDGContext fsNormal;
};
