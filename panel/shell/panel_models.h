#pragma once

// The models of every page and tool window that holds camera values, for one settings store and
// one camera, registered in the order-independent registry the whole-camera transfers use. The
// window layer wraps these models; brisco-cli uses them directly, so a settings file is pushed
// the same way from both.

#include <memory>

#include "settings/camera_transfer.h"

namespace TVR {

class AutoFunctionsModel;
class CameraWork;
class CmxModel;
class ColorGradingModel;
class ConsoleFpgaModel;
class ConsoleSensorModel;
class GreenScreenModel;
class NrVideoModel;
class Preferences;
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

    // Store, camera and preferences must outlive the models. Without preferences the program's
    // own are used (the number base of the control port).
    PanelModels(SettingsStore& store, ImgSensor& camera, Windows windows = Windows::None,
                const Preferences* preferences = nullptr);
    ~PanelModels();
    PanelModels(const PanelModels&) = delete;
    PanelModels& operator=(const PanelModels&) = delete;

    ValueOwnerRegistry& owners() { return m_owners; }
    // The camera's work, taken by the models' windows for their own batches.
    void setWork(CameraWork* work);
    TabBasicModel& basic();
    TabGainsModel& gains();
    TabLedModel& led();
    TestPatternsModel& testPatterns();
    ConsoleSensorModel& consoleSensor();
    ConsoleFpgaModel& consoleFpga();
    NrVideoModel& nrVideo();
    AutoFunctionsModel& autoFunctions();
    GreenScreenModel& greenScreen();
    // The colour matrix window's model; it holds no store values, so it is no value owner.
    CmxModel& cmx();
    // The colour-grading curve of an owner id, HueVsHue .. HueVsLuma (both luma vs. luma ones);
    // null for any other id.
    ColorGradingModel* curve(OwnerId id);

private:
    struct Models;
    std::unique_ptr<Models> m_models;
    ValueOwnerRegistry m_owners;
};

}  // namespace TVR
