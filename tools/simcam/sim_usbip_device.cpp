#include "sim_usbip_device.h"

#include <algorithm>

#include "usb/request_record.h"

namespace TVR::Simcam {

using Usbip::Submit;
using Usbip::SubmitReply;

namespace {

constexpr uint8_t kReqSetInterface = 11;
constexpr uint8_t kRecipientInterface = 0x01;
constexpr uint32_t kNtNoSuchDevice = 0xC000000E;
// The request record's time-out; the host's own time-out unlinks the URB long before.
constexpr uint32_t kRecordTimeoutSec = 30;
constexpr uint32_t kWaitSliceMs = 200;

bool isSimEndpoint(uint8_t address) {
    return address == 0x00 || address == 0x04 || address == 0x84 || address == 0x05;
}

}  // namespace

SimUsbipDevice::SimUsbipDevice(Sim::SimDriver& driver, std::shared_ptr<Sim::SimCamera> camera)
    : m_driver(driver),
      m_camera(std::move(camera)),
      m_path(driver.pathOf(*m_camera)),
      m_superSpeed(m_camera->config().usbVersion >= 3),
      m_uvc(std::make_unique<UvcFunction>(m_camera, m_superSpeed)) {}

SimUsbipDevice::~SimUsbipDevice() { disconnect(); }

SimUsbipDevice::Endpoint* SimUsbipDevice::endpointFor(uint8_t address) {
    auto it = m_endpoints.find(address);
    if (it != m_endpoints.end()) return it->second.get();
    auto ep = std::make_unique<Endpoint>();
    ep->address = address;
    Endpoint* raw = ep.get();
    raw->worker = std::thread([this, raw] { work(*raw); });
    m_endpoints.emplace(address, std::move(ep));
    return raw;
}

void SimUsbipDevice::submit(Submit urb, Completion done) {
    const uint8_t address = urb.address();
    if (address == kVideoEndpoint) {
        m_uvc->submitVideo(std::move(urb), std::move(done));
        return;
    }
    std::unique_lock lock(m_mutex);
    if (m_stopping) return;
    if (!isSimEndpoint(address)) {
        // The status interrupt endpoint has nothing to report: its URB waits for an unlink.
        const uint32_t seq = urb.seqnum;
        m_held.emplace(seq, Item{std::move(urb), std::move(done)});
        return;
    }
    Endpoint* ep = endpointFor(address);
    ep->queue.push_back({std::move(urb), std::move(done)});
    m_cv.notify_all();
}

void SimUsbipDevice::cancel(uint32_t seqnum) {
    m_uvc->cancel(seqnum);
    std::lock_guard lock(m_mutex);
    m_held.erase(seqnum);
    for (auto& [address, ep] : m_endpoints) {
        std::erase_if(ep->queue, [&](const Item& i) { return i.urb.seqnum == seqnum; });
        if (ep->busy && ep->current == seqnum && ep->handle) {
            ep->cancelled = true;
            uint8_t a = address;
            ep->handle->ioControl(Ioctl::kAbortPipe, std::span<uint8_t>(&a, 1), {}, nullptr,
                                  nullptr);
        }
    }
}

void SimUsbipDevice::disconnect() {
    m_uvc->disconnect();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_held.clear();
        for (auto& [address, ep] : m_endpoints) {
            ep->queue.clear();
            if (ep->busy && ep->handle) {
                uint8_t a = address;
                ep->handle->ioControl(Ioctl::kAbortPipe, std::span<uint8_t>(&a, 1), {}, nullptr,
                                      nullptr);
            }
            if (ep->worker.joinable()) workers.push_back(std::move(ep->worker));
        }
        m_cv.notify_all();
    }
    for (auto& w : workers) w.join();
}

void SimUsbipDevice::work(Endpoint& ep) {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (ep.queue.empty()) {
            m_cv.wait(lock);
            continue;
        }
        Item item = std::move(ep.queue.front());
        ep.queue.pop_front();
        ep.busy = true;
        ep.cancelled = false;
        ep.current = item.urb.seqnum;
        if (!ep.handle) ep.handle = m_driver.open(m_path);
        lock.unlock();
        SubmitReply reply = carryOut(ep, item.urb);
        lock.lock();
        ep.busy = false;
        ep.current = 0;
        if (m_stopping) break;
        lock.unlock();
        item.done(std::move(reply));
        lock.lock();
        m_cv.notify_all();
    }
}

void SimUsbipDevice::drain(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_cv.wait_for(lock, limit, [&] {
        return std::all_of(m_endpoints.begin(), m_endpoints.end(), [](const auto& e) {
            return !e.second->busy && e.second->queue.empty();
        });
    });
}

SubmitReply SimUsbipDevice::carryOut(Endpoint& ep, const Submit& urb) {
    if (ep.address == 0) {
        const auto& s = urb.setup;
        if (UvcFunction::isClassRequest(s)) return m_uvc->classRequest(urb);
        if (s.bmRequestType == kRecipientInterface && s.bRequest == kReqSetInterface) {
            m_uvc->setInterface(s.wIndex, s.wValue);
            return {};
        }
        return control(ep, urb);
    }
    return bulk(ep, urb);
}

void SimUsbipDevice::abortIfCancelled(Endpoint& ep) {
    std::lock_guard lock(m_mutex);
    if (!ep.cancelled && !m_stopping) return;
    uint8_t a = ep.address;
    ep.handle->ioControl(Ioctl::kAbortPipe, std::span<uint8_t>(&a, 1), {}, nullptr, nullptr);
}

namespace {

// Waits for the overlapped; an abort (unlink, disconnect) completes it as failed.
bool finish(IoSubmit submitted, UsbOverlapped& ov, uint32_t& bytes) {
    if (submitted == IoSubmit::Failed) return false;
    while (!ov.wait(kWaitSliceMs)) {
    }
    return ov.result(bytes);
}

SubmitReply failure(std::span<const uint8_t> record) {
    SubmitReply r;
    r.status = getLe32(record, Rec::kNtStatus) == kNtNoSuchDevice ? Usbip::kStatusNoDevice
                                                                  : Usbip::kStatusStall;
    return r;
}

}  // namespace

SubmitReply SimUsbipDevice::control(Endpoint& ep, const Submit& urb) {
    const auto& s = urb.setup;
    if (!ep.handle) return {Usbip::kStatusNoDevice, {}, {}, 0, 0};
    auto rec = makeControlRecord(s.bmRequestType, s.bRequest, s.wValue, s.wIndex, s.wLength,
                                 kRecordTimeoutSec);
    const bool in = (s.bmRequestType & 0x80) != 0;
    if (!in) {
        std::copy_n(urb.data.begin(), std::min<size_t>(urb.data.size(), s.wLength),
                    rec.begin() + Rec::kHeaderSize);
    }
    uint32_t bytes = 0;
    UsbOverlapped ov;
    const auto submitted = ep.handle->ioControl(Ioctl::kControlTransfer, rec, rec, &ov, nullptr);
    abortIfCancelled(ep);
    if (!finish(submitted, ov, bytes)) return failure(rec);
    SubmitReply r;
    if (in) {
        const size_t actual =
            std::min<size_t>(bytes > Rec::kHeaderSize ? bytes - Rec::kHeaderSize : 0,
                             std::min<size_t>(s.wLength, urb.transferLength));
        r.data.assign(rec.begin() + Rec::kHeaderSize,
                      rec.begin() + static_cast<ptrdiff_t>(Rec::kHeaderSize + actual));
    }
    return r;
}

SubmitReply SimUsbipDevice::bulk(Endpoint& ep, const Submit& urb) {
    if (!ep.handle) return {Usbip::kStatusNoDevice, {}, {}, 0, 0};
    auto rec = makeRequestRecord(0);
    RequestHeader h;
    decodeRequestHeader(rec, h);
    h.endpoint = ep.address;
    h.timeoutSec = kRecordTimeoutSec;
    encodeRequestHeader(h, rec);
    std::vector<uint8_t> buffer = urb.isIn() ? std::vector<uint8_t>(urb.transferLength) : urb.data;
    uint32_t bytes = 0;
    UsbOverlapped ov;
    const auto submitted = ep.handle->ioControl(Ioctl::kBulkTransfer, rec, buffer, &ov, nullptr);
    abortIfCancelled(ep);
    if (!finish(submitted, ov, bytes)) return failure(rec);
    SubmitReply r;
    if (urb.isIn()) {
        buffer.resize(std::min<size_t>(bytes, buffer.size()));
        r.data = std::move(buffer);
    }
    return r;
}

}  // namespace TVR::Simcam
