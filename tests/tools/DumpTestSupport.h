// Shared by the kvr dump tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "Dump.h"
#include "SceneTestSupport.h"

// Flips every byte of `good` in turn, from the object stream on (which starts with
// `rootRecord`), and dumps each variant written to `path`: one that does not load
// must say why, one that loads must render both as text and as JSON. Returns how
// many variants rendered.
inline uint32_t DumpEveryFlippedByte(const Bytes& good, const Bytes& rootRecord, const std::string& path) {
  const size_t stream = std::search(good.begin(), good.end(), rootRecord.begin(), rootRecord.end()) - good.begin();
  if (stream >= good.size()) {
    ADD_FAILURE() << "the root's record is not in the archive";
    return 0;
  }
  uint32_t rendered = 0;
  for (size_t i = stream; i < good.size(); ++i) {
    Bytes patched = good;
    patched[i] ^= 0xFF;
    WriteFile(path, patched);
    nlohmann::ordered_json document;
    std::string error;
    if (DumpToJson(path, document, error) != kExitOk) {
      EXPECT_FALSE(error.empty()) << "byte " << i;
      continue;
    }
    std::ostringstream text;
    WriteTextReport(document, text);
    EXPECT_FALSE(text.str().empty()) << "byte " << i;
    EXPECT_FALSE(document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace).empty())
        << "byte " << i;
    ++rendered;
  }
  return rendered;
}
