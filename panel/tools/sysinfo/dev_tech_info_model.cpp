#include "tools/sysinfo/dev_tech_info_model.h"

#include <fmt/format.h>

#include "sensor/img_sensor.h"
#include "tools/sysinfo/sys_info_model.h"
#include "usb/usb_device.h"

namespace TVR {

namespace {

// bmAttributes of the configuration descriptor: the device has its own supply.
constexpr uint8_t kSelfPowered = 0x40;


}  // namespace

std::string devTechInfoText(ImgSensor& camera) {
    if (!camera.connected()) return fmt::format("{}{}", kTechInfoNotReady, kReportEol);
    UsbDevice& dev = camera.device();
    std::string t;
    const auto line = [&t](const std::string& text) {
        t += text;
        t += kReportEol;
    };
    const uint32_t vid = dev.infoNumber(UsbDevice::kNumberVendorId);
    const uint32_t pid = dev.infoNumber(UsbDevice::kNumberProductId);
    line(fmt::format("Manufacturer:\t{}", dev.infoText(UsbDevice::kTextManufacturer)));
    line(fmt::format("Vendor ID:\t\t0x{:04X} ({})", vid, vid));
    line(fmt::format("Device name:\t{}", dev.deviceName()));
    line(fmt::format("Friendly name:\t{}", dev.friendlyName()));
    line(fmt::format("Product name:\t{}", dev.infoText(UsbDevice::kTextProduct)));
    line(fmt::format("Product ID:\t0x{:04X} ({})", pid, pid));
    line(fmt::format("Serial number:\t{}", dev.infoNumber(UsbDevice::kNumberSerial)));
    line(fmt::format("Device path:\t{}", dev.path()));

    const auto host = dev.infoPair(UsbDevice::kPairDriverVersion);
    const auto usb = dev.infoPair(UsbDevice::kPairUsbVersion);
    const auto cls = dev.infoPair(UsbDevice::kPairClass);
    line(fmt::format("USB host version:\t{}.{}", host.first, host.second));
    line(fmt::format("Connected devices:\t{}", camera.deviceCount()));
    line(fmt::format("USB address:\t{}", dev.infoNumber(UsbDevice::kNumberAddress)));
    line(fmt::format("USB protocol version:{:x}.{:x}", usb.first, usb.second));
    line(fmt::format("USB class:\t0x{:02X}", cls.first));
    line(fmt::format("USB subclass:\t0x{:02X}", cls.second));
    line(fmt::format("USB protocol ID:\t{:s}", dev.protocolText()));
    line(fmt::format("Power configuration:\t{}",
                     (dev.configuration().bmAttributes & kSelfPowered) != 0
                         ? "externally powered but may use bus up to specified limit"
                         : "bus-powered"));
    line(fmt::format("Max bus power:\t{}mA", dev.maxPowerMilliamps()));
    line(fmt::format("High speed:\t{}", reportFlag(dev.isHighSpeed())));
    line(fmt::format("Super speed:\t{}", reportFlag(dev.isSuperSpeed())));
    line(fmt::format("Sensor chip ID:\t{}", camera.chipIdText()));

    const bool implemented = camera.versionFX3().buildAtLeast(kSysInfoBuild);
    t += systemInformationReport(readSystemInformation(camera, kSysInfoReportFlags), implemented);
    return t;
}

DevTechInfoModel::DevTechInfoModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, {}), m_text(fmt::format("{}{}", kTechInfoNotReady, kReportEol)) {}

void DevTechInfoModel::readState() { m_text = devTechInfoText(camera()); }

}  // namespace TVR
