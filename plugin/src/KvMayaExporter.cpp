#include "KvMayaExporter.h"

#include <maya/MGlobal.h>

#include <iostream>
#include <new>

#include "kv/ExportStages.h"
#include "kv/Runtime.h"
#include "kv/Scene.h"
#include "kv/String.h"

KvMayaExporter::KvMayaExporter() {
  KvRuntimeStartupDefault();
  RegisterSceneClasses();
}

KvMayaExporter::~KvMayaExporter() {
  ShutDownSceneClasses();
  KvRuntimeShutdown();
}

void* KvMayaExporter::creator() { return new (std::nothrow) KvMayaExporter; }

MStatus KvMayaExporter::reader(const MFileObject&, const MString&, FileAccessMode) {
  std::cerr << "KvMayaExporter::reader() method unimplimented!\n" << std::endl;
  return MS::kFailure;
}

MStatus KvMayaExporter::writer(const MFileObject& file, const MString&, FileAccessMode mode) {
  if (mode == MPxFileTranslator::kExportActiveAccessMode) {
    MGlobal::displayWarning("Export Selected currently unsupported.  Exporting all instead.");
  }
  const MString fullName = file.fullName();
  const KvString path(fullName.asChar(), fullName.length());
  return ExportScene(path) ? MS::kSuccess : MS::kFailure;
}

bool KvMayaExporter::haveReadMethod() const { return false; }
bool KvMayaExporter::haveWriteMethod() const { return true; }
MString KvMayaExporter::defaultExtension() const { return "kvr"; }
MString KvMayaExporter::filter() const { return "*.KVR"; }

MPxFileTranslator::MFileKind KvMayaExporter::identifyFile(const MFileObject& file, const char*, short) const {
  // Only the name counts, byte for byte: the last three characters are "kvr".
  const MString name = file.name();
  const unsigned int length = name.length();
  const char* text = name.asChar();
  if (length >= 3 && text[length - 3] == 'k' && text[length - 2] == 'v' && text[length - 1] == 'r') {
    return kCouldBeMyFileType;
  }
  return kNotMyFileType;
}
