#pragma once

// The sensor register overview without its widgets: a snapshot of every sensor register
// ("Saved") beside what the registers hold now ("Current"), the refresh of a range or of the
// lines on show, and the list text with its change marks. Window thread, holding the camera's
// work while it reads.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/table_value_owner.h"

namespace TVR {

inline constexpr std::string_view kOverviewSizeErrorTitle = "Bug!";
inline constexpr std::string_view kOverviewSizeErrorText = "Array size is less than expected";

// What a read of registers did.
struct OverviewRead {
    size_t read = 0;
    size_t failed = 0;  // registers whose read failed; they show as unread
};

class RegistersOverviewModel : public TableValueOwner {
public:
    static constexpr uint32_t kRegisterCount = 0x8000;
    // An entry never read, or whose read failed.
    static constexpr int32_t kUnread = -1;
    // The refresh intervals of the auto-refresh list's entries 1 and 2.
    static constexpr int kRefreshMs[] = {0, 1000, 5000};

    RegistersOverviewModel(SettingsStore& store, ImgSensor& camera);

    // "Full snapshot": every register 0x0000..0x7FFF into both arrays.
    OverviewRead fullSnapshot();
    // "Refresh range": the registers first..last (inclusive) into "Current"; addresses of
    // 0x8000 and above are read but kept nowhere. Nothing when first > last.
    OverviewRead refreshRange(uint32_t first, uint32_t last);
    // The range edits' texts with the console number rule under `base`, clamped to 16 bits.
    OverviewRead refreshRange(std::string_view first, std::string_view last, int32_t base);
    // The auto-refresh tick: the `count` list lines from `firstLine` of the full list (one line
    // per address, as auto-refresh shows it) into "Current".
    OverviewRead refreshLines(size_t firstLine, size_t count);

    // The list: "0x{:04X}\t0x{:02X}\t0x{:02X}" per address, "\t<-- +++CHANGED+++" when saved and
    // current differ, "\r\n"; with `changesOnly` the unchanged addresses are left out. An
    // unread entry shows as "--".
    std::string listText(bool changesOnly) const;
    // False when an array holds fewer entries than registers (the list cannot be made).
    bool complete() const;
    bool changed(uint16_t reg) const;

    int32_t saved(uint16_t reg) const { return m_saved.at(reg); }
    int32_t current(uint16_t reg) const { return m_current.at(reg); }

    // The number of lines a list box of this height in pixels shows.
    static size_t visibleLines(int heightPixels);

private:
    OverviewRead readInto(uint32_t first, uint32_t last, bool bothArrays);

    std::vector<int32_t> m_saved;
    std::vector<int32_t> m_current;
};

}  // namespace TVR
