#include "watch_command.h"

#include <fmt/format.h>

#include <csignal>
#include <utility>

#include "apilog.h"
#include "backend/usb_backend.h"
#include "cli/cli_app.h"
#include "cli/console_progress.h"
#include "session/camera_session.h"
#include "usb/usb_device.h"
#include "usb/usb_driver.h"

namespace TVR::Cli {

const char* const kWatchHelp =
    "Usage: brisco-cli [--simulate] watch --apply FILE [--location L] [--count N] [--yes]\n"
    "Waits for cameras to arrive and loads the settings file FILE into each one that does\n"
    "(or only into the one plugged in at the USB location L, as 'list' shows it), printing\n"
    "one line per camera: its location, then 'applied FILE' or 'failed: REASON'. Cameras\n"
    "already plugged in when it starts are left alone; a camera unplugged and plugged back,\n"
    "or reset, arrives again. Runs until interrupted (Ctrl+C), or until N cameras were\n"
    "handled. A file saved for another sensor is refused unless --yes is given.\n"
    "Exit code 1 when any camera did not take the file.\n";

const char* const kWatchWaitingText = "brisco-cli: waiting for cameras (Ctrl+C to stop)";

namespace {

// How often the loop looks at the stop request while no camera arrives.
constexpr std::chrono::milliseconds kStopPoll{100};

static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void requestWatchStop(int /*signal*/) { watchStopRequested().store(true); }

// Installs the stop handler for SIGINT and SIGTERM for its lifetime.
class StopSignals {
public:
    StopSignals() {
        watchStopRequested().store(false);
        m_int = std::signal(SIGINT, requestWatchStop);
        m_term = std::signal(SIGTERM, requestWatchStop);
    }
    ~StopSignals() {
        std::signal(SIGINT, m_int);
        std::signal(SIGTERM, m_term);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    void (*m_int)(int) = SIG_DFL;
    void (*m_term)(int) = SIG_DFL;
};

struct WatchArgs {
    std::string file;
    std::string location;
    uint32_t count = 0;  // 0: until interrupted
    bool yes = false;
};

int parseWatchArgs(const std::vector<std::string>& args, WatchArgs& w, std::ostream& err) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--apply") {
            if (!hasValue) return cliUsage(err, "watch", "--apply needs a settings file");
            w.file = args[++i];
        } else if (a == "--location") {
            if (!hasValue) return cliUsage(err, "watch", "--location needs a USB location");
            w.location = args[++i];
        } else if (a == "--count") {
            if (!hasValue) return cliUsage(err, "watch", "--count needs a number");
            const auto n = parseWholeNumber(args[++i], 1, 1000000);
            if (!n) {
                return cliUsage(err, "watch",
                                fmt::format("--count takes 1 to 1000000, not '{}'", args[i]));
            }
            w.count = *n;
        } else if (a == "--yes" || a == "-y") {
            w.yes = true;
        } else {
            return cliUsage(err, "watch", fmt::format("unknown argument '{}'", a));
        }
    }
    if (w.file.empty()) return cliUsage(err, "watch", "watch needs --apply FILE");
    return kExitOk;
}

// The index the driver lists `path` under now; empty when it is gone again, or is not a camera
// (a boot loader on its way through a reset).
std::optional<uint8_t> indexOfPath(UsbDriver& driver, const std::string& path) {
    const uint8_t count = usbDeviceCount(driver);
    for (unsigned i = 0; i < count; ++i) {
        if (usbDevicePath(driver, static_cast<uint8_t>(i)) == path) return static_cast<uint8_t>(i);
    }
    return std::nullopt;
}

// Loads the file into the camera at `location`; the line's text after the location.
std::pair<bool, std::string> applyTo(Backends& backends, const CameraChoice& camera,
                                     const std::string& location, const WatchArgs& w,
                                     std::ostream& err) {
    ConsoleProgress progress(err, false);
    CliPrompter prompter(progress, w.yes);
    CameraSession::Options options;
    options.controlTimeoutMs = camera.controlTimeoutMs;
    CameraSession session(backends, camera.log, prompter, options);
    if (SessionResult opened = session.selectLocation(location); !opened) {
        return {false, opened.message};
    }
    const LoadResult loaded = session.loadSettingsAndPush(w.file);
    if (loaded.outcome == LoadOutcome::Declined) {
        return {false, "saved for another sensor (--yes loads it anyway)"};
    }
    if (loaded.outcome != LoadOutcome::Pushed || !loaded.result) {
        return {false, loaded.result.message};
    }
    return {true, fmt::format("applied {}", w.file)};
}

}  // namespace

std::atomic<bool>& watchStopRequested() {
    static std::atomic<bool> requested{false};
    return requested;
}

CameraArrivals::CameraArrivals(UsbDriver& driver)
    : m_driver(driver), m_queue(std::make_shared<Queue>()) {
    // The location is looked up on the command's thread: the driver may hold its own lock
    // while it calls.
    m_token = driver.subscribe([queue = m_queue](PlugEvent event, const std::string& path) {
        if (event != PlugEvent::Arrived) return;
        {
            std::lock_guard lock(queue->mutex);
            queue->paths.push_back(path);
        }
        queue->arrived.notify_one();
    });
}

CameraArrivals::~CameraArrivals() {
    if (m_token >= 0) m_driver.unsubscribe(m_token);
}

std::optional<std::string> CameraArrivals::next(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_queue->mutex);
    if (!m_queue->arrived.wait_for(lock, wait, [this] { return !m_queue->paths.empty(); })) {
        return std::nullopt;
    }
    std::string path = std::move(m_queue->paths.front());
    m_queue->paths.pop_front();
    return path;
}

int runWatch(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
             std::ostream& err) {
    WatchArgs w;
    if (const int rc = parseWatchArgs(args, w, err); rc != kExitOk) return rc;

    std::string error;
    Backends backends = openCliBackends(camera.open, camera.simulate, error);
    if (!backends.usb) return cliFailure(err, error);
    UsbDriver& driver = *backends.usb;
    CameraArrivals arrivals(driver);
    if (!arrivals.listening()) return cliFailure(err, "the USB driver reports no plugged cameras");
    StopSignals signals;
    err << kWatchWaitingText << '\n' << std::flush;

    bool anyFailed = false;
    uint32_t handled = 0;
    while (!watchStopRequested().load() && (w.count == 0 || handled < w.count)) {
        const auto path = arrivals.next(kStopPoll);
        if (!path || !indexOfPath(driver, *path)) continue;
        const std::string location = driver.location(*path);
        if (location.empty() || (!w.location.empty() && location != w.location)) continue;
        const auto [ok, text] = applyTo(backends, camera, location, w, err);
        anyFailed = anyFailed || !ok;
        out << location << '\t' << (ok ? text : "failed: " + text) << '\n' << std::flush;
        ++handled;
    }
    return anyFailed ? kExitCamera : kExitOk;
}

}  // namespace TVR::Cli
