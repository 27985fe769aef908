#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "video/capture_device.h"
#include "video/sysfs_capture_devices.h"

namespace TVR {
namespace {

namespace fs = std::filesystem;

// A sysfs-like tree and a /dev in a temporary folder: real directories, files and relative
// symlinks laid out as the kernel lays them out.
class SysfsTree {
public:
    SysfsTree() {
        std::random_device rd;
        m_root = fs::temp_directory_path() / ("tvr-sysfs-" + std::to_string(rd()));
        fs::create_directories(m_root);
    }
    ~SysfsTree() {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    SysfsRoots roots() const { return {(m_root / "sys").string(), (m_root / "dev").string()}; }

    void file(const std::string& rel, const std::string& text) {
        const fs::path p = m_root / rel;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    }
    void dir(const std::string& rel) { fs::create_directories(m_root / rel); }
    // A symlink at `rel` pointing at `target` (relative to the tree root), written relative.
    void link(const std::string& rel, const std::string& target) {
        const fs::path p = m_root / rel;
        fs::create_directories(p.parent_path());
        fs::create_directory_symlink(fs::relative(m_root / target, p.parent_path()), p);
    }
    void fileLink(const std::string& rel, const std::string& target) {
        const fs::path p = m_root / rel;
        fs::create_directories(p.parent_path());
        fs::create_symlink(fs::relative(m_root / target, p.parent_path()), p);
    }

    // A V4L2 node below `parent` (a device directory), listed in class/video4linux.
    void videoNode(const std::string& parent, unsigned n, const std::string& name, int index) {
        const std::string node = parent + "/video4linux/video" + std::to_string(n);
        file(node + "/name", name + "\n");
        if (index >= 0) file(node + "/index", std::to_string(index) + "\n");
        file(node + "/uevent",
             "MAJOR=81\nMINOR=" + std::to_string(n) + "\nDEVNAME=video" + std::to_string(n) + "\n");
        if (parent.find("/virtual") == std::string::npos) link(node + "/device", parent);
        link("sys/class/video4linux/video" + std::to_string(n), node);
        file("dev/video" + std::to_string(n), "");
    }
    void driver(const std::string& device, const std::string& bus, const std::string& name) {
        const std::string drv = "sys/bus/" + bus + "/drivers/" + name;
        dir(drv);
        link(device + "/driver", drv);
    }

private:
    fs::path m_root;
};

constexpr const char* kHost = "sys/devices/pci0000:00/0000:00:14.0";
const std::string kCamUsb = std::string(kHost) + "/usb2/2-1/2-1.4";
const std::string kCamVideoItf = kCamUsb + "/2-1.4:1.0";
const std::string kCamAudioItf = kCamUsb + "/2-1.4:1.2";

// A UVC camera with capture and metadata nodes and a microphone behind a hub, a PCI capture
// card, vivid, v4l2loopback and an i2c-attached node.
void buildSystem(SysfsTree& t) {
    t.videoNode(kCamVideoItf, 0, "Tavro Brisco camera", 0);
    t.videoNode(kCamVideoItf, 1, "Tavro Brisco camera", 1);  // UVC metadata node
    t.driver(kCamVideoItf, "usb", "uvcvideo");
    t.fileLink("dev/v4l/by-path/pci-0000:00:14.0-usb-0:1.4:1.0-video-index0", "dev/video0");
    t.fileLink("dev/v4l/by-path/pci-0000:00:14.0-usb-0:1.4:1.0-video-index1", "dev/video1");

    t.videoNode("sys/devices/virtual", 2, "Dummy video device (0x0000)", 0);
    const std::string pci = "sys/devices/pci0000:00/0000:00:02.0";
    t.videoNode(pci, 3, "PCI capture card", 0);
    t.driver(pci, "pci", "saa7134");
    const std::string i2c = "sys/devices/platform/i2c-0/0-0050";
    t.videoNode(i2c, 4, "Sensor on i2c", -1);
    t.driver(i2c, "i2c", "ov5640");
    const std::string vivid = "sys/devices/platform/vivid.0";
    t.videoNode(vivid, 10, "vivid-000-vid-cap", 0);
    t.driver(vivid, "platform", "vivid");

    // Not capture nodes at all.
    t.dir(kCamVideoItf + "/video4linux/v4l-subdev0");
    t.link("sys/class/video4linux/v4l-subdev0", kCamVideoItf + "/video4linux/v4l-subdev0");
    t.fileLink("sys/class/video4linux/video7", "sys/devices/gone/video7");  // dangling

    // The camera's microphone and an ALSA loopback card.
    const std::string card1 = kCamAudioItf + "/sound/card1";
    t.file(card1 + "/id", "Camera\n");
    t.link(card1 + "/device", kCamAudioItf);
    t.driver(kCamAudioItf, "usb", "snd-usb-audio");
    t.link("sys/class/sound/card1", card1);
    for (const char* pcm : {"pcmC1D0c", "pcmC1D0p", "controlC1"}) {
        t.file(card1 + "/" + pcm + "/uevent", "");
        t.link(std::string("sys/class/sound/") + pcm, card1 + "/" + pcm);
    }
    const std::string aloop = "sys/devices/platform/snd_aloop.0";
    const std::string card2 = aloop + "/sound/card2";
    t.file(card2 + "/id", "Loopback\n");
    t.link(card2 + "/device", aloop);
    t.driver(aloop, "platform", "snd_aloop");
    t.link("sys/class/sound/card2", card2);
    for (const char* pcm : {"pcmC2D1c", "pcmC2D0c", "pcmC2D0p"}) {
        t.file(card2 + "/" + pcm + "/uevent", "");
        t.link(std::string("sys/class/sound/") + pcm, card2 + "/" + pcm);
    }
    t.dir("sys/class/sound/timer");
}

TEST(SysfsCaptureDevices, ListsVideoCaptureNodesWithLocations) {
    SysfsTree t;
    buildSystem(t);
    const auto roots = t.roots();
    const auto devices = listV4l2CaptureDevices(roots);
    ASSERT_EQ(devices.size(), 5u);

    // Node-number order; the metadata node, the subdevice and the dangling link are left out.
    EXPECT_EQ(devices[0].name, "Tavro Brisco camera");
    EXPECT_EQ(devices[0].location, "2-1.4");
    EXPECT_FALSE(devices[0].softwareDevice);
    EXPECT_EQ(devices[0].kind, CaptureKind::Video);
    EXPECT_EQ(devices[0].symbolicLink,
              roots.dev + "/v4l/by-path/pci-0000:00:14.0-usb-0:1.4:1.0-video-index0");

    EXPECT_EQ(devices[1].name, "Dummy video device (0x0000)");
    EXPECT_EQ(devices[1].location, "");
    EXPECT_TRUE(devices[1].softwareDevice);
    EXPECT_EQ(devices[1].symbolicLink, roots.dev + "/video2");

    EXPECT_EQ(devices[2].name, "PCI capture card");
    EXPECT_EQ(devices[2].location, "");
    EXPECT_FALSE(devices[2].softwareDevice);

    // "0-0050" looks like a USB name but has no USB root hub above it.
    EXPECT_EQ(devices[3].name, "Sensor on i2c");
    EXPECT_EQ(devices[3].location, "");
    EXPECT_FALSE(devices[3].softwareDevice);

    EXPECT_EQ(devices[4].name, "vivid-000-vid-cap");
    EXPECT_TRUE(devices[4].softwareDevice);
}

TEST(SysfsCaptureDevices, ListsAlsaCapturePcms) {
    SysfsTree t;
    buildSystem(t);
    const auto roots = t.roots();
    const auto devices = listAlsaCaptureDevices(roots);
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].name, "Camera");
    EXPECT_EQ(devices[0].location, "2-1.4");
    EXPECT_EQ(devices[0].symbolicLink, roots.dev + "/snd/pcmC1D0c");
    EXPECT_EQ(devices[0].kind, CaptureKind::Audio);
    EXPECT_FALSE(devices[0].softwareDevice);
    EXPECT_EQ(devices[1].name, "Loopback");
    EXPECT_EQ(devices[2].name, "Loopback (1)");
    EXPECT_TRUE(devices[1].softwareDevice);
    EXPECT_TRUE(devices[2].softwareDevice);
    EXPECT_EQ(devices[2].location, "");

    SysfsCaptureDevices source(roots);
    EXPECT_EQ(source.audioCaptureDevices().size(), 3u);
    EXPECT_EQ(source.videoCaptureDevices().size(), 5u);
}

TEST(SysfsCaptureDevices, MissingOrHostileTreesListNothingOrDegrade) {
    SysfsTree t;
    EXPECT_TRUE(listV4l2CaptureDevices(t.roots()).empty());
    EXPECT_TRUE(listAlsaCaptureDevices(t.roots()).empty());
    EXPECT_TRUE(listV4l2CaptureDevices({"/nonexistent-tvr", "/nonexistent-tvr"}).empty());

    // An oversized name attribute with no line end and a DEVNAME escaping /dev.
    const std::string node = "sys/devices/virtual/video4linux/video5";
    t.file(node + "/name", std::string(100000, 'x'));
    t.file(node + "/uevent", "DEVNAME=../../etc/passwd\n");
    t.link("sys/class/video4linux/video5", node);
    const auto devices = listV4l2CaptureDevices(t.roots());
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].name.size(), 4096u);
    EXPECT_EQ(devices[0].symbolicLink, t.roots().dev + "/video5");
}

TEST(SysfsCaptureDevices, UsbLocationOfDevicePaths) {
    EXPECT_EQ(usbLocationInSysfsPath(
                  "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/video4linux/video0"),
              "1-4");
    EXPECT_EQ(usbLocationInSysfsPath("/sys/devices/pci0000:00/0000:00:14.0/usb3/3-2/3-2.1/3-2.1.7/"
                                     "3-2.1.7:1.0/video4linux/video2"),
              "3-2.1.7");
    EXPECT_EQ(usbLocationInSysfsPath("/sys/devices/pci0000:00/0000:00:14.0/usb1"), "");
    EXPECT_EQ(usbLocationInSysfsPath("/sys/devices/usb1/2-4/video4linux/video0"), "");
    EXPECT_EQ(usbLocationInSysfsPath("/sys/devices/virtual/video4linux/video0"), "");
    EXPECT_EQ(usbLocationInSysfsPath(""), "");
}

TEST(FindCaptureDevice, MatchesTheCameraLocationExactly) {
    SysfsTree t;
    buildSystem(t);
    SysfsCaptureDevices source(t.roots());
    const auto cam = findCaptureDevice(source, "2-1.4");
    ASSERT_TRUE(cam);
    EXPECT_EQ(cam->name, "Tavro Brisco camera");
    EXPECT_EQ(cam->kind, CaptureKind::Video);
    // Neither the hub above, the interface, nor an empty location match.
    EXPECT_FALSE(findCaptureDevice(source, "2-1"));
    EXPECT_FALSE(findCaptureDevice(source, "2-1.4:1.0"));
    EXPECT_FALSE(findCaptureDevice(source, "2-1.4 "));
    EXPECT_FALSE(findCaptureDevice(source, ""));
}

TEST(SysfsCaptureDevices, OpensV4l2PropertiesOfDeviceNodesOnly) {
    SysfsTree t;
    buildSystem(t);
    SysfsCaptureDevices source(t.roots());
    const auto cam = findCaptureDevice(source, "2-1.4");
    ASSERT_TRUE(cam);
    // The node in the temporary tree is no V4L2 device: a source without property sets.
    const auto uvc = source.openUvcProperties(*cam);
    ASSERT_TRUE(uvc);
    EXPECT_EQ(uvc->cameraControl(), nullptr);
    EXPECT_EQ(uvc->procAmp(), nullptr);

    // A link that is no device path belongs to another source; audio has no properties.
    CaptureDevice other = *cam;
    other.symbolicLink = "sim-video:2-1.4";
    EXPECT_EQ(source.openUvcProperties(other), nullptr);
    const auto audio = source.audioCaptureDevices();
    ASSERT_FALSE(audio.empty());
    EXPECT_EQ(source.openUvcProperties(audio[0]), nullptr);
}

}  // namespace
}  // namespace TVR
