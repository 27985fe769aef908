#pragma once

// The register scripts of the I²C and sensor consoles: pairs of register and value written as
// numbers in the consoles' syntax, separated by blanks, commas or braces, with ";" comments.
// The consoles read a script leniently, as they always have; brisco-cli reads the same text
// strictly and names the first thing it cannot take. Pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace TVR {

struct ConsolePair {
    uint16_t reg = 0;
    uint8_t value = 0;
    bool operator==(const ConsolePair&) const = default;
};

// One token of a script with its place (1-based line and column, in bytes).
struct ConsoleToken {
    std::string_view text;
    size_t line = 1;
    size_t column = 1;
};

// The script's tokens in order: comments dropped, blanks split.
std::vector<ConsoleToken> consoleScriptTokens(std::string_view script);

// The consoles' reading: tokens in pairs, each converted with the console number rule under
// `base`; the register keeps its low 16 bits, the value its low 8. An odd last token is
// ignored.
std::vector<ConsolePair> parseConsoleScript(std::string_view script, int32_t base);

// Every pair as "0x{:04X} 0x{:02X}\r\n".
std::string consoleScriptText(const std::vector<ConsolePair>& pairs);

// The strict reading: every token a whole number (0x.. hexadecimal, 0b.. binary, 0.. octal,
// otherwise decimal), registers up to 0xFFFF, values up to 0xFF, and every register followed
// by its value. On failure `pairs` is empty and `error` reads "line L, column C: ...".
struct StrictScript {
    bool ok = false;
    std::vector<ConsolePair> pairs;
    std::string error;
    size_t line = 0;
    size_t column = 0;
};
StrictScript parseConsoleScriptStrict(std::string_view script);

}  // namespace TVR
