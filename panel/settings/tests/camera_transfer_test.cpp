#include "settings/camera_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "protocol/sensor_registers.h"
#include "protocol/vendor_requests.h"
#include "sensor/img_sensor_chip.h"
#include "settings/table_value_owner.h"
#include "settings_test_helpers.h"

namespace TVR {
namespace {

using SettingsTest::CameraRig;
using Strings = std::vector<std::string>;

constexpr uint16_t kLastSensorRegister = 0x5FFF;

struct Question {
    std::string title;
    std::string text;
};

class RecordingPrompter : public TransferPrompter {
public:
    bool askYesNo(std::string_view title, std::string_view text) override {
        questions.push_back({std::string(title), std::string(text)});
        return answer;
    }
    void showError(std::string_view title, std::string_view text) override {
        errors.push_back({std::string(title), std::string(text)});
    }
    void showStatus(std::string_view text) override { statuses.emplace_back(text); }
    std::optional<std::string> chooseFile(bool save, const std::string&) override {
        dialogs.push_back(save ? "save" : "open");
        return chosen;
    }

    bool answer = false;
    std::optional<std::string> chosen;
    std::vector<Question> questions;
    std::vector<Question> errors;
    Strings statuses;
    Strings dialogs;
};

// The panel's two table pages on one simulated camera.
struct Panel {
    explicit Panel(const std::string& simOptions = "") : rig(simOptions) {
        owners.add(OwnerId::TabGains, gains);
        owners.add(OwnerId::TabLed, led);
    }
    CameraRig rig;
    TableValueOwner gains{rig.store, *rig.sensor, tabGainsControls()};
    TableValueOwner led{rig.store, *rig.sensor, tabLedControls()};
    ValueOwnerRegistry owners;
    RecordingPrompter prompter;
    CameraTransfer transfer{rig.store, *rig.sensor, owners, prompter};
};

// Values that differ from a fresh camera's in every kind of address.
void makeDistinctive(Sim::SimCameraFirmware& fw) {
    fw.setSensorRegister(SensorReg::kExposureHigh, 0x01);
    fw.setSensorRegister(SensorReg::kExposureHigh + 1, 0x23);
    fw.setSensorRegister(SensorReg::kExposureHigh + 2, 0x40);
    fw.setSensorRegister(SensorReg::kIspControl0,
                         fw.sensorRegister(SensorReg::kIspControl0) | 0x10);
    fw.setFpgaRegister(FpgaReg::kLedRedLow, 0xAB);
    fw.setFpgaRegister(FpgaReg::kLedBlueLow, 0x17);
    fw.setFpgaRegister(FpgaReg::kControl,
                       fw.fpgaRegister(FpgaReg::kControl) | FpgaReg::kControlChannel1Mask);
    auto params = fw.params();
    params.real0 = 25.0f;
    fw.setParams(params);
}

// Saves what a camera with distinctive values reads into `path`.
void saveDistinctiveCamera(const std::string& path) {
    Panel a;
    makeDistinctive(*a.rig.firmware);
    ASSERT_TRUE(a.transfer.readAll());
    ASSERT_TRUE(a.transfer.saveFileAs(path));
}

TEST(CameraTransfer, ReadSaveLoadAndPushCopiesOneCameraToAnother) {
    TestSupport::TempFolder dir;
    const std::string path = dir.file("a.qcf");
    Panel a;
    auto& fa = *a.rig.firmware;
    makeDistinctive(fa);
    ASSERT_TRUE(a.transfer.readAll());
    ASSERT_TRUE(a.transfer.saveFileAs(path));
    EXPECT_FALSE(a.rig.store.dirty());
    EXPECT_EQ(a.rig.store.getString(kKeySensorModel), "OV9750");

    Panel b;
    auto& fb = *b.rig.firmware;
    ASSERT_NE(fb.sensorRegister(SensorReg::kExposureHigh + 1), 0x23);
    ASSERT_NE(fb.fpgaRegister(FpgaReg::kLedRedLow), 0xAB);
    EXPECT_EQ(b.transfer.loadSettingsAndPush(path), LoadOutcome::Pushed);
    EXPECT_TRUE(b.prompter.questions.empty());
    EXPECT_EQ(b.rig.store.filePath(), path);

    Strings differences;
    for (uint32_t reg = 0; reg <= kLastSensorRegister; ++reg) {
        const auto r = static_cast<uint16_t>(reg);
        if (fa.sensorRegister(r) != fb.sensorRegister(r)) {
            differences.push_back(std::to_string(reg));
        }
    }
    for (unsigned reg = 0; reg < 256; ++reg) {
        const auto r = static_cast<uint8_t>(reg);
        if (fa.fpgaRegister(r) != fb.fpgaRegister(r)) {
            differences.push_back("fpga " + std::to_string(reg));
        }
    }
    EXPECT_EQ(differences, Strings{});
    EXPECT_FLOAT_EQ(fb.params().real0, 25.0f);
}

TEST(CameraTransfer, PagesArePushedInTheDocumentedOrder) {
    Panel p;
    ASSERT_TRUE(p.transfer.readAll());
    p.rig.markLog();
    ASSERT_TRUE(p.transfer.pushAll());
    Strings pushed;
    for (const std::string& m : p.rig.newMessages()) {
        if (m.starts_with("Pushing [")) pushed.push_back(m.substr(9, m.find(']') - 9));
    }
    const Strings expected = {"OV_MANUAL_WB_ON",
                              "OV_MANUAL_GAIN_ON",
                              "OV_MANUAL_EXP_ON",
                              "OV_WB_GAIN_R",
                              "OV_WB_GAIN_G",
                              "OV_WB_GAIN_B",
                              "OV_GLOBAL_GAIN",
                              "OV_EXPOSURE",
                              "OV_BLACK_LEVEL",
                              "OV_VIDEO_FPS",
                              "LED_R",
                              "LED_G",
                              "LED_B",
                              "FAN"};
    EXPECT_EQ(pushed, expected);
}

// Records the order of the steps and what the camera's mode register held at each push.
class RecordingOwner : public ValueOwner {
public:
    RecordingOwner(OwnerId id, Strings& steps, CameraRig& rig, bool window)
        : m_id(id), m_steps(steps), m_rig(rig), m_window(window) {}
    void readState() override { m_steps.emplace_back(ownerName(m_id)); }
    void loadFromStore() override {
        const bool streaming = (m_rig.firmware->sensorRegister(SensorReg::kModeSelect) & 1) != 0;
        m_steps.push_back(std::string(ownerName(m_id)) + (streaming ? "" : " (standby)") +
                          " counter " + std::to_string(m_counter));
    }
    void updateControls() override {
        m_steps.push_back(std::string(ownerName(m_id)) + " update " + std::to_string(m_counter));
    }
    bool hasWindow() const override { return m_window; }
    bool windowVisible() const override { return m_window; }
    int updateCounter() const override { return m_counter; }
    void setUpdateCounter(int counter) override { m_counter = counter; }

private:
    OwnerId m_id;
    Strings& m_steps;
    CameraRig& m_rig;
    bool m_window;
    int m_counter = 2;
};

struct RecordingPanel {
    explicit RecordingPanel(const std::string& simOptions) : rig(simOptions) {
        for (int i = 0; i < static_cast<int>(OwnerId::Count); ++i) {
            const auto id = static_cast<OwnerId>(i);
            recorders.push_back(
                std::make_unique<RecordingOwner>(id, steps, rig, id == OwnerId::TabGains));
            owners.add(id, *recorders.back());
        }
    }
    CameraRig rig;
    Strings steps;
    std::vector<std::unique_ptr<RecordingOwner>> recorders;
    ValueOwnerRegistry owners;
    RecordingPrompter prompter;
    CameraTransfer transfer{rig.store, *rig.sensor, owners, prompter};
};

TEST(CameraTransfer, ReadAllAndPushAllVisitTheirOwnLists) {
    RecordingPanel p("");
    ASSERT_TRUE(p.transfer.readAll());
    // Every value is read first (on the batch worker in the panel), then the visible windows
    // fill their controls on the window thread.
    const Strings read = {"CTabGains",          "CTestPatterns",
                          "CConsoleI2c",        "CConsoleSensor",
                          "CConsoleFpga",       "CTabLED",
                          "CGreenScreen",       "Hue vs. Hue",
                          "Hue vs. Saturation", "Luma vs. Saturation",
                          "Luma vs. Luma",      "Hue vs. Luma",
                          "CNRVideo",           "CAutoFunctions",
                          "CTabGains update 3"};
    EXPECT_EQ(p.steps, read);
    EXPECT_EQ(p.recorders[static_cast<int>(OwnerId::TabGains)]->updateCounter(), 2);

    p.steps.clear();
    // The mode register is left streaming so no owner sees switch 0 on.
    p.rig.firmware->setSensorRegister(SensorReg::kModeSelect, 1);
    ASSERT_TRUE(p.transfer.pushAll());
    const Strings push = {"CTabGains counter 0",
                          "CConsoleI2c counter 0",
                          "CConsoleSensor counter 0",
                          "CGreenScreen counter 0",
                          "Hue vs. Hue counter 0",
                          "Hue vs. Saturation counter 0",
                          "Saturation vs. Saturation counter 0",
                          "Hue vs. Luma counter 0",
                          "CTabLED counter 0",
                          "CTestPatterns counter 0",
                          "CNRVideo counter 0",
                          "CAutoFunctions counter 0"};
    EXPECT_EQ(p.steps, push);
}

TEST(CameraTransfer, LoadStreamsForTheSensorPagesAndPicksTheFirmwaresDialog) {
    TestSupport::TempFolder dir;
    const std::string path = dir.file("ov10823.qcf");
    TestSupport::writeBytes(path, "S.SENSOR_MODEL=OV10823\r\n");
    RecordingPanel p("sensor=OV10823;fx3=72");
    // In standby: the sensor pages are pushed streaming, and the standby comes back after.
    p.rig.firmware->setSensorRegister(SensorReg::kModeSelect, 0);
    ASSERT_EQ(p.transfer.loadSettingsAndPush(path), LoadOutcome::Pushed);
    const Strings expected = {"CTabBasic (standby) counter 0",
                              "CTabGains counter 0",
                              "CTabGains update 0",
                              "CConsoleI2c counter 0",
                              "CConsoleSensor counter 0",
                              "CGreenScreen (standby) counter 0",
                              "Hue vs. Hue (standby) counter 0",
                              "Hue vs. Saturation (standby) counter 0",
                              "Luma vs. Saturation (standby) counter 0",
                              "Luma vs. Luma (older firmware) (standby) counter 0",
                              "Saturation vs. Saturation (standby) counter 0",
                              "Hue vs. Luma (standby) counter 0",
                              "CTabLED (standby) counter 0",
                              "CTestPatterns (standby) counter 0",
                              "CNRVideo (standby) counter 0",
                              "CAutoFunctions (standby) counter 0"};
    EXPECT_EQ(p.steps, expected);
    EXPECT_EQ(p.rig.firmware->sensorRegister(SensorReg::kModeSelect), 0);
    EXPECT_EQ(p.recorders[static_cast<int>(OwnerId::TabGains)]->updateCounter(), 2);
    EXPECT_TRUE(p.prompter.questions.empty());
}

TEST(CameraTransfer, ALoadLeavesEverySensorStreamingOrInStandbyAsItFoundIt) {
    TestSupport::TempFolder dir;
    for (const char* chip :
         {"OV9713", "OV9714", "OV9750", "OV9755", "OV10823", "OV13850", "OV48C40"}) {
        const std::string path = dir.file(std::string(chip) + ".qcf");
        TestSupport::writeBytes(path, std::string("S.SENSOR_MODEL=") + chip + "\r\n");
        for (const uint8_t mode : {uint8_t{0x01}, uint8_t{0x00}}) {
            RecordingPanel p(std::string("sensor=") + chip);
            p.prompter.answer = true;  // the OV9713 reads as its family's OV9714
            p.rig.firmware->setSensorRegister(SensorReg::kModeSelect, mode);
            // Asking for the state never changes it.
            p.rig.sensor->chip().sensorSwitch(kSwitchStandby, -1);
            EXPECT_EQ(p.rig.firmware->sensorRegister(SensorReg::kModeSelect), mode) << chip;
            ASSERT_EQ(p.transfer.loadSettingsAndPush(path), LoadOutcome::Pushed) << chip;
            EXPECT_EQ(p.rig.firmware->sensorRegister(SensorReg::kModeSelect), mode)
                << chip << " starting " << int{mode};
            const bool switches = std::string(chip) != "OV13850";
            const bool gainsStreaming =
                std::find(p.steps.begin(), p.steps.end(), "CTabGains counter 0") != p.steps.end();
            // A chip without switches is never put into or out of standby.
            EXPECT_EQ(gainsStreaming, mode == 1 || switches) << chip;
        }
    }
}

// A page window as the transfers see it: records the owner's counter at each refresh.
class CountingWindow : public OwnerWindow {
public:
    explicit CountingWindow(const TableValueOwner& owner) : m_owner(owner) {}
    void updateControls() override { counters.push_back(m_owner.updateCounter()); }
    bool visible() const override { return shown; }
    bool shown = true;
    std::vector<int> counters;

private:
    const TableValueOwner& m_owner;
};

TEST(CameraTransfer, ATableOwnersWindowIsRefreshedWhileItsCounterIsRaised) {
    Panel p;
    CountingWindow window(p.gains);
    p.gains.setWindow(&window);
    EXPECT_TRUE(p.gains.hasWindow());
    ASSERT_TRUE(p.transfer.readAll());
    EXPECT_EQ(window.counters, std::vector<int>{1});
    EXPECT_EQ(p.gains.updateCounter(), 0);
    window.shown = false;
    ASSERT_TRUE(p.transfer.readAll());
    EXPECT_EQ(window.counters, std::vector<int>{1});
    p.gains.setWindow(nullptr);
    EXPECT_FALSE(p.gains.windowVisible());

    // The generic edits store in the row's format and push only rows of the owner's table.
    const ControlEdit led = p.led.editNumber(1093, 0x5A);
    EXPECT_TRUE(led.pushed);
    EXPECT_EQ(p.rig.store.value("LED_R"), (SettingValue{SettingType::Hex, "0x5A"}));
    EXPECT_EQ(p.rig.firmware->fpgaRegister(FpgaReg::kLedRedLow), 0x5A);
    const SettingValue exposure = p.rig.store.value("OV_EXPOSURE");
    EXPECT_FALSE(p.led.editNumber(1046, 100).stored);
    EXPECT_EQ(p.rig.store.value("OV_EXPOSURE"), exposure);
    {
        UpdateHold hold(p.led);
        const ControlEdit fan = p.led.editCheck(1320, true);
        EXPECT_TRUE(fan.stored);
        EXPECT_FALSE(fan.pushed);
    }
    EXPECT_EQ(p.rig.firmware->fpgaRegister(FpgaReg::kControl) & FpgaReg::kControlChannel1Mask, 0);
    EXPECT_TRUE(p.led.editCheck(1320, true).pushed);
    EXPECT_EQ(p.rig.firmware->fpgaRegister(FpgaReg::kControl) & FpgaReg::kControlChannel1Mask,
              FpgaReg::kControlChannel1Mask);
}

TEST(CameraTransfer, AFileForAnotherSensorLoadsOnlyWhenConfirmed) {
    TestSupport::TempFolder dir;
    const std::string path = dir.file("ov9750.qcf");
    saveDistinctiveCamera(path);
    const std::string noModel = dir.file("nomodel.qcf");
    TestSupport::writeBytes(noModel, "H.LED_R=0x42\r\n");

    Panel p("sensor=OV10823");
    const uint8_t ledBefore = p.rig.firmware->fpgaRegister(FpgaReg::kLedRedLow);
    EXPECT_EQ(p.transfer.loadSettingsAndPush(path), LoadOutcome::Declined);
    ASSERT_EQ(p.prompter.questions.size(), 1u);
    EXPECT_EQ(p.prompter.questions[0].title, "Warning");
    EXPECT_EQ(p.prompter.questions[0].text,
              "The settings you are loading were saved for a different sensor and are not 100% "
              "compatible. Are you sure you want to load these settings?");
    EXPECT_EQ(p.rig.firmware->fpgaRegister(FpgaReg::kLedRedLow), ledBefore);
    // Declined values stay in the store.
    EXPECT_EQ(p.rig.store.getString(kKeySensorModel), "OV9750");
    EXPECT_EQ(p.rig.store.getInt("LED_R"), 0xAB);

    p.prompter.answer = true;
    EXPECT_EQ(p.transfer.loadSettingsAndPush(path), LoadOutcome::Pushed);
    EXPECT_EQ(p.rig.firmware->fpgaRegister(FpgaReg::kLedRedLow), 0xAB);

    // No model at all is another sensor too.
    p.prompter.answer = false;
    EXPECT_EQ(p.transfer.loadSettingsAndPush(noModel), LoadOutcome::Declined);
    EXPECT_EQ(p.prompter.questions.size(), 3u);
    EXPECT_EQ(p.rig.firmware->fpgaRegister(FpgaReg::kLedRedLow), 0xAB);
}

TEST(CameraTransfer, FailuresAreReportedAndLeaveTheStoreAlone) {
    TestSupport::TempFolder dir;
    Panel p;
    ASSERT_TRUE(p.transfer.readAll());
    const auto before = p.rig.store.values();
    const std::string missing = dir.file("missing.qcf");
    p.rig.markLog();
    EXPECT_EQ(p.transfer.loadSettingsAndPush(missing), LoadOutcome::NotLoaded);
    ASSERT_EQ(p.prompter.errors.size(), 1u);
    EXPECT_EQ(p.prompter.errors[0].title, "Panic!");
    EXPECT_EQ(p.prompter.errors[0].text, "Can't open the file [" + missing + "]");
    EXPECT_EQ(p.rig.store.values(), before);
    const Strings log = p.rig.newMessages();
    EXPECT_NE(std::find(log.begin(), log.end(), "Settings were not loaded"), log.end());

    // Save with no path asks; a cancelled dialog writes nothing.
    p.rig.store.setFilePath({});
    EXPECT_FALSE(p.transfer.saveFile());
    EXPECT_EQ(p.prompter.dialogs, Strings{"save"});
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    p.prompter.chosen = dir.file("chosen.qcf");
    EXPECT_TRUE(p.transfer.saveFile());
    EXPECT_TRUE(std::filesystem::exists(dir.file("chosen.qcf")));

    // A save into a folder that does not exist fails loudly.
    EXPECT_FALSE(p.transfer.saveFileAs(dir.file("no/such/folder.qcf")));
    EXPECT_EQ(p.prompter.errors.size(), 2u);

    p.rig.sensor->close();
    EXPECT_FALSE(p.transfer.readAll());
    EXPECT_EQ(p.prompter.statuses, Strings{"No Tavro cameras connected/available on the system"});
    EXPECT_EQ(p.rig.store.size(), 0u);
    EXPECT_EQ(p.transfer.loadSettingsAndPush(dir.file("chosen.qcf")), LoadOutcome::NotConnected);
    EXPECT_FALSE(p.transfer.pushAll());
}

}  // namespace
}  // namespace TVR
