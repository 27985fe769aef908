#include "sim_driver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <map>
#include <thread>

#include <fmt/format.h>

#include "sim/sim_camera_impl.h"
#include "usb/request_decoder.h"
#include "usb/request_record.h"
#include "usb/usb_descriptors.h"

namespace TVR::Sim {

namespace {

// Status pairs a Windows FX3 driver reports; 0 and 0 is success.
constexpr uint32_t kNtUnsuccessful = 0xC0000001;
constexpr uint32_t kNtCancelled = 0xC0000120;
constexpr uint32_t kNtNoSuchDevice = 0xC000000E;
constexpr uint32_t kUsbdStallPid = 0xC0000004;
constexpr uint32_t kUsbdCanceled = 0xC0010000;
constexpr uint32_t kUsbdDeviceGone = 0xC0007000;

constexpr uint8_t kReqGetStatus = 0;
constexpr uint8_t kReqGetDescriptor = 6;
constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;
constexpr uint8_t kTypeVendor = 0x40;

constexpr uint8_t kEpVendorOut = 0x04;
constexpr uint8_t kEpVendorIn = 0x84;
constexpr uint8_t kEpBitstreamOut = 0x05;
constexpr uint8_t kEpIsochIn = 0x81;

using Clock = std::chrono::steady_clock;
// Writes the outcome into the caller's buffers: data on success, the status pair always.
using Fill = std::function<void(bool success, uint32_t nt, uint32_t usb)>;

}  // namespace

// The driver's records live in a named namespace: SimDriver::Impl holds them.
namespace driver_records {

struct Entry {
    std::shared_ptr<SimCamera> camera;
    std::string path;
    std::string location;
    uint8_t address = 0;
    bool plugged = true;
    // Bumped when the camera re-enumerates: handles of an older generation stay dead.
    uint64_t generation = 0;
    // Bumped by every plug or scheduled return, so a stale return does nothing.
    uint64_t returnTicket = 0;
};

std::string hex4(uint16_t v) { return fmt::format("{:04x}", v); }

std::string simPath(const std::string& location, uint16_t vid, uint16_t pid) {
    return fmt::format("sim:{}:{}:{}", location, hex4(vid), hex4(pid));
}

struct Pending {
    uint64_t handle = 0;
    SimCamera* camera = nullptr;
    uint8_t endpoint = 0;
    std::shared_ptr<OverlappedState> state;
    bool stalled = false;
    Clock::time_point due;
    bool ok = false;
    uint32_t bytes = 0;
    uint32_t syncBytes = 0;
    Fill fill;
    size_t serial = 0;
};

void completePending(Pending& p, bool ok, uint32_t nt, uint32_t usb) {
    // The log entry is marked first so a caller woken by the completion sees it done.
    if (ok) SimDriver::cameraImpl(*p.camera).markCompleted(p.serial);
    p.state->complete(ok, ok ? p.bytes : 0, [&] { p.fill(ok, nt, usb); });
}

}  // namespace driver_records

using driver_records::completePending;
using driver_records::Entry;
using driver_records::Pending;
using driver_records::simPath;

struct SimDriver::Impl {
    mutable std::mutex mutex;
    std::condition_variable cv;
    std::vector<Entry> entries;
    std::map<int, PlugCallback> subscribers;
    int nextToken = 1;
    std::list<Pending> pending;
    // Timed work for the driver's thread (plug events, returns); equal times keep their order.
    std::multimap<Clock::time_point, std::function<void()>> events;
    bool stopping = false;
    uint64_t nextHandle = 1;
    std::atomic<uint64_t> calls{0};
    std::atomic<uint64_t> opens{0};
    std::thread worker;
    SimDriver* self = nullptr;  // for plug events scheduled from a handle

    void run();
    void failPending(const std::function<bool(const Pending&)>& match, uint32_t nt, uint32_t usb);
    void setPlugged(const std::shared_ptr<SimCamera>& cam, bool plugged);
    void leave(const std::shared_ptr<SimCamera>& cam, bool reenumerating);
    void arrive(const std::shared_ptr<SimCamera>& cam, uint16_t productId, uint64_t ticket);
    void notify(PlugEvent e, const std::string& path);
    void notifyLater(PlugEvent e, const std::string& path);
    void schedule(Clock::time_point due, std::function<void()> action);
    bool plugged(const SimCamera* cam) const;
    bool alive(const SimCamera* cam, uint64_t generation) const;

    IoSubmit finish(Pending p, UsbOverlapped* ov, uint32_t* bytesReturned, uint32_t latencyUs);
};

namespace {

bool isQuery(uint32_t code, uint32_t& n) {
    if ((code & ~uint32_t{0x3FC}) != Ioctl::kQueryBase) return false;
    n = (code - Ioctl::kQueryBase) / 4;
    return true;
}

class SimHandle : public UsbDriverHandle {
public:
    SimHandle(std::shared_ptr<SimDriver::Impl> driver, std::shared_ptr<SimCamera> cam, uint64_t id,
              uint8_t address, uint64_t generation)
        : m_driver(std::move(driver)),
          m_camera(std::move(cam)),
          m_id(id),
          m_address(address),
          m_generation(generation) {}
    ~SimHandle() override { close(); }

    IoSubmit ioControl(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out,
                       UsbOverlapped* ov, uint32_t* bytesReturned) override;
    bool close() override;

private:
    IoSubmit abort(std::span<uint8_t> in, UsbOverlapped* ov);
    IoSubmit control(uint32_t code, std::span<uint8_t> in, UsbOverlapped* ov,
                     uint32_t* bytesReturned);
    IoSubmit bulk(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out, UsbOverlapped* ov);
    IoSubmit isoch(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out, UsbOverlapped* ov);
    IoSubmit query(uint32_t code, uint32_t n, std::span<uint8_t> out, UsbOverlapped* ov,
                   uint32_t* bytesReturned);
    bool standardRequest(const SetupPacket& s, std::vector<uint8_t>& reply, uint32_t& actual);
    SimCamera::Impl& cam() { return SimDriver::cameraImpl(*m_camera); }
    SimCamera::Impl::Verdict judge(bool in, UsbOverlapped* ov);
    // Logs a transfer request and starts its pending completion.
    Pending begin(SimRequestRecord r, SimRequestRecord::Kind kind, uint8_t endpoint,
                  uint32_t length, uint32_t timeoutSec, uint32_t code);

    std::shared_ptr<SimDriver::Impl> m_driver;
    std::shared_ptr<SimCamera> m_camera;
    uint64_t m_id;
    uint8_t m_address;
    uint64_t m_generation;
    std::atomic<bool> m_closed{false};
};

}  // namespace

void SimDriver::Impl::run() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        auto next = Clock::time_point::max();
        for (const auto& p : pending) {
            if (!p.stalled) next = std::min(next, p.due);
        }
        if (!events.empty()) next = std::min(next, events.begin()->first);
        if (next == Clock::time_point::max()) {
            cv.wait(lock);
            continue;
        }
        if (Clock::now() < next) {
            cv.wait_until(lock, next);
            continue;
        }
        std::list<Pending> due;
        const auto now = Clock::now();
        for (auto it = pending.begin(); it != pending.end();) {
            auto cur = it++;
            if (!cur->stalled && cur->due <= now) due.splice(due.end(), pending, cur);
        }
        std::vector<std::function<void()>> actions;
        while (!events.empty() && events.begin()->first <= now) {
            actions.push_back(std::move(events.begin()->second));
            events.erase(events.begin());
        }
        lock.unlock();
        for (auto& p : due) {
            completePending(p, p.ok, p.ok ? 0 : kNtUnsuccessful, p.ok ? 0 : kUsbdStallPid);
        }
        for (auto& a : actions) a();
        lock.lock();
    }
}

void SimDriver::Impl::failPending(const std::function<bool(const Pending&)>& match, uint32_t nt,
                                  uint32_t usb) {
    std::list<Pending> failed;
    {
        std::lock_guard lock(mutex);
        for (auto it = pending.begin(); it != pending.end();) {
            auto cur = it++;
            if (match(*cur)) failed.splice(failed.end(), pending, cur);
        }
    }
    for (auto& p : failed) completePending(p, false, nt, usb);
}

bool SimDriver::Impl::alive(const SimCamera* cam, uint64_t generation) const {
    std::lock_guard lock(mutex);
    for (const auto& e : entries) {
        if (e.camera.get() == cam) return e.plugged && !stopping && e.generation == generation;
    }
    return false;
}

void SimDriver::Impl::schedule(Clock::time_point due, std::function<void()> action) {
    {
        std::lock_guard lock(mutex);
        if (stopping) return;
        events.emplace(due, std::move(action));
    }
    cv.notify_all();
}

void SimDriver::Impl::notifyLater(PlugEvent e, const std::string& path) {
    schedule(Clock::now(), [this, e, path] { notify(e, path); });
}

void SimDriver::Impl::leave(const std::shared_ptr<SimCamera>& cam, bool reenumerating) {
    std::string path;
    {
        std::lock_guard lock(mutex);
        auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const Entry& e) { return e.camera == cam; });
        if (it == entries.end()) return;
        if (reenumerating) ++it->generation;
        ++it->returnTicket;
        if (!it->plugged) return;
        it->plugged = false;
        path = it->path;
    }
    const SimCamera* raw = cam.get();
    failPending([raw](const Pending& p) { return p.camera == raw; }, kNtNoSuchDevice,
                kUsbdDeviceGone);
    notifyLater(PlugEvent::Left, path);
}

// Runs on the driver's thread.
void SimDriver::Impl::arrive(const std::shared_ptr<SimCamera>& cam, uint16_t productId,
                             uint64_t ticket) {
    std::string path;
    {
        std::lock_guard lock(mutex);
        auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const Entry& e) { return e.camera == cam; });
        if (it == entries.end() || it->plugged || it->returnTicket != ticket) return;
        auto& camImpl = SimDriver::cameraImpl(*cam);
        {
            std::lock_guard camLock(camImpl.mutex);
            if (camImpl.productId != productId) {
                camImpl.productId = productId;
                ++it->generation;
            }
        }
        it->path = simPath(it->location, cam->config().vendorId, productId);
        it->plugged = true;
        path = it->path;
    }
    notify(PlugEvent::Arrived, path);
}

bool SimDriver::Impl::plugged(const SimCamera* cam) const {
    std::lock_guard lock(mutex);
    for (const auto& e : entries) {
        if (e.camera.get() == cam) return e.plugged && !stopping;
    }
    return false;
}

void SimDriver::Impl::notify(PlugEvent e, const std::string& path) {
    std::vector<PlugCallback> callbacks;
    {
        std::lock_guard lock(mutex);
        for (const auto& [token, cb] : subscribers) callbacks.push_back(cb);
    }
    for (const auto& cb : callbacks) cb(e, path);
}

void SimDriver::Impl::setPlugged(const std::shared_ptr<SimCamera>& cam, bool on) {
    std::string path;
    {
        std::lock_guard lock(mutex);
        auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const Entry& e) { return e.camera == cam; });
        if (it == entries.end() || it->plugged == on) return;
        it->plugged = on;
        path = it->path;
    }
    if (!on) {
        const SimCamera* raw = cam.get();
        failPending([raw](const Pending& p) { return p.camera == raw; }, kNtNoSuchDevice,
                    kUsbdDeviceGone);
    }
    notify(on ? PlugEvent::Arrived : PlugEvent::Left, path);
}

IoSubmit SimDriver::Impl::finish(Pending p, UsbOverlapped* ov, uint32_t* bytesReturned,
                                 uint32_t latencyUs) {
    if (!ov) {
        p.fill(p.ok, p.ok ? 0 : kNtUnsuccessful, p.ok ? 0 : kUsbdStallPid);
        // A synchronous query answers with the whole buffer, as the driver does; a short
        // descriptor leaves the rest of the data area zero.
        if (bytesReturned) *bytesReturned = p.ok ? p.syncBytes : 0;
        if (p.ok) SimDriver::cameraImpl(*p.camera).markCompleted(p.serial);
        return p.ok ? IoSubmit::Done : IoSubmit::Failed;
    }
    p.state = ov->state();
    if (!p.stalled && latencyUs == 0) {
        const bool ok = p.ok;
        completePending(p, ok, ok ? 0 : kNtUnsuccessful, ok ? 0 : kUsbdStallPid);
        return ok ? IoSubmit::Done : IoSubmit::Failed;
    }
    {
        std::lock_guard lock(mutex);
        if (stopping) {
            p.ok = false;
        } else {
            p.due = Clock::now() + std::chrono::microseconds(latencyUs);
            pending.push_back(std::move(p));
            cv.notify_all();
            return IoSubmit::Pending;
        }
    }
    completePending(p, false, kNtCancelled, kUsbdCanceled);
    return IoSubmit::Failed;
}

Pending SimHandle::begin(SimRequestRecord r, SimRequestRecord::Kind kind, uint8_t endpoint,
                         uint32_t length, uint32_t timeoutSec, uint32_t code) {
    r.kind = kind;
    r.endpoint = endpoint;
    r.length = length;
    r.timeoutSec = timeoutSec;
    r.ioctl = code;
    Pending p;
    p.serial = cam().record(r);
    p.handle = m_id;
    p.camera = m_camera.get();
    p.endpoint = endpoint;
    return p;
}

SimCamera::Impl::Verdict SimHandle::judge(bool in, UsbOverlapped* ov) {
    // Synchronous driver queries (the standard descriptor reads) are not transfers: faults
    // count overlapped transfers only.
    if (!ov) return {};
    auto v = cam().judgeTransfer(in);
    if (v.unplug) {
        // Unplugging completes everything in flight; this request fails with it.
        m_driver->setPlugged(m_camera, false);
        if (v.replugMs >= 0) {
            m_driver->self->plugAfter(m_camera, std::chrono::milliseconds(v.replugMs));
        }
    }
    return v;
}

IoSubmit SimHandle::ioControl(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out,
                              UsbOverlapped* ov, uint32_t* bytesReturned) {
    m_driver->calls++;
    if (bytesReturned) *bytesReturned = 0;
    if (m_closed) return IoSubmit::Failed;
    if (code == Ioctl::kAbortPipe) return abort(in, ov);
    if (!m_driver->alive(m_camera.get(), m_generation)) {
        // A vanished device fails at once, with the status a removed device reports.
        if (in.size() >= Rec::kHeaderSize && code != Ioctl::kControlTransfer) {
            putLe32(in, Rec::kNtStatus, kNtNoSuchDevice);
            putLe32(in, Rec::kUsbStatus, kUsbdDeviceGone);
        }
        return IoSubmit::Failed;
    }
    uint32_t n = 0;
    if (code == Ioctl::kControlTransfer) return control(code, in, ov, bytesReturned);
    if (code == Ioctl::kBulkTransfer) return bulk(code, in, out, ov);
    if (code == Ioctl::kIsochTransfer) return isoch(code, in, out, ov);
    if (isQuery(code, n)) return query(code, n, out, ov, bytesReturned);
    return IoSubmit::Failed;
}

bool SimHandle::close() {
    if (m_closed.exchange(true)) return true;
    const uint64_t id = m_id;
    m_driver->failPending([id](const Pending& p) { return p.handle == id; }, kNtCancelled,
                          kUsbdCanceled);
    return true;
}

IoSubmit SimHandle::abort(std::span<uint8_t> in, UsbOverlapped* ov) {
    const auto endpoint = decodeAbortRequest(in);
    if (!endpoint) return IoSubmit::Failed;
    const uint8_t ep = *endpoint;
    SimRequestRecord r;
    r.kind = SimRequestRecord::Kind::Abort;
    r.endpoint = ep;
    r.ioctl = Ioctl::kAbortPipe;
    r.completed = true;
    cam().record(r);
    const uint64_t id = m_id;
    m_driver->failPending([id, ep](const Pending& p) { return p.handle == id && p.endpoint == ep; },
                          kNtCancelled, kUsbdCanceled);
    if (ov) ov->state()->complete(true, 0, {});
    return IoSubmit::Done;
}

bool SimHandle::standardRequest(const SetupPacket& s, std::vector<uint8_t>& reply,
                                uint32_t& actual) {
    if (!s.isIn()) return true;  // SET_FEATURE, SET_INTERFACE and the like: accepted
    if (s.bRequest == kReqGetStatus) {
        actual = static_cast<uint32_t>(std::min<size_t>(2, reply.size()));
        std::fill_n(reply.begin(), actual, 0);
        return true;
    }
    if (s.bRequest != kReqGetDescriptor) return false;
    const uint8_t type = static_cast<uint8_t>(s.wValue >> 8);
    const uint8_t index = static_cast<uint8_t>(s.wValue);
    std::vector<uint8_t> desc;
    switch (type) {
        case DescType::kDevice:
            desc = m_camera->deviceDescriptor();
            break;
        case DescType::kConfiguration:
            desc = index == 0 ? m_camera->configDescriptor() : desc;
            break;
        case DescType::kString:
            desc = m_camera->stringDescriptor(index);
            break;
        case DescType::kBos:
            desc = m_camera->bosDescriptor();
            break;
        default:
            break;
    }
    if (desc.empty()) return false;  // the device stalls an unknown descriptor
    actual = static_cast<uint32_t>(std::min(desc.size(), reply.size()));
    std::copy_n(desc.begin(), actual, reply.begin());
    return true;
}

IoSubmit SimHandle::control(uint32_t code, std::span<uint8_t> in, UsbOverlapped* ov,
                            uint32_t* bytesReturned) {
    std::string error;
    const auto h = decodeControlRequest(in, error);
    if (!h) return IoSubmit::Failed;
    SetupPacket s{h->bmRequestType, h->bRequest, h->wValue, h->wIndex, h->wLength};
    const bool dirIn = s.isIn();
    const uint32_t want = h->wLength;

    SimRequestRecord r;
    r.setup = s;
    Pending p = begin(r, SimRequestRecord::Kind::Control, 0, want, h->timeoutSec, code);

    const auto v = judge(dirIn, ov);
    std::vector<uint8_t> reply(want);
    uint32_t actual = 0;
    bool ok = false;
    if (!v.fail && !v.stall) {
        if (!dirIn) std::copy_n(in.begin() + h->dataOffset, want, reply.begin());
        if ((s.bmRequestType & kTypeMask) == kTypeStandard) {
            ok = standardRequest(s, reply, actual);
        } else if ((s.bmRequestType & kTypeMask) == kTypeVendor) {
            if (auto fw = m_camera->firmware()) ok = fw->controlRequest(s, reply, actual);
        }
        actual = dirIn ? std::min(actual, want) : want;
        if (v.corrupt) {
            for (uint32_t i = 0; i < actual; ++i) reply[i] = static_cast<uint8_t>(~reply[i]);
        }
    }
    p.ok = ok;
    p.stalled = v.stall;
    p.bytes = static_cast<uint32_t>(h->dataOffset + actual);
    p.syncBytes = static_cast<uint32_t>(in.size());
    const size_t offset = h->dataOffset;
    p.fill = [in, dirIn, offset, actual, reply = std::move(reply)](bool success, uint32_t nt,
                                                                   uint32_t usb) {
        if (success && dirIn) {
            std::copy_n(reply.begin(), actual, in.begin() + offset);
            std::fill(in.begin() + offset + actual, in.end(), 0);
        }
        putLe32(in, Rec::kNtStatus, nt);
        putLe32(in, Rec::kUsbStatus, usb);
    };
    return m_driver->finish(std::move(p), ov, bytesReturned, m_camera->faults().latencyUs);
}

IoSubmit SimHandle::bulk(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out,
                         UsbOverlapped* ov) {
    std::string error;
    const auto h = decodeStreamRequest(in, out.size(), error);
    if (!ov || !h) return IoSubmit::Failed;
    const uint8_t ep = h->endpoint;
    const bool dirIn = h->in();
    Pending p = begin({}, SimRequestRecord::Kind::Bulk, ep, static_cast<uint32_t>(out.size()),
                      h->timeoutSec, code);

    const auto v = judge(dirIn, ov);
    std::vector<uint8_t> reply;
    uint32_t actual = 0;
    bool ok = false;
    auto fw = m_camera->firmware();
    if (!v.fail && !v.stall && fw) {
        if (ep == kEpVendorOut || ep == kEpBitstreamOut) {
            // The caller's buffer is read now: the request may complete after it is reused.
            const std::vector<uint8_t> data(out.begin(), out.end());
            ok = fw->bulkOut(ep, data);
            actual = static_cast<uint32_t>(data.size());
        } else if (ep == kEpVendorIn) {
            reply.resize(out.size());
            ok = fw->bulkIn(ep, reply, actual);
            actual = std::min<uint32_t>(actual, static_cast<uint32_t>(reply.size()));
            if (v.corrupt) {
                for (uint32_t i = 0; i < actual; ++i) reply[i] = static_cast<uint8_t>(~reply[i]);
            }
        }
    }
    p.ok = ok;
    p.stalled = v.stall;
    p.bytes = actual;
    p.fill = [in, out, dirIn, actual, reply = std::move(reply)](bool success, uint32_t nt,
                                                                uint32_t usb) {
        if (success && dirIn) std::copy_n(reply.begin(), actual, out.begin());
        putLe32(in, Rec::kNtStatus, nt);
        putLe32(in, Rec::kUsbStatus, usb);
    };
    return m_driver->finish(std::move(p), ov, nullptr, m_camera->faults().latencyUs);
}

IoSubmit SimHandle::isoch(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out,
                          UsbOverlapped* ov) {
    std::string error;
    const auto h = decodeIsochRequest(in, out.size(), error);
    if (!ov || !h) return IoSubmit::Failed;
    const size_t packets = h->packetCount;
    const uint8_t ep = h->stream.endpoint;
    Pending p = begin({}, SimRequestRecord::Kind::Isoch, ep, static_cast<uint32_t>(out.size()),
                      h->stream.timeoutSec, code);

    const auto v = judge(true, ov);
    p.ok = !v.fail && !v.stall && ep == kEpIsochIn;
    p.stalled = v.stall;
    p.bytes = static_cast<uint32_t>(out.size());
    const size_t listOffset = h->packetListOffset;
    // An idle stream: every packet arrives, empty of picture data.
    p.fill = [in, out, packets, listOffset](bool success, uint32_t nt, uint32_t usb) {
        if (success) {
            std::fill(out.begin(), out.end(), 0);
            const size_t per = out.size() / packets;
            for (size_t i = 0; i < packets; ++i) {
                const size_t len = i + 1 == packets ? out.size() - per * i : per;
                putLe32(in, listOffset + i * Rec::kIsoPacketSize, static_cast<uint32_t>(len));
                putLe32(in, listOffset + i * Rec::kIsoPacketSize + 4, 0);
            }
        }
        putLe32(in, Rec::kNtStatus, nt);
        putLe32(in, Rec::kUsbStatus, usb);
    };
    return m_driver->finish(std::move(p), ov, nullptr, m_camera->faults().latencyUs);
}

IoSubmit SimHandle::query(uint32_t code, uint32_t n, std::span<uint8_t> out, UsbOverlapped* ov,
                          uint32_t* bytesReturned) {
    SimRequestRecord r;
    r.kind = SimRequestRecord::Kind::Query;
    r.ioctl = code;
    r.length = static_cast<uint32_t>(out.size());
    r.completed = true;
    cam().record(r);
    const auto& cfg = m_camera->config();
    std::vector<uint8_t> value;
    auto le32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) value.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    switch (n) {
        case Ioctl::kQueryDriverVersion:
            le32(cfg.driverVersion);
            break;
        case Ioctl::kQueryAddress:
            value.push_back(m_address);
            break;
        case Ioctl::kQuerySpeed:
            le32(cfg.usbVersion >= 3 ? kSpeedSuper : kSpeedHigh);
            break;
        case Ioctl::kQueryDeviceName:
        case Ioctl::kQueryFriendlyName: {
            const std::string& t = n == Ioctl::kQueryDeviceName ? cfg.deviceName : cfg.friendlyName;
            if (out.empty()) return IoSubmit::Failed;
            value.assign(t.begin(), t.begin() + std::min(t.size(), out.size() - 1));
            value.resize(out.size(), 0);
            break;
        }
        default:
            return IoSubmit::Failed;
    }
    if (out.size() < value.size()) return IoSubmit::Failed;
    std::fill(out.begin(), out.end(), 0);
    std::copy(value.begin(), value.end(), out.begin());
    const auto count = static_cast<uint32_t>(out.size());
    if (bytesReturned) *bytesReturned = count;
    if (ov) ov->state()->complete(true, count, {});
    return IoSubmit::Done;
}

SimDriver::SimDriver() : m_impl(std::make_shared<Impl>()) {
    m_impl->self = this;
    m_impl->worker = std::thread([impl = m_impl.get()] { impl->run(); });
}

SimDriver::~SimDriver() {
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->stopping = true;
    }
    m_impl->cv.notify_all();
    m_impl->worker.join();
    m_impl->failPending([](const Pending&) { return true; }, kNtCancelled, kUsbdCanceled);
}

std::shared_ptr<SimCamera> SimDriver::addCamera(SimCameraConfig config) {
    std::lock_guard lock(m_impl->mutex);
    Entry e;
    const size_t n = m_impl->entries.size() + 1;
    e.location = config.location.empty() ? fmt::format("1-{}", n) : config.location;
    e.address = config.address ? config.address : static_cast<uint8_t>(n);
    e.path = simPath(e.location, config.vendorId, config.productId);
    e.camera = std::make_shared<SimCamera>(std::move(config));
    m_impl->entries.push_back(e);
    return e.camera;
}

std::vector<std::shared_ptr<SimCamera>> SimDriver::cameras() const {
    std::lock_guard lock(m_impl->mutex);
    std::vector<std::shared_ptr<SimCamera>> out;
    for (const auto& e : m_impl->entries) {
        if (e.plugged) out.push_back(e.camera);
    }
    return out;
}

void SimDriver::unplug(const std::shared_ptr<SimCamera>& cam) { m_impl->setPlugged(cam, false); }

void SimDriver::plug(const std::shared_ptr<SimCamera>& cam) {
    {
        std::lock_guard lock(m_impl->mutex);
        auto it = std::find_if(m_impl->entries.begin(), m_impl->entries.end(),
                               [&](const Entry& e) { return e.camera == cam; });
        if (it == m_impl->entries.end() || it->plugged) return;
        // A return still scheduled is overtaken by this plug.
        ++it->returnTicket;
    }
    auto fw = cam->firmware();
    const uint16_t productId = fw ? fw->powerOn(cam->productId()) : cam->productId();
    {
        std::lock_guard lock(m_impl->mutex);
        auto it = std::find_if(m_impl->entries.begin(), m_impl->entries.end(),
                               [&](const Entry& e) { return e.camera == cam; });
        if (it == m_impl->entries.end() || it->plugged) return;
        auto& camImpl = cameraImpl(*cam);
        std::lock_guard camLock(camImpl.mutex);
        if (camImpl.productId != productId) {
            camImpl.productId = productId;
            ++it->generation;
        }
        it->path = simPath(it->location, cam->config().vendorId, productId);
    }
    m_impl->setPlugged(cam, true);
}

void SimDriver::plugAfter(const std::shared_ptr<SimCamera>& cam,
                          std::chrono::milliseconds delay) {
    std::weak_ptr<SimCamera> weak = cam;
    m_impl->schedule(Clock::now() + delay, [this, weak] {
        if (auto c = weak.lock()) plug(c);
    });
}

void SimDriver::reenumerate(const std::shared_ptr<SimCamera>& cam, std::chrono::milliseconds delay,
                            std::function<uint16_t()> comingBack) {
    m_impl->leave(cam, true);
    uint64_t ticket = 0;
    {
        std::lock_guard lock(m_impl->mutex);
        for (const auto& e : m_impl->entries) {
            if (e.camera == cam) ticket = e.returnTicket;
        }
    }
    if (!comingBack) return;
    Impl* impl = m_impl.get();
    std::weak_ptr<SimCamera> weak = cam;
    m_impl->schedule(Clock::now() + delay, [impl, weak, ticket, back = std::move(comingBack)] {
        auto c = weak.lock();
        if (!c) return;
        const uint16_t pid = back();
        if (pid != 0) impl->arrive(c, pid, ticket);
    });
}

std::string SimDriver::pathOf(const SimCamera& cam) const {
    std::lock_guard lock(m_impl->mutex);
    for (const auto& e : m_impl->entries) {
        if (e.camera.get() == &cam) return e.path;
    }
    return {};
}

uint64_t SimDriver::callCount() const { return m_impl->calls; }

uint64_t SimDriver::openCount() const { return m_impl->opens; }

std::vector<std::string> SimDriver::interfacePaths(const Guid& interfaceClass) {
    m_impl->calls++;
    std::vector<std::string> out;
    if (interfaceClass != kCyUsbDriverGuid) return out;
    std::lock_guard lock(m_impl->mutex);
    for (const auto& e : m_impl->entries) {
        if (e.plugged) out.push_back(e.path);
    }
    return out;
}

std::unique_ptr<UsbDriverHandle> SimDriver::open(const std::string& path) {
    m_impl->calls++;
    m_impl->opens++;
    std::lock_guard lock(m_impl->mutex);
    for (const auto& e : m_impl->entries) {
        if (e.path != path || !e.plugged) continue;
        if (e.camera->config().openFails) return nullptr;
        return std::make_unique<SimHandle>(m_impl, e.camera, m_impl->nextHandle++, e.address,
                                           e.generation);
    }
    return nullptr;
}

std::string SimDriver::location(const std::string& path) {
    m_impl->calls++;
    std::lock_guard lock(m_impl->mutex);
    for (const auto& e : m_impl->entries) {
        if (e.path == path) return e.location;
    }
    return {};
}

int SimDriver::subscribe(PlugCallback cb) {
    std::lock_guard lock(m_impl->mutex);
    const int token = m_impl->nextToken++;
    m_impl->subscribers.emplace(token, std::move(cb));
    return token;
}

void SimDriver::unsubscribe(int token) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->subscribers.erase(token);
}

}  // namespace TVR::Sim
