#include <gtest/gtest.h>

#include "libusb/camera_products.h"
#include "libusb/device_path.h"
#include "usb/usb_ids.h"

namespace TVR::Libusb {
namespace {

TEST(DevicePath, FormatsKernelNamesAndLowerCaseIds) {
    DevicePath p{{2, {1, 4}}, kCypressVendorId, kCameraProductId};
    EXPECT_EQ(formatDevicePath(p), "usb:2-1.4:04b4:00f1");
    EXPECT_EQ(formatLocation(p.location), "2-1.4");

    p.location = {255, {1, 2, 3, 4, 5, 6, 7}};
    p.vendorId = 0xABCD;
    p.productId = 0x00F3;
    EXPECT_EQ(formatDevicePath(p), "usb:255-1.2.3.4.5.6.7:abcd:00f3");

    // The boot loader on the same port has another path but the same location.
    const DevicePath camera{{3, {10}}, kCypressVendorId, kCameraProductId};
    const DevicePath loader{{3, {10}}, kCypressVendorId, kBootLoaderProductId};
    EXPECT_NE(formatDevicePath(camera), formatDevicePath(loader));
    EXPECT_EQ(formatLocation(camera.location), formatLocation(loader.location));
}

TEST(DevicePath, InvalidLocationsFormatEmpty) {
    EXPECT_EQ(formatLocation({1, {}}), "");                        // a root hub
    EXPECT_EQ(formatLocation({0, {1}}), "");                       // no bus 0
    EXPECT_EQ(formatLocation({1, {1, 0}}), "");                    // no port 0
    EXPECT_EQ(formatLocation({1, {1, 1, 1, 1, 1, 1, 1, 1}}), "");  // deeper than USB allows
    EXPECT_EQ(formatDevicePath({{1, {}}, kCypressVendorId, kCameraProductId}), "");
}

TEST(DevicePath, ParsesWhatItFormats) {
    for (const DevicePath& p :
         {DevicePath{{1, {1}}, 0x04B4, 0x00F1}, DevicePath{{12, {3, 255, 9}}, 0xFFFF, 0x0000},
          DevicePath{{255, {1, 2, 3, 4, 5, 6, 7}}, 0x1234, 0xABCD}}) {
        const std::string text = formatDevicePath(p);
        const auto back = parseDevicePath(text);
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(*back, p) << text;
        const auto loc = parseLocation(formatLocation(p.location));
        ASSERT_TRUE(loc);
        EXPECT_EQ(*loc, p.location);
    }
    // Upper-case ids name the same device.
    const auto upper = parseDevicePath("usb:2-1.4:04B4:00F1");
    ASSERT_TRUE(upper);
    EXPECT_EQ(formatDevicePath(*upper), "usb:2-1.4:04b4:00f1");
}

TEST(DevicePath, RejectsMalformedPaths) {
    for (const char* bad : {"",
                            "usb:",
                            "usb:2-1.4",
                            "usb:2-1.4:04b4",
                            "usb:2-1.4:04b4:00f",
                            "usb:2-1.4:04b4:00f1x",
                            "usb:2-1.4:4b4:000f1",
                            "usb:2-1.4:04g4:00f1",
                            "usb:2-1.4::04b4:00f1",
                            "usb:2-:04b4:00f1",
                            "usb:-1:04b4:00f1",
                            "usb:2:04b4:00f1",
                            "usb:2-1..4:04b4:00f1",
                            "usb:2-1.4.:04b4:00f1",
                            "usb:2-01:04b4:00f1",
                            "usb:0-1:04b4:00f1",
                            "usb:2-0:04b4:00f1",
                            "usb:256-1:04b4:00f1",
                            "usb:2-1000:04b4:00f1",
                            "usb:2-+1:04b4:00f1",
                            "usb:2-1 :04b4:00f1",
                            "usb:2-1.2.3.4.5.6.7.8:04b4:00f1",
                            "USB:2-1:04b4:00f1",
                            "sim:1-1",
                            "usb:2-1:04b4:00f1\n",
                            "usb:99999999999999999999-1:04b4:00f1"}) {
        EXPECT_FALSE(parseDevicePath(bad)) << '"' << bad << '"';
    }
    for (const char* bad : {"", "1", "1-", "-1", "1-1.", "a-1", "1-1:1.0", "usb1", "0-0050"}) {
        EXPECT_FALSE(parseLocation(bad)) << '"' << bad << '"';
    }
}

TEST(CameraProducts, TableHoldsCameraAndBootLoader) {
    const CameraProduct* camera = findCameraProduct(kCypressVendorId, kCameraProductId);
    const CameraProduct* loader = findCameraProduct(kCypressVendorId, kBootLoaderProductId);
    ASSERT_NE(camera, nullptr);
    ASSERT_NE(loader, nullptr);
    EXPECT_FALSE(camera->bootLoader);
    EXPECT_TRUE(loader->bootLoader);
    EXPECT_STRNE(camera->name, "");
    EXPECT_EQ(findCameraProduct(kCypressVendorId, 0x00F2), nullptr);
    EXPECT_EQ(findCameraProduct(0x04B5, kCameraProductId), nullptr);
    for (const CameraProduct& p : cameraProducts()) {
        EXPECT_EQ(p.vendorId, kCypressVendorId);
        EXPECT_EQ(findCameraProduct(p.vendorId, p.productId), &p);
    }
}

}  // namespace
}  // namespace TVR::Libusb
