#include "sensor/img_sensor.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "apilog.h"
#include "camera_helpers.h"
#include "protocol/vendor_requests.h"
#include "sensor/ov48c40.h"
#include "sensor/ov9714.h"

namespace TVR {
namespace {

using CameraTest::DebugCapture;
using CameraTest::firmwareConfig;
using CameraTest::SimRig;
using Sim::SimSensorChip;

struct Sensor {
    explicit Sensor(Sim::SimFirmwareConfig config = {}) : rig(std::move(config)) {
        sensor.setWaitFunction([this](uint32_t ms) { waits.push_back(ms); });
        EXPECT_TRUE(sensor.selectDevice(0));
        rig.clear();
        rig.firmware->clearI2cWrites();
    }
    uint8_t reg(uint16_t r) const { return rig.firmware->sensorRegister(r); }
    void poke(uint16_t r, uint8_t v) const { rig.firmware->setSensorRegister(r, v); }
    std::vector<uint8_t> writesTo(uint16_t r) const {
        std::vector<uint8_t> out;
        for (const auto& w : rig.firmware->i2cWrites()) {
            if (w.reg == r) out.push_back(w.value);
        }
        return out;
    }

    SimRig rig;
    ImgSensor sensor{rig.driver, rig.log, false, kControlTimeoutMs};
    std::vector<uint32_t> waits;
};

Sim::SimFirmwareConfig withChip(SimSensorChip chip, uint32_t fx3Build = 105,
                                uint8_t address = 0x20) {
    return firmwareConfig(fx3Build, 90, chip, address);
}

TEST(ImgSensor, DetectsEachChipClass) {
    struct Case {
        SimSensorChip chip;
        int kind;
        const char* name;
    };
    const Case cases[] = {
        {SimSensorChip::OV9713, 2, "OV9714"},   {SimSensorChip::OV9714, 2, "OV9714"},
        {SimSensorChip::OV9750, 3, "OV9750"},   {SimSensorChip::OV9755, 4, "OV9755"},
        {SimSensorChip::OV10823, 5, "OV10823"}, {SimSensorChip::OV13850, 6, "OV13850"},
        {SimSensorChip::OV48C40, 7, "OV48C40"},
    };
    for (const Case& c : cases) {
        Sensor s(withChip(c.chip));
        EXPECT_TRUE(s.sensor.bridge());
        EXPECT_EQ(s.sensor.chip().kind(), c.kind) << c.name;
        EXPECT_EQ(s.sensor.chipName(), c.name);
        EXPECT_TRUE(s.sensor.chip().matchesName(""));
        EXPECT_TRUE(s.sensor.chip().matchesName(c.name));
        EXPECT_FALSE(s.sensor.chip().matchesName("OV5640"));
    }
    Sensor ov9755(withChip(SimSensorChip::OV9755));
    EXPECT_TRUE(ov9755.sensor.chip().matchesName("OV9714"));
    EXPECT_TRUE(ov9755.sensor.chip().matchesName("OV9750"));
    EXPECT_EQ(ov9755.sensor.chipIdText(), "97:55:00-B1");
}

TEST(ImgSensor, OldFirmwareUsesEndpoint4PacketsLoggedAsSensorAccesses) {
    Sensor s(withChip(SimSensorChip::OV9750, 45));
    ApiLog& log = s.rig.log;
    log.setLogging(true);
    EXPECT_FALSE(s.sensor.bridge());
    EXPECT_EQ(s.sensor.chip().kind(), 3);

    const size_t first = log.firstApiIndex() + log.apiCount();
    s.poke(0x5000, 0xA5);
    EXPECT_EQ(s.sensor.writeRegister(0x5000, 0x10, 0x30), 0xA5) << "the value before the write";
    EXPECT_EQ(s.reg(0x5000), 0x95);
    EXPECT_EQ(s.sensor.readRegister(0x5000), 0x95);
    for (const auto& v : s.rig.vendorRequests()) EXPECT_NE(v.bRequest, VR_SENSOR_REG);
    EXPECT_EQ(s.rig.bulkRequests().size(), 6u) << "read+write exchange, then a read";

    const auto write = log.apiRecord(first);
    ASSERT_TRUE(write.has_value());
    EXPECT_EQ(write->kind, ApiCallKind::SensorAccess);
    EXPECT_EQ(write->result, 1);
    EXPECT_EQ(write->reg, 0x5000);
    EXPECT_EQ(write->mask, 0x30);
    EXPECT_EQ(write->valueRead, 0xA5);
    EXPECT_EQ(write->valueWritten, 0x95);
    const auto read = log.apiRecord(first + 1);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->kind, ApiCallKind::SensorAccess);
    EXPECT_EQ(read->mask, 0);
    EXPECT_EQ(read->valueRead, 0x95);

    // Another camera object on the same camera records into its own log only.
    ApiLog other;
    other.setLogging(true);
    ImgSensor second(s.rig.driver, other, false, kControlTimeoutMs);
    second.setWaitFunction([](uint32_t) {});
    ASSERT_TRUE(second.selectDevice(0));
    EXPECT_EQ(&second.apiLog(), &other);
    const size_t mine = log.apiCount();
    const size_t next = other.firstApiIndex() + other.apiCount();
    EXPECT_EQ(second.readRegister(0x5000), 0x95);
    EXPECT_EQ(log.apiCount(), mine);
    const auto theirs = other.apiRecord(next);
    ASSERT_TRUE(theirs.has_value());
    EXPECT_EQ(theirs->kind, ApiCallKind::SensorAccess);
    EXPECT_EQ(theirs->reg, 0x5000);
    EXPECT_EQ(theirs->valueRead, 0x95);
}

TEST(ImgSensor, DetectionMovesOnTo0x6CAndFallsBackToTheGenericChip) {
    Sensor at6c(withChip(SimSensorChip::OV10823, 45, 0x6C));
    EXPECT_EQ(at6c.sensor.i2cAddress(), 0x6C);
    EXPECT_EQ(at6c.sensor.chip().kind(), 5);

    DebugCapture debug;
    Sensor none(withChip(SimSensorChip::None));
    EXPECT_EQ(none.sensor.chip().kind(), 0);
    EXPECT_EQ(none.sensor.chipName(), "--- UNKNOWN ---");
    for (int n = 0; n <= 6; ++n) {
        EXPECT_EQ(none.sensor.chip().sensorValue(n, -1), 0xFFFFFFFFu) << n;
    }
    EXPECT_FALSE(none.sensor.chip().sensorSwitch(1, -1));
    EXPECT_FALSE(none.sensor.chip().action(0));
    const TestPatternSettings asked{1, 0, false, true, false, false};
    EXPECT_EQ(none.sensor.chip().testPattern(asked).type, 1);
    EXPECT_EQ(none.sensor.chip().maxValue(3), 1023);
    const auto texts = debug.texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "This function is not implemented for the chipset --- UNKNOWN ---\n");
}

TEST(ImgSensor, ExposureAndGainKeepTheHighBitsOfTheirTopRegister) {
    for (const SimSensorChip chip :
         {SimSensorChip::OV9714, SimSensorChip::OV10823, SimSensorChip::OV48C40}) {
        Sensor s(withChip(chip));
        s.poke(0x3500, 0xA7);
        EXPECT_EQ(s.sensor.chip().sensorValue(kValueExposure, 0x12345), 0x12340u);
        EXPECT_EQ(s.reg(0x3500), 0xA1);
        EXPECT_EQ(s.reg(0x3501), 0x23);
        EXPECT_EQ(s.reg(0x3502), 0x40);
        EXPECT_EQ(s.sensor.chip().sensorValue(kValueExposure, -1), 0x12340u);
    }
    Sensor ov9714(withChip(SimSensorChip::OV9714));
    ov9714.poke(0x350A, 0xA8);
    ov9714.sensor.chip().sensorValue(kValueGlobalGain, 0x3FF);
    EXPECT_EQ(ov9714.reg(0x350A), 0xAB);
    EXPECT_EQ(ov9714.reg(0x350B), 0xFF);
    EXPECT_EQ(ov9714.sensor.chip().sensorValue(kValueGlobalGain, -1), 0x3FFu);
    // A 12-bit gain takes the low nibble of its first register.
    ov9714.poke(0x5004, 0xF3);
    ov9714.poke(0x5005, 0x21);
    EXPECT_EQ(ov9714.sensor.chip().sensorValue(kValueWbGainR, -1), 0x321u);
}

TEST(ImgSensor, Ov48c40WritesAllBanksAndSplitsItsGain) {
    Sensor s(withChip(SimSensorChip::OV48C40));
    IImgSensorChip& chip = s.sensor.chip();
    chip.sensorValue(kValueWbGainR, 0x1234);
    for (const uint16_t bank : {0x5000, 0x5300, 0x5600}) {
        EXPECT_EQ(s.reg(bank + 0xFF), 0x12) << bank;
        EXPECT_EQ(s.reg(bank + 0xFE), 0x34) << bank;
    }
    chip.sensorValue(kValueWbGainG, 0x0456);
    for (const uint16_t bank : {0x5000, 0x5300, 0x5600}) {
        EXPECT_EQ(s.reg(bank + 0xFB), 0x04);
        EXPECT_EQ(s.reg(bank + 0xFA), 0x56);
        EXPECT_EQ(s.reg(bank + 0xFD), 0x04);
        EXPECT_EQ(s.reg(bank + 0xFC), 0x56);
    }
    s.poke(0x50FD, 0x07);
    s.poke(0x50FC, 0x89);
    EXPECT_EQ(chip.sensorValue(kValueWbGainG, -1), 0x0789u) << "the second green pair";
    EXPECT_EQ(chip.sensorValue(kValueWbGainR, -1), 0x1234u);

    chip.sensorValue(kValueGlobalGain, 0x5A5);
    EXPECT_EQ(s.reg(0x3508), 0x0B);
    EXPECT_EQ(s.reg(0x3509), 0x4A);
    EXPECT_EQ(chip.sensorValue(kValueGlobalGain, -1), 0x5A5u);
    EXPECT_EQ(chip.maxValue(kValueGlobalGain), 2047);
}

TEST(ImgSensor, TestPatternRoundTrip) {
    for (const SimSensorChip chip :
         {SimSensorChip::OV9750, SimSensorChip::OV10823, SimSensorChip::OV48C40}) {
        Sensor s(withChip(chip));
        const uint16_t reg = chip == SimSensorChip::OV10823 ? 0x5E00 : 0x5080;
        for (int type = 0; type <= 3; ++type) {
            for (int variant = 0; variant <= 3; ++variant) {
                TestPatternSettings tp;
                tp.type = type;
                tp.variant = type == 0 ? variant : 0;
                tp.alternative = type == 2 && variant % 2 == 1;
                tp.bit5 = variant == 1;
                tp.bit6 = variant == 2;
                tp.bit7 = variant == 3;
                s.sensor.chip().testPattern(tp);
                const auto back = s.sensor.chip().testPattern(TestPatternSettings{});
                EXPECT_EQ(back.type, tp.type);
                EXPECT_EQ(back.variant, tp.variant);
                EXPECT_EQ(back.alternative, tp.alternative);
                EXPECT_EQ(back.bit5, tp.bit5);
                EXPECT_EQ(back.bit6, tp.bit6);
                EXPECT_EQ(back.bit7, tp.bit7);
            }
        }
        s.sensor.chip().testPattern({2, 0, true, false, false, true});
        EXPECT_EQ(s.reg(reg), 0x92);
        s.sensor.chip().testPattern({0, 3, false, false, false, false});
        EXPECT_EQ(s.reg(reg), 0x0C);
    }
}

TEST(ImgSensor, Ov10823BinningKeepsTheOtherBits) {
    Sensor s(withChip(SimSensorChip::OV10823));
    s.poke(0x3663, 0x62);
    IImgSensorChip& chip = s.sensor.chip();
    EXPECT_EQ(chip.binning(2), 2);
    EXPECT_EQ(s.reg(0x3663), 0x63);
    EXPECT_EQ(chip.binning(3), 3);
    EXPECT_EQ(chip.binning(4), 4);
    EXPECT_EQ(s.reg(0x3663), 0x73);
    EXPECT_EQ(chip.binning(0), 4);
    EXPECT_EQ(chip.binning(7), 1);
    EXPECT_EQ(s.reg(0x3663), 0x62);

    Sensor ov9750(withChip(SimSensorChip::OV9750));
    EXPECT_EQ(ov9750.sensor.chip().binning(2), -1);
}

TEST(ImgSensor, NestedGroupHoldWritesOnceAndLaunchesAtTheOutermostEnd) {
    Sensor s(withChip(SimSensorChip::OV9750));
    IImgSensorChip& chip = s.sensor.chip();
    chip.groupHoldBegin(1);
    chip.groupHoldBegin(1);
    chip.sensorValue(kValueGlobalGain, 0x155);
    chip.groupHoldEnd(1, 1);
    EXPECT_EQ(s.writesTo(SensorReg::kGroupHold), std::vector<uint8_t>{0x01});
    chip.groupHoldEnd(1, 1);
    EXPECT_EQ(s.writesTo(SensorReg::kGroupHold), (std::vector<uint8_t>{0x01, 0xF1}));
    EXPECT_EQ(s.reg(0x350B), 0x55) << "launched";
    chip.groupHoldEnd(1, 1);
    EXPECT_EQ(s.writesTo(SensorReg::kGroupHold).size(), 2u)
        << "an end without a begin does nothing";

    Sensor ov48(withChip(SimSensorChip::OV48C40));
    ov48.sensor.chip().groupHoldBegin(2);
    ov48.sensor.chip().groupHoldEnd(5, 1);
    EXPECT_EQ(ov48.sensor.chip().groupHoldDepth(), 1) << "groups 4-9 are ignored";
    ov48.sensor.chip().groupHoldEnd(2, 2);
    EXPECT_EQ(ov48.writesTo(SensorReg::kGroupHold), (std::vector<uint8_t>{0x02, 0x12, 0x62}));
}

TEST(ImgSensor, SwitchesAndActions) {
    Sensor s(withChip(SimSensorChip::OV9750));
    IImgSensorChip& chip = s.sensor.chip();
    s.poke(0x0101, 0x80);
    chip.sensorSwitch(kSwitchMirror, 1);
    chip.sensorSwitch(kSwitchFlip, 1);
    EXPECT_EQ(s.reg(0x0101), 0x83);
    EXPECT_TRUE(chip.sensorSwitch(kSwitchMirror, -1));
    chip.sensorSwitch(kSwitchMirror, 0);
    EXPECT_EQ(s.reg(0x0101), 0x82);
    EXPECT_TRUE(chip.action(1));
    EXPECT_EQ(s.reg(0x3811), 1);
    EXPECT_EQ(s.reg(0x3813), 0);

    // Asking for standby only reads the mode register.
    s.poke(0x0100, 0x01);
    EXPECT_FALSE(chip.sensorSwitch(kSwitchStandby, -1));
    EXPECT_EQ(s.reg(0x0100), 0x01);
    EXPECT_TRUE(chip.sensorSwitch(kSwitchStandby, 1));
    EXPECT_EQ(s.reg(0x0100), 0x00);
    EXPECT_TRUE(chip.sensorSwitch(kSwitchStandby, -1));
    EXPECT_EQ(s.reg(0x0100), 0x00);
    chip.sensorSwitch(kSwitchStandby, 0);
    EXPECT_EQ(s.reg(0x0100), 0x01);

    s.poke(0x3501, 0x77);
    EXPECT_TRUE(chip.action(0));
    EXPECT_EQ(s.waits, std::vector<uint32_t>{50});
    EXPECT_EQ(s.reg(0x3501), s.rig.firmware->sensorDefault(0x3501));
    EXPECT_EQ(s.reg(SensorReg::kSoftwareReset) & 1, 0);

    Sensor ov10823(withChip(SimSensorChip::OV10823));
    IImgSensorChip& c2 = ov10823.sensor.chip();
    c2.sensorSwitch(kSwitchMirror, 1);
    EXPECT_EQ(ov10823.reg(0x3821) & 0x06, 0x06);
    EXPECT_TRUE(c2.sensorSwitch(kSwitchMirror, -1));
    EXPECT_TRUE(c2.sensorSwitch(kSwitchManualGain, -1));
    EXPECT_FALSE(c2.sensorSwitch(kSwitchTestPatternSeed, -1));
}

TEST(ImgSensor, MaximaOfEachChipClass) {
    struct Case {
        Sim::SimSensorChip chip;
        std::array<int, 8> max;  // values 0-7; 7 is beyond every table
    };
    const Case cases[] = {
        {SimSensorChip::OV9750, {4095, 4095, 4095, 1023, 0x3F00, 1023, 15, -1}},
        {SimSensorChip::OV10823, {4095, 4095, 4095, 239, 24000, 1023, -1, -1}},
        {SimSensorChip::OV48C40, {4095, 4095, 4095, 2047, 0x3F00, 1023, 15, -1}},
        {SimSensorChip::OV13850, {4095, 4095, 4095, 1023, 0x3F00, 1023, -1, -1}},
    };
    for (const Case& c : cases) {
        Sensor s(withChip(c.chip));
        for (int n = 0; n < 8; ++n) {
            EXPECT_EQ(s.sensor.chip().maxValue(n), c.max[static_cast<size_t>(n)])
                << s.sensor.chipName() << " value " << n;
        }
        EXPECT_EQ(s.sensor.chip().maxValue(-1), -1);
    }
}

}  // namespace
}  // namespace TVR
