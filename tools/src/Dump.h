// kvr dump: loads any archive and reports what is inside.
#pragma once

#include <iosfwd>
#include <string>

#include <nlohmann/json.hpp>

// Exit statuses of kvr commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadArchive = 1;
inline constexpr int kExitUsage = 2;

// Loads `path` (the runtime and the scene model must be started) and writes the
// report to `out`: readable text, or one JSON document when `json` is set. Returns
// kExitOk, or kExitBadArchive after one line on `err` naming the file and what is
// wrong with it. The JSON is written as it is made, never held whole in memory;
// nothing is written for a file that does not load.
int RunDump(const std::string& path, bool json, std::ostream& out, std::ostream& err);

// The same JSON document, in memory; kExitBadArchive (and `error` set) when the file
// is not a valid archive.
int DumpToJson(const std::string& path, nlohmann::ordered_json& document, std::string& error);

// The readable report of a document made by DumpToJson. (RunDump renders it from a
// smaller document in which the per-element arrays of meshes, surfaces and morph
// targets stand as {"count": N}; the report reads only their lengths.)
void WriteTextReport(const nlohmann::ordered_json& document, std::ostream& out);
