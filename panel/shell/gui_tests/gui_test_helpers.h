#pragma once

// What the GUI tests share: a simulated camera opened on an ImgSensor with its settings store,
// a preferences file in a temporary folder, and widget lookup by control id.

#include <QString>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "apilog.h"
#include "preferences_storage.h"
#include "sensor/img_sensor.h"
#include "settings_store.h"
#include "sim_driver.h"
#include "sim_firmware.h"

namespace TVR::GuiTest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// One simulated camera, connected unless the spec says otherwise ("cameras=0").
struct CameraRig {
    explicit CameraRig(const std::string& spec = "");

    TempFolder folder;
    PreferencesStorage geometry{folder.file("prefs.ini")};
    ApiLog log;
    SettingsStore store{&log};
    std::unique_ptr<Sim::SimDriver> driver;
    std::shared_ptr<Sim::SimCamera> simCamera;
    std::shared_ptr<Sim::SimCameraFirmware> firmware;
    std::unique_ptr<ImgSensor> sensor;
};

// The child widget named c<id>; fails the test when there is none.
template <typename W>
W* control(QWidget& window, int controlId) {
    return window.findChild<W*>(QStringLiteral("c%1").arg(controlId));
}

}  // namespace TVR::GuiTest
