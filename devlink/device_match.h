#pragma once

// devlink's report: the capture devices and the FX3 devices of the machine, paired by the USB
// port location they share.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace TVR {
class UsbDriver;
class CaptureDeviceSource;
}  // namespace TVR

namespace TVR::Devlink {

// Console colour roles, by the console attributes they stand for.
enum class Colour : uint8_t {
    Header = 11,    // bright cyan
    Name = 2,       // green
    Link = 3,       // cyan
    Location = 6,   // yellow
    Match = 13,     // bright magenta
};

// Writes text, coloured with ANSI SGR sequences when `colour` is set (a terminal).
class ConsoleWriter {
public:
    ConsoleWriter(std::ostream& out, bool colour) : m_out(out), m_colour(colour) {}
    void plain(const std::string& text);
    void coloured(Colour c, const std::string& text);
    void endl();

private:
    std::ostream& m_out;
    bool m_colour;
};

struct DeviceRecord {
    std::string name;
    std::string link;      // capture devices: symbolic link; FX3 devices: device path
    std::string location;  // empty when unknown
    uint8_t index = 0;     // FX3 devices
};

// Prints the three lists and the matches; the whole report of one run.
void writeReport(UsbDriver& usb, CaptureDeviceSource& capture, ConsoleWriter& w);

// The first capture record whose location equals the FX3 record's (exact, case-sensitive);
// null when the FX3 location is empty or nothing matches.
const DeviceRecord* findMatch(const DeviceRecord& fx3, const std::vector<DeviceRecord>& capture);

}  // namespace TVR::Devlink
