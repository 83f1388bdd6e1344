// Runs the kvr program as a user runs it: a separate process, its output captured.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

struct ProcessRun {
  int status;  // the exit status, -1 when the program did not exit
  std::string out;
  std::string err;
};

inline std::string SlurpFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `kvr ARGUMENTS` (shell words) under `env ENVIRONMENT`, with its output kept in
// files of `dir`.
inline ProcessRun RunKvr(const std::filesystem::path& dir, const std::string& arguments,
                         const std::string& environment = "") {
  const std::filesystem::path out = dir / "stdout.txt", err = dir / "stderr.txt";
  const std::string command = "env " + environment + " '" + KVR_BINARY + "' " + arguments + " >'" + out.string() +
                              "' 2>'" + err.string() + "'";
  const int raw = std::system(command.c_str());
  return ProcessRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, SlurpFile(out), SlurpFile(err)};
}
