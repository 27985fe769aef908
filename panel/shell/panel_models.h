#pragma once

// The models of every page and tool window that holds camera values, for one settings store and
// one camera, registered in the order-independent registry the whole-camera transfers use. The
// window layer wraps these models; brisco-cli uses them directly, so a settings file is pushed
// the same way from both.

#include <memory>

#include "camera_transfer.h"

namespace TVR {

class ConsoleSensorModel;
class ImgSensor;
class SettingsStore;
class TabBasicModel;
class TabGainsModel;
class TabLedModel;
class TestPatternsModel;

class PanelModels {
public:
    // Windows::None: nothing fills the models' controls, so their initialisation ends at once
    // (brisco-cli). Windows::Attached: each window ends its model's initialisation itself.
    enum class Windows { None, Attached };

    // Store and camera must outlive the models.
    PanelModels(SettingsStore& store, ImgSensor& camera, Windows windows = Windows::None);
    ~PanelModels();
    PanelModels(const PanelModels&) = delete;
    PanelModels& operator=(const PanelModels&) = delete;

    ValueOwnerRegistry& owners() { return m_owners; }
    TabBasicModel& basic();
    TabGainsModel& gains();
    TabLedModel& led();
    TestPatternsModel& testPatterns();
    ConsoleSensorModel& consoleSensor();

private:
    struct Models;
    std::unique_ptr<Models> m_models;
    ValueOwnerRegistry m_owners;
};

}  // namespace TVR
