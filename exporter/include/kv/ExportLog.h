// The export log: one process-wide text stream, open only during an export.
//
// Its file is "$MAYA_APP_DIR/KvMayaExporter_Log.txt" when MAYA_APP_DIR is set (even
// to the empty string; the value is used unchanged), else the fixed path
// "C:\KvMayaExporter_Log.txt" (on Linux, a file of that name in the working
// directory). Each export truncates it. Lines end in CR LF; nothing is flushed per
// line.
#pragma once

#include "kv/String.h"

// The path the next export writes its log to.
KvString ExportLogPath();
// Opens (and truncates) the log; a file that cannot be opened is not reported and
// every later line is lost.
void OpenExportLog();
// Closes the log, flushing it.
void CloseExportLog();
bool IsExportLogOpen();

// Formats one message (at most 1023 characters; longer text is cut there) and
// writes it followed by CR LF.
void LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
