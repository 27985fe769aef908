#pragma once

// The simulated backend: any number of SimCameras behind the UsbDriver interface. It registers
// like the libusb backend, so every layer above runs the same code with or without hardware.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_camera.h"
#include "usb/usb_driver.h"

namespace TVR::Sim {

class SimDriver : public UsbDriver {
public:
    SimDriver();
    ~SimDriver() override;

    // Adds a camera, plugged in, and returns it. Paths and locations are assigned in order
    // ("sim:1-1", location "1-1", then "1-2", …) unless the config names a location.
    std::shared_ptr<SimCamera> addCamera(SimCameraConfig config = {});
    std::vector<std::shared_ptr<SimCamera>> cameras() const;  // plugged ones, in path order
    // Unplug fails every request in flight and every later one on open handles; plug powers the
    // camera up again (SimFirmware::powerOn names the product id it returns under) and brings
    // it back under the path for that id. Both notify subscribers before they return. Handles
    // opened before work again when the camera returns under the same id.
    void unplug(const std::shared_ptr<SimCamera>& cam);
    void plug(const std::shared_ptr<SimCamera>& cam);
    // plug(), `delay` from now, on the driver's thread.
    void plugAfter(const std::shared_ptr<SimCamera>& cam, std::chrono::milliseconds delay);
    // Re-enumeration, as after a reset: the camera leaves now, and handles opened before stay
    // dead for good. `delay` later `comingBack` runs on the driver's thread and names the
    // product id it returns under (0: it stays away until plug()); the path follows the id.
    // The plug events are delivered on the driver's thread, so the firmware may call this from
    // inside a request. A plug() before the return overtakes it.
    void reenumerate(const std::shared_ptr<SimCamera>& cam, std::chrono::milliseconds delay,
                     std::function<uint16_t()> comingBack);
    std::string pathOf(const SimCamera& cam) const;

    // Number of UsbDriver calls made so far (enumeration, open, location, I/O control), and of
    // open() calls alone.
    uint64_t callCount() const;
    uint64_t openCount() const;

    // UsbDriver
    std::vector<std::string> interfacePaths(const Guid& interfaceClass) override;
    std::unique_ptr<UsbDriverHandle> open(const std::string& path) override;
    std::string location(const std::string& path) override;
    int subscribe(PlugCallback cb) override;
    void unsubscribe(int token) override;

    struct Impl;
    // The camera internals the driver's request handling works on.
    static SimCamera::Impl& cameraImpl(SimCamera& cam) { return *cam.m_impl; }

private:
    std::shared_ptr<Impl> m_impl;
};

// Builds a driver from a TAVRO_SIM text ("cameras=2;usb=3;latency_us=120"). Unknown keys or bad
// values give null and a message naming the key.
std::unique_ptr<SimDriver> simDriverFromOptions(const std::string& simOptions, std::string& error);

}  // namespace TVR::Sim
