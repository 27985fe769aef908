#include "panel_models.h"

#include "consoles/console_sensor_model.h"
#include "tab_basic_model.h"
#include "tab_gains_model.h"
#include "tab_led_model.h"
#include "test_patterns_model.h"

namespace TVR {

struct PanelModels::Models {
    Models(SettingsStore& store, ImgSensor& camera)
        : basic(store, camera),
          gains(store, camera),
          led(store, camera),
          testPatterns(store, camera),
          consoleSensor(store, camera) {}
    TabBasicModel basic;
    TabGainsModel gains;
    TabLedModel led;
    TestPatternsModel testPatterns;
    ConsoleSensorModel consoleSensor;
};

PanelModels::PanelModels(SettingsStore& store, ImgSensor& camera, Windows windows)
    : m_models(std::make_unique<Models>(store, camera)) {
    if (windows == Windows::None) {
        // No window fills these models' controls: their initialisation ends here.
        m_models->basic.finishInitialisation();
        m_models->gains.finishInitialisation();
        m_models->led.finishInitialisation();
        m_models->testPatterns.finishInitialisation();
        m_models->consoleSensor.finishInitialisation();
    }
    m_owners.add(OwnerId::TabBasic, m_models->basic);
    m_owners.add(OwnerId::TabGains, m_models->gains);
    m_owners.add(OwnerId::TestPatterns, m_models->testPatterns);
    m_owners.add(OwnerId::ConsoleSensor, m_models->consoleSensor);
    m_owners.add(OwnerId::TabLed, m_models->led);
}

PanelModels::~PanelModels() = default;

TabBasicModel& PanelModels::basic() { return m_models->basic; }
TabGainsModel& PanelModels::gains() { return m_models->gains; }
TabLedModel& PanelModels::led() { return m_models->led; }
TestPatternsModel& PanelModels::testPatterns() { return m_models->testPatterns; }
ConsoleSensorModel& PanelModels::consoleSensor() { return m_models->consoleSensor; }

}  // namespace TVR
