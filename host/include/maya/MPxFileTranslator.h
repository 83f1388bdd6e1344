#pragma once
// Base of file translators that plug-ins register with MFnPlugin.

#include <maya/MFileObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

class OPENMAYA_EXPORT MPxFileTranslator {
public:
  enum MFileKind { kIsMyFileType = 0, kCouldBeMyFileType = 1, kNotMyFileType = 2 };
  enum FileAccessMode {
    kUnknownAccessMode = 0,
    kOpenAccessMode = 1,
    kReferenceAccessMode = 2,
    kImportAccessMode = 3,
    kSaveAccessMode = 4,
    kExportAccessMode = 5,
    kExportActiveAccessMode = 6
  };

  MPxFileTranslator();
  virtual ~MPxFileTranslator();
  // Reads a file into the scene; the base fails with kFailure.
  virtual MStatus reader(const MFileObject& file, const MString& optionsString, FileAccessMode mode);
  // Writes the scene to a file; the base fails with kFailure.
  virtual MStatus writer(const MFileObject& file, const MString& optionsString, FileAccessMode mode);
  virtual bool haveReadMethod() const;
  virtual bool haveWriteMethod() const;
  virtual bool haveNamespaceSupport() const;
  virtual bool haveReferenceMethod() const;
  virtual MString defaultExtension() const;
  virtual MString filter() const;
  virtual bool canBeOpened() const;
  virtual MFileKind identifyFile(const MFileObject& file, const char* buffer, short size) const;

  // The access mode of the read or write in progress.
  static FileAccessMode fileAccessMode();
};
