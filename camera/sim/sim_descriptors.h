#pragma once

// The descriptors a simulated camera serves: a vendor interface with the bulk endpoints the
// firmware uses, and a UVC function (control and streaming interfaces with their class-specific
// descriptors and an isochronous endpoint), for USB 2 high speed or USB 3 super speed.

#include <cstdint>
#include <string>
#include <vector>

namespace TVR::Sim {

struct SimCameraConfig;

std::vector<uint8_t> buildDeviceDescriptor(const SimCameraConfig& cfg);
std::vector<uint8_t> buildConfigDescriptor(const SimCameraConfig& cfg);
std::vector<uint8_t> buildBosDescriptor(const SimCameraConfig& cfg);  // empty for USB 2
// Index 0 is the language list; 1-3 manufacturer, product, serial; others empty.
std::vector<uint8_t> buildStringDescriptor(const SimCameraConfig& cfg, uint8_t index);

// UTF-8 to UTF-16LE bytes (invalid sequences become U+FFFD).
std::vector<uint8_t> utf16leBytes(const std::string& text);

}  // namespace TVR::Sim
