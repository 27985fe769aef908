#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <string>

#include "gui_test_helpers.h"
#include "main_window_helpers.h"
#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/brisco_pages.h"
#include "shell/brisco_status_bar.h"
#include "shell/preferences_dlg.h"
#include "shell/splash.h"
#include "shell/tab_basic.h"
#include "shell/tab_basic_model.h"
#include "shell/tab_gains.h"
#include "shell/tab_gains_model.h"
#include "shell/tab_led.h"
#include "shell/tab_led_model.h"
#include "sim/sim_camera.h"
#include "sim/video/sim_capture_devices.h"

namespace TVR::GuiTest {
namespace {

using Gains = TabGainsModel;

// The program's window with its real pages over simulated cameras.
struct RealPanel {
    explicit RealPanel(const std::string& simOptions = "", bool deviceTracking = false)
        : rig(simOptions) {
        rig.sensor.reset();
        if (deviceTracking) preferences.setNumber(PreferenceName::kDevNotify, 1);
        backends.capture = std::make_unique<SimCaptureDevices>(*rig.driver);
        backends.usb = std::move(rig.driver);
        MainWindowSetup setup{backends,
                              rig.log,
                              preferences,
                              rig.geometry,
                              dialogs,
                              briscoPageFactory(),
                              50,
                              1,
                              [this] {
                                  ++restarts;
                                  return true;
                              }};
        window = std::make_unique<CbriscoDlg>(std::move(setup));
        registerBriscoTools(*window);
    }
    ~RealPanel() {
        window.reset();
        backends.capture.reset();
        rig.driver.reset(static_cast<Sim::SimDriver*>(backends.usb.release()));
    }
    Sim::SimDriver& driver() { return static_cast<Sim::SimDriver&>(*backends.usb); }
    CameraSession& session() { return window->session(); }
    QTabWidget& tabs() { return window->tabs(); }
    CTabBasic* device() { return qobject_cast<CTabBasic*>(tabs().widget(0)); }
    CTabGains* sensor() { return qobject_cast<CTabGains*>(tabs().widget(1)); }
    CTabLED* peripherals() { return qobject_cast<CTabLED*>(tabs().widget(3)); }
    QString text(QWidget* page, int id) { return control<QLineEdit>(*page, id)->text(); }
    bool enabled(int menuId) { return window->action(menuId)->isEnabled(); }
    QString status() { return window->statusBar().paneText(); }
    // Shows the Sensor page, whose values the tests look at.
    void showSensor() {
        window->show();
        tabs().setCurrentIndex(1);
    }

    CameraRig rig;
    Backends backends;
    Preferences preferences;
    ScriptedDialogs dialogs;
    int restarts = 0;
    std::unique_ptr<CbriscoDlg> window;
};

// Unsaved changes: the store changed after the last read.
void makeDirty(RealPanel& p) {
    p.session().store().setDecimal("OV_EXPOSURE", 1234);
    ASSERT_TRUE(p.session().store().dirty());
}

TEST(PanelClosing, EscapeNeverClosesThePanel) {
    RealPanel p;
    p.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(p.window.get()));
    QTest::keyClick(p.window.get(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_TRUE(p.window->isVisible());
    EXPECT_EQ(p.window->result(), 0);
}

TEST(PanelClosing, UnsavedChangesAreAskedAboutBeforeClosingOrExit) {
    RealPanel p;
    p.window->show();
    makeDirty(p);
    p.dialogs.answers = {QMessageBox::Cancel};
    p.window->close();
    EXPECT_TRUE(p.window->isVisible());
    ASSERT_FALSE(p.dialogs.shown.empty());
    const MessageRequest& asked = p.dialogs.shown.back();
    EXPECT_EQ(asked.text, QStringLiteral("Save changes to Untitled?"));
    EXPECT_EQ(asked.buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);

    // Save: the changes go to the chosen file, then the panel ends.
    const QString file = QString::fromStdString(p.rig.folder.file("kept.qcf"));
    p.dialogs.answers = {QMessageBox::Save};
    p.dialogs.files = {file};
    ASSERT_TRUE(p.window->runCommand(MenuId::kExit));
    EXPECT_FALSE(p.window->isVisible());
    EXPECT_EQ(p.window->result(), QDialog::Accepted);
    EXPECT_NE(TestSupport::readBytes(file.toStdString()).find("D.OV_EXPOSURE=1234"),
              std::string::npos);
}

TEST(PanelClosing, DiscardClosesAndASavedStoreAsksNothing) {
    RealPanel p;
    p.window->show();
    p.window->close();
    EXPECT_FALSE(p.window->isVisible());
    EXPECT_TRUE(p.dialogs.shown.empty());

    p.window->show();
    makeDirty(p);
    p.dialogs.answers = {QMessageBox::Discard};
    p.window->close();
    EXPECT_FALSE(p.window->isVisible());
    EXPECT_EQ(p.dialogs.shown.size(), 1u);
}

TEST(PanelClosing, TheThemeRestartAsksFirstAndCancelKeepsTheProgram) {
    RealPanel p;
    p.window->show();
    makeDirty(p);
    PreferencesDialogOutcome outcome;
    outcome.themeChanged = true;
    // OK to the restart, then Cancel to the unsaved changes.
    p.dialogs.answers = {QMessageBox::Ok, QMessageBox::Cancel};
    p.window->applyPreferencesOutcome(outcome);
    QCoreApplication::processEvents();
    EXPECT_EQ(p.restarts, 0);
    EXPECT_TRUE(p.window->isVisible());

    p.dialogs.answers = {QMessageBox::Ok, QMessageBox::Discard};
    p.window->applyPreferencesOutcome(outcome);
    EXPECT_EQ(p.restarts, 1);
    // The close that follows does not ask a second time.
    ASSERT_TRUE(waitUntil([&] { return !p.window->isVisible(); }));
    EXPECT_EQ(p.dialogs.shown.size(), 4u);
}

TEST(PanelClosing, SwitchingCamerasWithUnsavedChangesCanBeCancelled) {
    RealPanel p("cameras=2");
    auto* box = control<QComboBox>(*p.device(), CTabBasic::kDeviceBoxId);
    ASSERT_EQ(box->count(), 2);
    const std::string before = p.session().openIdentity();
    makeDirty(p);
    p.dialogs.answers = {QMessageBox::Cancel};
    box->setCurrentIndex(1);
    EXPECT_EQ(box->currentIndex(), 0);
    EXPECT_EQ(p.session().openIdentity(), before);
    EXPECT_EQ(p.session().store().getInt("OV_EXPOSURE"), 1234);

    p.dialogs.answers = {QMessageBox::Discard};
    box->setCurrentIndex(1);
    EXPECT_EQ(box->currentIndex(), 1);
    EXPECT_NE(p.session().openIdentity(), before);
}

TEST(PanelCameraState, WithNoCameraThePagesAreGreyedAndEmpty) {
    RealPanel p("cameras=0");
    p.showSensor();
    EXPECT_FALSE(p.sensor()->isEnabled());
    for (int id : {Gains::kExposureNumber, Gains::kGainNumber}) {
        EXPECT_TRUE(p.text(p.sensor(), id).isEmpty()) << id << p.text(p.sensor(), id).toStdString();
    }
    p.tabs().setCurrentIndex(3);
    EXPECT_FALSE(p.peripherals()->isEnabled());
    EXPECT_TRUE(p.text(p.peripherals(), TabLedModel::kRedNumber).isEmpty());
    for (int id : {MenuId::kOpen, MenuId::kSave, MenuId::kPush}) EXPECT_FALSE(p.enabled(id)) << id;
    EXPECT_EQ(p.status().toStdString(), kNoCameraStatus);
}

TEST(PanelCameraState, AnUnpluggedCameraGreysThePagesAndItsReturnFillsThemAgain) {
    RealPanel p;
    p.showSensor();
    ASSERT_TRUE(p.sensor()->isEnabled());
    ASSERT_TRUE(p.enabled(MenuId::kPush));
    const QString exposure = p.text(p.sensor(), Gains::kExposureNumber);
    ASSERT_FALSE(exposure.isEmpty());

    p.driver().unplug(p.rig.simCamera);
    ASSERT_TRUE(waitUntil([&] { return p.status().contains(QStringLiteral("was unplugged")); }))
        << p.status().toStdString();
    EXPECT_FALSE(p.sensor()->isEnabled());
    EXPECT_TRUE(p.text(p.sensor(), Gains::kExposureNumber).isEmpty());
    EXPECT_FALSE(p.enabled(MenuId::kPush));
    EXPECT_FALSE(p.enabled(MenuId::kSave));
    // The Device page no longer describes the camera that left.
    EXPECT_EQ(control<QLabel>(*p.device(), CTabBasic::kChipsetId)->text().toStdString(),
              kChipsetNotDetected);
    EXPECT_TRUE(control<QLabel>(*p.device(), CTabBasic::kFx3VersionId)->text().isEmpty());

    p.driver().plug(p.rig.simCamera);
    ASSERT_TRUE(waitUntil([&] {
        return p.status().startsWith(QStringLiteral("Settings re-applied to the camera"));
    })) << p.status().toStdString();
    EXPECT_TRUE(p.sensor()->isEnabled());
    EXPECT_EQ(p.text(p.sensor(), Gains::kExposureNumber), exposure);
    EXPECT_TRUE(p.enabled(MenuId::kPush));
}

TEST(PanelCameraState, AfterResetTheCameraIsFollowedAndGetsItsValuesBack) {
    RealPanel p("reset_ms=5");
    p.showSensor();
    auto* number = control<QLineEdit>(*p.sensor(), Gains::kExposureNumber);
    p.session().store().setBool("OV_MANUAL_EXP_ON", true);
    ASSERT_TRUE(p.window->runCommand(MenuId::kPush));
    // The user's exposure, pushed by typing it.
    ASSERT_TRUE(number->isEnabled());
    number->selectAll();
    QTest::keyClicks(number, QStringLiteral("777"));
    ASSERT_EQ(p.session().store().getInt("OV_EXPOSURE"), 777);
    // What the camera made of it (the sensor keeps whole steps).
    ASSERT_TRUE(p.window->runCommand(MenuId::kRefresh));
    const int held = p.session().store().getInt("OV_EXPOSURE");
    ASSERT_NEAR(held, 777, 16);

    p.dialogs.answers = {QMessageBox::Yes};
    ASSERT_TRUE(p.window->runCommand(MenuId::kResetDevice));
    ASSERT_TRUE(waitUntil([&] {
        return p.status().startsWith(QStringLiteral("Settings re-applied"));
    })) << p.status().toStdString();
    EXPECT_TRUE(p.sensor()->isEnabled());
    EXPECT_EQ(p.session().cameraState(), CameraState::Ready);
    // Read back from the camera after the reset: the pushed value, not the power-up one.
    EXPECT_EQ(p.session().store().getInt("OV_EXPOSURE"), held);
    EXPECT_EQ(number->text(), QString::number(held));
}

TEST(PanelCameraState, AFailingCameraGreysThePageThatFailedAndTheCommands) {
    RealPanel p;
    p.showSensor();
    Sim::SimFaults failing;
    failing.failAfter = 0;
    p.rig.simCamera->setFaults(failing);
    ASSERT_TRUE(p.window->runCommand(MenuId::kRefresh));
    EXPECT_FALSE(p.sensor()->isEnabled());
    EXPECT_TRUE(p.text(p.sensor(), Gains::kExposureNumber).isEmpty());
    ASSERT_TRUE(p.window->runCommand(MenuId::kPush));
    QCoreApplication::processEvents();
    EXPECT_FALSE(p.enabled(MenuId::kPush));
    EXPECT_FALSE(p.enabled(MenuId::kSave));

    // The camera answers again: a refresh brings the page back.
    p.rig.simCamera->setFaults({});
    ASSERT_TRUE(p.window->runCommand(MenuId::kRefresh));
    EXPECT_TRUE(p.sensor()->isEnabled());
    EXPECT_FALSE(p.text(p.sensor(), Gains::kExposureNumber).isEmpty());
}

TEST(PanelCameraState, ToolWindowsHearWhenTheCameraGoes) {
    RealPanel p;
    std::vector<bool> heard;
    QObject::connect(p.window.get(), &CbriscoDlg::cameraAvailabilityChanged,
                     [&](bool usable) { heard.push_back(usable); });
    p.window->show();
    p.driver().unplug(p.rig.simCamera);
    ASSERT_TRUE(waitUntil([&] { return !heard.empty() && !heard.back(); }));
    p.driver().plug(p.rig.simCamera);
    ASSERT_TRUE(waitUntil([&] { return heard.back(); }));
}

TEST(PanelPages, ThePageShowsWhatThePushLeftInTheCamera) {
    RealPanel p;
    p.showSensor();
    auto* number = control<QLineEdit>(*p.sensor(), Gains::kExposureNumber);
    // A value that reaches the store without the page (a file, a console): F2 pushes it and
    // the page shows it from the camera.
    const QString before = number->text();
    p.session().store().setDecimal("OV_EXPOSURE", 2345);
    ASSERT_TRUE(p.window->runCommand(MenuId::kPush));
    // Read back from the camera, which keeps whole steps of the sensor.
    const int held = p.session().store().getInt("OV_EXPOSURE");
    EXPECT_NEAR(held, 2345, 16);
    EXPECT_EQ(number->text(), QString::number(held));
    EXPECT_NE(number->text(), before);
}

TEST(PanelPages, TheSpinOfAGreyedValueChangesNothing) {
    RealPanel p;
    p.showSensor();
    p.session().store().setBool("OV_MANUAL_GAIN_ON", false);
    ASSERT_TRUE(p.window->runCommand(MenuId::kPush));
    auto* number = control<QLineEdit>(*p.sensor(), Gains::kGainNumber);
    auto* spin = control<QSpinBox>(*p.sensor(), Gains::kGainSpin);
    ASSERT_FALSE(number->isEnabled());
    EXPECT_FALSE(spin->isEnabled());
    const int32_t gain = p.session().store().getInt("OV_GLOBAL_GAIN");
    spin->stepUp();
    spin->setValue(spin->value() + 5);
    EXPECT_EQ(p.session().store().getInt("OV_GLOBAL_GAIN"), gain);
    EXPECT_EQ(number->text(), QString::number(gain));
}

TEST(PanelPages, AutoRefreshOfASlowCameraLeavesTheWindowResponsive) {
    RealPanel p;
    p.preferences.setNumber(PreferenceName::kRefresh, kAutoRefreshMinimumMs);
    p.showSensor();
    Sim::SimFaults slow;
    slow.latencyUs = 45000;
    p.rig.simCamera->setFaults(slow);
    clickBox(control<QAbstractButton>(*p.sensor(), Gains::kAutoRefreshCheck));
    ASSERT_TRUE(p.sensor()->autoRefreshActive());
    ASSERT_TRUE(waitUntil([&] { return p.sensor()->autoRefreshReading(); }));
    // While the camera is being read, the window thread handles the user's events.
    bool handled = false;
    QMetaObject::invokeMethod(
        p.window.get(), [&] { handled = true; }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    EXPECT_TRUE(handled);
    EXPECT_TRUE(p.sensor()->autoRefreshReading());
    // No second read starts before the first ended, and the next waits its interval after it.
    EXPECT_FALSE(p.sensor()->readStateAsync({}));
    p.rig.simCamera->setFaults({});
    ASSERT_TRUE(waitUntil([&] { return !p.sensor()->readInFlight(); }));
    clickBox(control<QAbstractButton>(*p.sensor(), Gains::kAutoRefreshCheck));
    EXPECT_TRUE(p.sensor()->isEnabled());
}

TEST(PanelPreferences, ReapplyIsAPreferenceOnByDefault) {
    RealPanel p;
    EXPECT_TRUE(p.session().reapplyOnReturn());
    CPreferencesDlg dialog(p.preferences, &p.rig.geometry, p.rig.log, p.dialogs, p.window.get());
    auto* box = control<QAbstractButton>(dialog, CPreferencesDlg::kReApplyCheck);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isChecked());
    box->setChecked(false);
    dialog.accept();
    ASSERT_TRUE(dialog.outcome());
    p.window->applyPreferencesOutcome(*dialog.outcome());
    EXPECT_EQ(p.preferences.number(PreferenceName::kReApply), 0);
    EXPECT_FALSE(p.session().reapplyOnReturn());
}

TEST(PanelWindows, TheSplashShowsItsWholeTextOverItsWindow) {
    ApiLog log;
    QWidget owner;
    owner.setGeometry(300, 200, 600, 400);
    CSplash splash(&owner, log, 1);
    const QString text = QStringLiteral("Reading all values from the camera");
    splash.statusChanged(text.toStdString());
    QCoreApplication::processEvents();
    EXPECT_EQ(splash.statusText(), text);
    EXPECT_GE(splash.width(), splash.fontMetrics().horizontalAdvance(text));
    splash.placeOverParent();
    EXPECT_EQ(splash.geometry().center(), owner.geometry().center());
}

TEST(PanelWindows, ThePanelComesBackWhereItWasLeft) {
    RealPanel p;
    p.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(p.window.get()));
    p.window->move(140, 160);
    const QPoint where = p.window->geometry().topLeft();
    p.window->hide();
    for (int start = 0; start < 3; ++start) {
        p.window->show();
        EXPECT_EQ(p.window->geometry().topLeft(), where) << start;
        p.window->hide();
    }
}

}  // namespace
}  // namespace TVR::GuiTest
