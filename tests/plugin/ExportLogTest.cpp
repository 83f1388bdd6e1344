// Where the export log goes, and how long lines are cut.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "PluginFixture.h"
#include "kv/ExportLog.h"
#include "kv/Runtime.h"

namespace plugin_test {
namespace {

TEST(ExportLogPath, FollowsMayaAppDirUnchanged) {
  KvRuntimeStartupDefault();
  const struct {
    const char* appDir;  // null: unset
    const char* expected;
  } cases[] = {
      {"/home/artist/maya", "/home/artist/maya/KvMayaExporter_Log.txt"},
      {"/home/artist/maya/", "/home/artist/maya//KvMayaExporter_Log.txt"},
      {"", "/KvMayaExporter_Log.txt"},
      {nullptr, "C:\\KvMayaExporter_Log.txt"},
  };
  for (const auto& c : cases) {
    if (c.appDir != nullptr) {
      setenv("MAYA_APP_DIR", c.appDir, 1);
    } else {
      unsetenv("MAYA_APP_DIR");
    }
    EXPECT_STREQ(ExportLogPath().View(), c.expected) << (c.appDir ? c.appDir : "(unset)");
  }
  unsetenv("MAYA_APP_DIR");
  KvRuntimeShutdown();
}

TEST(ExportLogLines, LongMessagesAreCutAtTheBuffer) {
  KvRuntimeStartupDefault();
  const auto dir = std::filesystem::temp_directory_path() / "kv_export_log_lines";
  std::filesystem::create_directories(dir);
  setenv("MAYA_APP_DIR", dir.c_str(), 1);
  OpenExportLog();
  const std::string longName(5000, 'n');
  LogPrintf("Found joint: %s", longName.c_str());
  LogPrintf("100%% of %s", "a%s name");
  CloseExportLog();
  const std::string text = ReadText((dir / "KvMayaExporter_Log.txt").string());
  const std::string first = text.substr(0, text.find("\r\n"));
  EXPECT_EQ(first.size(), 1023u);
  EXPECT_EQ(text.substr(first.size()), "\r\n100% of a%s name\r\n");
  std::filesystem::remove_all(dir);
  unsetenv("MAYA_APP_DIR");
  KvRuntimeShutdown();
}

class ExportLogPlacement : public PluginTest {};

TEST_F(ExportLogPlacement, WithoutMayaAppDirTheLogIsTheFallbackFileInTheWorkingDirectory) {
  unsetenv("MAYA_APP_DIR");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  const MStatus status = Export(Path("fallback.kvr"));
  std::filesystem::current_path(previous);
  ASSERT_EQ(status, MS::kSuccess);
  EXPECT_TRUE(std::filesystem::exists(Path("C:\\KvMayaExporter_Log.txt")));
  EXPECT_FALSE(std::filesystem::exists(LogPath()));
}

}  // namespace
}  // namespace plugin_test
