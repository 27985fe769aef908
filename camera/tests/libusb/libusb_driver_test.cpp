#include <gtest/gtest.h>

#include "libusb/camera_products.h"
#include "libusb/device_path.h"
#include "libusb/libusb_driver.h"
#include "usb/request_record.h"

namespace TVR::Libusb {
namespace {

TEST(LibusbDriver, ListsOnlyCamerasAndNeverCrashes) {
    LibusbDriver driver;
    const auto paths = driver.interfacePaths(kCyUsbDriverGuid);
    // Without usbfs (a container) nothing is there; with it, only table products in port order.
    if (!driver.available()) {
        EXPECT_TRUE(paths.empty());
    }
    for (const std::string& p : paths) {
        const auto parsed = parseDevicePath(p);
        ASSERT_TRUE(parsed) << p;
        EXPECT_NE(findCameraProduct(parsed->vendorId, parsed->productId), nullptr) << p;
        EXPECT_EQ(driver.location(p), formatLocation(parsed->location));
    }
    EXPECT_TRUE(driver.interfacePaths(Guid{}).empty());
}

TEST(LibusbDriver, BogusPathsDoNotOpen) {
    LibusbDriver driver;
    EXPECT_EQ(driver.open(""), nullptr);
    EXPECT_EQ(driver.open("usb:1-1"), nullptr);
    EXPECT_EQ(driver.open("sim:1-1"), nullptr);
    EXPECT_EQ(driver.open("usb:255-7.7.7.7.7.7.7:04b4:00f1"), nullptr);
    EXPECT_EQ(driver.open("usb:255-7.7.7.7.7.7.7:0000:0000"), nullptr);
}

TEST(LibusbDriver, LocationIsThePortPartOfAPath) {
    LibusbDriver driver;
    EXPECT_EQ(driver.location("usb:2-1.4:04b4:00f1"), "2-1.4");
    EXPECT_EQ(driver.location("usb:2-1.4:04b4:00f3"), "2-1.4");
    EXPECT_EQ(driver.location("usb:2-1.4:04b4"), "");
    EXPECT_EQ(driver.location("2-1.4"), "");
}

TEST(LibusbDriver, SubscribersCanComeAndGo) {
    int calls = 0;
    {
        LibusbDriver driver;
        const int a = driver.subscribe([&](PlugEvent, const std::string&) { ++calls; });
        const int b = driver.subscribe([&](PlugEvent, const std::string&) { ++calls; });
        EXPECT_NE(a, b);
        driver.unsubscribe(a);
        driver.unsubscribe(a);
        driver.unsubscribe(12345);
    }
    // Nothing was plugged, so nothing was reported, and destruction did not report either.
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace TVR::Libusb
