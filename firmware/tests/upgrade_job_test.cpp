#include "upgrade_job.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "apilog.h"
#include "download_server.h"
#include "fx3.h"
#include "sim_driver.h"
#include "sim_images.h"
#include "sim_upgrade.h"
#include "test_server.h"
#include "usb_ids.h"
#include "vendor_requests.h"

namespace TVR {
namespace {

namespace fs = std::filesystem;

template <typename Pred>
bool eventually(Pred pred) {
    for (int i = 0; i < 5000; ++i) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pred();
}

UpgradeTiming fastTiming() {
    UpgradeTiming t;
    t.pollPeriod = std::chrono::milliseconds(2);
    t.bootWait = std::chrono::milliseconds(15);
    t.reconnectSettle = std::chrono::milliseconds(1);
    t.reconnectRetry = std::chrono::milliseconds(10);
    t.bootLoaderRound = std::chrono::milliseconds(10);
    t.autoClose = std::chrono::milliseconds(10);
    return t;
}

// Every reading is an hour after the one before, so each status poll sees the FPGA's
// configuration a full stage further: verdicts do not depend on how fast the host is.
Sim::SimClock leapingClock() {
    auto ticks = std::make_shared<std::atomic<int64_t>>(0);
    const auto base = std::chrono::steady_clock::now();
    return [ticks, base] { return base + std::chrono::hours(ticks->fetch_add(1) + 1); };
}

struct Recorder : UpgradeObserver {
    void logText(const std::string& text) override {
        std::lock_guard lock(mutex);
        log += text;
        if (job != nullptr) updatesAt.emplace_back(text, job->statusUpdates());
        if (holdAfter && !holdSeen && text == *holdAfter) holdSeen = true;
        if (holdSeen && text == holdUntil) held = false;
        changedCv.notify_all();
    }
    void progress(int percent) override {
        std::lock_guard lock(mutex);
        progressValues.push_back(percent);
    }
    void fpgaStatus(uint16_t status, uint16_t changed) override {
        std::unique_lock lock(mutex);
        if (changed == 0 || static_cast<uint16_t>(status ^ shown) != changed) {
            badIndicatorUpdate = true;
        }
        shown = status;
        ++indicatorUpdates;
        // Keeps the status thread from delivering another update until the worker reacted
        // (bounded only so that a broken job cannot hang the test).
        if (holdSeen && held && (status & holdMask) != 0) {
            changedCv.wait_for(lock, std::chrono::seconds(10), [this] { return !held; });
        }
    }
    void clearIndicators() override {
        std::lock_guard lock(mutex);
        shown = 0;
    }
    void finished(bool success) override {
        std::lock_guard lock(mutex);
        finishedCalls.push_back(success);
    }
    std::string text() const {
        std::lock_guard lock(mutex);
        return log;
    }
    uint64_t updatesAtLine(const std::string& line) const {
        std::lock_guard lock(mutex);
        for (const auto& [text, n] : updatesAt) {
            if (text == line) return n;
        }
        return UINT64_MAX;
    }

    mutable std::mutex mutex;
    std::condition_variable changedCv;
    const UpgradeJob* job = nullptr;
    // Holding the status thread: after the line holdAfter, an update with a bit of holdMask
    // waits until the line holdUntil arrives.
    std::optional<std::string> holdAfter;
    std::string holdUntil;
    uint16_t holdMask = 0;
    bool holdSeen = false;
    bool held = true;
    std::string log;
    std::vector<std::pair<std::string, uint64_t>> updatesAt;
    std::vector<int> progressValues;
    std::vector<bool> finishedCalls;
    uint16_t shown = 0;
    int indicatorUpdates = 0;
    bool badIndicatorUpdate = false;
};

struct Answers : UpgradeQuestions {
    explicit Answers(bool yes) : answer(yes) {}
    bool ask(const std::string& t, const std::string& q, bool defaultYes) override {
        title = t;
        question = q;
        asked = true;
        askedDefaultYes = defaultYes;
        return answer;
    }
    bool answer;
    bool asked = false;
    bool askedDefaultYes = true;
    std::string title;
    std::string question;
};

struct TempDir {
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tvr-upgrade-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string file = (fs::path(path) / name).string();
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return file;
    }
    std::string path;
};

struct Camera {
    explicit Camera(Sim::SimUpgradeConfig config = {}) {
        config.resetMs = 5;
        if (config.eraseMs == Sim::SimUpgradeConfig{}.eraseMs) config.eraseMs = 2;
        config.configStageMs = 1;
        camera->setFirmware(firmware);
        upgrade = Sim::SimUpgrade::install(driver, camera, config);
        EXPECT_TRUE(eventually([this] {
            return fx3.deviceCount() == 1 && fx3.selectDevice(0) &&
                   fx3.bootLoaderRunning() == !upgrade->config().flashValid;
        }));
        camera->clearRequests();
    }
    static Sim::SimUpgradeConfig inBootLoader() {
        Sim::SimUpgradeConfig c;
        c.flashValid = false;
        return c;
    }

    Sim::SimDriver driver;
    std::shared_ptr<Sim::SimCamera> camera = driver.addCamera();
    std::shared_ptr<Sim::SimCameraFirmware> firmware = std::make_shared<Sim::SimCameraFirmware>();
    std::shared_ptr<Sim::SimUpgrade> upgrade;
    FX3 fx3{driver, false, 200};
};

struct UpgradeRun {
    UpgradeRun(FX3& fx3, UpgradeTarget target, const std::string& file, bool ramOnly = false) {
        UpgradeOptions o;
        o.target = target;
        o.source = ImageSource::LocalFile;
        o.path = file;
        o.ramOnly = ramOnly;
        o.timing = fastTiming();
        job = std::make_unique<UpgradeJob>(fx3, o, recorder);
        recorder.job = job.get();
    }
    bool finish() {
        job->start();
        return job->waitFinished();
    }

    Recorder recorder;
    std::unique_ptr<UpgradeJob> job;
};

bool contains(const std::string& log, const std::string& part) {
    return log.find(part) != std::string::npos;
}

// A returning camera may need more than one reconnect attempt; the log with each successful
// series of attempts written as "<reconnected>".
std::string reconnectsFolded(const std::string& log) {
    static const std::regex series(
        "(Reconnect attempt #[0-9]+\\.\\.\\. Timed out\r\n)*"
        "Reconnect attempt #[0-9]+\\.\\.\\. OK\r\n");
    return std::regex_replace(log, series, "<reconnected>\r\n");
}

TEST(UpgradeJob, FpgaUpgradeConfiguresTheNewBuildAndReportsIt) {
    Sim::SimUpgradeConfig cfg;
    cfg.clock = leapingClock();
    Camera cam(cfg);
    TempDir dir;
    const auto image = Sim::buildSimFpgaImage(77);
    const std::string file = dir.write("fpga.bin", image);

    UpgradeRun run(cam.fx3, UpgradeTarget::Fpga, file);
    ASSERT_TRUE(run.finish());
    run.job.reset();

    EXPECT_EQ(cam.firmware->fpgaVersion(), Sim::simFpgaVersionForBuild(77));
    ASSERT_TRUE(cam.fx3.connected());
    const std::string expected =
        "Firmware upgrade for FPGA\r\n"
        "Loading firmware file (" +
        std::to_string(image.size()) + " bytes) from file://" + file +
        "... OK\r\n"
        "Increase control EP's timeout to 750ms\r\n"
        "Programming the firmware\r\n"
        "Stopping audio/video streaming... OK\r\n"
        "Switching FPGA into Update Mode... OK\r\n"
        "Erasing FPGA SPI Flash... OK\r\n"
        "Loading the firmware onto FPGA... OK\r\n"
        "Resetting FX3 to initialize the new firmware code... OK\r\n"
        "<reconnected>\r\n"
        "\r\nFirmware upgrade succeeded\r\n"
        "\r\nNew version is: " +
        cam.fx3.versionFPGA().shortText() +
        "\r\n"
        "\r\nThis window will auto-close in 30 seconds... ";
    EXPECT_EQ(reconnectsFolded(run.recorder.text()), expected);
    EXPECT_EQ(run.recorder.progressValues, (std::vector<int>{5, 10, 12, 45, 85, 100}));
    EXPECT_EQ(run.recorder.finishedCalls, std::vector<bool>{true});
    EXPECT_GT(run.recorder.indicatorUpdates, 0);
    EXPECT_FALSE(run.recorder.badIndicatorUpdate);
    // The whole image went in one bulk transfer.
    EXPECT_EQ(cam.upgrade->programmingWrites(), 1u);
}

TEST(UpgradeJob, ServerImageIsDownloadedWithTheReleaseSize) {
    const auto image = Sim::buildSimFpgaImage(88);
    FirmwareTest::TestServer server;
    const std::string body(image.begin(), image.end());
    server.http().Get("/fw/fpga.bin", [&body](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, "application/octet-stream");
    });
    ASSERT_TRUE(server.start());

    Sim::SimUpgradeConfig cfg;
    cfg.clock = leapingClock();
    for (const bool sizeRight : {false, true}) {
        Camera cam(cfg);
        UpgradeOptions o;
        o.target = UpgradeTarget::Fpga;
        o.source = ImageSource::Server;
        o.serverBase = server.baseUrl();
        o.path = "/fw/fpga.bin";
        o.size = static_cast<int64_t>(image.size()) + (sizeRight ? 0 : 1);
        o.timing = fastTiming();
        Recorder recorder;
        UpgradeJob job(cam.fx3, o, recorder);
        job.start();
        EXPECT_EQ(job.waitFinished(), sizeRight);
        const std::string log = recorder.text();
        const std::string loading = "Loading firmware file (" + std::to_string(o.size) +
                                    " bytes) from " + DownloadServer(o.serverBase).url(o.path) +
                                    "... ";
        if (sizeRight) {
            EXPECT_TRUE(contains(log, loading + "OK\r\n")) << log;
            EXPECT_EQ(cam.firmware->fpgaVersion(), Sim::simFpgaVersionForBuild(88));
        } else {
            EXPECT_TRUE(contains(log, loading +
                                          "Error\r\n"
                                          "Number of bytes read doesn't match the file size\r\n"
                                          "Please check your connection and try again\r\n"))
                << log;
        }
    }
}

TEST(UpgradeJob, FpgaEraseErrorStopsAtTheEraseStepWithinOneTick) {
    Sim::SimUpgradeConfig cfg;
    cfg.clock = leapingClock();
    cfg.eraseError = true;
    Camera cam(cfg);
    const uint32_t timeoutBefore = cam.fx3.setControlTimeout(200);
    TempDir dir;
    UpgradeRun run(cam.fx3, UpgradeTarget::Fpga, dir.write("fpga.bin", Sim::buildSimFpgaImage(5)));
    run.recorder.holdAfter = "Erasing FPGA SPI Flash... ";
    run.recorder.holdUntil = "Error\r\n";
    run.recorder.holdMask = Sim::SimConfigBit::kEraseError;
    EXPECT_FALSE(run.finish());

    const std::string log = run.recorder.text();
    EXPECT_TRUE(contains(log,
                         "Erasing FPGA SPI Flash... Error\r\nError\r\n"
                         "\r\nFirmware upgrade failed\r\n"
                         "\r\nThis window will auto-close in 30 seconds... "))
        << log;
    EXPECT_FALSE(contains(log, "Loading the firmware onto FPGA"));
    EXPECT_FALSE(contains(log, "New version is"));
    // The first status update showing the error ends the wait. One update read before the
    // erase began may come first.
    const uint64_t before = run.recorder.updatesAtLine("Erasing FPGA SPI Flash... ");
    const uint64_t after = run.recorder.updatesAtLine("Error\r\n");
    ASSERT_NE(after, UINT64_MAX);
    EXPECT_LE(after - before, 2u);
    EXPECT_EQ(run.recorder.progressValues.back(), 45);
    EXPECT_EQ(run.recorder.finishedCalls, std::vector<bool>{false});
    run.job.reset();
    // The control endpoint has its previous time-out back.
    EXPECT_EQ(cam.fx3.setControlTimeout(timeoutBefore), 200u);
}

TEST(UpgradeJob, FpgaConfigDoneWithCrcErrorIsNoSuccess) {
    Sim::SimUpgradeConfig cfg;
    cfg.clock = leapingClock();
    cfg.crcError = true;
    Camera cam(cfg);
    const uint32_t before = cam.firmware->fpgaVersion();
    TempDir dir;
    UpgradeRun run(cam.fx3, UpgradeTarget::Fpga, dir.write("fpga.bin", Sim::buildSimFpgaImage(9)));
    EXPECT_FALSE(run.finish());
    run.job.reset();

    const std::string log = run.recorder.text();
    EXPECT_TRUE(contains(log,
                         "Loading the firmware onto FPGA... Error\r\n"
                         "The upload returned a success but there were errors\r\n"
                         "Please check status indicators for extended information on the error\r\n"
                         "Error\r\n\r\nFirmware upgrade failed\r\n"))
        << log;
    EXPECT_FALSE(contains(log, "Resetting FX3"));
    // The indicators end showing both "Config done" and "CRC error".
    EXPECT_NE(run.recorder.shown & kFpgaConfigDoneBit, 0);
    EXPECT_NE(run.recorder.shown & (1u << 15), 0u);
    EXPECT_EQ(fpgaStatusName(15), "CRC error");
    EXPECT_EQ(cam.firmware->fpgaVersion(), before);
}

TEST(UpgradeJob, FpgaUnplugDuringTheTransferFails) {
    Sim::SimUpgradeConfig cfg;
    cfg.clock = leapingClock();
    cfg.unplugAtWrite = 0;
    Camera cam(cfg);
    TempDir dir;
    UpgradeRun run(cam.fx3, UpgradeTarget::Fpga, dir.write("fpga.bin", Sim::buildSimFpgaImage(9)));
    EXPECT_FALSE(run.finish());
    EXPECT_TRUE(contains(run.recorder.text(),
                         "Loading the firmware onto FPGA... Error\r\nError\r\n"
                         "\r\nFirmware upgrade failed\r\n"));
}

// The RAM-only load from a camera already in its boot loader; the program comes back under the
// runtime's path, not the boot loader's the job recorded.
TEST(UpgradeJob, RamImageWithWrongChecksumIsRefusedBeforeTheStart) {
    Camera cam(Camera::inBootLoader());
    TempDir dir;
    const auto image = Sim::buildSimFx3Image(44, true);
    UpgradeRun run(cam.fx3, UpgradeTarget::Fx3, dir.write("fx3.img", image), true);
    EXPECT_FALSE(run.finish());
    run.job.reset();

    const std::string log = run.recorder.text();
    EXPECT_TRUE(contains(log,
                         "BootLoader running...... OK\r\n"
                         "Programming FX3 RAM... Error\r\nError\r\n"))
        << log;
    std::string error;
    const auto info = Sim::parseSimFx3Image(image, error);
    ASSERT_TRUE(info);
    size_t pieces = 0;
    for (const auto& s : info->sections)
        pieces += (s.length + FX3::kBootLoaderChunk - 1) / FX3::kBootLoaderChunk;
    size_t writes = 0;
    size_t starts = 0;
    for (const auto& r : cam.camera->requests()) {
        if (r.kind != Sim::SimRequestRecord::Kind::Control || r.setup.bRequest != VR_BOOTLOADER ||
            r.setup.isIn()) {
            continue;
        }
        (r.setup.wLength == 0 ? starts : writes) += 1;
    }
    EXPECT_EQ(writes, pieces);
    EXPECT_EQ(starts, 0u);
    EXPECT_TRUE(cam.upgrade->bootLoaderRunning());
}

TEST(UpgradeJob, AlternativeAttemptFindsAMovedCameraOnlyWhenTheCountIsUnchanged) {
    {
        Camera cam(Camera::inBootLoader());
        const std::string bootLoaderPath = cam.driver.pathOf(*cam.camera);
        TempDir dir;
        UpgradeRun run(cam.fx3, UpgradeTarget::Fx3, dir.write("fx3.img", Sim::buildSimFx3Image(61)),
                       true);
        EXPECT_TRUE(run.finish());
        run.job.reset();
        const std::string log = run.recorder.text();
        EXPECT_NE(cam.driver.pathOf(*cam.camera), bootLoaderPath);
        EXPECT_TRUE(contains(log,
                             "Reconnect attempt #11... Timed out\r\n"
                             "Alternative connection attempt... OK\r\n"))
            << log;
        EXPECT_TRUE(cam.fx3.connected());
        EXPECT_TRUE(cam.upgrade->runningFromRam());
        EXPECT_EQ(cam.fx3.versionFX3().shortText().empty(), false);
        EXPECT_EQ(cam.firmware->fx3Version(), Sim::simFx3VersionForBuild(61));
    }
    {
        Camera cam(Camera::inBootLoader());
        TempDir dir;
        UpgradeOptions o;
        o.target = UpgradeTarget::Fx3;
        o.path = dir.write("fx3.img", Sim::buildSimFx3Image(62));
        o.ramOnly = true;
        o.timing = fastTiming();
        Recorder recorder;
        UpgradeJob job(cam.fx3, o, recorder);
        // A second camera arrives after the job recorded the count.
        cam.driver.addCamera();
        job.start();
        EXPECT_TRUE(job.waitFinished());
        const std::string log = recorder.text();
        EXPECT_TRUE(contains(log,
                             "Reconnect attempt #11... Timed out\r\n"
                             "Too many attempts to reconnect, giving up now\r\n"))
            << log;
        EXPECT_FALSE(contains(log, "Alternative connection attempt"));
    }
}

TEST(UpgradeJob, Fx3FromTheBootLoaderBootstrapsThenProgramsTheFlash) {
    Camera cam(Camera::inBootLoader());
    TempDir dir;
    const auto image = Sim::buildSimFx3Image(333);
    UpgradeRun run(cam.fx3, UpgradeTarget::Fx3, dir.write("fx3.img", image));
    EXPECT_TRUE(run.finish());
    run.job.reset();

    const std::string log = reconnectsFolded(run.recorder.text());
    EXPECT_TRUE(contains(log,
                         "Programming the firmware\r\n"
                         "Bootstraping Tavro runtime... OK\r\n"
                         "<reconnected>\r\n"
                         "Enable SPI flash for writing... OK\r\n"
                         "Programming FX3 SPI Flash device... OK\r\n"
                         "Resetting FX3 to initialize the new firmware code... OK\r\n"
                         "<reconnected>\r\n"
                         "\r\nFirmware upgrade succeeded\r\n"))
        << log;
    EXPECT_FALSE(contains(log, "Stopping audio/video streaming"));
    EXPECT_TRUE(cam.fx3.connected());
    EXPECT_FALSE(cam.fx3.bootLoaderRunning());
    EXPECT_FALSE(cam.upgrade->runningFromRam());
    EXPECT_EQ(cam.firmware->fx3Version(), Sim::simFx3VersionForBuild(333));
    EXPECT_EQ(cam.upgrade->flash(0, static_cast<uint32_t>(image.size())), image);
    EXPECT_TRUE(contains(log, "New version is: " + cam.fx3.versionFX3().shortText() + "\r\n"));
    EXPECT_EQ(run.recorder.progressValues.back(), 100);
}

TEST(UpgradeJob, RamOnlyRestoresTheBootLoaderAndEndsConnected) {
    Camera cam;
    TempDir dir;
    UpgradeRun run(cam.fx3, UpgradeTarget::Fx3, dir.write("fx3.img", Sim::buildSimFx3Image(200)),
                   true);
    EXPECT_TRUE(run.finish());
    run.job.reset();

    const std::string log = reconnectsFolded(run.recorder.text());
    EXPECT_TRUE(contains(log,
                         "Stopping audio/video streaming... OK\r\n"
                         "Restore BootLoader... OK\r\n"
                         "Programming FX3 RAM... OK\r\n"
                         "Initializing the new firmware code... OK\r\n"
                         "<reconnected>\r\n"))
        << log;
    EXPECT_EQ(run.recorder.progressValues, (std::vector<int>{5, 10, 20, 25, 85, 100}));
    EXPECT_TRUE(cam.fx3.connected());
    EXPECT_TRUE(cam.upgrade->runningFromRam());
    EXPECT_EQ(cam.firmware->fx3Version(), Sim::simFx3VersionForBuild(200));
}

TEST(UpgradeJob, FlashProgrammingFaultsFail) {
    // The camera leaves during a page write; or its erase status stalls after the busy phase.
    for (const bool unplug : {true, false}) {
        Sim::SimUpgradeConfig cfg;
        if (unplug) cfg.unplugAtWrite = 3;
        cfg.eraseError = !unplug;
        Camera cam(cfg);
        TempDir dir;
        UpgradeRun run(cam.fx3, UpgradeTarget::Fx3,
                       dir.write("fx3.img", Sim::buildSimFx3Image(12)));
        EXPECT_FALSE(run.finish());
        run.job.reset();
        const std::string log = run.recorder.text();
        EXPECT_TRUE(contains(log,
                             "Programming FX3 SPI Flash device... Error\r\nError\r\n"
                             "\r\nFirmware upgrade failed\r\n"))
            << log;
        EXPECT_FALSE(contains(log, "Reconnect attempt"));
        EXPECT_EQ(cam.fx3.deviceCount(), unplug ? 0 : 1);
        if (unplug) {
            EXPECT_EQ(cam.upgrade->programmingWrites(), 4u);
        }
    }
}

TEST(UpgradeJob, CancelAsksAndAbortsOnlyOnYes) {
    Sim::SimUpgradeConfig cfg;
    cfg.eraseMs = 3'600'000;  // the FPGA erase outlasts the test
    Camera cam(cfg);
    TempDir dir;
    UpgradeOptions o;
    o.target = UpgradeTarget::Fpga;
    o.path = dir.write("fpga.bin", Sim::buildSimFpgaImage(3));
    o.timing = fastTiming();
    // The real tick: the erase wait would give up only after 20 s, the cancel comes at once.
    o.timing.pollPeriod = std::chrono::milliseconds(250);
    Recorder recorder;
    UpgradeJob job(cam.fx3, o, recorder);
    job.start();
    ASSERT_TRUE(
        eventually([&] { return contains(recorder.text(), "Erasing FPGA SPI Flash... "); }));

    Answers no(false);
    EXPECT_FALSE(job.requestClose(no));
    EXPECT_TRUE(no.asked);
    EXPECT_EQ(no.title, "Warning!");
    EXPECT_EQ(no.question,
              "Firmware upgrade is in progress. Interrupting it may lead to unexpected results. "
              "Are you sure you want to canel?");
    EXPECT_TRUE(job.inProgress());

    const size_t messagesBefore = ApiLog::instance().messageCount();
    Answers yes(true);
    EXPECT_TRUE(job.requestClose(yes));
    EXPECT_FALSE(job.inProgress());
    EXPECT_FALSE(job.waitFinished());
    EXPECT_FALSE(job.result().has_value());
    const std::string log = recorder.text();
    EXPECT_TRUE(contains(log,
                         "Erasing FPGA SPI Flash... Firmware upgrade procedure aborted by "
                         "user, the device may have been left in an unknown state!\r\n"))
        << log;
    EXPECT_FALSE(contains(log, "Firmware upgrade failed"));
    EXPECT_GT(ApiLog::instance().messageCount(), messagesBefore);

    // After the procedure, closing asks nothing.
    Answers unused(false);
    EXPECT_TRUE(job.requestClose(unused));
    EXPECT_FALSE(unused.asked);
}

TEST(UpgradeJob, LocalFileChecksAndQuestions) {
    TempDir dir;
    const std::string small = dir.write("small.img", std::vector<uint8_t>(1000, 1));
    const std::string fx3 = dir.write("fx3.img", std::vector<uint8_t>(102400, 1));
    EXPECT_FALSE(checkDroppedImage(fx3, UpgradeTarget::Fx3));
    const auto tooSmall = checkDroppedImage(small, UpgradeTarget::Fx3);
    ASSERT_TRUE(tooSmall);
    EXPECT_EQ(tooSmall->title, "FX3 firmware upload");
    EXPECT_EQ(tooSmall->text, "The FX3 image file is corrupt or inaccessible");
    const auto fpga = checkDroppedImage(fx3, UpgradeTarget::Fpga);
    ASSERT_TRUE(fpga);
    EXPECT_EQ(fpga->title, "FPGA firmware upload");
    EXPECT_EQ(fpga->text, "The FPGA image file is corrupt or inaccessible");
    EXPECT_TRUE(checkDroppedImage(dir.path + "/missing.bin", UpgradeTarget::Fx3));
    EXPECT_TRUE(checkDroppedImage(dir.path, UpgradeTarget::Fx3));

    Answers no(false);
    EXPECT_TRUE(confirmServerUpgrade(10, 11, no));
    EXPECT_FALSE(no.asked);
    EXPECT_FALSE(confirmServerUpgrade(10, 10, no));
    EXPECT_EQ(no.question, "Downgrading firmware to version 10.\nClick YES to proceed");
    EXPECT_EQ(no.title, "Confirmation");
    EXPECT_FALSE(no.askedDefaultYes);

    // An empty local file fails at the load step, before the camera is touched.
    Camera cam;
    const std::string empty = dir.write("empty.bin", {});
    UpgradeRun run(cam.fx3, UpgradeTarget::Fpga, empty);
    EXPECT_FALSE(run.finish());
    const std::string log = run.recorder.text();
    EXPECT_TRUE(contains(log,
                         "Firmware upgrade for FPGA\r\nError\r\n"
                         "Please make sure the file is accessible and try again\r\n"
                         "\r\nFirmware upgrade failed\r\n"))
        << log;
    EXPECT_FALSE(contains(log, "Increase control EP's timeout"));
}

}  // namespace
}  // namespace TVR
