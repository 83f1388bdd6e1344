// The export table: `kvr export` of generated scenes of growing size, each in a
// process of its own, with its wall and processor time and peak memory; the .ma
// reader alone on the same file (in a process of its own too); and the export's
// time against a plain write of the archive's bytes. The closing lines compare
// the cost per vertex, per mesh and per joint between a scene and one ten times
// larger: a ratio near 1 means the cost grows linearly.
//
//   kv_bench_export [--repeat N] [--work DIR] [SCENE...]
//
// SCENE names rows of the table (grid10k grid90k grid1M meshes1k meshes10k
// joints100 joints1k); all by default. Each figure is the best of N runs
// (default 3; runs of a few milliseconds are repeated for about a second), so
// that other work on a shared machine shows as little as possible.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <kvhost/MayaAscii.h>

namespace fs = std::filesystem;

namespace {

struct SceneSpec {
  const char* name;
  std::vector<std::string> generatorArgs;  // after the output path
  const char* unit;                        // what the scene has many of
  double units;
};

const SceneSpec kScenes[] = {
    {"grid10k", {"101", "100", "4"}, "vertex", 101.0 * 101},
    {"grid90k", {"301", "100", "4"}, "vertex", 301.0 * 301},
    {"grid1M", {"1001", "100", "4"}, "vertex", 1001.0 * 1001},
    {"meshes1k", {"--meshes", "1000"}, "mesh", 1000},
    {"meshes10k", {"--meshes", "10000"}, "mesh", 10000},
    {"joints100", {"11", "100", "4"}, "joint", 100},
    {"joints1k", {"11", "1000", "4"}, "joint", 1000},
};

// The pairs whose cost per unit is compared: the larger scene, then the smaller.
const std::pair<const char*, const char*> kGrowth[] = {
    {"grid1M", "grid90k"}, {"meshes10k", "meshes1k"}, {"joints1k", "joints100"}};

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Run {
  bool ok = false;
  double seconds = 0;
  double cpuSeconds = 0;  // user and system time: what the run costs on a machine of its own
  double peakMB = 0;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// Runs `child` in a process of its own: its wall and processor time and peak
// resident memory.
Run InProcess(const std::function<int()>& child) {
  const double start = Now();
  const pid_t pid = fork();
  if (pid < 0) return {};
  if (pid == 0) _exit(child());
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return {};
  Run run;
  run.seconds = Now() - start;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  run.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return run;
}

int Exec(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int devnull = open("/dev/null", O_WRONLY);
  if (devnull >= 0) dup2(devnull, STDOUT_FILENO);
  execv(program.c_str(), argv.data());
  std::perror(program.c_str());
  return 127;
}

// The best of `repeat` runs, or of as many more as fit in about a second (at most
// 100): least time, and the peak memory of that run. A run of a few milliseconds
// varies by about as much as the cost per unit of a small scene, so small scenes
// and the empty one are run often enough that their least time settles.
Run Best(int repeat, const std::function<Run()>& once) {
  Run best;
  double spent = 0;
  for (int i = 0; i < repeat || (spent < 1.0 && i < 100); ++i) {
    Run r = once();
    if (!r.ok) return r;
    spent += r.seconds;
    if (!best.ok || r.seconds < best.seconds) best = r;
  }
  return best;
}

// Writes `bytes` to a new file and closes it, as a save's last steps do.
Run RawWrite(const std::vector<char>& bytes, const std::string& path) {
  Run run;
  const double start = Now();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return run;
  run.ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  run.ok = std::fclose(f) == 0 && run.ok;
  run.seconds = Now() - start;
  std::remove(path.c_str());
  return run;
}

std::vector<char> ReadAll(const std::string& path) {
  std::vector<char> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  char block[1 << 16];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + n);
  std::fclose(f);
  return bytes;
}

struct Row {
  const SceneSpec* spec;
  double maMB = 0, kvrMB = 0;
  Run read, exported, raw;
};

}  // namespace

int main(int argc, char** argv) {
  int repeat = 3;
  std::string workArg;
  std::vector<std::string> wanted;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--repeat" && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
    else if (a == "--work" && i + 1 < argc) workArg = argv[++i];
    else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "usage: %s [--repeat N] [--work DIR] [SCENE...]\n", argv[0]);
      return 2;
    } else wanted.push_back(a);
  }
  std::error_code ec;
  const fs::path bin = fs::read_symlink("/proc/self/exe", ec).parent_path();
  const std::string kvr = (bin / "kvr").string(), generator = (bin / "kv_generate_scene").string();
  fs::path work = workArg;
  if (work.empty()) {
    char pattern[] = "/tmp/kv_bench_export.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    work = pattern;
  }
  fs::create_directories(work / "maya");
  setenv("MAYA_APP_DIR", (work / "maya").c_str(), 1);

  // The fixed cost of one `kvr export` (start-up, plug-in, default nodes), taken off
  // before costs per unit are compared.
  const std::string empty = (work / "empty.ma").string();
  Run fixed;
  if (InProcess([&] { return Exec(generator, {empty, "--meshes", "0"}); }).ok) {
    fixed = Best(repeat, [&] { return InProcess([&] { return Exec(kvr, {"export", "--quiet", empty, "-o", empty + ".kvr"}); }); });
  }

  std::printf("%-10s %9s %7s %7s %7s %9s %8s %8s %7s %7s %8s %7s\n", "scene", "units", ".ma MB", "read s", "cpu s",
              "read MB/s", "export s", "cpu s", "peak MB", ".kvr MB", "raw wr s", "exp/raw");
  std::map<std::string, Row> rows;
  for (const SceneSpec& spec : kScenes) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), spec.name) == wanted.end()) continue;
    const std::string ma = (work / (std::string(spec.name) + ".ma")).string();
    const std::string kvrFile = (work / (std::string(spec.name) + ".kvr")).string();
    std::vector<std::string> args{ma};
    args.insert(args.end(), spec.generatorArgs.begin(), spec.generatorArgs.end());
    if (!fs::exists(ma) && !InProcess([&] { return Exec(generator, args); }).ok) {
      std::fprintf(stderr, "cannot generate %s\n", ma.c_str());
      return 1;
    }
    Row row;
    row.spec = &spec;
    row.maMB = static_cast<double>(fs::file_size(ma)) / 1e6;
    row.read = Best(repeat, [&] {
      return InProcess([&] { return kvhost::readMayaAsciiFile(ma).success ? 0 : 1; });
    });
    // Each export writes a new file, as the raw write does: replacing the last
    // run's archive would add the file system's cost of dropping it.
    row.exported = Best(repeat, [&] {
      fs::remove(kvrFile, ec);
      return InProcess([&] { return Exec(kvr, {"export", "--quiet", ma, "-o", kvrFile}); });
    });
    if (!row.read.ok || !row.exported.ok) {
      std::fprintf(stderr, "%s: the %s failed\n", spec.name, row.read.ok ? "export" : "read");
      return 1;
    }
    const std::vector<char> bytes = ReadAll(kvrFile);
    row.kvrMB = static_cast<double>(bytes.size()) / 1e6;
    row.raw = Best(repeat, [&] { return RawWrite(bytes, (work / "raw.kvr").string()); });
    std::printf("%-10s %9.0f %7.1f %7.3f %7.3f %9.1f %8.3f %8.3f %7.0f %7.1f %8.3f %7.1f\n", spec.name, spec.units,
                row.maMB, row.read.seconds, row.read.cpuSeconds, row.maMB / row.read.seconds, row.exported.seconds,
                row.exported.cpuSeconds, row.exported.peakMB, row.kvrMB, row.raw.seconds,
                row.exported.seconds / row.raw.seconds);
    std::fflush(stdout);
    rows[spec.name] = row;
  }

  std::printf("\nfixed cost of one export (an empty scene): %.3f s, %.3f s of processor time\n", fixed.seconds,
              fixed.cpuSeconds);
  for (const auto& [large, small] : kGrowth) {
    if (!rows.count(large) || !rows.count(small)) continue;
    const Row& a = rows[large];
    const Row& b = rows[small];
    // Cost per unit with the fixed cost taken off: the large scene's over the small one's.
    auto growth = [&](double Run::*cost) {
      return ((a.exported.*cost - fixed.*cost) / a.spec->units) / ((b.exported.*cost - fixed.*cost) / b.spec->units);
    };
    std::printf("export time per %s: %.3g us in %s, %.3g us in %s: ratio %.2f (processor time: %.2f)\n", a.spec->unit,
                (a.exported.seconds - fixed.seconds) / a.spec->units * 1e6, large,
                (b.exported.seconds - fixed.seconds) / b.spec->units * 1e6, small, growth(&Run::seconds),
                growth(&Run::cpuSeconds));
  }
  if (workArg.empty()) fs::remove_all(work, ec);
  return 0;
}
