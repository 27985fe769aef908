#pragma once

// Parsers of the download server's replies. Replies are outside data: every field is checked and
// a bad one becomes an error text, never an exception.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "versioninfo.h"

namespace TVR {

// The running panel's version as major * 10000 + minor * 100 + patch.
inline constexpr uint32_t kPanelVersionValue = 20600;

inline constexpr std::string_view kInstallerInfoError = "Unexpected installer information!";

struct ReleasePiece {
    FirmwareRelease release;  // unfilled unless the piece named the record and parsed
    std::string error;        // a field that should be a number is not
};

// One "name:kind:build:path:size" piece. Fewer than five fields or another record name leave
// the release unfilled without an error.
ReleasePiece parseReleasePiece(std::string_view recordName, std::string_view piece);

// Every non-empty piece of a reply split at white space, in reply order; the first error ends
// the list with that error.
ReleaseList parseReleaseList(std::string_view recordName, std::string_view reply);

// The first non-empty piece; the unfilled release with an error when there is none or it is bad.
LatestRelease parseLatestRelease(std::string_view recordName, std::string_view reply);

// Newest first; releases of the same build keep the reverse of their reply order.
void sortNewestFirst(std::vector<FirmwareRelease>& releases);

struct InstallerInfo {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;
    uint32_t fourth = 0;
    std::string path;
    int32_t size = 0;

    uint32_t versionValue() const;
    bool newerThan(uint32_t running = kPanelVersionValue) const { return versionValue() > running; }
};

struct InstallerParse {
    InstallerInfo info;  // all zero unless every field parsed
    std::string error;   // kInstallerInfoError when a number field is not a number
};

// "major:minor:patch:fourth:path:size"; fewer than six fields give the zero record.
InstallerParse parseInstallerReply(std::string_view reply);

}  // namespace TVR
