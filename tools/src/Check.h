// kvr check: loads rendering archives and reports what in them makes no sense, the
// way a compiler reports diagnostics: each finding has a stable code, a severity and
// a place (an object of the archive, or a byte offset when the file does not load).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

enum class Severity { kError, kWarning };

struct Finding {
  std::string code;  // never renamed: scripts match on it ("INFLUENCE_WEIGHT_INVALID")
  Severity severity = Severity::kError;
  std::string message;
  // The object the finding is about, when there is one: its index in the archive's
  // object table (-1 otherwise), its class ("" otherwise) and its name ("" for
  // unnamed classes).
  int64_t objectIndex = -1;
  std::string className;
  std::string objectName;
  // For a file that does not load: the byte where loading stopped (-1 otherwise).
  int64_t offset = -1;
};

struct ArchiveCheck {
  std::string path;
  std::vector<Finding> findings;

  size_t Count(Severity severity) const;
};

// Loads `path` and checks it (the runtime and the scene model must be started).
ArchiveCheck CheckArchive(const std::string& path);

// Checks each archive and writes the report on `out`: compiler-style lines and a
// summary per archive, or with `json` one JSON document for all of them. Returns 0
// when no archive has an error (warnings allowed), 1 otherwise.
int RunCheck(const std::vector<std::string>& paths, bool json, std::ostream& out);
