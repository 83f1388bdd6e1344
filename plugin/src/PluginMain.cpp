// The module's entry points: the only symbols the plug-in exports.
#include <maya/MFnPlugin.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <iostream>

#include "KvMayaExporter.h"

// The module hides every symbol but these: dllexport for Maya's Windows build,
// default visibility for the shared object built here.
#if defined(_WIN32)
#define KV_PLUGIN_VISIBLE __declspec(dllexport)
#else
#define KV_PLUGIN_VISIBLE __attribute__((visibility("default")))
#endif
#define KV_PLUGIN_EXPORT extern "C" KV_PLUGIN_VISIBLE

namespace {

// Registration constants of the translator; the name is what users pick in the
// export dialog and what scripts pass to `file -type`.
constexpr char kTranslatorName[] = "Kavrel Rendering Archive";
constexpr char kVendor[] = "Tarnwell, Inc.";
constexpr char kPluginVersion[] = "1.5";
constexpr char kRequiredApiVersion[] = "Any";
constexpr char kPixmapName[] = "none";
constexpr char kOptionsScript[] = "";
constexpr char kDefaultOptions[] = "";
constexpr bool kRequiresFullMel = false;

}  // namespace

// The API version the module was built for, read by the host before loading.
KV_PLUGIN_EXPORT const char MApiVersion[] = "800";

KV_PLUGIN_EXPORT MStatus initializePlugin(MObject plugin) {
  std::cout << "A Kavrel KVR exporter for Maya." << std::endl;
  MFnPlugin fnPlugin(plugin, kVendor, kPluginVersion, kRequiredApiVersion);
  MStatus status = fnPlugin.registerFileTranslator(kTranslatorName, kPixmapName, KvMayaExporter::creator,
                                                   kOptionsScript, kDefaultOptions, kRequiresFullMel);
  if (!status) status.perror("MayaExportCommand::registerFileTranslator");
  return status;
}

KV_PLUGIN_EXPORT MStatus uninitializePlugin(MObject plugin) {
  MFnPlugin fnPlugin(plugin, "Unknown", "Unknown", "Any");
  MStatus status = fnPlugin.deregisterFileTranslator(kTranslatorName);
  if (!status) status.perror("MayaExportCommand::deregisterFileTranslator");
  return status;
}

// Exported for hosts that call it at exit; there is nothing to do.
KV_PLUGIN_VISIBLE void OnMayaExit(void*) {}
