#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>

#include "brisco_commands.h"
#include "brisco_dlg.h"
#include "brisco_pages.h"
#include "gui_test_helpers.h"
#include "main_window_helpers.h"
#include "sim_capture_devices.h"
#include "tab_basic.h"
#include "tab_gains.h"
#include "tab_gains_model.h"
#include "tab_led.h"
#include "test_patterns.h"
#include "video_proc_amp.h"

namespace TVR::GuiTest {
namespace {

constexpr uint16_t kExposureHigh = 0x3500;

// The program's own window with its real pages on one simulated camera.
struct Panel {
    Panel() : rig("") {
        rig.sensor.reset();
        backends.capture = std::make_unique<SimCaptureDevices>(*rig.driver);
        backends.usb = std::move(rig.driver);
        MainWindowSetup setup{backends,     rig.log, preferences,
                              rig.geometry, dialogs, briscoPageFactory(),
                              50,           1,       [] { return true; }};
        window = std::make_unique<CbriscoDlg>(std::move(setup));
        registerBriscoTools(*window);
    }
    ~Panel() {
        window.reset();
        backends.capture.reset();
        rig.driver.reset(static_cast<Sim::SimDriver*>(backends.usb.release()));
    }
    QTabWidget& tabs() { return *control<QTabWidget>(*window, CbriscoDlg::kTabControlId); }

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

}  // namespace
}  // namespace TVR::GuiTest
