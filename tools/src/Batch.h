// Runs tasks side by side, each in a process of its own, and passes their output on
// whole and in task order, as if they had run one after the other.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>

// How many tasks run at once by default: one per core.
unsigned DefaultJobCount();

// Runs tasks 0 to count - 1, at most `jobs` at a time. Each task runs in a forked
// child process: `run(index, workDir)` gets a fresh directory of its own, which also
// receives the child's standard output and error; its result is the child's exit
// status. Back in this process, once per task and in task order: the task's output
// is copied to `out` and `err`, then `finish(index, workDir, status)` runs (status is
// the exit status, 128 + the signal for a child killed by one, or -1 for a child that
// could not be started, with a line on `err` saying why), then `workDir` is removed.
//
// SIGINT, SIGTERM or SIGHUP stops the run: no task starts after it (those finish
// with status -1), the running ones are passed the signal and waited for, and the
// signal is returned (0 when none came). Children keep the handlers the program had.
int RunInProcesses(size_t count, unsigned jobs, const std::function<int(size_t, const std::string&)>& run,
                   const std::function<void(size_t, const std::string&, int)>& finish, std::ostream& out,
                   std::ostream& err);
