// The byte stores: file sizes, truncation on write, the counting null store.
#include <gtest/gtest.h>

#include <cstdio>

#include "ArchiveFixtures.h"
#include "kv/ArchiveStore.h"
#include "kv/Runtime.h"

namespace {

using namespace archive_test;

class ArchiveStore : public ::testing::Test {
 protected:
  void SetUp() override { KvRuntimeStartupDefault(); }
  void TearDown() override { KvRuntimeShutdown(); }
};

TEST_F(ArchiveStore, FileSizeIsKnownOnlyWhenOpenedForReading) {
  const std::string path = TempPath("store.bin");
  WriteFile(path, std::vector<uint8_t>(37, 0x5A));
  KvArchiveStoreFile reader(path.c_str());
  EXPECT_TRUE(reader.Close()) << "closing a store that is not open does nothing";
  ASSERT_TRUE(reader.OpenForReading());
  EXPECT_EQ(reader.Size(), 37u);
  uint8_t buffer[40] = {};
  EXPECT_TRUE(reader.Read(buffer, 30));
  EXPECT_FALSE(reader.Read(buffer, 10)) << "a short read is reported";
  reader.Close();

  KvArchiveStoreFile writer(path.c_str());
  ASSERT_TRUE(writer.OpenForWriting());
  EXPECT_EQ(writer.Size(), 0u);
  EXPECT_TRUE(writer.Write("abc", 3));
  writer.Close();
  EXPECT_EQ(ReadFile(path), (std::vector<uint8_t>{'a', 'b', 'c'})) << "writing empties the old file";
  std::remove(path.c_str());

  KvArchiveStoreFile missing("/nonexistent-dir/none.kvr");
  EXPECT_FALSE(missing.OpenForReading());
  EXPECT_FALSE(missing.IsValid());
}

TEST_F(ArchiveStore, NullStoreOnlyCounts) {
  KvArchiveStoreNull store;
  EXPECT_TRUE(store.OpenForWriting());
  store.Write("0123456789", 10);
  store.Write("012345", 6);
  EXPECT_EQ(store.ByteCount(), 16u);
  EXPECT_EQ(store.Tell(), 0u);
  EXPECT_EQ(store.Size(), 0u);
}

TEST_F(ArchiveStore, ArchiveOverAMissingFileIsNotValid) {
  KvArchive archive(KvArchiveStoreFile::Create("/nonexistent-dir/none.kvr"), KvArchive::kModeLoad, 0);
  EXPECT_FALSE(archive.Open());
  EXPECT_EQ(archive.GetError(), KvArchiveError::kCannotOpen);
  archive.Close();
}

}  // namespace
