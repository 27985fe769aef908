#include "release_notice_model.h"

#include <fmt/format.h>

#include "release_client.h"

namespace TVR {

std::string ReleaseNoticeResult::question() const {
    return fmt::format("New version {} is available. Would you like to download it?", version);
}

std::string ReleaseNoticeResult::failureLine() const {
    return fmt::format("Could not check online for updates: {}", error);
}

ReleaseNoticeResult checkForNewRelease(const DownloadServer& server, ApiLog& log,
                                       uint32_t running) {
    ReleaseNoticeResult out;
    const ReleaseClient client(server);
    const InstallerCheck check = client.checkInstaller(log);
    if (!check.error.empty()) {
        out.error = check.error;
        return out;
    }
    const InstallerInfo& info = check.info;
    // An answer without the record's fields (an error page, an empty reply) says nothing.
    if (info.major == 0 && info.minor == 0 && info.patch == 0 && info.path.empty()) {
        out.error = "the server's reply is not an installer record";
        return out;
    }
    out.ok = true;
    out.version = fmt::format("{}.{}.{}", info.major, info.minor, info.patch);
    out.newer = info.newerThan(running);
    if (out.newer) out.url = server.url(info.path);
    return out;
}

}  // namespace TVR
