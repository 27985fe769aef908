#include "demo_command.h"

#include <fmt/format.h>

#include <charconv>
#include <chrono>
#include <csignal>
#include <thread>

#include "cli/cli_app.h"
#include "session/camera_session.h"
#include "tools/demo/demo_mode_model.h"

namespace TVR::Cli {

const char* const kDemoHelp =
    "Usage: brisco-cli [--simulate] [--device N] demo FILE FILE... [--seconds S] [--cycles N]\n"
    "                  [--yes]\n"
    "Plays the settings files in a loop, as the panel's demo mode does: loads each into the\n"
    "camera, waits S seconds (default 10; more than 0.3, at most 600) and goes on with the\n"
    "next, starting again after the last. Prints one line per file loaded; a file that does\n"
    "not load is reported and skipped. Runs until interrupted (Ctrl+C), or until the list was\n"
    "played N times. A file saved for another sensor is skipped unless --yes is given.\n"
    "Exit code 1 when any file did not load.\n";

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void requestDemoStop(int /*signal*/) { demoStopRequested().store(true); }

// Installs the stop handler for SIGINT and SIGTERM for its lifetime.
class DemoStopSignals {
public:
    DemoStopSignals() {
        demoStopRequested().store(false);
        m_int = std::signal(SIGINT, requestDemoStop);
        m_term = std::signal(SIGTERM, requestDemoStop);
    }
    ~DemoStopSignals() {
        std::signal(SIGINT, m_int);
        std::signal(SIGTERM, m_term);
    }
    DemoStopSignals(const DemoStopSignals&) = delete;
    DemoStopSignals& operator=(const DemoStopSignals&) = delete;

private:
    void (*m_int)(int) = SIG_DFL;
    void (*m_term)(int) = SIG_DFL;
};

std::optional<double> parseSeconds(const std::string& text) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!(value > kDemoShortestSeconds && value <= kDemoLongestSeconds)) return std::nullopt;
    return value;
}

}  // namespace

std::atomic<bool>& demoStopRequested() {
    static std::atomic<bool> requested{false};
    return requested;
}

int runDemo(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
            std::ostream& err) {
    std::vector<std::string> files;
    double seconds = kDemoDefaultSeconds;
    uint32_t cycles = 0;  // 0: until interrupted
    bool yes = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--seconds") {
            const auto s = hasValue ? parseSeconds(args[++i]) : std::nullopt;
            if (!s) return cliUsage(err, "demo", "--seconds takes more than 0.3, at most 600");
            seconds = *s;
        } else if (a == "--cycles") {
            const auto n = hasValue ? parseWholeNumber(args[++i], 1, 1000000) : std::nullopt;
            if (!n) return cliUsage(err, "demo", "--cycles takes 1 to 1000000");
            cycles = *n;
        } else if (a == "--yes" || a == "-y") {
            yes = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return cliUsage(err, "demo", fmt::format("unknown option '{}'", a));
        } else {
            files.push_back(a);
        }
    }
    if (files.size() < 2) return cliUsage(err, "demo", "the demo needs at least two files");

    CliSession cli(err, camera.log, yes, camera.progress);
    int rc = kExitOk;
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    DemoModeModel model(
        [&session](const std::string& path, std::string& error) {
            const LoadResult r = session.loadSettingsAndPush(path);
            if (r.outcome == LoadOutcome::Declined) {
                error = "saved for another sensor (--yes loads it anyway)";
                return false;
            }
            if (!r.result) error = r.result.message;
            return static_cast<bool>(r.result);
        },
        camera.log);
    model.setScript(appendDemoFiles("", files, seconds));
    if (model.entries().size() != files.size()) {
        return cliUsage(err, "demo", "a file name holds '|' or a line break");
    }
    model.setEntryObserver([&](const DemoEntry& entry, bool loaded, const std::string& error) {
        if (loaded) {
            out << fmt::format("{}: loaded for {:.1f}s\n", entry.path, entry.seconds) << std::flush;
        } else {
            err << fmt::format("brisco-cli: {}: not loaded: {}; skipped\n", entry.path, error);
        }
    });

    DemoStopSignals signals;
    const uint64_t lastLoad = uint64_t{cycles} * files.size();
    model.play();
    while (model.playing() && !demoStopRequested().load()) {
        // The tick that would load past the last cycle ends the run instead.
        if (cycles != 0 && model.progressPosition() <= 1 && model.loads() >= lastLoad) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(DemoModeModel::kTimerPeriodMs));
        model.tick();
    }
    model.stop();
    return model.failedLoads() == 0 ? kExitOk : kExitCamera;
}

}  // namespace TVR::Cli
