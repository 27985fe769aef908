#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "firmware_helpers.h"

namespace TVR::Sim {
namespace {

using namespace Test;

SimCameraFirmware makeCamera(SimSensorChip chip, uint8_t address = 0x20) {
    SimFirmwareConfig c;
    c.sensor = chip;
    c.sensorAddress = address;
    return SimCameraFirmware(c);
}

TEST(SimSensorModels, EachChipAnswersWithItsIdAndLayoutDefaults) {
    struct Row {
        SimSensorChip chip;
        uint8_t high, low, revision;
        uint16_t wbGainHigh;  // the white-balance gain R register holding 1.0 = 0x04
    };
    const std::array<Row, 7> rows{{
        {SimSensorChip::OV9713, 0x97, 0x13, 0x00, 0x5004},
        {SimSensorChip::OV9714, 0x97, 0x14, 0x00, 0x5004},
        {SimSensorChip::OV9750, 0x97, 0x50, 0x00, 0x5004},
        {SimSensorChip::OV9755, 0x97, 0x55, 0x00, 0x5004},
        {SimSensorChip::OV10823, 0xA8, 0x20, 0x20, 0x5056},
        {SimSensorChip::OV13850, 0xD8, 0x50, 0x00, 0},
        {SimSensorChip::OV48C40, 0x56, 0x48, 0x43, 0x50FF},
    }};
    for (const auto& r : rows) {
        SCOPED_TRACE(simSensorChipName(r.chip));
        auto fw = makeCamera(r.chip);
        EXPECT_EQ(sensorRead(fw, SensorReg::kChipIdHigh), r.high);
        EXPECT_EQ(sensorRead(fw, SensorReg::kChipIdLow), r.low);
        EXPECT_EQ(sensorRead(fw, SensorReg::kChipIdRevision), r.revision);
        EXPECT_NE(sensorRead(fw, SensorReg::kChipSubRevision), 0);
        if (r.wbGainHigh) {
            EXPECT_EQ(sensorRead(fw, r.wbGainHigh), 0x04);
        }
        EXPECT_NE(sensorRead(fw, 0x3501), 0) << "a nonzero exposure";
        EXPECT_EQ(sensorRead(fw, SensorReg::kModeSelect), 0x01) << "streaming";
        // The chip ID cannot be written.
        ASSERT_TRUE(sensorWrite(fw, SensorReg::kChipIdHigh, 0x00));
        EXPECT_EQ(sensorRead(fw, SensorReg::kChipIdHigh), r.high);
        EXPECT_EQ(simSensorChipFromName(simSensorChipName(r.chip)), r.chip);
    }
    auto ov10823 = makeCamera(SimSensorChip::OV10823);
    EXPECT_EQ(sensorRead(ov10823, 0x4005), 0x40) << "black level";
    auto ov48c40 = makeCamera(SimSensorChip::OV48C40);
    EXPECT_EQ(sensorRead(ov48c40, 0x3508), 0x01) << "gain 1.0";
}

TEST(SimSensorModels, MaskedWritesSoftwareResetAndOldFirmware) {
    auto fw = makeCamera(SimSensorChip::OV9750);
    ASSERT_TRUE(sensorWrite(fw, 0x3500, 0xAB));
    ASSERT_TRUE(sensorWrite(fw, 0x3500, 0x01, 0x0F));  // low nibble only
    EXPECT_EQ(sensorRead(fw, 0x3500), 0xA1);
    ASSERT_TRUE(sensorWrite(fw, 0x3503, 0xFF, 0x02));
    EXPECT_EQ(sensorRead(fw, 0x3503), 0x02);
    ASSERT_TRUE(sensorWrite(fw, 0x3503, 0x77, 0x00));
    EXPECT_EQ(sensorRead(fw, 0x3503), 0x02) << "mask 0 writes nothing";
    EXPECT_EQ(fw.sensorRegister(0x3500), 0xA1);
    EXPECT_EQ(fw.i2cWrites().size(), 3u);
    EXPECT_EQ(fw.i2cWrites()[1], (SimI2cWrite{0x20, 0x3500, 0xA1}));

    ASSERT_TRUE(sensorWrite(fw, SensorReg::kSoftwareReset, 0x01, 0x01));
    EXPECT_EQ(sensorRead(fw, 0x3500), fw.sensorDefault(0x3500));
    EXPECT_EQ(sensorRead(fw, 0x3503), 0x00);
    EXPECT_EQ(sensorRead(fw, SensorReg::kSoftwareReset), 0) << "self-clearing";
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kSoftwareReset, 0x00, 0x01));

    SimFirmwareConfig c = withBuilds(45, 60);
    SimCameraFirmware old(c);
    EXPECT_EQ(sensorRead(old, SensorReg::kChipIdHigh), -1) << "no bridge before build 46";
}

TEST(SimSensorModels, GroupHoldBuffersUntilLaunch) {
    auto fw = makeCamera(SimSensorChip::OV9750);
    const int before = sensorRead(fw, 0x3501);
    // One-write launch, as the OV9714 family and OV10823 end a hold (mode 3: 0xB0).
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kGroupHold, 0x00));
    ASSERT_TRUE(sensorWrite(fw, 0x3501, 0x11));
    ASSERT_TRUE(sensorWrite(fw, 0x3502, 0x20));
    ASSERT_TRUE(sensorWrite(fw, 0x3501, 0x12));
    EXPECT_EQ(sensorRead(fw, 0x3501), before) << "held";
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kGroupHold, 0xB0));
    EXPECT_EQ(sensorRead(fw, 0x3501), 0x12) << "applied in order";
    EXPECT_EQ(sensorRead(fw, 0x3502), 0x20);
    ASSERT_TRUE(sensorWrite(fw, 0x3502, 0x30));
    EXPECT_EQ(sensorRead(fw, 0x3502), 0x30) << "recording stopped at launch";

    // End without launch keeps the group; a later launch applies it; a second launch is empty.
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kGroupHold, 0x01));
    ASSERT_TRUE(sensorWrite(fw, 0x350B, 0x55));
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kGroupHold, 0x11));
    ASSERT_TRUE(sensorWrite(fw, 0x3502, 0x31));
    EXPECT_EQ(sensorRead(fw, 0x3502), 0x31) << "not recording after the end";
    EXPECT_NE(sensorRead(fw, 0x350B), 0x55);
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kGroupHold, 0xE1));
    EXPECT_EQ(sensorRead(fw, 0x350B), 0x55);
    ASSERT_TRUE(sensorWrite(fw, 0x350B, 0x66));
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kGroupHold, 0xA1));
    EXPECT_EQ(sensorRead(fw, 0x350B), 0x66);

    // The OV48C40's two-step end: 0x1g, then 0xAg.
    auto big = makeCamera(SimSensorChip::OV48C40, 0x6C);
    ASSERT_TRUE(sensorWrite(big, SensorReg::kGroupHold, 0x02));
    ASSERT_TRUE(sensorWrite(big, 0x3509, 0x7E));
    ASSERT_TRUE(sensorWrite(big, SensorReg::kGroupHold, 0x12));
    EXPECT_EQ(sensorRead(big, 0x3509), 0x00);
    ASSERT_TRUE(sensorWrite(big, SensorReg::kGroupHold, 0xA2));
    EXPECT_EQ(sensorRead(big, 0x3509), 0x7E);

    // A reset drops what is held.
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kGroupHold, 0x03));
    ASSERT_TRUE(sensorWrite(fw, 0x3500, 0x0F));
    fw.setSensorRegister(SensorReg::kSoftwareReset, 0);
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kGroupHold, 0x13));
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kSoftwareReset, 0x01));
    ASSERT_TRUE(sensorWrite(fw, SensorReg::kGroupHold, 0xA3));
    EXPECT_EQ(sensorRead(fw, 0x3500), fw.sensorDefault(0x3500));
}

Bytes packet(uint8_t cmd, uint16_t reg, uint16_t value, uint8_t address) {
    return {cmd, uint8_t(reg >> 8), uint8_t(reg),        0,
            0,   uint8_t(value),    uint8_t(value >> 8), address};
}

std::optional<Bytes> ep4Exchange(SimFirmware& fw, const Bytes& p) {
    if (!fw.bulkOut(kEpSensorOut, p)) return std::nullopt;
    Bytes r(8);
    uint32_t got = 0;
    if (!fw.bulkIn(kEpSensorIn, r, got)) return std::nullopt;
    r.resize(got);
    return r;
}

TEST(SimI2cBus, LegacyPacketsOnEndpointFour) {
    auto fw = makeCamera(SimSensorChip::OV10823);
    auto r = ep4Exchange(fw, packet(kSensorPacketRead, SensorReg::kChipIdHigh, 0, 0x20));
    ASSERT_TRUE(r);
    ASSERT_EQ(r->size(), 8u);
    EXPECT_LT((*r)[0], 32);
    EXPECT_EQ((*r)[3], 0xA8);
    EXPECT_EQ((*r)[4], 0x00);

    r = ep4Exchange(fw, packet(kSensorPacketWrite, 0x3663, 0x0011, 0x20));
    ASSERT_TRUE(r);
    EXPECT_LT((*r)[0], 32);
    EXPECT_EQ((*r)[3], 0x11) << "the value now held";
    EXPECT_EQ(fw.sensorRegister(0x3663), 0x11);

    r = ep4Exchange(fw, packet(kSensorPacketRead, 0x3663, 0, 0x6C));
    ASSERT_TRUE(r);
    EXPECT_GE((*r)[0], 32) << "nothing at 0x6C";
    r = ep4Exchange(fw, packet(0x12, 0x3663, 0, 0x20));
    ASSERT_TRUE(r);
    EXPECT_GE((*r)[0], 32) << "unknown command";

    EXPECT_FALSE(fw.bulkOut(kEpSensorOut, Bytes(7, 0x10))) << "packets are 8 bytes";
    Bytes in(8);
    uint32_t got = 0;
    EXPECT_FALSE(fw.bulkIn(kEpSensorIn, in, got)) << "nothing queued";
    // Replies queue in order.
    ASSERT_TRUE(
        fw.bulkOut(kEpSensorOut, packet(kSensorPacketRead, SensorReg::kChipIdHigh, 0, 0x20)));
    ASSERT_TRUE(
        fw.bulkOut(kEpSensorOut, packet(kSensorPacketRead, SensorReg::kChipIdLow, 0, 0x20)));
    ASSERT_TRUE(fw.bulkIn(kEpSensorIn, in, got));
    EXPECT_EQ(in[3], 0xA8);
    ASSERT_TRUE(fw.bulkIn(kEpSensorIn, in, got));
    EXPECT_EQ(in[3], 0x20);
}

TEST(SimI2cBus, DirectAccessEightAndSixteenBit) {
    SimCameraFirmware fw;
    auto i2cRead = [&](uint8_t code, uint8_t addr, uint16_t reg) {
        const auto r = vendorRead(fw, code, static_cast<uint16_t>(addr << 8), reg, 1);
        return r && r->size() == 1 ? (*r)[0] : -1;
    };
    auto i2cWrite = [&](uint8_t code, uint8_t addr, uint16_t reg, uint8_t v) {
        return vendorWrite(fw, code, static_cast<uint16_t>(addr << 8 | v), reg);
    };
    EXPECT_TRUE(i2cWrite(VR_I2C8, 0x42, 0x03, 0x5A));
    EXPECT_EQ(i2cRead(VR_I2C8, 0x42, 0x03), 0x5A);
    EXPECT_FALSE(i2cWrite(VR_I2C16, 0x42, 0x0103, 1)) << "the expander has 8-bit registers";
    EXPECT_FALSE(i2cWrite(VR_I2C8, 0x42, 0x100, 1));
    EXPECT_TRUE(i2cWrite(VR_I2C16, 0x76, 0x4015, 0x01));
    EXPECT_EQ(i2cRead(VR_I2C16, 0x76, 0x4015), 0x01);
    EXPECT_EQ(i2cRead(VR_I2C8, 0x50, 0x00), -1) << "no device: NAK";

    // The sensor on the bus is the one the bridge reaches.
    EXPECT_EQ(i2cRead(VR_I2C16, 0x20, SensorReg::kChipIdLow), 0x50);
    EXPECT_TRUE(i2cWrite(VR_I2C16, 0x20, 0x3820, 0x04));
    EXPECT_EQ(sensorRead(fw, 0x3820), 0x04);

    // The FPGA answers at 0x06 with its registers.
    EXPECT_TRUE(i2cWrite(VR_I2C8, kFpgaI2cAddress, FpgaReg::kLedRedLow, 0x7F));
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kLedRedLow), 0x7F);
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kNoiseReductionLuma, 0x33));
    EXPECT_EQ(i2cRead(VR_I2C8, kFpgaI2cAddress, FpgaReg::kNoiseReductionLuma), 0x33);

    const auto log = fw.i2cWrites();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], (SimI2cWrite{0x42, 0x03, 0x5A}));
    EXPECT_EQ(log[1], (SimI2cWrite{0x76, 0x4015, 0x01}));
    fw.clearI2cWrites();
    EXPECT_TRUE(fw.i2cWrites().empty());
}

TEST(SimFirmwareThreads, ConcurrentRequestsKeepEveryPathConsistent) {
    SimCameraFirmware fw;
    constexpr int kThreads = 4;
    constexpr unsigned kRounds = 300;
    std::array<int, kThreads> failures{};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const unsigned kind = static_cast<unsigned>(t);
            for (unsigned i = 0; i < kRounds; ++i) {
                Bytes v{uint8_t(i), uint8_t(t)};
                if (!vendorWrite(fw, VR_TABLE, 0x101, static_cast<uint16_t>(kind << 8 | (i & 0xFF)),
                                 v)) {
                    ++failures[t];
                }
                const auto back = vendorRead(fw, VR_TABLE, 0x101,
                                             static_cast<uint16_t>(kind << 8 | (i & 0xFF)), 2);
                if (!back || *back != v) ++failures[t];
                if (!sensorWrite(fw, static_cast<uint16_t>(0x6000 + t), uint8_t(i))) ++failures[t];
                fw.i2cWrites();
                fw.fpgaRegister(FpgaReg::kControl);
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0) << t;
        EXPECT_EQ(fw.sensorRegister(static_cast<uint16_t>(0x6000 + t)), uint8_t(kRounds - 1));
    }
    EXPECT_EQ(fw.i2cWrites().size(), size_t{kThreads} * kRounds);
}

}  // namespace
}  // namespace TVR::Sim
