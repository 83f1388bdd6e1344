#include "ArchiveFixtures.h"

#include <cstdio>
#include <cstring>

#include "kv/Runtime.h"
#include "kv/Version.h"

namespace archive_test {

namespace {

int64_t g_liveBlocks = 0;

void* CountedAllocate(uint32_t size) {
  ++g_liveBlocks;
  return ::operator new(size);
}

void CountedFree(void* pointer, uint32_t) {
  --g_liveBlocks;
  ::operator delete(pointer);
}

std::unique_ptr<uint8_t[]> CopyOf(const std::vector<uint8_t>& bytes) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.empty() ? 1 : bytes.size()]);
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
  return copy;
}

}  // namespace

void StartCountingRuntime() {
  g_liveBlocks = 0;
  KvRuntimeStartup({.allocationPolicy = 2, .allocate = &CountedAllocate, .free = &CountedFree});  // the functions above
}

void ShutDownCountingRuntime() {
  KvRuntimeShutdown();
  EXPECT_EQ(g_liveBlocks, 0) << "blocks allocated and never freed";
}

void ArchiveTest::SetUp() { StartCountingRuntime(); }
void ArchiveTest::TearDown() { ShutDownCountingRuntime(); }

uint32_t ArchiveTest::Size() { return ArNode::StaticClass()->GetSize(); }

KV_IMPLEMENT_CLASS(ArNode, 2, KvNamedObject)

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

Bytes CurrentHeader(bool big) {
  Bytes header;
  header.big = big;
  header.raw(big ? "KAVB" : "KAVE").u32(1710).str(kKvLicenseeName).str(kKvLicenseeProjectName).u32(1000);
  return header;
}

std::vector<uint8_t> SaveToBytes(KvObject* root, uint32_t byteOrder) {
  const std::string path = TempPath("save.kvr");
  std::vector<uint8_t> bytes = SaveToFile(root, path, byteOrder);
  std::remove(path.c_str());
  return bytes;
}

LoadingArchive::LoadingArchive(const std::vector<uint8_t>& bytes)
    : copy(CopyOf(bytes)),
      archive(KvArchiveStoreMemory::Create(copy.get(), static_cast<uint32_t>(bytes.size())), KvArchive::kModeLoad,
              0) {}

KvObject* LoadFromBytes(const std::vector<uint8_t>& bytes, std::string* error, const KvClass* expected,
                        std::vector<KvObject*>* unowned) {
  LoadingArchive loading(bytes);
  KvArchive& archive = loading.archive;
  KvObject* root = nullptr;
  KvArray<KvObject*> others;
  if (archive.Open()) root = archive.LoadRoot(expected != nullptr ? expected : ArNode::StaticClass(), others);
  if (error != nullptr) *error = archive.IsValid() ? "" : KvDescribeArchiveError(archive).View();
  archive.Close();
  for (KvObject* object : others) {
    if (unowned != nullptr) unowned->push_back(object);
  }
  EXPECT_TRUE(unowned != nullptr || others.Empty()) << "the root owns everything it loaded";
  return root;
}

}  // namespace archive_test
