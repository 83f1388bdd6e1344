#include "Export.h"

#include <kvhost/MayaAscii.h>
#include <kvhost/Plugins.h>
#include <kvhost/Scene.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "Batch.h"
#include "Dump.h"
#include "kv/ArchiveStore.h"

namespace fs = std::filesystem;

namespace {

constexpr char kTranslatorName[] = "Kavrel Rendering Archive";
constexpr char kModuleFileName[] = "KvMayaExporter.so";
constexpr char kLogFileName[] = "KvMayaExporter_Log.txt";

// The temporary file the plug-in's save writes before it replaces the output
// (its name is known before the file exists), removed if the process is
// interrupted.
char g_pendingTemp[4096] = {0};

void RemovePendingAndExit(int signal) {
  if (g_pendingTemp[0] != '\0') unlink(g_pendingTemp);
  _exit(128 + signal);
}

// Names the temporary file for the interrupt handler while an export runs.
class PendingTemp {
 public:
  explicit PendingTemp(const std::string& output) {
    if (KvArchiveStoreFile::TemporaryPathFor(output.c_str(), g_pendingTemp, sizeof g_pendingTemp) == nullptr) {
      g_pendingTemp[0] = '\0';
    }
  }
  ~PendingTemp() { g_pendingTemp[0] = '\0'; }
  PendingTemp(const PendingTemp&) = delete;
  PendingTemp& operator=(const PendingTemp&) = delete;
};

// Which file a path names: the save replaces an output file with a new one (a
// device or a pipe it writes in place).
struct FileIdentity {
  bool exists = false;
  bool regular = false;
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return {};
  return FileIdentity{true, S_ISREG(info.st_mode), info.st_dev, info.st_ino};
}

// Like Maya: the log lives in MAYA_APP_DIR, which defaults to $HOME/maya.
std::string PrepareLogDirectory(std::string& error) {
  const char* appDir = std::getenv("MAYA_APP_DIR");
  if (appDir == nullptr) {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
      error = "neither MAYA_APP_DIR nor HOME is set, so the export log has no home";
      return {};
    }
    const std::string dir = std::string(home) + "/maya";
    setenv("MAYA_APP_DIR", dir.c_str(), 1);
    appDir = std::getenv("MAYA_APP_DIR");
  }
  std::error_code ec;
  if (*appDir != '\0') fs::create_directories(appDir, ec);
  if (ec) {
    error = std::string("cannot create the Maya application directory ") + appDir + ": " + ec.message();
    return {};
  }
  return std::string(appDir) + "/" + kLogFileName;
}

// The scene's counts, as the export log's statistics give them.
struct ArchiveCounts {
  uint32_t skeletons = 0, meshes = 0, materials = 0, textures = 0, lights = 0, cameras = 0;
};

ArchiveCounts CountsFromLog(const std::string& logPath) {
  ArchiveCounts counts;
  std::ifstream in(logPath, std::ios::binary);
  std::string line;
  bool inStats = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "Scene stats:") {
      inStats = true;
      continue;
    }
    unsigned int value = 0;
    char what[32] = {0};
    if (!inStats || std::sscanf(line.c_str(), "%u %31s", &value, what) != 2) continue;
    const std::string kind = what;
    if (kind == "textures") counts.textures = value;
    if (kind == "materials") counts.materials = value;
    if (kind == "skeletons") counts.skeletons = value;
    if (kind == "meshes") counts.meshes = value;
    if (kind == "lights") counts.lights = value;
    if (kind == "cameras") counts.cameras = value;
  }
  return counts;
}

std::string Count(uint32_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Describe(const ArchiveCounts& c) {
  return Count(c.skeletons, "skeleton", "skeletons") + ", " + Count(c.meshes, "mesh", "meshes") + ", " +
         Count(c.materials, "material", "materials") + ", " + Count(c.textures, "texture", "textures") + ", " +
         Count(c.lights, "light", "lights") + ", " + Count(c.cameras, "camera", "cameras");
}

void EchoLog(const std::string& logPath, std::ostream& out) {
  std::ifstream in(logPath, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (char c : text) {
    if (c != '\r') out << c;
  }
}

// Restores the working directory when the export of one scene ends.
struct WorkingDirectory {
  explicit WorkingDirectory(const fs::path& dir) : previous(fs::current_path()) {
    std::error_code ec;
    fs::current_path(dir, ec);
  }
  ~WorkingDirectory() {
    std::error_code ec;
    fs::current_path(previous, ec);
  }
  fs::path previous;
};

class Exporter {
 public:
  Exporter(const ExportOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err) {}

  // `logPath` is the export log a user is pointed to; the plug-in writes this
  // scene's log at `writtenLog` (the same file unless a batch process keeps its own).
  bool ExportOne(const std::string& scenePath, const std::string& outputPath, const std::string& logPath,
                 const std::string& writtenLog = {});

 private:
  bool Fail(const std::string& what) {
    err_ << "kvr: " << what << "\n";
    return false;
  }
  void Note(const std::string& line) {
    if (!options_.quiet) out_ << line << "\n";
  }
  // A problem that loses part of the scene: an error line, and false when
  // --strict makes it fail the export.
  bool Lost(const std::string& what) {
    err_ << "kvr: error: " << what << "\n";
    return !options_.strict;
  }
  bool ReportReferences(const kvhost::MayaAsciiResult& read, const std::string& scenePath, std::string& summary);

  const ExportOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
};

bool Exporter::ExportOne(const std::string& scenePath, const std::string& outputPath, const std::string& logPath,
                         const std::string& writtenLog) {
  // Big blocks come from and go back to the system as they are freed: with the
  // allocator's default sliding threshold, the arrays a large scene frees while
  // it is read and exported stay as holes in the heap, resident until the end.
  // Below 2 MB, blocks reuse freed heap memory, which spares fresh pages.
  mallopt(M_MMAP_THRESHOLD, 2 << 20);
  // Reading a scene frees many small blocks between larger ones. With fast bins,
  // each larger request merges every small block freed since the last one, more
  // of them as the heap grows: an eighth of exporting 10,000 small meshes.
  // Without them a freed block is merged once, when it is freed.
  mallopt(M_MXFAST, 0);

  // 1. The scene, into the host, as File > Open does.
  kvhost::MayaAsciiOptions readOptions;
  readOptions.skipReferences = options_.skipReferences;
  readOptions.referencePaths = options_.referencePaths;
  const bool showProgress = options_.progress && !options_.quiet;
  if (showProgress) {
    readOptions.progress = [&](std::size_t done, std::size_t total) {
      if (total > 0) std::cerr << "\rReading " << scenePath << ": " << (100 * done / total) << "%" << std::flush;
    };
  }
  const kvhost::MayaAsciiResult read = kvhost::readMayaAsciiFile(scenePath, readOptions);
  if (showProgress) std::cerr << "\n";
  if (!read) return Fail(read.error);
  if (!read.warnings.empty() && !options_.quiet) {
    if (options_.verbose) {
      for (const kvhost::MayaAsciiWarning& warning : read.warnings) {
        out_ << "warning: " << warning.text;
        if (warning.count > 1) out_ << " (" << warning.count << " times)";
        out_ << "\n";
      }
    } else {
      out_ << scenePath << ": " << read.warningCount() << " warnings (" << read.warnings.size()
           << " kinds: node types and attributes the exporter does not use, kept as they are); --verbose lists them\n";
    }
  }
  std::string notLoaded;
  if (!ReportReferences(read, scenePath, notLoaded)) {
    return Fail("export of " + scenePath + " failed: a referenced file could not be loaded (--strict)");
  }

  // 2. The plug-in's save replaces the output only with a complete archive, through
  // a temporary file beside it; a folder that cannot take that file fails here.
  const fs::path output = fs::absolute(outputPath);
  if (access(output.parent_path().c_str(), W_OK | X_OK) != 0) {
    return Fail("could not write " + outputPath + ": " + std::strerror(errno));
  }
  const FileIdentity before = IdentityOf(output.string());
  PendingTemp pending(output.string());

  // 3. Meshes as the export will see them: triangulated, as Mesh > Triangulate
  // would do, unless kept as polygons; those without geometry are named once.
  kvhost::Scene& scene = kvhost::Scene::get();
  scene.setTriangulateMeshes(!options_.keepPolygons);
  const kvhost::Scene::MeshReport meshes = scene.checkMeshes();
  bool go = true;
  for (const std::string& problem : meshes.problems) go = Lost(problem) && go;
  if (!options_.quiet)
    for (const std::string& note : meshes.notes) err_ << "kvr: warning: " << note << "\n";
  if (!go) {
    return Fail("export of " + scenePath + " failed: " + Count(static_cast<uint32_t>(meshes.problems.size()), "mesh", "meshes") +
                " without geometry (--strict)");
  }

  // 4. The export, through a translator object of the module; relative texture
  // paths resolve against the scene's folder, as Maya resolves them in its project.
  scene.clearMessages();
  MStatus status;
  {
    kvhost::TranslatorPtr translator = kvhost::createTranslator(kTranslatorName);
    if (translator == nullptr) return Fail("the plug-in did not register the \"" + std::string(kTranslatorName) + "\" translator");
    if (showProgress) std::cerr << "Exporting " << scenePath << "...\n";
    WorkingDirectory sceneDir(fs::absolute(scenePath).parent_path());
    status = kvhost::runWriter(*translator, output.string(),
                               options_.selection ? MPxFileTranslator::kExportActiveAccessMode
                                                  : MPxFileTranslator::kExportAccessMode);
  }
  if (options_.showLog) EchoLog(logPath, out_);
  if (!status) {
    // The host has already shown the plug-in's error text, as Maya does.
    return Fail("export of " + scenePath + " failed; see " + logPath);
  }

  // 5. The translator reports success even when the save could not write; the save
  // replaces the output only with a whole archive, so a new file there is one.
  const FileIdentity after = IdentityOf(output.string());
  if (!after.exists || (after == before && before.regular)) {
    return Fail("could not write " + outputPath + ": the archive was not saved; see " + logPath);
  }
  std::string summary = "Wrote " + outputPath + ": " + Describe(CountsFromLog(writtenLog.empty() ? logPath : writtenLog));
  std::string extra;
  if (meshes.polygonsTriangulated > 0)
    extra = Count(static_cast<uint32_t>(meshes.polygonsTriangulated), "polygon", "polygons") + " triangulated";
  if (!meshes.problems.empty()) {
    if (!extra.empty()) extra += ", ";
    extra += Count(static_cast<uint32_t>(meshes.problems.size()), "mesh", "meshes") + " without geometry";
  }
  if (!extra.empty()) summary += " (" + extra + ")";
  Note(summary + notLoaded);
  return true;
}

// Lists what became of the scene's file references: an error line for each
// that could not be loaded, the loaded ones with --verbose, and in `summary`
// the ones the archive goes without. False when --strict fails the export.
bool Exporter::ReportReferences(const kvhost::MayaAsciiResult& read, const std::string& scenePath,
                                std::string& summary) {
  bool go = true;
  std::string left;
  for (const kvhost::MayaAsciiReference& reference : read.references) {
    switch (reference.state) {
      case kvhost::MayaAsciiReference::State::Loaded:
        if (options_.verbose && !options_.quiet) out_ << "reference " << reference.nameSpace << ": " << reference.path << "\n";
        continue;
      case kvhost::MayaAsciiReference::State::Skipped:
        left += (left.empty() ? "" : ", ") + reference.nameSpace + " (skipped)";
        continue;
      case kvhost::MayaAsciiReference::State::Failed:
        go = Lost(reference.error) && go;
        left += (left.empty() ? "" : ", ") + reference.nameSpace + " (error)";
        continue;
    }
  }
  for (const std::string& name : options_.skipReferences) {
    const bool named = std::any_of(read.references.begin(), read.references.end(),
                                   [&](const kvhost::MayaAsciiReference& r) { return r.nameSpace == name; });
    if (!named) err_ << "kvr: warning: --skip-reference " << name << ": " << scenePath << " has no reference in that namespace\n";
  }
  if (!left.empty()) summary = "; not loaded: " + left;
  return go;
}

// The archive of `scene`: -o, else the scene's name with .kvr in --output-dir, else
// beside the scene.
std::string OutputFor(const ExportOptions& options, const std::string& scene) {
  if (!options.output.empty()) return options.output;
  if (!options.outputDir.empty()) return (fs::path(options.outputDir) / fs::path(scene).stem()).string() + ".kvr";
  return fs::path(scene).replace_extension(".kvr").string();
}

// Exports each scene in a process of its own (the host holds one scene per
// process), `jobs` at a time. Each process writes its export log in its own folder;
// the logs are gathered into the export log in scene order.
int ExportInProcesses(const ExportOptions& options, unsigned jobs, const std::string& modulePath,
                      const std::string& logPath, std::ostream& out, std::ostream& err) {
  if (!options.quiet) out << "Export log: " << logPath << "\n";
  std::ofstream log(logPath, std::ios::binary | std::ios::trunc);
  int status = kExitOk;
  auto exportOne = [&](size_t index, const std::string& workDir) {
    setenv("MAYA_APP_DIR", workDir.c_str(), 1);
    ExportOptions own = options;
    own.showLog = false;  // echoed from here, once the log is gathered
    own.progress = false;
    std::string error;
    // The banner would repeat for every scene.
    std::streambuf* saved = std::cout.rdbuf(nullptr);
    std::unique_ptr<kvhost::PluginModule> module = kvhost::PluginModule::load(modulePath, error);
    std::cout.rdbuf(saved);
    if (module == nullptr) {
      std::cerr << "kvr: " << error << "\n";
      return kExitBadArchive;
    }
    Exporter exporter(own, std::cout, std::cerr);
    const std::string& scene = options.scenes[index];
    const bool exported = exporter.ExportOne(scene, OutputFor(options, scene), logPath, workDir + "/" + kLogFileName);
    module->unload();
    return exported ? kExitOk : kExitBadArchive;
  };
  auto gather = [&](size_t index, const std::string& workDir, int result) {
    const std::string sceneLog = workDir + "/" + kLogFileName;
    std::ifstream in(sceneLog, std::ios::binary);
    if (in.peek() != std::ifstream::traits_type::eof()) log << in.rdbuf() << std::flush;
    if (options.showLog) EchoLog(sceneLog, out);
    if (result >= 128) err << "kvr: export of " << options.scenes[index] << " stopped by signal " << result - 128 << "\n";
    if (result != kExitOk) status = kExitBadArchive;
  };
  const int stop = RunInProcesses(options.scenes.size(), jobs, exportOne, gather, out, err);
  // Interrupted: end as a single export does, through the signal's handler.
  if (stop != 0) std::raise(stop);
  return status;
}

bool IsRegularFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

}  // namespace

std::string FindPluginModule(const std::string& explicitPath, std::string& searched) {
  if (!explicitPath.empty()) {
    searched = explicitPath;
    return IsRegularFile(explicitPath) ? explicitPath : std::string();
  }
  std::vector<fs::path> candidates;
  if (const char* pluginPath = std::getenv("MAYA_PLUG_IN_PATH")) {
    std::string list(pluginPath);
    size_t start = 0;
    while (start <= list.size()) {
      const size_t end = list.find(':', start);
      const std::string dir = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!dir.empty()) candidates.push_back(fs::path(dir) / kModuleFileName);
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    candidates.push_back(self.parent_path() / kModuleFileName);
    candidates.push_back(self.parent_path().parent_path() / "lib" / kModuleFileName);
  }
  for (const fs::path& candidate : candidates) {
    if (!searched.empty()) searched += ", ";
    searched += candidate.string();
    if (IsRegularFile(candidate)) return candidate.lexically_normal().string();
  }
  return {};
}

int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err) {
  if (options.scenes.empty()) {
    err << "kvr export: no scene given\n";
    return kExitUsage;
  }
  if (!options.output.empty() && !options.outputDir.empty()) {
    err << "kvr export: give either -o or --output-dir, not both\n";
    return kExitUsage;
  }
  if (!options.output.empty() && options.scenes.size() > 1) {
    err << "kvr export: -o names the archive of one scene; for several give a folder with --output-dir DIR, or "
           "neither to write each archive beside its scene\n";
    return kExitUsage;
  }

  std::string error;
  const std::string logPath = PrepareLogDirectory(error);
  if (logPath.empty()) {
    err << "kvr: " << error << "\n";
    return kExitBadArchive;
  }
  std::string searched;
  const std::string modulePath = FindPluginModule(options.plugin, searched);
  if (modulePath.empty()) {
    err << "kvr: cannot find the plug-in module " << kModuleFileName << " (looked in: " << searched
        << "); give it with --plugin or MAYA_PLUG_IN_PATH\n";
    return kExitBadArchive;
  }
  if (!options.outputDir.empty()) {
    std::error_code ec;
    fs::create_directories(options.outputDir, ec);
    if (ec) {
      err << "kvr: cannot create " << options.outputDir << ": " << ec.message() << "\n";
      return kExitBadArchive;
    }
  }

  std::signal(SIGINT, RemovePendingAndExit);
  std::signal(SIGTERM, RemovePendingAndExit);
  std::signal(SIGHUP, RemovePendingAndExit);
  // A file grown past the size limit fails its write (which the save notices and
  // undoes) instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);

  const unsigned jobs = options.jobs != 0 ? options.jobs : DefaultJobCount();
  if (options.scenes.size() > 1 && jobs > 1) return ExportInProcesses(options, jobs, modulePath, logPath, out, err);

  // Loading prints the plug-in's banner, as Maya's script editor shows it.
  std::streambuf* saved = nullptr;
  if (options.quiet) saved = std::cout.rdbuf(nullptr);
  std::unique_ptr<kvhost::PluginModule> module = kvhost::PluginModule::load(modulePath, error);
  if (saved != nullptr) std::cout.rdbuf(saved);
  if (module == nullptr) {
    err << "kvr: " << error << "\n";
    return kExitBadArchive;
  }
  if (!options.quiet) out << "Export log: " << logPath << "\n";

  Exporter exporter(options, out, err);
  int status = kExitOk;
  for (const std::string& scene : options.scenes) {
    if (!exporter.ExportOne(scene, OutputFor(options, scene), logPath)) status = kExitBadArchive;
  }
  module->unload();
  return status;
}
