#include "release_parser.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>

namespace TVR {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Pieces between runs of white space, empty ones dropped.
std::vector<std::string_view> splitAtSpace(std::string_view text) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i])) ++i;
        const size_t start = i;
        while (i < text.size() && !isSpace(text[i])) ++i;
        if (i > start) out.push_back(text.substr(start, i - start));
    }
    return out;
}

// Fields between colons; an empty last field (a trailing colon) is not counted.
std::vector<std::string_view> splitAtColon(std::string_view text) {
    std::vector<std::string_view> out;
    size_t start = 0;
    while (true) {
        const size_t colon = text.find(':', start);
        if (colon == std::string_view::npos) {
            if (start < text.size()) out.push_back(text.substr(start));
            return out;
        }
        out.push_back(text.substr(start, colon - start));
        start = colon + 1;
    }
}

// A whole decimal field that fits T; surrounding white space is allowed.
template <typename T>
std::optional<T> parseNumber(std::string_view field) {
    field = trim(field);
    if (field.empty()) return std::nullopt;
    T value{};
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size()) return std::nullopt;
    return value;
}

}  // namespace

ReleasePiece parseReleasePiece(std::string_view recordName, std::string_view piece) {
    ReleasePiece out;
    const auto fields = splitAtColon(piece);
    if (fields.size() < 5 || fields[0] != recordName) return out;
    const auto kind = parseNumber<uint8_t>(fields[1]);
    const auto build = parseNumber<uint32_t>(fields[2]);
    const auto size = parseNumber<int32_t>(fields[4]);
    if (!kind || !build || !size) {
        out.error = fmt::format("Unexpected release information: {}", piece.substr(0, 200));
        return out;
    }
    out.release.kind = *kind;
    out.release.build = *build;
    out.release.path = std::string(fields[3]);
    out.release.size = *size;
    return out;
}

ReleaseList parseReleaseList(std::string_view recordName, std::string_view reply) {
    ReleaseList out;
    for (std::string_view piece : splitAtSpace(reply)) {
        ReleasePiece p = parseReleasePiece(recordName, piece);
        if (!p.error.empty()) {
            out.releases.clear();
            out.error = std::move(p.error);
            return out;
        }
        out.releases.push_back(std::move(p.release));
    }
    return out;
}

LatestRelease parseLatestRelease(std::string_view recordName, std::string_view reply) {
    LatestRelease out;
    const auto pieces = splitAtSpace(reply);
    if (pieces.empty()) {
        out.error = "The reply holds no release";
        return out;
    }
    ReleasePiece p = parseReleasePiece(recordName, pieces.front());
    if (!p.error.empty()) {
        out.error = std::move(p.error);
        return out;
    }
    out.release = std::move(p.release);
    return out;
}

void sortNewestFirst(std::vector<FirmwareRelease>& releases) {
    std::stable_sort(
        releases.begin(), releases.end(),
        [](const FirmwareRelease& a, const FirmwareRelease& b) { return a.build < b.build; });
    std::reverse(releases.begin(), releases.end());
}

uint32_t InstallerInfo::versionValue() const {
    // Wide arithmetic so that huge fields from the server saturate instead of wrapping round
    // to an old-looking value.
    const uint64_t v = uint64_t{major} * 10000 + uint64_t{minor} * 100 + patch;
    return static_cast<uint32_t>(std::min<uint64_t>(v, std::numeric_limits<uint32_t>::max()));
}

InstallerParse parseInstallerReply(std::string_view reply) {
    InstallerParse out;
    const auto fields = splitAtColon(trim(reply));
    if (fields.size() < 6) return out;
    const auto major = parseNumber<uint32_t>(fields[0]);
    const auto minor = parseNumber<uint32_t>(fields[1]);
    const auto patch = parseNumber<uint32_t>(fields[2]);
    const auto fourth = parseNumber<uint32_t>(fields[3]);
    const auto size = parseNumber<int32_t>(fields[5]);
    if (!major || !minor || !patch || !fourth || !size) {
        out.error = kInstallerInfoError;
        return out;
    }
    out.info.major = *major;
    out.info.minor = *minor;
    out.info.patch = *patch;
    out.info.fourth = *fourth;
    out.info.path = std::string(fields[4]);
    out.info.size = *size;
    return out;
}

}  // namespace TVR
