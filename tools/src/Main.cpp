// kvr: the command-line face of the Kavrel Rendering Archive tools.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <iostream>
#include <string>

#include "Check.h"
#include "Dump.h"
#include "Export.h"
#include "RenderCommand.h"
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
  exportCommand->add_option("--output-dir", exportOptions.outputDir,
                            "A folder for one archive per scene (default: each archive beside its scene)");
  exportCommand->add_option("-j,--jobs", exportOptions.jobs, "Scenes exported at once, each in its own process (default: one per core)")
      ->check(CLI::Range(1u, 1024u));
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

  std::vector<std::string> checkPaths;
  bool checkJson = false;
  CLI::App* check = app.add_subcommand("check", "Check that archives load and make sense");
  check->add_option("ARCHIVE", checkPaths, "The archives to check")->required();
  check->add_flag("--json", checkJson, "Print one JSON document instead of text");

  RenderCommandOptions renderOptions;
  std::string pictureSize;
  CLI::App* render = app.add_subcommand("render", "Draw a picture of an archive's scene");
  render->add_option("ARCHIVE", renderOptions.archive, "The archive to draw")->required();
  render->add_option("-o,--output", renderOptions.output, "The PNG to write (default: ARCHIVE with .png)");
  CLI::Option* cameraOption =
      render->add_option("--camera", renderOptions.render.camera, "Look through this camera (default: the first perspective one)");
  render->add_flag("--frame", renderOptions.render.frame, "Frame all meshes from a three-quarter view")->excludes(cameraOption);
  render->add_option("--size", pictureSize, "Picture size WxH (default 800x600)");
  render->add_flag("--skeleton", renderOptions.render.skeleton, "Draw the joints over the picture");
  render->add_flag("--wireframe", renderOptions.render.wireframe, "Draw the triangles' edges over the surfaces");

  std::string helpTopic;
  CLI::App* help = app.add_subcommand("help", "Show help for kvr or for one command");
  help->add_option("COMMAND", helpTopic, "The command to explain");

  // A word that names no command gets said so, not CLI11's "A subcommand is required".
  if (argc > 1 && argv[1][0] != '-') {
    std::string commands;
    bool known = false;
    for (const CLI::App* command : app.get_subcommands({})) {
      known = known || command->get_name() == argv[1];
      commands += (commands.empty() ? "" : ", ") + command->get_name();
    }
    if (!known) {
      std::cerr << "kvr: there is no command \"" << argv[1] << "\"; the commands are " << commands
                << " (kvr --help explains them)\n";
      return kExitUsage;
    }
  }

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

  if (render->parsed() && !pictureSize.empty() &&
      !ParsePictureSize(pictureSize, renderOptions.render.width, renderOptions.render.height)) {
    std::cerr << "kvr render: --size takes WIDTHxHEIGHT, each from 1 to " << kvrender::kMaxSize << ", not \""
              << pictureSize << "\"\n";
    return kExitUsage;
  }

  SceneModel model;
  const std::string file = dump->parsed() ? dumpPath : render->parsed() ? renderOptions.archive : "kvr check";
  try {
    if (dump->parsed()) return RunDump(dumpPath, dumpJson, std::cout, std::cerr);
    if (render->parsed()) return RunRender(renderOptions, std::cout, std::cerr);
    if (check->parsed()) return RunCheck(checkPaths, checkJson, std::cout);
  } catch (const std::exception& e) {
    // Out of memory, or a report that could not be written: still one line.
    std::cerr << "kvr: " << file << ": " << e.what() << "\n";
    return kExitBadArchive;
  }
  return kExitUsage;
}
