#include "debugger_output.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace TVR {

namespace {

std::mutex& outputMutex() {
    static std::mutex m;
    return m;
}

DebugSink& sinkSlot() {
    static DebugSink sink;
    return sink;
}

bool stderrEnabled() {
    // Read once: getenv is not safe against a concurrent setenv, and the setting is per run.
    static const bool enabled = std::getenv("TAVRO_DEBUG") != nullptr;
    return enabled;
}

}  // namespace

void debugOut(std::string_view text) {
    const bool toStderr = stderrEnabled();
    std::lock_guard lock(outputMutex());
    if (toStderr) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fputc('\n', stderr);
    }
    if (const DebugSink& sink = sinkSlot()) sink(text);
}

DebugSink setDebugSink(DebugSink sink) {
    std::lock_guard lock(outputMutex());
    return std::exchange(sinkSlot(), std::move(sink));
}

}  // namespace TVR
