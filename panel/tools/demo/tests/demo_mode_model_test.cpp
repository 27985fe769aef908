#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/vendor_requests.h"
#include "session/tests/session_test_helpers.h"
#include "settings/preferences.h"
#include "settings/settings_store.h"
#include "test_support.h"
#include "tools/demo/demo_mode_model.h"

namespace TVR {
namespace {

using SessionTest::SessionRig;

// Two settings files that differ in the red LED, saved from the simulated camera.
struct DemoRig {
    DemoRig() {
        EXPECT_TRUE(rig.session->readAllForFile());
        rig.session->store().setHex("LED_R", kRedA);
        EXPECT_TRUE(rig.session->saveFileAs(fileA));
        rig.session->store().setHex("LED_R", kRedB);
        EXPECT_TRUE(rig.session->saveFileAs(fileB));
    }
    DemoLoader loader() {
        return [this](const std::string& path, std::string& error) {
            loaded.push_back(path);
            const LoadResult r = rig.session->loadSettingsAndPush(path);
            if (!r.result) error = r.result.message;
            return static_cast<bool>(r.result);
        };
    }
    uint8_t red() { return rig.firmware().fpgaRegister(FpgaReg::kLedRedLow); }

    static constexpr int kRedA = 0x21;
    static constexpr int kRedB = 0x42;
    SessionRig rig;
    TestSupport::TempFolder dir;
    std::string fileA = dir.file("a.qcf");
    std::string fileB = dir.file("b.qcf");
    std::vector<std::string> loaded;
};

void tickTimes(DemoModeModel& model, int n) {
    for (int i = 0; i < n; ++i) model.tick();
}

TEST(DemoModeModel, PlaysTheListInALoopCountingEachDurationDown) {
    DemoRig d;
    DemoModeModel model(d.loader(), d.rig.log);
    model.setScript(d.fileA + " | 0.5\n" + d.fileB + " | 2.55\n");
    ASSERT_TRUE(model.playEnabled());
    ASSERT_TRUE(model.play());
    EXPECT_FALSE(model.scriptEnabled());
    EXPECT_TRUE(model.stopEnabled());
    EXPECT_FALSE(model.progressPaused());
    EXPECT_EQ(d.red(), DemoRig::kRedA);
    EXPECT_EQ(model.progressMaximum(), 5);
    EXPECT_EQ(model.progressPosition(), 5);
    EXPECT_EQ(model.statusText(), d.fileA + "\nDuration: 0.5s");

    tickTimes(model, 4);
    EXPECT_EQ(model.progressPosition(), 1);
    EXPECT_EQ(model.current(), 0u);
    model.tick();
    EXPECT_EQ(model.current(), 1u);
    EXPECT_EQ(d.red(), DemoRig::kRedB);
    // 2.55 s: a range of 1..25, shown as 2.5 s.
    EXPECT_EQ(model.progressMaximum(), 25);
    EXPECT_EQ(model.statusText(), d.fileB + "\nDuration: 2.5s");

    tickTimes(model, 25);
    EXPECT_EQ(model.current(), 0u);
    EXPECT_EQ(d.red(), DemoRig::kRedA);
    EXPECT_EQ(d.loaded, (std::vector<std::string>{d.fileA, d.fileB, d.fileA}));
    EXPECT_EQ(model.failedLoads(), 0u);
}

TEST(DemoModeModel, OneLineCannotBePlayed) {
    DemoRig d;
    DemoModeModel model(d.loader(), d.rig.log);
    model.setScript(d.fileA + " | 5");
    EXPECT_EQ(model.entries().size(), 1u);
    EXPECT_FALSE(model.playEnabled());
    EXPECT_FALSE(model.play());
    EXPECT_TRUE(d.loaded.empty());
}

TEST(DemoModeModel, AMissingFileIsReportedAndSkippedWithoutStoppingTheLoop) {
    DemoRig d;
    const std::string missing = d.dir.file("gone.qcf");
    DemoModeModel model(d.loader(), d.rig.log);
    size_t failures = 0;
    model.setEntryObserver([&](const DemoEntry&, bool loaded, const std::string& error) {
        if (!loaded) {
            ++failures;
            EXPECT_FALSE(error.empty());
        }
    });
    model.setScript(d.fileA + " | 0.5\n" + missing + " | 5\n" + d.fileB + " | 0.5");
    ASSERT_TRUE(model.play());
    tickTimes(model, 5);
    // The missing file was tried and skipped at once: the third entry plays its own time.
    EXPECT_EQ(model.current(), 2u);
    EXPECT_EQ(d.red(), DemoRig::kRedB);
    EXPECT_EQ(failures, 1u);
    EXPECT_TRUE(model.playing());
    const auto messages = messagesSince(d.rig.log, 0);
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [&](const std::string& m) {
        return m.find(missing) != std::string::npos && m.find("skipped") != std::string::npos;
    }));
    tickTimes(model, 5);
    EXPECT_EQ(model.current(), 0u);
    EXPECT_EQ(model.failedLoads(), 1u);
}

TEST(DemoModeModel, AListOfMissingFilesWaitsInsteadOfSpinning) {
    DemoRig d;
    DemoModeModel model(d.loader(), d.rig.log);
    model.setScript(d.dir.file("x.qcf") + " | 1\n" + d.dir.file("y.qcf") + " | 1");
    ASSERT_TRUE(model.play());
    EXPECT_EQ(model.loads(), 2u);
    EXPECT_TRUE(model.playing());
    EXPECT_EQ(model.progressPosition(), 10);
    tickTimes(model, 9);
    EXPECT_EQ(model.loads(), 2u);
    model.tick();
    EXPECT_EQ(model.loads(), 4u);
    EXPECT_NE(model.statusText().find("Not loaded:"), std::string::npos);
}

TEST(DemoModeModel, StopResetsAndTheScriptIsKeptInThePreferences) {
    DemoRig d;
    Preferences prefs;
    {
        DemoModeModel model(d.loader(), d.rig.log, &prefs);
        model.addFiles({d.fileA, d.fileB});
        ASSERT_EQ(model.entries().size(), 2u);
        ASSERT_TRUE(model.play());
        tickTimes(model, 3);
        model.stop();
        EXPECT_FALSE(model.playing());
        EXPECT_TRUE(model.progressPaused());
        EXPECT_EQ(model.progressPosition(), 0);
        EXPECT_EQ(model.current(), 0u);
        EXPECT_TRUE(model.playEnabled());
        // A stopped model ignores stray ticks.
        const uint64_t loads = model.loads();
        tickTimes(model, 200);
        EXPECT_EQ(model.loads(), loads);
    }
    EXPECT_EQ(prefs.text(PreferenceName::kDemoScript),
              "\n" + d.fileA + " | 10\n" + d.fileB + " | 10");
    DemoModeModel again(d.loader(), d.rig.log, &prefs);
    EXPECT_EQ(again.entries().size(), 2u);
    EXPECT_TRUE(again.playEnabled());
}

}  // namespace
}  // namespace TVR
