#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "apilog.h"
#include "backend/usb_backend.h"
#include "kernel_rig.h"
#include "protocol/vendor_requests.h"
#include "sensor/img_sensor.h"
#include "session/camera_session.h"
#include "settings/camera_transfer.h"
#include "usb/usb_device.h"
#include "versioninfo.h"

namespace TVR::KernelTests {
namespace {

// Nothing here asks a question; one that came would be a fault.
class RefusingPrompter : public TransferPrompter {
public:
    bool askYesNo(std::string_view, std::string_view text) override {
        ADD_FAILURE() << "asked: " << text;
        return false;
    }
    void showError(std::string_view, std::string_view text) override {
        ADD_FAILURE() << "error shown: " << text;
    }
};

TEST(CameraSessionOnUsb, PlugTrackingFollowsTheCameraThroughTheKernel) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    const std::string location = kernelLocationOf(0x04B4, 0x00F1);
    std::string error;
    Backends backends = openBackends(false, error);
    ASSERT_TRUE(backends.usb) << error;
    ApiLog log;
    RefusingPrompter prompter;
    // Outlives the session, whose subscription counts into it.
    std::atomic<int> changes{0};
    CameraSession::Options options;
    options.controlTimeoutMs = kEmulatedControlTimeoutMs;
    CameraSession session(std::move(backends), log, prompter, options);
    // libusb lists the camera once udev has announced it.
    ASSERT_TRUE(waitFor([&] { return session.deviceCount() == 1; }));
    const SessionResult selected = session.selectLocation(location);
    ASSERT_TRUE(selected) << selected.message;
    EXPECT_EQ(session.selectedLocation(), location);
    EXPECT_EQ(session.camera().versionFX3().shortText(), "1.1.4.5.105");

    const int token = session.subscribeDeviceChanges([&] { ++changes; });
    ASSERT_GE(token, 0);
    EXPECT_EQ(session.checkPlugged(), PlugChange::None);

    k.driver.unplug(k.cam);
    ASSERT_TRUE(waitFor([&] { return changes.load() > 0; })) << "no device change";
    EXPECT_EQ(session.checkPlugged(), PlugChange::Lost);
    {
        auto work = session.batch();
        EXPECT_FALSE(session.connected());
    }
    EXPECT_EQ(session.checkPlugged(), PlugChange::None) << "lost once";

    // Back at the same port: the session opens it again and asks for its versions afresh.
    k.cam->clearRequests();
    const int beforePlug = changes.load();
    k.driver.plug(k.cam);
    ASSERT_TRUE(waitFor([&] { return changes.load() > beforePlug; })) << "no device change";
    EXPECT_EQ(session.checkPlugged(), PlugChange::Back);
    EXPECT_EQ(session.checkPlugged(), PlugChange::None) << "back once";
    EXPECT_EQ(kernelLocationOf(0x04B4, 0x00F1), location);
    {
        auto work = session.batch();
        ASSERT_TRUE(session.connected());
        EXPECT_EQ(session.camera().device().location(), location);
        EXPECT_EQ(session.camera().versionFX3().shortText(), "1.1.4.5.105");
        const auto requests = k.cam->requests();
        EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [](const auto& r) {
            return r.kind == Sim::SimRequestRecord::Kind::Control &&
                   r.setup.bRequest == VR_FX3_VERSION;
        })) << "the version was not asked for again";
        // A request of its own after the return.
        k.firmware->setSensorRegister(0x5000, 0x5A);
        uint16_t value = 0;
        EXPECT_TRUE(session.camera().readRegister(0x5000, value));
        EXPECT_EQ(value, 0x5A);
    }
    session.unsubscribeDeviceChanges(token);
}

}  // namespace
}  // namespace TVR::KernelTests
