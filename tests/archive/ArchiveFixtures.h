// Shared helpers of the archive tests: a small serializable node class, a byte
// builder for hand-written archives, and load/save helpers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kv/Archive.h"
#include "kv/Object.h"

namespace archive_test {

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
  ArNode* shared = nullptr;     // not owned
  KvArray<ArNode*> children;    // owned
  uint16_t loadedVersion = 0xFFFF;
};

// A class of another kind, to put where an ArNode is expected.
class ArOther : public KvObject {
  KV_DECLARE_CLASS(ArOther)
  void Serialize(KvArchive& archive) override;
};

// Little- or big-endian byte builder.
struct Bytes {
  bool big = false;
  std::vector<uint8_t> data;

  Bytes& u8(uint8_t v);
  Bytes& u16(uint16_t v);
  Bytes& u32(uint32_t v);
  Bytes& f32(float v);
  Bytes& raw(const std::string& text);
  Bytes& str(const std::string& text);  // u32 length + bytes
  Bytes& legacyStr(const std::string& text);  // u16 + u32 length + bytes
  Bytes& append(const Bytes& other);
};

// The header this runtime writes (magic, 1710, licensee texts, 1000).
Bytes CurrentHeader(bool big);

// Saves with the two-pass protocol in either byte order; returns the file bytes.
std::vector<uint8_t> SaveToBytes(KvObject* root, uint32_t byteOrder);

// Loads bytes (copied to a fresh heap block of exactly their size, so over-reads
// show under the address sanitizer). Returns the root, or null with `error` set.
// Objects the root does not own go to `unowned`; without it there must be none.
KvObject* LoadFromBytes(const std::vector<uint8_t>& bytes, std::string* error = nullptr,
                        const KvClass* expected = nullptr, std::vector<KvObject*>* unowned = nullptr);

std::string TempPath(const std::string& name);
std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace archive_test
