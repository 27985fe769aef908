#pragma once

// One colour-grading curve as a value owner: the transfers between its FPGA table, the settings
// store and the slider positions, and every edit of the curve editor (moves of one slider or a
// group, lock, spline, rotation, right-click resets, Neutral and Default) with its undo history
// and the sliders' display states. The editor window only maps widgets and keys to these calls.
// readState(), loadFromStore() and writeAll() may run on a batch worker while the window thread
// waits; every other call belongs to the window thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/table_value_owner.h"
#include "tools/colorgrading/cg_info.h"
#include "tools/colorgrading/cg_undo_history.h"

namespace TVR {

inline constexpr int kSplineAnchorMinimum = 3;
// A spline edit pushes the whole curve when the sliders have been still this long.
inline constexpr int kSplinePushDelayMs = 300;

// How a slider is drawn.
enum class SliderState : uint8_t { Plain = 0, LastChanged = 1, Anchor = 2, Locked = 3 };

struct EditKeys {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// What an edit asks of the window beyond showing the positions.
struct EditEffect {
    bool pushLater = false;  // restart the deferred push of the whole curve
};

class ColorGradingModel : public TableValueOwner {
public:
    using Clock = std::function<int64_t()>;

    ColorGradingModel(SettingsStore& store, ImgSensor& camera, std::unique_ptr<CGInfo> info);
    ~ColorGradingModel() override;

    CGInfo& info() { return *m_info; }
    const CGInfo& info() const { return *m_info; }
    // The undo history's clock in nanoseconds; the default is the steady clock.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // The camera has this curve's table (block or per-entry).
    bool supported();

    enum class ReadOutcome { Read, Unsupported, Failed };
    // The curve from the camera into the positions and the store; all neutral when it fails.
    ReadOutcome readCurve();
    void readState() override { readCurve(); }
    // The lowest and highest deviation a slider of this curve can stand for.
    double minimumDeviation() const;
    double maximumDeviation() const;
    // The curve from the store (CG_ keys, else GC_ keys), recorded as undoable changes, then
    // pushed whole. A stored value that cannot be read ends it without a push.
    void loadFromStore() override;
    // Stores slider i's deviation and writes it to the camera. False when the camera refused it
    // or the write was skipped (filling controls, no camera).
    bool writeSlider(int index);
    // Stores every deviation and writes the whole table. False when skipped or refused.
    bool writeAll();

    // Editing, window thread.
    // A slider moved to `position` by the mouse or the keyboard.
    EditEffect moved(int index, uint32_t position, EditKeys keys);
    void change(int index, uint32_t position, bool grouped, bool ctrl);
    // Ctrl released, or the mouse moved without it.
    void unlock();
    bool undo();
    bool redo();
    void record(int index, uint32_t oldPos, uint32_t newPos, bool grouped);
    EditEffect splineEdit(int index, uint32_t position);
    // Alt held or released: every anchor shown, or back to plain.
    void showAnchors(bool on);
    void rightClick(int index, EditKeys keys);
    // One place to the left (slider i takes slider i + 1's position) or to the right.
    void rotate(bool left);
    // Every slider to neutral or to its default, recorded; the window then pushes the curve.
    void resetAll(bool toDefault);

    // The pointer is over slider i; true when the title changed.
    bool hover(int index);
    // The curve's title, with the hovered slider described.
    std::string windowTitle() const;
    // The slider's tooltip: its deviation to two significant digits.
    std::string tooltip(int index) const;

    SliderState sliderState(int index) const { return m_states.at(static_cast<size_t>(index)); }
    int64_t lockedIndex() const { return m_locked; }
    int64_t lastChanged() const { return m_lastChanged; }
    const std::vector<int>& anchors() const { return m_anchors; }
    bool anchorsShown() const { return m_anchorsShown; }
    const CGUndoHistory& history() const { return m_history; }

private:
    bool pushAllowed();
    void setState(int64_t index, SliderState state);
    void markLastChanged(int index);
    void logError(const char* format, double value, int index);
    void logError(const char* format);

    std::unique_ptr<CGInfo> m_info;
    Clock m_clock;
    CGUndoHistory m_history;
    std::array<SliderState, kCurveSliders> m_states{};
    int64_t m_locked = kNoSlider;
    int64_t m_lastChanged = kNoSlider;
    std::vector<int> m_anchors{0, 31, 63};
    bool m_anchorsShown = false;
};

// The natural cubic spline through (x, y), x ascending, at 0..count-1: each point takes the last
// segment starting at or before it (the first segment before the first x). At least three points.
std::vector<double> naturalSpline(const std::vector<double>& x, const std::vector<double>& y,
                                  int count);

}  // namespace TVR
