#include "usbip_host_helpers.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "simcam_cameras.h"

namespace TVR::Simcam::Testing {

namespace {
// Only a guard against a hang: a healthy reply arrives in microseconds.
constexpr int kGuardMs = 10000;
}  // namespace

HostEnd::~HostEnd() { close(); }

void HostEnd::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

uint32_t HostEnd::submit(Usbip::Submit s) {
    s.seqnum = m_seq++;
    const auto bytes = Usbip::encodeSubmit(s);
    EXPECT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
    m_sent[s.seqnum] = s;
    return s.seqnum;
}

uint32_t HostEnd::unlink(uint32_t target) {
    Usbip::Unlink u{m_seq++, 0, target};
    const auto bytes = Usbip::encodeUnlink(u);
    EXPECT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
    return u.seqnum;
}

bool HostEnd::readFully(uint8_t* p, size_t n) {
    size_t got = 0;
    while (got < n) {
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, kGuardMs) <= 0) return false;
        const ssize_t r = ::recv(m_fd, p + got, n - got, 0);
        if (r <= 0) return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

std::optional<Reply> HostEnd::read() {
    std::array<uint8_t, Usbip::kHeaderSize> h{};
    if (!readFully(h.data(), h.size())) return std::nullopt;
    Reply r;
    r.header = Usbip::decodeReplyHeader(h);
    if (r.header.command != Usbip::kRetSubmit) return r;
    const auto it = m_sent.find(r.header.seqnum);
    if (it == m_sent.end()) return r;
    const Usbip::Submit s = it->second;
    m_sent.erase(it);
    if (s.isIn() && r.header.actualLength > 0) {
        r.data.resize(static_cast<size_t>(r.header.actualLength));
        if (!readFully(r.data.data(), r.data.size())) return std::nullopt;
    }
    for (int32_t i = 0; i < r.header.numberOfPackets && s.isIso(); ++i) {
        std::array<uint8_t, Usbip::kIsoDescriptorSize> d{};
        if (!readFully(d.data(), d.size())) return std::nullopt;
        auto be = [&](size_t o) {
            return uint32_t{d[o]} << 24 | uint32_t{d[o + 1]} << 16 | uint32_t{d[o + 2]} << 8 |
                   d[o + 3];
        };
        r.packets.push_back({be(0), be(4), be(8), static_cast<int32_t>(be(12))});
    }
    return r;
}

std::optional<Reply> HostEnd::control(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                                      uint16_t wIndex, uint16_t wLength, std::vector<uint8_t> out) {
    Usbip::Submit s;
    s.direction = (bmRequestType & 0x80) ? Usbip::kDirIn : Usbip::kDirOut;
    s.transferLength = wLength;
    s.setup = {bmRequestType, bRequest, wValue, wIndex, wLength};
    s.data = std::move(out);
    submit(s);
    return read();
}

std::optional<Reply> HostEnd::bulk(uint8_t address, uint32_t length, std::vector<uint8_t> out) {
    Usbip::Submit s;
    s.direction = (address & 0x80) ? Usbip::kDirIn : Usbip::kDirOut;
    s.endpoint = address & 0x0F;
    s.transferLength = length;
    s.data = std::move(out);
    submit(s);
    return read();
}

ServedCamera::ServedCamera(std::function<void(const std::string&)> onClosed) {
    cam = driver.addCamera(withKernelUvcFunction({}));
    Sim::SimFirmwareConfig fw;
    fw.fx3Version = Sim::simVersionWithBuild(fw.fx3Version, 45);
    firmware = std::make_shared<Sim::SimCameraFirmware>(fw);
    cam->setFirmware(firmware);
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    device = std::make_shared<SimUsbipDevice>(driver, cam);
    connection = std::make_unique<Usbip::UsbipConnection>(fds[0], device);
    if (onClosed) connection->setClosedHandler(std::move(onClosed));
    connection->start();
    host = std::make_unique<HostEnd>(fds[1]);
}

ServedCamera::~ServedCamera() {
    host.reset();
    connection.reset();
}

}  // namespace TVR::Simcam::Testing
