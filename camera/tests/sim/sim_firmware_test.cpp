#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "firmware_helpers.h"
#include "sim/sim_driver.h"
#include "sim/sim_options.h"
#include "usb/request_record.h"

namespace TVR::Sim {
namespace {

using namespace Test;

uint32_t le32(const Bytes& b) { return b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24; }

TEST(SimFirmwareVersions, DefaultCameraAndBuildKeys) {
    SimCameraFirmware fw;
    const auto fx3 = vendorRead(fw, VR_FX3_VERSION, 0, 0, 4);
    const auto fpga = vendorRead(fw, VR_FPGA_VERSION, 0, 0, 4);
    ASSERT_TRUE(fx3 && fpga);
    // vendor 1, hardware 1, product 4, release 5, builds 105 and 90
    EXPECT_EQ(*fx3, (Bytes{0x09, 0x04, 0x4D, 0x03}));
    EXPECT_EQ(le32(*fpga), 0x09u | 4u << 8 | 5u << 16 | 90u << 19);
    EXPECT_EQ(fw.sensorChip(), SimSensorChip::OV9750);
    EXPECT_EQ(fw.sensorAddress(), 0x20);
    EXPECT_EQ(fw.config().usbVersion, 3);
    EXPECT_FALSE(vendorRead(fw, VR_FX3_VERSION, 0, 0, 2)) << "a short buffer stalls";

    std::string err;
    auto drv = simDriverFromOptions("cameras=2;fx3=58;fpga=8191;usb=2", {}, err);
    ASSERT_TRUE(drv) << err;
    for (const auto& cam : drv->cameras()) {
        auto f = std::dynamic_pointer_cast<SimCameraFirmware>(cam->firmware());
        ASSERT_TRUE(f);
        EXPECT_EQ(f->fx3Version(), simVersionWord(1, 1, 4, 5, 58));
        EXPECT_EQ(f->fpgaVersion(), simVersionWord(1, 1, 4, 5, 8191));
        EXPECT_EQ(f->config().usbVersion, 2);
    }
    EXPECT_NE(drv->cameras()[0]->firmware(), drv->cameras()[1]->firmware());
}

TEST(SimFirmwareOptions, FirmwareKeysGoodAndBad) {
    std::string err;
    auto drv = simDriverFromOptions(
        "sensor=ov48c40;sensor_addr=0x6C;i2c=none;i2c=0x50;i2c=0xA0:16;dpc_ms=0", {}, err);
    ASSERT_TRUE(drv) << err;
    auto fw = std::dynamic_pointer_cast<SimCameraFirmware>(drv->cameras()[0]->firmware());
    ASSERT_TRUE(fw);
    EXPECT_EQ(fw->sensorChip(), SimSensorChip::OV48C40);
    EXPECT_EQ(fw->sensorAddress(), 0x6C);
    EXPECT_EQ(fw->config().dpcDelayMs, 0u);
    EXPECT_EQ(fw->i2cAddresses(), (std::vector<uint8_t>{kFpgaI2cAddress, 0x50, 0x6C, 0xA0}));
    EXPECT_TRUE(fw->i2cRegister(0xA0, 0x1234)) << "16-bit register device";
    EXPECT_FALSE(fw->i2cRegister(0x50, 0x1234));

    drv = simDriverFromOptions("sensor=none", {}, err);
    ASSERT_TRUE(drv) << err;
    fw = std::dynamic_pointer_cast<SimCameraFirmware>(drv->cameras()[0]->firmware());
    EXPECT_EQ(fw->sensorChip(), SimSensorChip::None);
    EXPECT_EQ(sensorRead(*fw, SensorReg::kChipIdHigh), -1) << "the bridge finds no sensor";

    const std::vector<std::pair<std::string, std::string>> bad{
        {"fx3=8192", "for fx3"},
        {"fpga=-1", "for fpga"},
        {"fx3=0x10", "for fx3"},
        {"sensor=OV9999", "for sensor"},
        {"sensor_addr=0x21", "for sensor_addr"},
        {"sensor_addr=0x06", "for sensor_addr"},
        {"sensor_addr=0x100", "for sensor_addr"},
        {"i2c=0x50:12", "for i2c"},
        {"i2c=zz", "for i2c"},
        {"dpc_ms=soon", "for dpc_ms"},
    };
    for (const auto& [simOptions, text] : bad) {
        EXPECT_EQ(simDriverFromOptions(simOptions, {}, err), nullptr) << simOptions;
        EXPECT_NE(err.find(text), std::string::npos) << simOptions << ": " << err;
    }
}

TEST(SimFirmwareFpga, RegisterFileAndSideEffects) {
    SimCameraFirmware fw;
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kControl), 0);
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kControl, 0x43));
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kControl), 0x43);
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kLedBlueLow), 0);
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kLedBlueLow, 0xC8));
    EXPECT_EQ(fw.fpgaRegister(FpgaReg::kLedBlueLow), 0xC8);
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kNoiseReductionLuma), 0x10);
    EXPECT_FALSE(vendorRead(fw, VR_FPGA_REG, 0, 0x100, 1)) << "register numbers are 8 bits";
    EXPECT_FALSE(vendorWrite(fw, VR_FPGA_REG, 0, 0x1FF));

    // The pixel count is status: host writes do not stick.
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kDpcCountLow, 0x55));
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kDpcCountLow), 0);

    // Identity colour matrix: (fraction / 256 + integer) / 2 = 1 on the diagonal.
    for (unsigned i = 0; i < FpgaReg::kColourMatrixEntries; ++i) {
        const uint8_t reg = static_cast<uint8_t>(FpgaReg::kColourMatrixBase + 2 * i);
        EXPECT_EQ(fpgaRead(fw, reg), 0) << i;
        EXPECT_EQ(fpgaRead(fw, reg + 1), i % 4 == 0 ? 2 : 0) << i;
    }
    ASSERT_TRUE(fpgaWrite(fw, 0xE0, 0x80));
    ASSERT_TRUE(fpgaWrite(fw, 0xE1, 0xFE));
    EXPECT_EQ(fpgaRead(fw, 0xE0), 0x80);
    EXPECT_EQ(fpgaRead(fw, 0xE1), 0xFE);

    for (unsigned b = 0; b < FpgaReg::kColourSubstBands; ++b) {
        const uint8_t base = static_cast<uint8_t>(FpgaReg::kColourSubstBase + 16 * b);
        EXPECT_EQ(fpgaRead(fw, base + FpgaReg::kBandEnable), 0);
        EXPECT_EQ(fpgaRead(fw, base + FpgaReg::kBandSatMax), 255);
        EXPECT_EQ(fpgaRead(fw, base + FpgaReg::kBandLumMax), 245);
        const int hue = fpgaRead(fw, base + FpgaReg::kBandHueLow) |
                        fpgaRead(fw, base + FpgaReg::kBandHueLow + 1) << 8;
        EXPECT_EQ(std::lround((hue + 16384) * 180.0 / 8192) % 360, 120);
        EXPECT_EQ(fpgaRead(fw, base + FpgaReg::kBandGreenLow), 255);
    }
    ASSERT_TRUE(fpgaWrite(fw, 128 + 16 * 3 + FpgaReg::kBandEnable, 1));
    EXPECT_EQ(fpgaRead(fw, 128 + 16 * 3), 1);
    EXPECT_EQ(fpgaRead(fw, 128 + 16 * 2), 0) << "bands are independent";

    fw.powerCycle();
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kControl), 0);
    EXPECT_EQ(fpgaRead(fw, 128 + 16 * 3), 0);
}

// Host side of per-entry access: select (0xC0, 0xC1), then data low and high.
void selectEntry(SimFirmware& fw, unsigned kind, unsigned entry) {
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kTableSelectHigh,
                          static_cast<uint8_t>(kind * 32 + ((entry >> 8) & 0xF) * 2)));
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kTableSelectLow, static_cast<uint8_t>(entry)));
}

TEST(SimFirmwareTables, SelectRegistersAndBlockTransfersShareTableMemory) {
    SimCameraFirmware fw;
    // Per entry in, block out.
    for (unsigned i = 0; i < 40; ++i) {
        selectEntry(fw, 4, 16 + i);
        ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kTableDataLow, static_cast<uint8_t>(i * 7)));
        ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kTableDataHigh, static_cast<uint8_t>(0x10 + i)));
    }
    const auto block = vendorRead(fw, VR_TABLE, 0x100 + 32, 0x0410, 64);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 64u);
    for (unsigned i = 0; i < 32; ++i) {
        EXPECT_EQ((*block)[2 * i], uint8_t(i * 7)) << i;
        EXPECT_EQ((*block)[2 * i + 1], 0x10 + i) << i;
    }
    EXPECT_EQ(fw.tableEntry(4, 16 + 39), (0x10 + 39) << 8 | uint8_t(39 * 7));
    EXPECT_EQ(fw.tableEntry(3, 16), 0) << "kinds do not overlap";

    // Block in, per entry out; entries past the 8-bit block start through the select registers.
    Bytes values;
    for (unsigned i = 0; i < 200; ++i) {
        values.push_back(static_cast<uint8_t>(i));
        values.push_back(static_cast<uint8_t>(0x3F - i % 64));
    }
    ASSERT_TRUE(vendorWrite(fw, VR_TABLE, 0x100 + 200, 0x00FF, values));
    selectEntry(fw, 0, 0xFF + 150);
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kTableDataLow), 150);
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kTableDataHigh), 0x3F - 150 % 64);
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kTableDataLow), 150) << "reading does not advance";

    // The low byte alone commits nothing; the high byte commits both.
    selectEntry(fw, 1, 0xFFF);
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kTableDataLow, 0x34));
    EXPECT_EQ(fw.tableEntry(1, 0xFFF), 0);
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kTableDataHigh, 0x12));
    EXPECT_EQ(fw.tableEntry(1, 0xFFF), 0x1234);
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kTableSelectLow), 0xFF) << "VR_TABLE leaves the select";

    // Malformed block requests stall.
    EXPECT_FALSE(vendorRead(fw, VR_TABLE, 32, 0x0410, 64)) << "no count flag";
    EXPECT_FALSE(vendorRead(fw, VR_TABLE, 0x100 + 32, 0x0410, 62)) << "length mismatch";
    EXPECT_FALSE(vendorRead(fw, VR_TABLE, 0x100 + 4, 0x0600, 8)) << "kind 6";
}

TEST(SimFirmwareTables, OldFirmwareLacksTablesAndBlockAccess) {
    SimCameraFirmware fw(withBuilds(54, 70));
    EXPECT_FALSE(vendorRead(fw, VR_TABLE, 0x100 + 1, 0x0000, 2)) << "block access needs 55";
    selectEntry(fw, 3, 5);  // kinds 3 and 5 need FPGA 73
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kTableDataLow, 0x11));
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kTableDataHigh, 0x22));
    EXPECT_EQ(fw.tableEntry(3, 5), 0);
    selectEntry(fw, 2, 5);
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kTableDataLow, 0x11));
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kTableDataHigh, 0x22));
    EXPECT_EQ(fw.tableEntry(2, 5), 0x2211);
}

TEST(SimFirmwareDpc, CountAppearsAfterTheRunAsADecreasingFunction) {
    ManualClock t;
    SimFirmwareConfig c;
    c.dpcDelayMs = 500;
    c.clock = t.clock();
    SimCameraFirmware fw(c);
    auto count = [&] {
        return fpgaRead(fw, FpgaReg::kDpcCountLow) | fpgaRead(fw, FpgaReg::kDpcCountHigh) << 8;
    };
    EXPECT_EQ(count(), 0) << "no run yet";
    ASSERT_TRUE(vendorWrite(fw, VR_DPC_CALIBRATE, 86, 0));
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kDpcThresholdLow), 86);
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kDpcThresholdHigh), 0);
    t.ms += 499;
    EXPECT_EQ(count(), 0);
    t.ms += 1;
    EXPECT_EQ(count(), 4083);  // round(60000 * exp(-86 / 32)), the first below 4095
    EXPECT_EQ(fw.dpcRuns(), 1u);

    ASSERT_TRUE(vendorWrite(fw, VR_DPC_CALIBRATE, 85, 0));
    EXPECT_EQ(count(), 0) << "a new run hides the old count";
    t.ms += 500;
    EXPECT_GE(count(), 4095) << "85 is the last threshold with too many pixels";

    int last = 1 << 30;
    for (unsigned th = 0; th <= 255; th += 15) {
        ASSERT_TRUE(vendorWrite(fw, VR_DPC_CALIBRATE, static_cast<uint16_t>(th), 0));
        t.ms += 500;
        const int n = count();
        EXPECT_GT(n, 0) << th;
        EXPECT_LT(n, last) << th;
        last = n;
    }
    ASSERT_TRUE(vendorWrite(fw, VR_DPC_CALIBRATE, 300, 0));
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kDpcThresholdLow), 255) << "clamped";

    // Writing the threshold registers alone starts no run.
    const uint32_t runs = fw.dpcRuns();
    ASSERT_TRUE(fpgaWrite(fw, FpgaReg::kDpcThresholdLow, 100));
    EXPECT_EQ(fw.dpcRuns(), runs);
    EXPECT_EQ(fpgaRead(fw, FpgaReg::kDpcThresholdLow), 100);
}

TEST(SimFirmwareChannels, SetPointByteOrderFollowsTheBuild) {
    for (const uint32_t build : {58u, 59u}) {
        SimCameraFirmware fw(withBuilds(build, 90));
        ASSERT_TRUE(vendorWrite(fw, VR_AWB_SETPOINT, 0x0123, 0));
        ASSERT_TRUE(vendorWrite(fw, VR_AFN_PERIOD, 0x4567, 0));
        ASSERT_TRUE(vendorWrite(fw, VR_AE_SETPOINT, 0x1AB, 0));
        const auto awb = vendorRead(fw, VR_AWB_SETPOINT, 0, 0, 2);
        const auto afn = vendorRead(fw, VR_AFN_PERIOD, 0, 0, 2);
        const auto ae = vendorRead(fw, VR_AE_SETPOINT, 0, 0, 1);
        ASSERT_TRUE(awb && afn && ae);
        if (build == 58) {
            EXPECT_EQ(*awb, (Bytes{0x01, 0x23}));
            EXPECT_EQ(*afn, (Bytes{0x45, 0x67}));
        } else {
            EXPECT_EQ(*awb, (Bytes{0x23, 0x01}));
            EXPECT_EQ(*afn, (Bytes{0x67, 0x45}));
        }
        EXPECT_EQ(*ae, Bytes{0xAB});
        EXPECT_EQ(fw.params().awbSetpoint, 0x0123);
    }
}

TEST(SimFirmwareChannels, RawVideoSdiAndFloatChannels) {
    SimCameraFirmware fw;
    ASSERT_TRUE(vendorWrite(fw, VR_RAW_VIDEO, 1, 0));
    EXPECT_EQ(vendorRead(fw, VR_RAW_VIDEO, 0, 0, 1), Bytes{1});
    ASSERT_TRUE(vendorWrite(fw, VR_PARAM_BA, 1, 0));
    EXPECT_EQ(vendorRead(fw, VR_PARAM_BA, 0, 0, 1), Bytes{1});

    const auto fps = vendorRead(fw, VR_REAL0, 0, 0, 4);
    ASSERT_TRUE(fps && fps->size() == 4);
    float f = 0;
    std::memcpy(&f, fps->data(), 4);  // the test host is little-endian like the wire
    EXPECT_EQ(f, 30.0f);
    const float want = 59.94f;
    Bytes raw(4);
    std::memcpy(raw.data(), &want, 4);
    ASSERT_TRUE(vendorWrite(fw, VR_REAL0, 0, 0, raw));
    EXPECT_EQ(vendorRead(fw, VR_REAL0, 0, 0, 4), raw);
    EXPECT_FALSE(vendorWrite(fw, VR_REAL0, 0, 0, Bytes{1, 2})) << "a float is 4 bytes";
    EXPECT_TRUE(vendorRead(fw, VR_REAL1, 0, 1, 4));
    EXPECT_FALSE(vendorRead(fw, VR_REAL1, 0, 0, 4));

    SimCameraFirmware old(withBuilds(102, 85));
    EXPECT_FALSE(vendorRead(old, VR_PARAM_BA, 0, 0, 1)) << "needs FX3 build 103";
    SimCameraFirmware older(withBuilds(37, 48));
    EXPECT_FALSE(vendorRead(older, VR_RAW_VIDEO, 0, 0, 1));
    EXPECT_FALSE(vendorRead(older, VR_REAL0, 0, 0, 4));
    EXPECT_FALSE(vendorRead(fw, 0xEE, 0, 0, 1)) << "unknown requests stall";
}

// The host's acceptance test of a system information record.
bool acceptable(const Bytes& r, unsigned layout) {
    const size_t len = layout == 2 ? kSysInfoLength2 : kSysInfoLength1;
    if (r.size() != len || size_t(r[0] | r[1] << 8) != len || (r[2] & 0x3F) != layout) return false;
    return layout == 2 ? (r[2] >> 6) == 0 : (r[2] >> 6) <= 1;
}

TEST(SimFirmwareSysInfo, LayoutsFollowTheBuild) {
    ManualClock t;
    SimFirmwareConfig c;
    c.clock = t.clock();
    SimCameraFirmware fw(c);
    t.ms += 90061;
    const auto v2 = vendorRead(fw, VR_SYSINFO, 3, kSysInfoLayout2, kSysInfoLength2);
    ASSERT_TRUE(v2);
    ASSERT_TRUE(acceptable(*v2, 2));
    EXPECT_EQ(le32(Bytes(v2->begin() + 4, v2->begin() + 8)), 90061u) << "uptime";
    EXPECT_EQ((*v2)[8], 0) << "CYUSB3014";
    EXPECT_EQ((*v2)[11] & 7, 3) << "super speed";
    EXPECT_EQ((*v2)[41], kFpgaI2cAddress);
    EXPECT_EQ((*v2)[42], 0x20) << "image sensor";
    EXPECT_EQ((*v2)[40], 0x42) << "I2C expander";
    EXPECT_EQ((*v2)[43], 0) << "no fan controller on this camera";
    const auto v1 = vendorRead(fw, VR_SYSINFO, 0, kSysInfoLayout1, kSysInfoLength1);
    ASSERT_TRUE(v1);
    EXPECT_TRUE(acceptable(*v1, 1));

    SimFirmwareConfig usb2 = withBuilds(59, 90);
    usb2.usbVersion = 2;
    SimCameraFirmware b59(usb2);
    EXPECT_FALSE(vendorRead(b59, VR_SYSINFO, 0, kSysInfoLayout2, kSysInfoLength2));
    const auto r59 = vendorRead(b59, VR_SYSINFO, 0, kSysInfoLayout1, kSysInfoLength1);
    ASSERT_TRUE(r59);
    EXPECT_TRUE(acceptable(*r59, 1));
    EXPECT_EQ((*r59)[11] & 7, 2) << "high speed";

    SimCameraFirmware b52(withBuilds(52, 90));
    EXPECT_FALSE(vendorRead(b52, VR_SYSINFO, 0, kSysInfoLayout1, kSysInfoLength1));
    EXPECT_FALSE(vendorRead(fw, VR_SYSINFO, 0, 3, 64)) << "no layout 3";
}

class RecordingUpgrade : public SimUpgradeHandler {
public:
    bool controlRequest(const SetupPacket& s, std::span<uint8_t>, uint32_t&) override {
        codes.push_back(s.bRequest);
        return true;
    }
    bool bulkOut(uint8_t, std::span<const uint8_t> data) override {
        bytes += data.size();
        return true;
    }
    std::vector<uint8_t> codes;
    size_t bytes = 0;
};

TEST(SimFirmwareUpgrade, RequestsGoToTheUpgradeHandler) {
    SimCameraFirmware fw;
    EXPECT_EQ(vendorRead(fw, VR_BOOTLOADER, 0, 0, 1), Bytes{0}) << "the normal program runs";
    EXPECT_FALSE(vendorWrite(fw, VR_RESET, 0, 0));
    EXPECT_FALSE(vendorWrite(fw, VR_SPI_WRITE, 0, 0, Bytes(16)));
    EXPECT_FALSE(vendorRead(fw, VR_FPGA_CONFIG_STATUS, 0, 0, 2));
    EXPECT_FALSE(fw.bulkOut(kEpBitstreamOut, Bytes(64)));

    auto h = std::make_shared<RecordingUpgrade>();
    fw.setUpgradeHandler(h);
    EXPECT_TRUE(vendorWrite(fw, VR_ENTER_BOOTLOADER, 0, 0));
    EXPECT_TRUE(vendorWrite(fw, VR_SPI_ERASE, 1, 3));
    EXPECT_TRUE(fw.bulkOut(kEpBitstreamOut, Bytes(64)));
    EXPECT_TRUE(vendorRead(fw, VR_FX3_VERSION, 0, 0, 4)) << "the rest stays with the firmware";
    EXPECT_EQ(h->codes, (std::vector<uint8_t>{VR_ENTER_BOOTLOADER, VR_SPI_ERASE}));
    EXPECT_EQ(h->bytes, 64u);
}

// A vendor request as the driver receives it: a request record through an I/O control.
std::optional<Bytes> viaDriver(UsbDriverHandle& h, uint8_t type, uint8_t code, uint16_t value,
                               uint16_t index, uint16_t len) {
    Bytes rec = makeControlRecord(type, code, value, index, len, 1);
    UsbOverlapped ov;
    const IoSubmit r = h.ioControl(Ioctl::kControlTransfer, rec, rec, &ov, nullptr);
    if (r == IoSubmit::Pending && !ov.wait(2000)) return std::nullopt;
    uint32_t bytes = 0;
    if (r == IoSubmit::Failed || !ov.result(bytes)) return std::nullopt;
    return Bytes(rec.begin() + Rec::kHeaderSize, rec.end());
}

TEST(SimFirmwareDriver, OptionCamerasAnswerRequestRecords) {
    std::string err;
    auto drv = simDriverFromOptions("sensor=OV10823;fx3=45", {}, err);
    ASSERT_TRUE(drv) << err;
    auto cam = drv->cameras().at(0);
    auto h = drv->open(drv->pathOf(*cam));
    ASSERT_TRUE(h);
    const auto version = viaDriver(*h, kVendorRead, VR_FX3_VERSION, 0, 0, 4);
    ASSERT_TRUE(version);
    EXPECT_EQ(simVersionBuild(le32(*version)), 45u);
    EXPECT_TRUE(viaDriver(*h, kVendorWrite, VR_FPGA_REG, 0x5A, FpgaReg::kNoiseReductionChroma, 0));
    EXPECT_EQ(viaDriver(*h, kVendorRead, VR_FPGA_REG, 0, FpgaReg::kNoiseReductionChroma, 1),
              Bytes{0x5A});
    EXPECT_FALSE(viaDriver(*h, kVendorRead, VR_SENSOR_REG, 0, SensorReg::kChipIdHigh, 1))
        << "build 45 has no sensor bridge";
    EXPECT_EQ(viaDriver(*h, kVendorRead, VR_I2C16, 0x20 << 8, SensorReg::kChipIdHigh, 1),
              Bytes{0xA8});
}

}  // namespace
}  // namespace TVR::Sim
