#include "firmware_commands.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <memory>
#include <mutex>
#include <optional>

#include <fmt/format.h>

#include "backend/usb_backend.h"
#include "cli/cli_app.h"
#include "cli/cli_session.h"
#include "fx3.h"
#include "release_client.h"
#include "sensor/img_sensor.h"
#include "upgrade_job.h"

namespace TVR::Cli {

const char* const kReleasesHelp =
    "Usage: brisco-cli [--simulate] [--device N] [--server URL] releases fx3|fpga [--kind K]\n"
    "Asks the download server which firmware releases of kind K (1-7; default: the kind the\n"
    "camera runs, or 5 \"Release\") exist for the camera's FX3 or FPGA, and prints one line\n"
    "per release, newest first, tab-separated: build, version, kind, size in bytes, file on\n"
    "the server.\n";

const char* const kCheckUpdateHelp =
    "Usage: brisco-cli [--server URL] check-update\n"
    "Asks the download server whether a newer control-panel installer exists and prints the\n"
    "answer (with the installer's address when there is one). Exit code 0 either way; 1 when\n"
    "the server cannot be asked or its answer is not understood.\n";

const char* const kUpgradeHelp =
    "Usage: brisco-cli [--simulate] [--device N] upgrade fx3|fpga FILE [--ram]\n"
    "       brisco-cli [--simulate] [--device N] [--server URL] upgrade fx3|fpga --release K\n"
    "                  [--build N] [--yes]\n"
    "Replaces the camera's FX3 program or FPGA configuration and reconnects to the camera,\n"
    "printing the step log as it goes. FILE is an FX3 image (at least 102400 bytes) or an\n"
    "FPGA image (at least 3145728 bytes); with --ram the FX3 image is loaded into FX3 RAM only\n"
    "instead of its SPI flash. --release takes the newest release of kind K (1-7) from the\n"
    "download server, or build N of it; a build that is not above the camera's needs --yes.\n"
    "Exit code 0 only when the upgrade succeeded.\n";

namespace {

constexpr int kDefaultReleaseKind = 5;
constexpr int kFirstReleaseKind = 1;
constexpr int kLastReleaseKind = 7;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return a == std::tolower(static_cast<unsigned char>(b));
           });
}

std::shared_ptr<const ReleaseClient> client(const FirmwareSettings& settings) {
    return std::make_shared<ReleaseClient>(DownloadServer::fromSettings(settings.server));
}

bool parseTarget(std::string_view text, UpgradeTarget& target) {
    if (text == "fx3") {
        target = UpgradeTarget::Fx3;
    } else if (text == "fpga") {
        target = UpgradeTarget::Fpga;
    } else {
        return false;
    }
    return true;
}

bool parseKind(std::string_view command, const std::string& text, int& kind, std::ostream& err,
               int& rc) {
    const auto n = parseWholeNumber(text, kFirstReleaseKind, kLastReleaseKind);
    if (!n) {
        rc = cliUsage(err, command,
                      fmt::format("--kind and --release take {} to {}, not '{}'", kFirstReleaseKind,
                                  kLastReleaseKind, text));
        return false;
    }
    kind = static_cast<int>(*n);
    return true;
}

// The camera chosen by --device, opened as every command opens it.
struct Camera {
    Camera(std::ostream& err, ApiLog& log) : cli(err, log, false, false) {}
    CliSession cli;
    FX3* fx3 = nullptr;
};

bool openCamera(const FirmwareSettings& settings, Camera& cam, std::ostream& /*err*/, int& rc) {
    // A camera in its boot loader answers no version request and is still upgraded.
    if (!cam.cli.open(CameraChoice{settings.simulate, settings.device, false, settings.open,
                                   settings.log, settings.controlTimeoutMs},
                      rc, true)) {
        return false;
    }
    cam.fx3 = &cam.cli.session().camera();
    return true;
}

// A copy of the target's record, so the camera's own keeps its release source. An unknown
// record would ask nothing and list nothing, which would read as "no releases".
std::unique_ptr<VersionInfoBase> knownRecord(FX3& fx3, UpgradeTarget target, std::ostream& err,
                                             int& rc) {
    std::unique_ptr<VersionInfoBase> record;
    if (target == UpgradeTarget::Fx3) {
        record = std::make_unique<VersionInfoFX3>(fx3.versionFX3());
    } else {
        record = std::make_unique<VersionInfoFPGA>(fx3.versionFPGA());
    }
    if (!record->valid()) {
        rc = cliFailure(err, fmt::format("the camera does not answer its {} version request",
                                         upgradeTargetName(target)));
        record.reset();
    }
    return record;
}

// The releases that can be fetched, newest first.
bool fetchReleases(VersionInfoBase& record, const FirmwareSettings& settings, int kind,
                   std::vector<FirmwareRelease>& releases, std::ostream& err, int& rc) {
    record.setReleaseSource(client(settings));
    ReleaseList list = record.releases(kind);
    if (!list.error.empty()) {
        rc =
            cliFailure(err, fmt::format("Failed to fetch hardware version info: [{}]", list.error));
        return false;
    }
    // Pieces naming another record, or too short, leave the unfilled record: nothing to get.
    std::erase_if(list.releases, [](const FirmwareRelease& r) { return r.path.empty(); });
    sortNewestFirst(list.releases);
    releases = std::move(list.releases);
    return true;
}

// The step log on the command line. Lines arrive from the job's threads one at a time.
class StepLog : public UpgradeObserver {
public:
    explicit StepLog(std::ostream& out) : m_out(out) {}

    void logText(const std::string& text) override {
        // There is no window to close.
        if (text.find("This window will auto-close") != std::string::npos) return;
        std::string line;
        line.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
            line.push_back(text[i]);
        }
        if (line.empty()) return;
        std::lock_guard lock(m_mutex);
        m_out << line << std::flush;
        m_lineOpen = line.back() != '\n';
    }
    void progress(int) override {}
    void fpgaStatus(uint16_t status, uint16_t) override {
        std::lock_guard lock(m_mutex);
        m_status = status;
    }
    void clearIndicators() override {
        std::lock_guard lock(m_mutex);
        m_status = 0;
    }
    void finished(bool) override {}

    // Ends a line left open for a result that never came.
    void closeLine() {
        std::lock_guard lock(m_mutex);
        if (m_lineOpen) m_out << '\n';
        m_lineOpen = false;
    }

    // The indicators that are lit, for a failed FPGA configuration.
    std::string litIndicators() const {
        std::lock_guard lock(m_mutex);
        std::string names;
        for (int bit = 0; bit < kFpgaStatusBits; ++bit) {
            if ((m_status & (1u << bit)) == 0) continue;
            if (!names.empty()) names += ", ";
            names += fpgaStatusName(bit);
        }
        return names;
    }

private:
    std::ostream& m_out;
    mutable std::mutex m_mutex;
    uint16_t m_status = 0;
    bool m_lineOpen = false;
};

// The downgrade question is answered by --yes; without it the question is shown and refused.
class FlagAnswers : public UpgradeQuestions {
public:
    FlagAnswers(bool yes, std::ostream& out) : m_yes(yes), m_out(out) {}
    bool ask(const std::string&, const std::string& text, bool) override {
        if (!m_yes) m_out << text << '\n';
        return m_yes;
    }

private:
    bool m_yes;
    std::ostream& m_out;
};

// The simulated camera re-enumerates and configures in milliseconds.
constexpr double kSimulatedTimingFactor = 0.05;

}  // namespace

bool validServerAddress(std::string_view url) {
    if (std::any_of(url.begin(), url.end(), [](char ch) {
            const auto c = static_cast<unsigned char>(ch);
            return c <= 0x20 || c == 0x7F;
        })) {
        return false;
    }
    for (std::string_view scheme : {"http://", "https://"}) {
        if (startsWithNoCase(url, scheme)) {
            const std::string_view rest = url.substr(scheme.size());
            return !rest.empty() && rest.front() != '/' && rest.front() != ':';
        }
    }
    constexpr std::string_view kFile = "file://";
    return startsWithNoCase(url, kFile) && url.size() > kFile.size();
}

int runReleases(const std::vector<std::string>& args, const FirmwareSettings& settings,
                std::ostream& out, std::ostream& err) {
    constexpr std::string_view kCommand = "releases";
    std::optional<UpgradeTarget> target;
    std::optional<int> kind;
    int rc = kExitOk;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--kind") {
            int k = -1;
            if (i + 1 >= args.size()) return cliUsage(err, kCommand, "--kind needs a release kind");
            if (!parseKind(kCommand, args[++i], k, err, rc)) return rc;
            kind = k;
        } else if (UpgradeTarget t; !target && parseTarget(a, t)) {
            target = t;
        } else {
            return cliUsage(err, kCommand, fmt::format("unexpected argument '{}'", a));
        }
    }
    if (!target) return cliUsage(err, kCommand, "fx3 or fpga is needed");

    Camera cam(err, settings.log);
    if (!openCamera(settings, cam, err, rc)) return rc;
    std::unique_ptr<VersionInfoBase> record = knownRecord(*cam.fx3, *target, err, rc);
    if (!record) return rc;
    if (!kind) {
        const int own = record->releaseKind();
        kind = own >= kFirstReleaseKind && own <= kLastReleaseKind ? own : kDefaultReleaseKind;
    }
    std::vector<FirmwareRelease> releases;
    if (!fetchReleases(*record, settings, *kind, releases, err, rc)) return rc;
    for (const FirmwareRelease& r : releases) {
        out << fmt::format("{}\t{}.{}.{}.{}.{}\t{}\t{}\t{}\n", r.build, record->vendor(),
                           record->hardware(), record->product(), r.kind, r.build,
                           VersionInfoBase::releaseKindName(r.kind), r.size, r.path);
    }
    return kExitOk;
}

int runCheckUpdate(const FirmwareSettings& settings, std::ostream& out, std::ostream& err) {
    const auto releases = client(settings);
    const InstallerCheck check = releases->checkInstaller(settings.log);
    if (!check.error.empty()) return cliFailure(err, check.error);
    const InstallerInfo& info = check.info;
    // A reply without the record's fields (an error page) leaves it empty: no answer at all.
    if (info.major == 0 && info.minor == 0 && info.patch == 0 && info.path.empty()) {
        return cliFailure(err, "the server's reply is not an installer record");
    }
    if (info.newerThan()) {
        out << fmt::format("New version {}.{}.{} is available: {}\n", info.major, info.minor,
                           info.patch, releases->server().url(info.path));
    } else {
        out << "You are current running the latest version of the software\n";
    }
    return kExitOk;
}

int runUpgrade(const std::vector<std::string>& args, const FirmwareSettings& settings,
               std::ostream& out, std::ostream& err) {
    constexpr std::string_view kCommand = "upgrade";
    std::optional<UpgradeTarget> target;
    std::optional<std::string> file;
    std::optional<int> kind;
    std::optional<uint32_t> build;
    bool ram = false;
    bool yes = false;
    int rc = kExitOk;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--ram") {
            ram = true;
        } else if (a == "--yes") {
            yes = true;
        } else if (a == "--release") {
            int k = -1;
            if (i + 1 >= args.size())
                return cliUsage(err, kCommand, "--release needs a release kind");
            if (!parseKind(kCommand, args[++i], k, err, rc)) return rc;
            kind = k;
        } else if (a == "--build") {
            if (i + 1 >= args.size())
                return cliUsage(err, kCommand, "--build needs a build number");
            const std::string& v = args[++i];
            const auto n = parseWholeNumber(v, 0, UINT32_MAX);
            if (!n) {
                return cliUsage(err, kCommand, fmt::format("--build takes a number, not '{}'", v));
            }
            build = *n;
        } else if (UpgradeTarget t; !target && parseTarget(a, t)) {
            target = t;
        } else if (target && !file && !a.empty() && a[0] != '-') {
            file = a;
        } else {
            return cliUsage(err, kCommand, fmt::format("unexpected argument '{}'", a));
        }
    }
    if (!target) return cliUsage(err, kCommand, "fx3 or fpga is needed");
    if (file.has_value() == kind.has_value()) {
        return cliUsage(err, kCommand, "either an image file or --release is needed");
    }
    if (ram && (*target != UpgradeTarget::Fx3 || !file)) {
        return cliUsage(err, kCommand, "--ram loads an FX3 image file only");
    }
    if (file && (build || yes)) {
        return cliUsage(err, kCommand, "--build and --yes go with --release");
    }

    UpgradeOptions options;
    options.target = *target;
    options.ramOnly = ram;
    if (settings.simulate) options.timing = UpgradeTiming::scaled(kSimulatedTimingFactor);
    if (file) {
        // Checked before the camera is touched: a short or missing file would only fail later.
        if (const auto refused = checkDroppedImage(*file, *target)) {
            return cliFailure(err, fmt::format("{}: '{}'", refused->text, *file));
        }
        options.source = ImageSource::LocalFile;
        options.path = *file;
    }

    Camera cam(err, settings.log);
    if (!openCamera(settings, cam, err, rc)) return rc;
    if (kind) {
        std::unique_ptr<VersionInfoBase> record = knownRecord(*cam.fx3, *target, err, rc);
        if (!record) return rc;
        std::vector<FirmwareRelease> releases;
        if (!fetchReleases(*record, settings, *kind, releases, err, rc)) return rc;
        const auto chosen = std::find_if(
            releases.begin(), releases.end(),
            [&build](const FirmwareRelease& r) { return !build || r.build == *build; });
        if (chosen == releases.end()) {
            const std::string kindText =
                fmt::format("kind {} ({})", *kind, VersionInfoBase::releaseKindName(*kind));
            return cliFailure(
                err, build ? fmt::format("the server has no build {} of {}", *build, kindText)
                           : fmt::format("the server has no release of {}", kindText));
        }
        const int chosenBuild = static_cast<int>(std::min<uint32_t>(chosen->build, INT_MAX));
        FlagAnswers answers(yes, out);
        if (!confirmServerUpgrade(record->build(), chosenBuild, answers)) {
            return cliFailure(err, "the upgrade was not confirmed (--yes confirms it)");
        }
        options.source = ImageSource::Server;
        options.path = chosen->path;
        options.size = chosen->size;
        options.serverBase = DownloadServer::fromSettings(settings.server).baseAddress();
    }

    StepLog log(out);
    bool ok = false;
    {
        UpgradeJob job(*cam.fx3, std::move(options), log);
        job.start();
        ok = job.waitFinished();
    }  // both job threads are done before anything else is written
    log.closeLine();
    if (ok) return kExitOk;
    if (*target == UpgradeTarget::Fpga) {
        if (const std::string lit = log.litIndicators(); !lit.empty()) {
            out << "FPGA configuration status: " << lit << '\n';
        }
    }
    return cliFailure(err,
                      fmt::format("the {} firmware upgrade failed", upgradeTargetName(*target)));
}

}  // namespace TVR::Cli
