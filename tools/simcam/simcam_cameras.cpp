#include "simcam_cameras.h"

#include "sim_descriptors.h"
#include "sim_firmware.h"
#include "sim_options.h"
#include "sim_upgrade.h"
#include "usb_ids.h"
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
    // Built as the simulator builds its cameras for --simulate, with the kernel's UVC function.
    auto driver = std::make_unique<Sim::SimDriver>();
    if (!setup.upgrade.flashValid) setup.camera.productId = kBootLoaderProductId;
    const Sim::SimCameraConfig config = withKernelUvcFunction(setup.camera);
    for (unsigned i = 0; i < setup.cameras; ++i) {
        auto cam = driver->addCamera(config);
        cam->setFaults(setup.faults);
        Sim::SimFirmwareConfig fw = setup.firmware;
        fw.usbVersion = setup.camera.usbVersion;
        cam->setFirmware(std::make_shared<Sim::SimCameraFirmware>(std::move(fw)));
        Sim::SimUpgrade::install(*driver, cam, setup.upgrade);
        for (const auto& step : setup.perCamera) step(*cam);
    }
    return driver;
}

}  // namespace TVR::Simcam
