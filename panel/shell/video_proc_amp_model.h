#pragma once

// The "Camera" page's processing-amplifier rows without their widgets: each row's range as the
// capture device reports it, what the row's slider, number box, spin box and "Auto" box show,
// and what a user change sets on the device. The page keeps no values in the settings store.
// User-interface thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace TVR {

class UvcProperties;

// One property of the page and its controls; a property without controls has ids 0.
struct UvcPropertyRow {
    const char* name;
    int32_t property;
    int labelId;
    int sliderId;
    int numberId;
    int spinId;
    int autoId;
    const char* label;
    bool hasControls() const { return sliderId != 0; }
};

inline constexpr int kDefaultButtonId = 3082;

// What one row's controls show.
struct UvcRowView {
    bool available = false;  // the range was read; otherwise all five controls are disabled
    bool autoEnabled = false;
    int32_t sliderMin = 0;
    int32_t sliderMax = 0;
    bool sliderEnabled = false;
    int32_t pageSize = 1;
    int32_t spinMin = 0;
    int32_t spinMax = 0;
    int32_t spinStep = 1;
    int32_t sliderPos = 0;
    int32_t value = 0;
    bool autoChecked = false;
    // Label, slider, number and spin: off while the device sets the value itself.
    bool manualEnabled = false;
};

// Where a user change on a row came from.
enum class UvcChange { Slider, Number, Auto };

class VideoProcAmpModel {
public:
    static std::span<const UvcPropertyRow> rows();
    // The row whose controls include this id.
    static std::optional<size_t> rowOfControl(int controlId);

    // Reads every row's range and current setting; null (no capture device) disables them all.
    void refresh(UvcProperties* props);
    const UvcRowView& view(size_t row) const { return m_views.at(row); }

    // A user change: the slider's position, or the number box's value, with the "Auto" box's
    // state. The value is shown, and set on the device when the change came from the number box
    // or the "Auto" box. False when the row is not available or the device refused the setting.
    bool userChange(size_t row, UvcChange source, int32_t sliderPos, int32_t number,
                    bool autoChecked, UvcProperties* props);

    // "Default": every available property to its default value with its capability flags, then
    // a refresh.
    void setDefaults(UvcProperties* props);

    // The page size of a slider: a seventh of the range, rounded up to whole steps.
    static int32_t pageSize(int32_t min, int32_t max, int32_t step);

private:
    struct RowRange {
        int32_t min = 0;
        int32_t max = 0;
        int32_t step = 1;
        int32_t defaultValue = 0;
        int32_t caps = 0;
        int32_t offset = 0;
    };
    void show(size_t row, int32_t value, int32_t flags);

    std::array<RowRange, 10> m_ranges{};
    std::array<UvcRowView, 10> m_views{};
};

}  // namespace TVR
