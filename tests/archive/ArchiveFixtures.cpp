#include "ArchiveFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <unistd.h>

#include "kv/Version.h"

namespace archive_test {

KV_IMPLEMENT_CLASS(ArNode, 2, KvNamedObject)
KV_IMPLEMENT_CLASS(ArOther, 0, KvObject)

ArNode::~ArNode() {
  for (ArNode* child : children) delete child;
}

void ArNode::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  loadedVersion = archive.SerializeClassVersion("ArNode");
  archive.Serialize(value);
  archive.Serialize(weight);
  archive.Serialize(label);
  archive.Serialize(numbers);
  archive.SerializeObject(shared);
  archive.SerializeArray(children, [&archive](ArNode*& child) { archive.SerializeOwnedObject(child); }, 4);
}

void ArOther::Serialize(KvArchive& archive) { KvObject::Serialize(archive); }

Bytes& Bytes::u8(uint8_t v) {
  data.push_back(v);
  return *this;
}
Bytes& Bytes::u16(uint16_t v) {
  if (big) {
    data.push_back(v >> 8);
    data.push_back(v & 0xFF);
  } else {
    data.push_back(v & 0xFF);
    data.push_back(v >> 8);
  }
  return *this;
}
Bytes& Bytes::u32(uint32_t v) {
  for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(v >> (big ? 24 - 8 * i : 8 * i)));
  return *this;
}
Bytes& Bytes::f32(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return u32(bits);
}
Bytes& Bytes::raw(const std::string& text) {
  for (char c : text) data.push_back(static_cast<uint8_t>(c));
  return *this;
}
Bytes& Bytes::str(const std::string& text) { return u32(static_cast<uint32_t>(text.size())).raw(text); }
Bytes& Bytes::legacyStr(const std::string& text) { return u16(0).str(text); }
Bytes& Bytes::append(const Bytes& other) {
  for (uint8_t b : other.data) data.push_back(b);
  return *this;
}

Bytes CurrentHeader(bool big) {
  Bytes header;
  header.big = big;
  header.raw(big ? "KAVB" : "KAVE").u32(1710).str(kKvLicenseeName).str(kKvLicenseeProjectName).u32(1000);
  return header;
}

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  // Tests of one binary run in parallel processes: each has files of its own.
  return std::string(dir != nullptr ? dir : "/tmp") + "/kv_archive_test_" + std::to_string(getpid()) + "_" + name;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> SaveToBytes(KvObject* root, uint32_t byteOrder) {
  const std::string path = TempPath("save.kvr");
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
  std::vector<uint8_t> bytes = ReadFile(path);
  std::remove(path.c_str());
  return bytes;
}

KvObject* LoadFromBytes(const std::vector<uint8_t>& bytes, std::string* error, const KvClass* expected,
                        std::vector<KvObject*>* unowned) {
  // A block of exactly the file's size: one byte too far is an over-read.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() == 0 ? 1 : bytes.size()]);
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
  KvArchive archive(KvArchiveStoreMemory::Create(copy.get(), static_cast<uint32_t>(bytes.size())),
                    KvArchive::kModeLoad, 0);
  KvObject* root = nullptr;
  KvArray<KvObject*> others;
  if (archive.Open()) root = archive.LoadRoot(expected != nullptr ? expected : ArNode::StaticClass(), others);
  if (error != nullptr) *error = archive.IsValid() ? "" : KvDescribeArchiveError(archive).View();
  archive.Close();
  if (unowned != nullptr) {
    for (KvObject* object : others) unowned->push_back(object);
  } else {
    EXPECT_TRUE(others.Empty()) << "the root owns everything it loaded";
  }
  return root;
}

}  // namespace archive_test
