#pragma once

// The kernel's USB/IP virtual host controller, driven through sysfs: its port table (the
// status file), attaching a connected stream socket to a free port, detaching a port. The
// sysfs folder is a parameter so tests can point it at a folder of their own.

#include <optional>
#include <string>
#include <vector>

namespace TVR::Simcam {

inline constexpr const char* kVhciSysfs = "/sys/devices/platform/vhci_hcd.0";

// Kernel speed numbers.
inline constexpr unsigned kSpeedHigh = 3;
inline constexpr unsigned kSpeedSuper = 5;

struct VhciPort {
    unsigned port = 0;       // the number attach and detach take
    bool superSpeed = false;  // on the controller's USB 3 root hub
    bool free = false;
};

// Parses the status file ("hub port sta spd dev sockfd local_busid" lines); malformed lines
// are skipped.
std::vector<VhciPort> parseVhciStatus(const std::string& text);

class Vhci {
public:
    explicit Vhci(std::string sysfsFolder = kVhciSysfs) : m_folder(std::move(sysfsFolder)) {}

    bool present() const;
    std::vector<VhciPort> ports(std::string& error) const;
    // A free port on the root hub of that speed, preferring `wanted` when it is free.
    std::optional<unsigned> freePort(unsigned speed, std::optional<unsigned> wanted,
                                     std::string& error) const;
    bool attach(unsigned port, int sockfd, uint32_t devid, unsigned speed,
                std::string& error) const;
    bool detach(unsigned port, std::string& error) const;
    bool portFree(unsigned port) const;

private:
    std::string m_folder;
};

}  // namespace TVR::Simcam
