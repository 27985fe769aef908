#include "capture/debug_out.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

extern "C" {
OLK_EXPORT int nMyolmekcommon = 0;
}

namespace OLK {
namespace {

constexpr int kDebugTextSize = 260;

std::mutex& sinkLock() {
    static std::mutex lock;
    return lock;
}

void (*g_sink)(const char*, void*) = nullptr;
void* g_sinkContext = nullptr;

}  // namespace

void setDebugSink(void (*sink)(const char* text, void* context), void* context) {
    std::lock_guard<std::mutex> guard(sinkLock());
    g_sink = sink;
    g_sinkContext = context;
}

void DBGMSG(const char* format, ...) {
    if (format == nullptr) return;
    char text[kDebugTextSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (n < 0 || n >= kDebugTextSize) return;
    std::lock_guard<std::mutex> guard(sinkLock());
    if (g_sink != nullptr) {
        g_sink(text, g_sinkContext);
    } else if (std::getenv("TAVRO_DEBUG") != nullptr) {
        std::fputs(text, stderr);
    }
}

}  // namespace OLK
