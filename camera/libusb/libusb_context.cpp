#include "libusb_context.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "libusb/camera_products.h"
#include "libusb/device_path.h"

namespace TVR::Libusb {

namespace {

// How long the event thread sleeps in libusb between checks of its stop flag; libusb is also
// interrupted on stop, so this only bounds a missed wake-up.
constexpr long kEventSliceUs = 200000;

bool hasVendorInterface(libusb_device* dev) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(dev, &config) != LIBUSB_SUCCESS) {
        // An unconfigured device still tells its first configuration.
        if (libusb_get_config_descriptor(dev, 0, &config) != LIBUSB_SUCCESS) return false;
    }
    bool found = false;
    for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
        const libusb_interface& itf = config->interface[i];
        for (int a = 0; a < itf.num_altsetting; ++a) {
            if (itf.altsetting[a].bInterfaceClass == kVendorSpecificClass) {
                found = true;
                break;
            }
        }
    }
    libusb_free_config_descriptor(config);
    return found;
}

}  // namespace

void trace(const std::string& text) {
    static const bool enabled = std::getenv("TAVRO_DEBUG") != nullptr;
    if (enabled) std::fprintf(stderr, "libusb: %s\n", text.c_str());
}

std::string cameraPathOf(libusb_device* dev, bool checkInterface) {
    libusb_device_descriptor desc{};
    if (libusb_get_device_descriptor(dev, &desc) != LIBUSB_SUCCESS) return {};
    if (!findCameraProduct(desc.idVendor, desc.idProduct)) return {};
    uint8_t ports[kMaxPortDepth];
    const int n = libusb_get_port_numbers(dev, ports, static_cast<int>(kMaxPortDepth));
    if (n <= 0) return {};  // a root hub, or a chain deeper than USB allows
    if (checkInterface && !hasVendorInterface(dev)) return {};
    DevicePath path;
    path.location.bus = libusb_get_bus_number(dev);
    path.location.ports.assign(ports, ports + n);
    path.vendorId = desc.idVendor;
    path.productId = desc.idProduct;
    return formatDevicePath(path);
}

Context::Context() {
    const int rc = libusb_init(&m_ctx);
    if (rc != LIBUSB_SUCCESS) {
        trace(std::string("libusb_init failed: ") + libusb_error_name(rc));
        m_ctx = nullptr;
    }
    m_dispatchThread = std::thread([this] { runDispatch(); });
    if (!m_ctx) return;
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        const int hp = libusb_hotplug_register_callback(
            m_ctx,
            static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                              LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            static_cast<libusb_hotplug_flag>(0), LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
            LIBUSB_HOTPLUG_MATCH_ANY, &Context::onHotplug, this, &m_hotplugHandle);
        m_hotplugRegistered = hp == LIBUSB_SUCCESS;
        if (!m_hotplugRegistered) trace("hot-plug registration failed; no plug events");
    }
    m_eventThread = std::thread([this] { runEvents(); });
}

Context::~Context() {
    stopPlugEvents();
    if (m_ctx) {
        m_stopEvents = true;
        libusb_interrupt_event_handler(m_ctx);
        if (m_eventThread.joinable()) m_eventThread.join();
        libusb_exit(m_ctx);
    }
}

void Context::runEvents() {
    while (!m_stopEvents) {
        timeval tv{0, kEventSliceUs};
        libusb_handle_events_timeout_completed(m_ctx, &tv, nullptr);
    }
}

int LIBUSB_CALL Context::onHotplug(libusb_context*, libusb_device* dev, libusb_hotplug_event event,
                                   void* user) {
    auto* self = static_cast<Context*>(user);
    const bool arrived = event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED;
    // A device that left can no longer be asked for its configuration.
    const std::string path = cameraPathOf(dev, arrived);
    if (path.empty()) return 0;
    {
        std::lock_guard lock(self->m_queueMutex);
        if (self->m_stopDispatch) return 0;
        self->m_queue.emplace_back(arrived ? PlugEvent::Arrived : PlugEvent::Left, path);
    }
    self->m_queueCv.notify_one();
    return 0;
}

void Context::runDispatch() {
    std::unique_lock lock(m_queueMutex);
    while (true) {
        m_queueCv.wait(lock, [&] { return m_stopDispatch || !m_queue.empty(); });
        if (m_stopDispatch) return;
        auto [event, path] = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        {
            std::lock_guard subs(m_subscriberMutex);
            // Snapshot: a callback may subscribe or unsubscribe.
            std::vector<int> tokens;
            for (const auto& [token, cb] : m_subscribers) tokens.push_back(token);
            for (int token : tokens) {
                auto it = m_subscribers.find(token);
                if (it == m_subscribers.end()) continue;
                const UsbDriver::PlugCallback cb = it->second;
                cb(event, path);
            }
        }
        lock.lock();
    }
}

int Context::subscribe(UsbDriver::PlugCallback cb) {
    std::lock_guard lock(m_subscriberMutex);
    const int token = m_nextToken++;
    if (cb) m_subscribers.emplace(token, std::move(cb));
    return token;
}

void Context::unsubscribe(int token) {
    std::lock_guard lock(m_subscriberMutex);
    m_subscribers.erase(token);
}

void Context::stopPlugEvents() {
    if (m_hotplugRegistered) {
        libusb_hotplug_deregister_callback(m_ctx, m_hotplugHandle);
        m_hotplugRegistered = false;
    }
    {
        std::lock_guard lock(m_queueMutex);
        m_stopDispatch = true;
        m_queue.clear();
    }
    m_queueCv.notify_all();
    if (m_dispatchThread.joinable()) m_dispatchThread.join();
    std::lock_guard lock(m_subscriberMutex);
    m_subscribers.clear();
}

}  // namespace TVR::Libusb
