#pragma once

// Reads a URL (http, https or file) into memory over libcurl. Every call makes its own transfer
// handle, so any thread may fetch. Errors are returned as texts, never thrown.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace TVR {

// Agent names the download server sees: firmware queries and the installer check.
inline constexpr std::string_view kLibraryAgent = "Tavro-lib";
inline constexpr std::string_view kPanelAgent = "Tavro control center";

// Server replies are short texts; anything longer is not one of ours.
inline constexpr size_t kTextReplyLimit = size_t{1} << 20;
// The largest firmware image accepted (an FPGA bitstream is a few MiB).
inline constexpr int64_t kImageSizeLimit = int64_t{64} << 20;

inline constexpr std::string_view kEmptyUrlError = "Empty URL";
inline constexpr std::string_view kEmptyReplyError = "The server returned an empty reply";
inline constexpr std::string_view kSizeMismatchError =
    "Number of bytes read doesn't match the file size";

struct FetchResult {
    std::string text;
    std::string error;  // empty on success
    bool ok() const { return error.empty(); }
};

struct DownloadResult {
    std::vector<uint8_t> bytes;
    std::string error;  // empty on success
    bool ok() const { return error.empty(); }
};

// The whole reply as text, bypassing every cache and sending no cookies. An HTTP status of 400
// or more, a transport failure, a reply above kTextReplyLimit and (when emptyIsError) an empty
// reply give an error.
FetchResult httpFetchText(std::string_view url, std::string_view agent = kLibraryAgent,
                          bool emptyIsError = true);

// Exactly expectedSize bytes; a shorter or longer body is an error, as is a size outside
// 1..kImageSizeLimit.
DownloadResult downloadBytes(std::string_view url, int64_t expectedSize,
                             std::string_view agent = kLibraryAgent);

// The same result for a local file read directly (no URL, so any name a user can type works).
DownloadResult readImageFile(const std::string& path, int64_t expectedSize);

}  // namespace TVR
