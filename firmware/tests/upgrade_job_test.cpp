#include "upgrade_job.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
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
#include "protocol/vendor_requests.h"
#include "sim/sim_driver.h"
#include "sim/sim_images.h"
#include "sim/sim_upgrade.h"
#include "test_server.h"
#include "test_support.h"
#include "usb/usb_device.h"
#include "usb/usb_ids.h"

namespace TVR {
namespace {

namespace fs = std::filesystem;

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
        if (onText) onText(text);
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
    // Called on the worker with each text before it is recorded.
    std::function<void(const std::string&)> onText;
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
        EXPECT_TRUE(TestSupport::eventually([this] {
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
    ApiLog log;
    FX3 fx3{driver, log, false, 200};
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

// Requests that change a camera: boot-loader writes and start, flash erase and writes, reset,
// entering the boot loader.
size_t changingRequests(const Sim::SimCamera& camera) {
    size_t n = 0;
    for (const auto& r : camera.requests()) {
        if (r.kind != Sim::SimRequestRecord::Kind::Control || r.setup.isIn()) continue;
        switch (r.setup.bRequest) {
            case VR_BOOTLOADER:
            case VR_SPI_ERASE:
            case VR_SPI_WRITE:
            case VR_SPI_ENABLE:
            case VR_RESET:
            case VR_ENTER_BOOTLOADER:
                ++n;
                break;
            default:
                break;
        }
    }
    return n;
}

// A file that is no FX3 program (no "CY", cut short, wrong checksum) is refused after loading
// it, before any request that changes the camera, on every FX3 path: entering the boot loader
// would leave a camera whose flash no longer starts.
TEST(UpgradeJob, Fx3FilesThatAreNoProgramAreRefusedBeforeTheCameraIsChanged) {
    std::vector<uint8_t> junk(200000, 0x5A);
    std::vector<uint8_t> cut = Sim::buildSimFx3Image(45);
    cut.resize(cut.size() / 2);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* reason;
    } files[] = {
        {"junk.img", junk, "The image has no \"CY\" signature"},
        {"cut.img", cut, "The section at"},
        {"sum.img", Sim::buildSimFx3Image(44, true), "The image's checksum does not match"},
    };
    for (const auto& f : files) {
        for (const bool inBootLoader : {false, true}) {
            for (const bool ramOnly : {false, true}) {
                Camera cam(inBootLoader ? Camera::inBootLoader() : Sim::SimUpgradeConfig{});
                const uint32_t versionBefore = cam.firmware->fx3Version();
                TempDir dir;
                UpgradeRun run(cam.fx3, UpgradeTarget::Fx3, dir.write(f.name, f.bytes), ramOnly);
                EXPECT_FALSE(run.finish());
                run.job.reset();
                const std::string log = run.recorder.text();
                EXPECT_TRUE(
                    contains(log, "Checking the FX3 image... Error\r\n" + std::string(f.reason)))
                    << f.name << "\n"
                    << log;
                EXPECT_TRUE(contains(log, "\r\nFirmware upgrade failed\r\n"));
                EXPECT_FALSE(contains(log, "Increase control EP's timeout"));
                EXPECT_EQ(changingRequests(*cam.camera), 0u) << f.name;
                EXPECT_EQ(cam.upgrade->bootLoaderRunning(), inBootLoader) << f.name;
                EXPECT_EQ(cam.firmware->fx3Version(), versionBefore);
            }
        }
    }
}

// A local file is read directly, so relative names and names a URL would misread work.
TEST(UpgradeJob, LocalFilesLoadByAnyName) {
    TempDir dir;
    fs::create_directories(fs::path(dir.path) / "sub");
    const auto image = Sim::buildSimFpgaImage(71);
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path);
    const struct {
        const char* file;
        const char* given;
    } names[] = {{"fpga.bin", "fpga.bin"},
                 {"with space #1.bin", "with space #1.bin"},
                 {"100%20.bin", "100%20.bin"},
                 {"q?.bin", "sub/../q?.bin"}};
    for (const auto& n : names) {
        dir.write(n.file, image);
        Sim::SimUpgradeConfig cfg;
        cfg.clock = leapingClock();
        Camera cam(cfg);
        UpgradeRun run(cam.fx3, UpgradeTarget::Fpga, n.given);
        EXPECT_TRUE(run.finish()) << n.given << "\n" << run.recorder.text();
        run.job.reset();
        EXPECT_TRUE(contains(
            run.recorder.text(),
            "bytes) from file://" + (fs::path(dir.path) / n.given).string() + "... OK\r\n"))
            << run.recorder.text();
        EXPECT_EQ(cam.firmware->fpgaVersion(), Sim::simFpgaVersionForBuild(71));
    }
    fs::current_path(previous);
}

// The camera comes back at its own port under the runtime's path, not the boot loader's the
// job recorded; a camera that came back at another port is taken only when it is the one
// camera there was and is.
TEST(UpgradeJob, ReconnectFollowsThePortAndTheAlternativeAttemptOnlyALoneCamera) {
    {
        Camera cam(Camera::inBootLoader());
        const std::string bootLoaderPath = cam.driver.pathOf(*cam.camera);
        TempDir dir;
        UpgradeRun run(cam.fx3, UpgradeTarget::Fx3, dir.write("fx3.img", Sim::buildSimFx3Image(61)),
                       true);
        EXPECT_TRUE(run.finish());
        run.job.reset();
        const std::string log = reconnectsFolded(run.recorder.text());
        EXPECT_NE(cam.driver.pathOf(*cam.camera), bootLoaderPath);
        EXPECT_TRUE(contains(log, "Initializing the new firmware code... OK\r\n<reconnected>\r\n"))
            << log;
        EXPECT_FALSE(contains(log, "Alternative connection attempt"));
        EXPECT_TRUE(cam.fx3.connected());
        EXPECT_TRUE(cam.upgrade->runningFromRam());
        EXPECT_EQ(cam.firmware->fx3Version(), Sim::simFx3VersionForBuild(61));
    }
    for (const bool alone : {true, false}) {
        // The camera leaves with the reset and another one appears at another port.
        Sim::SimUpgradeConfig cfg;
        cfg.clock = leapingClock();
        Camera cam(cfg);
        std::shared_ptr<Sim::SimCamera> other;
        if (!alone) other = cam.driver.addCamera();
        TempDir dir;
        UpgradeRun run(cam.fx3, UpgradeTarget::Fpga,
                       dir.write("fpga.bin", Sim::buildSimFpgaImage(3)));
        run.recorder.onText = [&](const std::string& text) {
            if (text != "Resetting FX3 to initialize the new firmware code... ") return;
            cam.driver.unplug(cam.camera);
            Sim::SimCameraConfig moved;
            moved.location = "2-4";
            cam.driver.addCamera(moved);
        };
        EXPECT_TRUE(run.finish());
        run.job.reset();
        const std::string log = run.recorder.text();
        EXPECT_TRUE(contains(log, "Reconnect attempt #11... Timed out\r\n")) << log;
        if (alone) {
            EXPECT_TRUE(contains(log, "Alternative connection attempt... OK\r\n")) << log;
            EXPECT_EQ(cam.fx3.device().location(), "2-4");
        } else {
            EXPECT_FALSE(contains(log, "Alternative connection attempt")) << log;
            EXPECT_TRUE(contains(log, "Too many attempts to reconnect, giving up now\r\n"));
        }
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
        // A second camera arrives after the job recorded the count; ours returns at its port.
        cam.driver.addCamera();
        job.start();
        EXPECT_TRUE(job.waitFinished());
        EXPECT_EQ(cam.fx3.device().path(), cam.driver.pathOf(*cam.camera));
    }
}

// Two cameras on the bus, the one upgraded first or second, the other in its boot loader or
// running: only the target's flash and version change, whatever state the other is in.
TEST(UpgradeJob, WithTwoCamerasOnlyTheChosenOneIsProgrammed) {
    enum class Mode { FlashFromBootLoader, FlashFromRuntime, RamOnly };
    for (const Mode mode : {Mode::FlashFromBootLoader, Mode::FlashFromRuntime, Mode::RamOnly}) {
        for (const int target : {0, 1}) {
            for (const bool otherInBootLoader : {false, true}) {
                SCOPED_TRACE(::testing::Message()
                             << "mode " << static_cast<int>(mode) << " target " << target
                             << " other in boot loader " << otherInBootLoader);
                Sim::SimDriver driver;
                std::shared_ptr<Sim::SimCamera> cams[2];
                std::shared_ptr<Sim::SimCameraFirmware> fws[2];
                std::shared_ptr<Sim::SimUpgrade> ups[2];
                for (int i = 0; i < 2; ++i) {
                    Sim::SimCameraConfig cc;
                    cc.location = "1-" + std::to_string(i + 1);
                    cams[i] = driver.addCamera(cc);
                    fws[i] = std::make_shared<Sim::SimCameraFirmware>();
                    cams[i]->setFirmware(fws[i]);
                    Sim::SimUpgradeConfig uc;
                    uc.resetMs = 5;
                    uc.eraseMs = 2;
                    uc.configStageMs = 1;
                    uc.flashValid =
                        i == target ? mode != Mode::FlashFromBootLoader : !otherInBootLoader;
                    ups[i] = Sim::SimUpgrade::install(driver, cams[i], uc);
                }
                ApiLog log;
                FX3 fx3{driver, log, false, 200};
                ASSERT_TRUE(TestSupport::eventually([&] {
                    return fx3.deviceCount() == 2 &&
                           fx3.selectDevice(static_cast<uint8_t>(target)) &&
                           fx3.device().location() == "1-" + std::to_string(target + 1);
                }));
                const int other = 1 - target;
                const auto otherFlash = ups[other]->flash(0, 256 * 1024);
                const uint32_t otherVersion = fws[other]->fx3Version();
                const bool otherBootLoader = ups[other]->bootLoaderRunning();
                cams[other]->clearRequests();

                TempDir dir;
                const auto image = Sim::buildSimFx3Image(140);
                UpgradeRun run(fx3, UpgradeTarget::Fx3, dir.write("fx3.img", image),
                               mode == Mode::RamOnly);
                EXPECT_TRUE(run.finish()) << run.recorder.text();
                run.job.reset();

                EXPECT_EQ(fws[target]->fx3Version(), Sim::simFx3VersionForBuild(140));
                if (mode != Mode::RamOnly) {
                    EXPECT_EQ(ups[target]->flash(0, static_cast<uint32_t>(image.size())), image);
                }
                EXPECT_EQ(fx3.device().location(), "1-" + std::to_string(target + 1));
                EXPECT_EQ(ups[other]->flash(0, 256 * 1024), otherFlash);
                EXPECT_EQ(fws[other]->fx3Version(), otherVersion);
                EXPECT_EQ(ups[other]->bootLoaderRunning(), otherBootLoader);
                EXPECT_EQ(changingRequests(*cams[other]), 0u);
            }
        }
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
    ASSERT_TRUE(TestSupport::eventually(
        [&] { return contains(recorder.text(), "Erasing FPGA SPI Flash... "); }));

    Answers no(false);
    EXPECT_FALSE(job.requestClose(no));
    EXPECT_TRUE(no.asked);
    EXPECT_EQ(no.title, "Warning!");
    EXPECT_EQ(no.question,
              "Firmware upgrade is in progress. Interrupting it may lead to unexpected results. "
              "Are you sure you want to canel?");
    EXPECT_TRUE(job.inProgress());

    const size_t messagesBefore = cam.log.firstMessageIndex() + cam.log.messageCount();
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
    // The camera's own log tells the start and the abort.
    const auto started = messagesSince(cam.log, 0);
    ASSERT_FALSE(started.empty());
    EXPECT_EQ(started.front(), "Running firmware upgrade for FPGA");
    const auto aborted = messagesSince(cam.log, messagesBefore);
    EXPECT_EQ(std::count(aborted.begin(), aborted.end(), std::string(kAbortMessage)), 1);

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
