#include "panel_models.h"

#include <array>
#include <initializer_list>

#include "settings/preferences.h"
#include "shell/tab_basic_model.h"
#include "shell/tab_gains_model.h"
#include "shell/tab_led_model.h"
#include "tools/cmx/cmx_model.h"
#include "tools/colorgrading/cg_variants.h"
#include "tools/colorgrading/color_grading_model.h"
#include "tools/consoles/console_fpga_model.h"
#include "tools/consoles/console_sensor_model.h"
#include "tools/greenscreen/green_screen_model.h"
#include "tools/nrauto/auto_functions_model.h"
#include "tools/nrauto/nr_video_model.h"
#include "tools/test_patterns/test_patterns_model.h"

namespace TVR {

namespace {
constexpr OwnerId kFirstCurveOwner = OwnerId::HueVsHue;
constexpr size_t kCurveOwners =
    static_cast<size_t>(OwnerId::HueVsLuma) - static_cast<size_t>(kFirstCurveOwner) + 1;
}  // namespace

struct PanelModels::Models {
    Models(SettingsStore& store, ImgSensor& camera, const Preferences& preferences)
        : basic(store, camera, preferences),
          gains(store, camera),
          led(store, camera),
          testPatterns(store, camera),
          consoleSensor(store, camera),
          consoleFpga(store, camera),
          nrVideo(store, camera),
          autoFunctions(store, camera),
          greenScreen(store, camera),
          cmx(store, camera),
          curves{{
              {store, camera, std::make_unique<CGInfoHvH>()},
              {store, camera, std::make_unique<CGInfoHvS>()},
              {store, camera, std::make_unique<CGInfoLvS>()},
              {store, camera, std::make_unique<CGInfoLvL73>()},
              {store, camera, std::make_unique<CGInfoLvL>()},
              {store, camera, std::make_unique<CGInfoSvS>()},
              {store, camera, std::make_unique<CGInfoHvL>()},
          }} {}
    TabBasicModel basic;
    TabGainsModel gains;
    TabLedModel led;
    TestPatternsModel testPatterns;
    ConsoleSensorModel consoleSensor;
    // No windows yet: these act from the start.
    ConsoleFpgaModel consoleFpga;
    NrVideoModel nrVideo;
    AutoFunctionsModel autoFunctions;
    GreenScreenModel greenScreen;
    CmxModel cmx;
    // In the order of the owner ids, HueVsHue .. HueVsLuma.
    std::array<ColorGradingModel, kCurveOwners> curves;
};

PanelModels::PanelModels(SettingsStore& store, ImgSensor& camera, Windows windows,
                         const Preferences* preferences)
    : m_models(std::make_unique<Models>(store, camera,
                                        preferences ? *preferences : Preferences::instance())) {
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
    m_owners.add(OwnerId::ConsoleFpga, m_models->consoleFpga);
    m_owners.add(OwnerId::GreenScreen, m_models->greenScreen);
    m_owners.add(OwnerId::NrVideo, m_models->nrVideo);
    m_owners.add(OwnerId::AutoFunctions, m_models->autoFunctions);
    for (size_t i = 0; i < kCurveOwners; ++i) {
        m_owners.add(static_cast<OwnerId>(static_cast<size_t>(kFirstCurveOwner) + i),
                     m_models->curves[i]);
    }
}

PanelModels::~PanelModels() = default;

void PanelModels::setWork(CameraWork* work) {
    for (TableValueOwner* model : std::initializer_list<TableValueOwner*>{
             &m_models->basic, &m_models->gains, &m_models->led, &m_models->testPatterns,
             &m_models->consoleSensor, &m_models->consoleFpga, &m_models->nrVideo,
             &m_models->autoFunctions, &m_models->greenScreen, &m_models->cmx}) {
        model->setWork(work);
    }
    for (ColorGradingModel& curve : m_models->curves) curve.setWork(work);
}

TabBasicModel& PanelModels::basic() { return m_models->basic; }
TabGainsModel& PanelModels::gains() { return m_models->gains; }
TabLedModel& PanelModels::led() { return m_models->led; }
TestPatternsModel& PanelModels::testPatterns() { return m_models->testPatterns; }
ConsoleSensorModel& PanelModels::consoleSensor() { return m_models->consoleSensor; }
ConsoleFpgaModel& PanelModels::consoleFpga() { return m_models->consoleFpga; }
NrVideoModel& PanelModels::nrVideo() { return m_models->nrVideo; }
AutoFunctionsModel& PanelModels::autoFunctions() { return m_models->autoFunctions; }
GreenScreenModel& PanelModels::greenScreen() { return m_models->greenScreen; }
CmxModel& PanelModels::cmx() { return m_models->cmx; }

ColorGradingModel* PanelModels::curve(OwnerId id) {
    const auto i = static_cast<size_t>(id) - static_cast<size_t>(kFirstCurveOwner);
    if (static_cast<size_t>(id) < static_cast<size_t>(kFirstCurveOwner) || i >= kCurveOwners) {
        return nullptr;
    }
    return &m_models->curves[i];
}

}  // namespace TVR
