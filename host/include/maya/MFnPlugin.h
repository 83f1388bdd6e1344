#pragma once
// Function set that a plug-in's initializePlugin/uninitializePlugin use to
// register what the plug-in offers. The host keeps the registered file
// translators (see kvhost/Plugins.h).

#include <maya/MFnBase.h>
#include <maya/MString.h>

class OPENMAYA_EXPORT MFnPlugin : public MFnBase {
public:
  MFnPlugin() = default;
  MFnPlugin(MObject& object, const char* vendor = "Unknown", const char* version = "Unknown",
            const char* requiredApiVersion = "Any", MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kPlugin; }

  MString vendor(MStatus* status = nullptr) const;
  MString version(MStatus* status = nullptr) const;
  MString apiVersion(MStatus* status = nullptr) const;
  MString name(MStatus* status = nullptr) const;

  // Fails with kFailure when a translator of that name is already registered
  // or the set is not attached to a plug-in.
  MStatus registerFileTranslator(const MString& translatorName, const char* pixmapName,
                                 MCreatorFunction creatorFunction, const char* optionsScriptName = nullptr,
                                 const char* defaultOptionsString = nullptr, bool requiresFullMel = false);
  // Fails with kFailure when no translator of that name was registered by this plug-in.
  MStatus deregisterFileTranslator(const MString& translatorName);
};
