// The download server's address as the environment gives it (TAVRO_DOWNLOAD_SERVER), and as a
// command-line value, with a server-relative path from a release list. The address is kept
// as given but for its trailing slashes, an empty value falls back to the next source, and a
// file's address is the base, one slash and the path without its leading slashes.
//
// Input: byte 0 chooses the sources (bit 0: the environment is set, bit 1: a command-line value
// is given); the rest is split at the first NUL into the value and the path.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "download_server.h"
#include "fuzz_check.h"

namespace {

std::string withoutTrailingSlashes(std::string_view s) {
    while (!s.empty() && s.back() == '/') s.remove_suffix(1);
    return std::string(s);
}

std::string_view withoutLeadingSlashes(std::string_view s) {
    while (!s.empty() && s.front() == '/') s.remove_prefix(1);
    return s;
}

void checkServer(const TVR::DownloadServer& server, std::string_view given, std::string_view path) {
    const std::string& base = server.baseAddress();
    FUZZ_CHECK(base == withoutTrailingSlashes(given) + "/");
    const std::string url = server.url(path);
    FUZZ_CHECK(url == base + std::string(withoutLeadingSlashes(path)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t nul = rest.find('\0');
    // The environment cannot hold a NUL: the value ends at the first one.
    const std::string value(rest.substr(0, nul));
    const std::string_view path =
        nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    const bool environment = (data[0] & 1) != 0;
    const bool commandLine = (data[0] & 2) != 0;

    const std::string name(TVR::DownloadServer::kEnvironmentVariable);
    if (environment) {
        FUZZ_CHECK(::setenv(name.c_str(), value.c_str(), 1) == 0);
    } else {
        FUZZ_CHECK(::unsetenv(name.c_str()) == 0);
    }
    const std::string_view flagValue = commandLine ? std::string_view(value) : std::string_view();
    const TVR::DownloadServer server = TVR::DownloadServer::fromSettings(flagValue);

    std::string_view expected = TVR::DownloadServer::builtInAddress();
    if (!value.empty() && (environment || commandLine)) expected = value;
    checkServer(server, expected, path);
    checkServer(TVR::DownloadServer(value), value, path);
    return 0;
}
