#pragma once

// Where the preferences and the window geometry persist: the user's settings of organisation
// "Tavro", application "Webcam tools", group "Tavro camera control center", geometry in its
// subgroup "UI/geometry". Each call opens the settings afresh, so instances are cheap and may
// be used from any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/preferences.h"

namespace TVR {

class ApiLog;

struct PreferencesReadResult {
    // The settings could not be read at all; every entry kept its value.
    bool storageError = false;
    // Entries whose stored value was unusable; each kept its value.
    std::vector<std::string> failed;
    bool ok() const { return !storageError && failed.empty(); }
};

class PreferencesStorage {
public:
    static constexpr char kGroup[] = "Tavro camera control center";
    static constexpr char kGeometryGroup[] = "UI/geometry";

    // The user's native settings location.
    PreferencesStorage();
    // An INI file at `path` instead (tests, portable installs).
    explicit PreferencesStorage(std::string path);

    // Each entry from storage, its current value the default for a value not stored.
    PreferencesReadResult readAll(Preferences& preferences) const;
    // Every entry, then "Preferences updated into Windows registry" into `log`. False when the
    // settings could not be written.
    bool writeAll(const Preferences& preferences, ApiLog& log) const;

    // Nothing is read or written for an empty title.
    StoredGeometry readGeometry(std::string_view title) const;
    void writeGeometry(std::string_view title, const WindowRect& rect, bool resizable) const;

    // First start of this version: when the geometry subgroup does not exist yet, copies the
    // eight positions of the old layout into it. True when it ran.
    bool migrateGeometry() const;

private:
    std::string m_path;  // empty: native location
};

}  // namespace TVR
