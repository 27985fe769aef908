#include "tools/firmware/fw_upgrade_model.h"

#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "reply_server.h"
#include "sensor/img_sensor.h"
#include "sim/sim_firmware.h"
#include "sim/sim_images.h"
#include "test_support.h"

namespace TVR {
namespace {

using PanelTest::ReplyServer;

// Answers questions from a list (then "no"), remembering them.
struct Answers : UpgradeQuestions {
    bool ask(const std::string& title, const std::string& text, bool defaultYes) override {
        asked.push_back(title + "|" + text + (defaultYes ? "|yes" : "|no"));
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<bool> answers;
    std::vector<std::string> asked;
};

template <typename Record>
Record recordFor(uint32_t word) {
    Record r;
    const uint8_t bytes[4] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                              static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
    r.load(bytes);
    return r;
}

const VersionInfoFX3 kFx3 = recordFor<VersionInfoFX3>(Sim::simFx3VersionForBuild(105));
const VersionInfoFPGA kFpga = recordFor<VersionInfoFPGA>(Sim::simFpgaVersionForBuild(90));

TEST(FwUpgradeDlgModel, SourcesStartAtThePreferenceAndLocalFilesNeedAPath) {
    const auto names = FwUpgradeDlgModel::sourceNames();
    ASSERT_EQ(names.size(), 8u);
    EXPECT_EQ(names[0], "Local file");
    EXPECT_EQ(names[4], "Rel. candidate");
    EXPECT_EQ(names[7], "Bugfix");
    EXPECT_EQ(FwUpgradeDlgModel::fileFilter(UpgradeTarget::Fx3),
              "FX3 image file (*.img);;All files (*.*)");
    EXPECT_EQ(FwUpgradeDlgModel::fileFilter(UpgradeTarget::Fpga),
              "FPGA image file (*.bin);;All files (*.*)");

    FwUpgradeDlgModel m(4);
    EXPECT_EQ(m.source(UpgradeTarget::Fx3), 4);
    EXPECT_EQ(m.releaseKind(UpgradeTarget::Fpga), 4);
    // A preference outside the kinds starts on the local file.
    EXPECT_EQ(FwUpgradeDlgModel(0).source(UpgradeTarget::Fx3), 0);
    EXPECT_EQ(FwUpgradeDlgModel(9).source(UpgradeTarget::Fpga), 0);

    m.setSource(UpgradeTarget::Fpga, FwUpgradeDlgModel::kLocalFileSource);
    EXPECT_FALSE(m.canUpgrade(UpgradeTarget::Fpga));
    m.setLocalPath(UpgradeTarget::Fpga, "/tmp/new.bin");
    ASSERT_TRUE(m.canUpgrade(UpgradeTarget::Fpga));
    Answers none;
    const auto job = m.job(UpgradeTarget::Fpga, 90, none, "http://x/", UpgradeTiming{});
    ASSERT_TRUE(job);
    EXPECT_EQ(job->source, ImageSource::LocalFile);
    EXPECT_EQ(job->path, "/tmp/new.bin");
    EXPECT_FALSE(job->ramOnly);
    EXPECT_TRUE(none.asked.empty());
    // The other target keeps its own choice.
    EXPECT_FALSE(m.canUpgrade(UpgradeTarget::Fx3));
}

TEST(FwUpgradeDlgModel, ServerListsAreNewestFirstAndDowngradesAsk) {
    ReplyServer server;
    server.reply("/cgi-bin/ver.php",
                 "fx3:5:31:fw/a.img:245760\nfx3:5:33:fw/b.img:245800\n"
                 "fpga:5:44:x.bin:3500000\n");
    ASSERT_TRUE(server.start());
    const DownloadServer base(server.url());

    FwUpgradeDlgModel m(5);
    ReleaseList list = fetchFwReleases(kFx3, 5, base);
    ASSERT_EQ(server.targets().size(), 1u);
    EXPECT_EQ(server.targets()[0], "/cgi-bin/ver.php?type=fx3&vid=1&hwid=1&pid=4&rel=5");
    std::string error;
    ASSERT_TRUE(m.setReleases(UpgradeTarget::Fx3, 5, std::move(list), &error));
    // The FPGA piece in the FX3 list names nothing to load.
    EXPECT_EQ(m.releaseLabels(UpgradeTarget::Fx3),
              (std::vector<std::string>{"v.33: Release", "v.31: Release"}));
    EXPECT_EQ(m.selectedRelease(UpgradeTarget::Fx3), 0);
    EXPECT_EQ(m.path(UpgradeTarget::Fx3), "fw/b.img");

    // Both builds are below the camera's 105: "no" (the default) cancels, "yes" makes the job.
    m.selectRelease(UpgradeTarget::Fx3, 1);
    Answers answers;
    EXPECT_FALSE(m.job(UpgradeTarget::Fx3, 105, answers, base.baseAddress(), UpgradeTiming{}));
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0],
              "Confirmation|Downgrading firmware to version 31.\nClick YES to proceed|no");
    answers.answers = {true};
    const auto job = m.job(UpgradeTarget::Fx3, 105, answers, base.baseAddress(), UpgradeTiming{});
    ASSERT_TRUE(job);
    EXPECT_EQ(job->source, ImageSource::Server);
    EXPECT_EQ(job->path, "fw/a.img");
    EXPECT_EQ(job->size, 245760);
    EXPECT_EQ(job->serverBase, server.url());
    // The same build asks too; a newer one does not.
    Answers quiet;
    EXPECT_FALSE(m.job(UpgradeTarget::Fx3, 31, quiet, base.baseAddress(), UpgradeTiming{}));
    EXPECT_EQ(quiet.asked.size(), 1u);
    EXPECT_TRUE(m.job(UpgradeTarget::Fx3, 30, quiet, base.baseAddress(), UpgradeTiming{}));
    EXPECT_EQ(quiet.asked.size(), 1u);
}

TEST(FwUpgradeDlgModel, LateRepliesAndFetchErrors) {
    FwUpgradeDlgModel m(5);
    ReleaseList list;
    list.releases.push_back({5, 40, "fw/c.img", 245000});
    // The user went to another kind before the reply came: it is dropped.
    m.setSource(UpgradeTarget::Fx3, 2);
    EXPECT_FALSE(m.setReleases(UpgradeTarget::Fx3, 5, list, nullptr));
    EXPECT_TRUE(m.releases(UpgradeTarget::Fx3).empty());
    EXPECT_TRUE(m.setReleases(UpgradeTarget::Fx3, 2, list, nullptr));
    EXPECT_EQ(m.releases(UpgradeTarget::Fx3).size(), 1u);
    // Leaving the kind forgets its list.
    m.setSource(UpgradeTarget::Fx3, 3);
    EXPECT_TRUE(m.releases(UpgradeTarget::Fx3).empty());
    EXPECT_FALSE(m.canUpgrade(UpgradeTarget::Fx3));

    const ReleaseList failed = fetchFwReleases(kFx3, 3, DownloadServer(PanelTest::deadServerUrl()));
    ASSERT_FALSE(failed.error.empty());
    std::string error;
    EXPECT_FALSE(m.setReleases(UpgradeTarget::Fx3, 3, failed, &error));
    EXPECT_EQ(error.rfind("Failed to fetch hardware version info: [", 0), 0u) << error;
    EXPECT_FALSE(m.canUpgrade(UpgradeTarget::Fx3));
    // An unknown record asks nothing.
    EXPECT_TRUE(fetchFwReleases(VersionInfoFX3{}, 5, DownloadServer("http://127.0.0.1:9/"))
                    .releases.empty());
}

TEST(FwUpgradeLinks, ShownOnlyForANewerLatestRelease) {
    ReplyServer server;
    server.reply("/cgi-bin/latest.php", "fx3:5:120:fw/fx3-120.img:245760\n");
    ASSERT_TRUE(server.start());
    FwLinkCheck check = checkFwUpgradeLinks(kFx3, kFpga, 5, DownloadServer(server.url()));
    const auto asked = server.targets();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], "/cgi-bin/latest.php?fx3=1_1_4&rel=5");
    EXPECT_EQ(asked[1], "/cgi-bin/latest.php?fpga=1_1_4&rel=5");
    ASSERT_TRUE(check.fx3.visible);
    EXPECT_EQ(check.fx3.text, "Upgrade to v.120 (Release)");
    EXPECT_EQ(check.fx3.release.path, "fw/fx3-120.img");
    EXPECT_EQ(check.fx3.release.size, 245760);
    // The FPGA was offered an FX3 piece: nothing.
    EXPECT_FALSE(check.fpga.visible);

    LatestRelease same;
    same.release = {5, 105, "fw/same.img", 245760};
    EXPECT_FALSE(fwUpgradeLinkFor(kFx3, same).visible);
    same.release.build = 106;
    EXPECT_TRUE(fwUpgradeLinkFor(kFx3, same).visible);
    EXPECT_FALSE(fwUpgradeLinkFor(VersionInfoFX3{}, same).visible);

    // A failed fetch hides both and says why, once per record.
    check = checkFwUpgradeLinks(kFx3, kFpga, 4, DownloadServer(PanelTest::deadServerUrl()));
    EXPECT_FALSE(check.fx3.visible);
    EXPECT_FALSE(check.fpga.visible);
    ASSERT_EQ(check.errors.size(), 2u);
    EXPECT_EQ(check.errors[0].rfind("Failed to fetch hardware version info: [", 0), 0u);
}

// The progress window's model behind a real FPGA upgrade of the simulated camera.
TEST(FwUpgradeMonitor, CollectsAFullFpgaUpgradeForTheWindow) {
    TestSupport::SimCameraRig rig("cameras=1;config_ms=1;erase_ms=1;reset_ms=20");
    TestSupport::TempFolder folder;
    const std::string file = folder.write("fpga.bin", Sim::buildSimFpgaImage(95));

    FwUpgradeMonitor monitor;
    UpgradeOptions o;
    o.target = UpgradeTarget::Fpga;
    o.path = file;
    o.timing = UpgradeTiming::scaled(0.05);
    std::mutex mutex;
    FwMonitorChanges seen;
    uint16_t indicators = 0;
    bool everCleared = false;
    int notes = 0;
    // The window's way: take what changed whenever told, and redraw only that.
    auto look = [&] {
        std::lock_guard lock(mutex);
        ++notes;
        const FwMonitorChanges c = monitor.take();
        seen.text += c.text;
        seen.progress = c.progress;
        if (c.cleared) {
            indicators = 0;
            everCleared = true;
        }
        indicators = static_cast<uint16_t>((indicators & ~c.changed) | (c.status & c.changed));
        if (c.done) seen.done = c.done;
    };
    monitor.setNotify(look);
    {
        UpgradeJob job(*rig.sensor, o, monitor);
        job.start();
        ASSERT_TRUE(job.waitFinished());
    }
    monitor.setNotify({});
    look();
    ASSERT_EQ(seen.done, std::optional<bool>(true));
    EXPECT_EQ(monitor.outcome(), std::optional<bool>(true));
    EXPECT_EQ(seen.progress, 100);
    EXPECT_EQ(seen.text, monitor.log());
    EXPECT_NE(seen.text.find("Loading the firmware onto FPGA... OK"), std::string::npos);
    EXPECT_NE(seen.text.find("\r\nFirmware upgrade succeeded"), std::string::npos);
    EXPECT_GT(notes, 5);
    // The camera reset after the upload cleared the indicators.
    EXPECT_TRUE(everCleared);
    EXPECT_EQ(indicators & kFpgaErrorBits, 0);
    EXPECT_EQ(rig.firmware->fpgaVersion(), Sim::simFpgaVersionForBuild(95));
    // Nothing is delivered twice.
    const FwMonitorChanges after = monitor.take();
    EXPECT_TRUE(after.text.empty());
    EXPECT_FALSE(after.done);
    EXPECT_EQ(after.progress, 100);
}

}  // namespace
}  // namespace TVR
