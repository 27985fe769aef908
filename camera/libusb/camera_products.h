#pragma once

// The USB products the backend offers as FX3 devices: the camera's own program and the FX3 boot
// loader, both under the Cypress vendor id. A device is listed only when its ids are in this
// table and it has a vendor-specific interface (the one the FX3 driver binds on Windows).

#include <cstdint>
#include <span>

namespace TVR::Libusb {

inline constexpr uint8_t kVendorSpecificClass = 0xFF;

struct CameraProduct {
    uint16_t vendorId;
    uint16_t productId;
    const char* name;  // the device name reported when the device has no product string
    bool bootLoader;
};

std::span<const CameraProduct> cameraProducts();
// Null when the ids are not a camera's.
const CameraProduct* findCameraProduct(uint16_t vendorId, uint16_t productId);

}  // namespace TVR::Libusb
