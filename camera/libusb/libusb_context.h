#pragma once

// Internal to the libusb backend: the libusb context with its event thread and the plug-event
// dispatch, shared by the driver and every handle it opened, so a handle stays usable (and its
// transfers complete) even when it outlives the driver.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include <libusb.h>

#include "usb/usb_driver.h"

namespace TVR::Libusb {

class Context {
public:
    // Starts libusb and its event thread; ctx() is null when libusb could not start (no usbfs,
    // as in a container), and then every operation finds nothing.
    Context();
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    libusb_context* ctx() const { return m_ctx; }

    int subscribe(UsbDriver::PlugCallback cb);
    void unsubscribe(int token);
    // Stops plug reports for good: deregisters from libusb, drops the subscribers and ends the
    // dispatch thread. Must not be called from a plug callback.
    void stopPlugEvents();

private:
    static int LIBUSB_CALL onHotplug(libusb_context* ctx, libusb_device* dev,
                                     libusb_hotplug_event event, void* user);
    void runEvents();
    void runDispatch();

    libusb_context* m_ctx = nullptr;
    std::atomic<bool> m_stopEvents{false};
    std::thread m_eventThread;

    // Plug events travel from libusb's event thread to a dispatch thread, so a subscriber that
    // takes its time (or reopens the camera) never holds up transfer completions.
    bool m_hotplugRegistered = false;
    libusb_hotplug_callback_handle m_hotplugHandle{};
    std::mutex m_queueMutex;
    std::condition_variable m_queueCv;
    std::deque<std::pair<PlugEvent, std::string>> m_queue;
    bool m_stopDispatch = false;
    std::thread m_dispatchThread;

    // Held while a callback runs, so unsubscribe() returns only when its callback is done;
    // recursive because a callback may unsubscribe itself.
    std::recursive_mutex m_subscriberMutex;
    std::map<int, UsbDriver::PlugCallback> m_subscribers;
    int m_nextToken = 1;
};

// Path of a libusb device when it is one of the cameras; empty otherwise. With
// checkInterface, a device without a vendor-specific interface is no camera.
std::string cameraPathOf(libusb_device* dev, bool checkInterface);

// Writes a trace line to stderr when TAVRO_DEBUG is set.
void trace(const std::string& text);

}  // namespace TVR::Libusb
