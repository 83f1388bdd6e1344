#include "kv/ExportLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

// Constructed, closed, when the module loads; destroyed when it unloads.
std::ofstream g_log;

constexpr char kLogFileName[] = "KvMayaExporter_Log.txt";
constexpr char kFallbackLogPath[] = "C:\\KvMayaExporter_Log.txt";

}  // namespace

KvString ExportLogPath() {
  const char* appDir = std::getenv("MAYA_APP_DIR");
  if (appDir == nullptr) return KvString(kFallbackLogPath);
  KvString path(appDir);
  path.Append("/", 1);
  path.Append(kLogFileName, sizeof(kLogFileName) - 1);
  return path;
}

void OpenExportLog() {
  KvString path = ExportLogPath();
  if (g_log.is_open()) g_log.close();
  g_log.clear();
  // Text mode, truncating; whether the open worked is not tested.
  g_log.open(path.CStr(), std::ios::out | std::ios::trunc);
}

void CloseExportLog() {
  if (g_log.is_open()) g_log.close();
  g_log.clear();
}

bool IsExportLogOpen() { return g_log.is_open(); }

void LogPrintf(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (written < 0) line[0] = '\0';
  g_log << line << "\r\n";
}
