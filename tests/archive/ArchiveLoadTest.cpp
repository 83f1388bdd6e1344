// Loading: hand-built archives of every accepted shape, and hostile input.
#include <gtest/gtest.h>

#include <cstring>

#include "ArchiveStreams.h"
#include "kv/Runtime.h"

namespace {

using namespace archive_test;

class ArchiveLoad : public ArchiveTest {
 protected:
  // A current (1710) little-endian archive holding one ArNode "n" with value 5 and
  // no children, with its class table and names.
  static std::vector<uint8_t> SingleNode() {
    kvtest::StreamBuilder s;
    s.Object(0, "ArNode", Size()).NamedPart("n").Version("ArNode", 2).U32(5).F32(2.0f).Str("txt");
    return s.Count(1).U32(0x01020304).NullObject().Count(0).Finish(1);
  }
};

TEST_F(ArchiveLoad, OlderArchivesCarryLegacyPrefixesInlineClassVersionsAndBefore1600StringClassNames) {
  Bytes b;
  b.raw("KAVE").u32(1650).legacyStr("Licensee").legacyStr("Project").u32(1000);
  b.u16(0);  // no class table: versions are in-line
  b.u16(0).u32(2);  // name table count with its prefix
  b.u16(0).legacyStr("ArNode");
  b.u16(0).legacyStr("old");
  b.u32(1);  // object count
  b.u32(0);
  b.u16(1).u32(0);  // class name: in-line KvName version 1, then the name index
  b.u32(Size());
  b.u16(0);          // KvObject version
  b.u16(0);          // KvNamedObject version
  b.u16(1).u32(1);   // the node's name
  b.u16(3);          // ArNode version, as this old file recorded it
  b.u32(9).f32(0.5f).legacyStr("L").u16(0).u32(2).u32(10).u32(20);
  b.u32(0xFFFFFFFF);
  b.u16(0).u32(0);

  LoadingArchive loading(b.data);
  KvArchive& archive = loading.archive;
  ASSERT_TRUE(archive.Open());
  EXPECT_EQ(archive.GetArchiveVersion(), 1650u);
  EXPECT_STREQ(archive.GetLicenseeName(), "Licensee");
  KvArray<KvObject*> unowned;
  auto* node = static_cast<ArNode*>(archive.LoadRoot(ArNode::StaticClass(), unowned));
  ASSERT_NE(node, nullptr) << KvDescribeArchiveError(archive).View();
  EXPECT_EQ(archive.BytesLeft(), 0u) << "every byte consumed";
  EXPECT_EQ(node->loadedVersion, 3);
  EXPECT_STREQ(node->GetName().GetAsCString(), "old");
  EXPECT_EQ(node->value, 9u);
  EXPECT_TRUE(node->label == "L");
  ASSERT_EQ(node->numbers.Size(), 2u);
  EXPECT_EQ(node->numbers[1], 20u);
  delete node;

  // Before 1600: no table block, and class names as strings.
  Bytes ancient;
  ancient.raw("KAVE").u32(1500).legacyStr("L").legacyStr("P").u32(1000);
  ancient.u32(0).legacyStr("ArNode").u32(Size());  // class names travel as strings
  ancient.u16(0).u16(0);                           // KvObject, KvNamedObject versions
  ancient.u16(0).legacyStr("ancient");             // KvName version 0: the name is a string
  ancient.u16(1);                                  // ArNode version
  ancient.u32(4).f32(1.0f).legacyStr("").u16(0).u32(0).u32(0xFFFFFFFF);
  ancient.u16(0).u32(1);                           // one child, written in full
  ancient.u32(1).legacyStr("ArNode").u32(Size());
  ancient.u16(0).u16(0).u16(0).legacyStr("kid").u16(1);
  ancient.u32(6).f32(0.0f).legacyStr("").u16(0).u32(0).u32(0xFFFFFFFF).u16(0).u32(0);

  std::unique_ptr<ArNode> root = kvtest::MustLoad<ArNode>(ancient.data);
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->GetName().GetAsCString(), "ancient");
  EXPECT_EQ(root->loadedVersion, 1);
  ASSERT_EQ(root->children.Size(), 1u);
  EXPECT_STREQ(root->children[0]->GetName().GetAsCString(), "kid");
  EXPECT_EQ(root->children[0]->value, 6u);
}

TEST_F(ArchiveLoad, ProgressCountsPrimitivesButNotStringOrMagicBytes) {
  const std::vector<uint8_t> bytes = SingleNode();
  // Everything but the magic and the bytes of the nine strings is a counted primitive.
  uint32_t stringBytes = 0;
  for (const char* text : {kKvLicenseeName, kKvLicenseeProjectName, "KvName", "ArNode", "KvNamedObject", "KvObject",
                           "ArNode", "n", "txt"}) {
    stringBytes += static_cast<uint32_t>(std::strlen(text));
  }
  const float total = static_cast<float>(bytes.size());
  const float counted = static_cast<float>(bytes.size() - 4 - stringBytes);
  static std::vector<float> reports;
  for (float threshold : {0.0f, 0.25f}) {
    SCOPED_TRACE(threshold);
    reports.clear();
    LoadingArchive loading(bytes);
    KvArchive& archive = loading.archive;
    archive.SetProgressCallback([](float p) { reports.push_back(p); }, threshold);
    ASSERT_TRUE(archive.Open());
    KvArray<KvObject*> unowned;
    delete archive.LoadRoot(nullptr, unowned);
    ASSERT_FALSE(reports.empty());
    if (threshold == 0.0f) {
      EXPECT_EQ(reports.front(), 4 / total) << "the version is the first primitive";
      EXPECT_EQ(reports.back(), counted / total);
    } else {
      // Each report is the first that reaches a full step past the one before it.
      float last = 0.0f;
      for (float p : reports) {
        EXPECT_GE(p - last, 0.25f);
        EXPECT_LT(p - last, 0.25f + 4 / total);
        last = p;
      }
    }
  }
}

// ---- Hostile input ----------------------------------------------------------------

struct Corruption {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* expectedError;  // a fragment of the description
};

// Offsets in SingleNode(): a 58-byte header, the class table (flag, bucket
// count, four buckets of 89 bytes), the name table (count, "ArNode", "n"), the
// object count, then the 47-byte object stream.
constexpr size_t kHeaderEnd = 58;
constexpr size_t kNameCount = kHeaderEnd + 2 + 4 + 89;
constexpr size_t kObjectCount = kNameCount + 4 + 10 + 5;
constexpr size_t kStream = kObjectCount + 4;

// The table block of SingleNode with another object count, then `stream`.
std::vector<uint8_t> WithStream(const std::vector<uint8_t>& good, uint32_t objectCount, const Bytes& stream) {
  std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(kStream));
  std::memcpy(&bytes[kObjectCount], &objectCount, 4);
  for (uint8_t b : stream.data) bytes.push_back(b);
  return bytes;
}

TEST_F(ArchiveLoad, MalformedArchivesAreRefusedAndReadsAfterwardsLeaveValuesAlone) {
  const std::vector<uint8_t> good = SingleNode();
  ASSERT_EQ(good.size(), kStream + 47);
  auto patched = [&](size_t offset, uint32_t value) {
    std::vector<uint8_t> bytes = good;
    std::memcpy(&bytes[offset], &value, 4);
    return bytes;
  };
  std::vector<uint8_t> badMagic = good;
  badMagic[0] = 'X';
  std::vector<uint8_t> badOrder = good;
  badOrder[3] = 'L';
  // A node with no name, no data and no shared pointer, then its child list.
  auto node = [&](Bytes& b, uint32_t index) {
    b.u32(index).u32(0).u32(Size()).u32(1).u32(0).f32(0).u32(0).u32(0).u32(0xFFFFFFFF);
  };
  Bytes cycle;  // the root's child list refers to the root while it is read
  node(cycle, 0);
  cycle.u32(1).u32(0);
  Bytes twoOwners;  // the root's child list owns one object twice
  node(twoOwners, 0);
  twoOwners.u32(2);
  node(twoOwners, 1);
  twoOwners.u32(0).u32(1);
  Bytes classTwice = CurrentHeader(false);  // one class name in two buckets
  classTwice.u16(1).u32(2).u32(1).u32(1).str("KvName").u16(1).u32(2).u32(1).str("KvName").u16(1);
  Bytes wrongKind = CurrentHeader(false);  // the shared pointer meets a plain KvObject
  wrongKind.u16(1).u32(1).u32(7).u32(1).str("KvName").u16(1).u32(2).str("ArNode").str("KvObject").u32(2);
  wrongKind.u32(0).u32(0).u32(Size()).u32(0).u32(0).f32(0).u32(0).u32(0).u32(1).u32(1).u32(8);
  Bytes deep;  // each node's shared pointer carries the next node in full, 5000 deep
  for (uint32_t i = 0; i < 5000; ++i) deep.u32(i).u32(0).u32(Size()).u32(1).u32(0).f32(0).u32(0).u32(0);

  const Corruption cases[] = {
      {"empty file", {}, "not a KVR archive: the file is 4 bytes"},
      {"four bytes with a good magic", {'K', 'A', 'V', 'E'}, "not a KVR archive: the file is 4 bytes"},
      {"bad magic", badMagic, "not a KVR archive: the file does not start"},
      {"fourth magic byte neither E nor B", badOrder, "not a KVR archive: the file does not start"},
      {"version 1711", patched(4, 1711), "unsupported archive version: version 1711 is newer than 1710"},
      {"licensee name longer than the file", patched(8, 0x7FFFFFFF), "truncated at byte 12: a string is longer"},
      {"more than 128 class buckets", patched(kHeaderEnd + 2, 129), "more than 128 buckets"},
      {"bucket index 128", patched(kHeaderEnd + 6, 128), "bucket index is 128 or more"},
      {"huge bucket entry count", patched(kHeaderEnd + 10, 0x10000000), "holds more entries than the bytes left"},
      {"huge name count", patched(kNameCount, 0x40000000), "a count of 1073741824 is larger than the bytes left"},
      {"huge object count", patched(kObjectCount, 0xFFFFFFF0), "object count is larger than"},
      {"root index beyond the object count", patched(kStream, 5), "object index 5 lies beyond the object count"},
      {"class name index beyond the name table", patched(kStream + 4, 99), "name index lies beyond the name table"},
      {"own name index beyond the name table", patched(kStream + 12, 1000), "name index lies beyond"},
      {"string longer than the bytes left", patched(kStream + 24, 0x00FFFFFF), "a string is longer than the bytes"},
      {"array count larger than the bytes left", patched(kStream + 31, 0x20000000), "a count of 536870912 is larger"},
      {"shared index far beyond the object count", patched(kStream + 39, 0x7FFFFFFF), "object index 2147483647"},
      {"object that refers to itself while being read", WithStream(good, 1, cycle), "object 0 refers to itself"},
      {"object owned twice", WithStream(good, 2, twoOwners), "object 1 has two owners"},
      {"class named twice in the class table", classTwice.data, "names class \"KvName\" twice"},
      {"object of the wrong kind", wrongKind.data, "object 1 is a KvObject where a ArNode is expected"},
      {"objects nested too deeply", WithStream(good, 5000, deep), "nested too deeply"},
  };
  for (const Corruption& c : cases) {
    EXPECT_PRED_FORMAT2(testing::IsSubstring, c.expectedError, kvtest::LoadError<ArNode>(c.bytes)) << c.name;
  }

  LoadingArchive loading({'N', 'O', 'P', 'E', 0, 0, 0, 0});
  KvArchive& archive = loading.archive;
  EXPECT_FALSE(archive.Open());
  uint32_t value = 42;
  KvString text("keep");
  KvName name("keep");
  archive.Serialize(value);
  archive.Serialize(text);
  archive.Serialize(name);
  EXPECT_EQ(value, 42u);
  EXPECT_TRUE(text == "keep");
  EXPECT_STREQ(name.GetAsCString(), "keep");
  archive.Close();
}

}  // namespace
