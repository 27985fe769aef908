#include "demo_script.h"

#include <fmt/format.h>
#include <charconv>

namespace TVR {

namespace {

bool isScriptBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The leading number of the text as the C library's string-to-double reads it (leading white
// space, an optional sign), but independent of the process's locale: 0 when there is none.
double leadingDouble(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (isScriptBlank(text[i]) || text[i] == '\v' || text[i] == '\f')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    double value = 0.0;
    const char* first = text.data() + i;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
    if (ec != std::errc() || end == first) return 0.0;
    return value;
}

}  // namespace

std::vector<DemoEntry> parseDemoScript(std::string_view script) {
    std::vector<DemoEntry> entries;
    if (script.size() <= kDemoShortestScript) return entries;
    size_t at = 0;
    while (true) {
        while (at < script.size() && isScriptBlank(script[at])) ++at;
        if (at >= script.size()) break;
        while (at < script.size() && script[at] == '|') ++at;
        const size_t bar = script.find('|', at);
        if (bar == std::string_view::npos || bar == at) return {};
        // Blanks before the bar are not part of the name: the file system that this format
        // came from drops trailing blanks from paths, and "Add file(s)..." writes "path | 10".
        size_t pathEnd = bar;
        while (pathEnd > at && (script[pathEnd - 1] == ' ' || script[pathEnd - 1] == '\t')) {
            --pathEnd;
        }
        if (pathEnd == at) return {};
        DemoEntry entry{std::string(script.substr(at, pathEnd - at)), 0.0};
        const size_t lineEnd = script.find('\n', bar + 1);
        const size_t durationEnd = lineEnd == std::string_view::npos ? script.size() : lineEnd;
        entry.seconds = leadingDouble(script.substr(bar + 1, durationEnd - bar - 1));
        // Also rejects a duration that is not a number (NaN compares false).
        if (!(entry.seconds > kDemoShortestSeconds && entry.seconds <= kDemoLongestSeconds)) {
            return {};
        }
        entries.push_back(std::move(entry));
        at = durationEnd;
    }
    return entries;
}

std::string appendDemoFiles(std::string script, const std::vector<std::string>& paths,
                            double seconds) {
    for (const std::string& path : paths) script += fmt::format("\n{} | {}", path, seconds);
    return script;
}

}  // namespace TVR
