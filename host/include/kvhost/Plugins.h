#pragma once
// Plug-in modules and the file translators they register, loaded the way
// Maya loads them: the module is opened, its MApiVersion read, its
// initializePlugin called with the plug-in object; unloading calls
// uninitializePlugin and closes the module.

#include <memory>
#include <string>
#include <vector>

#include <maya/MObject.h>
#include <maya/MPxFileTranslator.h>

namespace kvhost {

struct TranslatorInfo {
  std::string name;
  std::string pixmapName;
  std::string optionsScriptName;
  std::string defaultOptionsString;
  bool requiresFullMel = false;
  MCreatorFunction creator = nullptr;
  std::string plugin;  // name of the registering plug-in
};

// Translators registered so far, in registration order.
OPENMAYA_EXPORT std::vector<TranslatorInfo> registeredTranslators();
// The translator of that name, or false.
OPENMAYA_EXPORT bool findTranslator(const std::string& name, TranslatorInfo& out);

// A plug-in object (what initializePlugin receives) for a plug-in of that name.
OPENMAYA_EXPORT MObject makePluginObject(const std::string& name);

// Deletes translator objects made by a plug-in's creator.
struct TranslatorDeleter {
  void operator()(MPxFileTranslator* t) const { delete t; }
};
using TranslatorPtr = std::unique_ptr<MPxFileTranslator, TranslatorDeleter>;
// A new translator object from the registered creator; null if unknown.
OPENMAYA_EXPORT TranslatorPtr createTranslator(const std::string& name);

// Runs a translator's writer with the given access mode, so that
// MPxFileTranslator::fileAccessMode() reports it during the call.
OPENMAYA_EXPORT MStatus runWriter(MPxFileTranslator& translator, const std::string& path,
                                  MPxFileTranslator::FileAccessMode mode, const std::string& options = {});

class OPENMAYA_EXPORT PluginModule {
public:
  // Opens the module and calls its initializePlugin; `error` says why it failed.
  static std::unique_ptr<PluginModule> load(const std::string& path, std::string& error);
  // Calls uninitializePlugin (once) and closes the module.
  ~PluginModule();
  MStatus unload();
  const std::string& name() const { return fName; }
  const std::string& apiVersion() const { return fApiVersion; }

private:
  PluginModule() = default;
  void* fHandle = nullptr;
  std::string fName, fApiVersion;
  MObject fObject;
  bool fLoaded = false;
};

}  // namespace kvhost
