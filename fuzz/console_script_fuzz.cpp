// Arbitrary text as a console register script: the consoles' lenient reading and brisco-cli's
// strict one. Neither reads outside the text; a script the strict reading takes gives the same
// pairs as the lenient one, and a refused one names a place inside the text.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "tools/consoles/console_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks the lenient reading's base.
    const int32_t base = data[0] % 40;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const auto tokens = TVR::consoleScriptTokens(text);
    for (const auto& t : tokens) {
        FUZZ_CHECK(!t.text.empty());
        FUZZ_CHECK(t.text.data() >= text.data() &&
                   t.text.data() + t.text.size() <= text.data() + text.size());
    }
    const auto lenient = TVR::parseConsoleScript(text, base);
    FUZZ_CHECK(lenient.size() == tokens.size() / 2);

    const TVR::StrictScript strict = TVR::parseConsoleScriptStrict(text);
    if (strict.ok) {
        FUZZ_CHECK(strict.pairs == TVR::parseConsoleScript(text, 10));
    } else {
        FUZZ_CHECK(strict.pairs.empty());
        FUZZ_CHECK(strict.line >= 1 && strict.column >= 1);
        FUZZ_CHECK(strict.column <= text.size() + 1);
        FUZZ_CHECK(!strict.error.empty() && strict.error.size() < 200);
    }
    const std::string shown = TVR::consoleScriptText(strict.pairs);
    FUZZ_CHECK(TVR::parseConsoleScript(shown, base) == strict.pairs);
    return 0;
}
