#pragma once

// The download server's base address. The built-in address comes from the build; the
// TAVRO_DOWNLOAD_SERVER environment variable overrides it, and a command-line value overrides
// both.

#include <string>
#include <string_view>

namespace TVR {

class DownloadServer {
public:
    static constexpr std::string_view kEnvironmentVariable = "TAVRO_DOWNLOAD_SERVER";
    static constexpr std::string_view kCommandLineFlag = "--download-server";

    // The address given at build time.
    static std::string_view builtInAddress();
    // The online manual and the revision history, given at build time; empty when the build
    // left them out.
    static std::string_view helpPageAddress();
    static std::string_view historyPageAddress();
    // The command-line value when not empty, else the environment's when set and not empty,
    // else the built-in address.
    static DownloadServer fromSettings(std::string_view commandLineValue = {});

    // The address is kept with exactly one trailing '/'.
    explicit DownloadServer(std::string_view baseAddress);

    const std::string& baseAddress() const { return m_base; }
    // The base address followed by a server-relative path (a leading '/' is not doubled).
    std::string url(std::string_view relativePath) const;

private:
    std::string m_base;
};

}  // namespace TVR
