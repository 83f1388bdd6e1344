// Byte-exact layout of saved archives, and round trips in both byte orders.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <tuple>

#include "ArchiveStreams.h"
#include "kv/ArchiveStore.h"

namespace {

using namespace archive_test;

using ArchiveLayout = ArchiveTest;

TEST_F(ArchiveLayout, SavedFileMatchesHandBuiltBytesAndEveryCutFails) {
  // A root with every field set and one child, to which the root's shared pointer
  // refers before the child list owns it.
  ArNode root("root");
  root.value = 7;
  root.weight = 1.5f;
  root.label = KvString("hi");
  root.numbers.PushBack(1);
  root.numbers.PushBack(2);
  auto* child = new ArNode("a");
  root.children.PushBack(child);
  root.shared = child;
  const std::vector<uint8_t> bytes = SaveToBytes(&root, 0);

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
  expected.u32(0).u32(0).u32(Size());
  expected.u32(1).u32(7).f32(1.5f).str("hi").u32(2).u32(1).u32(2);
  // The shared reference meets the child first: it carries the child in full,
  // whose own shared reference is null.
  expected.u32(1).u32(0).u32(Size());
  expected.u32(2).u32(0).f32(0.0f).u32(0).u32(0).u32(0xFFFFFFFF).u32(0);
  // The child list then refers to the child by index alone.
  expected.u32(1).u32(1);
  EXPECT_EQ(bytes, expected.data);

  kvtest::ExpectEveryCutFails<ArNode>(bytes);
}

// One value of every type the archive writes, but raw bytes.
using Values = std::tuple<uint8_t, uint16_t, uint32_t, int32_t, float, bool, bool, KvString>;

void SerializeValues(KvArchive& archive, Values& values, char (&raw)[3]) {
  std::apply([&archive](auto&... value) { (archive.Serialize(value), ...); }, values);
  archive.SerializeRaw(raw, 3);
}

// Every value type in both byte orders: the bytes written, and the values read
// back from them after a table block without a class table (so names are
// strings). Strings and raw bytes are never reordered, the caller's values are
// never altered, a bool is true only when it reads 1, and a string may end the file.
TEST_F(ArchiveLayout, EveryValueTypeAndLargeArchivesRoundTripInBothByteOrders) {
  for (const bool big : {false, true}) {
    SCOPED_TRACE(big);
    Bytes encoded;
    encoded.big = big;
    encoded.u8(0xAB).u16(0x1234).u32(0x89ABCDEF).u32(0xFFFFFFFE).f32(-1.5f).u32(1).u32(0).str("text").raw("raw");
    const Values expected{0xAB, 0x1234, 0x89ABCDEF, -2, -1.5f, true, false, KvString("text")};
    Values values = expected;
    char raw[3] = {'r', 'a', 'w'};
    const std::string path = TempPath("values.kvr");
    {
      KvArchiveStoreFile* store = KvArchiveStoreFile::Create(path.c_str());
      KvArchive archive(store, KvArchive::kModeSave, big ? 7 : 0);  // any order but 0 is big-endian
      ASSERT_TRUE(archive.Open());
      SerializeValues(archive, values, raw);
      EXPECT_TRUE(values == expected);
      // Values move through a window of up to 1 MiB when nothing reorders them.
      EXPECT_EQ(archive.Window(1u << 20) != nullptr, big == (std::endian::native == std::endian::big));
      EXPECT_EQ(archive.Window((1u << 20) + 1), nullptr);
      archive.Advance(0);
      archive.Flush();
      ASSERT_TRUE(store->Commit());
    }
    EXPECT_EQ(ReadFile(path), CurrentHeader(big).append(encoded.data).data);
    std::remove(path.c_str());

    Bytes file = CurrentHeader(big);
    file.u16(0).u32(0).u32(0).append(encoded.data).u32(2).str("a|b").str("end");
    LoadingArchive loading(file.data);
    KvArchive& archive = loading.archive;
    ASSERT_TRUE(archive.Open());
    Values loaded;
    char loadedRaw[3] = {};
    bool two = true;
    KvName name;
    KvString end;
    SerializeValues(archive, loaded, loadedRaw);
    archive.Serialize(two);
    archive.Serialize(name);
    archive.Serialize(end);
    EXPECT_TRUE(archive.IsValid()) << KvDescribeArchiveError(archive).View();
    EXPECT_EQ(archive.BytesLeft(), 0u);
    EXPECT_EQ(archive.GetByteOrder(), big ? 1u : 0u);
    EXPECT_TRUE(loaded == expected);
    EXPECT_EQ(std::string(loadedRaw, 3), "raw");
    EXPECT_FALSE(two) << "only 1 is true";
    EXPECT_STREQ(name.GetAsCString(), "a_b") << "names read as text are cleaned";
    EXPECT_TRUE(end == "end");
  }

  // Three thousand children with every field set, in both byte orders: half of
  // them are written inside another child and referred to again far later, past
  // every growth of the archive's object and name indexes and past what it
  // remembers of recent references. Each object and each name is written once,
  // and the file, which spans several read buffers and holds a string longer than
  // two, loads whole and reports a truncation at each cut near its end.
  constexpr uint32_t kChildren = 3000;
  constexpr uint32_t kLongLabel = 2 * 65536 + 100;
  ArNode root("root");
  root.label = KvString(std::string(kLongLabel, 'x').c_str());
  for (uint32_t i = 0; i < kChildren; ++i) {
    auto* child = new ArNode(("c" + std::to_string(i % 700)).c_str());
    child->value = i;
    child->weight = -0.25f * static_cast<float>(i);
    child->label = KvString(std::string(i % 7, 'y').c_str());
    for (uint32_t n = 0; n < i % 3; ++n) child->numbers.PushBack(i * 0x10001u + n);
    root.children.PushBack(child);
  }
  for (uint32_t i = 0; i < kChildren / 2; ++i) root.children[i]->shared = root.children[i + kChildren / 2];

  for (uint32_t order : {0u, 1u}) {
    SCOPED_TRACE(order);
    const std::vector<uint8_t> bytes = SaveToBytes(&root, order);
    LoadingArchive loading(bytes);
    KvArchive& archive = loading.archive;
    ASSERT_TRUE(archive.Open());
    EXPECT_EQ(archive.GetTables()->names.Size(), 702u) << "the class name, the root's and 700 children's";
    EXPECT_EQ(archive.GetTables()->objectCount, kChildren + 1);
    EXPECT_EQ(archive.SerializeClassVersion("KvSkeleton"), 0) << "absent from the file";
    KvArray<KvObject*> unowned;
    auto* loaded = static_cast<ArNode*>(archive.LoadRoot(ArNode::StaticClass(), unowned));
    ASSERT_NE(loaded, nullptr) << KvDescribeArchiveError(archive).View();
    archive.Close();
    EXPECT_EQ(loaded->loadedVersion, 2);
    // Saved again, the loaded tree gives the same bytes: every field, name and
    // shared reference came back.
    ASSERT_EQ(SaveToBytes(loaded, order), bytes);
    for (uint32_t i = 0; i < kChildren; ++i) {
      ASSERT_EQ(loaded->children[i]->numbers.Capacity(), i % 3) << "loaded arrays are sized exactly";
    }
    delete loaded;
    for (long cut : {1, 2, 5, 4000}) {
      const std::vector<uint8_t> shorter(bytes.begin(), bytes.end() - cut);
      EXPECT_PRED_FORMAT2(testing::IsSubstring, "truncated", kvtest::LoadError<ArNode>(shorter)) << cut;
    }
  }
}

}  // namespace
