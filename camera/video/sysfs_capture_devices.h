#pragma once

// The capture devices of a Linux system, read from sysfs: V4L2 video capture nodes under
// class/video4linux and ALSA capture PCMs under class/sound, without the ALSA library. The
// roots are parameters so a sysfs-like tree in a folder can stand in for the system's.
//
// Location: the kernel name ("1-4.2") of the USB device the node hangs below, the same text
// the libusb backend gives the camera's FX3 side; empty when the node is not on USB.
// Software device: a node counts as hardware when it has a physical parent (it does not live
// under devices/virtual and has a `device` link) whose driver is not one of the kernel's
// virtual capture drivers (vivid, v4l2loopback, snd-aloop, …); anything else is a software
// device.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "video/capture_device.h"

namespace TVR {

struct SysfsRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
};

// Video capture nodes in node-number order. Metadata, output and memory-to-memory nodes are
// left out: by VIDIOC_QUERYCAP when the node opens, otherwise by its sysfs index (a UVC
// camera's capture node has index 0, its metadata node 1).
std::vector<CaptureDevice> listV4l2CaptureDevices(const SysfsRoots& roots);
// Capture PCMs (pcmC<card>D<device>c) in card and device order, named by the card's id; the
// link is the PCM's device node.
std::vector<CaptureDevice> listAlsaCaptureDevices(const SysfsRoots& roots);

// The USB device location within a resolved sysfs device path: the deepest "<bus>-<ports>"
// component below its "usb<bus>" root hub. Empty when there is none.
std::string usbLocationInSysfsPath(const std::string& devicePath);

// The first line of a sysfs attribute (at most a page), without trailing white space; empty
// when it cannot be read.
std::string readSysfsAttribute(const std::filesystem::path& file);
// A decimal without sign or leading zeros, as the kernel writes numbers in names.
std::optional<unsigned> parseKernelNumber(std::string_view s);
// The bus number of a "<bus>-<port>(.<port>)*" USB device name with nonzero numbers.
std::optional<unsigned> usbDeviceNameBus(std::string_view name);

class SysfsCaptureDevices : public CaptureDeviceSource {
public:
    explicit SysfsCaptureDevices(SysfsRoots roots = {}) : m_roots(std::move(roots)) {}
    std::vector<CaptureDevice> audioCaptureDevices() override {
        return listAlsaCaptureDevices(m_roots);
    }
    std::vector<CaptureDevice> videoCaptureDevices() override {
        return listV4l2CaptureDevices(m_roots);
    }
    // The V4L2 properties of a device node (a source without property sets when the node does
    // not open); null for a link that is no path.
    std::unique_ptr<UvcPropertySource> openUvcProperties(const CaptureDevice& device) override;

private:
    SysfsRoots m_roots;
};

}  // namespace TVR
