#include "fx3_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "apilog.h"
#include "fx3.h"
#include "image_builder.h"
#include "protocol/vendor_requests.h"
#include "sim/sim_driver.h"
#include "sim/sim_images.h"
#include "sim/sim_upgrade.h"
#include "test_support.h"

namespace TVR {
namespace {

struct LoaderCamera {
    explicit LoaderCamera(Sim::SimUpgradeConfig config) {
        config.resetMs = 5;
        config.eraseMs = 2;
        config.configStageMs = 1;
        camera->setFirmware(firmware);
        upgrade = Sim::SimUpgrade::install(driver, camera, config);
        // A camera without a program in its flash comes back under the boot loader first.
        EXPECT_TRUE(TestSupport::eventually(
            [this] { return fx3.deviceCount() == 1 && fx3.selectDevice(0); }));
        camera->clearRequests();
    }
    static Sim::SimUpgradeConfig bootLoader() {
        Sim::SimUpgradeConfig c;
        c.flashValid = false;
        return c;
    }
    std::vector<Sim::SetupPacket> requests(uint8_t code) const {
        std::vector<Sim::SetupPacket> out;
        for (const auto& r : camera->requests()) {
            if (r.kind == Sim::SimRequestRecord::Kind::Control && r.setup.bRequest == code) {
                out.push_back(r.setup);
            }
        }
        return out;
    }

    Sim::SimDriver driver;
    std::shared_ptr<Sim::SimCamera> camera = driver.addCamera();
    std::shared_ptr<Sim::SimCameraFirmware> firmware = std::make_shared<Sim::SimCameraFirmware>();
    std::shared_ptr<Sim::SimUpgrade> upgrade;
    ApiLog log;
    FX3 fx3{driver, log, false, 200};
};

uint32_t addressOf(const Sim::SetupPacket& s) {
    return static_cast<uint32_t>(s.wValue) | (static_cast<uint32_t>(s.wIndex) << 16);
}

TEST(Fx3Loader, RamLoadWritesVerifiedPiecesThenStarts) {
    LoaderCamera cam(LoaderCamera::bootLoader());
    ASSERT_TRUE(cam.fx3.bootLoaderRunning());
    cam.camera->clearRequests();
    const std::vector<uint8_t> image = Sim::buildSimFx3Image(321);

    ASSERT_EQ(loadFx3Ram(cam.fx3, image), kRamLoadDone);
    EXPECT_TRUE(TestSupport::eventually([&cam] { return cam.upgrade->runningFromRam(); }));
    EXPECT_EQ(cam.firmware->fx3Version(), Sim::simFx3VersionForBuild(321));

    // Every piece is written, read back from the same address, and the start comes last.
    const auto boot = cam.requests(VR_BOOTLOADER);
    ASSERT_GE(boot.size(), 3u);
    const auto& start = boot.back();
    EXPECT_FALSE(start.isIn());
    EXPECT_EQ(start.wLength, 0);
    size_t written = 0;
    for (size_t i = 0; i + 1 < boot.size(); i += 2) {
        EXPECT_FALSE(boot[i].isIn());
        EXPECT_TRUE(boot[i + 1].isIn());
        EXPECT_EQ(addressOf(boot[i]), addressOf(boot[i + 1]));
        EXPECT_LE(boot[i].wLength, FX3::kBootLoaderChunk);
        EXPECT_EQ(boot[i].wLength, boot[i + 1].wLength);
        written += boot[i].wLength;
    }
    EXPECT_EQ(boot.size() % 2, 1u);
    std::string error;
    const auto info = Sim::parseSimFx3Image(image, error);
    ASSERT_TRUE(info) << error;
    size_t expected = 0;
    for (const auto& s : info->sections) expected += s.length;
    EXPECT_EQ(written, expected);
    EXPECT_EQ(addressOf(start), info->entry);
}

TEST(Fx3Loader, RamLoadRetriesAPieceAndGivesUpAfterThreeAttempts) {
    Sim::SimUpgradeConfig config = LoaderCamera::bootLoader();
    config.stallAtWrite = 0;
    LoaderCamera cam(config);
    const std::vector<uint8_t> image = Sim::buildSimFx3Image(322);
    ASSERT_EQ(loadFx3Ram(cam.fx3, image), kRamLoadDone);
    const auto boot = cam.requests(VR_BOOTLOADER);
    ASSERT_GE(boot.size(), 2u);
    // The stalled first write was sent again at the same address.
    EXPECT_FALSE(boot[0].isIn());
    EXPECT_FALSE(boot[1].isIn());
    EXPECT_EQ(addressOf(boot[0]), addressOf(boot[1]));

    Sim::SimUpgradeConfig gone = LoaderCamera::bootLoader();
    gone.unplugAtWrite = 0;
    LoaderCamera unplugged(gone);
    EXPECT_EQ(loadFx3Ram(unplugged.fx3, image), kRamLoadWriteFailed);
    EXPECT_FALSE(unplugged.upgrade->runningFromRam());
}

// A read-back that differs from what was written is a failed attempt: the piece is written
// again, and after three differing read-backs the load stops without starting anything.
TEST(Fx3Loader, RamLoadVerifiesEachPieceByItsReadBack) {
    const std::vector<uint8_t> image = Sim::buildSimFx3Image(325);
    {
        Sim::SimUpgradeConfig config = LoaderCamera::bootLoader();
        config.corruptReadbacks = 1;
        LoaderCamera cam(config);
        ASSERT_EQ(loadFx3Ram(cam.fx3, image), kRamLoadDone);
        const auto boot = cam.requests(VR_BOOTLOADER);
        ASSERT_GE(boot.size(), 4u);
        // write, read (altered), write again, read.
        EXPECT_FALSE(boot[0].isIn());
        EXPECT_TRUE(boot[1].isIn());
        EXPECT_FALSE(boot[2].isIn());
        EXPECT_TRUE(boot[3].isIn());
        EXPECT_EQ(addressOf(boot[0]), addressOf(boot[2]));
        EXPECT_TRUE(TestSupport::eventually([&cam] { return cam.upgrade->runningFromRam(); }));
        EXPECT_EQ(cam.firmware->fx3Version(), Sim::simFx3VersionForBuild(325));
    }
    {
        Sim::SimUpgradeConfig config = LoaderCamera::bootLoader();
        config.corruptReadbacks = 3;
        LoaderCamera cam(config);
        EXPECT_EQ(loadFx3Ram(cam.fx3, image), kRamLoadWriteFailed);
        const auto boot = cam.requests(VR_BOOTLOADER);
        ASSERT_EQ(boot.size(), 6u);
        for (const auto& r : boot) EXPECT_EQ(addressOf(r), addressOf(boot[0]));
        EXPECT_TRUE(cam.upgrade->bootLoaderRunning());
        EXPECT_FALSE(cam.upgrade->runningFromRam());
    }
}

TEST(Fx3Loader, BadImagesAreRefused) {
    LoaderCamera cam(LoaderCamera::bootLoader());

    // A damaged data word: everything is written and verified, but the start is never sent.
    EXPECT_EQ(loadFx3Ram(cam.fx3, Sim::buildSimFx3Image(323, true)), kRamLoadChecksumMismatch);
    const auto boot = cam.requests(VR_BOOTLOADER);
    ASSERT_FALSE(boot.empty());
    EXPECT_TRUE(boot.back().isIn());
    EXPECT_TRUE(cam.upgrade->bootLoaderRunning());

    // Lengths past the file or no signature: not one request.
    cam.camera->clearRequests();
    std::vector<uint8_t> image = Sim::buildSimFx3Image(324);
    std::vector<uint8_t> cut(image.begin(), image.begin() + 5000);
    EXPECT_EQ(loadFx3Ram(cam.fx3, cut), kRamLoadMalformed);
    FirmwareTest::Fx3ImageBuilder::put32(image, 4, 0xFFFFFFFF);
    EXPECT_EQ(loadFx3Ram(cam.fx3, image), kRamLoadMalformed);
    image[0] = 'X';
    EXPECT_EQ(loadFx3Ram(cam.fx3, image), kRamLoadNoSignature);
    EXPECT_TRUE(cam.requests(VR_BOOTLOADER).empty());
}

TEST(Fx3Loader, SpiProgrammingPadsTheLastPiece) {
    LoaderCamera cam{Sim::SimUpgradeConfig{}};
    ASSERT_TRUE(cam.fx3.spiEnable());
    const std::vector<uint8_t> image =
        FirmwareTest::Fx3ImageBuilder().section(Sim::kSimFx3RamBase, 244).build(0x40000000);
    ASSERT_EQ(image.size(), 1000u);
    cam.camera->clearRequests();

    ASSERT_EQ(programFx3Spi(cam.fx3, image), kSpiProgramDone);
    const auto erases = cam.requests(VR_SPI_ERASE);
    ASSERT_FALSE(erases.empty());
    EXPECT_FALSE(erases[0].isIn());
    EXPECT_EQ(erases[0].wValue, 1);
    EXPECT_EQ(erases[0].wIndex, 0);
    EXPECT_EQ(std::count_if(erases.begin(), erases.end(),
                            [](const Sim::SetupPacket& s) { return !s.isIn(); }),
              1);
    const auto writes = cam.requests(VR_SPI_WRITE);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].wIndex, 0);
    EXPECT_EQ(writes[0].wLength, 1024);

    std::vector<uint8_t> expected = image;
    expected.resize(1024, 0);
    EXPECT_EQ(cam.upgrade->flash(0, 1024), expected);
    EXPECT_EQ(cam.upgrade->flash(1024, 4), std::vector<uint8_t>(4, 0xFF));
}

TEST(Fx3Loader, SpiProgrammingAcrossSectorsAndItsFailures) {
    LoaderCamera cam{Sim::SimUpgradeConfig{}};
    ASSERT_TRUE(cam.fx3.spiEnable());
    const std::vector<uint8_t> image = Sim::buildSimFx3Image(325);
    ASSERT_GT(image.size(), Sim::kSimFlashSectorSize);
    ASSERT_EQ(programFx3Spi(cam.fx3, image), kSpiProgramDone);
    EXPECT_EQ(cam.upgrade->flash(0, static_cast<uint32_t>(image.size())), image);
    const auto erases = cam.requests(VR_SPI_ERASE);
    EXPECT_EQ(
        static_cast<size_t>(std::count_if(erases.begin(), erases.end(),
                                          [](const Sim::SetupPacket& s) { return !s.isIn(); })),
        (image.size() + 65535) / 65536);

    // Images the FX3 could not boot leave the flash alone.
    cam.camera->clearRequests();
    EXPECT_EQ(programFx3Spi(cam.fx3, {}), kSpiProgramBadImage);
    EXPECT_EQ(programFx3Spi(cam.fx3, Sim::buildSimFx3Image(326, true)), kSpiProgramBadImage);
    EXPECT_EQ(programFx3Spi(cam.fx3, std::span(image).first(image.size() - 1)),
              kSpiProgramBadImage);
    EXPECT_TRUE(cam.requests(VR_SPI_ERASE).empty());
    EXPECT_EQ(cam.upgrade->flash(0, static_cast<uint32_t>(image.size())), image);

    Sim::SimUpgradeConfig config;
    config.eraseError = true;
    LoaderCamera failing(config);
    ASSERT_TRUE(failing.fx3.spiEnable());
    EXPECT_EQ(programFx3Spi(failing.fx3, image), kSpiProgramEraseFailed);
    EXPECT_TRUE(failing.requests(VR_SPI_WRITE).empty());

    Sim::SimUpgradeConfig stalls;
    stalls.stallAtWrite = 0;
    LoaderCamera stalled(stalls);
    ASSERT_TRUE(stalled.fx3.spiEnable());
    EXPECT_EQ(programFx3Spi(stalled.fx3, image), kSpiProgramWriteFailed);
}

}  // namespace
}  // namespace TVR
