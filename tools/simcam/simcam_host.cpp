#include "simcam_host.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fmt/format.h>

#include "sim_usbip_device.h"
#include "usbip/usbip_connection.h"

namespace TVR::Simcam {

namespace {

constexpr auto kPortPoll = std::chrono::milliseconds(20);
// How long answering the requests a leaving camera has taken may take.
constexpr auto kDrainWait = std::chrono::seconds(1);

}  // namespace

struct SimcamHost::Entry {
    std::string path;
    unsigned port = 0;
    std::shared_ptr<SimUsbipDevice> device;
    std::unique_ptr<Usbip::UsbipConnection> connection;
};

SimcamHost::SimcamHost(Sim::SimDriver& driver, Vhci vhci, std::chrono::milliseconds portFreeWait)
    : m_driver(driver), m_vhci(std::move(vhci)), m_portFreeWait(portFreeWait) {}

SimcamHost::~SimcamHost() { stop(); }

void SimcamHost::setLog(std::function<void(const std::string&)> log) { m_log = std::move(log); }

void SimcamHost::log(const std::string& text) {
    if (m_log) m_log(text);
}

bool SimcamHost::start(std::string& error) {
    if (!m_vhci.present()) {
        error = "no USB/IP virtual host controller (load the vhci-hcd module)";
        return false;
    }
    for (const auto& cam : m_driver.cameras()) {
        if (!attach(cam, error)) {
            stop();
            return false;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_started = true;
    }
    m_token = m_driver.subscribe([this](PlugEvent e, const std::string& path) {
        std::lock_guard lock(m_mutex);
        m_events.emplace_back(e, path);
        m_cv.notify_all();
    });
    m_thread = std::thread([this] { run(); });
    return true;
}

void SimcamHost::stop() {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) return;
        m_stopping = true;
        m_cv.notify_all();
    }
    if (m_token) m_driver.unsubscribe(m_token);
    if (m_thread.joinable()) m_thread.join();
    std::vector<std::string> paths;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& e : m_entries) paths.push_back(e->path);
    }
    for (const auto& p : paths) detach(p);
}

std::vector<SimcamHost::Attachment> SimcamHost::attached() const {
    std::lock_guard lock(m_mutex);
    std::vector<Attachment> out;
    for (const auto& e : m_entries) out.push_back({e->path, e->port});
    return out;
}

uint64_t SimcamHost::eventsHandled() const {
    std::lock_guard lock(m_mutex);
    return m_handled;
}

void SimcamHost::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_events.empty()) {
            m_cv.wait(lock);
            continue;
        }
        auto [event, path] = m_events.front();
        m_events.pop_front();
        lock.unlock();
        if (event == PlugEvent::Left) {
            detach(path);
        } else {
            for (const auto& cam : m_driver.cameras()) {
                if (m_driver.pathOf(*cam) != path) continue;
                std::string error;
                if (!attach(cam, error)) log(fmt::format("cannot attach {}: {}", path, error));
            }
        }
        lock.lock();
        ++m_handled;
    }
}

bool SimcamHost::attach(const std::shared_ptr<Sim::SimCamera>& cam, std::string& error) {
    const std::string path = m_driver.pathOf(*cam);
    const unsigned speed = cam->config().usbVersion >= 3 ? kSpeedSuper : kSpeedHigh;
    std::optional<unsigned> previous;
    uint32_t devid = 0;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& e : m_entries) {
            if (e->path == path) return true;  // already there
        }
        for (const auto& [c, port] : m_ports) {
            if (c == cam.get()) previous = port;
        }
        devid = (1u << 16) | (m_nextDevid++ & 0xFFFF);
    }
    // A returning camera waits for its old port: the kernel frees it after the detach.
    if (previous) {
        const auto deadline = std::chrono::steady_clock::now() + m_portFreeWait;
        while (!m_vhci.portFree(*previous) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(kPortPoll);
        }
    }
    const auto port = m_vhci.freePort(speed, previous, error);
    if (!port) return false;

    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        error = fmt::format("socketpair: {}", std::strerror(errno));
        return false;
    }
    auto entry = std::make_unique<Entry>();
    entry->path = path;
    entry->port = *port;
    entry->device = std::make_shared<SimUsbipDevice>(m_driver, cam);
    entry->connection = std::make_unique<Usbip::UsbipConnection>(fds[0], entry->device);
    entry->connection->setClosedHandler(
        [this, path](const std::string& reason) { log(fmt::format("{}: {}", path, reason)); });
    entry->connection->start();
    // The kernel takes its own reference to the socket; ours is closed either way.
    const bool ok = m_vhci.attach(*port, fds[1], devid, speed, error);
    ::close(fds[1]);
    if (!ok) {
        entry->connection->stop();
        return false;
    }
    log(fmt::format("attached {} at port {}", path, *port));
    std::lock_guard lock(m_mutex);
    bool known = false;
    for (auto& [c, p] : m_ports) {
        if (c == cam.get()) {
            p = *port;
            known = true;
        }
    }
    if (!known) m_ports.emplace_back(cam.get(), *port);
    m_entries.push_back(std::move(entry));
    return true;
}

void SimcamHost::detach(const std::string& path) {
    std::unique_ptr<Entry> entry;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if ((*it)->path == path) {
                entry = std::move(*it);
                m_entries.erase(it);
                break;
            }
        }
    }
    if (!entry) return;
    // The replies already given reach the kernel before the device goes: the connection is
    // half-closed and the kernel drops the device when it reads the end of the stream. The
    // sysfs detach is the fallback for a kernel that does not.
    entry->device->drain(kDrainWait);
    entry->connection->finishSending();
    const auto deadline = std::chrono::steady_clock::now() + m_portFreeWait;
    while (!m_vhci.portFree(entry->port) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPortPoll);
    }
    std::string error;
    if (!m_vhci.portFree(entry->port) && !m_vhci.detach(entry->port, error)) log(error);
    entry->connection->stop();
    log(fmt::format("detached {} from port {}", path, entry->port));
}

}  // namespace TVR::Simcam
