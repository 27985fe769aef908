#pragma once

// TAVRO_SIM: the simulated cameras described as text, "cameras=2;usb=3;latency_us=120".
// The keys of the USB side and of the camera firmware are built in; later layers of the
// simulator add theirs as SimOptionKey handlers, so one parser rejects every unknown key.

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/sim_camera.h"
#include "sim/sim_firmware.h"
#include "sim/sim_upgrade.h"

namespace TVR::Sim {

class SimDriver;

// What an option text builds: `cameras` cameras from one configuration, each with the faults set
// and a SimCameraFirmware of `firmware` installed, then the per-camera steps of extension keys run.
struct SimSetup {
    unsigned cameras = 1;
    SimCameraConfig camera;
    SimFaults faults;
    SimFirmwareConfig firmware;  // usbVersion follows camera.usbVersion
    SimUpgradeConfig upgrade;    // every camera gets a SimUpgrade with it
    std::vector<std::function<void(SimCamera&)>> perCamera;
    int32_t arriveMs = -1;  // the cameras start unplugged and arrive this many ms later
};

struct SimOptionKey {
    std::string name;
    std::string accepted;  // the accepted forms, for messages ("2|3", "0-16", ...)
    // Applies the value; false with `error` set (without the key name) rejects it.
    std::function<bool(const std::string& value, SimSetup& setup, std::string& error)> apply;
};

// The built-in keys: cameras, usb, latency_us, fail_after, stall, corrupt, unplug_after,
// replug_ms (the unplugged camera returns that much later), arrive_ms (the cameras are plugged
// in that much after start),
// name, serial, audio; and of the firmware: fx3 and fpga (build number 0-8191 of the default
// version word), sensor (a chip name or none), sensor_addr (even 8-bit I²C address, 0x20 or
// 0x6C on real cameras), i2c (adds a register-file device: 0x50 or 0x50:16 for 16-bit
// registers; none removes the other devices), dpc_ms (detection run time), dpc_fit (0-256: the
// lowest threshold whose detection count is below 4095, 256 for none); and of the upgrade side:
// reset_ms (re-enumeration time), erase_ms (flash erase busy time), config_ms (FPGA
// configuration stage time), flash (valid, or invalid to start in the boot loader), fault
// (none, erase, crc or erase,crc), unplug_write and stall_write (the programming write, from 0,
// during which the camera leaves or that stalls), corrupt_readback (that many boot-loader RAM
// reads return an altered byte); and of the capture side: uvc (full, procamp
// for a capture device without camera-control properties, none for one without properties)
// and uvc_fail (from 1: that UVC property call and every later one fails).
const std::vector<SimOptionKey>& builtinSimKeys();

// Parses an option text into a setup. False with a one-line message naming the key when a key is
// unknown or a value is bad.
bool parseSimOptions(const std::string& simOptions, std::span<const SimOptionKey> extraKeys,
                     SimSetup& setup, std::string& error);

std::unique_ptr<SimDriver> simDriverFromOptions(const std::string& simOptions,
                                                std::span<const SimOptionKey> extraKeys,
                                                std::string& error);
// The cameras of a parsed setup, each with its faults, firmware, upgrade side and extension
// steps.
std::unique_ptr<SimDriver> simDriverFromSetup(SimSetup setup);
// The driver described by the TAVRO_SIM environment variable (one camera when it is unset).
std::unique_ptr<SimDriver> simDriverFromEnvironment(std::span<const SimOptionKey> extraKeys,
                                                    std::string& error);

}  // namespace TVR::Sim
