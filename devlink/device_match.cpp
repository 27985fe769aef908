#include "device_match.h"

#include <ostream>

#include <fmt/format.h>

#include "usb/usb_device.h"
#include "usb/usb_driver.h"
#include "video/capture_device.h"

namespace TVR::Devlink {

namespace {

const char* sgr(Colour c) {
    switch (c) {
        case Colour::Header:
            return "\x1b[96m";
        case Colour::Name:
            return "\x1b[32m";
        case Colour::Link:
            return "\x1b[36m";
        case Colour::Location:
            return "\x1b[33m";
        case Colour::Match:
            return "\x1b[95m";
    }
    return "";
}

void printCaptureRecord(ConsoleWriter& w, const DeviceRecord& r) {
    w.coloured(Colour::Name, r.name);
    w.endl();
    if (!r.link.empty()) {
        w.plain("Symbolic link: ");
        w.coloured(Colour::Link, r.link);
        w.endl();
        if (!r.location.empty()) {
            w.plain("Location: ");
            w.coloured(Colour::Location, r.location);
            w.endl();
        }
    }
}

void listCapture(ConsoleWriter& w, const char* header, const std::vector<CaptureDevice>& devices,
                 std::vector<DeviceRecord>& records) {
    w.coloured(Colour::Header, header);
    w.endl();
    for (const auto& d : devices) {
        DeviceRecord r{d.name, d.symbolicLink, d.location, 0};
        printCaptureRecord(w, r);
        w.endl();
        records.push_back(std::move(r));
    }
}

}  // namespace

void ConsoleWriter::plain(const std::string& text) { m_out << text; }

void ConsoleWriter::coloured(Colour c, const std::string& text) {
    if (m_colour) {
        m_out << sgr(c) << text << "\x1b[0m";
    } else {
        m_out << text;
    }
}

void ConsoleWriter::endl() { m_out << '\n'; }

const DeviceRecord* findMatch(const DeviceRecord& fx3, const std::vector<DeviceRecord>& capture) {
    if (fx3.location.empty()) return nullptr;
    for (const auto& c : capture) {
        if (c.location == fx3.location) return &c;
    }
    return nullptr;
}

void writeReport(UsbDriver& usb, CaptureDeviceSource& capture, ConsoleWriter& w) {
    std::vector<DeviceRecord> captureRecords;
    listCapture(w, "--- IMFActivate-based list of audio capturing devices ---",
                capture.audioCaptureDevices(), captureRecords);
    listCapture(w, "--- IMFActivate-based list of video capturing devices ---",
                capture.videoCaptureDevices(), captureRecords);

    // The header gets its own line: joined to the first device's name it would misread.
    w.coloured(Colour::Header, "--- List of Cypress devices ---");
    w.endl();
    // The FX3 side opens each device only to read its friendly name; no notifications needed.
    UsbDevice dev(usb, kCyUsbDriverGuid, false);
    const uint8_t count = usbDeviceCount(usb, kCyUsbDriverGuid);
    std::vector<DeviceRecord> fx3Records;
    for (unsigned i = 0; i < count; ++i) {
        DeviceRecord r;
        r.index = static_cast<uint8_t>(i);
        r.link = usbDevicePath(usb, r.index, kCyUsbDriverGuid);
        r.location = usb.location(r.link);
        if (dev.open(r.index)) {
            r.name = dev.friendlyName();
            dev.close();
        }
        w.coloured(Colour::Name, r.name);
        w.endl();
        w.plain(fmt::format("Dev#: {:d}", i));
        w.endl();
        if (!r.location.empty()) {
            w.plain("Location: ");
            w.coloured(Colour::Location, r.location);
            w.endl();
        }
        w.endl();
        fx3Records.push_back(std::move(r));
    }

    w.coloured(Colour::Header, "\n--- Found these matches based on \"location\" information ---");
    w.endl();
    std::string result = "No matches found";
    for (const auto& fx3 : fx3Records) {
        const DeviceRecord* m = findMatch(fx3, captureRecords);
        if (!m) continue;
        result.clear();
        w.plain("FX3 device#: ");
        w.coloured(Colour::Match, fmt::format("{:d} - {}\n\r", fx3.index, fx3.name));
        w.plain("IMF device: ");
        printCaptureRecord(w, *m);
    }
    w.plain(result);
    w.endl();
}

}  // namespace TVR::Devlink
