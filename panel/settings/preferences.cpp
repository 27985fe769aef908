#include "preferences.h"

#include <algorithm>
#include <limits>

#include <fmt/format.h>

#include "apilog.h"

namespace TVR {

namespace {

std::vector<Preference> defaultTable() {
    std::vector<Preference> table = {
        {PreferenceName::kBase, true, "Default base for numbers in Consoles", 10, {}},
        {PreferenceName::kSafe, true, "Warn about dangerous actions", 1, {}},
        {PreferenceName::kExpert, true, "Expert mode", 0, {}},
        {PreferenceName::kRefresh, true, "Auto-refresh interval, ms", 500, {}},
        {PreferenceName::kTheme, true, "Visual theme", 7, {}},
        {PreferenceName::kSplash, true, "Time delay before showing splash screen, ms", 400, {}},
        {PreferenceName::kFwRelease, true, "Earliest h/w release type to upgrade to", 4, {}},
    };
    for (int n = 1; n <= Preferences::kPresetCount; ++n) {
        table.push_back(
            {Preferences::presetFileKey(n), false, fmt::format("Preset file name No{}", n), 0, {}});
    }
    for (int n = 1; n <= Preferences::kPresetCount; ++n) {
        table.push_back({Preferences::presetDescriptionKey(n),
                         false,
                         fmt::format("Preset description No{}", n),
                         0,
                         {}});
    }
    table.push_back({PreferenceName::kDevNotify, true, "Track device change notifications", 0, {}});
    table.push_back({PreferenceName::kLogApi, true, "Log API calls to FX3 and I²C", 0, {}});
    table.push_back({PreferenceName::kBetaOn, true, "Enable beta features", 0, {}});
    table.push_back({PreferenceName::kReApply, true,
                     "Re-apply settings when the camera comes back", 1, {}});
    table.push_back({PreferenceName::kDemoScript, false, "Demo mode script", 0, {}});
    return table;
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return std::numeric_limits<int>::max();
}

// 0x and 0b choose hexadecimal and binary and are dropped; another leading 0 chooses octal.
int radixOfPrefix(std::string_view& text, int radix) {
    if (text.size() < 2 || text[0] != '0') return radix;
    if (text[1] == 'x' || text[1] == 'X') {
        text.remove_prefix(2);
        return 16;
    }
    if (text[1] == 'b' || text[1] == 'B') {
        text.remove_prefix(2);
        return 2;
    }
    return 8;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int64_t area(const WindowRect& a, const WindowRect& b) {
    const int64_t left = std::max<int64_t>(a.x, b.x);
    const int64_t top = std::max<int64_t>(a.y, b.y);
    const int64_t right = std::min<int64_t>(int64_t{a.x} + a.w, int64_t{b.x} + b.w);
    const int64_t bottom = std::min<int64_t>(int64_t{a.y} + a.h, int64_t{b.y} + b.h);
    return right > left && bottom > top ? (right - left) * (bottom - top) : 0;
}

// Squared gap between two rectangles (0 when they touch or overlap).
int64_t gap(const WindowRect& a, const WindowRect& b) {
    const auto axis = [](int64_t a0, int64_t a1, int64_t b0, int64_t b1) -> int64_t {
        if (a1 < b0) return b0 - a1;
        if (b1 < a0) return a0 - b1;
        return 0;
    };
    const int64_t dx = axis(a.x, int64_t{a.x} + a.w, b.x, int64_t{b.x} + b.w);
    const int64_t dy = axis(a.y, int64_t{a.y} + a.h, b.y, int64_t{b.y} + b.h);
    return dx * dx + dy * dy;
}

bool contains(const WindowRect& area, int32_t x, int32_t y) {
    return x >= area.x && y >= area.y && int64_t{x} < int64_t{area.x} + area.w &&
           int64_t{y} < int64_t{area.y} + area.h;
}

}  // namespace

Preferences::Preferences() : m_entries(defaultTable()) {}

Preferences& Preferences::instance() {
    static Preferences preferences;
    return preferences;
}

std::string Preferences::presetFileKey(int n) {
    return n >= 1 && n <= kPresetCount ? fmt::format("PFN{}", n) : std::string();
}

std::string Preferences::presetDescriptionKey(int n) {
    return n >= 1 && n <= kPresetCount ? fmt::format("PFD{}", n) : std::string();
}

std::vector<Preference> Preferences::entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

std::optional<Preference> Preferences::entry(std::string_view name) const {
    std::lock_guard lock(m_mutex);
    const Preference* p = findLocked(name);
    return p ? std::optional<Preference>(*p) : std::nullopt;
}

int32_t Preferences::number(std::string_view name, int32_t fallback) const {
    std::lock_guard lock(m_mutex);
    const Preference* p = findLocked(name);
    return p && p->numeric ? p->number : fallback;
}

std::string Preferences::text(std::string_view name) const {
    std::lock_guard lock(m_mutex);
    const Preference* p = findLocked(name);
    return p && !p->numeric ? p->text : std::string();
}

bool Preferences::setNumber(std::string_view name, int32_t value) {
    std::lock_guard lock(m_mutex);
    Preference* p = findLocked(name);
    if (!p || !p->numeric) return false;
    p->number = value;
    return true;
}

bool Preferences::setText(std::string_view name, std::string_view value) {
    std::lock_guard lock(m_mutex);
    Preference* p = findLocked(name);
    if (!p || p->numeric) return false;
    p->text = std::string(value);
    return true;
}

int32_t Preferences::consoleNumber(std::string_view text) const {
    return parseConsoleNumber(text, number(PreferenceName::kBase, 10));
}

Preference* Preferences::findLocked(std::string_view name) {
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const Preference& p) { return p.name == name; });
    return it == m_entries.end() ? nullptr : &*it;
}

const Preference* Preferences::findLocked(std::string_view name) const {
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const Preference& p) { return p.name == name; });
    return it == m_entries.end() ? nullptr : &*it;
}

int32_t parseConsoleNumber(std::string_view text, int32_t base) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);

    // The stored base comes from the user's profile; one no digit set exists for is decimal.
    int radix = base >= 2 && base <= 36 ? base : 10;
    bool negative = false;
    if (text.size() >= 2 && text[0] == '-') {
        radix = 10;
    } else {
        radix = radixOfPrefix(text, radix);
    }
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }

    constexpr uint64_t kLimit = 0xFFFFFFFFull;
    uint64_t magnitude = 0;
    for (char c : text) {
        const int d = digitValue(c);
        if (d >= radix) break;
        magnitude = std::min<uint64_t>(magnitude * static_cast<uint64_t>(radix) + d, kLimit + 1);
    }
    if (negative) {
        constexpr uint64_t kMinMagnitude = 0x80000000ull;
        if (magnitude >= kMinMagnitude) return std::numeric_limits<int32_t>::min();
        return -static_cast<int32_t>(magnitude);
    }
    return static_cast<int32_t>(static_cast<uint32_t>(std::min(magnitude, kLimit)));
}

std::optional<uint32_t> parseConsoleNumberExact(std::string_view text, uint32_t maximum) {
    const int radix = radixOfPrefix(text, 10);
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        const int d = digitValue(c);
        if (d >= radix) return std::nullopt;
        value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
        if (value > maximum) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

void applyApiLogAtStartup(const Preferences& preferences, ApiLog& log) {
    if (preferences.number(PreferenceName::kLogApi) != 0) log.setLogging(true);
}

void applyApiLogAfterDialog(const Preferences& preferences, ApiLog& log) {
    const int32_t value = preferences.number(PreferenceName::kLogApi);
    log.setLogging(value == 1);
    if (value == 0) log.clearApi();
}

std::optional<WindowRect> restoredPlacement(const StoredGeometry& stored, WindowRect current,
                                            bool resizable, std::span<const WindowRect> workAreas) {
    if (!stored.x || !stored.y) return std::nullopt;
    WindowRect placed = current;
    placed.x = *stored.x;
    placed.y = *stored.y;
    if (resizable && stored.w && stored.h && *stored.w > 0 && *stored.h > 0) {
        placed.w = *stored.w;
        placed.h = *stored.h;
    }
    if (workAreas.empty()) return placed;

    // The monitor the window overlaps most, or the closest one when it overlaps none.
    const WindowRect* nearest = &workAreas.front();
    int64_t bestArea = -1;
    int64_t bestGap = std::numeric_limits<int64_t>::max();
    for (const WindowRect& wa : workAreas) {
        const int64_t a = area(placed, wa);
        const int64_t g = gap(placed, wa);
        if (a > bestArea || (a == 0 && bestArea == 0 && g < bestGap)) {
            nearest = &wa;
            bestArea = a;
            bestGap = g;
        }
    }
    if (!contains(*nearest, placed.x, placed.y)) {
        placed.x = nearest->x;
        placed.y = nearest->y;
    }
    return placed;
}

}  // namespace TVR
