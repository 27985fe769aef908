#include "settings_store.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

#include "apilog.h"
#include "settings/qcf_file.h"
#include "settings/text_decode.h"

namespace TVR {
namespace {

// Leading digits in the given base, as the C library's conversions read them: an optional
// sign, for base 16 an optional "0x"; parsing stops at the first other character.
int32_t parseInteger(std::string_view text, int base) {
    if (text.empty()) return -1;
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (base == 16 && i + 1 < text.size() && text[i] == '0' && (text[i + 1] | 0x20) == 'x') i += 2;
    constexpr uint64_t kSaturated = uint64_t{1} << 33;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && (c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
            digit = (c | 0x20) - 'a' + 10;
        }
        if (digit < 0) break;
        magnitude = std::min(magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit),
                             kSaturated);
    }
    if (base == 16) {
        const uint32_t bits =
            magnitude > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(magnitude);
        return static_cast<int32_t>(negative ? 0u - bits : bits);
    }
    const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                   : int64_t{std::numeric_limits<int32_t>::max()};
    const int64_t clamped = std::min(static_cast<int64_t>(magnitude), limit);
    return static_cast<int32_t>(negative ? -clamped : clamped);
}

}  // namespace

std::string_view settingPrefix(SettingType type) {
    switch (type) {
        case SettingType::Hex:
            return "H.";
        case SettingType::Decimal:
            return "D.";
        case SettingType::String:
            return "S.";
        case SettingType::Bool:
            return "B.";
        case SettingType::Real:
            return "F.";
        case SettingType::Unset:
            break;
    }
    return {};
}

std::string escapeSettingText(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r') {
            c = '\\';
        } else if (c == '\n') {
            c = '/';
        } else if (c == ' ') {
            c = '%';
        }
    }
    return out;
}

std::string unescapeSettingText(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '/') {
            c = '\n';
        } else if (c == '\\') {
            c = '\r';
        } else if (c == '%') {
            c = ' ';
        }
    }
    return out;
}

SettingsStore::SettingsStore(ApiLog& log) : m_log(log) {}

void SettingsStore::setChangeCallback(ChangeCallback callback) {
    std::lock_guard lock(m_mutex);
    m_callback = std::make_shared<const ChangeCallback>(std::move(callback));
}

SettingValue SettingsStore::value(std::string_view key) {
    std::lock_guard lock(m_mutex);
    auto it = m_values.find(key);
    if (it == m_values.end()) it = m_values.emplace(std::string(key), SettingValue{}).first;
    return it->second;
}

int32_t SettingsStore::getInt(std::string_view key) {
    const SettingValue v = value(key);
    if (v.type == SettingType::Hex) return parseInteger(v.text, 16);
    if (v.type == SettingType::Decimal) return parseInteger(v.text, 10);
    return -1;
}

bool SettingsStore::getBool(std::string_view key) {
    const SettingValue v = value(key);
    return v.type == SettingType::Bool && v.text == "true";
}

double SettingsStore::getReal(std::string_view key, double defaultValue) {
    const SettingValue v = value(key);
    if (v.type != SettingType::Real) return defaultValue;
    std::string_view text = v.text;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    (void)end;
    return error == std::errc{} ? parsed : defaultValue;
}

std::string SettingsStore::getString(std::string_view key) {
    const SettingValue v = value(key);
    return v.type == SettingType::String ? unescapeSettingText(v.text) : std::string{};
}

void SettingsStore::setDecimal(std::string_view key, int32_t value) {
    store(key, SettingType::Decimal, fmt::format("{:d}", value));
}

void SettingsStore::setHex(std::string_view key, int32_t value) {
    store(key, SettingType::Hex, fmt::format("0x{:X}", static_cast<uint32_t>(value)));
}

void SettingsStore::setBool(std::string_view key, bool value) {
    store(key, SettingType::Bool, value ? "true" : "false");
}

void SettingsStore::setReal(std::string_view key, double value) {
    store(key, SettingType::Real, fmt::format("{:.4f}", value));
}

void SettingsStore::setString(std::string_view key, std::string_view value) {
    store(key, SettingType::String, escapeSettingText(value));
}

void SettingsStore::setRaw(std::string_view key, SettingType type, std::string text) {
    if (type == SettingType::Unset) return;
    store(key, type, std::move(text));
}

void SettingsStore::store(std::string_view key, SettingType type, std::string text) {
    std::shared_ptr<const ChangeCallback> callback;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_values.find(key);
        if (it == m_values.end()) it = m_values.emplace(std::string(key), SettingValue{}).first;
        SettingValue& slot = it->second;
        if (slot.type == type && slot.text == text) return;
        slot.type = type;
        slot.text = std::move(text);
        m_dirty = true;
        ++m_generation;
        callback = m_callback;
    }
    if (callback && *callback) (*callback)();
}

bool SettingsStore::has(std::string_view key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(key);
    return it != m_values.end() && it->second.type != SettingType::Unset;
}

std::vector<std::string> SettingsStore::keys() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> out;
    for (const auto& [key, v] : m_values) {
        if (v.type != SettingType::Unset) out.push_back(key);
    }
    return out;
}

SettingsStore::Values SettingsStore::values() const {
    std::lock_guard lock(m_mutex);
    return m_values;
}

size_t SettingsStore::size() const {
    std::lock_guard lock(m_mutex);
    size_t n = 0;
    for (const auto& entry : m_values) n += entry.second.type != SettingType::Unset;
    return n;
}

void SettingsStore::clear() { replaceAll({}); }

void SettingsStore::replaceAll(Values values) {
    std::lock_guard lock(m_mutex);
    m_values = std::move(values);
    m_dirty = false;
    ++m_generation;
}

bool SettingsStore::dirty() const {
    std::lock_guard lock(m_mutex);
    return m_dirty;
}

void SettingsStore::setDirty(bool dirty) {
    std::lock_guard lock(m_mutex);
    m_dirty = dirty;
}

std::string SettingsStore::filePath() const {
    std::lock_guard lock(m_mutex);
    return m_filePath;
}

void SettingsStore::setFilePath(std::string path) {
    std::lock_guard lock(m_mutex);
    m_filePath = std::move(path);
}

SettingsResult SettingsStore::loadFile(const std::string& path) {
    setFilePath(path);
    std::string bytes;
    SettingsResult result = readQcfBytes(path, bytes);
    if (!result) {
        m_log.appendText(true, result.message);
        return result;
    }
    std::string_view content = bytes;
    // Editors on Windows like to start a UTF-8 file with a byte-order mark.
    if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
    Values parsed = parseQcfText(decodeUtf8OrLatin1(content));
    const size_t entries = parsed.size();
    replaceAll(std::move(parsed));
    m_log.appendMessage(false,
                        "Finished parsing the saved settings file with %d recognized entries",
                        static_cast<int>(entries));
    return {true, {}};
}

SettingsResult SettingsStore::saveFile() {
    Values snapshot;
    std::string path;
    uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        snapshot = m_values;
        path = m_filePath;
        generation = m_generation;
    }
    if (path.empty()) {
        SettingsResult result{false,
                              "File name is empty, cannot save. Tell Dorvik about that ASAP"};
        m_log.appendText(true, result.message);
        return result;
    }
    SettingsResult result = replaceFileContents(path, qcfText(snapshot));
    if (!result) {
        m_log.appendText(true, result.message);
        return result;
    }
    {
        // A change made while the file was written keeps the store dirty.
        std::lock_guard lock(m_mutex);
        if (m_generation == generation) m_dirty = false;
    }
    m_log.appendMessage(false, "Saved the settings file \"%s\"", path.c_str());
    return result;
}

SettingsResult SettingsStore::saveFileAs(const std::string& path) {
    setFilePath(path);
    return saveFile();
}

}  // namespace TVR
