// The "Kavrel Rendering Archive" file translator: write-only.
#pragma once

#include <maya/MFileObject.h>
#include <maya/MPxFileTranslator.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

class KvMayaExporter : public MPxFileTranslator {
 public:
  // Starts the object runtime and the scene model; the destructor shuts them down.
  // Start-ups are counted, so several translator objects may be alive at once.
  KvMayaExporter();
  ~KvMayaExporter() override;

  static void* creator();

  MStatus reader(const MFileObject& file, const MString& options, FileAccessMode mode) override;
  MStatus writer(const MFileObject& file, const MString& options, FileAccessMode mode) override;
  bool haveReadMethod() const override;
  bool haveWriteMethod() const override;
  MString defaultExtension() const override;
  MString filter() const override;
  MFileKind identifyFile(const MFileObject& file, const char* buffer, short size) const override;
};
