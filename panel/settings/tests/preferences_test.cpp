#include <gtest/gtest.h>

#include <limits>

#include "apilog.h"
#include "settings/preferences.h"
#include "settings/preferences_storage.h"
#include "settings/presets.h"
#include "settings_test_helpers.h"

namespace TVR {
namespace {

using TestSupport::readBytes;
using TestSupport::writeBytes;
namespace Name = PreferenceName;

TEST(ConsoleNumber, PrefixesDecideTheBase) {
    for (int32_t base : {8, 10, 16}) {
        SCOPED_TRACE(base);
        EXPECT_EQ(parseConsoleNumber("0x1F", base), 31);
        EXPECT_EQ(parseConsoleNumber("0X1f", base), 31);
        EXPECT_EQ(parseConsoleNumber("017", base), 15);
        EXPECT_EQ(parseConsoleNumber("0b101", base), 5);
        EXPECT_EQ(parseConsoleNumber("0B101", base), 5);
        EXPECT_EQ(parseConsoleNumber("-12", base), -12);
        EXPECT_EQ(parseConsoleNumber("7", base), 7);
    }
    EXPECT_EQ(parseConsoleNumber("12", 16), 18);
    EXPECT_EQ(parseConsoleNumber("12", 10), 12);
    EXPECT_EQ(parseConsoleNumber("12", 8), 10);
    EXPECT_EQ(parseConsoleNumber("f", 16), 15);
    // A single "0" or "-" has no prefix.
    EXPECT_EQ(parseConsoleNumber("0", 16), 0);
    EXPECT_EQ(parseConsoleNumber("-", 10), 0);
}

// Command arguments take the same prefixes but nothing beyond the number and its maximum.
TEST(ConsoleNumber, ExactReadingRefusesWhatTheLenientOneSkips) {
    EXPECT_EQ(parseConsoleNumberExact("0x1F", 0xFF), 0x1Fu);
    EXPECT_EQ(parseConsoleNumberExact("017", 0xFF), 15u);
    EXPECT_EQ(parseConsoleNumberExact("0b101", 0xFF), 5u);
    EXPECT_EQ(parseConsoleNumberExact("0", 0xFF), 0u);
    EXPECT_EQ(parseConsoleNumberExact("255", 0xFF), 255u);
    EXPECT_EQ(parseConsoleNumberExact("0xFFFFFFFF", 0xFFFFFFFF), 0xFFFFFFFFu);
    for (const char* bad : {"", "0x", "0b", "-1", "+1", " 1", "1 ", "19a", "08", "0b2", "0x1G",
                            "256", "0x100", "99999999999999999999999"}) {
        EXPECT_FALSE(parseConsoleNumberExact(bad, 0xFF)) << bad;
    }
}

TEST(ConsoleNumber, StopsAtFirstForeignCharacter) {
    EXPECT_EQ(parseConsoleNumber("19", 8), 1);
    EXPECT_EQ(parseConsoleNumber("089", 16), 0);  // octal by its leading zero
    EXPECT_EQ(parseConsoleNumber("0b102", 10), 2);
    EXPECT_EQ(parseConsoleNumber("0x1G", 10), 1);
    EXPECT_EQ(parseConsoleNumber("1F", 10), 1);
    EXPECT_EQ(parseConsoleNumber("-12abc", 16), -12);
    EXPECT_EQ(parseConsoleNumber("12 34", 10), 12);
    EXPECT_EQ(parseConsoleNumber("", 10), 0);
    EXPECT_EQ(parseConsoleNumber("0x", 10), 0);
    EXPECT_EQ(parseConsoleNumber("0b", 10), 0);
    EXPECT_EQ(parseConsoleNumber("xyz", 16), 0);
    EXPECT_EQ(parseConsoleNumber("  0x10", 10), 16);
}

TEST(ConsoleNumber, WideValuesKeepTheirBitsOrSaturate) {
    EXPECT_EQ(static_cast<uint32_t>(parseConsoleNumber("0xFFFFFFFF", 10)), 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<uint32_t>(parseConsoleNumber("0x80000000", 10)), 0x80000000u);
    EXPECT_EQ(static_cast<uint32_t>(parseConsoleNumber("0x1FFFFFFFF", 10)), 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<uint32_t>(parseConsoleNumber("99999999999999999999999", 10)),
              0xFFFFFFFFu);
    EXPECT_EQ(parseConsoleNumber("-2147483648", 10), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(parseConsoleNumber("-99999999999", 10), std::numeric_limits<int32_t>::min());
    // A stored base outside any digit set reads decimal.
    EXPECT_EQ(parseConsoleNumber("12", 0), 12);
    EXPECT_EQ(parseConsoleNumber("12", 99), 12);
    EXPECT_EQ(parseConsoleNumber("12", -16), 12);
}

TEST(Preferences, TableDefaultsAndKinds) {
    Preferences prefs;
    const auto entries = prefs.entries();
    ASSERT_EQ(entries.size(), 22u);
    EXPECT_EQ(entries.front().name, "Base");
    EXPECT_EQ(entries[7].name, "PFN1");
    EXPECT_EQ(entries[16].name, "PFD5");
    EXPECT_EQ(entries[19].name, "BetaOn");
    // Settings come back with a re-plugged camera unless the user turns it off.
    EXPECT_EQ(entries[20].name, "ReApply");
    EXPECT_EQ(prefs.number("ReApply"), 1);
    // The demo mode's script follows the documented table.
    EXPECT_EQ(entries.back().name, "DemoScript");
    EXPECT_FALSE(entries.back().numeric);
    EXPECT_EQ(entries[6].description, "Earliest h/w release type to upgrade to");
    EXPECT_EQ(entries[9].description, "Preset file name No3");
    EXPECT_EQ(entries[13].description, "Preset description No2");
    EXPECT_EQ(prefs.entry(Name::kLogApi)->description, "Log API calls to FX3 and I²C");

    EXPECT_EQ(prefs.number(Name::kBase), 10);
    EXPECT_EQ(prefs.number(Name::kSafe), 1);
    EXPECT_EQ(prefs.number(Name::kTheme), 7);
    EXPECT_EQ(prefs.number(Name::kFwRelease), 4);
    EXPECT_EQ(prefs.text("PFN1"), "");

    // The kinds do not mix, and unknown names change nothing.
    EXPECT_FALSE(prefs.setText(Name::kBase, "16"));
    EXPECT_FALSE(prefs.setNumber("PFN1", 3));
    EXPECT_FALSE(prefs.setNumber("Nope", 3));
    EXPECT_EQ(prefs.number("PFN1", -7), -7);
    EXPECT_EQ(prefs.number("Nope", -7), -7);
    EXPECT_EQ(prefs.number(Name::kBase), 10);

    EXPECT_EQ(prefs.consoleNumber("12"), 12);
    ASSERT_TRUE(prefs.setNumber(Name::kBase, 16));
    EXPECT_EQ(prefs.consoleNumber("12"), 18);
    EXPECT_EQ(prefs.consoleNumber("-12"), -12);
}

struct PreferencesStorageTest : ::testing::Test {
    TestSupport::TempFolder dir;
    std::string path = dir.file("Webcam tools.conf");
    PreferencesStorage storage{path};
    ApiLog log;
};

TEST_F(PreferencesStorageTest, FreshProfileKeepsDefaults) {
    Preferences prefs;
    const auto result = storage.readAll(prefs);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(prefs.number(Name::kExpert), 0);
    EXPECT_EQ(prefs.number(Name::kBetaOn), 0);
    EXPECT_EQ(prefs.number(Name::kDevNotify), 0);
    EXPECT_EQ(prefs.number(Name::kSplash), 400);
    EXPECT_EQ(prefs.number(Name::kRefresh), 500);
}

TEST_F(PreferencesStorageTest, WriteAllThenReadAllRoundTrips) {
    Preferences prefs;
    prefs.setNumber(Name::kBase, 16);
    prefs.setNumber(Name::kSplash, 0);
    prefs.setNumber(Name::kExpert, 1);
    prefs.setNumber(Name::kRefresh, -5);
    prefs.setText("PFN1", "/home/user/day light, v2 = final.qcf");
    prefs.setText("PFD1", "Studio; 100% \"warm\"");
    prefs.setText("PFN5", "Ünïcode [x].qcf");
    ASSERT_TRUE(storage.writeAll(prefs, log));
    EXPECT_EQ(messagesSince(log, 0),
              std::vector<std::string>{"Preferences updated into Windows registry"});

    Preferences back;
    ASSERT_TRUE(storage.readAll(back).ok());
    const auto a = prefs.entries();
    const auto b = back.entries();
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(a[i].name);
        EXPECT_EQ(a[i].number, b[i].number);
        EXPECT_EQ(a[i].text, b[i].text);
    }

    // The values sit in the profile group, not at the top level.
    const std::string file = TestSupport::readBytes(path);
    EXPECT_NE(file.find("[Tavro%20camera%20control%20center]"), std::string::npos) << file;
    EXPECT_NE(file.find("Splash=0"), std::string::npos) << file;
}

TEST_F(PreferencesStorageTest, UnusableValuesAreReportedAndKeepTheirDefaults) {
    TestSupport::writeBytes(path,
                            "[Tavro%20camera%20control%20center]\r\n"
                            "Base=sixteen\r\n"
                            "Splash=99999999999\r\n"
                            "Refresh=250\r\n"
                            "Safe=4294967295\r\n"
                            "PFD2=Day, outdoor\r\n"
                            "[General]\r\n"
                            "Expert=1\r\n");
    Preferences prefs;
    const auto result = storage.readAll(prefs);
    EXPECT_FALSE(result.storageError);
    EXPECT_EQ(result.failed, (std::vector<std::string>{"Base", "Splash"}));
    EXPECT_EQ(prefs.number(Name::kBase), 10);
    EXPECT_EQ(prefs.number(Name::kSplash), 400);
    EXPECT_EQ(prefs.number(Name::kRefresh), 250);
    EXPECT_EQ(prefs.number(Name::kSafe), -1);  // a DWORD of all ones
    EXPECT_EQ(prefs.text("PFD2"), "Day, outdoor");
    EXPECT_EQ(prefs.number(Name::kExpert), 0);  // outside the profile group
}

TEST_F(PreferencesStorageTest, GeometryValuesByWindowTitle) {
    EXPECT_FALSE(storage.readGeometry("Sensor console").x);
    storage.writeGeometry("Sensor console", {120, -40, 640, 480}, false);
    storage.writeGeometry("Color grading", {10, 20, 800, 600}, true);
    storage.writeGeometry("", {1, 2, 3, 4}, true);

    const StoredGeometry console = storage.readGeometry("Sensor console");
    EXPECT_EQ(console.x, 120);
    EXPECT_EQ(console.y, -40);
    EXPECT_FALSE(console.w);
    EXPECT_FALSE(console.h);
    const StoredGeometry grading = storage.readGeometry("Color grading");
    EXPECT_EQ(grading.w, 800);
    EXPECT_EQ(grading.h, 600);
    EXPECT_FALSE(storage.readGeometry("").x);

    const std::string file = TestSupport::readBytes(path);
    EXPECT_NE(file.find("UI\\geometry\\Sensor%20console%20X=120"), std::string::npos) << file;
    EXPECT_NE(file.find("UI\\geometry\\Sensor%20console%20Y=-40"), std::string::npos) << file;

    // Preferences written later leave the geometry alone.
    Preferences prefs;
    storage.writeAll(prefs, log);
    EXPECT_EQ(storage.readGeometry("Sensor console").x, 120);
}

// A file that cannot be written is reported as such, never as "updated".
TEST_F(PreferencesStorageTest, AFailedWriteIsAnErrorNotAnUpdate) {
    TestSupport::writeBytes(dir.file("plain"), "a file, not a folder");
    PreferencesStorage blocked(dir.file("plain") + "/Webcam tools.conf");
    Preferences prefs;
    prefs.setNumber(Name::kBase, 16);
    EXPECT_FALSE(blocked.writeAll(prefs, log));
    const auto messages = messagesSince(log, 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("The preferences could not be written to ", 0), 0u) << messages[0];
}

TEST_F(PreferencesStorageTest, GeometryMigrationRunsOnce) {
    TestSupport::writeBytes(path,
                            "[Tavro%20camera%20control%20center]\r\n"
                            "Main%20window%27s%20X%20position=100\r\n"
                            "Main%20window%27s%20Y%20position=200\r\n"
                            "Green%20Screen%20config%20window%27s%20X%20position=text\r\n"
                            "Registry%20dump%20window%27s%20Y%20position=-30\r\n");
    EXPECT_TRUE(storage.migrateGeometry());
    const StoredGeometry main = storage.readGeometry("Tavro control center");
    EXPECT_EQ(main.x, 100);
    EXPECT_EQ(main.y, 200);
    EXPECT_FALSE(storage.readGeometry("Configure the chroma key enhancer (color substitution)").x);
    const StoredGeometry dump = storage.readGeometry("Sensor's registers' overview");
    EXPECT_FALSE(dump.x);
    EXPECT_EQ(dump.y, -30);

    // The subgroup exists now: newer positions are never overwritten by the old ones.
    storage.writeGeometry("Tavro control center", {5, 6, 0, 0}, false);
    EXPECT_FALSE(storage.migrateGeometry());
    EXPECT_EQ(storage.readGeometry("Tavro control center").x, 5);
}

TEST_F(PreferencesStorageTest, MigratedPositionsLandUnderTheTitlesTheWindowsRead) {
    TestSupport::writeBytes(path,
                            "[Tavro%20camera%20control%20center]\r\n"
                            "PG%20AutoFunc%20window%27s%20X%20position=70\r\n"
                            "PG%20AutoFunc%20window%27s%20Y%20position=80\r\n");
    EXPECT_TRUE(storage.migrateGeometry());
    // The automatic functions' window keeps its position under its title.
    const StoredGeometry autoFunctions = storage.readGeometry("Auto-functions' parameters");
    EXPECT_EQ(autoFunctions.x, 70);
    EXPECT_EQ(autoFunctions.y, 80);
    EXPECT_FALSE(storage.readGeometry("Playground for auto functions").x);
}

TEST(WindowPlacement, StoredPositionComesBackOnAMonitor) {
    const WindowRect current{0, 0, 300, 200};
    const std::vector<WindowRect> one = {{0, 0, 1920, 1040}};
    EXPECT_FALSE(restoredPlacement({std::nullopt, 10, 1, 1}, current, true, one));
    EXPECT_FALSE(restoredPlacement({10, std::nullopt, 1, 1}, current, true, one));

    EXPECT_EQ(*restoredPlacement({100, 50, 640, 480}, current, false, one),
              (WindowRect{100, 50, 300, 200}));
    EXPECT_EQ(*restoredPlacement({100, 50, 640, 480}, current, true, one),
              (WindowRect{100, 50, 640, 480}));
    EXPECT_EQ(*restoredPlacement({100, 50, std::nullopt, 480}, current, true, one),
              (WindowRect{100, 50, 300, 200}));

    // The second monitor on the right was disconnected.
    EXPECT_EQ(*restoredPlacement({2500, 300, 0, 0}, current, false, one),
              (WindowRect{0, 0, 300, 200}));
    // A window hanging off the left edge is pulled in, keeping its size.
    EXPECT_EQ(*restoredPlacement({-50, 300, 0, 0}, current, false, one),
              (WindowRect{0, 0, 300, 200}));

    const std::vector<WindowRect> two = {{0, 0, 1920, 1040}, {1920, 30, 1280, 994}};
    EXPECT_EQ(*restoredPlacement({2000, 100, 0, 0}, current, false, two),
              (WindowRect{2000, 100, 300, 200}));
    // Above the right monitor's work area (its task bar is on top): back into that one.
    EXPECT_EQ(*restoredPlacement({2000, 10, 0, 0}, current, false, two),
              (WindowRect{1920, 30, 300, 200}));
    EXPECT_EQ(*restoredPlacement({5000, 500, 0, 0}, current, false, two),
              (WindowRect{1920, 30, 300, 200}));
}

TEST(Presets, MenuTextsAndPreferences) {
    Preferences prefs;
    prefs.setText("PFN2", "/data/night.qcf");
    prefs.setText("PFN3", "/data/day.qcf");
    prefs.setText("PFD3", "Daylight");
    prefs.setText("PFD4", "Description without a file");
    Presets presets;
    presets.loadFrom(prefs);

    EXPECT_EQ(presets.menuText(1), "Preset #1\tCtrl+Alt+1");
    EXPECT_EQ(presets.menuText(2), "/data/night.qcf\tCtrl+Alt+2");
    EXPECT_EQ(presets.menuText(3), "Daylight\tCtrl+Alt+3");
    EXPECT_EQ(presets.menuText(4), "Preset #4\tCtrl+Alt+4");
    EXPECT_FALSE(presets.menuEnabled(1, true));
    EXPECT_TRUE(presets.menuEnabled(2, true));
    EXPECT_FALSE(presets.menuEnabled(2, false));
    EXPECT_FALSE(presets.menuEnabled(4, true));
    EXPECT_FALSE(presets.menuEnabled(6, true));
    EXPECT_FALSE(presets.setPreset(0, {"x", "y"}));
    EXPECT_EQ(presets.preset(9).fileName, "");

    ASSERT_TRUE(presets.setPreset(5, {"/data/five.qcf", "Five"}));
    presets.storeInto(prefs);
    EXPECT_EQ(prefs.text("PFN5"), "/data/five.qcf");
    EXPECT_EQ(prefs.text("PFD5"), "Five");
    EXPECT_EQ(prefs.text("PFN3"), "/data/day.qcf");

    presets.clearAll();
    presets.storeInto(prefs);
    for (int n = 1; n <= Presets::kCount; ++n) {
        EXPECT_EQ(prefs.text(Preferences::presetFileKey(n)), "");
        EXPECT_EQ(prefs.text(Preferences::presetDescriptionKey(n)), "");
    }
}

TEST(LogApiPreference, StartupTakesAnyNonzeroDialogOnlyOne) {
    Preferences prefs;
    ApiLog log;
    prefs.setNumber(Name::kLogApi, 2);
    applyApiLogAtStartup(prefs, log);
    EXPECT_TRUE(log.logging());
    log.recordVendorRequest(false, 0xAB, 0, 0);
    EXPECT_EQ(log.apiCount(), 1u);

    applyApiLogAfterDialog(prefs, log);
    EXPECT_FALSE(log.logging());

    prefs.setNumber(Name::kLogApi, 1);
    applyApiLogAfterDialog(prefs, log);
    EXPECT_TRUE(log.logging());
    log.recordVendorRequest(false, 0xAB, 0, 0);
    ASSERT_EQ(log.apiCount(), 1u);

    prefs.setNumber(Name::kLogApi, 0);
    applyApiLogAfterDialog(prefs, log);
    EXPECT_FALSE(log.logging());
    EXPECT_EQ(log.apiCount(), 0u);

    applyApiLogAtStartup(prefs, log);
    EXPECT_FALSE(log.logging());
}

}  // namespace
}  // namespace TVR
