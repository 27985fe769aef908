// Parses hostile download-server replies: release lists, the latest release and installer
// records. A parsed list holds one record per piece; a failed parse leaves nothing filled; an
// installer record is either all zero or carries every field.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "release_parser.h"

namespace {

bool unfilled(const TVR::FirmwareRelease& r) {
    return r.kind == 4 && r.build == 0 && r.path.empty() && r.size == -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);

    const TVR::ReleaseList list = TVR::parseReleaseList("fx3", reply);
    FUZZ_CHECK(list.error.empty() || list.releases.empty());
    FUZZ_CHECK(list.releases.size() <= size / 2 + 1);
    for (const TVR::FirmwareRelease& r : list.releases) {
        FUZZ_CHECK(unfilled(r) || reply.find(r.path) != std::string_view::npos);
    }
    std::vector<TVR::FirmwareRelease> sorted = list.releases;
    TVR::sortNewestFirst(sorted);
    for (size_t i = 1; i < sorted.size(); ++i) FUZZ_CHECK(sorted[i - 1].build >= sorted[i].build);

    const TVR::LatestRelease latest = TVR::parseLatestRelease("fpga", reply);
    FUZZ_CHECK(latest.error.empty() || unfilled(latest.release));

    const TVR::InstallerParse installer = TVR::parseInstallerReply(reply);
    if (!installer.error.empty()) {
        FUZZ_CHECK(installer.info.versionValue() == 0 && installer.info.size == 0);
    }
    return 0;
}
