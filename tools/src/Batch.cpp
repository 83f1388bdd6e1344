#include "Batch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char kOutName[] = "stdout.txt";
constexpr char kErrName[] = "stderr.txt";

// The signals that stop a run: no task starts after one, and the running ones are
// passed it.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t g_stopSignal = 0;
void StopStarting(int signal) { g_stopSignal = signal; }

struct Task {
  std::string workDir;
  pid_t pid = 0;
  bool done = false;
  int status = -1;
};

// In the child: sends standard output or error to a file of the task's directory.
bool Redirect(const std::string& path, int fd) {
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (file < 0) return false;
  const bool moved = dup2(file, fd) >= 0;
  close(file);
  return moved;
}

void Copy(const fs::path& path, std::ostream& to) {
  std::ifstream in(path, std::ios::binary);
  if (in.peek() != std::ifstream::traits_type::eof()) to << in.rdbuf();
  to.flush();
}

// Forks the child of task `index`; when that fails the task is done, with status -1.
void Start(size_t index, Task& task, const std::function<int(size_t, const std::string&)>& run,
           const struct sigaction* savedHandlers, std::ostream& err) {
  std::error_code noTemporaryFolder;
  std::string pattern = (fs::temp_directory_path(noTemporaryFolder) / "kvr-task-XXXXXX").string();
  if (noTemporaryFolder || mkdtemp(pattern.data()) == nullptr) {
    err << "kvr: cannot make a working folder for a process: "
        << (noTemporaryFolder ? noTemporaryFolder.message() : std::strerror(errno)) << "\n";
    task.done = true;
    return;
  }
  task.workDir = pattern;
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  task.pid = fork();
  if (task.pid < 0) {
    err << "kvr: cannot start a process: " << std::strerror(errno) << "\n";
    task.done = true;
    return;
  }
  if (task.pid == 0) {
    // The child reacts to the stop signals as the program did before the run.
    for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &savedHandlers[i], nullptr);
    int status = 1;
    if (Redirect(task.workDir + "/" + kOutName, STDOUT_FILENO) &&
        Redirect(task.workDir + "/" + kErrName, STDERR_FILENO)) {
      status = run(index, task.workDir);
    }
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    // Leave without running the destructors and exit handlers that belong to the parent.
    _exit(status);
  }
}

}  // namespace

unsigned DefaultJobCount() { return std::max(1u, std::thread::hardware_concurrency()); }

int RunInProcesses(size_t count, unsigned jobs, const std::function<int(size_t, const std::string&)>& run,
                   const std::function<void(size_t, const std::string&, int)>& finish, std::ostream& out,
                   std::ostream& err) {
  // Without SA_RESTART, a stop signal also ends the wait for a child.
  struct sigaction stop {}, saved[std::size(kStopSignals)];
  stop.sa_handler = StopStarting;
  sigemptyset(&stop.sa_mask);
  g_stopSignal = 0;
  for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &stop, &saved[i]);

  std::vector<Task> tasks(count);
  size_t started = 0, running = 0, finished = 0;
  bool passedOn = false;
  jobs = std::max(jobs, 1u);
  while (finished < count) {
    while (running < jobs && started < count && g_stopSignal == 0) {
      Start(started, tasks[started], run, saved, err);
      if (!tasks[started].done) ++running;
      ++started;
    }
    if (g_stopSignal != 0) {
      for (; started < count; ++started) tasks[started].done = true;  // never started
      for (const Task& task : tasks) {
        if (!passedOn && task.pid > 0 && !task.done) kill(task.pid, g_stopSignal);
      }
      passedOn = true;
    }
    // Hand on every task at the front that has ended, in order.
    while (finished < count && tasks[finished].done) {
      Task& task = tasks[finished];
      if (!task.workDir.empty()) {
        Copy(fs::path(task.workDir) / kOutName, out);
        Copy(fs::path(task.workDir) / kErrName, err);
      }
      finish(finished, task.workDir, task.status);
      std::error_code ignored;
      if (!task.workDir.empty()) fs::remove_all(task.workDir, ignored);
      ++finished;
    }
    if (running == 0) continue;
    int raw = 0;
    const pid_t pid = waitpid(-1, &raw, 0);
    if (pid < 0) {
      if (errno == EINTR) continue;
      // No child left to wait for while some still count as running: they are lost.
      for (Task& task : tasks) task.done = task.done || task.pid > 0;
      running = 0;
      continue;
    }
    for (Task& task : tasks) {
      if (task.pid != pid || task.done) continue;
      task.done = true;
      task.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
      --running;
    }
  }
  for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &saved[i], nullptr);
  return g_stopSignal;
}
