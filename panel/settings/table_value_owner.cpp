#include "table_value_owner.h"

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings_store.h"

namespace TVR {

TableValueOwner::TableValueOwner(SettingsStore& store, ImgSensor& camera,
                                 std::span<const NamedControl> table)
    : m_store(store), m_camera(camera), m_table(table) {}

void TableValueOwner::readState() {
    for (const NamedControl& row : m_table) readControl(*this, row);
}

void TableValueOwner::loadFromStore() {
    for (const NamedControl& row : m_table) pushOrReadControl(*this, row);
}

GainsValueOwner::GainsValueOwner(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, tabGainsControls()) {}

void GainsValueOwner::readState() {
    TableValueOwner::readState();
    if (!camera().connected()) return;
    settings().log().appendMessage(false, "Reading binning configuration");
    // Binning modes 2-4 are the list's entries 1-3; anything else shows the first entry.
    const int mode = camera().chip().binning(0);
    settings().setDecimal(kKeyBinning, mode >= 2 && mode <= 4 ? mode - 1 : 0);
}

LedValueOwner::LedValueOwner(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, tabLedControls()) {}

}  // namespace TVR
