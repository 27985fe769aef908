#include "usbip_connection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace TVR::Usbip {

UsbipConnection::UsbipConnection(int fd, std::shared_ptr<UsbipDevice> device)
    : m_fd(fd), m_device(std::move(device)) {}

UsbipConnection::~UsbipConnection() {
    stop();
    if (m_fd >= 0) ::close(m_fd);
}

void UsbipConnection::setClosedHandler(std::function<void(const std::string&)> handler) {
    m_onClosed = std::move(handler);
}

void UsbipConnection::start() { m_reader = std::thread([this] { readLoop(); }); }

void UsbipConnection::stop() {
    std::lock_guard stopLock(m_stopMutex);
    if (m_stopped) return;
    m_stopped = true;
    m_stopping = true;
    ::shutdown(m_fd, SHUT_RDWR);
    if (m_reader.joinable()) m_reader.join();
    m_device->disconnect();
    std::lock_guard lock(m_writeMutex);
    m_outstanding.clear();
    m_closed = true;
}

void UsbipConnection::finishSending() {
    std::lock_guard lock(m_writeMutex);
    m_outstanding.clear();
    ::shutdown(m_fd, SHUT_WR);
}

bool UsbipConnection::readFully(uint8_t* data, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::recv(m_fd, data + got, size - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

bool UsbipConnection::writeAll(const std::vector<uint8_t>& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void UsbipConnection::readLoop() {
    std::string reason = "connection closed by the host";
    std::vector<uint8_t> body;
    while (!m_stopping) {
        std::array<uint8_t, kHeaderSize> header{};
        if (!readFully(header.data(), header.size())) break;
        size_t following = 0;
        std::string error;
        auto h = decodeCommandHeader(std::span<const uint8_t, kHeaderSize>(header), following,
                                     error);
        if (!h) {
            reason = error;
            break;
        }
        if (h->command == kCmdUnlink) {
            unlink(Unlink{h->seqnum, h->devid, h->unlinkSeqnum});
            continue;
        }
        body.resize(following);
        if (following > 0 && !readFully(body.data(), following)) break;
        Submit urb;
        if (!completeSubmit(*h, body, urb, error)) {
            reason = error;
            break;
        }
        {
            std::lock_guard lock(m_writeMutex);
            m_outstanding.insert(urb.seqnum);
        }
        ++m_submitted;
        const Submit header2 = [&] {
            Submit s = urb;
            s.data.clear();
            return s;
        }();
        m_device->submit(std::move(urb), [this, header2](const SubmitReply& reply) {
            complete(header2, reply);
        });
    }
    m_closed = true;
    if (!m_stopping && m_onClosed) m_onClosed(reason);
    // The host must see the end too: vhci_hcd then disconnects the device.
    ::shutdown(m_fd, SHUT_RDWR);
}

void UsbipConnection::complete(const Submit& urb, const SubmitReply& reply) {
    std::lock_guard lock(m_writeMutex);
    if (m_outstanding.erase(urb.seqnum) == 0) return;  // unlinked, or the connection ended
    writeAll(encodeRetSubmit(urb, reply));
}

void UsbipConnection::unlink(const Unlink& u) {
    bool cancelled = false;
    {
        std::lock_guard lock(m_writeMutex);
        cancelled = m_outstanding.erase(u.target) > 0;
        // Answered under the same lock as RET_SUBMIT, so the host sees exactly one of them.
        writeAll(encodeRetUnlink(u.seqnum, cancelled ? kStatusUnlinked : kStatusOk));
    }
    if (cancelled) m_device->cancel(u.target);
}

}  // namespace TVR::Usbip
