#pragma once

// The debugger output: fixed diagnostic texts from the camera library. They go to stderr when
// the environment variable TAVRO_DEBUG is set, and to an installed sink (tests, log windows).
// Callable from any thread.

#include <functional>
#include <string_view>

namespace TVR {

void debugOut(std::string_view text);

// Receives every debugger-output text, whether or not TAVRO_DEBUG is set. Returns the sink
// that was installed before; an empty function removes the sink. The sink is called under the
// output lock, so it must not write debugger output itself.
using DebugSink = std::function<void(std::string_view)>;
DebugSink setDebugSink(DebugSink sink);

}  // namespace TVR
