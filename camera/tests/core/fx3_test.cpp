#include "fx3.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "apilog.h"
#include "camera_helpers.h"
#include "protocol/vendor_requests.h"
#include "usb/control_ep.h"
#include "usb/usb_device.h"

namespace TVR {
namespace {

using CameraTest::firmwareConfig;
using CameraTest::SimRig;

struct Camera {
    explicit Camera(Sim::SimFirmwareConfig config = {}) : rig(std::move(config)) {
        EXPECT_TRUE(fx3.selectDevice(0));
        rig.clear();
    }
    SimRig rig;
    FX3 fx3{rig.driver, rig.log, false, kControlTimeoutMs};
};

bool isFpgaWrite(const Sim::SetupPacket& s, uint8_t reg) {
    return s.bRequest == VR_FPGA_REG && !s.isIn() && s.wIndex == reg;
}

TEST(FX3, SelectDeviceReadsBothVersions) {
    Camera cam;
    EXPECT_TRUE(cam.fx3.connected());
    EXPECT_EQ(cam.fx3.versionFX3().build(), 105);
    EXPECT_EQ(cam.fx3.versionFPGA().build(), 90);
    EXPECT_EQ(cam.fx3.deviceCount(), 1);
    EXPECT_EQ(cam.fx3.devicePath(0), cam.rig.driver.pathOf(*cam.rig.camera));
    // A failed select leaves the open device alone, but its versions are no longer trusted.
    EXPECT_FALSE(cam.fx3.selectDevice(1));
    EXPECT_FALSE(cam.fx3.versionFX3().valid());
    EXPECT_FALSE(cam.fx3.tableAvailable(0));
}

TEST(FX3, ConstructionSetsTheControlTimeoutOfTheFirstDevice) {
    SimRig rig;
    FX3 fx3(rig.driver, rig.log, true, 123);
    ASSERT_TRUE(fx3.connected());
    EXPECT_EQ(fx3.setControlTimeout(40), 123u);
    EXPECT_EQ(fx3.setControlTimeout(50), 40u);
    FX3 closed(rig.driver, rig.log, false, kControlTimeoutMs);
    EXPECT_EQ(closed.setControlTimeout(10), 0u);
}

TEST(FX3, EachObjectKeepsItsOwnTimeoutAcrossOtherObjectsAndReopens) {
    SimRig rig;
    FX3 slow(rig.driver, rig.log, true, 700);
    FX3 quick(rig.driver, rig.log, true, 30);
    ASSERT_TRUE(slow.connected());
    ASSERT_TRUE(quick.connected());
    // Making `quick` changed nothing of `slow`, on endpoint 0 or on the others.
    EXPECT_EQ(slow.device().controlEndpoint()->timeout(), 700u);
    EXPECT_EQ(slow.device().endpoint(kEpSensorIn)->timeout(), 700u);
    EXPECT_EQ(quick.device().controlEndpoint()->timeout(), 30u);
    EXPECT_EQ(quick.device().endpoint(kEpSensorIn)->timeout(), 30u);

    // A reopen builds new endpoints; they get the object's own time-out, not the newest one.
    FX3 probe(rig.driver, rig.log, true, 5);
    ASSERT_TRUE(slow.selectDevice(0));
    EXPECT_EQ(slow.device().controlEndpoint()->timeout(), 700u);
    ASSERT_TRUE(quick.selectDevice(0));
    EXPECT_EQ(quick.device().controlEndpoint()->timeout(), 30u);
    EXPECT_EQ(probe.device().controlEndpoint()->timeout(), 5u);
}

TEST(FX3, RequestsAreRecordedInTheLogTheObjectWasGiven) {
    SimRig rig;
    ApiLog other;
    rig.log.setLogging(true);
    other.setLogging(true);
    FX3 mine(rig.driver, rig.log, true, kControlTimeoutMs);
    FX3 theirs(rig.driver, other, true, kControlTimeoutMs);
    EXPECT_EQ(&mine.apiLog(), &rig.log);
    EXPECT_EQ(&theirs.apiLog(), &other);
    rig.log.clearApi();
    other.clearApi();

    rig.firmware->setFpgaRegister(FpgaReg::kLedRedLow, 0x3C);
    EXPECT_EQ(mine.readFpgaReg(FpgaReg::kLedRedLow), 0x3C);
    ASSERT_EQ(rig.log.apiCount(), 1u);
    EXPECT_EQ(other.apiCount(), 0u);
    const auto read = rig.log.apiRecord(rig.log.firstApiIndex());
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->code, VR_FPGA_REG);
    EXPECT_EQ(read->write, 0);
    EXPECT_EQ(read->result, 1);
    EXPECT_EQ(read->data[0], 0x3C);

    EXPECT_TRUE(theirs.writeFpgaReg(FpgaReg::kLedRedLow, 0x11));
    EXPECT_EQ(rig.firmware->fpgaRegister(FpgaReg::kLedRedLow), 0x11);
    EXPECT_EQ(rig.log.apiCount(), 1u);
    ASSERT_EQ(other.apiCount(), 1u);
    const auto write = other.apiRecord(other.firstApiIndex());
    ASSERT_TRUE(write.has_value());
    EXPECT_EQ(write->code, VR_FPGA_REG);
    EXPECT_EQ(write->write, 1);
    EXPECT_EQ(write->wIndex, FpgaReg::kLedRedLow);
}

TEST(FX3, ValueChannelsFollowTheirRegistersAndStatuses) {
    Camera cam;
    // Channel 8 cannot be read: nothing is sent.
    const ChannelValue ch8 = cam.fx3.getCameraValue(8);
    EXPECT_EQ(ch8.value, 0);
    EXPECT_EQ(ch8.status, kStatusNotSupported);
    EXPECT_TRUE(cam.rig.vendorRequests().empty());
    EXPECT_EQ(cam.fx3.setCameraValue(8, 0x1A7), kStatusDone);
    EXPECT_EQ(cam.rig.firmware->fpgaRegister(14), 0xA7);

    cam.rig.clear();
    EXPECT_EQ(cam.fx3.setCameraValue(5, 0x1234), kStatusDone);
    const auto sent = cam.rig.vendorRequests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(isFpgaWrite(sent[0], 8));
    EXPECT_EQ(sent[0].wValue, 0x34);
    EXPECT_TRUE(isFpgaWrite(sent[1], 9));
    EXPECT_EQ(sent[1].wValue, 0x12);
    EXPECT_EQ(cam.fx3.getCameraValue(5).value, 0x34);

    EXPECT_EQ(cam.fx3.setCameraValue(3, 0x0155), kStatusDone);
    EXPECT_EQ(cam.fx3.getCameraValue(3).value, 0x0155);
    EXPECT_EQ(cam.fx3.setCameraValue(1, 1), kStatusDone);
    EXPECT_EQ(cam.fx3.getCameraValue(1).value, 1);
    EXPECT_EQ(cam.rig.firmware->fpgaRegister(FpgaReg::kControl) & 0x40, 0x40);
    EXPECT_EQ(cam.fx3.setCameraValue(10, 77), kStatusDone);
    EXPECT_EQ(cam.fx3.getCameraValue(10).value, 77);

    EXPECT_EQ(cam.fx3.getCameraValue(13).status, kStatusNotSupported);
    EXPECT_EQ(cam.fx3.setCameraValue(13, 1), kStatusNotSupported);
    EXPECT_EQ(cam.fx3.getCameraValue(14).status, kStatusTransferFailed);
    EXPECT_EQ(cam.fx3.getCameraValue(-1).status, kStatusTransferFailed);
    EXPECT_EQ(cam.fx3.setCameraValue(99, 1), kStatusNotSupported);
}

TEST(FX3, SetPointWordsAreLittleEndianFromBuild59) {
    for (const uint32_t build : {58u, 59u}) {
        Camera cam(firmwareConfig(build, 90));
        auto params = cam.rig.firmware->params();
        params.awbSetpoint = 0x1234;
        params.afnPeriod = 0x0102;
        cam.rig.firmware->setParams(params);
        EXPECT_EQ(cam.fx3.getCameraValue(11).value, 0x1234) << "FX3 build " << build;
        EXPECT_EQ(cam.fx3.getCameraValue(12).value, 0x0102) << "FX3 build " << build;
        EXPECT_EQ(cam.fx3.setCameraValue(11, 0xBEEF), kStatusDone);
        EXPECT_EQ(cam.rig.firmware->params().awbSetpoint, 0xBEEF);
    }
}

TEST(FX3, ChannelGatesOfOldFirmwareSendNothing) {
    Camera old(firmwareConfig(37, 48));
    EXPECT_EQ(old.fx3.getCameraValue(0).status, kStatusNotSupported);
    EXPECT_EQ(old.fx3.getCameraValue(1).status, kStatusNotSupported);
    EXPECT_EQ(old.fx3.getCameraValue(2).status, kStatusNotSupported);
    EXPECT_EQ(old.fx3.getCameraReal(0).status, kStatusNotSupported);
    EXPECT_TRUE(old.rig.vendorRequests().empty());

    Camera current(firmwareConfig(103, 86));
    auto params = current.rig.firmware->params();
    params.rawVideo = 1;
    params.paramBA = 5;
    current.rig.firmware->setParams(params);
    EXPECT_EQ(current.fx3.getCameraValue(0).value, 1);
    EXPECT_EQ(current.fx3.getCameraValue(2).value, 5);
    const ChannelReal fps = current.fx3.getCameraReal(0);
    EXPECT_EQ(fps.status, kStatusDone);
    EXPECT_DOUBLE_EQ(fps.value, 30.0);
    EXPECT_DOUBLE_EQ(current.fx3.getCameraReal(1).value, 47.5);
    EXPECT_EQ(current.fx3.getCameraReal(2).status, kStatusTransferFailed);
    EXPECT_EQ(current.fx3.setCameraReal(0, 59.94), kStatusDone);
    EXPECT_FLOAT_EQ(current.rig.firmware->params().real0, 59.94f);
    EXPECT_EQ(current.fx3.setCameraReal(1, 1.0), kStatusNotSupported);
}

TEST(FX3, ControlRegisterOperations) {
    Camera cam;
    cam.rig.firmware->setFpgaRegister(FpgaReg::kControl, 0x43);
    EXPECT_TRUE(cam.fx3.stopStreaming());
    EXPECT_EQ(cam.rig.firmware->fpgaRegister(FpgaReg::kControl), 0x40);
    cam.rig.clear();
    EXPECT_TRUE(cam.fx3.stopStreaming());
    EXPECT_EQ(cam.rig.vendorRequests().size(), 1u) << "nothing to clear: no write";
    EXPECT_EQ(cam.fx3.setFpgaControlBit(0, true), kStatusDone);
    EXPECT_EQ(cam.rig.firmware->fpgaRegister(FpgaReg::kControl), 0x41);
    EXPECT_EQ(cam.fx3.setFpgaControlBit(8, true), kStatusNotSupported);
    EXPECT_FALSE(cam.fx3.bootLoaderRunning());
}

TEST(FX3, ColourMatrixEncodingAndRoundTrip) {
    Camera cam;
    const std::vector<double> eight(8, 0.5);
    EXPECT_FALSE(cam.fx3.writeColourMatrix(eight));
    EXPECT_TRUE(cam.rig.vendorRequests().empty());

    const std::vector<double> matrix = {-0.75, 1.5,   0.0,         0.25, -0.001953125,
                                        63.5,  -64.0, 0.998046875, -1.0};
    ASSERT_TRUE(cam.fx3.writeColourMatrix(matrix));
    EXPECT_EQ(cam.rig.firmware->fpgaRegister(0xD0), 0x80);
    EXPECT_EQ(cam.rig.firmware->fpgaRegister(0xD1), 0xFE);
    EXPECT_EQ(cam.fx3.readColourMatrix(), matrix);
}

TEST(FX3, TableSelectRefusesUnaddressableEntriesAndSkipsUnchangedRegisters) {
    Camera cam;
    EXPECT_FALSE(cam.fx3.selectTableEntry(0, 0x4000));
    // The select registers carry 12 entry bits; 0x1000 would land on entry 0.
    EXPECT_FALSE(cam.fx3.selectTableEntry(0, 0x1000));
    EXPECT_FALSE(cam.fx3.selectTableEntry(0, -1));
    EXPECT_TRUE(cam.rig.vendorRequests().empty());

    ASSERT_TRUE(cam.fx3.selectTableEntry(3, 0x234));
    ASSERT_TRUE(cam.fx3.selectTableEntry(3, 0x234));
    auto sent = cam.rig.vendorRequests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(isFpgaWrite(sent[0], FpgaReg::kTableSelectHigh));
    EXPECT_EQ(sent[0].wValue, 3 * 32 + 2 * 2);
    EXPECT_TRUE(isFpgaWrite(sent[1], FpgaReg::kTableSelectLow));
    EXPECT_EQ(sent[1].wValue, 0x34);

    cam.rig.clear();
    ASSERT_TRUE(cam.fx3.selectTableEntry(3, 0x235));
    sent = cam.rig.vendorRequests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(isFpgaWrite(sent[0], FpgaReg::kTableSelectLow));

    // A direct write to a select register is not mistaken for the cached value.
    ASSERT_TRUE(cam.fx3.writeFpgaReg(FpgaReg::kTableSelectLow, 0));
    cam.rig.clear();
    ASSERT_TRUE(cam.fx3.selectTableEntry(3, 0x235));
    EXPECT_EQ(cam.rig.vendorRequests().size(), 1u);

    // Reopening the device forgets the cache: the FPGA may have restarted.
    ASSERT_TRUE(cam.fx3.selectDevice(0));
    cam.rig.clear();
    ASSERT_TRUE(cam.fx3.selectTableEntry(3, 0x235));
    EXPECT_EQ(cam.rig.vendorRequests().size(), 2u);
}

TEST(FX3, TableEntriesAreSignExtendedAndScaledByKind) {
    Camera cam;
    cam.rig.firmware->setTableEntry(0, 5, 0x3FFF);
    EXPECT_EQ(cam.fx3.readTableEntry(0, 5), -1);
    FpgaTable table(cam.fx3);
    const auto one = table.readRange(0, 5, 1, true);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_DOUBLE_EQ(one[0], -0.02197265625);
    EXPECT_FALSE(table.error());

    cam.rig.firmware->setTableEntry(1, 0, 0x0800);  // 12-bit sign bit
    EXPECT_EQ(cam.fx3.readTableEntry(1, 0), -2048);
    cam.rig.firmware->setTableEntry(3, 0, 0x1000);  // 13-bit sign bit
    EXPECT_EQ(cam.fx3.readTableEntry(3, 0), -4096);
    cam.rig.firmware->setTableEntry(4, 0, 0x1000);
    EXPECT_EQ(cam.fx3.readTableEntry(4, 0), -4096);

    ASSERT_TRUE(cam.fx3.writeTableEntry(2, 7, -3));
    EXPECT_EQ(cam.rig.firmware->tableEntry(2, 7), 0xFFFD);
    EXPECT_TRUE(table.writeValue(1, 9, 1.5));
    EXPECT_EQ(cam.rig.firmware->tableEntry(1, 9), 384);
}

TEST(FX3, Kind4IsSixteenBitsBeforeFpgaBuild73) {
    Camera cam(firmwareConfig(105, 72));
    cam.rig.firmware->setTableEntry(4, 0, 0x1000);
    EXPECT_EQ(cam.fx3.readTableEntry(4, 0), 0x1000);
    EXPECT_FALSE(cam.fx3.tableAvailable(3));
    EXPECT_TRUE(cam.fx3.tableAvailable(4));
}

TEST(FX3, BlockTransfersOfTables) {
    Camera cam;
    for (unsigned i = 0; i < 32; ++i) cam.rig.firmware->setTableEntry(4, 16 + i, i * 3);
    FpgaTable table(cam.fx3);
    const auto values = table.readRange(4, 16, 32);
    const auto sent = cam.rig.vendorRequests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bRequest, VR_TABLE);
    EXPECT_EQ(sent[0].wValue, 0x0120);
    EXPECT_EQ(sent[0].wIndex, 0x0410);
    EXPECT_EQ(sent[0].wLength, 64);
    ASSERT_EQ(values.size(), 32u);
    EXPECT_FALSE(table.error());
    EXPECT_DOUBLE_EQ(values[5], 15 * FX3::tableScale(4));

    std::vector<double> curve(64);
    for (size_t i = 0; i < curve.size(); ++i) curve[i] = (static_cast<double>(i) - 32) / 256.0;
    EXPECT_EQ(table.writeRange(2, 0, curve), 64);
    EXPECT_FALSE(table.error());
    EXPECT_EQ(table.readRange(2, 0, 64, true), curve);
    EXPECT_EQ(table.readRange(2, 0, 64), curve);

    // Past the block's 8-bit start the entries go one by one.
    cam.rig.clear();
    EXPECT_EQ(table.writeRange(5, 300, std::vector<double>(2, 1.0)), 2);
    for (const auto& s : cam.rig.vendorRequests()) EXPECT_NE(s.bRequest, VR_TABLE);
    EXPECT_EQ(cam.rig.firmware->tableEntry(5, 301), FX3::tableRawFromValue(5, 1.0));
}

TEST(FX3, TablesOfOldFirmwareSetTheErrorFlag) {
    Camera cam(firmwareConfig(44, 90));
    FpgaTable table(cam.fx3);
    EXPECT_TRUE(table.readRange(0, 0, 4).empty());
    EXPECT_TRUE(table.error());
    EXPECT_EQ(table.writeRange(0, 0, std::vector<double>(4, 0.0)), 0);
    EXPECT_TRUE(table.error());
    EXPECT_FALSE(table.writeValue(0, 0, 0.0));
    EXPECT_TRUE(cam.rig.vendorRequests().empty());

    // Per entry only (no block request before FX3 build 55).
    Camera perEntry(firmwareConfig(54, 90));
    FpgaTable t2(perEntry.fx3);
    EXPECT_EQ(t2.writeRange(1, 0, std::vector<double>(3, 0.5)), 3);
    EXPECT_FALSE(t2.error());
    for (const auto& s : perEntry.rig.vendorRequests()) EXPECT_NE(s.bRequest, VR_TABLE);
}

TEST(FX3, TableTransfersFromTwoThreads) {
    Camera cam;
    auto worker = [&cam](int kind, double offset, bool perEntry, int& good) {
        FpgaTable table(cam.fx3);
        std::vector<double> curve(64);
        for (int round = 0; round < 5; ++round) {
            for (size_t i = 0; i < curve.size(); ++i) {
                curve[i] = (static_cast<double>(i) + offset + round) / 256.0;
            }
            if (table.writeRange(kind, 0, curve, perEntry) == 64 &&
                table.readRange(kind, 0, 64, perEntry) == curve) {
                ++good;
            }
        }
    };
    int goodA = 0;
    int goodB = 0;
    std::thread a(worker, 1, 0.0, true, std::ref(goodA));
    std::thread b(worker, 2, 100.0, false, std::ref(goodB));
    a.join();
    b.join();
    EXPECT_EQ(goodA, 5);
    EXPECT_EQ(goodB, 5);
}

TEST(FX3, SystemInformationLayoutsAndValidation) {
    Camera v2(firmwareConfig(105, 90));
    const auto record2 = v2.fx3.systemInfo(3);
    ASSERT_EQ(record2.size(), 54u);
    EXPECT_EQ(record2[0] | (record2[1] << 8), 54);
    EXPECT_EQ(record2[2] & 0x3F, 2);
    const auto sent = v2.rig.vendorRequests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].wValue, 3);
    EXPECT_EQ(sent[0].wIndex, kSysInfoLayout2);

    Camera v1(firmwareConfig(59, 90));
    const auto record1 = v1.fx3.systemInfo(0);
    ASSERT_EQ(record1.size(), 39u);
    EXPECT_EQ(record1[0], 39);
    EXPECT_TRUE(FX3::validSystemInfo(record1, kSysInfoLayout1));

    std::vector<uint8_t> invalid(54, 0);
    invalid[8] = 0xFF;
    Camera tooOld(firmwareConfig(58, 90));
    EXPECT_EQ(tooOld.fx3.systemInfo(0), invalid);
    EXPECT_TRUE(tooOld.rig.vendorRequests().empty());

    auto faults = v2.rig.camera->faults();
    faults.corruptNext = 1;
    v2.rig.camera->setFaults(faults);
    EXPECT_EQ(v2.fx3.systemInfo(0), invalid);
    EXPECT_TRUE(FX3::validSystemInfo(v2.fx3.systemInfo(0), kSysInfoLayout2))
        << "only the corrupted reply is rejected";
}

TEST(FX3, ShortReadBuffersAreNotOverrun) {
    Camera cam;
    std::array<uint8_t, 3> three{0xEE, 0xEE, 0xEE};
    std::span<uint8_t> two(three.data(), 2);
    cam.fx3.vendorRequest(VR_AWB_SETPOINT, false, 0, 0, two);
    EXPECT_EQ(three[2], 0xEE);
    const auto sent = cam.rig.vendorRequests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].wLength, 2);
}

TEST(FX3, UnpluggedCameraRequestsAreLoggedAsFailedAndNotSent) {
    Camera cam;
    ApiLog& log = cam.rig.log;
    log.setLogging(true);
    cam.rig.driver.unplug(cam.rig.camera);
    const size_t first = log.apiCount() + log.firstApiIndex();
    EXPECT_FALSE(cam.fx3.readFpgaReg(6).has_value());
    EXPECT_EQ(cam.fx3.getCameraValue(3).status, kStatusTransferFailed);
    const auto record = log.apiRecord(first);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->code, VR_FPGA_REG);
    EXPECT_EQ(record->result, 0);
    EXPECT_TRUE(cam.rig.vendorRequests().empty());

    FX3 none(cam.rig.driver, log, false, kControlTimeoutMs);
    EXPECT_FALSE(none.connected());
    EXPECT_FALSE(none.writeFpgaReg(6, 0));
    EXPECT_FALSE(none.tableAvailable(0));
}

TEST(FX3, StalledRequestFailsWithinItsTimeoutAndTheNextOneWorks) {
    Camera cam;
    cam.fx3.setControlTimeout(20);
    auto faults = cam.rig.camera->faults();
    faults.stallNext = 1;
    cam.rig.camera->setFaults(faults);
    EXPECT_FALSE(cam.fx3.readFpgaReg(FpgaReg::kControl).has_value());
    cam.rig.firmware->setFpgaRegister(FpgaReg::kControl, 0x05);
    EXPECT_EQ(cam.fx3.readFpgaReg(FpgaReg::kControl), 0x05);
}

TEST(FX3, NamedRequestsReachTheirCodes) {
    Camera cam;
    cam.fx3.dpcCalibrate(300);
    auto sent = cam.rig.vendorRequests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bRequest, VR_DPC_CALIBRATE);
    EXPECT_EQ(sent[0].wValue, 255);
    EXPECT_TRUE(cam.fx3.i2cWrite16(0x20, 0x5000, 0x12));
    EXPECT_EQ(cam.fx3.i2cRead16(0x20, 0x5000), 0x12);
    EXPECT_FALSE(cam.fx3.i2cRead8(0x50, 0x01).has_value()) << "nothing at 0x50";
    // Malformed flash and RAM writes are refused before anything is sent.
    cam.rig.clear();
    EXPECT_FALSE(cam.fx3.spiWrite(100, std::vector<uint8_t>(16)));
    EXPECT_FALSE(cam.fx3.spiWrite(0, std::vector<uint8_t>(4096)));
    EXPECT_FALSE(cam.fx3.bootLoaderWriteRam(0, std::vector<uint8_t>(2049)));
    EXPECT_TRUE(cam.rig.vendorRequests().empty());
}

}  // namespace
}  // namespace TVR
