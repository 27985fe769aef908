#pragma once

// The panel's in-memory settings: a map from key to a typed text value, shared by the pages,
// the tools and the settings file. Every member may be called from any thread (the pages use
// it on the window thread, the long transfers on a worker); the change callback runs on the
// thread that made the change, outside the store's lock.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace TVR {

class ApiLog;

enum class SettingType : uint8_t {
    Unset = 0,  // only looked up; never written to a file
    Hex = 1,
    Decimal = 2,
    String = 3,
    Bool = 4,
    Real = 5,
};

struct SettingValue {
    SettingType type = SettingType::Unset;
    std::string text;
    bool operator==(const SettingValue&) const = default;
};

// The settings-file prefix of a type ("H.", "D.", ...); empty for Unset.
std::string_view settingPrefix(SettingType type);

// String values are stored with CR, LF and space replaced so that they fit on one file line.
std::string escapeSettingText(std::string_view text);
std::string unescapeSettingText(std::string_view text);

// Result of a file operation: ok, or a message for the log and the user.
struct SettingsResult {
    bool ok = false;
    std::string message;
    explicit operator bool() const { return ok; }
};

class SettingsStore {
public:
    using ChangeCallback = std::function<void()>;
    using Values = std::map<std::string, SettingValue, std::less<>>;

    // Messages go to `log`, which outlives the store.
    explicit SettingsStore(ApiLog& log);
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Called after every set that changed a value (the window layer posts its "store changed"
    // message from here).
    void setChangeCallback(ChangeCallback callback);

    // Typed getters. A key that is not present is inserted as Unset. A value of another type
    // reads as the getter's default: -1, false, `defaultValue`, "".
    int32_t getInt(std::string_view key);
    bool getBool(std::string_view key);
    double getReal(std::string_view key, double defaultValue = 0.0);
    std::string getString(std::string_view key);
    SettingValue value(std::string_view key);

    void setDecimal(std::string_view key, int32_t value);
    void setHex(std::string_view key, int32_t value);
    void setBool(std::string_view key, bool value);
    void setReal(std::string_view key, double value);
    void setString(std::string_view key, std::string_view value);
    // Stores an already formatted text; Unset stores nothing.
    void setRaw(std::string_view key, SettingType type, std::string text);

    // True when the key holds a value (a key that was only looked up does not count).
    bool has(std::string_view key) const;
    // Keys with a value, ascending.
    std::vector<std::string> keys() const;
    Values values() const;
    size_t size() const;  // keys with a value
    void clear();
    // Replaces every value without counting as a change: dirty is cleared, no callback.
    void replaceAll(Values values);

    bool dirty() const;
    void setDirty(bool dirty);
    std::string filePath() const;
    void setFilePath(std::string path);

    // Reads a settings file: the path becomes the store's file path even when the file cannot
    // be read; on success the store holds exactly the file's values and is clean.
    SettingsResult loadFile(const std::string& path);
    // Writes the store to its file path (replaceFileContents) and clears the dirty flag on
    // success. An empty path fails without writing.
    SettingsResult saveFile();
    SettingsResult saveFileAs(const std::string& path);

    ApiLog& log() const { return m_log; }

private:
    void store(std::string_view key, SettingType type, std::string text);

    ApiLog& m_log;
    mutable std::mutex m_mutex;
    Values m_values;
    std::string m_filePath;
    bool m_dirty = false;
    uint64_t m_generation = 0;
    std::shared_ptr<const ChangeCallback> m_callback;
};

}  // namespace TVR
