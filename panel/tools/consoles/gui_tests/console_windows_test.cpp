#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "gui_test_helpers.h"
#include "main_window_helpers.h"
#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/brisco_pages.h"
#include "sim/sim_camera.h"
#include "sim/video/sim_capture_devices.h"
#include "tools/consoles/console_fpga.h"
#include "tools/consoles/console_i2c.h"
#include "tools/consoles/console_sensor.h"
#include "tools/consoles/registers_overview.h"
#include "tools/nrauto/auto_functions.h"
#include "tools/nrauto/nr_video.h"
#include "tools/sysinfo/dev_tech_info.h"
#include "tools/sysinfo/sys_info.h"

namespace TVR::GuiTest {
namespace {

// The program's own window with its real tools on one simulated camera, expert and beta menus
// on.
struct ConsolePanel : ProgramWindowRig {
    explicit ConsolePanel(const std::string& sim = "") : ProgramWindowRig(sim) {}
};

void typeInto(QPlainTextEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

TEST(ConsoleWindows, EachOpensFromItsMenuWithItsTitle) {
    ConsolePanel p;
    const std::pair<int, const char*> items[] = {
        {MenuId::kConsoleI2c, "I\u00b2C console"},
        {MenuId::kConsoleFpga, "FPGA console"},
        {MenuId::kConsoleSensor, "Sensor console"},
        {MenuId::kRegistersDump, "Sensor's registers' overview"},
        {MenuId::kSysInternals, "Device's internal system information"},
        {MenuId::kTechInfo, "Detailed technical info about the current device"},
        {MenuId::kAutoFunctions, "Auto-functions' parameters"},
    };
    for (const auto& [id, title] : items) {
        SCOPED_TRACE(title);
        EXPECT_TRUE(p.window->action(id)->isEnabled());
        ASSERT_TRUE(p.window->runCommand(id));
        QWidget* shown = p.window->showTool(id);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->windowTitle(), QString::fromUtf8(title));
        EXPECT_TRUE(shown->isVisible());
    }

    // No camera offers the noise reduction channels for reading: the item stays greyed, and the
    // window opens only by other ways.
    EXPECT_FALSE(p.window->action(MenuId::kNoiseReduction)->isEnabled());
    QWidget* nr = p.window->showTool(MenuId::kNoiseReduction);
    ASSERT_NE(nr, nullptr);
    EXPECT_EQ(nr->windowTitle(), "Video noise reduction");

    // Old FX3 firmware has no system information: its item is greyed.
    ConsolePanel old("fx3=52");
    EXPECT_FALSE(old.window->action(MenuId::kSysInternals)->isEnabled());
}

TEST(ConsoleWindows, I2cConsoleRunsTheScriptOnTheChosenDevice) {
    ConsolePanel p;
    auto* w = p.open<CConsoleI2c>(MenuId::kConsoleI2c);
    ASSERT_NE(w, nullptr);
    auto* address = get<QLineEdit>(w, CConsoleI2c::kAddress);
    auto* targets = get<QComboBox>(w, CConsoleI2c::kTargets);
    auto* result = get<QPlainTextEdit>(w, CConsoleI2c::kResult);
    EXPECT_EQ(address->text(), "0x20");
    EXPECT_TRUE(get<QRadioButton>(w, CConsoleI2c::kEightBit)->isChecked());
    EXPECT_TRUE(get<QCheckBox>(w, CConsoleI2c::kStopOnError)->isChecked());
    EXPECT_EQ(targets->count(), 14);

    targets->setCurrentIndex(10);  // (Brisco) I²C Expander
    EXPECT_EQ(address->text(), "0x42");
    EXPECT_TRUE(address->isReadOnly());
    typeInto(get<QPlainTextEdit>(w, CConsoleI2c::kScript), "{0x01, 0x3C} ; leds");
    QTest::mouseClick(get<QPushButton>(w, CConsoleI2c::kExecute), Qt::LeftButton);
    EXPECT_EQ(result->toPlainText(), "Success");
    EXPECT_EQ(p.fw().i2cRegister(0x42, 0x01), 0x3C);

    targets->setCurrentIndex(12);  // ADAU1761, 16-bit registers
    EXPECT_TRUE(get<QRadioButton>(w, CConsoleI2c::kSixteenBit)->isChecked());
    targets->setCurrentIndex(0);
    EXPECT_FALSE(address->isReadOnly());
    QTest::mouseClick(get<QPushButton>(w, CConsoleI2c::kExecute), Qt::LeftButton);
    EXPECT_EQ(result->toPlainText(), "Invalid I\u00b2C address");
}

TEST(ConsoleWindows, FpgaConsoleAsksBeforeDangerAndRefusesOutOfRange) {
    ConsolePanel p;
    p.preferences.setNumber(PreferenceName::kSafe, 1);
    auto* w = p.open<CConsoleFpga>(MenuId::kConsoleFpga);
    ASSERT_NE(w, nullptr);
    auto* list = get<QListWidget>(w, CConsoleFpga::kCommands);
    auto* output = get<QPlainTextEdit>(w, CConsoleFpga::kOutput);
    auto* run = get<QPushButton>(w, CConsoleFpga::kRun);
    EXPECT_EQ(list->count(), 13);
    EXPECT_EQ(list->currentRow(), 0);

    list->setCurrentRow(2);  // FX3 Version
    EXPECT_EQ(get<QLineEdit>(w, CConsoleFpga::kRequest)->text(), "0xAB");
    EXPECT_TRUE(get<QLineEdit>(w, CConsoleFpga::kRequest)->isReadOnly());
    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_TRUE(output->toPlainText().startsWith("true (success)\n0x"));

    // Switching to the boot loader is dangerous: Cancel sends nothing.
    list->setCurrentRow(1);
    EXPECT_TRUE(get<QPlainTextEdit>(w, CConsoleFpga::kDescription)
                    ->toPlainText()
                    .startsWith("  ----- DANGER ZONE! -----"));
    p.cam().clearRequests();
    p.dialogs.answers.push_back(QMessageBox::Cancel);
    QTest::mouseClick(run, Qt::LeftButton);
    ASSERT_FALSE(p.dialogs.shown.empty());
    EXPECT_EQ(p.dialogs.shown.back().title, "Come to your senses!");
    EXPECT_TRUE(p.cam().requests().empty());

    // The DPC threshold takes 0..255.
    list->setCurrentRow(10);
    p.dialogs.answers.push_back(QMessageBox::Ok);  // the danger question
    get<QLineEdit>(w, CConsoleFpga::kValue)->setText("300");
    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_EQ(p.dialogs.shown.back().title, "Error");
    EXPECT_EQ(p.dialogs.shown.back().text,
              "Specified value is outside accepted range for this command");
}

TEST(ConsoleWindows, SensorConsoleAndOverviewShowTheScriptsChanges) {
    ConsolePanel p;
    auto* overview = p.open<CRegistersOverview>(MenuId::kRegistersDump);
    ASSERT_NE(overview, nullptr);
    auto* list = get<QPlainTextEdit>(overview, CRegistersOverview::kList);
    auto* changesOnly = get<QCheckBox>(overview, CRegistersOverview::kChangesOnly);
    EXPECT_EQ(get<QLineEdit>(overview, CRegistersOverview::kRangeFirst)->text(), "0x5000");
    EXPECT_TRUE(changesOnly->isChecked());
    p.fw().setSensorRegister(0x5003, 0x11);
    p.fw().setSensorRegister(0x5004, 0x00);
    QTest::mouseClick(get<QPushButton>(overview, CRegistersOverview::kFullSnapshot),
                      Qt::LeftButton);
    EXPECT_EQ(list->toPlainText(), "");

    auto* console = p.open<CConsoleSensor>(MenuId::kConsoleSensor);
    ASSERT_NE(console, nullptr);
    auto* script = get<QPlainTextEdit>(console, CConsoleSensor::kScript);
    typeInto(script, "0x5003 0x22 0x5004 0x00");
    EXPECT_EQ(p.window->store().getString("CONSOLE_TEXT"), "0x5003 0x22 0x5004 0x00");
    QTest::mouseClick(get<QPushButton>(console, CConsoleSensor::kRun), Qt::LeftButton);
    EXPECT_EQ(p.fw().sensorRegister(0x5003), 0x22);

    get<QLineEdit>(console, CConsoleSensor::kPeekRegister)->setText("0x5003");
    QTest::mouseClick(get<QPushButton>(console, CConsoleSensor::kPeek), Qt::LeftButton);
    EXPECT_EQ(get<QLabel>(console, CConsoleSensor::kPeekHex)->text(), "0x22");
    EXPECT_EQ(get<QLabel>(console, CConsoleSensor::kPeekBinary)->text(), "00100010");

    QTest::mouseClick(get<QPushButton>(overview, CRegistersOverview::kRefreshRange),
                      Qt::LeftButton);
    EXPECT_EQ(list->toPlainText().toStdString(), "0x5003\t0x11\t0x22\t<-- +++CHANGED+++\n");

    // The sensor holds the first pair now; the second only when it was 0 already.
    p.fw().setSensorRegister(0x5004, 0x01);
    QTest::mouseClick(get<QPushButton>(console, CConsoleSensor::kCompareCurrent), Qt::LeftButton);
    EXPECT_EQ(script->toPlainText(), "0x5004 0x00\n");

    // Auto-refresh shows every line; the tick re-reads the lines on show.
    auto* autoRefresh = get<QComboBox>(overview, CRegistersOverview::kAutoRefresh);
    autoRefresh->setCurrentIndex(1);
    EXPECT_FALSE(changesOnly->isChecked());
    QTest::mouseClick(changesOnly, Qt::LeftButton);
    EXPECT_FALSE(changesOnly->isChecked());
    p.fw().setSensorRegister(0x0000, 0x5A);
    overview->refreshVisible();
    EXPECT_TRUE(list->toPlainText().startsWith("0x0000\t"));
    EXPECT_NE(list->toPlainText().indexOf("0x0000\t0x00\t0x5A\t<-- +++CHANGED+++"), -1);
    autoRefresh->setCurrentIndex(0);
}

TEST(ConsoleWindows, SystemInformationAndTechnicalReport) {
    ConsolePanel p;
    auto* sys = p.open<CSysInfo>(MenuId::kSysInternals);
    ASSERT_NE(sys, nullptr);
    EXPECT_TRUE(
        get<QLabel>(sys, CSysInfo::kHeader)
            ->text()
            .startsWith(" SysInfo version 2.0 (size: 54 bytes)\n\r Cypress part#: USB-3014"));
    EXPECT_TRUE(get<QCheckBox>(sys, CSysInfo::kFirstFeature)->isChecked());       // USB3
    EXPECT_FALSE(get<QCheckBox>(sys, CSysInfo::kFirstFeature + 1)->isChecked());  // OTG
    EXPECT_EQ(get<QLabel>(sys, CSysInfo::kUsb)->text(), "USB: Super speed");
    EXPECT_EQ(get<QLabel>(sys, CSysInfo::kPower)->text(), "Power: BUS");
    EXPECT_EQ(get<QLabel>(sys, CSysInfo::kPhyErrors)->text(), "0 (3)");
    EXPECT_EQ(get<QLabel>(sys, CSysInfo::kStatus)->text(), "");

    // A damaged reply: the values are greyed and the window says why.
    Sim::SimFaults faults;
    faults.corruptNext = 1;
    p.cam().setFaults(faults);
    QTest::mouseClick(get<QPushButton>(sys, CSysInfo::kRefresh), Qt::LeftButton);
    EXPECT_TRUE(get<QLabel>(sys, CSysInfo::kHeader)->text().contains("Unknown"));
    EXPECT_FALSE(get<QCheckBox>(sys, CSysInfo::kFirstFeature)->isEnabled());
    EXPECT_TRUE(get<QLabel>(sys, CSysInfo::kStatus)->text().contains("could not be read"));
    QTest::mouseClick(get<QPushButton>(sys, CSysInfo::kRefresh), Qt::LeftButton);
    EXPECT_TRUE(get<QCheckBox>(sys, CSysInfo::kFirstFeature)->isEnabled());

    auto* tech = p.open<CDevTechInfo>(MenuId::kTechInfo);
    ASSERT_NE(tech, nullptr);
    const QString text = get<QPlainTextEdit>(tech, CDevTechInfo::kText)->toPlainText();
    EXPECT_TRUE(text.startsWith("Manufacturer:\tTavro\n"));
    EXPECT_NE(text.indexOf("Signature (size/maj/min): 54/2/0"), -1);
}

TEST(ConsoleWindows, NoiseReductionAndAutoFunctionsPushWhatIsTyped) {
    ConsolePanel p;
    auto* nr = dynamic_cast<CNRVideo*>(p.window->showTool(MenuId::kNoiseReduction));
    ASSERT_NE(nr, nullptr);
    auto* luma = get<QLineEdit>(nr, CNRVideo::kLumaNumber);
    luma->selectAll();
    QTest::keyClicks(luma, "40");
    EXPECT_EQ(p.window->store().getInt("VNR_LUMA"), 40);
    EXPECT_EQ(get<QSlider>(nr, CNRVideo::kLumaSlider)->value(), 40);
    EXPECT_TRUE(
        get<QGroupBox>(nr, CNRVideo::kLumaGroup)->property(CNRVideo::kStrengthOnProperty).toBool());
    luma->selectAll();
    QTest::keyClicks(luma, "0");
    EXPECT_EQ(p.window->store().getInt("VNR_LUMA"), 0);
    EXPECT_FALSE(
        get<QGroupBox>(nr, CNRVideo::kLumaGroup)->property(CNRVideo::kStrengthOnProperty).toBool());
    // The slider stays usable, so the strength can be raised again.
    EXPECT_TRUE(get<QSlider>(nr, CNRVideo::kLumaSlider)->isEnabled());
    get<QSlider>(nr, CNRVideo::kChromaSlider)->setValue(17);
    EXPECT_EQ(get<QLineEdit>(nr, CNRVideo::kChromaNumber)->text(), "17");
    EXPECT_EQ(p.window->store().getInt("VNR_CHROMA"), 17);

    auto* afn = p.open<CAutoFunctions>(MenuId::kAutoFunctions);
    ASSERT_NE(afn, nullptr);
    auto* interval = get<QSlider>(afn, CAutoFunctions::kIntervalSlider);
    EXPECT_EQ(interval->maximum(), 120);
    interval->setValue(30);
    EXPECT_EQ(p.fw().params().afnPeriod, 30);
    EXPECT_EQ(get<QLabel>(afn, CAutoFunctions::kIntervalValue)->text(), "30");
    auto* exposure = get<QLineEdit>(afn, CAutoFunctions::kExposureNumber);
    exposure->selectAll();
    QTest::keyClicks(exposure, "200");
    EXPECT_EQ(p.fw().params().aeSetpoint, 200);
    EXPECT_EQ(get<QSlider>(afn, CAutoFunctions::kExposureSlider)->value(), 200);

    // A stored interval beyond the slider's range: the slider at its end, the value as stored.
    p.window->store().setDecimal("AFN_UPDATE_INTERVAL", 500);
    afn->updateHeld();
    EXPECT_EQ(interval->value(), 120);
    EXPECT_EQ(get<QLabel>(afn, CAutoFunctions::kIntervalValue)->text(), "500");
}

}  // namespace
}  // namespace TVR::GuiTest
