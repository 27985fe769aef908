#pragma once

// What the GUI tests share: a simulated camera opened on an ImgSensor with its settings store,
// a preferences file in a temporary folder, and widget lookup by control id.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings/preferences_storage.h"
#include "settings/settings_store.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"
#include "test_support.h"

namespace TVR::GuiTest {

// One simulated camera, connected unless the options say otherwise ("cameras=0").
struct CameraRig : TestSupport::SimCameraRig {
    explicit CameraRig(const std::string& simOptions = "");

    TestSupport::TempFolder folder;
    PreferencesStorage geometry{folder.file("prefs.ini")};
    SettingsStore store{log};
};

// The child widget named c<id>; fails the test when there is none.
template <typename W>
W* control(QWidget& window, int controlId) {
    return window.findChild<W*>(QStringLiteral("c%1").arg(controlId));
}

// The same through a pointer, failing the test (with the id) when there is none.
template <typename W>
W* get(QWidget* window, int controlId) {
    W* w = control<W>(*window, controlId);
    EXPECT_NE(w, nullptr) << controlId;
    return w;
}

// Clicks a check box on its indicator, where a user would.
void clickBox(QAbstractButton* box);

// Lets the event loop run (queued plug events, timers) until `done` holds or three seconds
// passed.
bool waitUntil(const std::function<bool()>& done);

}  // namespace TVR::GuiTest
