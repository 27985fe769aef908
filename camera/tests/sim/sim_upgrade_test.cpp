#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "firmware_helpers.h"
#include "sim/sim_driver.h"
#include "sim/sim_images.h"
#include "sim/sim_options.h"
#include "sim/sim_upgrade.h"
#include "usb/request_record.h"
#include "usb/usb_ids.h"

namespace TVR::Sim {
namespace {

using namespace Test;
using namespace SimConfigBit;

constexpr const char* kProgramPath = "sim:1-1:04b4:00f1";
constexpr const char* kBootLoaderPath = "sim:1-1:04b4:00f3";

// Plug events as the driver delivers them.
struct PlugLog {
    explicit PlugLog(SimDriver& d) : driver(d) {
        token = driver.subscribe([this](PlugEvent e, const std::string& p) {
            std::lock_guard lock(mutex);
            events.emplace_back(e, p);
            cv.notify_all();
        });
    }
    ~PlugLog() { driver.unsubscribe(token); }
    // The events once there are n of them (the ones so far after a generous wait).
    std::vector<std::pair<PlugEvent, std::string>> waitFor(size_t n) {
        std::unique_lock lock(mutex);
        cv.wait_for(lock, std::chrono::seconds(10), [&] { return events.size() >= n; });
        return events;
    }
    SimDriver& driver;
    int token = 0;
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::pair<PlugEvent, std::string>> events;
};

struct UpgradeRig {
    explicit UpgradeRig(bool flashValid = true, SimUpgradeConfig cfg = {}) {
        SimCameraConfig cc;
        if (!flashValid) cc.productId = kBootLoaderProductId;
        camera = driver.addCamera(cc);
        SimFirmwareConfig fc;
        fc.clock = clock.clock();
        firmware = std::make_shared<SimCameraFirmware>(fc);
        camera->setFirmware(firmware);
        cfg.flashValid = flashValid;
        cfg.clock = clock.clock();
        cfg.resetMs = 1;
        upgrade = SimUpgrade::install(driver, camera, cfg);
    }
    uint16_t status() {
        const auto r = vendorRead(*firmware, VR_FPGA_CONFIG_STATUS, 0, 0, 2);
        return r && r->size() == 2 ? static_cast<uint16_t>((*r)[0] | (*r)[1] << 8) : 0xFFFF;
    }
    int bootLoaderByte() {
        const auto r = vendorRead(*firmware, VR_BOOTLOADER, 0, 0, 1);
        return r && r->size() == 1 ? (*r)[0] : -1;
    }
    std::optional<bool> eraseBusy(uint16_t sector) {
        const auto r = vendorRead(*firmware, VR_SPI_ERASE, 0, sector, 1);
        if (!r) return std::nullopt;
        return (*r)[0] != 0;
    }

    ManualClock clock;
    SimDriver driver;
    std::shared_ptr<SimCamera> camera;
    std::shared_ptr<SimCameraFirmware> firmware;
    std::shared_ptr<SimUpgrade> upgrade;
};

uint16_t lo(uint32_t v) { return static_cast<uint16_t>(v); }
uint16_t hi(uint32_t v) { return static_cast<uint16_t>(v >> 16); }

// Writes and verifies every section in 2048-byte pieces as the boot-loader protocol does;
// returns the entry address.
uint32_t loadIntoRam(SimCameraFirmware& fw, const Bytes& image) {
    std::string error;
    const auto info = parseSimFx3Image(image, error);
    EXPECT_TRUE(info) << error;
    if (!info) return 0;
    for (const auto& sec : info->sections) {
        for (size_t at = 0; at < sec.length; at += 2048) {
            const size_t n = std::min<size_t>(2048, sec.length - at);
            const Bytes piece(image.begin() + static_cast<long>(sec.offset + at),
                              image.begin() + static_cast<long>(sec.offset + at + n));
            const uint32_t address = sec.address + static_cast<uint32_t>(at);
            EXPECT_TRUE(vendorWrite(fw, VR_BOOTLOADER, lo(address), hi(address), piece));
            const auto back = vendorRead(fw, VR_BOOTLOADER, lo(address), hi(address), 2048);
            EXPECT_TRUE(back && std::equal(piece.begin(), piece.end(), back->begin()));
        }
    }
    return info->entry;
}

// Erases what the image needs, waiting out each busy phase, then writes it in pages.
void programFlash(UpgradeRig& rig, const Bytes& image) {
    const size_t sectors = (image.size() + kSimFlashSectorSize - 1) / kSimFlashSectorSize;
    for (uint16_t s = 0; s < sectors; ++s) {
        ASSERT_TRUE(vendorWrite(*rig.firmware, VR_SPI_ERASE, 1, s));
        ASSERT_EQ(rig.eraseBusy(s), true);
        rig.clock.ms += 100;
        ASSERT_EQ(rig.eraseBusy(s), false);
    }
    Bytes padded = image;
    padded.resize((image.size() + 255) / 256 * 256, 0);
    for (size_t at = 0; at < padded.size(); at += 2048) {
        const size_t n = std::min<size_t>(2048, padded.size() - at);
        ASSERT_TRUE(vendorWrite(*rig.firmware, VR_SPI_WRITE, 0, static_cast<uint16_t>(at / 256),
                                Bytes(padded.begin() + static_cast<long>(at),
                                      padded.begin() + static_cast<long>(at + n))));
    }
}

TEST(SimImages, Fx3ImageLayoutAndCorruption) {
    const Bytes good = buildSimFx3Image(120);
    ASSERT_GE(good.size(), kSimFx3MinImageSize);
    std::string error;
    const auto info = parseSimFx3Image(good, error);
    ASSERT_TRUE(info) << error;
    EXPECT_TRUE(info->checksumOk());
    EXPECT_EQ(info->size, good.size());
    ASSERT_FALSE(info->sections.empty());
    const auto& first = info->sections.front();
    const auto rec = simProgramRecord(std::span(good).subspan(first.offset, first.length));
    ASSERT_TRUE(rec);
    EXPECT_EQ(simVersionBuild(rec->version), 120u);
    EXPECT_NE(buildSimFx3Image(121), good);

    const auto bad = parseSimFx3Image(buildSimFx3Image(120, true), error);
    ASSERT_TRUE(bad);
    EXPECT_FALSE(bad->checksumOk());

    // Hostile layouts are errors, never reads past the end.
    Bytes cut(good.begin(), good.begin() + 100);
    EXPECT_FALSE(parseSimFx3Image(cut, error));
    Bytes huge = good;
    huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;
    EXPECT_FALSE(parseSimFx3Image(huge, error));
    EXPECT_FALSE(parseSimFx3Image(Bytes{'C'}, error));
    EXPECT_FALSE(parseSimFx3Image(Bytes{'X', 'Y', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, error));
}

TEST(SimImages, FpgaBitstreamHeaderAndCrc) {
    const Bytes good = buildSimFpgaImage(95);
    ASSERT_EQ(good.size(), kSimFpgaMinImageSize);
    const auto h = parseSimFpgaHeader(good);
    ASSERT_TRUE(h);
    EXPECT_EQ(simVersionBuild(h->version), 95u);
    EXPECT_EQ(h->length, good.size());
    EXPECT_EQ(h->crc, simCrc32(std::span(good).subspan(kSimFpgaHeaderSize)));
    const Bytes bad = buildSimFpgaImage(95, true);
    EXPECT_NE(parseSimFpgaHeader(bad)->crc, simCrc32(std::span(bad).subspan(kSimFpgaHeaderSize)));
    EXPECT_FALSE(parseSimFpgaHeader(std::span(good).first(10)));
    const Bytes check{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(simCrc32(check), 0xCBF43926u);
}

TEST(SimBootLoader, RamLoadStartsTheImagesVersionUnderTheCameraId) {
    UpgradeRig rig(false);
    PlugLog log(rig.driver);
    EXPECT_EQ(rig.driver.pathOf(*rig.camera), kBootLoaderPath);
    EXPECT_EQ(rig.bootLoaderByte(), 1);
    EXPECT_EQ(rig.firmware->fx3Version(), 0u) << "the boot loader has no version record";
    EXPECT_FALSE(vendorWrite(*rig.firmware, VR_SPI_ERASE, 1, 0)) << "flash needs the program";
    EXPECT_FALSE(vendorWrite(*rig.firmware, VR_BOOTLOADER, 0, 0, Bytes(16))) << "outside RAM";

    const uint32_t entry = loadIntoRam(*rig.firmware, buildSimFx3Image(140));
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_BOOTLOADER, lo(entry), hi(entry)));
    const auto ev = log.waitFor(2);
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0], std::make_pair(PlugEvent::Left, std::string(kBootLoaderPath)));
    EXPECT_EQ(ev[1], std::make_pair(PlugEvent::Arrived, std::string(kProgramPath)));
    EXPECT_EQ(rig.camera->productId(), kCameraProductId);
    EXPECT_EQ(simVersionBuild(rig.firmware->fx3Version()), 140u);
    EXPECT_EQ(rig.bootLoaderByte(), 0);
    EXPECT_TRUE(rig.upgrade->runningFromRam());

    // The RAM program is gone after a reset; the flash still holds nothing.
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_RESET, 0, 0));
    const auto after = log.waitFor(4);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[3], std::make_pair(PlugEvent::Arrived, std::string(kBootLoaderPath)));
    EXPECT_EQ(rig.bootLoaderByte(), 1);
}

TEST(SimBootLoader, DamagedProgramOrBadEntryIsRefusedAndTheBootLoaderStays) {
    UpgradeRig rig(false);
    PlugLog log(rig.driver);
    const uint32_t entry = loadIntoRam(*rig.firmware, buildSimFx3Image(140, true));
    EXPECT_FALSE(vendorWrite(*rig.firmware, VR_BOOTLOADER, lo(entry), hi(entry)));
    EXPECT_EQ(rig.bootLoaderByte(), 1);

    UpgradeRig good(false);
    const uint32_t e2 = loadIntoRam(*good.firmware, buildSimFx3Image(140));
    const uint32_t outside = kSimFx3RamBase + kSimFx3RamSize;
    EXPECT_FALSE(vendorWrite(*good.firmware, VR_BOOTLOADER, lo(outside), hi(outside)));
    const uint32_t unloaded = e2 + 0x30000;
    EXPECT_FALSE(vendorWrite(*good.firmware, VR_BOOTLOADER, lo(unloaded), hi(unloaded)))
        << "nothing was loaded there";
    EXPECT_EQ(good.bootLoaderByte(), 1);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(rig.driver.pathOf(*rig.camera), kBootLoaderPath);
}

TEST(SimFlash, EraseBusyPageWritesAndResetBootsTheNewVersion) {
    UpgradeRig rig;
    PlugLog log(rig.driver);
    auto handle = rig.driver.open(kProgramPath);
    ASSERT_TRUE(handle);
    EXPECT_EQ(rig.bootLoaderByte(), 0);
    EXPECT_TRUE(vendorWrite(*rig.firmware, VR_SPI_ENABLE, 0, 0));
    EXPECT_TRUE(rig.upgrade->spiEnabled());

    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_SPI_ERASE, 1, 3));
    EXPECT_EQ(rig.eraseBusy(3), true);
    EXPECT_FALSE(vendorWrite(*rig.firmware, VR_SPI_WRITE, 0, 3 * 256, Bytes(256, 0)))
        << "the flash is busy";
    EXPECT_FALSE(vendorWrite(*rig.firmware, VR_SPI_ERASE, 1, 4)) << "one erase at a time";
    rig.clock.ms += 100;
    EXPECT_EQ(rig.eraseBusy(3), false);
    EXPECT_FALSE(vendorWrite(*rig.firmware, VR_SPI_ERASE, 1, 32)) << "beyond the 2 MiB flash";
    EXPECT_FALSE(vendorWrite(*rig.firmware, VR_SPI_ERASE, 0, 3)) << "wValue 1 erases";

    // NOR programming clears bits only.
    const uint32_t at = 3 * kSimFlashSectorSize;
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_SPI_WRITE, 0, at / 256, Bytes{0xF0, 0x3C}));
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_SPI_WRITE, 0, at / 256, Bytes{0x0F, 0xFF}));
    EXPECT_EQ(rig.upgrade->flash(at, 3), (Bytes{0x00, 0x3C, 0xFF}));

    const Bytes image = buildSimFx3Image(150);
    programFlash(rig, image);
    EXPECT_EQ(rig.upgrade->flash(0, static_cast<uint32_t>(image.size())), image);
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_RESET, 0, 0));
    const auto ev = log.waitFor(2);
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0], std::make_pair(PlugEvent::Left, std::string(kProgramPath)));
    EXPECT_EQ(ev[1], std::make_pair(PlugEvent::Arrived, std::string(kProgramPath)));
    EXPECT_EQ(simVersionBuild(rig.firmware->fx3Version()), 150u);
    EXPECT_FALSE(rig.upgrade->runningFromRam());
    EXPECT_FALSE(rig.upgrade->spiEnabled()) << "a reset starts with GPIF on";

    // A handle from before the reset belongs to the device that left.
    Bytes rec = makeRequestRecord(4);
    RequestHeader h;
    decodeRequestHeader(rec, h);
    h.bmRequestType = kVendorRead;
    h.bRequest = VR_FX3_VERSION;
    h.wLength = 4;
    h.bufferLength = 4;
    h.timeoutSec = 1;
    encodeRequestHeader(h, rec);
    UsbOverlapped ov;
    EXPECT_EQ(handle->ioControl(Ioctl::kControlTransfer, rec, rec, &ov, nullptr), IoSubmit::Failed);
    auto fresh = rig.driver.open(kProgramPath);
    ASSERT_TRUE(fresh);
    UsbOverlapped ov2;
    EXPECT_EQ(fresh->ioControl(Ioctl::kControlTransfer, rec, rec, &ov2, nullptr), IoSubmit::Done);
}

TEST(SimFlash, EnterBootLoaderReEnumeratesUnderTheBootLoaderIdAndAPartialFlashStaysThere) {
    UpgradeRig rig;
    PlugLog log(rig.driver);
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_ENTER_BOOTLOADER, 0, 0));
    const auto ev = log.waitFor(2);
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0], std::make_pair(PlugEvent::Left, std::string(kProgramPath)));
    EXPECT_EQ(ev[1], std::make_pair(PlugEvent::Arrived, std::string(kBootLoaderPath)));
    EXPECT_EQ(rig.driver.interfacePaths(kCyUsbDriverGuid),
              std::vector<std::string>{kBootLoaderPath});
    EXPECT_EQ(rig.bootLoaderByte(), 1);
    EXPECT_FALSE(rig.driver.open(kProgramPath));

    // Back to the program from RAM, then half an image in the flash: the reset finds no
    // program and the boot loader runs again.
    const uint32_t entry = loadIntoRam(*rig.firmware, buildSimFx3Image(160));
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_BOOTLOADER, lo(entry), hi(entry)));
    ASSERT_EQ(log.waitFor(4).size(), 4u);
    Bytes image = buildSimFx3Image(160);
    image.resize(image.size() / 2);
    programFlash(rig, image);
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_RESET, 0, 0));
    const auto after = log.waitFor(6);
    ASSERT_EQ(after.size(), 6u);
    EXPECT_EQ(after[5], std::make_pair(PlugEvent::Arrived, std::string(kBootLoaderPath)));
}

TEST(SimFpgaConfig, StatusAdvancesWhileTheBitstreamArrivesAndTheNewVersionRuns) {
    SimUpgradeConfig cfg;
    cfg.configStageMs = 10;
    cfg.eraseMs = 100;
    UpgradeRig rig(true, cfg);
    EXPECT_EQ(rig.status(), 0);
    const Bytes image = buildSimFpgaImage(97);
    EXPECT_FALSE(rig.firmware->bulkOut(kEpBitstreamOut, image)) << "not in configuration mode";

    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_FPGA_CONFIG_MODE, 0, 0));
    EXPECT_EQ(rig.status(), kStarted);
    rig.clock.ms += 10;
    EXPECT_EQ(rig.status(), kStarted | kInitOk);
    rig.clock.ms += 10;
    EXPECT_EQ(rig.status(), kStarted | kInitOk | kCheckIdOk);
    rig.clock.ms += 10;
    const uint16_t erasing = kStarted | kInitOk | kCheckIdOk | kEraseSwOk;
    EXPECT_EQ(rig.status(), erasing);
    EXPECT_FALSE(rig.firmware->bulkOut(kEpBitstreamOut, image)) << "the flash is still erasing";
    rig.clock.ms += 100;
    EXPECT_EQ(rig.status(), erasing | kEraseOk);

    // The header split over two transfers, then the rest.
    const std::span<const uint8_t> all(image);
    ASSERT_TRUE(rig.firmware->bulkOut(kEpBitstreamOut, all.first(7)));
    ASSERT_TRUE(rig.firmware->bulkOut(kEpBitstreamOut, all.subspan(7, 1 << 20)));
    EXPECT_EQ(rig.status(), erasing | kEraseOk);
    ASSERT_TRUE(rig.firmware->bulkOut(kEpBitstreamOut, all.subspan(7 + (1 << 20))));
    EXPECT_EQ(simVersionBuild(rig.firmware->fpgaVersion()), 97u);
    uint16_t seen = rig.status();
    for (const uint16_t bit : {kProgramOk, kVerifyOk, kProgramSwOk}) {
        rig.clock.ms += 10;
        const uint16_t now = rig.status();
        EXPECT_EQ(now, seen | bit);
        seen = now;
    }
    rig.clock.ms += 10;
    EXPECT_EQ(rig.status(), 0x03FF) << "every stage OK, not busy, done";
    EXPECT_FALSE(rig.firmware->bulkOut(kEpBitstreamOut, all.first(64))) << "configuration is over";

    // The new configuration is in the FPGA's flash: a reset keeps it.
    PlugLog log(rig.driver);
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_RESET, 0, 0));
    ASSERT_EQ(log.waitFor(2).size(), 2u);
    EXPECT_EQ(simVersionBuild(rig.firmware->fpgaVersion()), 97u);
}

TEST(SimFpgaConfig, UnknownBitstreamIsAProgramError) {
    SimUpgradeConfig cfg;
    cfg.configStageMs = 1;
    cfg.eraseMs = 1;
    UpgradeRig rig(true, cfg);
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_FPGA_CONFIG_MODE, 0, 0));
    rig.clock.ms += 10;
    ASSERT_TRUE(rig.firmware->bulkOut(kEpBitstreamOut, Bytes(4096, 0xFF)));
    EXPECT_EQ(rig.status() & (kProgramError | kNotBusy | kDone), kProgramError | kNotBusy);
}

TEST(SimFaults, EraseErrorsOnBothFlashes) {
    SimUpgradeConfig cfg;
    cfg.eraseError = true;
    cfg.configStageMs = 1;
    cfg.eraseMs = 5;
    UpgradeRig rig(true, cfg);
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_SPI_ERASE, 1, 0));
    EXPECT_EQ(rig.eraseBusy(0), true);
    rig.clock.ms += 10;
    EXPECT_EQ(rig.eraseBusy(0), std::nullopt) << "the failed erase stalls its status read";

    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_FPGA_CONFIG_MODE, 0, 0));
    rig.clock.ms += 10;
    const uint16_t st = rig.status();
    EXPECT_EQ(st & (kEraseOk | kEraseError | kNotBusy), kEraseError | kNotBusy);
    EXPECT_FALSE(rig.firmware->bulkOut(kEpBitstreamOut, buildSimFpgaImage(97)));
}

TEST(SimFaults, CrcErrorReportsDoneWithTheErrorAndTheFpgaIsLostAtReset) {
    for (const bool byFault : {false, true}) {
        SimUpgradeConfig cfg;
        cfg.crcError = byFault;
        cfg.configStageMs = 1;
        cfg.eraseMs = 1;
        UpgradeRig rig(true, cfg);
        const uint32_t before = rig.firmware->fpgaVersion();
        ASSERT_TRUE(vendorWrite(*rig.firmware, VR_FPGA_CONFIG_MODE, 0, 0));
        rig.clock.ms += 10;
        ASSERT_TRUE(rig.firmware->bulkOut(kEpBitstreamOut, buildSimFpgaImage(97, !byFault)));
        rig.clock.ms += 10;
        const uint16_t st = rig.status();
        EXPECT_EQ(st & (kDone | kCrcError | kVerifyOk), kDone | kCrcError) << byFault;
        EXPECT_EQ(rig.firmware->fpgaVersion(), before);
        PlugLog log(rig.driver);
        ASSERT_TRUE(vendorWrite(*rig.firmware, VR_RESET, 0, 0));
        ASSERT_EQ(log.waitFor(2).size(), 2u);
        EXPECT_EQ(rig.firmware->fpgaVersion(), 0u) << "nothing valid to configure from";
    }
}

TEST(SimFaults, UnplugDuringProgrammingLeavesAPartialFlashAndTheBootLoaderAtPowerUp) {
    SimUpgradeConfig cfg;
    cfg.unplugAtWrite = 5;
    cfg.stallAtWrite = 2;
    UpgradeRig rig(true, cfg);
    PlugLog log(rig.driver);
    ASSERT_TRUE(vendorWrite(*rig.firmware, VR_SPI_ERASE, 1, 0));
    rig.clock.ms += 100;
    int ok = 0;
    for (uint16_t page = 0; page < 8; ++page) {
        if (vendorWrite(*rig.firmware, VR_SPI_WRITE, 0, page * 8, Bytes(2048, 0x11))) ++ok;
    }
    EXPECT_EQ(ok, 4) << "writes 0, 1, 3, 4 succeed; 2 stalls; the camera left at 5";
    const auto ev = log.waitFor(1);
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].first, PlugEvent::Left);
    EXPECT_TRUE(rig.driver.interfacePaths(kCyUsbDriverGuid).empty());

    rig.driver.plug(rig.camera);
    EXPECT_EQ(rig.driver.pathOf(*rig.camera), kBootLoaderPath);
    EXPECT_EQ(rig.bootLoaderByte(), 1);
    const auto after = log.waitFor(2);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[1], std::make_pair(PlugEvent::Arrived, std::string(kBootLoaderPath)));
}

TEST(SimUpgradeOptions, KeysAndACameraThatStartsInTheBootLoader) {
    SimSetup setup;
    std::string error;
    ASSERT_TRUE(parseSimOptions(
        "reset_ms=5;erase_ms=7;config_ms=3;fault=erase,crc;flash=invalid;unplug_write=9;"
        "stall_write=4",
        {}, setup, error))
        << error;
    EXPECT_EQ(setup.upgrade.resetMs, 5u);
    EXPECT_EQ(setup.upgrade.eraseMs, 7u);
    EXPECT_EQ(setup.upgrade.configStageMs, 3u);
    EXPECT_TRUE(setup.upgrade.eraseError && setup.upgrade.crcError);
    EXPECT_FALSE(setup.upgrade.flashValid);
    EXPECT_EQ(setup.upgrade.unplugAtWrite, 9);
    EXPECT_EQ(setup.upgrade.stallAtWrite, 4);
    for (const char* bad : {"fault=power", "flash=maybe", "reset_ms=-1", "erase_ms=x"}) {
        SimSetup s;
        EXPECT_FALSE(parseSimOptions(bad, {}, s, error)) << bad;
    }

    auto drv = simDriverFromOptions("cameras=2;flash=invalid", {}, error);
    ASSERT_TRUE(drv) << error;
    EXPECT_EQ(drv->interfacePaths(kCyUsbDriverGuid),
              (std::vector<std::string>{kBootLoaderPath, "sim:1-2:04b4:00f3"}));
    const auto r = vendorRead(*drv->cameras()[0]->firmware(), VR_BOOTLOADER, 0, 0, 1);
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[0], 1);
}

}  // namespace
}  // namespace TVR::Sim
