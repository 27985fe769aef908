#include "cli_session.h"

#include <charconv>

#include <fmt/format.h>

#include "apilog.h"
#include "sensor/img_sensor.h"

namespace TVR::Cli {

namespace {

// The panel's default splash delay: quick commands never draw the line.
constexpr int32_t kProgressDelayMs = 400;

}  // namespace

bool CliPrompter::askYesNo(std::string_view /*title*/, std::string_view text) {
    if (!m_yes) m_progress.printLine(text);
    return m_yes;
}

void CliPrompter::showError(std::string_view /*title*/, std::string_view text) {
    m_progress.printLine(fmt::format("brisco-cli: {}", text));
}

void CliPrompter::showStatus(std::string_view text) {
    m_progress.printLine(fmt::format("brisco-cli: {}", text));
}

const char* const kMuteCameraText = "the camera does not answer its firmware version request";

int cliFailure(std::ostream& err, std::string_view message) {
    err << "brisco-cli: " << message << '\n';
    return kExitCamera;
}

std::optional<uint32_t> parseWholeNumber(std::string_view text, uint32_t lo, uint32_t hi) {
    uint32_t n = 0;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc{} || p != text.data() + text.size() || n < lo || n > hi)
        return std::nullopt;
    return n;
}

int cliUsage(std::ostream& err, std::string_view command, std::string_view message) {
    if (command.empty()) {
        err << "brisco-cli: " << message << "\nTry 'brisco-cli --help'.\n";
    } else {
        err << "brisco-cli: " << command << ": " << message << "\nTry 'brisco-cli " << command
            << " --help'.\n";
    }
    return kExitUsage;
}

CliSession::CliSession(std::ostream& err, ApiLog& log, bool yes, bool progress)
    : m_err(err), m_log(log), m_progress(err, progress), m_prompter(m_progress, yes) {}

CliSession::~CliSession() = default;

bool CliSession::open(const CameraChoice& choice, int& rc, bool muteAllowed) {
    std::string error;
    Backends backends = openCliBackends(choice.open, choice.simulate, error);
    if (!backends.usb) {
        rc = cliFailure(m_err, error);
        return false;
    }
    CameraSession::Options options;
    options.controlTimeoutMs = choice.controlTimeoutMs;
    m_session = std::make_unique<CameraSession>(std::move(backends), m_log, m_prompter, options);
    const SessionResult opened = m_session->selectDevice(static_cast<uint8_t>(choice.device));
    if (!opened) {
        rc = cliFailure(m_err, opened.message);
        return false;
    }
    // Without its versions nothing about the camera is known, not even its sensor.
    if (!muteAllowed && !m_session->camera().versionFX3().valid()) {
        rc = cliFailure(m_err, kMuteCameraText);
        return false;
    }
    return true;
}

void CliSession::runBatchStep(std::string name, const std::function<void()>& step) {
    BatchRunner::Options options;
    options.delayMs = kProgressDelayMs;
    options.window = &m_progress;
    BatchRunner runner(m_log, std::move(options));
    runner.run({{std::move(name), step}});
}

}  // namespace TVR::Cli
