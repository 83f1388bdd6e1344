#pragma once
// A file the host hands to a translator: a directory path and a file name.

#include <maya/MString.h>

class OPENMAYA_EXPORT MFileObject {
public:
  MFileObject() = default;
  // Splits a full name at its last '/' into path and name.
  MStatus setRawFullName(const MString& fullName);
  MStatus setFullName(const MString& fullName) { return setRawFullName(fullName); }
  MStatus setRawName(const MString& name);
  MStatus setRawPath(const MString& path);
  // Directory (with its trailing '/') followed by the name.
  MString fullName(MStatus* status = nullptr) const;
  MString rawFullName(MStatus* status = nullptr) const { return fullName(status); }
  MString resolvedFullName() const { return fullName(); }
  // The file name without its directory.
  MString name(MStatus* status = nullptr) const;
  MString rawName(MStatus* status = nullptr) const { return name(status); }
  MString resolvedName() const { return name(); }
  // The directory, ending with '/' when not empty.
  MString path(MStatus* status = nullptr) const;
  MString rawPath(MStatus* status = nullptr) const { return path(status); }
  MString resolvedPath() const { return path(); }
  bool exists(MStatus* status = nullptr) const;

private:
  MString fPath;
  MString fName;
};
