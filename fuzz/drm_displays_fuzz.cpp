// The display list read from a DRM class folder (/sys/class/drm on a machine without X): the
// input describes a folder of connectors, which is created in a temporary folder and read.
// The displays must be exactly those the display rules give: connectors "card<N>-<name>"
// in name order, attached when connected and not disabled, the first mode line's size, placed
// side by side, the first attached one primary.
//
// Input: one connector per line, "name|status|enabled|modes". The files that exist are those
// whose field is present; ';' in a field stands for a line break. A name starting with '>' is a
// link to the previous connector, '~' a dangling link and '!' a plain file.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/display.h"
#include "fuzz_check.h"
#include "scratch_folder.h"

using TavroFuzz::split;

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxConnectors = 24;
constexpr size_t kMaxLine = 256;
constexpr uint32_t kMaxDimension = 65535;
constexpr const char* kFileNames[] = {"status", "enabled", "modes"};

const fs::path& folder() {
    static const TavroFuzz::ScratchFolder scratch("tvr-fuzz-drm");
    return scratch.path();
}

enum class Kind { Folder, Link, Dangling, File };

struct Connector {
    Kind kind = Kind::Folder;
    std::string target;                             // links: the connector it points at
    std::vector<std::optional<std::string>> files;  // status, enabled, modes
};

std::map<std::string, Connector> describe(std::string_view input) {
    std::map<std::string, Connector> connectors;
    std::string previous;
    for (const std::string& line : split(input, '\n')) {
        if (connectors.size() >= kMaxConnectors) break;
        std::vector<std::string> fields = split(line, '|');
        std::string name = fields[0];
        Connector c;
        if (!name.empty() && (name[0] == '>' || name[0] == '~' || name[0] == '!')) {
            c.kind = name[0] == '>' ? Kind::Link : name[0] == '~' ? Kind::Dangling : Kind::File;
            name.erase(0, 1);
        }
        std::replace(name.begin(), name.end(), '/', '_');
        std::replace(name.begin(), name.end(), '\0', '_');
        if (name.empty() || name == "." || name == ".." || name.size() > 200 ||
            connectors.count(name) != 0) {
            continue;
        }
        if (c.kind == Kind::Link) {
            if (previous.empty()) continue;
            c.target = previous;
        }
        for (size_t i = 1; i < fields.size() && i <= 3; ++i) {
            std::replace(fields[i].begin(), fields[i].end(), ';', '\n');
            c.files.emplace_back(fields[i]);
        }
        c.files.resize(3);
        if (c.kind == Kind::Folder) previous = name;
        connectors.emplace(name, std::move(c));
    }
    return connectors;
}

void create(const fs::path& dir, const std::map<std::string, Connector>& connectors) {
    fs::create_directories(dir);
    for (const auto& [name, c] : connectors) {
        const fs::path p = dir / name;
        switch (c.kind) {
            case Kind::Folder:
                fs::create_directory(p);
                for (size_t i = 0; i < 3; ++i) {
                    if (c.files[i])
                        std::ofstream(p / kFileNames[i], std::ios::binary) << *c.files[i];
                }
                break;
            case Kind::Link:
                fs::create_directory_symlink(c.target, p);
                break;
            case Kind::Dangling:
                fs::create_directory_symlink("gone", p);
                break;
            case Kind::File:
                std::ofstream(p, std::ios::binary) << "status";
                break;
        }
    }
}

// What a one-line sysfs file reads as: its first line, at most 256 characters, without
// trailing carriage returns and spaces.
std::string firstLine(const std::map<std::string, Connector>& connectors, const std::string& name,
                      size_t file) {
    const Connector* c = &connectors.at(name);
    if (c->kind == Kind::Link) c = &connectors.at(c->target);
    if (c->kind != Kind::Folder || !c->files[file]) return {};
    std::string line = c->files[file]->substr(0, c->files[file]->find('\n'));
    if (line.size() > kMaxLine) line.resize(kMaxLine);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

bool connectorName(const std::string& name, std::string& card, std::string& connector) {
    if (name.rfind("card", 0) != 0) return false;
    size_t i = 4;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
    if (i == 4 || i + 1 >= name.size() || name[i] != '-') return false;
    card = name.substr(0, i);
    connector = name.substr(i + 1);
    return true;
}

// Leading decimal digits, 0 when there are none or the number leaves the range.
uint32_t digits(std::string_view s, size_t& used) {
    uint64_t v = 0;
    used = 0;
    while (used < s.size() && s[used] >= '0' && s[used] <= '9') {
        v = std::min<uint64_t>(v * 10 + static_cast<uint64_t>(s[used] - '0'), kMaxDimension + 1);
        ++used;
    }
    return v > kMaxDimension ? 0 : static_cast<uint32_t>(v);
}

bool modeSize(const std::string& line, uint32_t& w, uint32_t& h) {
    const size_t x = line.find('x');
    if (x == std::string::npos) return false;
    size_t used = 0;
    w = digits(std::string_view(line).substr(0, x), used);
    if (used != x) return false;
    h = digits(std::string_view(line).substr(x + 1), used);
    return w != 0 && h != 0 && used != 0;
}

struct Expected {
    uint32_t index;
    std::string card;
    std::string connector;
    bool attached;
    bool primary;
    int32_t x;
    uint32_t w;
    uint32_t h;
};

std::vector<Expected> expectedDisplays(const std::map<std::string, Connector>& connectors,
                                       bool all) {
    std::vector<Expected> out;
    uint32_t index = 0;
    int32_t nextX = 0;
    bool primaryTaken = false;
    // std::map keeps the names in byte order, as sorting the folder's names does.
    for (const auto& [name, c] : connectors) {
        Expected e{};
        if (!connectorName(name, e.card, e.connector)) continue;
        const std::string status = firstLine(connectors, name, 0);
        if (status.empty()) continue;
        const std::string enabled = firstLine(connectors, name, 1);
        e.attached = status == "connected" && (enabled.empty() || enabled == "enabled");
        e.index = index++;
        if (status != "connected" || !modeSize(firstLine(connectors, name, 2), e.w, e.h)) {
            continue;
        }
        e.x = nextX;
        nextX += static_cast<int32_t>(e.w);
        e.primary = e.attached && !primaryTaken;
        primaryTaken = primaryTaken || e.primary;
        if (e.index < OLK::kMaxDisplayDevices && (all || e.attached)) out.push_back(e);
    }
    return out;
}

void check(const std::vector<OLK::Display>& displays, const std::vector<Expected>& expected) {
    FUZZ_CHECK(displays.size() == expected.size());
    uintptr_t lastMonitor = 0;
    for (size_t i = 0; i < displays.size(); ++i) {
        const OLK::Display& d = displays[i];
        const Expected& e = expected[i];
        FUZZ_CHECK(d.index() == e.index);
        FUZZ_CHECK(d.device().deviceName == e.connector && d.device().deviceString == e.card);
        FUZZ_CHECK(d.isPrimary() == e.primary);
        FUZZ_CHECK(((d.device().stateFlags & OLK::kDisplayDevicePrimaryDevice) != 0) == e.primary);
        FUZZ_CHECK(((d.device().stateFlags & OLK::kDisplayDeviceAttachedToDesktop) != 0) ==
                   e.attached);
        FUZZ_CHECK(d.mode().x == e.x && d.mode().y == 0);
        FUZZ_CHECK(d.mode().width == e.w && d.mode().height == e.h);
        const OLK::DisplayRect r = d.rcMonitor();
        FUZZ_CHECK(r.left == e.x && r.top == 0 && r.right == e.x + static_cast<int32_t>(e.w) &&
                   r.bottom == static_cast<int32_t>(e.h));
        const OLK::DisplayRect w = d.rcWindow();
        FUZZ_CHECK(w.left == r.left && w.top == r.top && w.right == r.right &&
                   w.bottom == r.bottom);
        FUZZ_CHECK(d.monitor() > lastMonitor);
        lastMonitor = d.monitor();
        FUZZ_CHECK(d.toString() == e.connector + "@" + e.card + " (" + std::to_string(e.w) + "x" +
                                       std::to_string(e.h) + ")");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static unsigned long counter = 0;
    const std::map<std::string, Connector> connectors =
        describe(std::string_view(reinterpret_cast<const char*>(data), size));
    const fs::path dir = folder() / std::to_string(++counter);
    create(dir, connectors);

    check(OLK::enumDrmDisplays(dir.string(), false), expectedDisplays(connectors, false));
    check(OLK::enumDrmDisplays(dir.string(), true), expectedDisplays(connectors, true));

    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
