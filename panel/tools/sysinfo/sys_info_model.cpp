#include "tools/sysinfo/sys_info_model.h"

#include <fmt/format.h>

#include "fx3.h"
#include "protocol/vendor_requests.h"
#include "sensor/img_sensor.h"

namespace TVR {

namespace {

constexpr uint32_t kMsPerSecond = 1000;

// Record offsets.
constexpr size_t kOffsetVersion = 2;
constexpr size_t kOffsetUptime = 4;
constexpr size_t kOffsetPart = 8;
constexpr size_t kOffsetFeatures = 9;
constexpr size_t kOffsetEnabled = 10;
constexpr size_t kOffsetUsb = 11;
constexpr size_t kOffsetHeapAllocations = 12;
constexpr size_t kOffsetHeapFrees = 16;
constexpr size_t kOffsetDmaAllocations = 20;
constexpr size_t kOffsetDmaFrees = 24;
constexpr size_t kOffsetPhyErrors = 28;
constexpr size_t kOffsetLinkErrors = 30;
constexpr size_t kOffsetPhyErrorsTotal = 32;
constexpr size_t kOffsetLinkErrorsTotal = 34;
constexpr size_t kOffsetPeripherals = 38;
constexpr size_t kOffsetAddresses = 39;

uint16_t le16(std::span<const uint8_t> r, size_t at) {
    return static_cast<uint16_t>(r[at] | (r[at + 1] << 8));
}

uint32_t le32(std::span<const uint8_t> r, size_t at) {
    return static_cast<uint32_t>(r[at]) | (static_cast<uint32_t>(r[at + 1]) << 8) |
           (static_cast<uint32_t>(r[at + 2]) << 16) | (static_cast<uint32_t>(r[at + 3]) << 24);
}


}  // namespace

SystemInformation parseSystemInformation(std::span<const uint8_t> record) {
    SystemInformation info;
    if (record.size() <= kOffsetVersion) return info;
    const auto layout = static_cast<uint16_t>(record[kOffsetVersion] & 0x3F);
    // The check compares the size field with the layout's length and the record's own size, so
    // every offset below lies inside the record.
    if (!FX3::validSystemInfo(record, layout)) return info;
    info.valid = true;
    info.size = le16(record, 0);
    info.major = static_cast<uint8_t>(layout);
    info.minor = static_cast<uint8_t>(record[kOffsetVersion] >> 6);
    info.uptimeMs = le32(record, kOffsetUptime);
    info.part = record[kOffsetPart];
    info.features = record[kOffsetFeatures];
    info.enabled = record[kOffsetEnabled];
    info.usb = record[kOffsetUsb];
    info.heapAllocations = static_cast<int32_t>(le32(record, kOffsetHeapAllocations));
    info.heapFrees = static_cast<int32_t>(le32(record, kOffsetHeapFrees));
    info.dmaAllocations = static_cast<int32_t>(le32(record, kOffsetDmaAllocations));
    info.dmaFrees = static_cast<int32_t>(le32(record, kOffsetDmaFrees));
    info.phyErrors = le16(record, kOffsetPhyErrors);
    info.linkErrors = le16(record, kOffsetLinkErrors);
    info.phyErrorsTotal = le16(record, kOffsetPhyErrorsTotal);
    info.linkErrorsTotal = le16(record, kOffsetLinkErrorsTotal);
    info.peripherals = record[kOffsetPeripherals];
    info.hasAddresses = info.major >= kSysInfoLayout2;
    if (info.hasAddresses) {
        for (size_t i = 0; i < info.addresses.size(); ++i) {
            info.addresses[i] = record[kOffsetAddresses + i];
        }
    }
    return info;
}

std::string sysInfoUptimeText(uint32_t ms) {
    const uint32_t tenths = (ms % kMsPerSecond) / 100;
    uint32_t seconds = ms / kMsPerSecond;
    const uint32_t days = seconds / 86400;
    seconds %= 86400;
    const uint32_t hours = seconds / 3600;
    seconds %= 3600;
    return fmt::format("{}d {:02}h:{:02}m:{:02}.{:1}s", days, hours, seconds / 60, seconds % 60,
                       tenths);
}

std::string sysInfoHeaderText(const SystemInformation& info) {
    return fmt::format(" SysInfo version {}.{} (size: {} bytes)\n\r", info.major, info.minor,
                       info.size) +
           fmt::format(" Cypress part#: {}\n\r", info.knownPart() ? "USB-3014" : "Unknown") +
           fmt::format(" System uptime: {}", sysInfoUptimeText(info.uptimeMs));
}

std::string sysInfoUsbText(const SystemInformation& info) {
    static constexpr const char* kSpeeds[] = {"Disconnected", "Full speed", "High speed",
                                              "Super speed"};
    const int s = info.speed();
    return std::string("USB: ") + (s < 4 ? kSpeeds[s] : "Unknown");
}

std::string sysInfoPowerText(const SystemInformation& info) {
    return std::string("Power: ") + (info.auxPower() ? "AUX" : "BUS");
}

std::string sysInfoCountText(uint16_t current, uint16_t total) {
    return fmt::format("{} ({})", current, total);
}

std::string systemInformationReport(const SystemInformation& info, bool implemented) {
    if (!implemented) return fmt::format("{}{}", kSysInfoNotImplemented, kReportEol);
    std::string t;
    const auto line = [&t](const std::string& text) {
        t += text;
        t += kReportEol;
    };
    t += fmt::format("{}=============================={}", kReportEol, kReportEol);
    line(fmt::format("System Information and peripheral status report{}", kReportEol));
    if (!info.valid) {
        // A rejected or corrupted record has no fields to show; a page of zeros would pass for
        // the camera's answer.
        line("The camera's system information record could not be read (rejected or corrupted)");
        return t;
    }
    line(fmt::format("Signature (size/maj/min): {}/{}/{}", info.size, info.major, info.minor));
    line(fmt::format("System uptime: {}.{}s", info.uptimeMs / kMsPerSecond,
                     info.uptimeMs % kMsPerSecond));
    line(fmt::format("Cypress part#: {}", info.knownPart() ? "USB3014" : " ----- unknown! -----"));
    line("____________________");
    line("Supported features:");
    static constexpr const char* kFeatures[] = {
        " USB3: ", " OTG (USB 2.0 host mode): ", " RAM 512KB: ", " I2S: ", " GPIF: ", " GPIF32: "};
    for (int bit = 0; bit < 6; ++bit) line(kFeatures[bit] + std::string(reportFlag(info.feature(bit))));
    line("____________________");
    line("Configured features:");
    // The report lists SPI before UART; the record holds UART in bit 2 and SPI in bit 3.
    static constexpr std::pair<const char*, int> kBlocks[] = {
        {" I2C: ", 0}, {" I2S: ", 1}, {" SPI: ", 3}, {" UART: ", 2},
        {" PIB: ", 4}, {" DLL: ", 5}, {" LPP: ", 6}};
    for (const auto& [name, bit] : kBlocks) line(name + std::string(reportFlag(info.enabledBlock(bit))));
    line("====================");
    line(fmt::format("USB speed: {}", info.speed() == 3 ? "SuperSpeed" : "HS/FS"));
    line(fmt::format("AUX power: {}", reportFlag(info.auxPower())));
    line(fmt::format("USB PHY errors (curr): {}", info.phyErrors));
    line(fmt::format("USB Link errors (curr): {}", info.linkErrors));
    line(fmt::format("USB PHY errors (total): {}", info.phyErrorsTotal));
    line(fmt::format("USB Link errors (total): {}", info.linkErrorsTotal));
    line("____________");
    line("Peripherals:");
    line(fmt::format(" SFP+ cage is active: {}", reportFlag(info.sfpActive())));
    if (info.hasAddresses) {
        line(" I2C bus addresses of peripherals (0 if not configured/inaccessible):");
        static constexpr const char* kPeripherals[] = {
            "  PLL clock: ",      "  I2C expander: ",    "  FPGA: ",      "  Image sensor: ",
            "  Fan controller: ", "  SDI Transceiver: ", "  Audio chip: "};
        for (size_t i = 0; i < info.addresses.size(); ++i) {
            line(fmt::format("{}0x{:02X}", kPeripherals[i], info.addresses[i]));
        }
    }
    return t;
}

SystemInformation readSystemInformation(ImgSensor& camera, uint8_t checkFlags) {
    if (!camera.connected() || !camera.versionFX3().buildAtLeast(kSysInfoBuild)) return {};
    return parseSystemInformation(camera.systemInfo(checkFlags));
}

SysInfoModel::SysInfoModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, {}) {}

void SysInfoModel::readState() {
    m_info = {};
    const auto flags =
        static_cast<uint8_t>((m_memory ? kSysInfoCheckMemory : 0) | (m_dma ? kSysInfoCheckDma : 0));
    m_info = readSystemInformation(camera(), flags);
}

bool SysInfoModel::implemented() {
    return camera().connected() && camera().versionFX3().buildAtLeast(kSysInfoBuild);
}

}  // namespace TVR
