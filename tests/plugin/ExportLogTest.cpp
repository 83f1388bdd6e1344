// Where the export log goes, how long lines are cut, and the driver's end when
// memory runs out.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "PluginFixture.h"
#include "kv/ExportLog.h"
#include "kv/ExportStages.h"
#include "kv/Runtime.h"
#include "kv/Scene.h"

namespace plugin_test {
namespace {

class ExportLogPlacement : public PluginTest {};

TEST_F(ExportLogPlacement, LongMessagesAreCutAndThePathFollowsMayaAppDirUnchanged) {
  KvRuntimeStartupDefault();
  OpenExportLog();
  const std::string longName(5000, 'n');
  LogPrintf("Found joint: %s", longName.c_str());
  LogPrintf("100%% of %s", "a%s name");
  CloseExportLog();
  const std::string text = ReadText(LogPath());
  const std::string first = text.substr(0, text.find("\r\n"));
  EXPECT_EQ(first.size(), 1023u);
  EXPECT_EQ(text.substr(first.size()), "\r\n100% of a%s name\r\n");

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
  KvRuntimeShutdown();
}

// A caller's allocator that, once armed, fails the block of a KvScene's size: with
// a null block, or with std::bad_alloc as the default allocator fails.
enum class SceneBlock { kGiven, kNull, kThrow };
SceneBlock g_sceneBlock = SceneBlock::kGiven;

void* SceneFailingAllocate(uint32_t size) {
  // The scene is the first block of its size once the log is open (the log's own
  // path strings, made before, may have any size).
  if (size == sizeof(KvScene) && g_sceneBlock != SceneBlock::kGiven && IsExportLogOpen()) {
    const SceneBlock failure = g_sceneBlock;
    g_sceneBlock = SceneBlock::kGiven;
    if (failure == SceneBlock::kThrow) throw std::bad_alloc();
    return nullptr;
  }
  return std::malloc(size == 0 ? 1 : size);
}
void PlainFree(void* pointer, uint32_t) { std::free(pointer); }

class ExportDriver : public PluginTest {};

TEST_F(ExportDriver, NoMemoryForTheSceneEndsTheExportQuietly) {
  KvMemoryConfig config;
  config.allocationPolicy = 2;
  config.allocate = SceneFailingAllocate;
  config.free = PlainFree;
  KvRuntimeStartup(config);
  RegisterSceneClasses();
  for (SceneBlock failure : {SceneBlock::kNull, SceneBlock::kThrow}) {
    g_sceneBlock = failure;
    EXPECT_FALSE(ExportScene(KvString(Path("out.kvr").c_str())));
    EXPECT_FALSE(IsExportLogOpen());
    EXPECT_EQ(ReadText(LogPath()), "") << "the log was opened, and nothing was logged";
    EXPECT_TRUE(kvhost::Scene::get().messages().empty()) << "nothing was shown";
    EXPECT_FALSE(std::filesystem::exists(Path("out.kvr")));
  }
  g_sceneBlock = SceneBlock::kGiven;
  EXPECT_TRUE(ExportScene(KvString(Path("out.kvr").c_str()))) << "and the next export works";
  ShutDownSceneClasses();
  KvRuntimeShutdown();
}

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
