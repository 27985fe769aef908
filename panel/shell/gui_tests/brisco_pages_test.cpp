#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <string>

#include "gui_test_helpers.h"
#include "main_window_helpers.h"
#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/brisco_pages.h"
#include "shell/brisco_status_bar.h"
#include "shell/tab_basic.h"
#include "shell/tab_gains.h"
#include "shell/tab_gains_model.h"
#include "shell/tab_led.h"
#include "shell/video_proc_amp.h"
#include "sim/sim_camera.h"
#include "sim/video/sim_capture_devices.h"
#include "tools/test_patterns/test_patterns.h"

namespace TVR::GuiTest {
namespace {

constexpr uint16_t kExposureHigh = 0x3500;

// The program's own window with its real pages on one simulated camera; `msPerCharacter` is
// the status bar's timer scale.
struct Panel {
    explicit Panel(bool deviceTracking = false, int msPerCharacter = 1) : rig("") {
        rig.sensor.reset();
        if (deviceTracking) preferences.setNumber(PreferenceName::kDevNotify, 1);
        backends.capture = std::make_unique<SimCaptureDevices>(*rig.driver);
        backends.usb = std::move(rig.driver);
        MainWindowSetup setup{backends,     rig.log,        preferences,
                              rig.geometry, dialogs,        briscoPageFactory(),
                              50,           msPerCharacter, [] { return true; }};
        window = std::make_unique<CbriscoDlg>(std::move(setup));
        registerBriscoTools(*window);
    }
    ~Panel() {
        window.reset();
        backends.capture.reset();
        rig.driver.reset(static_cast<Sim::SimDriver*>(backends.usb.release()));
    }
    QTabWidget& tabs() { return *control<QTabWidget>(*window, CbriscoDlg::kTabControlId); }
    Sim::SimDriver& driver() { return static_cast<Sim::SimDriver&>(*backends.usb); }

    CameraRig rig;
    Backends backends;
    Preferences preferences;
    ScriptedDialogs dialogs;
    std::unique_ptr<CbriscoDlg> window;
};

TEST(BriscoPages, TheProgramsPagesShowTheCameraAndPushWhatIsTyped) {
    Panel p;
    QTabWidget& tabs = p.tabs();
    ASSERT_EQ(tabs.count(), 4);
    EXPECT_EQ(tabs.tabText(0), "Device");
    EXPECT_EQ(tabs.tabText(1), "Sensor");
    EXPECT_EQ(tabs.tabText(2), "Camera");
    EXPECT_EQ(tabs.tabText(3), "Peripherals");
    EXPECT_NE(qobject_cast<CTabBasic*>(tabs.widget(0)), nullptr);
    EXPECT_NE(qobject_cast<CTabGains*>(tabs.widget(1)), nullptr);
    EXPECT_NE(qobject_cast<CDlgAMVideoProcAmp*>(tabs.widget(2)), nullptr);
    EXPECT_NE(qobject_cast<CTabLED*>(tabs.widget(3)), nullptr);

    p.window->show();
    auto* chipset = control<QLabel>(*tabs.widget(0), CTabBasic::kChipsetId);
    ASSERT_NE(chipset, nullptr);
    EXPECT_EQ(chipset->text(), "Detected chipset type: OV9750");
    // Selecting the camera read every value into the store.
    EXPECT_TRUE(p.window->store().has("OV_EXPOSURE"));
    EXPECT_TRUE(p.window->store().has("LED_R"));

    tabs.setCurrentIndex(1);
    auto* exposure = control<QLineEdit>(*tabs.widget(1), TabGainsModel::kExposureNumber);
    ASSERT_NE(exposure, nullptr);
    auto* manual = control<QAbstractButton>(*tabs.widget(1), TabGainsModel::kManualExposureCheck);
    ASSERT_NE(manual, nullptr);
    if (!manual->isChecked()) QTest::mouseClick(manual, Qt::LeftButton);
    exposure->selectAll();
    QTest::keyClicks(exposure, "12345");
    EXPECT_EQ(p.window->store().getInt("OV_EXPOSURE"), 12345);
    auto* driver = static_cast<Sim::SimDriver*>(p.backends.usb.get());
    const auto& fw =
        *std::dynamic_pointer_cast<Sim::SimCameraFirmware>(driver->cameras().at(0)->firmware());
    const uint32_t reg = (uint32_t(fw.sensorRegister(kExposureHigh) & 0x0F) << 16) |
                         (uint32_t(fw.sensorRegister(kExposureHigh + 1)) << 8) |
                         fw.sensorRegister(kExposureHigh + 2);
    // The sensor keeps the low nibble of the exposure registers as it was.
    EXPECT_EQ(reg & ~0xFu, 12345u & ~0xFu);

    // The test-pattern tool comes from the program's tool list.
    ASSERT_TRUE(p.window->runCommand(MenuId::kTestPatterns));
    EXPECT_NE(p.window->findChild<CTestPatterns*>(), nullptr);

    if (const char* dir = std::getenv("TAVRO_GUI_SHOTS")) {
        for (int i = 0; i < tabs.count(); ++i) {
            tabs.setCurrentIndex(i);
            p.window->grab().save(QStringLiteral("%1/page%2.png").arg(dir).arg(i));
        }
        if (auto* tp = p.window->findChild<CTestPatterns*>()) {
            tp->grab().save(QStringLiteral("%1/patterns.png").arg(dir));
        }
    }
}

TEST(BriscoPages, TheDevicePageAndStatusBarFollowTheSelectedCameraLeavingAndComingBack) {
    // Slow enough status texts that the test sees each one.
    Panel p(true, 20);
    auto* page = qobject_cast<CTabBasic*>(p.tabs().widget(0));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->registeredForDeviceChanges());
    auto* box = control<QComboBox>(*page, CTabBasic::kDeviceBoxId);
    auto* chipset = control<QLabel>(*page, CTabBasic::kChipsetId);
    ASSERT_NE(box, nullptr);
    ASSERT_NE(chipset, nullptr);
    CBriscoStatusBar& bar = p.window->statusBar();
    CameraSession& session = p.window->session();
    const auto cam = p.driver().cameras().at(0);
    const std::string path = p.driver().pathOf(*cam);
    const std::string port = p.driver().location(path);
    ASSERT_EQ(box->count(), 1);
    ASSERT_EQ(box->currentIndex(), 0);
    ASSERT_EQ(chipset->text(), "Detected chipset type: OV9750");
    ASSERT_EQ(session.openIdentity(), path);

    p.driver().unplug(cam);
    const QString lost = QString::fromStdString("The camera at port " + port + " was unplugged");
    ASSERT_TRUE(waitUntil([&] { return bar.paneText() == lost; })) << bar.paneText().toStdString();
    EXPECT_TRUE(bar.errorShown());
    EXPECT_EQ(bar.defaultText(), "No Tavro cameras connected/available on the system");
    EXPECT_EQ(box->count(), 0);
    EXPECT_EQ(chipset->text(), "Cannot detect chipset type");
    EXPECT_FALSE(session.connected());
    EXPECT_FALSE(p.window->store().has("OV_EXPOSURE"));

    // Back at the same port: the session opened it again, pushed the values it held before the
    // camera left and the page shows it.
    p.driver().plug(cam);
    const QString back =
        QString::fromStdString("Settings re-applied to the camera at port " + port);
    ASSERT_TRUE(waitUntil([&] { return bar.paneText() == back; })) << bar.paneText().toStdString();
    EXPECT_FALSE(bar.errorShown());
    ASSERT_EQ(box->count(), 1);
    EXPECT_EQ(box->currentIndex(), 0);
    EXPECT_EQ(box->itemText(0), "Tavro Brisco camera");
    EXPECT_EQ(chipset->text(), "Detected chipset type: OV9750");
    EXPECT_TRUE(session.connected());
    EXPECT_EQ(session.openIdentity(), path);
    EXPECT_EQ(session.selectedLocation(), port);
    // The camera answered the read that followed.
    EXPECT_TRUE(p.window->store().has("OV_EXPOSURE"));
    // Once the message is over, the bar no longer says there are no cameras.
    ASSERT_TRUE(waitUntil([&] { return bar.defaultShowing(); }));
    EXPECT_EQ(bar.paneText(), "Ready");
    EXPECT_TRUE(p.dialogs.shown.empty());
}

}  // namespace
}  // namespace TVR::GuiTest
