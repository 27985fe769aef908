#pragma once

// The firmware windows without their widgets: the choices of the upgrade dialog (source, release
// lists, local files) and the job they make, the progress window's state as the job reports it,
// and the Device page's upgrade links. Toolkit-free; the network calls here block and are meant
// for worker threads.

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "download_server.h"
#include "upgrade_job.h"
#include "upgrade_observer.h"
#include "versioninfo.h"

namespace TVR {

inline constexpr int kFwFirstReleaseKind = 1;
inline constexpr int kFwLastReleaseKind = 7;
inline constexpr std::string_view kFwFetchError = "Failed to fetch hardware version info";

// "Failed to fetch hardware version info", with ": [text]" when the text is not empty.
std::string fwFetchErrorText(std::string_view error);

// The upgrade dialog's choices, per target: the source ("Local file" or a release kind), the
// server's releases of that kind, the chosen one, and the local file.
class FwUpgradeDlgModel {
public:
    static constexpr int kLocalFileSource = 0;

    // "Local file", then the release kinds 1-7 by name; the index of a kind is the kind.
    static std::vector<std::string> sourceNames();
    // The source of the `FwRelease` preference; anything but a kind 1-7 gives "Local file".
    static int sourceForKind(int kind);
    // "v.{build}: {kind name}".
    static std::string releaseLabel(const FirmwareRelease& release);
    // The browse dialog's filter: "FX3 image file (*.img)" or "FPGA image file (*.bin)", then
    // all files, in the file dialog's ";;" form.
    static std::string fileFilter(UpgradeTarget target);

    explicit FwUpgradeDlgModel(int fwRelease);

    int source(UpgradeTarget target) const { return at(target).source; }
    // The release kind of the target's source; 0 for a local file.
    int releaseKind(UpgradeTarget target) const;
    // A new source forgets the releases of the old one.
    void setSource(UpgradeTarget target, int source);

    // A fetched list for `kind`, shown newest first with the first one chosen; pieces that named
    // nothing are left out. False for a fetch error (the list stays empty; `error` is what to
    // log) and for a reply that comes after the source changed (ignored).
    bool setReleases(UpgradeTarget target, int kind, ReleaseList list, std::string* error);
    const std::vector<FirmwareRelease>& releases(UpgradeTarget target) const {
        return at(target).releases;
    }
    std::vector<std::string> releaseLabels(UpgradeTarget target) const;
    int selectedRelease(UpgradeTarget target) const { return at(target).selected; }
    void selectRelease(UpgradeTarget target, int index);

    void setLocalPath(UpgradeTarget target, std::string path);
    const std::string& localPath(UpgradeTarget target) const { return at(target).localPath; }

    // The chosen image: the chosen release's server path, or the local file; empty for none.
    std::string path(UpgradeTarget target) const;
    bool canUpgrade(UpgradeTarget target) const { return !path(target).empty(); }

    // The job for the target, after asking the downgrade question for a release whose build is
    // not above `currentBuild`. Empty when nothing is chosen or the answer was "no".
    std::optional<UpgradeOptions> job(UpgradeTarget target, int currentBuild,
                                      UpgradeQuestions& questions, const std::string& serverBase,
                                      const UpgradeTiming& timing) const;

private:
    struct Target {
        int source = kLocalFileSource;
        std::vector<FirmwareRelease> releases;
        int selected = -1;
        std::string localPath;
    };
    Target& at(UpgradeTarget target) { return m_targets[target == UpgradeTarget::Fx3 ? 0 : 1]; }
    const Target& at(UpgradeTarget target) const {
        return m_targets[target == UpgradeTarget::Fx3 ? 0 : 1];
    }

    std::array<Target, 2> m_targets;
};

// Blocking: the server's releases of `kind` for the record (a copy, so that the camera's own
// record is not read from the worker).
ReleaseList fetchFwReleases(const VersionInfoBase& record, int kind, const DownloadServer& server);

// What the progress window shows, as the job reports it from its threads. The window takes
// what changed since its last look on its own thread.
struct FwMonitorChanges {
    std::string text;          // new log text
    int progress = 0;          // the bar's position
    uint16_t status = 0;       // the status word
    uint16_t changed = 0;      // indicators to redraw from `status`
    bool cleared = false;      // every indicator went off before `changed`
    std::optional<bool> done;  // the outcome, once the procedure ended
};

class FwUpgradeMonitor : public UpgradeObserver {
public:
    // Runs on the reporting thread after every report, outside the monitor's lock.
    void setNotify(std::function<void()> notify);

    void logText(const std::string& text) override;
    void progress(int percent) override;
    void fpgaStatus(uint16_t status, uint16_t changed) override;
    void clearIndicators() override;
    void finished(bool success) override;

    // What arrived since the last call. Any thread.
    FwMonitorChanges take();
    // The whole log so far. Any thread.
    std::string log() const;
    std::optional<bool> outcome() const;

private:
    void notify();

    mutable std::mutex m_mutex;
    std::function<void()> m_notify;
    std::string m_log;
    FwMonitorChanges m_pending;
    std::optional<bool> m_outcome;
};

// One "Upgrade to v.{} ({})" link of the Device page.
struct FwUpgradeLink {
    bool visible = false;
    std::string text;
    FirmwareRelease release;
};

// Shown when the record's build is below the latest release's.
FwUpgradeLink fwUpgradeLinkFor(const VersionInfoBase& record, const LatestRelease& latest);

struct FwLinkCheck {
    FwUpgradeLink fx3;
    FwUpgradeLink fpga;
    std::vector<std::string> errors;  // one line per failed fetch, for the log
};

// Blocking: the latest release of `kind` for both records; an invalid record asks nothing.
FwLinkCheck checkFwUpgradeLinks(const VersionInfoFX3& fx3, const VersionInfoFPGA& fpga, int kind,
                                const DownloadServer& server);

}  // namespace TVR
