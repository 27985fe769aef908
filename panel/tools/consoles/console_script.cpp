#include "tools/consoles/console_script.h"

#include <fmt/format.h>

#include "settings/preferences.h"

namespace TVR {

namespace {

constexpr uint32_t kRegisterMaximum = 0xFFFF;
constexpr uint32_t kValueMaximum = 0xFF;

bool scriptBlank(char c) {
    switch (c) {
        case ' ':
        case '\n':
        case '\r':
        case '\t':
        case '\v':
        case ',':
        case '{':
        case '}':
            return true;
        default:
            return false;
    }
}

// A token as an error message quotes it: short, and with no control characters.
std::string quoted(std::string_view token) {
    constexpr size_t kShown = 24;
    std::string out;
    for (size_t i = 0; i < token.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(token[i]);
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    if (token.size() > kShown) out += "...";
    return out;
}

StrictScript strictFailure(const ConsoleToken& at, std::string_view what) {
    StrictScript s;
    s.line = at.line;
    s.column = at.column;
    s.error = fmt::format("line {}, column {}: {}", at.line, at.column, what);
    return s;
}

}  // namespace

std::vector<ConsoleToken> consoleScriptTokens(std::string_view script) {
    std::vector<ConsoleToken> tokens;
    size_t line = 1;
    size_t column = 1;
    size_t start = 0;
    bool inToken = false;
    bool inComment = false;
    ConsoleToken current;
    const auto close = [&](size_t end) {
        if (!inToken) return;
        current.text = script.substr(start, end - start);
        tokens.push_back(current);
        inToken = false;
    };
    for (size_t i = 0; i < script.size(); ++i) {
        const char c = script[i];
        if (c == '\n') {
            close(i);
            inComment = false;
            ++line;
            column = 1;
            continue;
        }
        if (!inComment) {
            if (c == ';') {
                close(i);
                inComment = true;
            } else if (scriptBlank(c)) {
                close(i);
            } else if (!inToken) {
                inToken = true;
                start = i;
                current.line = line;
                current.column = column;
            }
        }
        ++column;
    }
    close(script.size());
    return tokens;
}

std::vector<ConsolePair> parseConsoleScript(std::string_view script, int32_t base) {
    const std::vector<ConsoleToken> tokens = consoleScriptTokens(script);
    std::vector<ConsolePair> pairs;
    pairs.reserve(tokens.size() / 2);
    for (size_t i = 0; i + 1 < tokens.size(); i += 2) {
        const auto reg = static_cast<uint32_t>(parseConsoleNumber(tokens[i].text, base));
        const auto value = static_cast<uint32_t>(parseConsoleNumber(tokens[i + 1].text, base));
        pairs.push_back({static_cast<uint16_t>(reg & kRegisterMaximum),
                         static_cast<uint8_t>(value & kValueMaximum)});
    }
    return pairs;
}

std::string consoleScriptText(const std::vector<ConsolePair>& pairs) {
    std::string text;
    for (const ConsolePair& p : pairs) text += fmt::format("0x{:04X} 0x{:02X}\r\n", p.reg, p.value);
    return text;
}

StrictScript parseConsoleScriptStrict(std::string_view script) {
    const std::vector<ConsoleToken> tokens = consoleScriptTokens(script);
    StrictScript result;
    for (size_t i = 0; i < tokens.size(); i += 2) {
        const ConsoleToken& reg = tokens[i];
        const auto r = parseConsoleNumberExact(reg.text, kRegisterMaximum);
        if (!r) {
            return strictFailure(
                reg, fmt::format("'{}' is not a register number (0 to 0xFFFF)", quoted(reg.text)));
        }
        if (i + 1 == tokens.size()) {
            return strictFailure(reg, fmt::format("register '{}' has no value", quoted(reg.text)));
        }
        const ConsoleToken& value = tokens[i + 1];
        const auto v = parseConsoleNumberExact(value.text, kValueMaximum);
        if (!v) {
            return strictFailure(
                value, fmt::format("'{}' is not a value (0 to 0xFF)", quoted(value.text)));
        }
        result.pairs.push_back({static_cast<uint16_t>(*r), static_cast<uint8_t>(*v)});
    }
    result.ok = true;
    return result;
}

}  // namespace TVR
