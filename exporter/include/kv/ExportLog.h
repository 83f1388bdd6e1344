// The export log: one process-wide text stream, open only during an export.
//
// Its file is "$MAYA_APP_DIR/KvMayaExporter_Log.txt" when MAYA_APP_DIR is set (even
// to the empty string; the value is used unchanged), else the fixed path
// "C:\KvMayaExporter_Log.txt" (on Linux, a file of that name in the working
// directory). Each export truncates it. Lines end in CR LF; nothing is flushed per
// line.
#pragma once

#include "kv/String.h"

// Lets the compiler check LogPrintf's arguments against its format: GCC and clang
// through an attribute, MSVC's code analysis through an annotation.
#if defined(__GNUC__) || defined(__clang__)
#define KV_PRINTF_FORMAT_STRING
#define KV_PRINTF_LIKE(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#elif defined(_MSC_VER)
#include <sal.h>
#define KV_PRINTF_FORMAT_STRING _Printf_format_string_
#define KV_PRINTF_LIKE(formatIndex, firstArgument)
#else
#define KV_PRINTF_FORMAT_STRING
#define KV_PRINTF_LIKE(formatIndex, firstArgument)
#endif

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
void LogPrintf(KV_PRINTF_FORMAT_STRING const char* format, ...) KV_PRINTF_LIKE(1, 2);
