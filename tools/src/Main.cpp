// kvr: the command-line face of the Kavrel Rendering Archive tools.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "Dump.h"
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
