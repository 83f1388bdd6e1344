#pragma once
// Result of every API call.

#include <iosfwd>
#include <maya/MTypes.h>

class OPENMAYA_EXPORT MS {
public:
  enum MStatusCode {
    kSuccess = 0,
    kFailure = 1,
    kInsufficientMemory = 2,
    kInvalidParameter = 3,
    kLicenseFailure = 4,
    kUnknownParameter = 5,
    kNotImplemented = 6,
    kNotFound = 7,
    kEndOfFile = 8
  };
};

class OPENMAYA_EXPORT MStatus {
public:
  using MStatusCode = MS::MStatusCode;
  MStatus() = default;
  MStatus(MS::MStatusCode code) : fCode(code) {}
  MStatus(const MStatus&) = default;
  MStatus& operator=(const MStatus&) = default;

  bool error() const { return fCode != MS::kSuccess; }
  void clear() { fCode = MS::kSuccess; }
  MS::MStatusCode statusCode() const { return fCode; }
  // Short English description of the code ("Unexpected Internal Failure" etc.).
  MString errorString() const;
  // Writes "prefix: message" and a line break to standard error.
  void perror(const char* prefix = nullptr) const;
  void perror(const MString& prefix) const;

  operator bool() const { return fCode == MS::kSuccess; }
  bool operator==(const MStatus& other) const { return fCode == other.fCode; }
  bool operator==(MS::MStatusCode code) const { return fCode == code; }
  bool operator!=(const MStatus& other) const { return fCode != other.fCode; }
  bool operator!=(MS::MStatusCode code) const { return fCode != code; }

private:
  MS::MStatusCode fCode = MS::kSuccess;
};

OPENMAYA_EXPORT std::ostream& operator<<(std::ostream& os, const MStatus& status);

// Sets *status (when not null) and returns the value unchanged.
#define MCHECKERROR(STAT, MSG) \
  if (!(STAT)) {               \
    (STAT).perror(MSG);        \
    return (STAT);             \
  }
