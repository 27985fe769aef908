#pragma once

// The demo mode's script: one "path | seconds" line per settings file. The text comes from
// the user's edit box or the preferences, so it is read defensively: a line that does not parse
// rejects the whole script rather than playing part of it. Any thread.

#include <string>
#include <string_view>
#include <vector>

namespace TVR {

struct DemoEntry {
    std::string path;
    double seconds = 0.0;
    bool operator==(const DemoEntry&) const = default;
};

// Durations must lie above this and at most at kDemoLongestSeconds.
inline constexpr double kDemoShortestSeconds = 0.3;
inline constexpr double kDemoLongestSeconds = 600.0;
// A script this short holds no entry.
inline constexpr size_t kDemoShortestScript = 3;
// The duration "Add file(s)..." gives each file.
inline constexpr int kDemoDefaultSeconds = 10;

// The entries of a script; empty when any line is malformed or its duration out of range.
std::vector<DemoEntry> parseDemoScript(std::string_view script);
// The script with one line per file appended, each with the default duration.
std::string appendDemoFiles(std::string script, const std::vector<std::string>& paths,
                            double seconds = kDemoDefaultSeconds);

}  // namespace TVR
