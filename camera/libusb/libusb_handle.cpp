#include "libusb_handle.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "libusb/camera_products.h"
#include "libusb/driver_status.h"
#include "libusb/libusb_context.h"
#include "libusb/transfer_request.h"
#include "usb/request_record.h"

namespace TVR::Libusb {

// What a transfer carries; LibusbHandle::Transfer keeps it, so it has external linkage.
enum class Kind { Control, Stream, Isoch };

namespace {

// A synchronous query never waits forever, even when its record carries no time-out.
constexpr unsigned kSyncDefaultTimeoutMs = 5000;
constexpr size_t kNameQueryMax = 256;

// memcpy that tolerates the null data() of empty spans.
void copyBytes(uint8_t* dst, const uint8_t* src, size_t n) {
    if (n > 0) std::memcpy(dst, src, n);
}

void writeStatus(std::span<uint8_t> record, TransferOutcome outcome) {
    const DriverStatus s = driverStatus(outcome);
    putLe32(record, Rec::kNtStatus, s.ntStatus);
    putLe32(record, Rec::kUsbStatus, s.usbStatus);
}

// Fails a request that never reached the bus, still reporting its status in the record.
IoSubmit reject(std::span<uint8_t> record, UsbOverlapped* ov, TransferOutcome outcome,
                const std::string& why) {
    trace(why);
    if (ov) {
        ov->state()->complete(false, 0, [&] { writeStatus(record, outcome); });
    } else {
        writeStatus(record, outcome);
    }
    return IoSubmit::Failed;
}

uint32_t libusbVersionNumber() {
    const libusb_version* v = libusb_get_version();
    return (static_cast<uint32_t>(v->major) << 16) | (static_cast<uint32_t>(v->minor) << 8) |
           static_cast<uint32_t>(v->micro & 0xFF);
}

uint32_t speedCode(int speed) {
    switch (speed) {
        case LIBUSB_SPEED_LOW:
        case LIBUSB_SPEED_FULL:
            return 1;
        case LIBUSB_SPEED_HIGH:
            return kSpeedHigh;
        case LIBUSB_SPEED_SUPER:
        case LIBUSB_SPEED_SUPER_PLUS:
            return kSpeedSuper;
        default:
            return 0;
    }
}

// A little-endian value into a query buffer at least `size` bytes long; the rest is zeroed.
IoSubmit answerValue(std::span<uint8_t> out, uint32_t value, size_t size, uint32_t* bytesReturned) {
    if (out.size() < size) return IoSubmit::Failed;
    std::fill(out.begin(), out.end(), 0);
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
    if (bytesReturned) *bytesReturned = static_cast<uint32_t>(out.size());
    return IoSubmit::Done;
}

IoSubmit answerText(std::span<uint8_t> out, const std::string& text, uint32_t* bytesReturned) {
    if (out.empty()) return IoSubmit::Failed;
    std::fill(out.begin(), out.end(), 0);
    const size_t n = std::min({text.size(), out.size() - 1, kNameQueryMax - 1});
    std::memcpy(out.data(), text.data(), n);
    if (bytesReturned) *bytesReturned = static_cast<uint32_t>(out.size());
    return IoSubmit::Done;
}

}  // namespace

// One submitted transfer. Owns libusb's transfer and buffer; refers to the caller's record and
// buffer, which are written only through the overlapped's fill step.
struct LibusbHandle::Transfer {
    LibusbHandle* owner = nullptr;
    Kind kind = Kind::Control;
    uint8_t endpoint = 0;
    bool in = false;
    libusb_transfer* xfer = nullptr;
    std::vector<uint8_t> buffer;
    std::shared_ptr<OverlappedState> ov;
    std::span<uint8_t> record;
    std::span<uint8_t> out;
    size_t dataOffset = 0;        // control: data area in the record
    size_t packetListOffset = 0;  // isochronous: packet list in the record

    ~Transfer() {
        if (xfer) libusb_free_transfer(xfer);
    }

    void complete() {
        const TransferOutcome outcome = outcomeOfTransferStatus(xfer->status);
        const bool ok = outcome == TransferOutcome::Completed;
        const size_t actual = static_cast<size_t>(std::max(xfer->actual_length, 0));
        switch (kind) {
            case Kind::Control: {
                // As with the FX3 driver, the byte count of a control request includes the
                // record's header.
                const uint64_t bytes = dataOffset + actual;
                ov->complete(ok, static_cast<uint32_t>(bytes), [&] {
                    if (in && out.size() > dataOffset) {
                        const size_t n = std::min(actual, out.size() - dataOffset);
                        copyBytes(out.data() + dataOffset, libusb_control_transfer_get_data(xfer),
                                  n);
                    }
                    writeStatus(record, outcome);
                });
                break;
            }
            case Kind::Stream:
                ov->complete(ok, static_cast<uint32_t>(actual), [&] {
                    if (in) copyBytes(out.data(), buffer.data(), std::min(actual, out.size()));
                    writeStatus(record, outcome);
                });
                break;
            case Kind::Isoch: {
                uint64_t total = 0;
                for (int i = 0; i < xfer->num_iso_packets; ++i) {
                    total += xfer->iso_packet_desc[i].actual_length;
                }
                ov->complete(ok, static_cast<uint32_t>(total), [&] {
                    size_t pos = 0;
                    for (int i = 0; i < xfer->num_iso_packets; ++i) {
                        const libusb_iso_packet_descriptor& p = xfer->iso_packet_desc[i];
                        // Packets keep their place in the buffer; the packet list says how much
                        // of each place holds data.
                        if (in && pos < out.size()) {
                            const size_t n = std::min<size_t>(
                                std::min<size_t>(p.actual_length, p.length), out.size() - pos);
                            copyBytes(out.data() + pos, buffer.data() + pos, n);
                        }
                        pos += p.length;
                        const size_t entry = packetListOffset + Rec::kIsoPacketSize * i;
                        putLe32(record, entry, p.actual_length);
                        putLe32(record, entry + 4,
                                driverStatus(outcomeOfTransferStatus(p.status)).usbStatus);
                    }
                    writeStatus(record, outcome);
                });
                break;
            }
        }
    }
};

std::unique_ptr<LibusbHandle> LibusbHandle::open(std::shared_ptr<Context> context,
                                                 libusb_device* dev, const DevicePath& path) {
    libusb_device_handle* h = nullptr;
    const int rc = libusb_open(dev, &h);
    if (rc != LIBUSB_SUCCESS) {
        trace(fmt::format("cannot open {}: {}", formatDevicePath(path), libusb_error_name(rc)));
        return nullptr;
    }
    std::unique_ptr<LibusbHandle> handle(new LibusbHandle(std::move(context), h, path));
    handle->mapEndpoints();
    return handle;
}

LibusbHandle::LibusbHandle(std::shared_ptr<Context> context, libusb_device_handle* dev,
                           DevicePath path)
    : m_context(std::move(context)), m_dev(dev), m_path(std::move(path)) {}

LibusbHandle::~LibusbHandle() { close(); }

void LibusbHandle::mapEndpoints() {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(libusb_get_device(m_dev), &config) != LIBUSB_SUCCESS) {
        return;
    }
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& itf = config->interface[i];
        for (int a = 0; a < itf.num_altsetting; ++a) {
            const libusb_interface_descriptor& alt = itf.altsetting[a];
            if (alt.bInterfaceClass == kVendorSpecificClass && m_vendorInterface < 0) {
                m_vendorInterface = alt.bInterfaceNumber;
            }
            // The lowest alternate setting that has an endpoint is where it gets bandwidth.
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                EndpointHome home{alt.bInterfaceNumber, alt.bAlternateSetting, 0};
                if ((ep.bmAttributes & 3) == LIBUSB_TRANSFER_TYPE_ISOCHRONOUS) {
                    libusb_ss_endpoint_companion_descriptor* ss = nullptr;
                    const bool companion = libusb_get_ss_endpoint_companion_descriptor(
                                               m_context->ctx(), &ep, &ss) == LIBUSB_SUCCESS;
                    home.isoPacketBytes = isoServiceIntervalBytes(ep.wMaxPacketSize, companion,
                                                                  companion ? ss->bMaxBurst : 0,
                                                                  companion ? ss->bmAttributes : 0);
                    if (ss) libusb_free_ss_endpoint_companion_descriptor(ss);
                }
                m_endpoints.emplace(ep.bEndpointAddress, home);
            }
        }
    }
    libusb_free_config_descriptor(config);
}

bool LibusbHandle::close() {
    {
        std::unique_lock lock(m_mutex);
        if (m_closed) return true;
        m_closed = true;
        for (Transfer* t : m_inFlight) libusb_cancel_transfer(t->xfer);
        // Every cancelled transfer still completes through the event thread; only then may
        // its buffers and the device handle go.
        m_idle.wait(lock, [&] { return m_inFlight.empty(); });
    }
    std::lock_guard claims(m_claimMutex);
    for (int itf : m_claimed) libusb_release_interface(m_dev, itf);
    for (int itf : m_detached) libusb_attach_kernel_driver(m_dev, itf);
    m_claimed.clear();
    m_detached.clear();
    libusb_close(m_dev);
    m_dev = nullptr;
    return true;
}

IoSubmit LibusbHandle::ioControl(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out,
                                 UsbOverlapped* ov, uint32_t* bytesReturned) {
    if (bytesReturned) *bytesReturned = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return IoSubmit::Failed;
    }
    switch (code) {
        case Ioctl::kControlTransfer:
            // The same code is driver query 8: without an overlapped it is synchronous.
            static_assert(Ioctl::kControlTransfer == Ioctl::query(Ioctl::kQueryControl));
            if (!ov) return syncControl(in, out, bytesReturned);
            return submitControl(in, out, ov);
        case Ioctl::kBulkTransfer:
        case Ioctl::kIsochTransfer:
            return submitStream(code, in, out, ov);
        case Ioctl::kAbortPipe:
            return abortEndpoint(in, ov);
        default:
            break;
    }
    if ((code & ~0xFFFu) == Ioctl::kQueryBase && (code & 3) == 0) {
        return query((code & 0xFFF) / 4, out, bytesReturned);
    }
    trace(fmt::format("unknown I/O-control code 0x{:06X}", code));
    return IoSubmit::Failed;
}

IoSubmit LibusbHandle::submitControl(std::span<uint8_t> in, std::span<uint8_t> out,
                                     UsbOverlapped* ov) {
    std::string error;
    auto built = buildControlTransfer(in, error);
    if (!built) return reject(in, ov, TransferOutcome::InvalidRequest, error);
    static_assert(kSetupSize == LIBUSB_CONTROL_SETUP_SIZE);
    auto t = std::make_unique<Transfer>();
    t->kind = Kind::Control;
    t->in = built->request.in();
    t->record = in;
    t->out = out;
    t->dataOffset = built->request.dataOffset;
    t->ov = ov->state();
    t->buffer = std::move(built->buffer);
    t->xfer = libusb_alloc_transfer(0);
    if (!t->xfer) return reject(in, ov, TransferOutcome::Failed, "out of transfers");
    libusb_fill_control_transfer(t->xfer, m_dev, t->buffer.data(), &LibusbHandle::onTransferDone,
                                 t.get(), built->timeoutMs);
    return submit(std::move(t));
}

IoSubmit LibusbHandle::submitStream(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out,
                                    UsbOverlapped* ov) {
    std::string error;
    auto built = buildStreamTransfer(code, in, out, error);
    if (!built) return reject(in, ov, TransferOutcome::InvalidRequest, error);
    if (!ov) return reject(in, ov, TransferOutcome::InvalidRequest, "transfer without overlapped");
    const StreamRequest& req = built->request;
    if (!prepareEndpoint(req.endpoint)) {
        return reject(in, ov, TransferOutcome::InvalidRequest,
                      fmt::format("endpoint 0x{:02X} is not usable", req.endpoint));
    }
    auto t = std::make_unique<Transfer>();
    t->kind = built->isoch ? Kind::Isoch : Kind::Stream;
    t->endpoint = req.endpoint;
    t->in = req.in();
    t->record = in;
    t->out = out;
    t->ov = ov->state();
    t->buffer = std::move(built->buffer);
    const int length = static_cast<int>(req.length);
    if (built->isoch) {
        const auto lengths = isoPacketLengths(req.length, built->packetCount,
                                              m_endpoints.at(req.endpoint).isoPacketBytes);
        t->packetListOffset = built->packetListOffset;
        t->xfer = libusb_alloc_transfer(static_cast<int>(lengths.size()));
        if (!t->xfer) return reject(in, ov, TransferOutcome::Failed, "out of transfers");
        libusb_fill_iso_transfer(t->xfer, m_dev, req.endpoint, t->buffer.data(), length,
                                 static_cast<int>(lengths.size()), &LibusbHandle::onTransferDone,
                                 t.get(), built->timeoutMs);
        for (size_t i = 0; i < lengths.size(); ++i) t->xfer->iso_packet_desc[i].length = lengths[i];
    } else {
        t->xfer = libusb_alloc_transfer(0);
        if (!t->xfer) return reject(in, ov, TransferOutcome::Failed, "out of transfers");
        libusb_fill_bulk_transfer(t->xfer, m_dev, req.endpoint, t->buffer.data(), length,
                                  &LibusbHandle::onTransferDone, t.get(), built->timeoutMs);
    }
    return submit(std::move(t));
}

IoSubmit LibusbHandle::submit(std::unique_ptr<Transfer> t) {
    t->owner = this;
    Transfer* raw = t.get();
    int rc = LIBUSB_SUCCESS;
    {
        // In the set before submitting: the completion may arrive before submit returns.
        std::lock_guard lock(m_mutex);
        if (m_closed) {
            rc = LIBUSB_ERROR_NO_DEVICE;
        } else {
            m_inFlight.insert(raw);
            rc = libusb_submit_transfer(raw->xfer);
            if (rc == LIBUSB_SUCCESS) {
                // m_inFlight owns it until the completion callback.
                static_cast<void>(t.release());
                return IoSubmit::Pending;
            }
            m_inFlight.erase(raw);
        }
    }
    const TransferOutcome outcome = outcomeOfError(rc);
    trace(fmt::format("submit failed: {}", libusb_error_name(rc)));
    raw->ov->complete(false, 0, [&] { writeStatus(raw->record, outcome); });
    return IoSubmit::Failed;
}

void LIBUSB_CALL LibusbHandle::onTransferDone(libusb_transfer* x) {
    auto* t = static_cast<Transfer*>(x->user_data);
    t->complete();
    t->owner->finished(t);
}

void LibusbHandle::finished(Transfer* t) {
    std::lock_guard lock(m_mutex);
    m_inFlight.erase(t);
    delete t;
    // Under the lock: once close() sees the set empty the handle may be gone.
    m_idle.notify_all();
}

IoSubmit LibusbHandle::abortEndpoint(std::span<const uint8_t> in, UsbOverlapped* ov) {
    const auto endpoint = decodeAbortRequest(in);
    if (!endpoint) return IoSubmit::Failed;
    {
        std::lock_guard lock(m_mutex);
        for (Transfer* t : m_inFlight) {
            // Endpoint 0 is the control pipe: it aborts the control transfers.
            const bool onEndpoint =
                t->kind == Kind::Control ? *endpoint == 0 : t->endpoint == *endpoint;
            if (onEndpoint) libusb_cancel_transfer(t->xfer);
        }
    }
    // The cancelled transfers complete, with failure, on their own overlappeds.
    if (ov) ov->state()->complete(true, 0, {});
    return IoSubmit::Done;
}

bool LibusbHandle::prepareEndpoint(uint8_t endpoint) {
    const auto it = m_endpoints.find(endpoint);
    if (it == m_endpoints.end()) return false;
    const EndpointHome home = it->second;
    std::lock_guard lock(m_claimMutex);
    if (m_claimed.count(home.interfaceNumber)) return true;
    // The vendor interface is ours to take from any kernel driver; the video interface belongs
    // to the capture side and is used only when nothing else holds it.
    if (home.interfaceNumber == m_vendorInterface &&
        libusb_kernel_driver_active(m_dev, home.interfaceNumber) == 1) {
        if (libusb_detach_kernel_driver(m_dev, home.interfaceNumber) == LIBUSB_SUCCESS) {
            m_detached.insert(home.interfaceNumber);
        }
    }
    int rc = libusb_claim_interface(m_dev, home.interfaceNumber);
    if (rc != LIBUSB_SUCCESS) {
        trace(fmt::format("cannot claim interface {}: {}", home.interfaceNumber,
                          libusb_error_name(rc)));
        return false;
    }
    m_claimed.insert(home.interfaceNumber);
    if (home.altSetting != 0) {
        rc = libusb_set_interface_alt_setting(m_dev, home.interfaceNumber, home.altSetting);
        if (rc != LIBUSB_SUCCESS) {
            trace(fmt::format("cannot select alternate setting {} of interface {}: {}",
                              home.altSetting, home.interfaceNumber, libusb_error_name(rc)));
            libusb_release_interface(m_dev, home.interfaceNumber);
            m_claimed.erase(home.interfaceNumber);
            return false;
        }
    }
    return true;
}

IoSubmit LibusbHandle::query(uint32_t n, std::span<uint8_t> out, uint32_t* bytesReturned) {
    libusb_device* dev = libusb_get_device(m_dev);
    switch (n) {
        case Ioctl::kQueryDriverVersion:
            return answerValue(out, libusbVersionNumber(), 4, bytesReturned);
        case Ioctl::kQueryAddress:
            return answerValue(out, libusb_get_device_address(dev), 1, bytesReturned);
        case Ioctl::kQuerySpeed:
            return answerValue(out, speedCode(libusb_get_device_speed(dev)), 4, bytesReturned);
        case Ioctl::kQueryDeviceName:
        case Ioctl::kQueryFriendlyName: {
            const CameraProduct* product = findCameraProduct(m_path.vendorId, m_path.productId);
            std::string name = product ? product->name : "USB device";
            libusb_device_descriptor desc{};
            if (n == Ioctl::kQueryFriendlyName &&
                libusb_get_device_descriptor(dev, &desc) == LIBUSB_SUCCESS && desc.iProduct != 0) {
                unsigned char text[kNameQueryMax] = {};
                const int len = libusb_get_string_descriptor_ascii(m_dev, desc.iProduct, text,
                                                                   sizeof(text) - 1);
                if (len > 0) name.assign(reinterpret_cast<const char*>(text), len);
            }
            return answerText(out, name, bytesReturned);
        }
        default:
            trace(fmt::format("driver query {} is not supported", n));
            return IoSubmit::Failed;
    }
}

IoSubmit LibusbHandle::syncControl(std::span<uint8_t> in, std::span<uint8_t> out,
                                   uint32_t* bytesReturned) {
    std::string error;
    const auto req = decodeControlRequest(in, error);
    if (!req) return reject(in, nullptr, TransferOutcome::InvalidRequest, error);
    if (req->in() &&
        (out.size() < req->dataOffset || out.size() - req->dataOffset < req->wLength)) {
        return reject(in, nullptr, TransferOutcome::InvalidRequest, "reply buffer too short");
    }
    std::vector<uint8_t> data(std::max<size_t>(req->wLength, 1), 0);
    if (!req->in()) copyBytes(data.data(), in.data() + req->dataOffset, req->wLength);
    const uint32_t requested = recordTimeoutMs(req->timeoutSec);
    const unsigned timeout = requested ? requested : kSyncDefaultTimeoutMs;
    const int rc = libusb_control_transfer(m_dev, req->bmRequestType, req->bRequest, req->wValue,
                                           req->wIndex, data.data(), req->wLength, timeout);
    if (rc < 0) {
        return reject(in, nullptr, outcomeOfError(rc),
                      fmt::format("control request 0x{:02X} failed: {}", req->bRequest,
                                  libusb_error_name(rc)));
    }
    if (req->in()) copyBytes(out.data() + req->dataOffset, data.data(), static_cast<size_t>(rc));
    writeStatus(in, TransferOutcome::Completed);
    if (bytesReturned) *bytesReturned = static_cast<uint32_t>(out.size());
    return IoSubmit::Done;
}

}  // namespace TVR::Libusb
