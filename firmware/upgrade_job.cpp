#include "upgrade_job.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "apilog.h"
#include "download_server.h"
#include "fx3.h"
#include "fx3_loader.h"
#include "http_fetch.h"
#include "usb/usb_device.h"

namespace TVR {
namespace {

constexpr uint32_t kUpgradeControlTimeoutMs = 750;
constexpr uint32_t kReconnectOpenTimeoutMs = 500;
constexpr int kFpgaEraseTicks = 80;
constexpr int kFpgaConfigTicks = 20;
constexpr int kBootUpTicks = 20;
constexpr int kReconnectAttempts = 11;
constexpr int kBootLoaderRounds = 11;
constexpr uintmax_t kMinFx3DropSize = 102400;
constexpr uintmax_t kMinFpgaDropSize = 0x300000;

constexpr std::array<std::string_view, kFpgaStatusBits> kStatusNames = {
    "Config started",  "Initialize OK", "Check ID OK",   "Erase SW OK",
    "Erase OK",        "Program OK",    "Verify OK",     "Program SW OK",
    "Config not busy", "Config done",   "Config error",  "IdCode error",
    "Erase error",     "Program error", "Timeout error", "CRC error",
};

enum WaitResult : int { kWaitDone = 0, kWaitError = 1, kWaitTimedOut = 2, kWaitCancelled = 3 };

std::chrono::milliseconds scaledMs(std::chrono::milliseconds ms, double factor) {
    const auto n = static_cast<int64_t>(static_cast<double>(ms.count()) * factor);
    return std::chrono::milliseconds(std::max<int64_t>(n, 1));
}

}  // namespace

std::string_view fpgaStatusName(int bit) {
    if (bit < 0 || bit >= kFpgaStatusBits) return {};
    return kStatusNames[static_cast<size_t>(bit)];
}

std::string_view upgradeTargetName(UpgradeTarget target) {
    return target == UpgradeTarget::Fx3 ? "FX3" : "FPGA";
}

UpgradeTiming UpgradeTiming::scaled(double factor) {
    UpgradeTiming t;
    t.pollPeriod = scaledMs(t.pollPeriod, factor);
    t.bootWait = scaledMs(t.bootWait, factor);
    t.reconnectSettle = scaledMs(t.reconnectSettle, factor);
    t.reconnectRetry = scaledMs(t.reconnectRetry, factor);
    t.bootLoaderRound = scaledMs(t.bootLoaderRound, factor);
    t.autoClose = scaledMs(t.autoClose, factor);
    return t;
}

bool confirmServerUpgrade(int currentBuild, int chosenBuild, UpgradeQuestions& questions) {
    if (chosenBuild > currentBuild) return true;
    return questions.ask(
        std::string(kDowngradeTitle),
        fmt::format("Downgrading firmware to version {}.\nClick YES to proceed", chosenBuild),
        false);
}

std::optional<DropRefusal> checkDroppedImage(const std::string& path, UpgradeTarget target) {
    std::error_code ec;
    const bool regular = std::filesystem::is_regular_file(path, ec);
    const uintmax_t size = regular ? std::filesystem::file_size(path, ec) : 0;
    const uintmax_t minimum = target == UpgradeTarget::Fx3 ? kMinFx3DropSize : kMinFpgaDropSize;
    if (regular && !ec && size >= minimum) return std::nullopt;
    if (target == UpgradeTarget::Fx3) {
        return DropRefusal{"FX3 firmware upload", "The FX3 image file is corrupt or inaccessible"};
    }
    return DropRefusal{"FPGA firmware upload", "The FPGA image file is corrupt or inaccessible"};
}

struct UpgradeJob::State {
    State(FX3& f, UpgradeOptions o, UpgradeObserver& obs)
        : fx3(f), options(std::move(o)), observer(obs) {}

    FX3& fx3;
    const UpgradeOptions options;
    UpgradeObserver& observer;
    uint8_t deviceCount = 0;
    std::string devicePath;
    // The USB port of the camera the job was started on. It stays the same when the camera
    // re-enumerates under the boot loader's product id, so the job follows the camera by it and
    // never turns to another camera on the bus.
    std::string location;
    std::vector<uint8_t> image;

    // The flags the worker and the status thread share.
    mutable std::mutex mutex;
    std::condition_variable cv;
    bool initialised = false;
    bool inProgress = false;
    bool statusUpdated = false;
    bool stopPolling = false;
    bool aborted = false;
    bool finished = false;
    std::optional<bool> result;
    uint16_t status = 0;
    uint64_t updates = 0;

    // Device-level changes on the FX3 object (open, time-out) must not meet the status request.
    std::mutex cameraMutex;
    // Observer calls come from several threads: log and progress calls are serialised by one
    // lock, indicator calls (with the last word drawn) by another.
    std::mutex observerMutex;
    std::mutex indicatorMutex;
    uint16_t shownStatus = 0;

    std::thread worker;
    std::thread poller;

    // Observer access; silent once the user aborted (the window is gone).
    bool isAborted() const {
        std::lock_guard lock(mutex);
        return aborted;
    }
    void text(const std::string& t) {
        std::lock_guard lock(observerMutex);
        if (!isAborted()) observer.logText(t);
    }
    // One step log line: "... " leaves it open for its result.
    void log(std::string_view t, bool openEnded = false) {
        text(std::string(t) + (openEnded ? "... " : "\r\n"));
        fx3.apiLog().appendText(false, "Firmware upgrade: " + std::string(t));
    }
    void progress(int percent) {
        std::lock_guard lock(observerMutex);
        if (!isAborted()) observer.progress(percent);
    }
    void showStatus(uint16_t st) {
        std::lock_guard lock(indicatorMutex);
        const uint16_t changed = static_cast<uint16_t>(st ^ shownStatus);
        if (changed == 0 || isAborted()) return;
        shownStatus = st;
        observer.fpgaStatus(st, changed);
    }
    void clearIndicators() {
        std::lock_guard lock(indicatorMutex);
        shownStatus = 0;
        if (!isAborted()) observer.clearIndicators();
    }

    // Sleeps unless aborted meanwhile; false when aborted.
    bool pause(std::chrono::milliseconds ms) {
        std::unique_lock lock(mutex);
        return !cv.wait_for(lock, ms, [this] { return aborted; });
    }

    int wait(const std::function<bool(uint16_t)>& success,
             const std::function<bool(uint16_t)>& error, int ticks) {
        const int updatesAllowed = std::max(ticks + 1, 2);
        std::unique_lock lock(mutex);
        statusUpdated = false;
        for (int n = 0; n < updatesAllowed; ++n) {
            cv.wait(lock, [this] { return statusUpdated || aborted || stopPolling; });
            if (aborted || stopPolling) return kWaitCancelled;
            statusUpdated = false;
            const uint16_t st = status;
            lock.unlock();
            const bool done = success(st);
            const bool failed = !done && error && error(st);
            lock.lock();
            if (done) return kWaitDone;
            if (failed) return kWaitError;
        }
        return kWaitTimedOut;
    }

    void pollLoop() {
        std::unique_lock lock(mutex);
        while (true) {
            cv.wait_for(lock, options.timing.pollPeriod, [this] { return stopPolling; });
            if (stopPolling) return;
            lock.unlock();
            std::optional<uint16_t> st;
            {
                std::lock_guard camera(cameraMutex);
                st = fx3.fpgaConfigStatus();
            }
            lock.lock();
            status = st.value_or(0);
            statusUpdated = true;
            ++updates;
            const uint16_t shown = status;
            cv.notify_all();
            lock.unlock();
            showStatus(shown);
            lock.lock();
        }
    }

    void workerMain();
    bool procedure();
    bool loadImage();
    bool programFpga();
    bool programFx3();
    bool finish();
    bool checkFx3Image();
    bool isOurCamera(const std::string& path, uint8_t count);
    bool findBootLoader();
    void waitForBootup();
    void reconnect();
};

void UpgradeJob::State::workerMain() {
    {
        std::unique_lock lock(mutex);
        cv.wait(lock, [this] { return initialised; });
        inProgress = true;
    }
    const bool ok = procedure();
    {
        std::lock_guard lock(mutex);
        inProgress = false;
    }
    log(std::string("\r\nFirmware upgrade ") + (ok ? "succeeded" : "failed"));
    if (ok) {
        const std::string version = options.target == UpgradeTarget::Fx3
                                        ? fx3.versionFX3().shortText()
                                        : fx3.versionFPGA().shortText();
        log("\r\nNew version is: " + version);
    }
    log("\r\nThis window will auto-close in 30 seconds", true);
    {
        std::lock_guard lock(mutex);
        stopPolling = true;
        cv.notify_all();
    }
    // No indicator update may follow the outcome.
    if (poller.joinable()) poller.join();
    {
        std::lock_guard lock(observerMutex);
        if (!isAborted()) observer.finished(ok);
    }
    std::lock_guard lock(mutex);
    finished = true;
    if (!aborted) result = ok;
    cv.notify_all();
}

bool UpgradeJob::State::procedure() {
    log("Firmware upgrade for " + std::string(upgradeTargetName(options.target)));
    if (!fx3.connected() || options.path.empty()) {
        log("Invalid parameters. Please record the actions that led to this and report to Tavro");
        return false;
    }
    progress(5);
    if (!loadImage()) return false;
    // Entering the boot loader invalidates the flash: a file that is no FX3 program must be
    // refused before anything is sent to the camera.
    if (options.target == UpgradeTarget::Fx3 && !checkFx3Image()) return false;
    progress(10);
    log("Increase control EP's timeout to 750ms");
    uint32_t previousTimeout = 0;
    {
        std::lock_guard camera(cameraMutex);
        previousTimeout = fx3.setControlTimeout(kUpgradeControlTimeoutMs);
    }
    log("Programming the firmware");
    if (!fx3.bootLoaderRunning()) {
        log("Stopping audio/video streaming", true);
        log(fx3.stopStreaming() ? "OK" : "Error");
    }
    const bool programmed =
        !isAborted() && (options.target == UpgradeTarget::Fpga ? programFpga() : programFx3());
    if (programmed) return finish();
    log("Error");
    std::lock_guard camera(cameraMutex);
    if (previousTimeout != 0) fx3.setControlTimeout(previousTimeout);
    return false;
}

bool UpgradeJob::State::loadImage() {
    const bool server = options.source == ImageSource::Server;
    const char* hint = server ? "Please check your connection and try again"
                              : "Please make sure the file is accessible and try again";
    std::string url;
    int64_t size = 0;
    std::filesystem::path file;
    if (server) {
        url = DownloadServer(options.serverBase).url(options.path);
        size = options.size;
    } else {
        // A local file is read directly: a relative path, or one with a space, '#' or '%',
        // is no valid file URL. The step line still names it as one.
        std::error_code ec;
        file = std::filesystem::absolute(options.path, ec);
        if (ec) file = options.path;
        url = "file://" + file.string();
        const uintmax_t fileSize = std::filesystem::file_size(file, ec);
        size = ec ? 0 : static_cast<int64_t>(std::min<uintmax_t>(fileSize, INT64_MAX));
        if (size < 1) {
            log("Error");
            log(hint);
            return false;
        }
    }
    log(fmt::format("Loading firmware file ({} bytes) from {}", size, url), true);
    DownloadResult got = server ? downloadBytes(url, size) : readImageFile(file.string(), size);
    if (!got.ok()) {
        log("Error");
        if (got.error == kSizeMismatchError) log(kSizeMismatchError);
        log(hint);
        return false;
    }
    log("OK");
    image = std::move(got.bytes);
    return true;
}

bool UpgradeJob::State::checkFx3Image() {
    log("Checking the FX3 image", true);
    const std::string problem = fx3ImageProblem(image);
    if (problem.empty()) {
        log("OK");
        return true;
    }
    log("Error");
    log(problem);
    return false;
}

bool UpgradeJob::State::isOurCamera(const std::string& path, uint8_t count) {
    if (!location.empty()) return fx3.driver().location(path) == location;
    // A backend that knows no ports: the recorded path, or the only camera there is.
    return path == devicePath || (count == 1 && deviceCount == 1);
}

bool UpgradeJob::State::programFpga() {
    log("Switching FPGA into Update Mode", true);
    if (!fx3.fpgaConfigMode()) {
        log("Error");
        return false;
    }
    log("OK");
    progress(12);

    const auto anyError = [](uint16_t st) { return (st & kFpgaErrorBits) != 0; };
    log("Erasing FPGA SPI Flash", true);
    const int erased =
        wait([](uint16_t st) { return (st & kFpgaEraseOkBit) != 0; }, anyError, kFpgaEraseTicks);
    if (erased == kWaitCancelled) return false;
    log(erased == kWaitDone ? "OK" : erased == kWaitError ? "Error" : "Timed out");
    progress(45);
    if (erased != kWaitDone) return false;

    log("Loading the firmware onto FPGA", true);
    if (!fx3.bulkWrite(image, options.timing.fpgaBulkTimeoutMs)) {
        log("Error");
        return false;
    }
    uint16_t last = 0;
    const int done = wait(
        [&last](uint16_t st) {
            last = st;
            return (st & kFpgaConfigDoneBit) != 0;
        },
        anyError, kFpgaConfigTicks);
    showStatus(last);
    if (done == kWaitCancelled) return false;
    bool ok = false;
    if (done == kWaitError) {
        log("Error");
    } else if (done == kWaitTimedOut) {
        log("Timed out waiting for the upload");
    } else if ((last & kFpgaErrorBits) != 0) {
        log("Error");
        log("The upload returned a success but there were errors");
        log("Please check status indicators for extended information on the error");
    } else {
        log("OK");
        ok = true;
    }
    progress(85);
    return ok;
}

bool UpgradeJob::State::findBootLoader() {
    for (int round = 0; round < kBootLoaderRounds; ++round) {
        if (round > 0 && !pause(options.timing.bootLoaderRound)) return false;
        const uint8_t count = fx3.deviceCount();
        for (uint8_t i = 0; i < count; ++i) {
            if (!isOurCamera(fx3.devicePath(i), count)) continue;
            bool selected = false;
            {
                std::lock_guard camera(cameraMutex);
                selected = fx3.selectDevice(i);
            }
            if (selected && fx3.bootLoaderRunning()) {
                progress(20);
                log("OK");
                return true;
            }
        }
    }
    log("Error");
    return false;
}

bool UpgradeJob::State::programFx3() {
    const bool ramOnly = options.ramOnly;
    if (!ramOnly) {
        if (fx3.bootLoaderRunning()) {
            log("Bootstraping Tavro runtime", true);
            if (loadFx3Ram(fx3, image) != kRamLoadDone) {
                log("Error");
                return false;
            }
            log("OK");
            waitForBootup();
            if (isAborted()) return false;
            // Whatever answers now must be the camera that was bootstrapped.
            if (!fx3.connected() || !isOurCamera(fx3.device().path(), fx3.deviceCount())) {
                log("Enable SPI flash for writing", true);
                log("Error");
                return false;
            }
        }
        log("Enable SPI flash for writing", true);
        if (!fx3.spiEnable()) {
            log("Error");
            return false;
        }
        log("OK");
    } else if (fx3.bootLoaderRunning()) {
        log("BootLoader running...", true);
        log("OK");
    } else {
        log("Restore BootLoader", true);
        if (!fx3.enterBootLoader()) {
            log("Error");
            return false;
        }
        if (!pause(options.timing.bootWait)) return false;
        clearIndicators();
        if (!findBootLoader()) return false;
    }

    progress(25);
    log(ramOnly ? "Programming FX3 RAM" : "Programming FX3 SPI Flash device", true);
    const bool programmed = ramOnly ? loadFx3Ram(fx3, image) == kRamLoadDone
                                    : programFx3Spi(fx3, image) == kSpiProgramDone;
    if (!programmed) {
        log("Error");
        return false;
    }
    log("OK");
    progress(85);
    return true;
}

bool UpgradeJob::State::finish() {
    if (isAborted()) return false;
    if (options.target == UpgradeTarget::Fx3 && options.ramOnly) {
        log("Initializing the new firmware code", true);
        log("OK");
    } else {
        log("Resetting FX3 to initialize the new firmware code", true);
        log(fx3.reset() ? "OK" : "Error");
    }
    waitForBootup();
    progress(100);
    return !isAborted();
}

void UpgradeJob::State::waitForBootup() {
    if (!pause(options.timing.bootWait)) return;
    clearIndicators();
    reconnect();
    if (isAborted()) return;
    wait([this](uint16_t) { return fx3.connected(); }, {}, kBootUpTicks);
}

void UpgradeJob::State::reconnect() {
    // The program a boot loader started returns under its own path, not the boot loader's,
    // but at the same port.
    for (int attempt = 1; attempt <= kReconnectAttempts; ++attempt) {
        log(fmt::format("Reconnect attempt #{}", attempt), true);
        {
            std::unique_ptr<FX3> probe;
            {
                std::lock_guard camera(cameraMutex);
                probe = std::make_unique<FX3>(fx3.driver(), fx3.apiLog(), true,
                                              kReconnectOpenTimeoutMs);
            }
            const uint8_t count = probe->deviceCount();
            for (uint8_t i = 0; i < count; ++i) {
                if (!isOurCamera(probe->devicePath(i), count)) continue;
                if (!pause(options.timing.reconnectSettle)) return;
                bool selected = false;
                {
                    std::lock_guard camera(cameraMutex);
                    selected = fx3.selectDevice(i);
                }
                if (selected) {
                    log("OK");
                    return;
                }
            }
            std::lock_guard camera(cameraMutex);
            probe.reset();
        }
        log("Timed out");
        if (!pause(options.timing.reconnectRetry)) return;
    }
    // Device 0 can only be this camera when it is the one camera there was and is.
    if (deviceCount == 1 && fx3.deviceCount() == deviceCount) {
        log("Alternative connection attempt", true);
        bool selected = false;
        {
            std::lock_guard camera(cameraMutex);
            selected = fx3.selectDevice(0);
        }
        if (selected) {
            log("OK");
            return;
        }
    }
    log("Too many attempts to reconnect, giving up now");
}

UpgradeJob::UpgradeJob(FX3& fx3, UpgradeOptions options, UpgradeObserver& observer)
    : m_state(std::make_shared<State>(fx3, std::move(options), observer)) {
    m_state->deviceCount = fx3.deviceCount();
    if (fx3.connected()) {
        m_state->devicePath = fx3.device().path();
        m_state->location = fx3.device().location();
    }
}

UpgradeJob::~UpgradeJob() {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->initialised = true;
        if (!m_state->finished) m_state->aborted = true;
        m_state->cv.notify_all();
    }
    if (m_state->worker.joinable()) m_state->worker.join();
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopPolling = true;
        m_state->cv.notify_all();
    }
    if (m_state->poller.joinable()) m_state->poller.join();
}

void UpgradeJob::start() {
    State& s = *m_state;
    if (s.worker.joinable()) return;
    s.fx3.apiLog().appendText(
        false, "Running firmware upgrade for " + std::string(upgradeTargetName(s.options.target)));
    {
        std::lock_guard lock(s.mutex);
        s.inProgress = true;
    }
    s.worker = std::thread([&s] { s.workerMain(); });
    s.poller = std::thread([&s] { s.pollLoop(); });
    std::lock_guard lock(s.mutex);
    s.initialised = true;
    s.cv.notify_all();
}

bool UpgradeJob::inProgress() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->inProgress;
}

bool UpgradeJob::waitFinished() {
    std::unique_lock lock(m_state->mutex);
    if (!m_state->worker.joinable()) return false;
    m_state->cv.wait(lock, [this] { return m_state->finished || m_state->aborted; });
    return m_state->result.value_or(false);
}

std::optional<bool> UpgradeJob::result() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->result;
}

bool UpgradeJob::requestClose(UpgradeQuestions& questions) {
    if (!inProgress()) return true;
    if (!questions.ask(std::string(kCancelTitle), std::string(kCancelQuestion), false)) {
        return false;
    }
    m_state->fx3.apiLog().appendText(true, std::string(kAbortMessage));
    {
        std::lock_guard observer(m_state->observerMutex);
        if (!m_state->isAborted()) m_state->observer.logText(std::string(kAbortMessage) + "\r\n");
    }
    std::lock_guard lock(m_state->mutex);
    m_state->aborted = true;
    m_state->inProgress = false;
    m_state->cv.notify_all();
    return true;
}

uint64_t UpgradeJob::statusUpdates() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->updates;
}

}  // namespace TVR
