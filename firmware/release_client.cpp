#include "release_client.h"

#include <fmt/format.h>

#include "apilog.h"

namespace TVR {

std::string ReleaseClient::releaseListPath(const VersionInfoBase& record, int releaseKind) {
    return fmt::format("/cgi-bin/ver.php?type={}&vid={}&hwid={}&pid={}&rel={}", record.recordName(),
                       record.vendor(), record.hardware(), record.product(), releaseKind);
}

std::string ReleaseClient::latestReleasePath(const VersionInfoBase& record, int releaseKind) {
    return fmt::format("/cgi-bin/latest.php?{}={}_{}_{}&rel={}", record.recordName(),
                       record.vendor(), record.hardware(), record.product(), releaseKind);
}

ReleaseList ReleaseClient::releases(const VersionInfoBase& record, int releaseKind) const {
    FetchResult reply = httpFetchText(m_server.url(releaseListPath(record, releaseKind)));
    if (!reply.ok()) {
        ReleaseList out;
        out.error = std::move(reply.error);
        return out;
    }
    return parseReleaseList(record.recordName(), reply.text);
}

LatestRelease ReleaseClient::latestRelease(const VersionInfoBase& record, int releaseKind) const {
    FetchResult reply = httpFetchText(m_server.url(latestReleasePath(record, releaseKind)));
    if (!reply.ok()) {
        LatestRelease out;
        out.error = std::move(reply.error);
        return out;
    }
    return parseLatestRelease(record.recordName(), reply.text);
}

InstallerCheck ReleaseClient::checkInstaller(ApiLog& log) const {
    InstallerCheck out;
    FetchResult reply = httpFetchText(m_server.url(kInstallerPath), kPanelAgent, false);
    if (!reply.ok()) {
        out.error = std::move(reply.error);
        return out;
    }
    InstallerParse parsed = parseInstallerReply(reply.text);
    if (!parsed.error.empty()) {
        log.appendText(true, parsed.error);
        out.error = std::move(parsed.error);
        return out;
    }
    out.info = std::move(parsed.info);
    return out;
}

DownloadResult ReleaseClient::download(const FirmwareRelease& release) const {
    if (release.path.empty()) {
        DownloadResult out;
        out.error = kEmptyUrlError;
        return out;
    }
    return downloadBytes(m_server.url(release.path), release.size);
}

}  // namespace TVR
