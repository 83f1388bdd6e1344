// kvr export: reads Maya ASCII scenes into the stand-in host and exports each one
// through the plug-in module, the way Maya's File > Export does.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

struct ExportOptions {
  std::vector<std::string> scenes;  // .ma files
  std::string output;               // -o: the archive of a single scene
  std::string outputDir;            // --output-dir: one archive per scene, same base name
                                    // (with neither: SCENE.kvr beside each scene)
  std::string plugin;               // --plugin: the module to load
  bool selection = false;           // --selection: the Export Selected access mode
  bool showLog = false;             // --show-log: echo the export log
  bool quiet = false;               // --quiet: errors only
  bool verbose = false;             // --verbose: list every reader warning
  bool progress = false;            // progress lines (on a terminal)
  bool keepPolygons = false;        // --keep-polygons: no triangulation before the export
  std::vector<std::string> skipReferences;  // --skip-reference: namespaces whose references are left out
  std::vector<std::string> referencePaths;  // --reference-path: more folders to find referenced files in
  // --strict: a problem that loses part of the scene (a mesh without geometry,
  // a referenced file that cannot be loaded) fails the export instead of being
  // reported and left out.
  bool strict = false;
  unsigned jobs = 0;                // -j: scenes exported at once, each in a process of its
                                    // own; 0 means one per core
};

// Runs the exports; returns 0 when every scene was exported, 1 when one failed (an
// error line for each on `err`; the other scenes are still exported), 2 for unusable
// options. Several scenes are exported in parallel processes (see `jobs`); their
// output comes whole and in scene order, and the export log then holds every
// scene's log in that order.
int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err);

// The plug-in module to load: --plugin, else the first KvMayaExporter.so found in
// the directories of MAYA_PLUG_IN_PATH, else next to the kvr executable (its own
// directory, then ../lib). Empty when none exists; `searched` lists where it looked.
std::string FindPluginModule(const std::string& explicitPath, std::string& searched);
