#pragma once

// The start-up steps of the panel that come before the main window: reading the preferences
// with a box for each unreadable value, and applying the theme and the API-call log.
// User-interface thread.

namespace TVR {

class ApiLog;
class Preferences;
class PreferencesStorage;
class UserDialogs;

inline constexpr const char* kRegistryErrorTitle = "Oops!";
inline constexpr const char* kRegistryErrorText = "Error reading registry";

// The number of boxes shown.
int readPreferencesReporting(const PreferencesStorage& storage, Preferences& preferences,
                             UserDialogs& dialogs);
// Fusion ("unthemed") unless `Theme` is 7; the API-call log on for a nonzero `LogApi`.
void applyStartupPreferences(const Preferences& preferences, ApiLog& apiLog);

}  // namespace TVR
