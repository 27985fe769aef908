// The capture-device listing of a Linux system read from a generated sysfs-like tree: the input
// describes V4L2 and ALSA nodes with their device folders, attributes and links, which are
// created in a temporary folder; then the listing of camera/video and devlink's report read
// it. Both lists must be exactly what the listing rules give for the tree, every location
// is a kernel port name, and devlink pairs an FX3 device only with a capture device at the very
// same location.
//
// Input: one node per line, fields separated by '|' (a missing field is a missing file; ';'
// stands for a line break):
//   v|<class entry>|<device folder>|<name>|<index>|<DEVNAME>|<flags>
//   a|<class entry>|<device folder>|<card folder>|<id>|<flags>
// The device folder is a path below sys/devices. Flags: d a `device` link to the device
// folder, u/v the uvcvideo/vivid driver, x a dangling and l a looping class entry, f a class
// entry that is a folder of its own, n the node in /dev, p a by-path link to it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "device_match.h"
#include "fuzz_check.h"
#include "scratch_folder.h"
#include "sim/sim_driver.h"
#include "usb/usb_device.h"
#include "video/capture_device.h"
#include "video/sysfs_capture_devices.h"

using TavroFuzz::split;

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxLines = 16;
constexpr size_t kAttributeLimit = 4096;
// The simulated FX3 devices devlink pairs with: a port and a port of a hub plugged into it.
constexpr const char* kFx3Locations[] = {"1-2", "1-2.1"};

const fs::path& folder() {
    static const TavroFuzz::ScratchFolder scratch("tvr-fuzz-sysfs");
    return scratch.path();
}

std::string fileName(std::string s) {
    std::replace(s.begin(), s.end(), '/', '_');
    std::replace(s.begin(), s.end(), '\0', '_');
    if (s.size() > 200) s.resize(200);
    if (s.empty() || s == "." || s == "..") s += "_x";
    return s;
}

// A device folder below sys/devices; a component never takes the name of a file the tree
// puts into device folders.
std::string devicePath(std::string_view text) {
    static const std::set<std::string> kReserved = {"name",   "index",  "uevent",
                                                    "device", "driver", "id"};
    std::string path = "sys/devices";
    for (std::string part : split(text, '/')) {
        if (part.empty() || part == "." || part == "..") continue;
        part = fileName(part);
        if (kReserved.count(part) != 0) part += "_";
        path += "/" + part;
    }
    return path;
}

class Tree {
public:
    explicit Tree(fs::path root) : m_root(std::move(root)) { fs::create_directories(m_root, m_ec); }
    ~Tree() { fs::remove_all(m_root, m_ec); }

    TVR::SysfsRoots roots() const { return {(m_root / "sys").string(), (m_root / "dev").string()}; }
    const fs::path& root() const { return m_root; }

    void dir(const std::string& rel) { fs::create_directories(m_root / rel, m_ec); }
    void file(const std::string& rel, const std::optional<std::string>& text) {
        if (!text) return;
        dir(fs::path(rel).parent_path().string());
        std::string content = *text;
        std::replace(content.begin(), content.end(), ';', '\n');
        std::ofstream(m_root / rel, std::ios::binary) << content;
    }
    // A relative link at `rel` to `target` (both relative to the root).
    void link(const std::string& rel, const std::string& target) {
        const fs::path p = m_root / rel;
        fs::create_directories(p.parent_path(), m_ec);
        fs::create_directory_symlink(fs::relative(m_root / target, p.parent_path(), m_ec), p, m_ec);
    }
    void rawLink(const std::string& rel, const std::string& target) {
        const fs::path p = m_root / rel;
        fs::create_directories(p.parent_path(), m_ec);
        fs::create_directory_symlink(target, p, m_ec);
    }

private:
    fs::path m_root;
    std::error_code m_ec;
};

std::optional<std::string> field(const std::vector<std::string>& f, size_t i) {
    return i < f.size() ? std::optional<std::string>(f[i]) : std::nullopt;
}

void classEntry(Tree& t, const std::string& cls, const std::string& name, const std::string& node,
                const std::string& flags) {
    const std::string rel = "sys/class/" + cls + "/" + name;
    if (flags.find('x') != std::string::npos) {
        t.rawLink(rel, "gone");
    } else if (flags.find('l') != std::string::npos) {
        t.rawLink(rel, name);
    } else if (flags.find('f') != std::string::npos) {
        t.dir(rel);
    } else {
        t.link(rel, node);
    }
}

void videoLine(Tree& t, const std::vector<std::string>& f) {
    const std::string entry = fileName(f.size() > 1 ? f[1] : "");
    const std::string device = devicePath(f.size() > 2 ? f[2] : "");
    const std::string flags = f.size() > 6 ? f[6] : "";
    const std::string node = device + "/video4linux/" + entry;
    t.dir(node);
    t.file(node + "/name", field(f, 3));
    t.file(node + "/index", field(f, 4));
    if (const auto devName = field(f, 5)) t.file(node + "/uevent", "MAJOR=81;DEVNAME=" + *devName);
    if (flags.find('d') != std::string::npos) t.link(node + "/device", device);
    for (const auto& [flag, driver] : {std::pair{'u', "uvcvideo"}, std::pair{'v', "vivid"}}) {
        if (flags.find(flag) == std::string::npos) continue;
        t.dir(std::string("sys/bus/usb/drivers/") + driver);
        t.link(device + "/driver", std::string("sys/bus/usb/drivers/") + driver);
    }
    classEntry(t, "video4linux", entry, node, flags);
    const std::string devNode = "dev/" + fileName(field(f, 5).value_or(entry));
    if (flags.find('n') != std::string::npos) t.file(devNode, std::string());
    if (flags.find('p') != std::string::npos) {
        t.dir("dev/v4l/by-path");
        const fs::path p = t.root() / "dev/v4l/by-path" / ("usb-" + entry + "-video-index0");
        std::error_code ec;
        fs::create_symlink(fs::relative(t.root() / devNode, p.parent_path(), ec), p, ec);
    }
}

void audioLine(Tree& t, const std::vector<std::string>& f) {
    const std::string entry = fileName(f.size() > 1 ? f[1] : "");
    const std::string device = devicePath(f.size() > 2 ? f[2] : "");
    const std::string card = device + "/sound/" + fileName(f.size() > 3 ? f[3] : "card0");
    const std::string flags = f.size() > 5 ? f[5] : "";
    const std::string pcm = card + "/" + entry;
    t.dir(pcm);
    t.file(card + "/id", field(f, 4));
    if (flags.find('d') != std::string::npos) t.link(card + "/device", device);
    classEntry(t, "sound", entry, pcm, flags);
    t.link("sys/class/sound/" + fs::path(card).filename().string(), card);
}

void build(Tree& t, std::string_view input) {
    t.dir("sys/class/video4linux");
    t.dir("sys/class/sound");
    t.dir("dev");
    size_t lines = 0;
    for (const std::string& line : split(input, '\n')) {
        if (lines++ >= kMaxLines) break;
        const std::vector<std::string> f = split(line, '|');
        if (f[0] == "v") videoLine(t, f);
        if (f[0] == "a") audioLine(t, f);
    }
}

// The rules the listing follows, read off the tree independently of the listing's code.

// The leaf readers (attribute text, kernel numbers, port names) are the listing's own; the rules
// built on them below are worked out from the tree.
std::string attribute(const fs::path& file) { return TVR::readSysfsAttribute(file); }
std::optional<unsigned> kernelNumber(std::string_view s) { return TVR::parseKernelNumber(s); }
std::optional<unsigned> portNameBus(std::string_view name) { return TVR::usbDeviceNameBus(name); }

std::string location(const fs::path& entry) {
    std::error_code ec;
    const fs::path real = fs::canonical(entry, ec);
    if (ec) return {};
    std::vector<std::string> parts;
    for (const auto& p : real) parts.push_back(p.string());
    std::string found;
    std::set<std::string> above;
    for (const std::string& part : parts) {
        if (const auto bus = portNameBus(part); bus && above.count(fmt::format("usb{}", *bus))) {
            found = part;
        }
        above.insert(part);
    }
    return found;
}

std::string devName(const fs::path& uevent) {
    std::ifstream in(uevent, std::ios::binary);
    std::string line;
    size_t consumed = 0;
    while (consumed < kAttributeLimit && std::getline(in, line)) {
        consumed += line.size() + 1;
        if (line.rfind("DEVNAME=", 0) != 0) continue;
        const std::string name = line.substr(8);
        const bool plain = !name.empty() && name.size() < 256 && name[0] != '/' &&
                           name.find("..") == std::string::npos &&
                           name.find_first_not_of(
                               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUV"
                               "WXYZ0123456789_-./") == std::string::npos;
        return plain ? name : std::string();
    }
    return {};
}

std::string stableLink(const fs::path& devRoot, const fs::path& node) {
    std::error_code ec;
    const fs::path target = fs::canonical(node, ec);
    if (ec) return node.string();
    std::string best;
    for (fs::directory_iterator it(devRoot / "v4l" / "by-path", ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code ec2;
        const fs::path to = fs::canonical(it->path(), ec2);
        if (!ec2 && to == target && (best.empty() || it->path().string() < best)) {
            best = it->path().string();
        }
    }
    return best.empty() ? node.string() : best;
}

struct Listed {
    std::string name;
    std::string link;
    std::string location;
};

std::vector<Listed> expectedVideo(const TVR::SysfsRoots& roots) {
    std::vector<std::pair<unsigned, fs::path>> entries;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(roots.sys) / "class/video4linux", ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("video", 0) != 0) continue;
        if (const auto n = kernelNumber(name.substr(5))) entries.emplace_back(*n, it->path());
    }
    std::sort(entries.begin(), entries.end());
    std::vector<Listed> out;
    for (const auto& [number, entry] : entries) {
        std::error_code ec2;
        if (!fs::is_directory(entry, ec2)) continue;
        // The tree has no character devices, so the index attribute decides.
        const std::string index = attribute(entry / "index");
        if (!index.empty() && index != "0") continue;
        std::string node = devName(entry / "uevent");
        if (node.empty()) node = entry.filename().string();
        Listed l;
        l.name = attribute(entry / "name");
        if (l.name.empty()) l.name = entry.filename().string();
        l.link = stableLink(roots.dev, fs::path(roots.dev) / node);
        l.location = location(entry);
        out.push_back(l);
    }
    return out;
}

std::vector<Listed> expectedAudio(const TVR::SysfsRoots& roots) {
    using Key = std::pair<unsigned, unsigned>;
    std::vector<std::pair<Key, fs::path>> entries;
    const fs::path sound = fs::path(roots.sys) / "class/sound";
    std::error_code ec;
    for (fs::directory_iterator it(sound, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 5 || name.rfind("pcmC", 0) != 0 || name.back() != 'c') continue;
        const std::string body = name.substr(4, name.size() - 5);
        const size_t d = body.find('D');
        if (d == std::string::npos) continue;
        const auto card = kernelNumber(body.substr(0, d));
        const auto device = kernelNumber(body.substr(d + 1));
        if (card && device) entries.push_back({{*card, *device}, it->path()});
    }
    std::sort(entries.begin(), entries.end());
    std::vector<Listed> out;
    for (const auto& [key, entry] : entries) {
        std::error_code ec2;
        if (!fs::is_directory(entry, ec2)) continue;
        std::string id = attribute(sound / fmt::format("card{}", key.first) / "id");
        if (id.empty()) id = fmt::format("card{}", key.first);
        Listed l;
        l.name = key.second == 0 ? id : fmt::format("{} ({})", id, key.second);
        l.link = (fs::path(roots.dev) / "snd" / entry.filename()).string();
        l.location = location(entry);
        out.push_back(l);
    }
    return out;
}

bool wellFormedLocation(const std::string& loc) { return loc.empty() || portNameBus(loc); }

void checkList(const std::vector<TVR::CaptureDevice>& listed, const std::vector<Listed>& expected,
               TVR::CaptureKind kind) {
    FUZZ_CHECK(listed.size() == expected.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        FUZZ_CHECK(listed[i].kind == kind);
        FUZZ_CHECK(listed[i].name == expected[i].name);
        FUZZ_CHECK(listed[i].symbolicLink == expected[i].link);
        FUZZ_CHECK(wellFormedLocation(listed[i].location));
        FUZZ_CHECK(listed[i].location == expected[i].location);
    }
}

// The simulated FX3 side devlink lists next to the tree's capture devices.
struct Fx3Side {
    Fx3Side() {
        for (const char* location : kFx3Locations) {
            TVR::Sim::SimCameraConfig config;
            config.location = location;
            config.videoName.clear();
            driver.addCamera(config);
        }
        TVR::UsbDevice dev(driver, TVR::kCyUsbDriverGuid, false);
        for (uint8_t i = 0; i < std::size(kFx3Locations); ++i) {
            FUZZ_CHECK(dev.open(i));
            names.push_back(dev.friendlyName());
            locations.push_back(
                driver.location(TVR::usbDevicePath(driver, i, TVR::kCyUsbDriverGuid)));
            dev.close();
        }
    }
    TVR::Sim::SimDriver driver;
    std::vector<std::string> names;
    std::vector<std::string> locations;
};

std::string captureRecord(const TVR::CaptureDevice& d) {
    std::string text = d.name + "\n";
    if (d.symbolicLink.empty()) return text;
    text += "Symbolic link: " + d.symbolicLink + "\n";
    if (!d.location.empty()) text += "Location: " + d.location + "\n";
    return text;
}

void checkReport(const TVR::SysfsRoots& roots, std::vector<TVR::CaptureDevice> capture) {
    static Fx3Side fx3;
    TVR::SysfsCaptureDevices source(roots);
    std::ostringstream out;
    TVR::Devlink::ConsoleWriter writer(out, false);
    TVR::Devlink::writeReport(fx3.driver, source, writer);

    std::string matches;
    for (size_t i = 0; i < fx3.names.size(); ++i) {
        const auto m = std::find_if(capture.begin(), capture.end(),
                                    [&](const auto& d) { return d.location == fx3.locations[i]; });
        if (m == capture.end()) continue;
        matches += fmt::format("FX3 device#: {} - {}\n\rIMF device: ", i, fx3.names[i]) +
                   captureRecord(*m);
    }
    if (matches.empty()) matches = "No matches found";
    const std::string header = "\n--- Found these matches based on \"location\" information ---\n";
    const std::string report = out.str();
    const size_t at = report.find(header);
    FUZZ_CHECK(at != std::string::npos);
    FUZZ_CHECK(report.substr(at + header.size()) == matches + "\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static unsigned long counter = 0;
    Tree tree(folder() / std::to_string(++counter));
    build(tree, std::string_view(reinterpret_cast<const char*>(data), size));
    const TVR::SysfsRoots roots = tree.roots();

    const auto video = TVR::listV4l2CaptureDevices(roots);
    checkList(video, expectedVideo(roots), TVR::CaptureKind::Video);
    const auto audio = TVR::listAlsaCaptureDevices(roots);
    checkList(audio, expectedAudio(roots), TVR::CaptureKind::Audio);

    // The report opens every FX3 device; it is worth it only when something can pair.
    std::vector<TVR::CaptureDevice> capture = audio;
    capture.insert(capture.end(), video.begin(), video.end());
    const bool located = std::any_of(capture.begin(), capture.end(),
                                     [](const auto& d) { return !d.location.empty(); });
    if (located) checkReport(roots, std::move(capture));
    return 0;
}
