#pragma once

// TAVRO_SIM: the simulated cameras described as text, "cameras=2;usb=3;latency_us=120".
// The keys of the USB side are built in; later layers of the simulator (the camera firmware)
// add theirs as SimSpecKey handlers, so one parser rejects every unknown key.

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim_camera.h"

namespace TVR::Sim {

class SimDriver;

// What a spec builds: `cameras` cameras from one configuration, with the faults set on each and
// the per-camera steps of extension keys run after each camera is added.
struct SimSetup {
    unsigned cameras = 1;
    SimCameraConfig camera;
    SimFaults faults;
    std::vector<std::function<void(SimCamera&)>> perCamera;
};

struct SimSpecKey {
    std::string name;
    std::string accepted;  // the accepted forms, for messages ("2|3", "0-16", ...)
    // Applies the value; false with `error` set (without the key name) rejects it.
    std::function<bool(const std::string& value, SimSetup& setup, std::string& error)> apply;
};

// The built-in keys: cameras, usb, latency_us, fail_after, stall, corrupt, unplug_after,
// name, serial, audio.
const std::vector<SimSpecKey>& builtinSimKeys();

// Parses a spec into a setup. False with a one-line message naming the key when a key is
// unknown or a value is bad.
bool parseSimSpec(const std::string& spec, std::span<const SimSpecKey> extraKeys, SimSetup& setup,
                  std::string& error);

std::unique_ptr<SimDriver> simDriverFromSpec(const std::string& spec,
                                             std::span<const SimSpecKey> extraKeys,
                                             std::string& error);
// The driver described by the TAVRO_SIM environment variable (one camera when it is unset).
std::unique_ptr<SimDriver> simDriverFromEnvironment(std::span<const SimSpecKey> extraKeys,
                                                    std::string& error);

}  // namespace TVR::Sim
