#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "gui_test_helpers.h"
#include "main_window_helpers.h"
#include "protocol/vendor_requests.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/brisco_pages.h"
#include "sim/video/sim_capture_devices.h"
#include "tools/dpc/auto_dpc_calibration.h"
#include "tools/dpc/auto_dpc_calibration_model.h"
#include "tools/dpc/calibrate_dpc.h"
#include "tools/dpc/calibrate_dpc_model.h"

namespace TVR::GuiTest {
namespace {

constexpr int kAutoButton = 1268;
constexpr int kAutoThreshold = 1264;
constexpr int kAutoCount = 1265;
constexpr int kAutoProgress = 1266;
constexpr int kAutoStatus = 1267;
constexpr int kSlider = 1099;
constexpr int kManualCount = 1097;
constexpr int kRunButton = 1031;
constexpr int kManualProgress = 1102;

// The program's own window with its real tools on a simulated camera, expert menu on.
struct DpcPanel : ProgramWindowRig {
    explicit DpcPanel(const std::string& sim = "", bool expert = true)
        : ProgramWindowRig(sim, expert, false) {}
};

TEST(CAutoDpcCalibration, OpensFromItsMenuAndShowsTheCamerasState) {
    DpcPanel p("dpc_ms=20;dpc_fit=100");
    auto* w = p.open<CAutoDpcCalibration>(MenuId::kAutoDpc);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Automated DPC calibration");
    EXPECT_TRUE(w->isModal());
    EXPECT_EQ(get<QPushButton>(w, kAutoButton)->text(), "Begin calibration");
    EXPECT_TRUE(get<QPushButton>(w, kAutoButton)->isEnabled());
    EXPECT_EQ(get<QLabel>(w, kAutoStatus)->text(), "Threshold range is 0..255");
    EXPECT_EQ(get<QLineEdit>(w, kAutoThreshold)->text(), "0");
    EXPECT_EQ(get<QLineEdit>(w, kAutoCount)->text(), "0");
    EXPECT_EQ(get<QProgressBar>(w, kAutoProgress)->palette().color(QPalette::Highlight),
              QColor(0, 200, 0));
}

TEST(CAutoDpcCalibration, TheTimerDrivesTheStepsAndClosingEndsTheRun) {
    DpcPanel p("dpc_ms=20;dpc_fit=100");
    auto* w = p.open<CAutoDpcCalibration>(MenuId::kAutoDpc);
    ASSERT_NE(w, nullptr);
    auto* button = get<QPushButton>(w, kAutoButton);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(button->text(), "Stop calibration");
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kDpcThresholdLow), 128);
    // The first step's count arrives on the window's own timer.
    ASSERT_TRUE(waitUntil([&] { return get<QLineEdit>(w, kAutoThreshold)->text() == "128"; }));
    EXPECT_EQ(get<QLineEdit>(w, kAutoCount)->text(), QString::number(4094 - 16 * 28));
    EXPECT_EQ(get<QLabel>(w, kAutoStatus)->text(), "Threshold range is 0..128");
    w->hide();
    EXPECT_FALSE(w->dpc().timerActive());
    EXPECT_EQ(button->text(), "Begin calibration");
}

TEST(CAutoDpcCalibration, AFinishedRunShowsItsMessage) {
    DpcPanel p("dpc_ms=0;dpc_fit=255");
    auto* w = p.open<CAutoDpcCalibration>(MenuId::kAutoDpc);
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(get<QPushButton>(w, kAutoButton), Qt::LeftButton);
    // Eight steps of one 250 ms tick each; each wait is bounded at three seconds.
    for (int i = 0; i < 5 && w->dpc().timerActive(); ++i) {
        waitUntil([&] { return !w->dpc().timerActive(); });
    }
    ASSERT_FALSE(w->dpc().timerActive());
    ASSERT_TRUE(waitUntil([&] { return !p.dialogs.shown.empty(); }));
    EXPECT_EQ(p.dialogs.shown.back().title, "Automagical DPC calibration finished");
    EXPECT_EQ(p.dialogs.shown.back().text,
              "The threshold is now set at 255 with 4094 detected pixels");
    EXPECT_EQ(get<QProgressBar>(w, kAutoProgress)->value(), 100);
}

TEST(CCalibrateDPC, OpensFromTheExpertMenuAndRunsOneCalibration) {
    DpcPanel p("dpc_ms=20;dpc_fit=100");
    auto* w = p.open<CCalibrateDPC>(MenuId::kManualDpc);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Calibrate DPC (defective pixel cancellation)");
    auto* slider = get<QSlider>(w, kSlider);
    EXPECT_EQ(slider->minimum(), 4);
    EXPECT_EQ(slider->maximum(), 254);
    EXPECT_EQ(slider->tickInterval(), 10);
    // No calibration yet: the slider shows 150.
    EXPECT_EQ(slider->value(), 150);

    slider->setValue(110);
    auto* run = get<QPushButton>(w, kRunButton);
    EXPECT_EQ(run->text(), "Run DPC calibration");
    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_FALSE(run->isEnabled());
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kDpcThresholdLow), 110);
    ASSERT_TRUE(waitUntil([&] { return run->isEnabled(); }));
    EXPECT_EQ(get<QLineEdit>(w, kManualCount)->text(), QString::number(4094 - 16 * 10));
    EXPECT_EQ(get<QProgressBar>(w, kManualProgress)->value(), 100);
}

TEST(CCalibrateDPC, WithoutExpertModeTheSliderStartsAt70) {
    DpcPanel p("", false);
    auto* w = new CCalibrateDPC(
        std::make_unique<CalibrateDpcModel>(p.window->store(), p.window->camera()), p.preferences,
        nullptr, p.window.get());
    w->show();
    EXPECT_EQ(get<QSlider>(w, kSlider)->minimum(), 70);
    w->hide();
}

}  // namespace
}  // namespace TVR::GuiTest
