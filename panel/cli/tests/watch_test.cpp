#include <fmt/format.h>
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>

#include "apilog.h"
#include "cli/cli_app.h"
#include "cli/watch_command.h"
#include "cli_test_helpers.h"
#include "session/camera_session.h"
#include "settings/settings_store.h"
#include "sim/sim_driver.h"
#include "sim/sim_options.h"
#include "sim/video/sim_capture_devices.h"
#include "test_support.h"

namespace TVR::Cli {
namespace {

// A stream the command writes on its thread while the test reads it on its own.
class SharedText : public std::streambuf {
public:
    std::string text() const {
        std::lock_guard lock(m_mutex);
        return m_text;
    }

protected:
    int_type overflow(int_type c) override {
        if (c == traits_type::eof()) return traits_type::not_eof(c);
        std::lock_guard lock(m_mutex);
        m_text.push_back(traits_type::to_char_type(c));
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard lock(m_mutex);
        m_text.append(s, static_cast<size_t>(n));
        return n;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};

// A whole step of the sensor's exposure, so that the camera holds it as it is.
constexpr int kExposure = 4320;

class AutoRejectPrompter : public TransferPrompter {
public:
    bool askYesNo(std::string_view, std::string_view) override { return false; }
    void showError(std::string_view, std::string_view) override {}
};

// The test's driver lent to the command, which owns what it opens.
class LentDriver : public UsbDriver {
public:
    explicit LentDriver(UsbDriver& driver) : m_driver(driver) {}
    std::vector<std::string> interfacePaths(const Guid& c) override {
        return m_driver.interfacePaths(c);
    }
    std::unique_ptr<UsbDriverHandle> open(const std::string& path) override {
        return m_driver.open(path);
    }
    std::string location(const std::string& path) override { return m_driver.location(path); }
    int subscribe(PlugCallback cb) override { return m_driver.subscribe(std::move(cb)); }
    void unsubscribe(int token) override { m_driver.unsubscribe(token); }

private:
    UsbDriver& m_driver;
};

// The watch command on its own thread over a driver the test plugs cameras into: `unplugged`
// cameras at 1-1, 1-2, ... that arrive when plugged in.
struct WatchRun {
    // "@FILE" in `args` stands for a settings file saved from the first camera with the
    // exposure kExposure.
    explicit WatchRun(std::vector<std::string> args, size_t unplugged = 0) {
        std::string error;
        driver = Sim::simDriverFromOptions(fmt::format("cameras={}", unplugged), {}, error);
        EXPECT_TRUE(driver) << error;
        cameras = driver->cameras();
        if (!cameras.empty()) file = saveSettings();
        for (const auto& cam : cameras) driver->unplug(cam);
        for (std::string& a : args) {
            if (a == "@FILE") a = file;
        }
        const BackendOpener open = [this](bool, std::string&) {
            Backends b;
            b.capture = std::make_unique<SimCaptureDevices>(*driver);
            b.usb = std::make_unique<LentDriver>(*driver);
            return b;
        };
        args.insert(args.begin(), {"--simulate", "watch"});
        thread = std::thread([this, args, open] {
            std::ostream o(&out), e(&err);
            rc = runCli(args, o, e, open);
        });
        EXPECT_TRUE(TestSupport::eventually(
            [&] { return err.text().find(kWatchWaitingText) != std::string::npos; }));
    }
    ~WatchRun() { stop(); }
    void waitLines(size_t n) {
        EXPECT_TRUE(TestSupport::eventually([&] { return lineCount(out.text()) >= n; }))
            << out.text() << err.text();
    }
    void stop() {
        watchStopRequested().store(true);
        finish();
    }
    void finish() {
        if (thread.joinable()) thread.join();
    }
    std::string saveSettings() {
        ApiLog log;
        AutoRejectPrompter prompter;
        Backends lent;
        lent.usb = std::make_unique<LentDriver>(*driver);
        CameraSession s(std::move(lent), log, prompter);
        const std::string path = dir.file("line.qcf");
        EXPECT_TRUE(s.selectLocation("1-1"));
        EXPECT_TRUE(s.readAll());
        s.store().setDecimal("OV_EXPOSURE", kExposure);
        EXPECT_TRUE(s.saveFileAs(path));
        return path;
    }
    // The exposure the camera at `location` holds, read through a session of its own.
    int exposureAt(const std::string& location) {
        ApiLog log;
        AutoRejectPrompter prompter;
        Backends lent;
        lent.usb = std::make_unique<LentDriver>(*driver);
        CameraSession s(std::move(lent), log, prompter);
        EXPECT_TRUE(s.selectLocation(location));
        EXPECT_TRUE(s.readAll());
        return s.store().getInt("OV_EXPOSURE");
    }

    TestSupport::TempFolder dir;
    std::unique_ptr<Sim::SimDriver> driver;
    std::vector<std::shared_ptr<Sim::SimCamera>> cameras;
    std::string file;
    SharedText out, err;
    int rc = -1;
    std::thread thread;
};

TEST(CliWatch, AppliesTheFileToEachCameraThatArrivesAndToOneThatComesBack) {
    WatchRun run({"--apply", "@FILE", "--count", "3"}, 2);
    const std::string& file = run.file;
    run.driver->plug(run.cameras[0]);
    run.waitLines(1);
    run.driver->plug(run.cameras[1]);
    run.waitLines(2);
    // Plugged back, the first camera arrives again.
    run.driver->unplug(run.cameras[0]);
    run.driver->plug(run.cameras[0]);
    run.finish();
    EXPECT_EQ(run.rc, kExitOk) << run.err.text();
    const auto lines = outputLines(run.out.text());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "1-1\tapplied " + file);
    EXPECT_EQ(lines[1], "1-2\tapplied " + file);
    EXPECT_EQ(lines[2], "1-1\tapplied " + file);
}

TEST(CliWatch, TheCamerasHoldTheFilesValuesAndOnlyTheChosenLocationIsTouched) {
    WatchRun run({"--apply", "@FILE", "--location", "1-2", "--count", "2"}, 2);
    const std::string& file = run.file;
    run.driver->plug(run.cameras[0]);
    run.driver->plug(run.cameras[1]);
    run.waitLines(1);
    EXPECT_EQ(run.exposureAt("1-2"), kExposure);
    EXPECT_NE(run.exposureAt("1-1"), kExposure);
    run.stop();
    EXPECT_EQ(run.rc, kExitOk) << run.err.text();
    EXPECT_EQ(outputLines(run.out.text()), std::vector<std::string>{"1-2\tapplied " + file});
}

TEST(CliWatch, ACameraThatDoesNotTakeTheFileIsReportedAndFailsTheRun) {
    TestSupport::TempFolder dir;
    const std::string missing = dir.file("missing.qcf");
    WatchRun run({"--apply", missing, "--count", "1"}, 1);
    run.driver->plug(run.cameras[0]);
    run.finish();
    EXPECT_EQ(run.rc, kExitCamera);
    const auto lines = outputLines(run.out.text());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("1-1\tfailed: ", 0), 0u) << lines[0];
}

TEST(CliWatch, StopsWhenInterruptedAndRefusesAMissingFile) {
    WatchRun run({"--apply", "x.qcf"});
    run.stop();
    EXPECT_EQ(run.rc, kExitOk);
    EXPECT_TRUE(run.out.text().empty());

    const CliRun usage = runCliWith({"--simulate", "watch"});
    EXPECT_EQ(usage.rc, kExitUsage);
    EXPECT_NE(usage.err.find("--apply FILE"), std::string::npos) << usage.err;
    const CliRun count = runCliWith({"--simulate", "watch", "--apply", "a.qcf", "--count", "0"});
    EXPECT_EQ(count.rc, kExitUsage);
}

}  // namespace
}  // namespace TVR::Cli
