#include "download_server.h"

#include <cstdlib>

#ifndef TAVRO_DOWNLOAD_SERVER_URL
#error "TAVRO_DOWNLOAD_SERVER_URL must be defined by the build"
#endif
#if !defined(TAVRO_HELP_URL) || !defined(TAVRO_HISTORY_URL)
#error "TAVRO_HELP_URL and TAVRO_HISTORY_URL must be defined by the build"
#endif

namespace TVR {

std::string_view DownloadServer::builtInAddress() { return TAVRO_DOWNLOAD_SERVER_URL; }

std::string_view DownloadServer::helpPageAddress() { return TAVRO_HELP_URL; }

std::string_view DownloadServer::historyPageAddress() { return TAVRO_HISTORY_URL; }

DownloadServer DownloadServer::fromSettings(std::string_view commandLineValue) {
    if (!commandLineValue.empty()) return DownloadServer(commandLineValue);
    const std::string name(kEnvironmentVariable);
    // Read once on the calling thread; nothing in the process sets it.
    if (const char* env = std::getenv(name.c_str()); env && *env) return DownloadServer(env);
    return DownloadServer(builtInAddress());
}

DownloadServer::DownloadServer(std::string_view baseAddress) : m_base(baseAddress) {
    while (!m_base.empty() && m_base.back() == '/') m_base.pop_back();
    m_base.push_back('/');
}

std::string DownloadServer::url(std::string_view relativePath) const {
    while (!relativePath.empty() && relativePath.front() == '/') relativePath.remove_prefix(1);
    std::string out = m_base;
    out.append(relativePath);
    return out;
}

}  // namespace TVR
