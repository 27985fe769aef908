#include "simcam_cameras.h"

#include "sim/sim_descriptors.h"
#include "sim/sim_options.h"
#include "uvc_function.h"

namespace TVR::Simcam {

Sim::SimCameraConfig withKernelUvcFunction(Sim::SimCameraConfig config) {
    if (!config.configDescriptor) {
        auto desc = withUvcFunction(Sim::buildConfigDescriptor(config), config.usbVersion >= 3);
        if (!desc.empty()) config.configDescriptor = std::move(desc);
    }
    return config;
}

std::unique_ptr<Sim::SimDriver> simcamDriverFromOptions(const std::string& simOptions,
                                                        std::string& error) {
    Sim::SimSetup setup;
    if (!Sim::parseSimOptions(simOptions, {}, setup, error)) return nullptr;
    // Built as for --simulate, with the UVC function the kernel binds.
    setup.camera = withKernelUvcFunction(setup.camera);
    return Sim::simDriverFromSetup(std::move(setup));
}

}  // namespace TVR::Simcam
