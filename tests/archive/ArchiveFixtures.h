// Shared helpers of the archive tests: a runtime whose allocator counts blocks, a
// small serializable node class, a byte builder for hand-written archives, and
// load/save helpers.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "kv/Archive.h"
#include "kv/Object.h"

namespace archive_test {

// Starts the runtime with an allocator that counts live blocks, and shuts it down
// expecting every block the archive (or anything else) took to be back.
void StartCountingRuntime();
void ShutDownCountingRuntime();

// Each test runs in a counting runtime.
class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  static uint32_t Size();  // the instance size of an ArNode
};

// A node with one field of every kind the archive writes.
class ArNode : public KvNamedObject {
  KV_DECLARE_CLASS(ArNode)

  ArNode() = default;
  explicit ArNode(const char* nodeName) : KvNamedObject(KvName(nodeName)) {}
  ~ArNode() override;
  void Serialize(KvArchive& archive) override;

  uint32_t value = 0;
  float weight = 0.0f;
  KvString label;
  KvArray<uint32_t> numbers;
  ArNode* shared = nullptr;   // not owned
  KvArray<ArNode*> children;  // owned
  uint16_t loadedVersion = 0xFFFF;
};

struct Bytes {
  bool big = false;
  std::vector<uint8_t> data;

  Bytes& u8(uint8_t v) { return raw(std::string(1, static_cast<char>(v))); }
  Bytes& u16(uint16_t v) { return big ? u8(v >> 8).u8(v & 0xFF) : u8(v & 0xFF).u8(v >> 8); }
  Bytes& u32(uint32_t v) { return big ? u16(v >> 16).u16(v & 0xFFFF) : u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& f32(float v) { return u32(std::bit_cast<uint32_t>(v)); }
  Bytes& raw(const std::string& text) { return append(std::vector<uint8_t>(text.begin(), text.end())); }
  Bytes& str(const std::string& text) { return u32(static_cast<uint32_t>(text.size())).raw(text); }
  Bytes& legacyStr(const std::string& text) { return u16(0).str(text); }  // the u16 prefix of old archives
  Bytes& append(const std::vector<uint8_t>& bytes) {
    data.insert(data.end(), bytes.begin(), bytes.end());
    return *this;
  }
};

// The header this runtime writes (magic, 1710, licensee texts, 1000).
Bytes CurrentHeader(bool big);

// A whole file (empty when it cannot be read).
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  const std::string text = ReadText(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Saves `root` to `path` with the two-pass protocol in either byte order (the
// scene's own save always writes little-endian); returns the file's bytes.
inline std::vector<uint8_t> SaveToFile(KvObject* root, const std::string& path, uint32_t byteOrder) {
  KvArchive counting(KvArchiveStoreNull::Create(), KvArchive::kModeCount, 0);
  counting.Open();
  counting.SerializeObjectReference(root, nullptr, false);
  KvArchiveStoreFile* store = KvArchiveStoreFile::Create(path.c_str());
  KvArchive file(store, KvArchive::kModeSave, byteOrder);
  file.Open();
  file.CopyTablesFrom(counting);
  file.SerializeObjectReference(root, nullptr, false);
  file.Flush();
  EXPECT_TRUE(file.IsValid() && store->Commit());
  file.Close();
  counting.Close();
  return ReadFile(path);
}

// SaveToFile to a temporary file, which is removed again.
std::vector<uint8_t> SaveToBytes(KvObject* root, uint32_t byteOrder = 0);

// An archive, not yet opened, loading from a copy of `bytes` in a heap block of
// exactly their size, so that over-reads show under the address sanitizer.
struct LoadingArchive {
  explicit LoadingArchive(const std::vector<uint8_t>& bytes);
  std::unique_ptr<uint8_t[]> copy;
  KvArchive archive;
};

// Loads a root of class `expected` (an ArNode when null) from a LoadingArchive.
// Returns the root, or null with `error` set. Objects the root does not own go to
// `unowned`; without it there must be none.
KvObject* LoadFromBytes(const std::vector<uint8_t>& bytes, std::string* error = nullptr,
                        const KvClass* expected = nullptr, std::vector<KvObject*>* unowned = nullptr);

// A path in TMPDIR (or /tmp) of this process: tests of one binary, and the suites of
// several build trees on one machine, run at once.
inline std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/kv_test_" + std::to_string(getpid()) + "_" + name;
}

}  // namespace archive_test
