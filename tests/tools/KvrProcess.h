// Runs the kvr program as a user runs it: a separate process, its output captured.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../archive/ArchiveFixtures.h"

struct ProcessRun {
  int status;  // the exit status, -1 when the program did not exit
  std::string out;
  std::string err;
};

using archive_test::ReadText;

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs `kvr ARGUMENTS` (shell words) under `env ENVIRONMENT` after the shell commands
// of `shell`, with its output kept in files of `dir` (made if missing).
inline ProcessRun RunKvr(const std::filesystem::path& dir, const std::string& arguments,
                         const std::string& environment = "", const std::string& shell = "") {
  std::filesystem::create_directories(dir);
  const std::filesystem::path out = dir / "stdout.txt", err = dir / "stderr.txt";
  const std::string command = shell + "env " + environment + " '" + KVR_BINARY + "' " + arguments + " >'" +
                              out.string() + "' 2>'" + err.string() + "'";
  const int raw = std::system(command.c_str());
  return ProcessRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
}

// A folder of the test's own (tests run side by side under ctest -j), with the
// export log kept in it unless a test says otherwise.
class KvrFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / "kvr_tests" / (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    const char* source = std::getenv("KV_SOURCE_DIR");
    examples_ = std::filesystem::path(source != nullptr ? source : ".") / "examples";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  ProcessRun Kvr(const std::string& arguments, const std::string& environment = "", const std::string& shell = "") {
    return RunKvr(dir_, arguments, environment.empty() ? "MAYA_APP_DIR='" + (dir_ / "maya").string() + "'" : environment,
                  shell);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Quoted(const std::filesystem::path& path) const { return "'" + path.string() + "'"; }
  // Temporary files of an export or a render that were left behind.
  std::vector<std::filesystem::path> Leftovers() const {
    std::vector<std::filesystem::path> temps;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_)) {
      if (Contains(entry.path().filename().string(), ".tmp-")) temps.push_back(entry.path());
    }
    return temps;
  }

  std::filesystem::path dir_, examples_;
};
