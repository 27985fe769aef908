#pragma once

// The control-panel installer check as the main window uses it: at start-up (a newer installer
// turns the status bar's default text into the download notice) and on demand from the Help
// menu (a question or an answer box). Toolkit-free; check() blocks on the network and is meant
// for a worker thread.

#include <string>

#include "download_server.h"
#include "release_parser.h"

namespace TVR {

class ApiLog;

inline constexpr const char* kUpgradeQuestionTitle = "Upgrade notification";
inline constexpr const char* kNoNewVersionTitle = "No new versions found";
inline constexpr const char* kNoNewVersionText =
    "You are current running the latest version of the software";
inline constexpr const char* kUpdateCheckFailedTitle = "Check for updates";

struct ReleaseNoticeResult {
    bool ok = false;      // the server gave a usable installer record
    bool newer = false;   // its version is above the running panel's
    std::string version;  // "major.minor.patch"
    std::string url;      // the installer's address, when newer
    std::string error;    // why the check failed, when it did

    // "New version {}.{}.{} is available. Would you like to download it?"
    std::string question() const;
    // The one information line a failed check leaves in the log.
    std::string failureLine() const;
};

// Asks the server for its newest installer. A parse failure is also logged by the client.
ReleaseNoticeResult checkForNewRelease(const DownloadServer& server, ApiLog& log,
                                       uint32_t running = kPanelVersionValue);

}  // namespace TVR
