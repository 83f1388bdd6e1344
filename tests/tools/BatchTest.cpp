// The process pool behind kvr export -j: tasks that end out of order still hand on
// their output whole and in task order, with how each ended.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "../archive/ArchiveFixtures.h"
#include "Batch.h"

namespace {

// Tasks wait on one another through a marker file, not on the clock, so a busy
// machine cannot reorder them. The marker is named after the running test.
std::string Marker() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string path = ::testing::TempDir() + "/" + test->test_suite_name() + "_" + test->name() + ".started";
  std::filesystem::remove(path);
  return path;
}

void Mark(const std::string& marker) { std::ofstream(marker) << "started"; }

// Waits up to 20 s for the marker.
void AwaitMark(const std::string& marker) {
  for (int i = 0; i < 2000 && !std::filesystem::exists(marker); ++i) usleep(10000);
}

// A stop signal starts no further task and is passed to the running ones, which end
// by it; the run returns it, and the next run starts afresh.
TEST(RunInProcesses, StopSignalEndsTheRun) {
  std::ostringstream out, err;
  std::vector<int> statuses;
  const std::string marker = Marker();
  const int stop = RunInProcesses(
      4, 2,
      [&](size_t index, const std::string&) {
        if (index == 1) Mark(marker);
        if (index == 0) {
          AwaitMark(marker);  // both running by now
          kill(getppid(), SIGTERM);
        }
        sleep(10);
        return 0;
      },
      [&](size_t, const std::string&, int status) { statuses.push_back(status); }, out, err);
  EXPECT_EQ(stop, SIGTERM);
  EXPECT_EQ(statuses, (std::vector<int>{128 + SIGTERM, 128 + SIGTERM, -1, -1}));
}

// Three at a time, and a freed place is taken at once: the first two end only once
// the fourth has started (their status says whether it had), the third first of all.
TEST(RunInProcesses, OutputComesWholeAndInTaskOrderWithEachStatus) {
  std::ostringstream out, err;
  std::vector<std::string> finished, workDirs;
  const std::string marker = Marker();
  RunInProcesses(
      4, 3,
      [&](size_t index, const std::string& workDir) {
        if (index == 3) Mark(marker);
        if (index < 2) AwaitMark(marker);
        usleep(static_cast<useconds_t>((3 - index) * 20000));
        std::cout << "task " << index << " begins\n";
        // Left open, as C code may leave a stream at its end: it still reaches the file.
        std::fprintf(std::fopen((workDir + "/note.txt").c_str(), "w"), "from task %zu", index);
        std::cerr << "task " << index << " complains\n";
        std::cout << "task " << index << " ends\n";
        if (index == 2) {
          std::cout.flush();
          std::fflush(nullptr);
          std::raise(SIGKILL);
        }
        return static_cast<int>(index) + (std::filesystem::exists(marker) ? 0 : 10);
      },
      [&](size_t index, const std::string& workDir, int status) {
        finished.push_back(std::to_string(index) + ": " + std::to_string(status) + " " +
                           archive_test::ReadText(workDir + "/note.txt"));
        workDirs.push_back(workDir);
      },
      out, err);
  EXPECT_EQ(out.str(),
            "task 0 begins\ntask 0 ends\ntask 1 begins\ntask 1 ends\ntask 2 begins\ntask 2 ends\ntask 3 begins\n"
            "task 3 ends\n");
  EXPECT_EQ(err.str(), "task 0 complains\ntask 1 complains\ntask 2 complains\ntask 3 complains\n");
  EXPECT_EQ(finished, (std::vector<std::string>{"0: 0 from task 0", "1: 1 from task 1",
                                                "2: " + std::to_string(128 + SIGKILL) + " from task 2",
                                                "3: 3 from task 3"}));
  for (const std::string& dir : workDirs) EXPECT_FALSE(std::filesystem::exists(dir)) << dir;
}

}  // namespace
