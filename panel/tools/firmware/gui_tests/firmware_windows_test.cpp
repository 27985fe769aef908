#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "reply_server.h"
#include "gui_test_helpers.h"
#include "main_window_helpers.h"
#include "sensor/img_sensor.h"
#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/brisco_pages.h"
#include "shell/tab_basic.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"
#include "sim/sim_images.h"
#include "sim/video/sim_capture_devices.h"
#include "tools/firmware/firmware_tools.h"
#include "tools/firmware/fw_upgrade_ctrl.h"
#include "tools/firmware/fw_upgrade_dlg.h"
#include "tools/firmware/fw_upgrade_popup_dlg.h"

namespace TVR::GuiTest {
namespace {

using PanelTest::ReplyServer;

// Quick stages of the simulated camera's FPGA configuration and FX3 reset.
constexpr const char* kQuickSim = "cameras=1;config_ms=1;erase_ms=1;reset_ms=20";

// Runs `act` on the next modal window of type W, from inside its modal loop.
template <typename W>
void whenModal(std::function<void(W&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if (w == nullptr) return;
        timer->stop();
        timer->deleteLater();
        act(*w);
    });
    timer->start();
}

std::string bytesText(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// The program's window with its real pages and tools on one simulated camera, the firmware
// tools on a local server with quick timing.
struct FwPanel {
    explicit FwPanel(const std::string& serverUrl = PanelTest::deadServerUrl(),
                     const std::string& sim = kQuickSim)
        : rig(sim) {
        rig.sensor.reset();
        backends.capture = std::make_unique<SimCaptureDevices>(*rig.driver);
        backends.usb = std::move(rig.driver);
        MainWindowSetup setup{backends,     rig.log, preferences,
                              rig.geometry, dialogs, briscoPageFactory(),
                              50,           1,       [] { return true; }};
        window = std::make_unique<CbriscoDlg>(std::move(setup));
        registerBriscoTools(*window);
        FirmwareToolsOptions o{DownloadServer(serverUrl), UpgradeTiming::scaled(0.05),
                               [this](QWidget*, const QString& filter, const QString&) {
                                   filters.push_back(filter);
                                   return chosen;
                               }};
        tools = &registerFirmwareTools(*window, std::move(o));
    }
    ~FwPanel() {
        window.reset();
        backends.capture.reset();
        rig.driver.reset(static_cast<Sim::SimDriver*>(backends.usb.release()));
    }
    Sim::SimDriver& driver() { return static_cast<Sim::SimDriver&>(*backends.usb); }
    Sim::SimCameraFirmware& firmware() {
        return dynamic_cast<Sim::SimCameraFirmware&>(*driver().cameras().at(0)->firmware());
    }
    CTabBasic& basic() { return *qobject_cast<CTabBasic*>(window->tabs().widget(0)); }

    CameraRig rig;
    Backends backends;
    Preferences preferences;
    ScriptedDialogs dialogs;
    std::unique_ptr<CbriscoDlg> window;
    FirmwareTools* tools = nullptr;
    std::optional<QString> chosen;
    QStringList filters;
};

TEST(FirmwareWindows, FpgaUpgradeFromAFileThroughTheDialog) {
    FwPanel p;
    TestSupport::TempFolder folder;
    const std::string file = folder.write("new.bin", Sim::buildSimFpgaImage(95));
    p.chosen = QString::fromStdString(file);
    p.preferences.setNumber(PreferenceName::kFwRelease, 0);
    ASSERT_TRUE(p.window->action(MenuId::kFirmwareUpdate)->isEnabled());

    bool ran = false;
    QString versionBefore, versionAfter, popupTitle;
    whenModal<CFwUpgradeDlg>([&](CFwUpgradeDlg& d) {
        EXPECT_EQ(d.windowTitle(), "Firmware upgrade for FX3 and FPGA");
        auto* source = d.findChild<QComboBox*>("fpgaSource");
        auto* upgrade = d.findChild<QPushButton*>("fpgaUpgrade");
        auto* version = d.findChild<QLabel*>("fpgaVersion");
        EXPECT_EQ(source->currentIndex(), 0);
        EXPECT_EQ(source->itemText(0), "Local file");
        EXPECT_EQ(source->itemText(5), "Release");
        EXPECT_FALSE(upgrade->isEnabled());
        versionBefore = version->text();
        QTest::mouseClick(d.findChild<QPushButton*>("fpgaBrowse"), Qt::LeftButton);
        EXPECT_EQ(d.findChild<QLineEdit*>("fpgaPath")->text().toStdString(), file);
        ASSERT_TRUE(upgrade->isEnabled());
        whenModal<CFwUpgradePopupDlg>([&](CFwUpgradePopupDlg& popup) {
            popupTitle = popup.windowTitle();
            EXPECT_EQ(popup.findChildren<QWidget*>(QRegularExpression("^fpgaStatus")).size(), 16);
        });
        // The progress window runs the job and closes itself when it is done.
        QTest::mouseClick(upgrade, Qt::LeftButton);
        ran = true;
        versionAfter = version->text();
        d.accept();
    });
    ASSERT_TRUE(p.window->runCommand(MenuId::kFirmwareUpdate));
    ASSERT_TRUE(ran);
    EXPECT_EQ(popupTitle, "Firmware upgrade monitor");
    EXPECT_EQ(p.filters, QStringList{"FPGA image file (*.bin);;All files (*.*)"});
    ASSERT_EQ(p.tools->lastOutcome(), std::optional<bool>(true))
        << p.tools->lastLog().toStdString();
    EXPECT_TRUE(p.tools->lastLog().contains("Loading the firmware onto FPGA... OK"));
    EXPECT_TRUE(p.tools->lastLog().contains("\nFirmware upgrade succeeded"));
    EXPECT_EQ(p.firmware().fpgaVersion(), Sim::simFpgaVersionForBuild(95));
    // The dialog read the new version, and the panel is back on the camera.
    EXPECT_NE(versionBefore, versionAfter);
    EXPECT_TRUE(versionAfter.contains("95")) << versionAfter.toStdString();
    EXPECT_TRUE(p.window->session().connected());
    EXPECT_EQ(p.window->camera().versionFPGA().build(), 95);
    EXPECT_FALSE(p.window->session().work().busy());
}

TEST(FirmwareWindows, Fx3FromTheLocalReleaseServerAndTheDowngradeQuestion) {
    const auto image = Sim::buildSimFx3Image(120);
    ReplyServer server;
    server.reply("/cgi-bin/ver.php",
                 "fx3:5:100:fw/fx3-100.img:" + std::to_string(image.size()) +
                     "\nfx3:5:120:fw/fx3-120.img:" + std::to_string(image.size()) + "\n");
    server.reply("/fw/fx3-120.img", bytesText(image));
    ASSERT_TRUE(server.start());
    FwPanel p(server.url());
    p.preferences.setNumber(PreferenceName::kFwRelease, 5);

    bool ran = false;
    QStringList listed;
    whenModal<CFwUpgradeDlg>([&](CFwUpgradeDlg& d) {
        auto* releases = d.findChild<QComboBox*>("fx3Releases");
        auto* upgrade = d.findChild<QPushButton*>("fx3Upgrade");
        // The lists arrive from the worker without the window waiting.
        ASSERT_TRUE(waitUntil([&] { return d.fetchesPending() == 0; }));
        for (int i = 0; i < releases->count(); ++i) listed.push_back(releases->itemText(i));
        EXPECT_FALSE(d.findChild<QLineEdit*>("fx3Path")->isVisibleTo(&d));
        // Build 100 is below the camera's 105: "No" keeps the camera as it is.
        releases->setCurrentIndex(1);
        p.dialogs.answers = {QMessageBox::No};
        QTest::mouseClick(upgrade, Qt::LeftButton);
        ASSERT_FALSE(p.dialogs.shown.empty());
        EXPECT_EQ(p.dialogs.shown.back().title, "Confirmation");
        EXPECT_EQ(p.dialogs.shown.back().text,
                  "Downgrading firmware to version 100.\nClick YES to proceed");
        EXPECT_EQ(p.dialogs.shown.back().defaultButton, QMessageBox::No);
        EXPECT_FALSE(p.tools->lastOutcome());
        releases->setCurrentIndex(0);
        QTest::mouseClick(upgrade, Qt::LeftButton);
        ran = true;
        d.accept();
    });
    ASSERT_TRUE(p.window->runCommand(MenuId::kFirmwareUpdate));
    ASSERT_TRUE(ran);
    EXPECT_EQ(listed, (QStringList{"v.120: Release", "v.100: Release"}));
    ASSERT_EQ(p.tools->lastOutcome(), std::optional<bool>(true))
        << p.tools->lastLog().toStdString();
    EXPECT_TRUE(p.tools->lastLog().contains("Programming FX3 SPI Flash device... OK"));
    EXPECT_EQ(p.window->camera().versionFX3().build(), 120);
    const auto asked = server.targets();
    EXPECT_NE(std::find(asked.begin(), asked.end(), "/fw/fx3-120.img"), asked.end());
}

TEST(FirmwareWindows, ClosingTheMonitorAsksAndAbandonsOnlyOnYes) {
    // A slow configuration keeps the procedure running while the window is closed.
    FwPanel p(PanelTest::deadServerUrl(), "cameras=1;config_ms=400;erase_ms=400;reset_ms=20");
    TestSupport::TempFolder folder;
    const std::string file = folder.write("slow.bin", Sim::buildSimFpgaImage(96));
    bool stillOpen = false;
    whenModal<CFwUpgradePopupDlg>([&](CFwUpgradePopupDlg& popup) {
        ASSERT_TRUE(waitUntil([&] { return popup.running(); }));
        p.dialogs.answers = {QMessageBox::No};
        popup.reject();
        stillOpen = popup.isVisible() && popup.running();
        p.dialogs.answers = {QMessageBox::Yes};
        popup.reject();
    });
    p.tools->dropImage(QString::fromStdString(file), true, false);
    EXPECT_TRUE(stillOpen);
    ASSERT_GE(p.dialogs.shown.size(), 2u);
    EXPECT_EQ(p.dialogs.shown[0].title, "Warning!");
    EXPECT_EQ(p.dialogs.shown[0].text,
              "Firmware upgrade is in progress. Interrupting it may lead to unexpected results. "
              "Are you sure you want to canel?");
    EXPECT_FALSE(p.tools->lastOutcome());
    bool aborted = false;
    for (size_t i = 0; i < p.rig.log.messageCount(); ++i) {
        const auto m = p.rig.log.message(p.rig.log.firstMessageIndex() + i);
        if (m && m->error &&
            m->text ==
                "Firmware upgrade procedure aborted by user, the device may have been left in an "
                "unknown state!") {
            aborted = true;
        }
    }
    EXPECT_TRUE(aborted);
    // The camera is the panel's again.
    EXPECT_FALSE(p.window->session().work().busy());
}

TEST(FirmwareWindows, DroppedImagesAreCheckedThenUploaded) {
    FwPanel p;
    TestSupport::TempFolder folder;
    const std::string shortBin = folder.write("short.bin", std::vector<uint8_t>(1000, 0xFF));
    p.window->dropFiles({QString::fromStdString(shortBin)});
    ASSERT_EQ(p.dialogs.shown.size(), 1u);
    EXPECT_EQ(p.dialogs.shown[0].title, "FPGA firmware upload");
    EXPECT_EQ(p.dialogs.shown[0].text, "The FPGA image file is corrupt or inaccessible");
    p.window->dropFiles({QString::fromStdString(folder.file("missing.img"))});
    ASSERT_EQ(p.dialogs.shown.size(), 2u);
    EXPECT_EQ(p.dialogs.shown[1].title, "FX3 firmware upload");
    EXPECT_FALSE(p.tools->lastOutcome());

    const std::string good = folder.write("good.IMG", Sim::buildSimFx3Image(121));
    int progressSeen = -1;
    whenModal<CFwUpgradePopupDlg>([&](CFwUpgradePopupDlg& popup) {
        ASSERT_TRUE(waitUntil([&] { return popup.outcome().has_value(); }));
        progressSeen = popup.progress();
        EXPECT_FALSE(popup.progressFailed());
        EXPECT_TRUE(popup.autoClosing());
    });
    p.window->dropFiles({QString::fromStdString(good)});
    ASSERT_EQ(p.tools->lastOutcome(), std::optional<bool>(true))
        << p.tools->lastLog().toStdString();
    EXPECT_EQ(progressSeen, 100);
    EXPECT_EQ(p.window->camera().versionFX3().build(), 121);
    EXPECT_EQ(p.dialogs.shown.size(), 2u);
}

TEST(FirmwareWindows, AFailedUploadTurnsTheBarRed) {
    FwPanel p;
    TestSupport::TempFolder folder;
    const std::string bad = folder.write("bad.bin", Sim::buildSimFpgaImage(97, true));
    bool failedBar = false;
    bool crcLit = false;
    whenModal<CFwUpgradePopupDlg>([&](CFwUpgradePopupDlg& popup) {
        ASSERT_TRUE(waitUntil([&] { return popup.outcome().has_value(); }));
        failedBar = popup.progressFailed();
        crcLit = popup.indicatorOn(15);
        popup.accept();
    });
    p.tools->dropImage(QString::fromStdString(bad), true, false);
    EXPECT_EQ(p.tools->lastOutcome(), std::optional<bool>(false));
    EXPECT_TRUE(failedBar);
    EXPECT_TRUE(crcLit);
    EXPECT_TRUE(p.tools->lastLog().contains("The upload returned a success but there were errors"))
        << p.tools->lastLog().toStdString();
}

TEST(FirmwareWindows, TheDevicePageLinkAfterLatestPhpUpgrades) {
    const auto image = Sim::buildSimFx3Image(130);
    ReplyServer server;
    server.reply("/cgi-bin/latest.php",
                 "fx3:5:130:fw/fx3-130.img:" + std::to_string(image.size()) + "\n");
    server.reply("/fw/fx3-130.img", bytesText(image));
    ASSERT_TRUE(server.start());
    FwPanel p(server.url());
    p.preferences.setNumber(PreferenceName::kFwRelease, 5);
    p.window->show();
    auto* fx3Link = control<QLabel>(p.basic(), CTabBasic::kFx3UpgradeId);
    auto* fpgaLink = control<QLabel>(p.basic(), CTabBasic::kFpgaUpgradeId);
    ASSERT_NE(fx3Link, nullptr);
    EXPECT_FALSE(fx3Link->isVisible());

    p.tools->checkUpgradeLinks();
    ASSERT_TRUE(waitUntil([&] { return !p.tools->linkCheckRunning(); }));
    EXPECT_TRUE(fx3Link->isVisible());
    EXPECT_EQ(fx3Link->text(), "Upgrade to v.130 (Release)");
    EXPECT_FALSE(fpgaLink->isVisible());
    const auto asked = server.targets();
    EXPECT_NE(std::find(asked.begin(), asked.end(), "/cgi-bin/latest.php?fx3=1_1_4&rel=5"),
              asked.end());

    QTest::mouseClick(fx3Link, Qt::LeftButton);
    ASSERT_EQ(p.tools->lastOutcome(), std::optional<bool>(true))
        << p.tools->lastLog().toStdString();
    EXPECT_EQ(p.window->camera().versionFX3().build(), 130);
    EXPECT_FALSE(fx3Link->isVisible());
    EXPECT_FALSE(p.tools->link(UpgradeTarget::Fx3)->link().visible);
}

}  // namespace
}  // namespace TVR::GuiTest
