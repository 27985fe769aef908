#include "vhci.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

namespace TVR::Simcam {

namespace {

constexpr unsigned kStatusFree = 4;  // VDEV_ST_NULL

bool writeSysfs(const std::string& path, const std::string& text, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = fmt::format("cannot open {}: {}", path, std::strerror(errno));
        return false;
    }
    const ssize_t n = ::write(fd, text.data(), text.size());
    const int err = errno;
    ::close(fd);
    if (n != static_cast<ssize_t>(text.size())) {
        error = fmt::format("writing \"{}\" to {} failed: {}", text, path,
                            n < 0 ? std::strerror(err) : "short write");
        return false;
    }
    return true;
}

}  // namespace

std::vector<VhciPort> parseVhciStatus(const std::string& text) {
    std::vector<VhciPort> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string hub, port, status;
        if (!(fields >> hub >> port >> status)) continue;
        if (hub != "hs" && hub != "ss") continue;
        char* end = nullptr;
        const unsigned long p = std::strtoul(port.c_str(), &end, 10);
        if (end == port.c_str() || *end != '\0' || p > 0xFFFF) continue;
        const unsigned long s = std::strtoul(status.c_str(), &end, 10);
        if (end == status.c_str() || *end != '\0') continue;
        out.push_back({static_cast<unsigned>(p), hub == "ss", s == kStatusFree});
    }
    return out;
}

bool Vhci::present() const { return ::access((m_folder + "/attach").c_str(), F_OK) == 0; }

std::vector<VhciPort> Vhci::ports(std::string& error) const {
    std::ifstream f(m_folder + "/status");
    if (!f) {
        error = fmt::format("no USB/IP virtual host controller at {} (is vhci-hcd loaded?)",
                            m_folder);
        return {};
    }
    std::stringstream ss;
    ss << f.rdbuf();
    return parseVhciStatus(ss.str());
}

std::optional<unsigned> Vhci::freePort(unsigned speed, std::optional<unsigned> wanted,
                                       std::string& error) const {
    const auto all = ports(error);
    const bool super = speed == kSpeedSuper;
    std::optional<unsigned> first;
    for (const auto& p : all) {
        if (p.superSpeed != super || !p.free) continue;
        if (wanted && p.port == *wanted) return p.port;
        if (!first) first = p.port;
    }
    if (!first && error.empty()) {
        error = fmt::format("no free {} port on the virtual host controller",
                            super ? "SuperSpeed" : "high-speed");
    }
    return first;
}

bool Vhci::attach(unsigned port, int sockfd, uint32_t devid, unsigned speed,
                  std::string& error) const {
    return writeSysfs(m_folder + "/attach", fmt::format("{} {} {} {}", port, sockfd, devid, speed),
                      error);
}

bool Vhci::detach(unsigned port, std::string& error) const {
    return writeSysfs(m_folder + "/detach", fmt::format("{}", port), error);
}

bool Vhci::portFree(unsigned port) const {
    std::string error;
    for (const auto& p : ports(error)) {
        if (p.port == port) return p.free;
    }
    return false;
}

}  // namespace TVR::Simcam
