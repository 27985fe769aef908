#include "sysfs_capture_devices.h"
#include "video/v4l2_uvc_properties.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <utility>

#include <fmt/format.h>

namespace TVR {

namespace fs = std::filesystem;

namespace {

// sysfs attributes are a page at most; anything longer is not an attribute.
constexpr size_t kMaxAttributeSize = 4096;

// Drivers that register capture devices with no hardware behind them.
constexpr std::array<std::string_view, 9> kVirtualDrivers{"vivid",  "vimc",      "vicodec",
                                                          "vim2m",  "visl",      "v4l2loopback",
                                                          "akvcam", "snd_aloop", "snd_dummy"};

fs::path resolved(const fs::path& p) {
    std::error_code ec;
    fs::path r = fs::canonical(p, ec);
    return ec ? p : r;
}

bool isHardware(const fs::path& nodeDir, const fs::path& parentLink) {
    if (resolved(nodeDir).generic_string().find("/devices/virtual/") != std::string::npos) {
        return false;
    }
    std::error_code ec;
    if (!fs::exists(parentLink, ec)) return false;
    const fs::path driver = resolved(parentLink / "driver");
    if (fs::exists(parentLink / "driver", ec)) {
        const std::string name = driver.filename().string();
        for (std::string_view v : kVirtualDrivers) {
            if (name == v) return false;
        }
    }
    return true;
}

// "video12" -> 12 for names with the given prefix.
std::optional<unsigned> numberedName(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) return std::nullopt;
    return parseKernelNumber(name.substr(prefix.size()));
}

// DEVNAME from a uevent file, when it is a plain relative name.
std::string ueventDevName(const fs::path& uevent) {
    std::ifstream in(uevent, std::ios::binary);
    std::string line;
    size_t read = 0;
    while (read < kMaxAttributeSize && std::getline(in, line)) {
        read += line.size() + 1;
        if (!line.starts_with("DEVNAME=")) continue;
        std::string name = line.substr(8);
        const bool plain = !name.empty() && name.size() < 256 && name[0] != '/' &&
                           name.find("..") == std::string::npos &&
                           std::all_of(name.begin(), name.end(), [](char c) {
                               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                      (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' ||
                                      c == '/';
                           });
        return plain ? name : std::string();
    }
    return {};
}

// Whether a node is a video capture node by its capabilities; none when it cannot be asked.
std::optional<bool> queryCapture(const fs::path& node) {
    const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<bool> result;
    struct stat st {};
    v4l2_capability cap{};
    if (::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && ::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
        const uint32_t caps =
            (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
        const bool capture = caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE);
        const bool m2m = caps & (V4L2_CAP_VIDEO_M2M | V4L2_CAP_VIDEO_M2M_MPLANE);
        result = capture && !m2m;
    }
    ::close(fd);
    return result;
}

// The stable per-port link udev made for the node, else the node itself.
std::string stableLink(const fs::path& devRoot, const fs::path& node) {
    std::error_code ec;
    const fs::path target = fs::canonical(node, ec);
    if (ec) return node.string();
    std::vector<std::string> matches;
    for (fs::directory_iterator it(devRoot / "v4l" / "by-path", ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code ec2;
        if (fs::canonical(it->path(), ec2) == target && !ec2) {
            matches.push_back(it->path().string());
        }
    }
    if (matches.empty()) return node.string();
    return *std::min_element(matches.begin(), matches.end());
}

// Entries of a class directory named <prefix><number…>, in number order.
template <typename Key, typename Parse>
std::vector<std::pair<Key, fs::path>> classEntries(const fs::path& dir, Parse parse) {
    std::vector<std::pair<Key, fs::path>> entries;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (auto key = parse(it->path().filename().string())) {
            entries.emplace_back(*key, it->path());
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return entries;
}

// "pcmC1D0c" -> (1, 0)
std::optional<std::pair<unsigned, unsigned>> capturePcmName(std::string_view name) {
    if (!name.starts_with("pcmC") || !name.ends_with("c")) return std::nullopt;
    const std::string_view body = name.substr(4, name.size() - 5);
    const size_t d = body.find('D');
    if (d == std::string_view::npos) return std::nullopt;
    const auto card = parseKernelNumber(body.substr(0, d));
    const auto dev = parseKernelNumber(body.substr(d + 1));
    if (!card || !dev) return std::nullopt;
    return std::make_pair(*card, *dev);
}

}  // namespace

std::string readSysfsAttribute(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::string text(kMaxAttributeSize, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    const size_t nl = text.find('\n');
    if (nl != std::string::npos) text.resize(nl);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

std::optional<unsigned> parseKernelNumber(std::string_view s) {
    if (s.empty() || s.size() > 9 || (s.size() > 1 && s[0] == '0')) return std::nullopt;
    unsigned v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    return v;
}

std::optional<unsigned> usbDeviceNameBus(std::string_view name) {
    const size_t dash = name.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto bus = parseKernelNumber(name.substr(0, dash));
    if (!bus || *bus == 0) return std::nullopt;
    std::string_view ports = name.substr(dash + 1);
    while (true) {
        const size_t dot = ports.find('.');
        const auto port = parseKernelNumber(ports.substr(0, dot));
        if (!port || *port == 0) return std::nullopt;
        if (dot == std::string_view::npos) break;
        ports = ports.substr(dot + 1);
    }
    return bus;
}

std::string usbLocationInSysfsPath(const std::string& devicePath) {
    std::vector<std::string> parts;
    for (const auto& part : fs::path(devicePath)) parts.push_back(part.string());
    for (size_t i = parts.size(); i-- > 0;) {
        const auto bus = usbDeviceNameBus(parts[i]);
        if (!bus) continue;
        // i2c clients ("0-0050") look alike; only a device below its USB root hub counts.
        const std::string root = fmt::format("usb{}", *bus);
        if (std::find(parts.begin(), parts.begin() + static_cast<ptrdiff_t>(i), root) !=
            parts.begin() + static_cast<ptrdiff_t>(i)) {
            return parts[i];
        }
    }
    return {};
}

std::vector<CaptureDevice> listV4l2CaptureDevices(const SysfsRoots& roots) {
    std::vector<CaptureDevice> devices;
    const fs::path devRoot(roots.dev);
    const auto entries =
        classEntries<unsigned>(fs::path(roots.sys) / "class" / "video4linux",
                               [](const std::string& n) { return numberedName(n, "video"); });
    for (const auto& [number, entry] : entries) {
        std::error_code ec;
        if (!fs::is_directory(entry, ec)) continue;  // a dangling class link
        const std::string entryName = entry.filename().string();
        std::string devName = ueventDevName(entry / "uevent");
        if (devName.empty()) devName = entryName;
        const fs::path node = devRoot / devName;

        std::optional<bool> capture = queryCapture(node);
        if (!capture) {
            const std::string index = readSysfsAttribute(entry / "index");
            capture = index.empty() || index == "0";
        }
        if (!*capture) continue;

        CaptureDevice dev;
        dev.kind = CaptureKind::Video;
        dev.name = readSysfsAttribute(entry / "name");
        if (dev.name.empty()) dev.name = entryName;
        dev.symbolicLink = stableLink(devRoot, node);
        const fs::path nodeDir = resolved(entry);
        dev.location = usbLocationInSysfsPath(nodeDir.generic_string());
        dev.softwareDevice = !isHardware(nodeDir, entry / "device");
        devices.push_back(std::move(dev));
    }
    return devices;
}

std::vector<CaptureDevice> listAlsaCaptureDevices(const SysfsRoots& roots) {
    std::vector<CaptureDevice> devices;
    const fs::path soundDir = fs::path(roots.sys) / "class" / "sound";
    const auto entries = classEntries<std::pair<unsigned, unsigned>>(
        soundDir, [](const std::string& n) { return capturePcmName(n); });
    for (const auto& [key, entry] : entries) {
        std::error_code ec;
        if (!fs::is_directory(entry, ec)) continue;
        const auto [card, pcm] = key;
        const fs::path cardEntry = soundDir / fmt::format("card{}", card);
        std::string id = readSysfsAttribute(cardEntry / "id");
        if (id.empty()) id = fmt::format("card{}", card);

        CaptureDevice dev;
        dev.kind = CaptureKind::Audio;
        dev.name = pcm == 0 ? id : fmt::format("{} ({})", id, pcm);
        dev.symbolicLink = (fs::path(roots.dev) / "snd" / entry.filename()).string();
        const fs::path nodeDir = resolved(entry);
        dev.location = usbLocationInSysfsPath(nodeDir.generic_string());
        // A PCM's parent is its card; the card's parent is the hardware.
        dev.softwareDevice = !isHardware(nodeDir, cardEntry / "device");
        devices.push_back(std::move(dev));
    }
    return devices;
}

std::unique_ptr<UvcPropertySource> SysfsCaptureDevices::openUvcProperties(
    const CaptureDevice& device) {
    if (device.kind != CaptureKind::Video) return nullptr;
    if (!std::filesystem::path(device.symbolicLink).is_absolute()) return nullptr;
    return std::make_unique<V4l2UvcProperties>(device.symbolicLink);
}

}  // namespace TVR
