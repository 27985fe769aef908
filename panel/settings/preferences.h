#pragma once

// The panel's own behaviour settings: a fixed table of named numbers and texts with their
// defaults and descriptions, the console number rule that depends on them, and the window
// placement arithmetic behind the stored geometry. Storage lives in preferences_storage.h.
// Every member may be called from any thread.

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace TVR {

class ApiLog;

namespace PreferenceName {
inline constexpr char kBase[] = "Base";
inline constexpr char kSafe[] = "Safe";
inline constexpr char kExpert[] = "Expert";
inline constexpr char kRefresh[] = "Refresh";
inline constexpr char kTheme[] = "Theme";
inline constexpr char kSplash[] = "Splash";
inline constexpr char kFwRelease[] = "FwRelease";
inline constexpr char kDevNotify[] = "DevNotify";
inline constexpr char kLogApi[] = "LogApi";
inline constexpr char kBetaOn[] = "BetaOn";
// Nonzero: a camera that comes back at the selected port gets the panel's values again.
inline constexpr char kReApply[] = "ReApply";
// The demo mode's script, one "path | seconds" line per settings file.
inline constexpr char kDemoScript[] = "DemoScript";
}  // namespace PreferenceName

struct Preference {
    std::string name;
    bool numeric = true;
    std::string description;
    int32_t number = 0;
    std::string text;
};

class Preferences {
public:
    static constexpr int kPresetCount = 5;

    // Filled with the defaults of the table.
    Preferences();
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    // The process-wide preferences of the panel.
    static Preferences& instance();

    // Every entry in table order, by copy.
    std::vector<Preference> entries() const;
    std::optional<Preference> entry(std::string_view name) const;

    // `fallback` for an unknown or non-numeric name.
    int32_t number(std::string_view name, int32_t fallback = 0) const;
    // Empty for an unknown or numeric name.
    std::string text(std::string_view name) const;
    // False (nothing stored) when the name is unknown or of the other kind.
    bool setNumber(std::string_view name, int32_t value);
    bool setText(std::string_view name, std::string_view value);

    // A console integer under the current `Base` preference.
    int32_t consoleNumber(std::string_view text) const;

    // "PFN<n>" / "PFD<n>" for n in 1..5; empty otherwise.
    static std::string presetFileKey(int n);
    static std::string presetDescriptionKey(int n);

private:
    Preference* findLocked(std::string_view name);
    const Preference* findLocked(std::string_view name) const;

    mutable std::mutex m_mutex;
    std::vector<Preference> m_entries;
};

// The console number rule: "0x"/"0X" hexadecimal, "0b"/"0B" binary, another leading "0" octal
// and a leading "-" decimal when the text has at least two characters; otherwise `base`. Digits
// are read up to the first character that is not one of the base. Values beyond 32 bits
// saturate (0xFFFFFFFF, or INT32_MIN for negative texts); 32-bit unsigned values keep their
// bit pattern.
int32_t parseConsoleNumber(std::string_view text, int32_t base);
// The same syntax read strictly, for command arguments: no spaces, no sign, every character a
// digit of the base (0x.. hex, 0b.. binary, 0.. octal, else decimal); empty when the text is
// not such a number or exceeds `maximum`.
std::optional<uint32_t> parseConsoleNumberExact(std::string_view text, uint32_t maximum);

// At start-up any nonzero `LogApi` turns the API-call log on; after the preferences dialog it
// is on only for exactly 1, and otherwise emptied.
void applyApiLogAtStartup(const Preferences& preferences, ApiLog& log);
void applyApiLogAfterDialog(const Preferences& preferences, ApiLog& log);

struct WindowRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    bool operator==(const WindowRect&) const = default;
};

// A window's stored position and size; a value that was not stored is absent.
struct StoredGeometry {
    std::optional<int32_t> x;
    std::optional<int32_t> y;
    std::optional<int32_t> w;
    std::optional<int32_t> h;
};

// Where a window being shown goes: the stored position (and size, for resizable windows with
// both stored), pulled back to the top-left corner of the nearest work area when its top-left
// corner lies outside it. Nothing when the position is not stored: the caller centres the
// window on its owner.
std::optional<WindowRect> restoredPlacement(const StoredGeometry& stored, WindowRect current,
                                            bool resizable, std::span<const WindowRect> workAreas);

}  // namespace TVR
