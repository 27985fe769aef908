#pragma once

// The firmware upgrade procedure for the FX3 program and the FPGA configuration, independent of
// any toolkit. The job runs the procedure on a worker thread and polls the FPGA configuration
// status on a second thread; the caller sees it only through an UpgradeObserver (called from
// those threads) and answers questions through UpgradeQuestions on its own thread, so nothing
// here waits for a user.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "upgrade_observer.h"

namespace TVR {

class FX3;

enum class UpgradeTarget { Fx3, Fpga };
enum class ImageSource { Server, LocalFile };

// "FX3" or "FPGA".
std::string_view upgradeTargetName(UpgradeTarget target);

// Every delay of the procedure. The defaults are the camera's; tests shorten them.
struct UpgradeTiming {
    std::chrono::milliseconds pollPeriod{250};        // one status update, one wait tick
    std::chrono::milliseconds bootWait{2000};         // before reconnecting, after restore
    std::chrono::milliseconds reconnectSettle{1500};  // a matching device before selecting it
    std::chrono::milliseconds reconnectRetry{750};    // between reconnect attempts
    std::chrono::milliseconds bootLoaderRound{750};   // between boot-loader search rounds
    std::chrono::milliseconds autoClose{30000};       // the notice's delay, for the caller
    uint32_t fpgaBulkTimeoutMs = 90000;

    // The defaults, each multiplied by `factor` (at least 1 ms).
    static UpgradeTiming scaled(double factor);
};

struct UpgradeOptions {
    UpgradeTarget target = UpgradeTarget::Fpga;
    ImageSource source = ImageSource::LocalFile;
    // Server: the release's server-relative path; local: the file's path.
    std::string path;
    // Server: the release's size in bytes. Local files use their own size.
    int64_t size = 0;
    // FX3 only: load into FX3 RAM instead of programming the SPI flash.
    bool ramOnly = false;
    // The download server's base address (server source only).
    std::string serverBase;
    UpgradeTiming timing;
};

// Questions the caller answers: the panel with a message box, the command line from its flags.
class UpgradeQuestions {
public:
    virtual ~UpgradeQuestions() = default;
    // True for "yes". `defaultYes` names the button a plain confirmation picks.
    virtual bool ask(const std::string& title, const std::string& text, bool defaultYes) = 0;
};

inline constexpr std::string_view kCancelTitle = "Warning!";
inline constexpr std::string_view kCancelQuestion =
    "Firmware upgrade is in progress. Interrupting it may lead to unexpected results. Are you "
    "sure you want to canel?";
inline constexpr std::string_view kAbortMessage =
    "Firmware upgrade procedure aborted by user, the device may have been left in an unknown "
    "state!";
inline constexpr std::string_view kDowngradeTitle = "Confirmation";

// Upgrading from the server to a build not above the current one needs a "yes" (default "no").
bool confirmServerUpgrade(int currentBuild, int chosenBuild, UpgradeQuestions& questions);

// The checks of a dropped image file: empty when it may start a local job, else the message
// box's title and text.
struct DropRefusal {
    std::string title;
    std::string text;
};
std::optional<DropRefusal> checkDroppedImage(const std::string& path, UpgradeTarget target);

class UpgradeJob {
public:
    // Records the camera's device count and path for reconnecting. The FX3 object and the
    // observer must outlive the job; the panel keeps away from the camera meanwhile. The job's
    // messages go to the camera's own log (FX3::apiLog()).
    UpgradeJob(FX3& fx3, UpgradeOptions options, UpgradeObserver& observer);
    // Joins both threads; after an abort this waits for the worker's current request at most.
    ~UpgradeJob();
    UpgradeJob(const UpgradeJob&) = delete;
    UpgradeJob& operator=(const UpgradeJob&) = delete;

    // Logs "Running firmware upgrade for ..." to the camera's log and starts both threads.
    void start();
    // True from start() until the procedure ended or was aborted.
    bool inProgress() const;
    // Blocks until the procedure ended (or was aborted); its result. Meant for the command
    // line; the panel waits for UpgradeObserver::finished instead.
    bool waitFinished();
    // Empty while running or when aborted.
    std::optional<bool> result() const;

    // Closing while the procedure runs asks the cancel question; "yes" logs the abort error,
    // stops the procedure at its next step and returns true (the window may close). After the
    // procedure, closing is free. Not to be called from inside an observer call.
    bool requestClose(UpgradeQuestions& questions);

    // Status updates delivered so far (one per poll tick).
    uint64_t statusUpdates() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

}  // namespace TVR
