#include "settings/qcf_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <string>

#include "settings/text_decode.h"
#include "settings_test_helpers.h"

namespace TVR {
namespace {

namespace fs = std::filesystem;
using TestSupport::readBytes;
using TestSupport::writeBytes;

const std::string kHeader =
    "; Camera configuration for Brisco Tuner (Tavro control center)\r\n"
    "; Written by the Brisco camera control panel\r\n"
    "; File format version 1.0\r\n"
    "\r\n";

struct Files {
    ApiLog log;
    SettingsStore store{log};
    TestSupport::TempFolder dir;
};

void fillTypicalStore(SettingsStore& store) {
    store.setDecimal("OV_EXPOSURE", 1200);
    store.setHex("LED_R", 255);
    store.setBool("OV_MANUAL_WB_ON", true);
    store.setReal("OV_VIDEO_FPS", 30.0);
    store.setString("SENSOR_MODEL", "OV9714");
    store.setBool("FAN", false);
    store.setDecimal("AFN_SETPOINT_EXP", 112);
    store.setHex("OV_BINNING", 2);
    store.setDecimal("OV_BLACK_LEVEL", 64);
    store.setString("CONSOLE_TEXT", "w 3500 01\r\nr 3500");
    (void)store.getInt("LOOKED_UP_ONLY");
}

TEST(QcfFile, WritesHeaderSortedKeysAndCrlfByteForByte) {
    Files f;
    fillTypicalStore(f.store);
    const std::string path = f.dir.file("camera.qcf");
    ASSERT_TRUE(f.store.saveFileAs(path));
    EXPECT_FALSE(f.store.dirty());
    const std::string expected = kHeader +
                                 "D.AFN_SETPOINT_EXP=112\r\n"
                                 "S.CONSOLE_TEXT=w%3500%01\\/r%3500\r\n"
                                 "B.FAN=false\r\n"
                                 "H.LED_R=0xFF\r\n"
                                 "H.OV_BINNING=0x2\r\n"
                                 "D.OV_BLACK_LEVEL=64\r\n"
                                 "D.OV_EXPOSURE=1200\r\n"
                                 "B.OV_MANUAL_WB_ON=true\r\n"
                                 "F.OV_VIDEO_FPS=30.0000\r\n"
                                 "S.SENSOR_MODEL=OV9714\r\n";
    EXPECT_EQ(TestSupport::readBytes(path), expected);
    const auto log = messagesSince(f.log, 0);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Saved the settings file \"" + path + "\"");

    // Saving again without changes writes the same bytes and leaves no temporary file behind.
    ASSERT_TRUE(f.store.saveFile());
    EXPECT_EQ(TestSupport::readBytes(path), expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir.path()), fs::directory_iterator{}), 1);
}

TEST(QcfFile, WriteThenReadRoundTripsEveryValue) {
    Files f;
    fillTypicalStore(f.store);
    f.store.setString("NOTE", "Grün 100°");
    const std::string path = f.dir.file("round.qcf");
    ASSERT_TRUE(f.store.saveFileAs(path));

    ApiLog log;
    SettingsStore loaded(log);
    loaded.setDecimal("STALE", 1);
    ASSERT_TRUE(loaded.loadFile(path));
    EXPECT_EQ(loaded.filePath(), path);
    EXPECT_FALSE(loaded.dirty());
    EXPECT_FALSE(loaded.has("STALE"));
    EXPECT_FALSE(loaded.has("LOOKED_UP_ONLY"));
    EXPECT_EQ(loaded.keys(), f.store.keys());
    for (const std::string& key : f.store.keys()) {
        EXPECT_EQ(loaded.value(key), f.store.value(key)) << key;
    }
    EXPECT_EQ(loaded.getString("CONSOLE_TEXT"), "w 3500 01\r\nr 3500");
    EXPECT_EQ(loaded.getString("NOTE"), "Grün 100°");
    EXPECT_EQ(messagesSince(log, 0).back(),
              "Finished parsing the saved settings file with 11 recognized entries");
}

TEST(QcfFile, LineRuleEdgeCases) {
    const auto parsed = parseQcfText(
        "; comment line.with=dots\n"
        "H.LED_R=0xff\n"
        "H.LED_G=ff\r\n"
        "D.DEC=0x10\n"
        "B.FAN=True\n"
        "D.DUP=1\n"
        "D.DUP=2\n"
        "Dxyz.LONGTYPE=5\n"
        "X.UNKNOWN=1\n"
        "D.NOEQUALS\n"
        "NODOT=1\n"
        ".EMPTYTYPE=1\n"
        "D.=5\n"
        "S.KEY.WITH.DOTS=a=b\n"
        "\n\n"
        "F.LAST=1.5");
    ApiLog log;
    SettingsStore st(log);
    st.replaceAll(parsed);
    EXPECT_EQ(st.keys(), (std::vector<std::string>{"DEC", "DUP", "FAN", "KEY.WITH.DOTS", "LAST",
                                                   "LED_G", "LED_R", "LONGTYPE"}));
    EXPECT_EQ(st.getInt("LED_R"), 255);
    EXPECT_EQ(st.getInt("LED_G"), 255);
    EXPECT_EQ(st.getInt("DEC"), 0);
    EXPECT_FALSE(st.getBool("FAN"));
    EXPECT_EQ(st.getInt("DUP"), 2);
    EXPECT_EQ(st.getInt("LONGTYPE"), 5);
    EXPECT_EQ(st.getString("KEY.WITH.DOTS"), "a=b");
    EXPECT_DOUBLE_EQ(st.getReal("LAST", 0), 1.5);
}

TEST(QcfFile, HeaderOnlyFileEmptiesTheStore) {
    Files f;
    const std::string path = f.dir.file("empty.qcf");
    TestSupport::writeBytes(path, kHeader);
    f.store.setDecimal("OLD", 3);
    ASSERT_TRUE(f.store.loadFile(path));
    EXPECT_EQ(f.store.size(), 0u);
    EXPECT_FALSE(f.store.dirty());
    EXPECT_EQ(messagesSince(f.log, 0).back(),
              "Finished parsing the saved settings file with 0 recognized entries");
}

TEST(QcfFile, HostileFilesGiveClearResults) {
    Files f;
    // Binary junk: whatever it holds, the load finishes and every key it found is non-empty.
    std::mt19937 rng(7);
    std::string junk(64 * 1024, '\0');
    for (char& c : junk) c = static_cast<char>(rng());
    junk += "\nD.AFTER_JUNK=9\n";
    const std::string junkPath = f.dir.file("junk.qcf");
    TestSupport::writeBytes(junkPath, junk);
    ASSERT_TRUE(f.store.loadFile(junkPath));
    EXPECT_EQ(f.store.getInt("AFTER_JUNK"), 9);
    for (const auto& key : f.store.keys()) EXPECT_FALSE(key.empty());

    // A very long line is one value.
    const std::string longValue(2 * 1024 * 1024, 'A');
    const std::string longPath = f.dir.file("long.qcf");
    TestSupport::writeBytes(longPath, "S.LONG=" + longValue + "\r\nD.NEXT=1\r\n");
    ASSERT_TRUE(f.store.loadFile(longPath));
    EXPECT_EQ(f.store.getString("LONG"), longValue);
    EXPECT_EQ(f.store.getInt("NEXT"), 1);

    // Latin-1 bytes become their characters; valid UTF-8 beside them stays as it is.
    const std::string latinPath = f.dir.file("latin1.qcf");
    TestSupport::writeBytes(latinPath, "S.NOTE=Gr\xFCn%\xC3\xA9t\xE9\r\nS.CUT=\xE2\x82\r\n");
    ASSERT_TRUE(f.store.loadFile(latinPath));
    EXPECT_EQ(f.store.getString("NOTE"), "Grün ét\xC3\xA9");
    EXPECT_EQ(f.store.getString("CUT"), "\xC3\xA2\xC2\x82");
    TestSupport::writeBytes(latinPath,
                            "\xEF\xBB\xBF"
                            "D.FIRST=3\r\n");
    ASSERT_TRUE(f.store.loadFile(latinPath));
    EXPECT_EQ(f.store.keys(), std::vector<std::string>{"FIRST"});
    EXPECT_EQ(decodeUtf8OrLatin1("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");  // surrogate
    EXPECT_EQ(decodeUtf8OrLatin1("\xC0\xAF"), "\xC3\x80\xC2\xAF");              // overlong

    // Too large to be a settings file: refused, the store keeps its values.
    const std::string bigPath = f.dir.file("big.qcf");
    TestSupport::writeBytes(bigPath, std::string(kMaxQcfFileSize + 1, 'x'));
    f.store.setDecimal("KEEP", 5);
    const SettingsResult big = f.store.loadFile(bigPath);
    EXPECT_FALSE(big);
    EXPECT_NE(big.message.find("too large"), std::string::npos);
    EXPECT_EQ(f.store.getInt("KEEP"), 5);
}

TEST(QcfFile, UnreadableFileKeepsValuesAndTakesThePath) {
    Files f;
    f.store.setDecimal("KEEP", 5);
    const std::string missing = f.dir.file("missing.qcf");
    const SettingsResult r = f.store.loadFile(missing);
    EXPECT_FALSE(r);
    EXPECT_EQ(r.message, "Can't open the file [" + missing + "]");
    EXPECT_EQ(f.store.getInt("KEEP"), 5);
    EXPECT_EQ(f.store.filePath(), missing);
    EXPECT_EQ(messagesSince(f.log, 0).back(), r.message);
    EXPECT_EQ(f.log.message(f.log.messageCount() - 1)->error, true);

    EXPECT_FALSE(f.store.loadFile(f.dir.path().string()));  // a folder
    EXPECT_FALSE(f.store.loadFile("/dev/zero"));
    // A named pipe with no writer would block a plain open for reading.
    const std::string fifo = f.dir.file("pipe.qcf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(f.store.loadFile(fifo));
    EXPECT_EQ(f.store.getInt("KEEP"), 5);
}

TEST(QcfFile, FailedSaveLeavesThePreviousFileIntact) {
    Files f;
    const std::string path = f.dir.file("keep.qcf");
    f.store.setDecimal("OV_EXPOSURE", 1);
    ASSERT_TRUE(f.store.saveFileAs(path));
    const std::string before = TestSupport::readBytes(path);
    f.store.setDecimal("OV_EXPOSURE", 2);
    const auto entries = [&] {
        return std::distance(fs::directory_iterator(f.dir.path()), fs::directory_iterator{});
    };

    // The disk fills up in the middle of the write.
    {
        // Appended rather than "K" + ...: GCC 12 at -O3 reports a false -Wrestrict there.
        for (int i = 0; i < 2000; ++i)
            f.store.setDecimal(std::string("K").append(std::to_string(i)), i);
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        auto* previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 4096;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const SettingsResult r = f.store.saveFile();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        EXPECT_FALSE(r);
        EXPECT_NE(r.message.find("Can't save the settings file"), std::string::npos);
        EXPECT_TRUE(f.store.dirty());
        EXPECT_EQ(TestSupport::readBytes(path), before);
        EXPECT_EQ(entries(), 1);
        const auto log = messagesSince(f.log, 0);
        EXPECT_EQ(log.back(), r.message);
    }

    // A folder where the file should be.
    const std::string folder = f.dir.file("folder.qcf");
    fs::create_directory(folder);
    EXPECT_FALSE(f.store.saveFileAs(folder));
    EXPECT_TRUE(fs::is_directory(folder));

    // A parent that is a file.
    EXPECT_FALSE(f.store.saveFileAs(path + "/inner.qcf"));
    EXPECT_EQ(TestSupport::readBytes(path), before);

    // Empty path.
    f.store.setFilePath("");
    const SettingsResult empty = f.store.saveFile();
    EXPECT_FALSE(empty);
    EXPECT_EQ(empty.message, "File name is empty, cannot save. Tell Dorvik about that ASAP");
}

TEST(QcfFile, SaveThroughALinkKeepsTheLinkAndThePermissions) {
    Files f;
    const std::string target = f.dir.file("real.qcf");
    TestSupport::writeBytes(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    const std::string link = f.dir.file("link.qcf");
    fs::create_symlink(target, link);
    f.store.setDecimal("A", 1);
    ASSERT_TRUE(f.store.saveFileAs(link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(TestSupport::readBytes(target), kHeader + "D.A=1\r\n");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace TVR
