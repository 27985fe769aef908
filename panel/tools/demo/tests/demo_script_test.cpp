#include <gtest/gtest.h>

#include "tools/demo/demo_script.h"

namespace TVR {
namespace {

TEST(DemoScript, ReadsPathAndSecondsPerLine) {
    const auto entries = parseDemoScript("a.qcf | 10\r\n\r\n  b c.qcf|2.5\n");
    ASSERT_EQ(entries.size(), 2u);
    // Blanks around the bar belong to neither the path nor the duration.
    EXPECT_EQ(entries[0], (DemoEntry{"a.qcf", 10.0}));
    EXPECT_EQ(entries[1], (DemoEntry{"b c.qcf", 2.5}));
    // The last line needs no line end; leading bars are skipped.
    EXPECT_EQ(parseDemoScript("x.qcf|1\n||y.qcf|2"),
              (std::vector<DemoEntry>{{"x.qcf", 1.0}, {"y.qcf", 2.0}}));
}

TEST(DemoScript, DurationBoundsRejectTheWholeScript) {
    EXPECT_TRUE(parseDemoScript("a.qcf | 5\nb.qcf | 0.3").empty());
    EXPECT_EQ(parseDemoScript("a.qcf | 5\nb.qcf | 0.31").size(), 2u);
    EXPECT_EQ(parseDemoScript("a.qcf | 600\nb.qcf | 5").size(), 2u);
    EXPECT_TRUE(parseDemoScript("a.qcf | 600.1\nb.qcf | 5").empty());
    EXPECT_TRUE(parseDemoScript("a.qcf | -4\nb.qcf | 5").empty());
    EXPECT_TRUE(parseDemoScript("a.qcf | ten\nb.qcf | 5").empty());
    EXPECT_TRUE(parseDemoScript("a.qcf | nan\nb.qcf | 5").empty());
    EXPECT_TRUE(parseDemoScript("a.qcf | inf\nb.qcf | 5").empty());
    // The number is read up to what does not belong to it, as the C library reads it.
    EXPECT_EQ(parseDemoScript("a.qcf | +7s\nb.qcf | 5e0")[0].seconds, 7.0);
}

TEST(DemoScript, MalformedTextGivesNoEntries) {
    EXPECT_TRUE(parseDemoScript("").empty());
    EXPECT_TRUE(parseDemoScript("a|5").empty());  // three characters or fewer
    EXPECT_EQ(parseDemoScript("ab|5").size(), 1u);
    // A last line without a bar rejects the lines before it too.
    EXPECT_TRUE(parseDemoScript("a.qcf | 5\nb.qcf | 5\nc.qcf").empty());
    EXPECT_TRUE(parseDemoScript("a.qcf | 5\n|||").empty());
    // A path of blanks alone names no file.
    EXPECT_TRUE(parseDemoScript("a.qcf | 5\n   \t| 5").empty());
    EXPECT_TRUE(parseDemoScript(std::string("a.qcf | 5\n\0b.qcf", 16)).empty());
}

TEST(DemoScript, AddedFilesGetTenSecondsEach) {
    const std::string script = appendDemoFiles("", {"/m/one.qcf", "/m/two.qcf"});
    EXPECT_EQ(script, "\n/m/one.qcf | 10\n/m/two.qcf | 10");
    EXPECT_EQ(parseDemoScript(script),
              (std::vector<DemoEntry>{{"/m/one.qcf", 10.0}, {"/m/two.qcf", 10.0}}));
}

}  // namespace
}  // namespace TVR
