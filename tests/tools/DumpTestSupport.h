// Shared by the kvr dump tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "Dump.h"
#include "SceneTestSupport.h"

// kvr dump's two forms of the archive at `path`, made as kvr makes them (the JSON
// streamed, the text from a summary), against the whole document in memory: the
// JSON must be that document as nlohmann prints it, the text its WriteTextReport.
// Returns the document, null when the file does not load (after checking that it
// says why).
inline nlohmann::ordered_json ExpectDumpsMatchDocument(const std::string& path) {
  nlohmann::ordered_json document;
  std::string error;
  if (DumpToJson(path, document, error) != kExitOk) {
    EXPECT_FALSE(error.empty()) << path;
    return nullptr;
  }
  std::ostringstream json, text, err;
  EXPECT_EQ(RunDump(path, true, json, err), kExitOk) << err.str();
  EXPECT_EQ(json.str(), document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
  EXPECT_EQ(RunDump(path, false, text, err), kExitOk) << err.str();
  std::ostringstream expected("File: " + path + "\n", std::ios::ate);
  WriteTextReport(document, expected);
  EXPECT_EQ(text.str(), expected.str());
  return document;
}

// Flips every byte of `good` in turn, from the object stream on (which starts with
// `rootRecord`), and dumps each variant written to `path`: one that does not load
// must say why, one that loads (odd but valid graphs: objects first met in unusual
// places, nulls) must come out the same in every form. Returns how many variants
// loaded.
inline uint32_t DumpEveryFlippedByte(const Bytes& good, const Bytes& rootRecord, const std::string& path) {
  const size_t stream = std::search(good.begin(), good.end(), rootRecord.begin(), rootRecord.end()) - good.begin();
  EXPECT_LT(stream, good.size()) << "the root's record is not in the archive";
  uint32_t rendered = 0;
  for (size_t i = stream; i < good.size(); ++i) {
    Bytes patched = good;
    patched[i] ^= 0xFF;
    WriteFile(path, patched);
    SCOPED_TRACE("byte " + std::to_string(i));
    if (!ExpectDumpsMatchDocument(path).is_null()) ++rendered;
  }
  return rendered;
}
