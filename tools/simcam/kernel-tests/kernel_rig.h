#pragma once

// The rig of the kernel tests: simulated cameras served in this process over USB/IP to the
// kernel's vhci_hcd, and waits for the kernel to see them. Needs root and vhci-hcd.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"
#include "simcam_host.h"
#include "video/capture_device.h"

namespace TVR::KernelTests {

// The control time-out of the programs under test where a test is not about time-outs: under
// software emulation a round trip now and then takes longer than the product's 50 ms.
inline constexpr uint32_t kEmulatedControlTimeoutMs = 2000;

// Polls `done` until it holds or `limit` passes: the kernel enumerates on its own threads.
bool waitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::seconds(20));

// One sysfs attribute, trimmed; empty when absent.
std::string readSysfs(const std::string& path);
// The kernel's name ("3-1") of the USB device with these ids; empty when none is present.
std::string kernelLocationOf(uint16_t vendorId, uint16_t productId);
// The capture node at a USB location as the sysfs listing gives it, once uvcvideo registered
// it; empty when none appears in time.
std::optional<CaptureDevice> captureNodeAt(const std::string& location);

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // standard output and error
};
// Runs one of the suite's programs (found next to the test program, else where the build put
// it) with the arguments, each quoted for the shell.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& environment = {});

struct KernelCamera {
    // One camera with that FX3 build (45: sensor access by packets on 0x04/0x84), served and
    // attached.
    explicit KernelCamera(uint32_t fx3Build = 105);
    ~KernelCamera();
    bool attached() const { return m_attached; }
    std::string error;
    Sim::SimDriver driver;
    std::shared_ptr<Sim::SimCamera> cam;
    std::shared_ptr<Sim::SimCameraFirmware> firmware;
    std::unique_ptr<Simcam::SimcamHost> host;

private:
    bool m_attached = false;
};

}  // namespace TVR::KernelTests
