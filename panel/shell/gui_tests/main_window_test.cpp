#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "main_window_helpers.h"
#include "protocol/uvc_property_ids.h"
#include "protocol/vendor_requests.h"
#include "session/camera_session.h"
#include "settings/camera_transfer.h"
#include "settings/camera_work.h"
#include "settings/settings_store.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_status_bar.h"
#include "shell/media_source.h"
#include "shell/preferences_dialog_model.h"
#include "sim/sim_camera.h"

namespace TVR {
namespace {

using GuiTest::MainWindowRig;

constexpr const char* kProgram = "Tavro camera control center 2.6.0";

QStringList menuTitles(CbriscoDlg& w) {
    QStringList t;
    for (QAction* a : w.menuBar()->actions()) t.push_back(a->text());
    return t;
}

bool sent(const MainWindowRig& r, uint8_t code) {
    for (const auto& q : r.rig.simCamera->requests()) {
        if (q.kind == Sim::SimRequestRecord::Kind::Control && q.setup.bRequest == code) return true;
    }
    return false;
}

uint32_t exposureRegisters(const MainWindowRig& r) {
    const auto& fw = *r.rig.firmware;
    return (static_cast<uint32_t>(fw.sensorRegister(0x3500) & 0x0F) << 16) |
           (static_cast<uint32_t>(fw.sensorRegister(0x3501)) << 8) | fw.sensorRegister(0x3502);
}

// A settings file saved from the connected camera, so that it loads without the sensor warning.
std::string savedSettings(MainWindowRig& r, const std::string& name, int exposure) {
    const std::string path = r.rig.folder.file(name);
    r.window->store().setDecimal("OV_EXPOSURE", exposure);
    EXPECT_TRUE(r.window->transfer().saveFileAs(path));
    return path;
}

TEST(CbriscoDlg, TitleFollowsTheFileAndTheDirtyFlag) {
    EXPECT_EQ(CbriscoDlg::titleFor("", true), QString::fromLatin1(kProgram));
    EXPECT_EQ(CbriscoDlg::titleFor("/x/y/settings.qcf", false),
              QStringLiteral("settings.qcf - ") + kProgram);

    MainWindowRig r;
    EXPECT_EQ(r.window->windowTitle(), QString::fromLatin1(kProgram));
    r.dialogs.files.push_back(QString::fromStdString(r.rig.folder.file("one.qcf")));
    ASSERT_TRUE(r.window->runCommand(MenuId::kSaveAs));
    EXPECT_EQ(r.window->windowTitle(), QStringLiteral("one.qcf - ") + kProgram);
    // A change made elsewhere reaches the title through the window's queue.
    r.window->store().setDecimal("OV_EXPOSURE", 4321);
    QCoreApplication::processEvents();
    EXPECT_EQ(r.window->windowTitle(), QStringLiteral("one.qcf* - ") + kProgram);
}

TEST(CbriscoDlg, BuildsTheTabsAndTheMenusThePreferencesAllow) {
    MainWindowRig r;
    QTabWidget& tabs = r.window->tabs();
    EXPECT_EQ(tabs.objectName(), QStringLiteral("c1000"));
    ASSERT_EQ(tabs.count(), 4);
    EXPECT_EQ(tabs.tabText(0), QStringLiteral("Device"));
    EXPECT_EQ(tabs.tabText(1), QStringLiteral("Sensor"));
    EXPECT_EQ(tabs.tabText(2), QStringLiteral("Camera"));
    EXPECT_EQ(tabs.tabText(3), QStringLiteral("Peripherals"));
    EXPECT_EQ(tabs.currentIndex(), 0);
    EXPECT_EQ(menuTitles(*r.window), (QStringList{"&File", "&Video", "&Tools", "&Help"}));

    for (const MenuCommand& c : menuCommands()) {
        QAction* a = r.window->findChild<QAction*>(controlName(c.id));
        ASSERT_NE(a, nullptr) << c.id;
        EXPECT_FALSE(a->statusTip().isEmpty()) << c.id;
    }
    QAction* push = r.window->action(MenuId::kPush);
    EXPECT_EQ(push->text(), QStringLiteral("Push current values to camera\tF2"));
    EXPECT_EQ(push->shortcut(), QKeySequence(Qt::Key_F2));
    EXPECT_EQ(push->statusTip(),
              QStringLiteral("Push current values to camera, changing camera's state"));
    QAction* preset = r.window->action(MenuId::kPresetFirst + 2);
    EXPECT_EQ(preset->text(), QStringLiteral("Preset #3\tCtrl+Alt+3"));

    // Windows not built yet stay listed but greyed, and their help still shows.
    QAction* grading = r.window->action(MenuId::kGradingFirst);
    EXPECT_FALSE(grading->isEnabled());
    grading->hover();
    EXPECT_EQ(r.window->statusBar().paneText(), grading->statusTip());

    // Expert and beta mode bring their menus back.
    r.preferences.setNumber(PreferenceName::kExpert, 1);
    r.preferences.setNumber(PreferenceName::kBetaOn, 1);
    PreferencesDialogOutcome outcome;
    outcome.menuChanged = true;
    outcome.devNotify = true;
    r.window->applyPreferencesOutcome(outcome);
    EXPECT_EQ(menuTitles(*r.window),
              (QStringList{"&File", "&Video", "&Tools", "&Playground", "E&xpert", "&Help"}));
    EXPECT_EQ(r.pages.tracking, std::vector<bool>{true});
    EXPECT_EQ(r.restarts, 0);
    EXPECT_TRUE(r.dialogs.shown.empty());
}

TEST(CbriscoDlg, WithoutACameraTheStatusSaysSoAndCameraItemsAreGreyed) {
    MainWindowRig r("cameras=0");
    // "Started log" shows first, for a moment.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        QCoreApplication::processEvents();
        return r.window->statusBar().defaultShowing();
    }));
    EXPECT_EQ(r.window->statusBar().defaultText(), QString::fromLatin1(kNoCameraStatus.data()));
    EXPECT_EQ(r.window->statusBar().paneText(), QString::fromLatin1(kNoCameraStatus.data()));
    r.window->updateMenuState();
    for (int id : {MenuId::kOpen, MenuId::kSave, MenuId::kSaveAs, MenuId::kPush,
                   MenuId::kAutoExposure, MenuId::kAutoWhiteBalance, MenuId::kSdiOutput,
                   MenuId::kTestPatterns, MenuId::kPresetFirst}) {
        EXPECT_FALSE(r.window->action(id)->isEnabled()) << id;
    }
    for (int id : {MenuId::kPreferences, MenuId::kAbout, MenuId::kResetDevice, MenuId::kExit}) {
        EXPECT_TRUE(r.window->action(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(r.window->runCommand(MenuId::kPush));
}

TEST(CbriscoDlg, DroppedSettingsFilesLoadByTheirLastThreeCharacters) {
    MainWindowRig r;
    const std::string source = savedSettings(r, "source.qcf", 0x12340);
    for (const char* name : {"settings.QCF", "a.qcf", "xqcf"}) {
        const std::string path = r.rig.folder.file(name);
        std::filesystem::copy_file(source, path);
        r.window->store().setDecimal("OV_EXPOSURE", 0x00100);
        r.window->transfer().pushAll();
        r.drop({QString::fromStdString(path)});
        EXPECT_EQ(r.window->store().filePath(), path) << name;
        EXPECT_EQ(exposureRegisters(r), 0x12340u) << name;
    }
    EXPECT_TRUE(r.dialogs.shown.empty());

    const std::string bare = r.rig.folder.file("qcf");
    std::filesystem::copy_file(source, bare);
    r.drop({QString::fromStdString(bare)});
    ASSERT_EQ(r.dialogs.shown.size(), 1u);
    EXPECT_EQ(r.dialogs.shown[0].title, QStringLiteral("File drag-n-drop info"));
    EXPECT_EQ(r.dialogs.shown[0].text, QStringLiteral("Unrecognized or unsupported file type"));
    EXPECT_EQ(r.dialogs.shown[0].icon, QMessageBox::Information);
    EXPECT_NE(r.window->store().filePath(), bare);

    r.drop({QString::fromStdString(source), QString::fromStdString(bare)});
    ASSERT_EQ(r.dialogs.shown.size(), 2u);
    EXPECT_EQ(r.dialogs.shown[1].title, QStringLiteral("File drag-n-drop error"));
    EXPECT_EQ(r.dialogs.shown[1].text, QStringLiteral("You can only drop one file at a time!"));
    EXPECT_EQ(r.dialogs.shown[1].icon, QMessageBox::Critical);
}

TEST(CbriscoDlg, KeysPushAndLoadPresetsOnlyWhenThePresetNamesAFile) {
    MainWindowRig r;
    const std::string preset = savedSettings(r, "preset2.qcf", 0x0ABC0);
    r.window->presets().setPreset(2, {preset, "Two"});
    ASSERT_TRUE(r.showActive());

    // F2 pushes the store.
    r.window->store().setDecimal("OV_EXPOSURE", 0x23450);
    QTest::keyClick(r.window.get(), Qt::Key_F2);
    EXPECT_EQ(exposureRegisters(r), 0x23450u);

    // An empty preset sends nothing and asks nothing.
    r.window->store().setFilePath({});
    r.rig.simCamera->clearRequests();
    QTest::keyClick(r.window.get(), Qt::Key_3, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(r.rig.simCamera->requests().empty());
    EXPECT_EQ(r.dialogs.fileDialogs, 0);
    EXPECT_TRUE(r.window->store().filePath().empty());

    QTest::keyClick(r.window.get(), Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(r.window->store().filePath(), preset);
    EXPECT_EQ(exposureRegisters(r), 0x0ABC0u);
    r.window->updateMenuState();
    EXPECT_EQ(r.window->action(MenuId::kPresetFirst + 1)->text(),
              QStringLiteral("Two\tCtrl+Alt+2"));
    EXPECT_TRUE(r.window->action(MenuId::kPresetFirst + 1)->isEnabled());
    EXPECT_FALSE(r.window->action(MenuId::kPresetFirst + 2)->isEnabled());

    // F5 reads the current tab again.
    const int before = r.pages.tabs[0]->updates;
    QTest::keyClick(r.window.get(), Qt::Key_F5);
    EXPECT_GT(r.pages.tabs[0]->updates, before);
}

TEST(CbriscoDlg, OpenAndSaveGoThroughTheFileDialogs) {
    MainWindowRig r;
    const QString saved = QString::fromStdString(r.rig.folder.file("saved.qcf"));
    // Save without a path asks for one; cancelling writes nothing.
    ASSERT_TRUE(r.window->runCommand(MenuId::kSave));
    EXPECT_EQ(r.dialogs.fileDialogs, 1);
    EXPECT_TRUE(r.window->store().filePath().empty());

    r.window->store().setDecimal("OV_EXPOSURE", 0x01110);
    r.dialogs.files.push_back(saved);
    ASSERT_TRUE(r.window->runCommand(MenuId::kSave));
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("; Camera configuration for Brisco Tuner"));
    EXPECT_TRUE(text.contains("D.OV_EXPOSURE=4368\r\n"));
    EXPECT_TRUE(text.contains("S.SENSOR_MODEL="));
    EXPECT_FALSE(r.window->store().dirty());

    r.window->store().setDecimal("OV_EXPOSURE", 0x05550);
    r.window->transfer().pushAll();
    r.dialogs.files.push_back(saved);
    ASSERT_TRUE(r.window->runCommand(MenuId::kOpen));
    EXPECT_EQ(r.window->store().getInt("OV_EXPOSURE"), 0x01110);
    EXPECT_EQ(exposureRegisters(r), 0x01110u);
    EXPECT_TRUE(r.dialogs.shown.empty());

    // A missing file is reported and changes nothing in the camera.
    r.dialogs.files.push_back(QString::fromStdString(r.rig.folder.file("gone.qcf")));
    ASSERT_TRUE(r.window->runCommand(MenuId::kOpen));
    ASSERT_EQ(r.dialogs.shown.size(), 1u);
    EXPECT_EQ(r.dialogs.shown[0].title, QStringLiteral("Panic!"));
    EXPECT_EQ(exposureRegisters(r), 0x01110u);
}

TEST(CbriscoDlg, ResetDeviceAsksAndSendsTheRequestOnlyOnYes) {
    MainWindowRig r;
    r.dialogs.answers = {QMessageBox::No};
    ASSERT_TRUE(r.window->runCommand(MenuId::kResetDevice));
    EXPECT_FALSE(sent(r, VR_RESET));
    ASSERT_EQ(r.dialogs.titles(), QStringList{"Confirmation"});
    EXPECT_TRUE(r.dialogs.shown[0].text.startsWith(
        "This will attempt to reset the currently selected camera's FX3 module"));

    r.dialogs.answers = {QMessageBox::Yes};
    ASSERT_TRUE(r.window->runCommand(MenuId::kResetDevice));
    EXPECT_TRUE(sent(r, VR_RESET));
    EXPECT_EQ(r.dialogs.titles(), (QStringList{"Confirmation", "Confirmation"}));
}

TEST(CbriscoDlg, ResetWithoutACameraAsksWhetherToForceIt) {
    MainWindowRig r("cameras=0");
    r.dialogs.answers = {QMessageBox::Yes, QMessageBox::No};
    ASSERT_TRUE(r.window->runCommand(MenuId::kResetDevice));
    ASSERT_EQ(r.dialogs.titles(), (QStringList{"Confirmation", "Fatal"}));
    EXPECT_EQ(r.dialogs.shown[1].icon, QMessageBox::Critical);
    EXPECT_TRUE(r.dialogs.shown[1].text.endsWith("Would you like to try to force the reset?"));
    // Forcing with nothing on the bus sends nothing and does not fail hard.
    r.dialogs.answers = {QMessageBox::Yes, QMessageBox::Yes};
    EXPECT_TRUE(r.window->runCommand(MenuId::kResetDevice));
}

TEST(CbriscoDlg, AutomaticExposureToggleSwitchesTheCaptureSideFlags) {
    MainWindowRig r;
    r.window->updateMenuState();
    QAction* item = r.window->action(MenuId::kAutoExposure);
    ASSERT_TRUE(item->isEnabled());
    ASSERT_TRUE(item->isChecked());  // the simulated exposure starts automatic
    ASSERT_TRUE(r.window->runCommand(MenuId::kAutoExposure));
    auto source = r.window->context().mediaSource.open();
    ASSERT_TRUE(source && source->cameraControl());
    EXPECT_EQ(source->cameraControl()->get(UvcCameraControl::kExposure)->flags, kUvcFlagManual);
    EXPECT_FALSE(item->isChecked());
    ASSERT_TRUE(r.window->runCommand(MenuId::kAutoExposure));
    EXPECT_EQ(source->cameraControl()->get(UvcCameraControl::kExposure)->flags, kUvcFlagAuto);
    EXPECT_TRUE(item->isChecked());
}

TEST(CbriscoDlg, ToolWindowsAreMadeOnFirstUseAndKept) {
    MainWindowRig r("", true);
    EXPECT_FALSE(r.window->action(MenuId::kTestPatterns)->isEnabled());
    int made = 0;
    r.window->registerTool(MenuId::kTestPatterns, [&](PanelContext&, QWidget* parent) {
        ++made;
        auto* w = new QWidget(parent, Qt::Window);
        return w;
    });
    EXPECT_TRUE(r.window->action(MenuId::kTestPatterns)->isEnabled());
    ASSERT_TRUE(r.window->runCommand(MenuId::kTestPatterns));
    QWidget* first = r.window->showTool(MenuId::kTestPatterns);
    EXPECT_EQ(made, 1);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(r.window->showTool(MenuId::kConsoleSensor), nullptr);
}

TEST(CbriscoDlg, ThemeChangeOffersTheRestart) {
    MainWindowRig r;
    PreferencesDialogOutcome outcome;
    outcome.themeChanged = true;
    r.dialogs.answers = {QMessageBox::Cancel};
    r.window->applyPreferencesOutcome(outcome);
    ASSERT_EQ(r.dialogs.titles(), QStringList{"Restart to apply changes"});
    EXPECT_EQ(r.dialogs.shown[0].text,
              QStringLiteral("The app will now restart to apply the changes.\nPress Cancel if "
                             "you'd like to restart later."));
    EXPECT_EQ(r.restarts, 0);
    r.dialogs.answers = {QMessageBox::Ok};
    r.window->applyPreferencesOutcome(outcome);
    EXPECT_EQ(r.restarts, 1);
}

TEST(CbriscoDlg, LogTextsReachTheStatusBarAndAFailingCameraDoesNotBreakTheWindow) {
    MainWindowRig r;
    r.rig.log.appendMessage(true, "Something broke");
    QCoreApplication::processEvents();
    EXPECT_EQ(r.window->statusBar().paneText(), QStringLiteral("Something broke"));
    EXPECT_TRUE(r.window->statusBar().errorShown());

    // Every request fails from the start: the window comes up, reads, pushes and reports.
    MainWindowRig failing("fail_after=3");
    QCoreApplication::processEvents();
    EXPECT_EQ(failing.window->tabs().count(), 4);
    failing.window->store().setDecimal("OV_EXPOSURE", 0x01000);
    failing.window->runCommand(MenuId::kPush);
    failing.window->runCommand(MenuId::kRefresh);
    failing.window->updateMenuState();
    QCoreApplication::processEvents();
    EXPECT_EQ(failing.window->windowTitle(), QString::fromLatin1(kProgram));
}

// The menu shows the session's state, and its toggles go through the session to the camera.
TEST(CbriscoDlg, MenuItemsMapTheSessionsMenuState) {
    MainWindowRig r;
    QAction* sdi = r.window->action(MenuId::kSdiOutput);
    r.window->updateMenuState();
    ASSERT_TRUE(sdi->isEnabled());
    EXPECT_FALSE(sdi->isChecked());
    ASSERT_TRUE(r.window->runCommand(MenuId::kSdiOutput));
    EXPECT_EQ(r.rig.firmware->params().paramBA, 1);
    EXPECT_TRUE(sdi->isChecked());
    // A change behind the window's back shows when the menu opens next.
    ASSERT_TRUE(r.window->session().toggleSdi(true));
    r.window->updateMenuState();
    EXPECT_FALSE(sdi->isChecked());

    MainWindowRig old("fx3=52");
    old.window->updateMenuState();
    EXPECT_FALSE(old.window->action(MenuId::kSdiOutput)->isEnabled());
    EXPECT_FALSE(old.window->action(MenuId::kNoiseReduction)->isEnabled());
    EXPECT_TRUE(old.window->action(MenuId::kAutoExposure)->isEnabled());

    MainWindowRig none("uvc=none");
    none.window->updateMenuState();
    EXPECT_FALSE(none.window->action(MenuId::kAutoExposure)->isEnabled());
    EXPECT_FALSE(none.window->action(MenuId::kAutoWhiteBalance)->isEnabled());
}

// Window work that would start while a batch holds the camera is refused, not interleaved.
TEST(CbriscoDlg, RefreshAndPushWaitForNoBatchAndSaySo) {
    MainWindowRig r;
    QCoreApplication::processEvents();
    r.rig.simCamera->clearRequests();
    {
        auto held = r.window->session().batch();
        ASSERT_TRUE(r.window->runCommand(MenuId::kRefresh));
        ASSERT_TRUE(r.window->runCommand(MenuId::kPush));
        EXPECT_TRUE(r.rig.simCamera->requests().empty());
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(r.window->statusBar().paneText(), QString::fromLatin1(kCameraBusyText.data()));
    ASSERT_TRUE(r.window->runCommand(MenuId::kPush));
    EXPECT_FALSE(r.rig.simCamera->requests().empty());
}

// A push that lost its camera is an error in the status bar, not a quiet success.
TEST(CbriscoDlg, AFailedPushOrReadIsShownAsAnError) {
    MainWindowRig r;
    QCoreApplication::processEvents();
    Sim::SimFaults faults;
    faults.unplugAfter = 0;
    r.rig.simCamera->setFaults(faults);
    ASSERT_TRUE(r.window->runCommand(MenuId::kPush));
    QCoreApplication::processEvents();
    EXPECT_EQ(r.window->statusBar().paneText(),
              QStringLiteral("Pushing all values to the camera failed: the camera was lost"));
    EXPECT_TRUE(r.window->statusBar().errorShown());

    // Reading again from a camera that is gone ends in the same error, not in the batch's
    // closing line.
    r.window->readAllFromCamera();
    QCoreApplication::processEvents();
    EXPECT_TRUE(r.window->statusBar().paneText().startsWith(
        QStringLiteral("Reading all values from the camera failed")))
        << r.window->statusBar().paneText().toStdString();
    EXPECT_TRUE(r.window->statusBar().errorShown());
}

}  // namespace
}  // namespace TVR
