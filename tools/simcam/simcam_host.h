#pragma once

// Puts a SimDriver's cameras on the kernel's USB/IP virtual host controller: every plugged
// camera is served over its own socket pair and attached to a vhci port; when the camera
// leaves (unplug, reset, boot loader) its port is detached, and when it comes back it is
// attached again at the same port, so its "<bus>-<port>" location stays the same. Plug events
// are handled on a thread of the host's own.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_driver.h"
#include "vhci.h"

namespace TVR::Usbip {
class UsbipConnection;
}

namespace TVR::Simcam {

class SimUsbipDevice;

class SimcamHost {
public:
    // `portFreeWait`: how long a detached port may take to become free, both for the kernel to
    // drop a leaving camera and for a returning camera to get its old port back.
    explicit SimcamHost(Sim::SimDriver& driver, Vhci vhci = Vhci(),
                        std::chrono::milliseconds portFreeWait = std::chrono::seconds(5));
    ~SimcamHost();
    SimcamHost(const SimcamHost&) = delete;
    SimcamHost& operator=(const SimcamHost&) = delete;

    // Messages about attaching and detaching ("attached sim:1-1:04b4:00f1 at port 0").
    void setLog(std::function<void(const std::string&)> log);
    // Attaches every plugged camera and follows plug events from then on.
    bool start(std::string& error);
    // Detaches every camera; nothing is attached afterwards.
    void stop();

    struct Attachment {
        std::string path;  // the simulator's path
        unsigned port = 0;
    };
    std::vector<Attachment> attached() const;
    // Plug events received and fully handled so far.
    uint64_t eventsHandled() const;

private:
    struct Entry;
    bool attach(const std::shared_ptr<Sim::SimCamera>& cam, std::string& error);
    void detach(const std::string& path);
    void run();
    void log(const std::string& text);

    Sim::SimDriver& m_driver;
    Vhci m_vhci;
    std::chrono::milliseconds m_portFreeWait;
    std::function<void(const std::string&)> m_log;
    int m_token = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::pair<PlugEvent, std::string>> m_events;
    bool m_stopping = false;
    bool m_started = false;
    uint64_t m_handled = 0;
    std::vector<std::unique_ptr<Entry>> m_entries;
    // Ports by camera, kept across detaches so a returning camera keeps its location.
    std::vector<std::pair<const Sim::SimCamera*, unsigned>> m_ports;
    uint32_t m_nextDevid = 1;
    std::thread m_thread;
};

}  // namespace TVR::Simcam
