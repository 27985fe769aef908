#pragma once

// The download server client: firmware release queries for a version record, the installer
// check and firmware downloads. Stateless apart from the server address, so one client may be
// shared by every record and called from any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "download_server.h"
#include "http_fetch.h"
#include "release_parser.h"
#include "versioninfo.h"

namespace TVR {

class ApiLog;

struct InstallerCheck {
    InstallerInfo info;  // all zero when the server gave nothing usable
    std::string error;   // fetch or parse error, for the log; never a reason to stop
};

class ReleaseClient : public ReleaseSource {
public:
    explicit ReleaseClient(DownloadServer server) : m_server(std::move(server)) {}

    // ReleaseSource: the record is taken as valid (the record asks only then).
    ReleaseList releases(const VersionInfoBase& record, int releaseKind) const override;
    LatestRelease latestRelease(const VersionInfoBase& record, int releaseKind) const override;

    // The newest control-panel installer the server offers. A parse failure is also logged as
    // an error message of `log`.
    InstallerCheck checkInstaller(ApiLog& log) const;

    // The release's image, exactly release.size bytes.
    DownloadResult download(const FirmwareRelease& release) const;

    static std::string releaseListPath(const VersionInfoBase& record, int releaseKind);
    static std::string latestReleasePath(const VersionInfoBase& record, int releaseKind);
    static constexpr std::string_view kInstallerPath = "/cgi-bin/ver.php?type=installer&os=win";

    const DownloadServer& server() const { return m_server; }

private:
    DownloadServer m_server;
};

}  // namespace TVR
