// kvr: the command-line face of the Kavrel Rendering Archive tools.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <iostream>
#include <string>

#include "Dump.h"
#include "Export.h"
#include "kv/Runtime.h"
#include "kv/Scene.h"

namespace {

// Runtime and scene model for the length of one command.
struct SceneModel {
  SceneModel() {
    KvRuntimeStartupDefault();
    RegisterSceneClasses();
  }
  ~SceneModel() {
    ShutDownSceneClasses();
    KvRuntimeShutdown();
  }
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Kavrel Rendering Archive tools", "kvr"};
  app.set_version_flag("--version", std::string("kvr ") + KVR_VERSION);
  app.require_subcommand(1);
  app.fallthrough(false);

  std::string dumpPath;
  bool dumpJson = false;
  CLI::App* dump = app.add_subcommand("dump", "Show what an archive holds");
  dump->add_option("FILE", dumpPath, "The archive to read")->required();
  dump->add_flag("--json", dumpJson, "Print one JSON document instead of text");

  ExportOptions exportOptions;
  CLI::App* exportCommand = app.add_subcommand("export", "Export Maya ASCII scenes to archives through the plug-in");
  exportCommand->add_option("SCENE", exportOptions.scenes, "The .ma scenes to export")->required();
  exportCommand->add_option("-o,--output", exportOptions.output, "The archive to write (one scene)");
  exportCommand->add_option("--output-dir", exportOptions.outputDir, "A folder for one archive per scene");
  exportCommand->add_option("--plugin", exportOptions.plugin, "The plug-in module to load");
  exportCommand->add_flag("--selection", exportOptions.selection, "Export with the Export Selected access mode");
  exportCommand->add_flag("--show-log", exportOptions.showLog, "Print the export log after each export");
  exportCommand->add_flag("-q,--quiet", exportOptions.quiet, "Print errors only");
  exportCommand->add_flag("-v,--verbose", exportOptions.verbose, "List every warning of the scene reader");
  exportCommand->add_flag("--keep-polygons", exportOptions.keepPolygons,
                          "Export polygons as they are, without triangulating them first (as inside Maya)");
  exportCommand->add_option("--skip-reference", exportOptions.skipReferences,
                            "Leave out the file reference in NAMESPACE (repeatable)")
      ->allow_extra_args(false);
  exportCommand->add_option("--reference-path", exportOptions.referencePaths,
                            "Also look for referenced files in DIR (repeatable)")
      ->allow_extra_args(false);
  exportCommand->add_flag("--strict", exportOptions.strict,
                          "Fail instead of leaving out what cannot be exported (a mesh without geometry, a missing referenced file)");

  std::string helpTopic;
  CLI::App* help = app.add_subcommand("help", "Show help for kvr or for one command");
  help->add_option("COMMAND", helpTopic, "The command to explain");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help, --version
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  if (help->parsed()) {
    if (helpTopic.empty()) {
      std::cout << app.help();
      return kExitOk;
    }
    for (CLI::App* command : app.get_subcommands({})) {
      if (command->get_name() == helpTopic && command != help) {
        std::cout << command->help();
        return kExitOk;
      }
    }
    std::cerr << "kvr: no command named \"" << helpTopic << "\"; try kvr --help\n";
    return kExitUsage;
  }

  if (exportCommand->parsed()) {
    exportOptions.progress = isatty(STDERR_FILENO) != 0;
    return RunExport(exportOptions, std::cout, std::cerr);
  }

  SceneModel model;
  try {
    if (dump->parsed()) return RunDump(dumpPath, dumpJson, std::cout, std::cerr);
  } catch (const std::exception& e) {
    // Out of memory, or a report that could not be written: still one line.
    std::cerr << "kvr: " << dumpPath << ": " << e.what() << "\n";
    return kExitBadArchive;
  }
  return kExitUsage;
}
