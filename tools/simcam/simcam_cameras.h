#pragma once

// The simulated cameras tavro-simcam serves: configured by TAVRO_SIM exactly as `--simulate`
// configures them, with the UVC function the kernel binds in their configuration descriptor.

#include <memory>
#include <string>

#include "sim/sim_driver.h"

namespace TVR::Simcam {

// The configuration with its descriptor's video function replaced by the UVC function.
Sim::SimCameraConfig withKernelUvcFunction(Sim::SimCameraConfig config);

// The driver an option text ("cameras=2;fx3=45") describes; null with a message naming the
// key when the text is bad.
std::unique_ptr<Sim::SimDriver> simcamDriverFromOptions(const std::string& simOptions,
                                                        std::string& error);

}  // namespace TVR::Simcam
