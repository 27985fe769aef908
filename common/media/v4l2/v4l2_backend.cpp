#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "media/capture_backend.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "media/v4l2/v4l2_device.h"

namespace OLK {
namespace {

// Watches the device folder for video nodes that appear or disappear (udev creates and removes
// them), and reports each as a device-interface event named by the node's path.
class NodeWatcher {
public:
    NodeWatcher(std::string dir, std::function<void(const DeviceChangeEvent&)> listener)
        : m_dir(std::move(dir)), m_listener(std::move(listener)) {
        m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        m_stop = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (m_inotify < 0 || m_stop < 0 ||
            inotify_add_watch(m_inotify, m_dir.c_str(),
                              IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) < 0) {
            return;
        }
        m_thread = std::thread(&NodeWatcher::run, this);
    }

    ~NodeWatcher() {
        if (m_thread.joinable()) {
            uint64_t one = 1;
            ssize_t written = ::write(m_stop, &one, sizeof(one));
            (void)written;
            m_thread.join();
        }
        if (m_inotify >= 0) ::close(m_inotify);
        if (m_stop >= 0) ::close(m_stop);
    }

    bool running() const { return m_thread.joinable(); }

private:
    void run() {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_stop, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents != 0) return;
            ssize_t n = ::read(m_inotify, buffer, sizeof(buffer));
            if (n <= 0) continue;
            for (ssize_t off = 0; off + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buffer + off);
                const ssize_t size = static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
                if (off + size > n) break;
                if (ev->len > 0)
                    report(ev->mask, std::string(ev->name, strnlen(ev->name, ev->len)));
                off += size;
            }
        }
    }

    void report(uint32_t mask, const std::string& name) {
        if (name.compare(0, 5, "video") != 0) return;
        DeviceChangeEvent event;
        event.deviceType = kDbtDevTypDeviceInterface;
        event.eventType =
            (mask & (IN_CREATE | IN_MOVED_TO)) ? kDbtDeviceArrival : kDbtDeviceRemoveComplete;
        event.deviceName = m_dir + "/" + name;
        m_listener(event);
    }

    std::string m_dir;
    std::function<void(const DeviceChangeEvent&)> m_listener;
    int m_inotify = -1;
    int m_stop = -1;
    std::thread m_thread;
};

class V4l2Backend : public CaptureBackend {
public:
    explicit V4l2Backend(std::string dir) : m_dir(std::move(dir)) {}

    int32_t enumDevices(const GUID& sourceType,
                        std::vector<std::shared_ptr<Activate>>* devices) override {
        if (devices == nullptr) return E_POINTER;
        devices->clear();
        if (sourceType == MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_AUDCAP_GUID) return S_OK;
        if (sourceType != MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID) return E_INVALIDARG;
        *devices = enumV4l2Devices(m_dir);
        return S_OK;
    }

    void setDeviceChangeListener(std::function<void(const DeviceChangeEvent&)> listener) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_watcher.reset();
        if (listener) m_watcher = std::make_unique<NodeWatcher>(m_dir, std::move(listener));
    }

    std::string name() const override { return "v4l2"; }

private:
    std::string m_dir;
    std::mutex m_lock;
    std::unique_ptr<NodeWatcher> m_watcher;
};

}  // namespace

std::shared_ptr<CaptureBackend> makeV4l2Backend(const std::string& deviceDir) {
    return std::make_shared<V4l2Backend>(deviceDir);
}

}  // namespace OLK
