#pragma once

// A simulated camera served as a USB/IP device. Standard and vendor control requests and the
// bulk endpoints 0x04, 0x84 and 0x05 go to the camera through the SimDriver as request
// records, so its firmware model, faults and re-enumeration are the simulator's own; the UVC
// function answers the video class requests and streams on 0x81. Each endpoint keeps its own
// queue and worker, so a stalled request holds up only its endpoint, as on a real bus.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "sim/sim_driver.h"
#include "usb/usb_driver.h"
#include "usbip/usbip_device.h"
#include "uvc_function.h"

namespace TVR::Simcam {

class SimUsbipDevice : public Usbip::UsbipDevice {
public:
    // The camera must be plugged into `driver`; the device works on the path it has now.
    SimUsbipDevice(Sim::SimDriver& driver, std::shared_ptr<Sim::SimCamera> camera);
    ~SimUsbipDevice() override;

    void submit(Usbip::Submit urb, Completion done) override;
    void cancel(uint32_t seqnum) override;
    void disconnect() override;

    // Waits, at most `limit`, until every request the camera has taken is answered: a camera
    // that resets completes the request that told it to before it leaves the bus.
    void drain(std::chrono::milliseconds limit);

    bool superSpeed() const { return m_superSpeed; }
    UvcFunction& uvc() { return *m_uvc; }

private:
    struct Item {
        Usbip::Submit urb;
        Completion done;
    };
    struct Endpoint {
        uint8_t address = 0;
        std::deque<Item> queue;
        uint32_t current = 0;  // seqnum in progress, 0 when idle
        bool busy = false;
        bool cancelled = false;  // the URB in progress was unlinked
        std::unique_ptr<UsbDriverHandle> handle;
        std::thread worker;
    };
    void work(Endpoint& ep);
    Usbip::SubmitReply carryOut(Endpoint& ep, const Usbip::Submit& urb);
    Usbip::SubmitReply control(Endpoint& ep, const Usbip::Submit& urb);
    Usbip::SubmitReply bulk(Endpoint& ep, const Usbip::Submit& urb);
    Endpoint* endpointFor(uint8_t address);  // with m_mutex held
    // After a submission: an unlink that came before the request reached the camera aborts it.
    void abortIfCancelled(Endpoint& ep);

    Sim::SimDriver& m_driver;
    std::shared_ptr<Sim::SimCamera> m_camera;
    const std::string m_path;
    const bool m_superSpeed;
    std::unique_ptr<UvcFunction> m_uvc;

    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stopping = false;
    std::map<uint8_t, std::unique_ptr<Endpoint>> m_endpoints;
    std::map<uint32_t, Item> m_held;  // URBs on endpoints that never complete (interrupt)
};

}  // namespace TVR::Simcam
