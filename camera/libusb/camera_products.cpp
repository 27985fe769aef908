#include "camera_products.h"

#include <array>

#include "usb/usb_ids.h"

namespace TVR::Libusb {

namespace {

constexpr std::array<CameraProduct, 2> kProducts{{
    {kCypressVendorId, kCameraProductId, "Tavro USB3 camera", false},
    {kCypressVendorId, kBootLoaderProductId, "Cypress FX3 boot loader", true},
}};

}  // namespace

std::span<const CameraProduct> cameraProducts() { return kProducts; }

const CameraProduct* findCameraProduct(uint16_t vendorId, uint16_t productId) {
    for (const CameraProduct& p : kProducts) {
        if (p.vendorId == vendorId && p.productId == productId) return &p;
    }
    return nullptr;
}

}  // namespace TVR::Libusb
