// Feeds TAVRO_SIM texts to the simulator's option parser (USB and firmware keys), with one
// extension key as later layers add them. An option text that parses is written back in canonical
// form and must parse again to the same setup; a rejected one carries a message.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "sim/sim_options.h"

namespace {

using TVR::Sim::SimOptionKey;
using TVR::Sim::SimSetup;

// One per-camera step per use, so the steps show in the setup.
const std::vector<SimOptionKey>& extraKeys() {
    static const std::vector<SimOptionKey> keys{
        {"marker", "0|1", [](const std::string& v, SimSetup& s, std::string& error) {
             if (v != "0" && v != "1") {
                 error = "expected 0 or 1";
                 return false;
             }
             if (v == "1") s.perCamera.push_back([](TVR::Sim::SimCamera&) {});
             return true;
         }}};
    return keys;
}

std::string hex2(uint8_t v) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02x", v);
    return buf;
}

std::string canonical(const SimSetup& s) {
    std::string t = "cameras=" + std::to_string(s.cameras);
    t += ";usb=" + std::to_string(s.camera.usbVersion);
    t += "; latency_us = " + std::to_string(s.faults.latencyUs);
    if (s.faults.failAfter >= 0) t += ";fail_after=" + std::to_string(s.faults.failAfter);
    t += ";stall=" + std::to_string(s.faults.stallNext);
    t += ";corrupt=" + std::to_string(s.faults.corruptNext);
    if (s.faults.unplugAfter >= 0) t += ";unplug_after=" + std::to_string(s.faults.unplugAfter);
    t += ";name=" + s.camera.friendlyName;
    t += ";serial=" + s.camera.serial;
    t += ";audio=" + s.camera.audioName;
    for (size_t i = 0; i < s.perCamera.size(); ++i) t += ";marker=1";
    t += ";fx3=" + std::to_string(TVR::Sim::simVersionBuild(s.firmware.fx3Version));
    t += ";fpga=" + std::to_string(TVR::Sim::simVersionBuild(s.firmware.fpgaVersion));
    t += ";sensor=" + std::string(TVR::Sim::simSensorChipName(s.firmware.sensor));
    t += ";sensor_addr=0x" + hex2(s.firmware.sensorAddress);
    t += ";dpc_ms=" + std::to_string(s.firmware.dpcDelayMs);
    t += ";i2c=none";
    for (const auto& dev : s.firmware.i2cDevices) {
        t += ";i2c=0x" + hex2(dev.address) + ":" + std::to_string(dev.registerBits);
    }
    return t;
}

bool sameFirmware(const TVR::Sim::SimFirmwareConfig& a, const TVR::Sim::SimFirmwareConfig& b) {
    if (a.fx3Version != b.fx3Version || a.fpgaVersion != b.fpgaVersion || a.sensor != b.sensor ||
        a.sensorAddress != b.sensorAddress || a.dpcDelayMs != b.dpcDelayMs ||
        a.i2cDevices.size() != b.i2cDevices.size()) {
        return false;
    }
    for (size_t i = 0; i < a.i2cDevices.size(); ++i) {
        if (a.i2cDevices[i].address != b.i2cDevices[i].address ||
            a.i2cDevices[i].registerBits != b.i2cDevices[i].registerBits) {
            return false;
        }
    }
    return true;
}

bool sameSetup(const SimSetup& a, const SimSetup& b) {
    return sameFirmware(a.firmware, b.firmware) && a.cameras == b.cameras &&
           a.camera.usbVersion == b.camera.usbVersion && a.faults.latencyUs == b.faults.latencyUs &&
           a.faults.failAfter == b.faults.failAfter && a.faults.stallNext == b.faults.stallNext &&
           a.faults.corruptNext == b.faults.corruptNext &&
           a.faults.unplugAfter == b.faults.unplugAfter &&
           a.camera.friendlyName == b.camera.friendlyName && a.camera.serial == b.camera.serial &&
           a.camera.audioName == b.camera.audioName && a.perCamera.size() == b.perCamera.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string simOptions(reinterpret_cast<const char*>(data), size);
    SimSetup setup;
    std::string error;
    if (!TVR::Sim::parseSimOptions(simOptions, extraKeys(), setup, error)) {
        FUZZ_CHECK(error.starts_with("TAVRO_SIM: "));
        return 0;
    }
    FUZZ_CHECK(error.empty());
    FUZZ_CHECK(setup.cameras <= 16);
    FUZZ_CHECK(setup.camera.usbVersion == 2 || setup.camera.usbVersion == 3);
    FUZZ_CHECK(setup.faults.failAfter >= -1 && setup.faults.unplugAfter >= -1);
    FUZZ_CHECK(setup.firmware.sensorAddress % 2 == 0 && setup.firmware.sensorAddress != 0x06);
    for (const auto& dev : setup.firmware.i2cDevices) {
        FUZZ_CHECK(dev.address % 2 == 0 && dev.address != 0);
        FUZZ_CHECK(dev.registerBits == 8 || dev.registerBits == 16);
    }

    SimSetup reparsed;
    std::string error2;
    FUZZ_CHECK(TVR::Sim::parseSimOptions(canonical(setup), extraKeys(), reparsed, error2));
    FUZZ_CHECK(sameSetup(setup, reparsed));
    return 0;
}
