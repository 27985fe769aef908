#pragma once

// Value owners driven by a control table alone: read every row, push-or-read every row. The
// "Sensor" page adds its binning step. Window layers wrap these and add their controls.

#include <span>

#include "camera_transfer.h"
#include "control_transfer.h"

namespace TVR {

class TableValueOwner : public ValueOwner, public ControlHost {
public:
    TableValueOwner(SettingsStore& store, ImgSensor& camera, std::span<const NamedControl> table);

    void readState() override;
    void loadFromStore() override;
    int updateCounter() const override { return m_updateCounter; }
    void setUpdateCounter(int counter) override { m_updateCounter = counter; }

    SettingsStore& settings() override { return m_store; }
    ImgSensor& camera() override { return m_camera; }
    std::span<const NamedControl> controls() const override { return m_table; }

private:
    SettingsStore& m_store;
    ImgSensor& m_camera;
    std::span<const NamedControl> m_table;
    int m_updateCounter = 0;
};

inline constexpr std::string_view kKeyBinning = "OV_BINNING";

// The "Sensor" page's values: the gains table, then the binning mode as OV_BINNING.
class GainsValueOwner : public TableValueOwner {
public:
    GainsValueOwner(SettingsStore& store, ImgSensor& camera);
    void readState() override;
};

// The "Peripherals" page's values: the LED table.
class LedValueOwner : public TableValueOwner {
public:
    LedValueOwner(SettingsStore& store, ImgSensor& camera);
};

}  // namespace TVR
