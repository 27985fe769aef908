// Arbitrary text as a demo-mode script, as the edit box or the preferences give it. Every entry
// names a file and has a duration within the accepted range; writing the entries back as a script
// reads the same entries again.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "tools/demo/demo_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto entries = TVR::parseDemoScript(text);
    std::string again;
    for (const TVR::DemoEntry& e : entries) {
        FUZZ_CHECK(!e.path.empty());
        FUZZ_CHECK(e.path.find('|') == std::string::npos);
        FUZZ_CHECK(e.seconds > TVR::kDemoShortestSeconds);
        FUZZ_CHECK(e.seconds <= TVR::kDemoLongestSeconds);
        if (e.path.find('\n') != std::string::npos) return 0;
        // The shortest text that reads back as the same double.
        char number[64];
        const auto written = std::to_chars(number, number + sizeof number, e.seconds);
        // A leading bar keeps a path that begins with a blank as it is.
        again += "|" + e.path + " | " + std::string(number, written.ptr) + "\n";
    }
    if (entries.empty()) return 0;
    const auto reread = TVR::parseDemoScript(again);
    FUZZ_CHECK(reread.size() == entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        FUZZ_CHECK(reread[i].path == entries[i].path);
        FUZZ_CHECK(reread[i].seconds == entries[i].seconds);
    }
    return 0;
}
