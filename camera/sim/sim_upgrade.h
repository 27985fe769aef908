#pragma once

// The simulated camera's firmware-upgrade side: the FX3 boot loader with its 512 KiB RAM, the
// FX3's SPI flash, reset and re-enumeration, and the FPGA's configuration mode with its status
// word and the bitstream on bulk endpoint 0x05. Installed as the SimUpgradeHandler of a
// camera's SimCameraFirmware. Thread-safe: one lock guards the state; requests, the driver's
// thread (returns after a reset) and tests may call it concurrently.
//
// Behaviour a host can rely on:
// - Boot loader (product id 0x00F3): entered by VR_ENTER_BOOTLOADER (which also erases the
//   flash's first sector) or when the flash holds no valid program at reset or power-up.
//   VR_BOOTLOADER reads 1 (0 while a program runs); RAM spans kSimFx3RamBase + 512 KiB, pieces
//   of up to 4096 bytes outside it stall. Start checks the program record of sim_images.h:
//   a record whose sum does not match what was loaded, or an entry outside RAM, stalls and the
//   boot loader stays; otherwise the camera re-enumerates under 0x00F1 running the program,
//   with the record's version word (no record: the factory program's). The boot loader
//   answers VR_FX3_VERSION with 0 and stalls the flash and FPGA requests.
// - Flash: 2 MiB in 64 KiB sectors. An erase sets the sector to 0xFF and keeps the flash busy
//   for eraseMs (the erase-status read gives 1, and erases and page writes stall meanwhile).
//   Page writes program bits to 0 only, as NOR flash does. Reset and power-up boot the flash's
//   "CY" image when its checksum is right and its sections and entry lie in RAM.
// - Reset (VR_RESET) and the boot-loader request: the camera leaves at once and returns
//   resetMs later; handles opened before stay dead.
// - FPGA configuration: VR_FPGA_CONFIG_MODE sets "Config started", then every configStageMs
//   "Initialize OK", "Check ID OK", "Erase SW OK", and eraseMs later "Erase OK". Only then is
//   a bitstream accepted on 0x05 (else it stalls); one with an unknown header gives
//   "Program error". Once the length its header names has arrived, the FPGA runs the new
//   version and every configStageMs "Program OK", "Verify OK", "Program SW OK", then "Config
//   not busy" with "Config done" (with a failed CRC: no "Verify OK" nor "Program SW OK", and
//   "CRC error" arrives together with "Config done"). After a CRC error the FPGA
//   keeps its version until the next reset, when its flash no longer configures it (version
//   word 0).

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "sim/sim_firmware.h"

namespace TVR::Sim {

class SimDriver;

inline constexpr uint32_t kSimFx3FlashSize = 2 * 1024 * 1024;
inline constexpr uint32_t kSimFlashSectorSize = 64 * 1024;

// FPGA configuration status bits.
namespace SimConfigBit {
inline constexpr uint16_t kStarted = 1 << 0;
inline constexpr uint16_t kInitOk = 1 << 1;
inline constexpr uint16_t kCheckIdOk = 1 << 2;
inline constexpr uint16_t kEraseSwOk = 1 << 3;
inline constexpr uint16_t kEraseOk = 1 << 4;
inline constexpr uint16_t kProgramOk = 1 << 5;
inline constexpr uint16_t kVerifyOk = 1 << 6;
inline constexpr uint16_t kProgramSwOk = 1 << 7;
inline constexpr uint16_t kNotBusy = 1 << 8;
inline constexpr uint16_t kDone = 1 << 9;
inline constexpr uint16_t kConfigError = 1 << 10;
inline constexpr uint16_t kIdCodeError = 1 << 11;
inline constexpr uint16_t kEraseError = 1 << 12;
inline constexpr uint16_t kProgramError = 1 << 13;
inline constexpr uint16_t kTimeoutError = 1 << 14;
inline constexpr uint16_t kCrcError = 1 << 15;
inline constexpr uint16_t kErrors = 0xFC00;
}  // namespace SimConfigBit

struct SimUpgradeConfig {
    uint32_t resetMs = 200;       // away time of a re-enumeration
    uint32_t eraseMs = 50;        // flash sector erase busy time; FPGA flash erase time
    uint32_t configStageMs = 20;  // each FPGA configuration stage
    bool flashValid = true;       // false: the flash holds no program, the boot loader runs
    bool eraseError = false;  // FX3 erase status stalls after the busy phase; FPGA "Erase error"
    bool crcError = false;    // every FPGA configuration ends in "CRC error"
    // Programming writes (RAM pieces, flash pages, bitstream transfers) counted from 0: the
    // camera leaves during write number unplugAtWrite, or write number stallAtWrite stalls.
    int32_t unplugAtWrite = -1;
    int32_t stallAtWrite = -1;
    // The next N reads of boot-loader RAM return one byte altered (a bad cable or RAM).
    int32_t corruptReadbacks = 0;
    SimClock clock;  // empty: std::chrono::steady_clock::now
};

class SimUpgrade : public SimUpgradeHandler, public std::enable_shared_from_this<SimUpgrade> {
public:
    // Installs itself on the camera's SimCameraFirmware (null when it has none). The driver
    // must outlive the camera's requests. A camera whose flash holds no program re-enumerates
    // under the boot loader's product id at once.
    static std::shared_ptr<SimUpgrade> install(SimDriver& driver,
                                               const std::shared_ptr<SimCamera>& camera,
                                               SimUpgradeConfig config = {});
    SimUpgrade(SimDriver& driver, const std::shared_ptr<SimCamera>& camera,
               const std::shared_ptr<SimCameraFirmware>& firmware, SimUpgradeConfig config);
    ~SimUpgrade() override;
    SimUpgrade(const SimUpgrade&) = delete;
    SimUpgrade& operator=(const SimUpgrade&) = delete;

    bool controlRequest(const SetupPacket& setup, std::span<uint8_t> data,
                        uint32_t& actual) override;
    bool bulkOut(uint8_t endpoint, std::span<const uint8_t> data) override;
    uint16_t powerOn(uint16_t productId) override;

    SimUpgradeConfig config() const;
    void setConfig(const SimUpgradeConfig& config);  // faults and timing from now on
    bool bootLoaderRunning() const;
    bool runningFromRam() const;
    bool spiEnabled() const;
    uint16_t fpgaConfigStatus() const;
    // Flash bytes as they are now: 0xFF where erased, and while the factory program was never
    // touched (its bytes are not modelled).
    std::vector<uint8_t> flash(uint32_t offset, uint32_t length) const;
    uint32_t programmingWrites() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace TVR::Sim
