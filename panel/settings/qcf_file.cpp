#include "qcf_file.h"

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "settings/safe_file_write.h"

namespace TVR {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLineEnd = "\r\n";

SettingType typeFromLetter(char c) {
    switch (c) {
        case 'B':
            return SettingType::Bool;
        case 'D':
            return SettingType::Decimal;
        case 'F':
            return SettingType::Real;
        case 'H':
            return SettingType::Hex;
        case 'S':
            return SettingType::String;
        default:
            return SettingType::Unset;
    }
}

}  // namespace

std::string qcfText(const SettingsStore::Values& values) {
    std::string out;
    for (std::string_view line : {kQcfHeaderLine1, kQcfHeaderLine2, kQcfHeaderLine3}) {
        out.append(line).append(kLineEnd);
    }
    out.append(kLineEnd);
    // The map is ordered by key bytes, which for UTF-8 is code-point order.
    for (const auto& [key, value] : values) {
        if (value.type == SettingType::Unset) continue;
        out.append(settingPrefix(value.type)).append(key).append("=").append(value.text);
        out.append(kLineEnd);
    }
    return out;
}

SettingsStore::Values parseQcfText(std::string_view text) {
    SettingsStore::Values values;
    while (!text.empty()) {
        const size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view{} : text.substr(lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;

        const size_t dot = line.find('.');
        if (dot == std::string_view::npos || dot == 0) continue;
        const SettingType type = typeFromLetter(line.front());
        if (type == SettingType::Unset) continue;
        const std::string_view rest = line.substr(dot + 1);
        const size_t eq = rest.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        const std::string_view key = rest.substr(0, eq);
        auto& slot = values[std::string(key)];
        slot.type = type;
        slot.text.assign(rest.substr(eq + 1));
    }
    return values;
}

SettingsResult readQcfBytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    SettingsResult cannotOpen{false, fmt::format("Can't open the file [{}]", path)};
    std::error_code ec;
    // Only a regular file: a named pipe or a device would block or never end.
    if (path.empty() || !fs::is_regular_file(path, ec)) return cannotOpen;
    std::ifstream in(path, std::ios::binary);
    if (!in) return cannotOpen;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) return cannotOpen;
    if (static_cast<uint64_t>(size) > kMaxQcfFileSize) {
        return {false, fmt::format("The file [{}] is too large for a settings file", path)};
    }
    in.seekg(0, std::ios::beg);
    bytes.resize(static_cast<size_t>(size));
    in.read(bytes.data(), size);
    if (in.gcount() != size) {
        bytes.clear();
        return {false, fmt::format("Can't read the file [{}]", path)};
    }
    return {true, {}};
}

SettingsResult replaceFileContents(const std::string& path, std::string_view bytes) {
    if (path.empty()) return {false, "File name is empty, cannot save"};
    const FileWriteResult written = safeFileWrite(path, bytes);
    if (!written) {
        return {false, fmt::format("Can't save the settings file [{}]: {}", path, written.message)};
    }
    return {true, {}};
}

}  // namespace TVR
