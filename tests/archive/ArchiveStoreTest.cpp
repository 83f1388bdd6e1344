// The file store: saves replace the target atomically, or leave it as it was.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "ArchiveFixtures.h"
#include "kv/ArchiveStore.h"

namespace {

using namespace archive_test;

class ArchiveStore : public ArchiveTest {};

// The target changes once, at Commit, into the complete new file with the old
// file's permissions; until then, and after anything but Commit or an incomplete
// save, it is as it was and no temporary file is left.
TEST_F(ArchiveStore, WritingReplacesTheTargetOnlyAtCommitAndAnIncompleteSaveLeavesItAsItWas) {
  const std::string path = TempPath("atomic.kvr");
  WriteFile(path, {'o', 'l', 'd'});
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  char temporary[4096];
  ASSERT_NE(KvArchiveStoreFile::TemporaryPathFor(path.c_str(), temporary, sizeof temporary), nullptr);
  EXPECT_EQ(std::string(temporary), path + ".tmp-" + std::to_string(getpid()));
  // Writes `text` through a store over `target`; returns what `path` holds after.
  auto write = [&](const std::string& target, const std::string& text, bool commit) {
    const std::vector<uint8_t> before = ReadFile(path);
    {
      KvArchiveStoreFile writer(target.c_str());
      EXPECT_TRUE(writer.OpenForWriting());
      EXPECT_EQ(writer.Size(), 0u);
      EXPECT_TRUE(writer.Write(text.data(), static_cast<uint32_t>(text.size())));
      EXPECT_EQ(ReadFile(path), before) << "untouched while writing";
      EXPECT_EQ(access(temporary, F_OK), 0);
      EXPECT_TRUE(!commit || writer.Commit());
    }
    EXPECT_NE(access(temporary, F_OK), 0);
    const std::vector<uint8_t> after = ReadFile(path);
    return std::string(after.begin(), after.end());
  };
  EXPECT_EQ(write(path, "abc", true), "abc");
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u) << "the target keeps its permissions";
  EXPECT_EQ(write(path, "xyz!", false), "abc") << "closed without Commit: abandoned";

  // A file or link left under the temporary name is replaced, never written through.
  const std::string victim = TempPath("victim.bin");
  WriteFile(victim, {'v'});
  ASSERT_EQ(symlink(victim.c_str(), temporary), 0);
  EXPECT_EQ(write(path, "new", true), "new");
  EXPECT_EQ(ReadFile(victim), std::vector<uint8_t>{'v'});

  // A target that is a link stays a link: the file it names is replaced.
  const std::string link = TempPath("link.kvr");
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  EXPECT_EQ(write(link, "via", true), "via");
  struct stat linkInfo {};
  ASSERT_EQ(lstat(link.c_str(), &linkInfo), 0);
  EXPECT_TRUE(S_ISLNK(linkInfo.st_mode));

  // A save that cannot write every byte (here the process's file size limit stops
  // it, as a full disk would) leaves the old archive and no temporary file.
  WriteFile(path, std::vector<uint8_t>(10, 1));
  auto* root = new ArNode("root");
  root->label = KvString(std::string(200000, 'x').c_str());
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit limited = saved;
  limited.rlim_cur = 65536;
  void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  KvSaveResult result;
  const bool opened = KvSaveObject(root, path.c_str(), nullptr, 0.01f, &result);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  delete root;
  EXPECT_TRUE(opened && result.opened);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(ReadFile(path), std::vector<uint8_t>(10, 1));
  EXPECT_NE(access(temporary, F_OK), 0);
  for (const std::string& file : {victim, path, link}) std::remove(file.c_str());
}

}  // namespace
