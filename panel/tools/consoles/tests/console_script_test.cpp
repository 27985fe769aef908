#include <gtest/gtest.h>

#include "tools/consoles/console_script.h"

namespace TVR {

namespace {

std::vector<ConsolePair> pairs(std::initializer_list<std::pair<int, int>> list) {
    std::vector<ConsolePair> out;
    for (const auto& [r, v] : list)
        out.push_back({static_cast<uint16_t>(r), static_cast<uint8_t>(v)});
    return out;
}

}  // namespace

TEST(ConsoleScript, BlanksCommasBracesAndCommentsSeparateTheSamePairs) {
    const auto expected = pairs({{0x3820, 0x00}, {0x3821, 0x06}});
    EXPECT_EQ(parseConsoleScript("0x3820 0x00, 0x3821 0x06 ; flip", 10), expected);
    EXPECT_EQ(parseConsoleScript("{0x3820, 0x00}, {0x3821, 0x06}", 10), expected);
    EXPECT_EQ(parseConsoleScript("0x3820\t0x00\r\n;0x1111 0x22\n\v0x3821,0x06;", 10), expected);
    // A comment ends at its line break, which still separates the tokens around it.
    EXPECT_EQ(parseConsoleScript("0x3820;c\n0x00 0x3821 0x06", 10), expected);
    EXPECT_TRUE(parseConsoleScript("; only a comment without a line break", 10).empty());
    EXPECT_TRUE(parseConsoleScript("", 10).empty());
}

TEST(ConsoleScript, OddLastTokenIsIgnoredAndNumbersTakeTheConsoleRule) {
    EXPECT_EQ(parseConsoleScript("0x10 0x20 0x30", 10), pairs({{0x10, 0x20}}));
    // 0b101 is 5, 010 octal 8, -1 decimal (low bits kept), bare digits by the base.
    EXPECT_EQ(parseConsoleScript("0b101 010 -1 -1", 10), pairs({{5, 8}, {0xFFFF, 0xFF}}));
    EXPECT_EQ(parseConsoleScript("10 10", 16), pairs({{0x10, 0x10}}));
    // The register keeps 16 bits and the value 8; junk converts up to its first non-digit.
    EXPECT_EQ(parseConsoleScript("0x123456 0x1FF zz 7q", 10), pairs({{0x3456, 0xFF}, {0, 7}}));
}

TEST(ConsoleScript, TokensKnowTheirLineAndColumn) {
    const auto tokens = consoleScriptTokens("  0x10 ; x y\r\n\t{7,8}");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].text, "0x10");
    EXPECT_EQ(tokens[0].line, 1u);
    EXPECT_EQ(tokens[0].column, 3u);
    EXPECT_EQ(tokens[1].text, "7");
    EXPECT_EQ(tokens[1].line, 2u);
    EXPECT_EQ(tokens[1].column, 3u);
    EXPECT_EQ(tokens[2].column, 5u);
}

TEST(ConsoleScript, StrictReadingNamesTheFirstFault) {
    const StrictScript good = parseConsoleScriptStrict("{0x3820, 0x00} ; flip\n0x3821 6\n");
    ASSERT_TRUE(good.ok) << good.error;
    EXPECT_EQ(good.pairs, pairs({{0x3820, 0x00}, {0x3821, 0x06}}));
    EXPECT_TRUE(parseConsoleScriptStrict(" ; nothing\n").ok);

    struct Case {
        const char* script;
        size_t line;
        size_t column;
        const char* error;
    };
    const Case cases[] = {
        {"0x10 0x20\n0x30", 2, 1, "line 2, column 1: register '0x30' has no value"},
        {"0x10 0x2G", 1, 6, "line 1, column 6: '0x2G' is not a value (0 to 0xFF)"},
        {"0x10 0x100", 1, 6, "line 1, column 6: '0x100' is not a value (0 to 0xFF)"},
        {"1 2\n  0x10000 1", 2, 3,
         "line 2, column 3: '0x10000' is not a register number (0 to 0xFFFF)"},
        {"-1 2", 1, 1, "line 1, column 1: '-1' is not a register number (0 to 0xFFFF)"},
        {"1 0b102", 1, 3, "line 1, column 3: '0b102' is not a value (0 to 0xFF)"},
        {"1 2 \x01\xff"
         "abcdefghijklmnopqrstuvwxyz 1",
         1, 5,
         "line 1, column 5: '??abcdefghijklmnopqrstuv...' is not a register number (0 to "
         "0xFFFF)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const StrictScript s = parseConsoleScriptStrict(c.script);
        EXPECT_FALSE(s.ok);
        EXPECT_TRUE(s.pairs.empty());
        EXPECT_EQ(s.line, c.line);
        EXPECT_EQ(s.column, c.column);
        EXPECT_EQ(s.error, c.error);
    }
}

TEST(ConsoleScript, TextListsOnePairPerLine) {
    EXPECT_EQ(consoleScriptText(pairs({{0x3820, 0}, {5, 0xAB}})), "0x3820 0x00\r\n0x0005 0xAB\r\n");
    EXPECT_EQ(parseConsoleScript(consoleScriptText(pairs({{0x3820, 0}, {5, 0xAB}})), 8),
              pairs({{0x3820, 0}, {5, 0xAB}}));
}

}  // namespace TVR
