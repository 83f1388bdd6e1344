// Plug-in registration (MFnPlugin), the translator base class, MFileObject
// and the loader of plug-in modules.

#include <kvhost/Plugins.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>

#include <maya/MFileObject.h>
#include <maya/MFnPlugin.h>
#include <maya/MPxFileTranslator.h>

#include "Core.h"

namespace kvhost {

namespace {

class PluginObject : public Object {
public:
  explicit PluginObject(std::string n) : name(std::move(n)) {}
  MFn::Type apiType() const override { return MFn::kPlugin; }
  std::string name, vendor = "Unknown", version = "Unknown", apiVersion = "Any";
};

std::vector<TranslatorInfo>& translators() {
  static std::vector<TranslatorInfo> list;
  return list;
}

MPxFileTranslator::FileAccessMode gAccessMode = MPxFileTranslator::kUnknownAccessMode;

PluginObject* pluginOf(const MObject& o) { return dynamic_cast<PluginObject*>(o.object().get()); }

}  // namespace

std::vector<TranslatorInfo> registeredTranslators() { return translators(); }

bool findTranslator(const std::string& name, TranslatorInfo& out) {
  for (const auto& t : translators())
    if (t.name == name) {
      out = t;
      return true;
    }
  return false;
}

MObject makePluginObject(const std::string& name) { return MObject(std::make_shared<PluginObject>(name)); }

TranslatorPtr createTranslator(const std::string& name) {
  TranslatorInfo info;
  if (!findTranslator(name, info) || !info.creator) return nullptr;
  return TranslatorPtr(static_cast<MPxFileTranslator*>(info.creator()));
}

MStatus runWriter(MPxFileTranslator& translator, const std::string& path, MPxFileTranslator::FileAccessMode mode,
                  const std::string& options) {
  MFileObject file;
  file.setRawFullName(MString(path));
  gAccessMode = mode;
  MStatus s = translator.writer(file, MString(options), mode);
  gAccessMode = MPxFileTranslator::kUnknownAccessMode;
  return s;
}

std::unique_ptr<PluginModule> PluginModule::load(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = "cannot open plug-in '" + path + "': " + (why ? why : "unknown error");
    return nullptr;
  }
  using Entry = MStatus (*)(MObject);
  auto init = reinterpret_cast<Entry>(dlsym(handle, "initializePlugin"));
  auto uninit = reinterpret_cast<Entry>(dlsym(handle, "uninitializePlugin"));
  if (!init || !uninit) {
    error = "'" + path + "' is not a plug-in: it lacks initializePlugin or uninitializePlugin";
    dlclose(handle);
    return nullptr;
  }
  std::unique_ptr<PluginModule> m(new PluginModule());
  m->fHandle = handle;
  if (const char* v = static_cast<const char*>(dlsym(handle, "MApiVersion"))) m->fApiVersion = v;
  std::string base = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  m->fName = base.substr(0, base.find('.'));
  m->fObject = makePluginObject(m->fName);
  MStatus s = init(m->fObject);
  if (!s) {
    error = "initializePlugin of '" + path + "' failed: " + s.errorString().asChar();
    m->fLoaded = false;
    return nullptr;
  }
  m->fLoaded = true;
  return m;
}

MStatus PluginModule::unload() {
  if (!fLoaded) return MS::kSuccess;
  fLoaded = false;
  using Entry = MStatus (*)(MObject);
  auto uninit = reinterpret_cast<Entry>(dlsym(fHandle, "uninitializePlugin"));
  return uninit ? uninit(fObject) : MStatus(MS::kFailure);
}

PluginModule::~PluginModule() {
  unload();
  if (fHandle) dlclose(fHandle);
}

}  // namespace kvhost

// ------------------------------------------------------------------ MFnPlugin

MFnPlugin::MFnPlugin(MObject& object, const char* vendor, const char* version, const char* requiredApiVersion,
                     MStatus* status) {
  MStatus s = setObject(object);
  if (s) {
    auto* p = kvhost::pluginOf(object);
    if (vendor) p->vendor = vendor;
    if (version) p->version = version;
    if (requiredApiVersion) p->apiVersion = requiredApiVersion;
  }
  if (status) *status = s;
}

MString MFnPlugin::vendor(MStatus* status) const {
  auto* p = kvhost::pluginOf(fObject);
  if (status) *status = p ? MS::kSuccess : MS::kFailure;
  return p ? MString(p->vendor) : MString();
}

MString MFnPlugin::version(MStatus* status) const {
  auto* p = kvhost::pluginOf(fObject);
  if (status) *status = p ? MS::kSuccess : MS::kFailure;
  return p ? MString(p->version) : MString();
}

MString MFnPlugin::apiVersion(MStatus* status) const {
  auto* p = kvhost::pluginOf(fObject);
  if (status) *status = p ? MS::kSuccess : MS::kFailure;
  return p ? MString(p->apiVersion) : MString();
}

MString MFnPlugin::name(MStatus* status) const {
  auto* p = kvhost::pluginOf(fObject);
  if (status) *status = p ? MS::kSuccess : MS::kFailure;
  return p ? MString(p->name) : MString();
}

MStatus MFnPlugin::registerFileTranslator(const MString& translatorName, const char* pixmapName,
                                          MCreatorFunction creatorFunction, const char* optionsScriptName,
                                          const char* defaultOptionsString, bool requiresFullMel) {
  auto* p = kvhost::pluginOf(fObject);
  if (!p || !creatorFunction || translatorName.length() == 0) return MS::kFailure;
  kvhost::TranslatorInfo existing;
  if (kvhost::findTranslator(translatorName.asChar(), existing)) return MS::kFailure;
  kvhost::TranslatorInfo info;
  info.name = translatorName.asChar();
  info.pixmapName = pixmapName ? pixmapName : "";
  info.optionsScriptName = optionsScriptName ? optionsScriptName : "";
  info.defaultOptionsString = defaultOptionsString ? defaultOptionsString : "";
  info.requiresFullMel = requiresFullMel;
  info.creator = creatorFunction;
  info.plugin = p->name;
  kvhost::translators().push_back(info);
  return MS::kSuccess;
}

MStatus MFnPlugin::deregisterFileTranslator(const MString& translatorName) {
  auto* p = kvhost::pluginOf(fObject);
  if (!p) return MS::kFailure;
  auto& list = kvhost::translators();
  auto it = std::find_if(list.begin(), list.end(), [&](const kvhost::TranslatorInfo& t) {
    return t.name == translatorName.asChar() && t.plugin == p->name;
  });
  if (it == list.end()) return MS::kFailure;
  list.erase(it);
  return MS::kSuccess;
}

// ------------------------------------------------------------------ MPxFileTranslator

MPxFileTranslator::MPxFileTranslator() = default;
MPxFileTranslator::~MPxFileTranslator() = default;
MStatus MPxFileTranslator::reader(const MFileObject&, const MString&, FileAccessMode) { return MS::kFailure; }
MStatus MPxFileTranslator::writer(const MFileObject&, const MString&, FileAccessMode) { return MS::kFailure; }
bool MPxFileTranslator::haveReadMethod() const { return false; }
bool MPxFileTranslator::haveWriteMethod() const { return false; }
bool MPxFileTranslator::haveNamespaceSupport() const { return false; }
bool MPxFileTranslator::haveReferenceMethod() const { return false; }
MString MPxFileTranslator::defaultExtension() const { return MString(); }
MString MPxFileTranslator::filter() const { return MString("*.*"); }
bool MPxFileTranslator::canBeOpened() const { return true; }
MPxFileTranslator::MFileKind MPxFileTranslator::identifyFile(const MFileObject&, const char*, short) const {
  return kNotMyFileType;
}
MPxFileTranslator::FileAccessMode MPxFileTranslator::fileAccessMode() { return kvhost::gAccessMode; }

// ------------------------------------------------------------------ MFileObject

MStatus MFileObject::setRawFullName(const MString& fullName) {
  const std::string& s = fullName.str();
  size_t slash = s.find_last_of('/');
  if (slash == std::string::npos) {
    fPath = MString();
    fName = fullName;
  } else {
    fPath = MString(s.substr(0, slash + 1));
    fName = MString(s.substr(slash + 1));
  }
  return MS::kSuccess;
}

MStatus MFileObject::setRawName(const MString& name) {
  fName = name;
  return MS::kSuccess;
}

MStatus MFileObject::setRawPath(const MString& path) {
  std::string p = path.str();
  if (!p.empty() && p.back() != '/') p += '/';
  fPath = MString(p);
  return MS::kSuccess;
}

MString MFileObject::fullName(MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return fPath + fName;
}

MString MFileObject::name(MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return fName;
}

MString MFileObject::path(MStatus* status) const {
  if (status) *status = MS::kSuccess;
  return fPath;
}

bool MFileObject::exists(MStatus* status) const {
  if (status) *status = MS::kSuccess;
  struct stat st;
  return stat(fullName().asChar(), &st) == 0;
}
