#include <gtest/gtest.h>

#include <sstream>

#include "cli_test_helpers.h"
#include "test_support.h"

namespace TVR::Cli {
namespace {

TEST(CliPrefs, ListsEveryPreferenceWithItsDefaultAndDescription) {
    TestSupport::TempFolder dir;
    const std::string ini = dir.file("prefs.ini");
    const CliRun r = runCliWith({"prefs", "--file", ini});
    ASSERT_EQ(r.rc, 0) << r.err;
    const auto rows = outputLines(r.out);
    ASSERT_EQ(rows.size(), 22u);
    EXPECT_EQ(rows.front(), "Base\t10\tDefault base for numbers in Consoles");
    EXPECT_EQ(rows[5], "Splash\t400\tTime delay before showing splash screen, ms");
    EXPECT_EQ(rows[7], "PFN1\t\tPreset file name No1");
    EXPECT_EQ(rows[19], "BetaOn\t0\tEnable beta features");
    EXPECT_EQ(rows[20], "ReApply\t1\tRe-apply settings when the camera comes back");
    EXPECT_EQ(rows.back(), "DemoScript\t\tDemo mode script");
    EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST(CliPrefs, StoresNumbersAndTextsThatTheNextRunReads) {
    TestSupport::TempFolder dir;
    const std::string ini = dir.file("prefs.ini");
    ASSERT_EQ(runCliWith({"prefs", "--file", ini, "Splash", "0x20"}).rc, 0);
    ASSERT_EQ(runCliWith({"prefs", "--file", ini, "Refresh", "-5"}).rc, 0);
    ASSERT_EQ(runCliWith({"prefs", "--file", ini, "PFD2", "Night, outdoor"}).rc, 0);

    EXPECT_EQ(runCliWith({"prefs", "--file", ini, "Splash"}).out, "32\n");
    EXPECT_EQ(runCliWith({"prefs", "--file", ini, "Refresh"}).out, "-5\n");
    EXPECT_EQ(runCliWith({"prefs", "--file", ini, "PFD2"}).out, "Night, outdoor\n");
    // The other entries were written with their values too.
    EXPECT_EQ(runCliWith({"prefs", "--file", ini, "Base"}).out, "10\n");
}

TEST(CliPrefs, RefusesUnknownNamesBadNumbersAndUnwritableFilesWithoutChangingAnything) {
    TestSupport::TempFolder dir;
    const std::string ini = dir.file("prefs.ini");
    ASSERT_EQ(runCliWith({"prefs", "--file", ini, "Base", "16"}).rc, 0);
    const std::string before = TestSupport::readBytes(ini);

    CliRun r = runCliWith({"prefs", "--file", ini, "Nonsense"});
    EXPECT_EQ(r.rc, 2);
    EXPECT_NE(r.err.find("unknown preference 'Nonsense'"), std::string::npos) << r.err;
    for (const char* bad : {"ten", "12x", "", "0x", "99999999999", "-2147483649"}) {
        r = runCliWith({"prefs", "--file", ini, "Base", bad});
        EXPECT_EQ(r.rc, 2) << bad;
    }
    EXPECT_EQ(runCliWith({"prefs", "--file", ini, "Base", "-2147483648"}).rc, 0);
    EXPECT_EQ(runCliWith({"prefs", "--file", ini, "Base", "16"}).rc, 0);
    EXPECT_EQ(TestSupport::readBytes(ini), before);
    EXPECT_EQ(runCliWith({"prefs", "--file", ini, "Base", "1", "2"}).rc, 2);

    // A file below a regular file cannot be created, not even by root.
    const std::string blocked = dir.write("plain", {'x'}) + "/prefs.ini";
    r = runCliWith({"prefs", "--file", blocked, "Base", "8"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("could not be written"), std::string::npos) << r.err;
}

TEST(CliPrefs, AnUnusableStoredValueIsReportedAndShownAsItsDefault) {
    TestSupport::TempFolder dir;
    const std::string ini = dir.write(
        "prefs.ini", {'[', 'T', 'a', 'v', 'r',  'o', '%', '2',  '0', 'c', 'a', 'm', 'e', 'r',
                      'a', '%', '2', '0', 'c',  'o', 'n', 't',  'r', 'o', 'l', '%', '2', '0',
                      'c', 'e', 'n', 't', 'e',  'r', ']', '\n', 'S', 'p', 'l', 'a', 's', 'h',
                      '=', 'a', 'b', 'c', '\n', 'B', 'a', 's',  'e', '=', '1', '6', '\n'});
    const CliRun r = runCliWith({"prefs", "--file", ini});
    ASSERT_EQ(r.rc, 0);
    EXPECT_NE(r.err.find("Splash is unusable"), std::string::npos) << r.err;
    const auto rows = outputLines(r.out);
    ASSERT_EQ(rows.size(), 22u);
    EXPECT_EQ(rows[0].substr(0, 8), "Base\t16\t");
    EXPECT_EQ(rows[5].substr(0, 11), "Splash\t400\t");
}

}  // namespace
}  // namespace TVR::Cli
