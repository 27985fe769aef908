#pragma once

// Debug output of the capture library: each message goes to the installed sink, or to stderr
// when TAVRO_DEBUG is set.

#include "olk_export.h"

// Exported and never read; kept for programs that look the library up by it.
extern "C" OLK_EXPORT int nMyolmekcommon;

namespace OLK {

// Formats printf-style into 260 characters; a message that does not fit (259 characters and
// the terminator) is dropped whole rather than cut.
OLK_EXPORT void DBGMSG(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Receives every DBGMSG text instead of stderr; null restores stderr. Any thread.
OLK_EXPORT void setDebugSink(void (*sink)(const char* text, void* context), void* context);

}  // namespace OLK
