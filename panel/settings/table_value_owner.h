#pragma once

// Value owners driven by a control table: read every row, push-or-read every row, and the
// generic edits of a page (a number or a check box stored under its row's key and pushed). The
// page models derive from it; the window layer registers itself as the owner's window so that
// whole-camera transfers refresh it. Used on the thread that owns the camera for the moment.

#include <span>

#include "settings/camera_transfer.h"
#include "settings/camera_work.h"
#include "settings/control_transfer.h"

namespace TVR {

// The window of a value owner, as the whole-camera transfers see it.
class OwnerWindow {
public:
    virtual ~OwnerWindow() = default;
    virtual void updateControls() = 0;
    virtual bool visible() const = 0;
};

// What a generic edit did.
struct ControlEdit {
    bool stored = false;  // the control belongs to the table and its value was stored
    bool pushed = false;  // and it reached the camera
};

// What a page's window shows, by control id.
struct ControlRange {
    int controlId = 0;
    int minimum = 0;
    int maximum = 0;
    bool operator==(const ControlRange&) const = default;
};

struct ShownNumber {
    int controlId = 0;
    int value = 0;
    bool operator==(const ShownNumber&) const = default;
};

struct ShownCheck {
    int controlId = 0;
    bool checked = false;
    bool operator==(const ShownCheck&) const = default;
};

struct ShownEnabled {
    int controlId = 0;
    bool enabled = false;
    bool operator==(const ShownEnabled&) const = default;
};

// A slider and the number box it writes into.
struct SliderPair {
    int sliderId = 0;
    int numberId = 0;
};

class TableValueOwner : public ValueOwner, public ControlHost {
public:
    TableValueOwner(SettingsStore& store, ImgSensor& camera, std::span<const NamedControl> table);

    void readState() override;
    void loadFromStore() override;
    void updateControls() override;
    bool hasWindow() const override { return m_window != nullptr; }
    bool windowVisible() const override { return m_window != nullptr && m_window->visible(); }
    int updateCounter() const override { return m_updateCounter; }
    void setUpdateCounter(int counter) override { m_updateCounter = counter; }

    SettingsStore& settings() override { return m_store; }
    ImgSensor& camera() override { return m_camera; }
    std::span<const NamedControl> controls() const override { return m_table; }

    // Not owned; null when the owner has no window (brisco-cli).
    void setWindow(OwnerWindow* window) { m_window = window; }
    // The camera's work, which the owner's window takes for a batch of its own; null: none.
    void setWork(CameraWork* work) { m_work = work; }
    CameraWork* work() const { return m_work; }

    // The row shown by this control; null when the table has none.
    const NamedControl* rowOfControl(int controlId) const;
    // Stores the number in the row's format and pushes the row's key.
    ControlEdit editNumber(int controlId, int value);
    // Stores "true"/"false" and pushes the row's key.
    ControlEdit editCheck(int controlId, bool checked);

private:
    SettingsStore& m_store;
    ImgSensor& m_camera;
    std::span<const NamedControl> m_table;
    OwnerWindow* m_window = nullptr;
    CameraWork* m_work = nullptr;
    int m_updateCounter = 0;
};

// Raises an owner's update counter for its lifetime, so that the controls it fills are not
// pushed back to the camera.
class UpdateHold {
public:
    explicit UpdateHold(ValueOwner& owner) : m_owner(owner) {
        m_owner.setUpdateCounter(m_owner.updateCounter() + 1);
    }
    ~UpdateHold() { m_owner.setUpdateCounter(m_owner.updateCounter() - 1); }
    UpdateHold(const UpdateHold&) = delete;
    UpdateHold& operator=(const UpdateHold&) = delete;

private:
    ValueOwner& m_owner;
};

}  // namespace TVR
