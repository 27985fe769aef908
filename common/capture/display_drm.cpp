// Displays from the DRM connectors in sysfs: <drm>/cardN-<connector>/{status,enabled,modes}.
// sysfs tells no desktop layout, so attached displays are placed side by side in connector
// order and the first attached one is the primary.

#include <dirent.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string_view>

#include "capture/display_source.h"

namespace OLK {
namespace {

constexpr uint32_t kMaxModeDimension = 65535;
constexpr size_t kMaxLine = 256;

std::string readLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    if (line.size() > kMaxLine) line.resize(kMaxLine);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

// "1920x1080" (an "i" or other suffix after the height is ignored).
bool parseMode(std::string_view text, uint32_t* width, uint32_t* height) {
    size_t x = text.find('x');
    if (x == std::string_view::npos) return false;
    uint32_t w = 0;
    uint32_t h = 0;
    auto [wEnd, wErr] = std::from_chars(text.data(), text.data() + x, w);
    auto [hEnd, hErr] = std::from_chars(text.data() + x + 1, text.data() + text.size(), h);
    if (wErr != std::errc() || hErr != std::errc() || wEnd != text.data() + x ||
        hEnd == text.data() + x + 1) {
        return false;
    }
    if (w == 0 || h == 0 || w > kMaxModeDimension || h > kMaxModeDimension) return false;
    *width = w;
    *height = h;
    return true;
}

// "card0-HDMI-A-1" -> ("card0", "HDMI-A-1")
bool splitConnector(const std::string& name, std::string* card, std::string* connector) {
    if (name.compare(0, 4, "card") != 0) return false;
    size_t dash = name.find('-');
    if (dash == std::string::npos || dash == 4 || dash + 1 >= name.size()) return false;
    for (size_t i = 4; i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
    }
    *card = name.substr(0, dash);
    *connector = name.substr(dash + 1);
    return true;
}

}  // namespace

std::vector<DisplayCandidate> drmCandidates(const std::string& drmDir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(drmDir.c_str())) {
        while (dirent* e = readdir(d)) names.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::vector<DisplayCandidate> out;
    int32_t nextX = 0;
    bool primaryTaken = false;
    for (const std::string& name : names) {
        std::string card;
        std::string connector;
        if (!splitConnector(name, &card, &connector)) continue;
        std::string base = drmDir;
        base.append("/").append(name).append("/");
        const std::string status = readLine(base + "status");
        if (status.empty()) continue;
        DisplayCandidate c;
        c.device.deviceName = connector;
        c.device.deviceString = card;
        const std::string enabled = readLine(base + "enabled");
        const bool attached = status == "connected" && (enabled.empty() || enabled == "enabled");
        if (attached) c.device.stateFlags |= kDisplayDeviceAttachedToDesktop;
        uint32_t w = 0;
        uint32_t h = 0;
        if (status == "connected" && parseMode(readLine(base + "modes"), &w, &h)) {
            c.hasMode = true;
            c.mode.x = nextX;
            c.mode.y = 0;
            c.mode.width = w;
            c.mode.height = h;
            nextX += static_cast<int32_t>(w);
            c.monitor = out.size() + 1;
            c.hasInfo = true;
            c.info.monitor = {c.mode.x, 0, c.mode.x + static_cast<int32_t>(w),
                              static_cast<int32_t>(h)};
            c.info.work = c.info.monitor;
            c.info.deviceName = connector;
            if (attached && !primaryTaken) {
                primaryTaken = true;
                c.info.flags |= kMonitorInfoPrimary;
                c.device.stateFlags |= kDisplayDevicePrimaryDevice;
            }
        }
        out.push_back(std::move(c));
    }
    return out;
}

}  // namespace OLK
