#pragma once

#include <cstdint>

namespace TVR {

// USB ids of FX3 devices the tools talk to: the camera's own program and the FX3 boot loader
// (which enumerates under another product id while it runs).
inline constexpr uint16_t kCypressVendorId = 0x04B4;
inline constexpr uint16_t kCameraProductId = 0x00F1;
inline constexpr uint16_t kBootLoaderProductId = 0x00F3;

}  // namespace TVR
