#pragma once

// The camera session of one brisco-cli command: the backends the global options chose, the
// camera they name opened in a CameraSession, the panel's questions answered by flags and long
// steps run behind the console's progress line. Every command that needs a camera goes through
// it, so the command line opens, reads and pushes exactly as the panel does. Main thread.

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/cli_app.h"
#include "cli/console_progress.h"
#include "session/camera_session.h"
#include "settings/batch_runner.h"

namespace TVR::Cli {

// The camera the commands work on, from the global options, and the run's log it records into.
struct CameraChoice {
    bool simulate = false;
    int device = 0;
    bool progress = false;  // show the progress line of long batches
    BackendOpener open;
    ApiLog& log;
    uint32_t controlTimeoutMs = kControlTimeoutMs;
};

// The panel's questions answered by the command line: Yes only when the user said so.
class CliPrompter : public TransferPrompter {
public:
    CliPrompter(ConsoleProgress& progress, bool yes) : m_progress(progress), m_yes(yes) {}
    bool askYesNo(std::string_view title, std::string_view text) override;
    void showError(std::string_view title, std::string_view text) override;
    void showStatus(std::string_view text) override;

private:
    ConsoleProgress& m_progress;
    bool m_yes;
};

class CliSession {
public:
    // `yes` answers the transfers' questions; `err` and `log` must outlive the session. The
    // camera and the batches record into `log`.
    CliSession(std::ostream& err, ApiLog& log, bool yes, bool progress);
    ~CliSession();

    // Opens the backends and the chosen camera. False with the line written and the exit code
    // in `rc` when either failed, or when the camera does not answer its firmware version
    // request (unless `mute` is allowed: info shows such a camera).
    bool open(const CameraChoice& choice, int& rc, bool muteAllowed = false);

    CameraSession& session() { return *m_session; }
    ConsoleProgress& progress() { return m_progress; }

    // Runs one long step as the panel does, on a worker behind the progress line; its result.
    template <typename Result>
    Result runBatch(const std::string& name, const std::function<Result()>& step) {
        Result result{};
        runBatchStep(name, [&] { result = step(); });
        return result;
    }

private:
    void runBatchStep(std::string name, const std::function<void()>& step);

    std::ostream& m_err;
    ApiLog& m_log;
    ConsoleProgress m_progress;
    CliPrompter m_prompter;
    std::unique_ptr<CameraSession> m_session;
};

extern const char* const kMuteCameraText;

// "brisco-cli: " and the message on a line of its own; the camera error's exit code.
int cliFailure(std::ostream& err, std::string_view message);
// Writes "brisco-cli: [COMMAND: ]MESSAGE" and where to read the command's help; returns the usage
// exit code.
int cliUsage(std::ostream& err, std::string_view command, std::string_view message);

// A decimal whole number from `lo` to `hi` and nothing around it; empty for anything else.
std::optional<uint32_t> parseWholeNumber(std::string_view text, uint32_t lo, uint32_t hi);

}  // namespace TVR::Cli
