#include "panel_models.h"

#include "table_value_owner.h"

namespace TVR {

struct PanelModels::Models {
    Models(SettingsStore& store, ImgSensor& camera) : gains(store, camera), led(store, camera) {}
    GainsValueOwner gains;
    LedValueOwner led;
};

PanelModels::PanelModels(SettingsStore& store, ImgSensor& camera)
    : m_models(std::make_unique<Models>(store, camera)) {
    m_owners.add(OwnerId::TabGains, m_models->gains);
    m_owners.add(OwnerId::TabLed, m_models->led);
}

PanelModels::~PanelModels() = default;

}  // namespace TVR
