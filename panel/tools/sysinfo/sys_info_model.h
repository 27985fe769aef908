#pragma once

// The FX3 system-information record read into fields, the texts the system-information window
// and the technical report make of it, and the window's model (the record with its corruption
// check flags). The record comes from the camera and is checked before any field is taken.
// Window thread (or brisco-cli's main thread), holding the camera's work while it reads.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "settings/table_value_owner.h"

namespace TVR {

class ImgSensor;

struct SystemInformation {
    static constexpr int kPeripheralCount = 7;

    bool valid = false;  // false: unread, rejected or corrupted; every field below is 0
    uint16_t size = 0;
    uint8_t major = 0;
    uint8_t minor = 0;
    uint32_t uptimeMs = 0;
    uint8_t part = 0xFF;  // 0: the FX3 part USB-3014
    uint8_t features = 0;
    uint8_t enabled = 0;
    uint8_t usb = 0;  // bits 0-2 speed, bit 3 powered from AUX
    int32_t heapAllocations = 0;
    int32_t heapFrees = 0;
    int32_t dmaAllocations = 0;
    int32_t dmaFrees = 0;
    uint16_t phyErrors = 0;
    uint16_t linkErrors = 0;
    uint16_t phyErrorsTotal = 0;
    uint16_t linkErrorsTotal = 0;
    uint8_t peripherals = 0;    // bit 0: SFP+ cage active
    bool hasAddresses = false;  // major version 2 or higher
    // PLL clock, I²C expander, FPGA, image sensor, fan controller, SDI transceiver, audio chip.
    std::array<uint8_t, kPeripheralCount> addresses{};

    bool knownPart() const { return valid && part == 0; }
    int speed() const { return usb & 0x07; }
    bool auxPower() const { return (usb & 0x08) != 0; }
    bool feature(int bit) const { return ((features >> bit) & 1) != 0; }
    bool enabledBlock(int bit) const { return ((enabled >> bit) & 1) != 0; }
    bool sfpActive() const { return (peripherals & 1) != 0; }
};

// Check flags of the request: the controller checks its memory heap and its DMA buffers.
inline constexpr uint8_t kSysInfoCheckMemory = 0x01;
inline constexpr uint8_t kSysInfoCheckDma = 0x02;
inline constexpr uint8_t kSysInfoReportFlags = 0x07;
// The FX3 build that answers the request.
inline constexpr int kSysInfoBuild = 53;

// The reports' line end and flag words, shared by the system information and technical reports.
inline constexpr std::string_view kReportEol = "\r\n";
inline const char* reportFlag(bool on) { return on ? "true" : "false"; }

// A record as the camera sent it; one that fails its size or version check is not valid.
SystemInformation parseSystemInformation(std::span<const uint8_t> record);

// The texts of the system-information window.
std::string sysInfoHeaderText(const SystemInformation& info);
std::string sysInfoUptimeText(uint32_t ms);
std::string sysInfoUsbText(const SystemInformation& info);
std::string sysInfoPowerText(const SystemInformation& info);
std::string sysInfoCountText(uint16_t current, uint16_t total);

// The system-information part of the technical report, lines ending "\r\n". `implemented`:
// the firmware answers the request at all.
std::string systemInformationReport(const SystemInformation& info, bool implemented);
inline constexpr std::string_view kSysInfoNotImplemented =
    "SysInfo() is not implemented in this version of FX3 firmware";

// Reads the record; an invalid one when the camera is not connected or its firmware is too old.
// The caller holds the camera's work.
SystemInformation readSystemInformation(ImgSensor& camera, uint8_t checkFlags);

class SysInfoModel : public TableValueOwner {
public:
    SysInfoModel(SettingsStore& store, ImgSensor& camera);

    // The record back to unread, then read it when the camera is connected and its firmware
    // answers, with the check flags chosen.
    void readState() override;
    void loadFromStore() override {}

    void setChecks(bool memory, bool dma) { m_memory = memory, m_dma = dma; }
    const SystemInformation& info() const { return m_info; }
    // Whether the connected camera's firmware answers the request.
    bool implemented();

private:
    SystemInformation m_info;
    bool m_memory = false;
    bool m_dma = false;
};

}  // namespace TVR
