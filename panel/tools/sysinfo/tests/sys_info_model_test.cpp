#include <gtest/gtest.h>

#include <vector>

#include "shell/tests/panel_test_helpers.h"
#include "sim/sim_camera.h"
#include "tools/sysinfo/dev_tech_info_model.h"
#include "tools/sysinfo/sys_info_model.h"

namespace TVR::PanelTest {

namespace {

// A layout-2 record with every field set to something recognisable.
std::vector<uint8_t> layout2Record() {
    std::vector<uint8_t> r(54, 0);
    r[0] = 54;
    r[2] = 2;
    const uint32_t uptime = 90061234;  // 1d 01h:01m:01.2s
    for (int i = 0; i < 4; ++i) r[4 + i] = static_cast<uint8_t>(uptime >> (8 * i));
    r[8] = 0;
    r[9] = 0x21;                                             // USB3, GPIF32
    r[10] = 0x48;                                            // SPI (bit 3), LPP
    r[11] = 0x0B;                                            // super speed, AUX power
    r[12] = 0xFF, r[13] = 0xFF, r[14] = 0xFF, r[15] = 0xFF;  // -1 allocations
    r[16] = 7;
    r[20] = 3;
    r[24] = 2;
    r[28] = 4;
    r[30] = 5;
    r[32] = 0x34, r[33] = 0x12;
    r[34] = 6;
    r[38] = 1;
    for (int i = 0; i < 7; ++i) r[39 + i] = static_cast<uint8_t>(0x10 + i);
    return r;
}

std::string lineOf(const std::string& text, std::string_view start) {
    const size_t at = text.find(start);
    if (at == std::string::npos) return {};
    return text.substr(at, text.find("\r\n", at) - at);
}

}  // namespace

TEST(SystemInformation, FieldsOfAHandMadeRecord) {
    const SystemInformation info = parseSystemInformation(layout2Record());
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.heapAllocations, -1);
    EXPECT_EQ(info.phyErrorsTotal, 0x1234);
    EXPECT_EQ(sysInfoHeaderText(info),
              " SysInfo version 2.0 (size: 54 bytes)\n\r Cypress part#: USB-3014\n\r System "
              "uptime: 1d 01h:01m:01.2s");
    EXPECT_EQ(sysInfoUsbText(info), "USB: Super speed");
    EXPECT_EQ(sysInfoPowerText(info), "Power: AUX");
    EXPECT_EQ(sysInfoCountText(info.phyErrors, info.phyErrorsTotal), "4 (4660)");

    const std::string report = systemInformationReport(info, true);
    EXPECT_EQ(report.rfind("\r\n==============================\r\nSystem Information and "
                           "peripheral status report\r\n\r\nSignature (size/maj/min): 54/2/0\r\n"
                           "System uptime: 90061.234s\r\nCypress part#: USB3014\r\n",
                           0),
              0u);
    EXPECT_EQ(lineOf(report, " USB3:"), " USB3: true");
    EXPECT_EQ(lineOf(report, " OTG"), " OTG (USB 2.0 host mode): false");
    EXPECT_EQ(lineOf(report, " GPIF32:"), " GPIF32: true");
    EXPECT_EQ(lineOf(report, " SPI:"), " SPI: true");
    EXPECT_EQ(lineOf(report, " UART:"), " UART: false");
    EXPECT_EQ(lineOf(report, "USB speed:"), "USB speed: SuperSpeed");
    EXPECT_EQ(lineOf(report, "USB PHY errors (total):"), "USB PHY errors (total): 4660");
    EXPECT_EQ(lineOf(report, " SFP+"), " SFP+ cage is active: true");
    EXPECT_EQ(lineOf(report, "  Audio chip:"), "  Audio chip: 0x16");

    // Layout 1 stops at byte 38 and lists no addresses.
    const std::vector<uint8_t> full = layout2Record();
    std::vector<uint8_t> one(full.begin(), full.begin() + 39);
    one[0] = 39;
    one[2] = 1 | (1 << 6);
    const SystemInformation v1 = parseSystemInformation(one);
    ASSERT_TRUE(v1.valid);
    EXPECT_EQ(v1.minor, 1);
    EXPECT_FALSE(v1.hasAddresses);
    EXPECT_EQ(systemInformationReport(v1, true).find("PLL clock"), std::string::npos);
}

TEST(SystemInformation, DamagedRecordsAreUnread) {
    std::vector<std::vector<uint8_t>> bad;
    bad.push_back({});
    bad.push_back({54, 0});
    auto shortRecord = layout2Record();
    shortRecord.resize(53);
    bad.push_back(shortRecord);
    auto wrongSize = layout2Record();
    wrongSize[0] = 39;
    bad.push_back(wrongSize);
    auto wrongVersion = layout2Record();
    wrongVersion[2] = 3;
    bad.push_back(wrongVersion);
    auto minorOn2 = layout2Record();
    minorOn2[2] = 2 | (1 << 6);
    bad.push_back(minorOn2);
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        const SystemInformation info = parseSystemInformation(bad[i]);
        EXPECT_FALSE(info.valid);
        EXPECT_EQ(info.heapAllocations, 0);
        EXPECT_EQ(sysInfoHeaderText(info),
                  " SysInfo version 0.0 (size: 0 bytes)\n\r Cypress part#: Unknown\n\r System "
                  "uptime: 0d 00h:00m:00.0s");
        const std::string report = systemInformationReport(info, true);
        EXPECT_EQ(report.find("Signature"), std::string::npos);
        EXPECT_NE(report.find("could not be read"), std::string::npos);
    }
    EXPECT_EQ(systemInformationReport({}, false),
              "SysInfo() is not implemented in this version of FX3 firmware\r\n");
}

TEST(SysInfoModel, ReadsBothLayoutsFromTheCamera) {
    struct Case {
        const char* sim;
        uint8_t major;
        uint16_t size;
    };
    for (const Case& c : {Case{"fx3=105", 2, 54}, Case{"fx3=59", 1, 39}}) {
        SCOPED_TRACE(c.sim);
        CameraRig rig(c.sim);
        SysInfoModel model(rig.store, *rig.sensor);
        model.setChecks(true, true);
        EXPECT_TRUE(model.implemented());
        model.readState();
        const SystemInformation& info = model.info();
        ASSERT_TRUE(info.valid);
        EXPECT_EQ(info.major, c.major);
        EXPECT_EQ(info.size, c.size);
        EXPECT_TRUE(info.knownPart());
        EXPECT_EQ(info.speed(), 3);
        EXPECT_EQ(info.hasAddresses, c.major == 2);
        if (info.hasAddresses) {
            EXPECT_EQ(info.addresses[3], rig.firmware->sensorAddress());
        }
    }
}

TEST(SysInfoModel, OldFirmwareCorruptedRepliesAndLostCameras) {
    {
        CameraRig rig("fx3=52");
        SysInfoModel model(rig.store, *rig.sensor);
        EXPECT_FALSE(model.implemented());
        rig.simCamera->clearRequests();
        model.readState();
        EXPECT_FALSE(model.info().valid);
        EXPECT_TRUE(rig.simCamera->requests().empty());
        EXPECT_NE(devTechInfoText(*rig.sensor)
                      .find("SysInfo() is not implemented in this version of FX3 firmware\r\n"),
                  std::string::npos);
    }
    CameraRig rig;
    SysInfoModel model(rig.store, *rig.sensor);
    model.readState();
    ASSERT_TRUE(model.info().valid);
    // A corrupted reply replaces what was read before.
    Sim::SimFaults faults;
    faults.corruptNext = 1;
    rig.simCamera->setFaults(faults);
    model.readState();
    EXPECT_FALSE(model.info().valid);
    EXPECT_EQ(model.info().uptimeMs, 0u);
    model.readState();
    EXPECT_TRUE(model.info().valid);
    rig.sensor->close();
    model.readState();
    EXPECT_FALSE(model.info().valid);
    EXPECT_EQ(devTechInfoText(*rig.sensor), "Cannot get the details - USB device is not ready\r\n");
}

TEST(DevTechInfo, ReportListsTheDeviceAndTheRecord) {
    CameraRig rig;
    const std::string text = devTechInfoText(*rig.sensor);
    EXPECT_EQ(lineOf(text, "Manufacturer:"), "Manufacturer:\tTavro");
    EXPECT_EQ(lineOf(text, "Vendor ID:"), "Vendor ID:\t\t0x04B4 (1204)");
    EXPECT_EQ(lineOf(text, "Product ID:"), "Product ID:\t0x00F1 (241)");
    EXPECT_EQ(lineOf(text, "Friendly name:"), "Friendly name:\tTavro Brisco camera");
    EXPECT_EQ(lineOf(text, "Serial number:"), "Serial number:\t84");  // 'T'
    EXPECT_EQ(lineOf(text, "Super speed:"), "Super speed:\ttrue");
    EXPECT_EQ(lineOf(text, "Sensor chip ID:"), "Sensor chip ID:\t" + rig.sensor->chipIdText());
    EXPECT_NE(text.find("Signature (size/maj/min): 54/2/0\r\n"), std::string::npos);
    EXPECT_NE(text.find("  Image sensor: 0x20\r\n"), std::string::npos);

    DevTechInfoModel model(rig.store, *rig.sensor);
    EXPECT_EQ(model.text(), "Cannot get the details - USB device is not ready\r\n");
    model.readState();
    EXPECT_EQ(model.text().rfind("Manufacturer:\tTavro\r\n", 0), 0u);
}

}  // namespace TVR::PanelTest
