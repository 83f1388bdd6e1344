// Byte-exact layout of saved archives, and round trips in both byte orders.
#include <gtest/gtest.h>

#include "ArchiveFixtures.h"
#include "kv/ArchiveStore.h"
#include "kv/Runtime.h"

namespace {

using namespace archive_test;

class ArchiveLayout : public ::testing::Test {
 protected:
  void SetUp() override { KvRuntimeStartupDefault(); }
  void TearDown() override { KvRuntimeShutdown(); }

  // root "root" with every field set and one child "a"; the root's shared pointer
  // refers to the child before the child list owns it.
  static ArNode* MakeTree() {
    auto* root = new ArNode("root");
    root->value = 7;
    root->weight = 1.5f;
    root->label = KvString("hi");
    root->numbers.PushBack(1);
    root->numbers.PushBack(2);
    auto* child = new ArNode("a");
    root->children.PushBack(child);
    root->shared = child;
    return root;
  }
};

TEST_F(ArchiveLayout, SavedFileMatchesHandBuiltBytes) {
  ArNode* root = MakeTree();
  const std::vector<uint8_t> bytes = SaveToBytes(root, 0);
  delete root;
  const uint32_t size = ArNode::StaticClass()->GetSize();

  Bytes expected = CurrentHeader(false);
  // Table block: class-table flag, then four non-empty buckets in ascending order.
  // Buckets are the low 7 bits of the 5381/33 hash: KvName 7, ArNode 30,
  // KvNamedObject 34, KvObject 125.
  expected.u16(1).u32(4);
  expected.u32(7).u32(1).str("KvName").u16(1);
  expected.u32(30).u32(1).str("ArNode").u16(2);
  expected.u32(34).u32(1).str("KvNamedObject").u16(0);
  expected.u32(125).u32(1).str("KvObject").u16(0);
  // Names in order of first use: the root's class name, the root's name, the child's.
  expected.u32(3).str("ArNode").str("root").str("a");
  expected.u32(2);  // object count
  // Object stream: the root in full as index 0.
  expected.u32(0).u32(0).u32(size);
  expected.u32(1).u32(7).f32(1.5f).str("hi").u32(2).u32(1).u32(2);
  // The shared reference meets the child first: it carries the child in full.
  expected.u32(1).u32(0).u32(size);
  expected.u32(2).u32(0).f32(0.0f).u32(0).u32(0).u32(0xFFFFFFFF).u32(0);
  // The child list then refers to the child by index alone.
  expected.u32(1).u32(1);

  EXPECT_EQ(bytes, expected.data);
  ASSERT_GE(bytes.size(), 24u);
  const uint8_t fixedStart[] = {'K', 'A', 'V', 'E', 0xAE, 0x06, 0x00, 0x00};
  EXPECT_TRUE(std::equal(std::begin(fixedStart), std::end(fixedStart), bytes.begin()));
}

TEST_F(ArchiveLayout, NullReferenceIsFourFFBytesAndLoadsAsNull) {
  auto* root = new ArNode("lonely");
  const std::vector<uint8_t> bytes = SaveToBytes(root, 0);
  delete root;
  // The shared reference sits right before the (empty) child list at the end.
  ASSERT_GE(bytes.size(), 8u);
  const std::vector<uint8_t> tail(bytes.end() - 8, bytes.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
  std::string error;
  auto* loaded = static_cast<ArNode*>(LoadFromBytes(bytes, &error));
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_EQ(loaded->shared, nullptr);
  delete loaded;
}

TEST_F(ArchiveLayout, SharedNameIsStoredOnce) {
  auto* root = new ArNode("twin");
  root->children.PushBack(new ArNode("twin"));
  root->children.PushBack(new ArNode("twin"));
  const std::vector<uint8_t> bytes = SaveToBytes(root, 0);
  delete root;
  std::string text(bytes.begin(), bytes.end());
  size_t count = 0;
  for (size_t at = text.find("twin"); at != std::string::npos; at = text.find("twin", at + 1)) ++count;
  EXPECT_EQ(count, 1u);
}

class RoundTrip : public ArchiveLayout, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(RoundTrip, EveryFieldComesBackAndSharingIsKept) {
  ArNode* root = MakeTree();
  root->children.PushBack(new ArNode("b"));
  root->children[1]->shared = root->children[0];
  root->children[1]->weight = -0.25f;
  root->children[1]->numbers.PushBack(0xDEADBEEF);
  const std::vector<uint8_t> bytes = SaveToBytes(root, GetParam());
  delete root;
  ASSERT_EQ(bytes[3], GetParam() == 0 ? 'E' : 'B');

  std::string error;
  auto* loaded = static_cast<ArNode*>(LoadFromBytes(bytes, &error));
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_STREQ(loaded->GetName().GetAsCString(), "root");
  EXPECT_EQ(loaded->value, 7u);
  EXPECT_EQ(loaded->weight, 1.5f);
  EXPECT_TRUE(loaded->label == "hi");
  ASSERT_EQ(loaded->numbers.Size(), 2u);
  EXPECT_EQ(loaded->numbers.Capacity(), 2u) << "loaded arrays are sized exactly";
  EXPECT_EQ(loaded->loadedVersion, 2);
  ASSERT_EQ(loaded->children.Size(), 2u);
  EXPECT_EQ(loaded->shared, loaded->children[0]);
  EXPECT_EQ(loaded->children[1]->shared, loaded->children[0]) << "one object, two references";
  EXPECT_EQ(loaded->children[1]->weight, -0.25f);
  EXPECT_EQ(loaded->children[1]->numbers[0], 0xDEADBEEFu);
  delete loaded;
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, RoundTrip, ::testing::Values(0u, 1u),
                         [](const auto& info) { return info.param == 0 ? "Little" : "Big"; });

TEST_F(ArchiveLayout, StringLongerThanTwoReadBuffersIsFollowedByTheRest) {
  // Most of the string (two 64 KiB read buffers) is read from the store directly,
  // past the buffer; the node after it must still be read from the right place.
  ArNode root("root");
  const std::string longText(2 * 65536 + 100, 'x');
  root.label = KvString(longText.c_str());
  root.children.PushBack(new ArNode("after"));
  root.children[0]->value = 9;
  std::string error;
  auto* loaded = static_cast<ArNode*>(LoadFromBytes(SaveToBytes(&root, 0), &error));
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_EQ(loaded->label.Length(), longText.size());
  ASSERT_EQ(loaded->children.Size(), 1u);
  EXPECT_EQ(loaded->children[0]->value, 9u);
  delete loaded;
}

TEST_F(ArchiveLayout, AByteIsWrittenAsOneByte) {
  std::vector<uint8_t> files[2];
  for (int withByte = 0; withByte < 2; ++withByte) {
    const std::string path = TempPath(withByte ? "byte.kvr" : "none.kvr");
    KvArchiveStoreFile* store = KvArchiveStoreFile::Create(path.c_str());
    KvArchive archive(store, KvArchive::kModeSave, 1);
    ASSERT_TRUE(archive.Open());
    uint8_t value = 0xAB;
    if (withByte) archive.Serialize(value);
    archive.Flush();
    ASSERT_TRUE(store->Commit());
    archive.Close();
    files[withByte] = ReadFile(path);
  }
  ASSERT_EQ(files[1].size(), files[0].size() + 1);
  EXPECT_EQ(files[1].back(), 0xAB);
}

TEST_F(ArchiveLayout, SavingLeavesTheCallersValuesInHostOrder) {
  ArNode* root = MakeTree();
  SaveToBytes(root, 1);
  EXPECT_EQ(root->value, 7u);
  EXPECT_EQ(root->weight, 1.5f);
  EXPECT_EQ(root->numbers[1], 2u);
  delete root;
}

TEST_F(ArchiveLayout, SaveObjectWritesTheSameBytesAsTheManualProtocol) {
  ArNode* root = MakeTree();
  const std::string path = TempPath("saveobject.kvr");
  KvSaveResult result;
  ASSERT_TRUE(KvSaveObject(root, path.c_str(), nullptr, 0.01f, &result));
  EXPECT_TRUE(result.written);
  EXPECT_EQ(ReadFile(path), SaveToBytes(root, 0));
  std::remove(path.c_str());
  EXPECT_FALSE(KvSaveObject(nullptr, path.c_str(), nullptr, 0.01f));
  EXPECT_FALSE(KvSaveObject(root, "/nonexistent-dir/x.kvr", nullptr, 0.01f, &result));
  EXPECT_FALSE(result.opened);
  delete root;
}

TEST_F(ArchiveLayout, SaveReportsAWriteThatDidNotReachTheDisk) {
  ArNode* root = MakeTree();
  KvSaveResult result;
  // /dev/full accepts the open and refuses the bytes.
  EXPECT_TRUE(KvSaveObject(root, "/dev/full", nullptr, 0.01f, &result));
  EXPECT_TRUE(result.opened);
  EXPECT_FALSE(result.written);
  delete root;
}

TEST_F(ArchiveLayout, RestartedRuntimeWritesIdenticalBytes) {
  ArNode* root = MakeTree();
  const std::vector<uint8_t> first = SaveToBytes(root, 0);
  delete root;
  KvRuntimeShutdown();
  KvRuntimeStartupDefault();
  root = MakeTree();
  EXPECT_EQ(SaveToBytes(root, 0), first);
  delete root;
}

}  // namespace
