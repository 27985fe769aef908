#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "apilog.h"
#include "fx3.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"
#include "sim/sim_images.h"
#include "sim/sim_upgrade.h"
#include "test_support.h"
#include "usb/usb_ids.h"

namespace TVR {
namespace {

using Bytes = std::vector<uint8_t>;

// The upgrade steps of the host, driven through FX3 against the simulated camera.
struct UpgradeCamera {
    explicit UpgradeCamera(bool flashValid = true, bool crcError = false) {
        Sim::SimCameraConfig cc;
        if (!flashValid) cc.productId = kBootLoaderProductId;
        camera = driver.addCamera(cc);
        firmware = std::make_shared<Sim::SimCameraFirmware>();
        camera->setFirmware(firmware);
        Sim::SimUpgradeConfig cfg;
        cfg.flashValid = flashValid;
        cfg.crcError = crcError;
        cfg.resetMs = 5;
        cfg.eraseMs = 2;
        cfg.configStageMs = 1;
        upgrade = Sim::SimUpgrade::install(driver, camera, cfg);
        fx3 = std::make_unique<FX3>(driver, log, false, 500);
        EXPECT_TRUE(fx3->selectDevice(0));
    }
    // Reconnects to device 0 once it answers with the wanted boot-loader state.
    bool reconnect(bool bootLoader) {
        return TestSupport::eventually([&] {
            return fx3->deviceCount() == 1 && fx3->selectDevice(0) &&
                   fx3->bootLoaderRunning() == bootLoader;
        });
    }

    ApiLog log;
    Sim::SimDriver driver;
    std::shared_ptr<Sim::SimCamera> camera;
    std::shared_ptr<Sim::SimCameraFirmware> firmware;
    std::shared_ptr<Sim::SimUpgrade> upgrade;
    std::unique_ptr<FX3> fx3;
};

bool loadRam(FX3& fx3, const Bytes& image, uint32_t& entry) {
    std::string error;
    const auto info = Sim::parseSimFx3Image(image, error);
    if (!info) return false;
    for (const auto& sec : info->sections) {
        for (size_t at = 0; at < sec.length; at += FX3::kBootLoaderChunk) {
            const size_t n = std::min(FX3::kBootLoaderChunk, sec.length - at);
            const auto piece = std::span(image).subspan(sec.offset + at, n);
            const uint32_t address = sec.address + static_cast<uint32_t>(at);
            Bytes back(FX3::kBootLoaderChunk);
            if (!fx3.bootLoaderWriteRam(address, piece) || !fx3.bootLoaderReadRam(address, back) ||
                !std::equal(piece.begin(), piece.end(), back.begin())) {
                return false;
            }
        }
    }
    entry = info->entry;
    return true;
}

TEST(FX3Upgrade, FlashProgrammingAndResetBringTheNewBuild) {
    UpgradeCamera cam;
    ASSERT_TRUE(cam.fx3->connected());
    EXPECT_FALSE(cam.fx3->bootLoaderRunning());
    EXPECT_EQ(cam.fx3->versionFX3().build(), 105);
    const Bytes image = Sim::buildSimFx3Image(170);
    const uint16_t sectors = static_cast<uint16_t>((image.size() + Sim::kSimFlashSectorSize - 1) /
                                                   Sim::kSimFlashSectorSize);
    for (uint16_t s = 0; s < sectors; ++s) {
        ASSERT_TRUE(cam.fx3->spiErase(s));
        ASSERT_TRUE(TestSupport::eventually([&] { return cam.fx3->spiEraseBusy(s) == false; }));
    }
    for (size_t at = 0; at < image.size(); at += FX3::kSpiPage) {
        Bytes piece(std::min(FX3::kSpiPage, (image.size() - at + 255) / 256 * 256), 0);
        std::copy_n(image.begin() + static_cast<long>(at),
                    std::min(piece.size(), image.size() - at), piece.begin());
        ASSERT_TRUE(cam.fx3->spiWrite(static_cast<uint32_t>(at), piece));
    }
    const std::string before = cam.fx3->devicePath(0);
    EXPECT_TRUE(cam.fx3->reset());
    ASSERT_TRUE(cam.reconnect(false));
    EXPECT_EQ(cam.fx3->devicePath(0), before);
    EXPECT_EQ(cam.fx3->versionFX3().build(), 170);
}

TEST(FX3Upgrade, BootLoaderRunsTheRamImageAndComesBackForAnotherLoad) {
    UpgradeCamera cam(false);
    ASSERT_TRUE(cam.fx3->connected());
    EXPECT_TRUE(cam.fx3->bootLoaderRunning());
    EXPECT_EQ(cam.fx3->devicePath(0), "sim:1-1:04b4:00f3");
    EXPECT_FALSE(cam.fx3->versionFX3().valid());

    uint32_t entry = 0;
    ASSERT_TRUE(loadRam(*cam.fx3, Sim::buildSimFx3Image(180, true), entry));
    EXPECT_FALSE(cam.fx3->bootLoaderStart(entry)) << "the damaged program is refused";
    EXPECT_TRUE(cam.fx3->bootLoaderRunning());

    ASSERT_TRUE(loadRam(*cam.fx3, Sim::buildSimFx3Image(180), entry));
    EXPECT_TRUE(cam.fx3->bootLoaderStart(entry));
    ASSERT_TRUE(cam.reconnect(false));
    EXPECT_EQ(cam.fx3->devicePath(0), "sim:1-1:04b4:00f1");
    EXPECT_EQ(cam.fx3->versionFX3().build(), 180);

    EXPECT_TRUE(cam.fx3->enterBootLoader());
    ASSERT_TRUE(cam.reconnect(true));
    EXPECT_EQ(cam.fx3->devicePath(0), "sim:1-1:04b4:00f3");
}

TEST(FX3Upgrade, FpgaConfigurationThroughTheBitstreamEndpoint) {
    for (const bool crcError : {false, true}) {
        UpgradeCamera cam(true, crcError);
        ASSERT_TRUE(cam.fx3->fpgaConfigMode());
        auto statusHas = [&](uint16_t bits) {
            const auto st = cam.fx3->fpgaConfigStatus();
            return st && (*st & bits) == bits;
        };
        ASSERT_TRUE(
            TestSupport::eventually([&] { return statusHas(Sim::SimConfigBit::kEraseOk); }));
        ASSERT_TRUE(cam.fx3->bulkWrite(Sim::buildSimFpgaImage(99), 90000));
        ASSERT_TRUE(TestSupport::eventually([&] { return statusHas(Sim::SimConfigBit::kDone); }));
        const uint16_t errors = *cam.fx3->fpgaConfigStatus() & Sim::SimConfigBit::kErrors;
        cam.fx3->readVersions();
        if (crcError) {
            EXPECT_EQ(errors, Sim::SimConfigBit::kCrcError);
            EXPECT_EQ(cam.fx3->versionFPGA().build(), 90);
        } else {
            EXPECT_EQ(errors, 0);
            EXPECT_EQ(cam.fx3->versionFPGA().build(), 99);
        }
    }
}

}  // namespace
}  // namespace TVR
