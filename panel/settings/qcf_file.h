#pragma once

// The settings file (.qcf): a three-line header, then one "<prefix><key>=<text>" line per
// value in ascending key order, CRLF line ends, UTF-8. Reading applies one rule to every line,
// so comments and junk need no special case.

#include <cstddef>
#include <string>
#include <string_view>

#include "settings/settings_store.h"

namespace TVR {

inline constexpr std::string_view kQcfHeaderLine1 =
    "; Camera configuration for Brisco Tuner (Tavro control center)";
inline constexpr std::string_view kQcfHeaderLine2 = "; Written by the Brisco camera control panel";
inline constexpr std::string_view kQcfHeaderLine3 = "; File format version 1.0";
// Larger files are refused rather than read: a settings file is a few kilobytes.
inline constexpr size_t kMaxQcfFileSize = 16u << 20;

// The whole file as written: header, then the values whose type is not Unset.
std::string qcfText(const SettingsStore::Values& values);

// Parses file text (already decoded to UTF-8); a later line with the same key replaces an
// earlier one. Lines that do not follow the rule are ignored.
SettingsStore::Values parseQcfText(std::string_view text);

// The file's bytes, at most kMaxQcfFileSize.
SettingsResult readQcfBytes(const std::string& path, std::string& bytes);
// Writes `bytes` as the whole file through safeFileWrite: a failed write leaves the previous
// file as it was, and a file the user may not write is refused.
SettingsResult replaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace TVR
