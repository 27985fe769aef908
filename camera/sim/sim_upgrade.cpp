#include "sim_upgrade.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>

#include "protocol/vendor_requests.h"
#include "sim/sim_bytes.h"
#include "sim/sim_driver.h"
#include "sim/sim_images.h"
#include "usb/usb_ids.h"

namespace TVR::Sim {

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

constexpr uint16_t kEraseCommand = 1;
constexpr uint32_t kSpiOffsetUnit = 256;
constexpr size_t kMaxPiece = 4096;
constexpr size_t kSectors = kSimFx3FlashSize / kSimFlashSectorSize;
constexpr size_t kRamWords = kSimFx3RamSize / 4;

bool inRam(uint64_t address, uint64_t length) {
    return address >= kSimFx3RamBase &&
           address + length <= uint64_t{kSimFx3RamBase} + kSimFx3RamSize;
}

}  // namespace

struct SimUpgrade::Impl {
    enum class Boot { FromFlash, BootLoader, RamProgram };

    SimDriver* driver = nullptr;
    std::weak_ptr<SimCamera> camera;
    std::weak_ptr<SimCameraFirmware> firmware;
    SimUpgradeConfig config;
    uint32_t factoryVersion = 0;

    mutable std::mutex mutex;
    bool bootLoader = false;
    bool fromRam = false;
    bool spiEnabled = false;
    bool away = false;  // left and not yet back: requests cannot reach it, a stale return can
    std::vector<uint8_t> ram = std::vector<uint8_t>(kSimFx3RamSize, 0);
    std::vector<bool> loaded = std::vector<bool>(kRamWords, false);
    // Empty: the factory program, never touched.
    std::optional<std::vector<uint8_t>> flash;
    Clock::time_point eraseBusyUntil{};
    bool eraseFailed = false;
    uint32_t writes = 0;

    // FPGA configuration.
    bool configActive = false;
    Clock::time_point configStart{};
    std::vector<uint8_t> header;
    std::optional<SimFpgaImageInfo> bitstream;
    bool bitstreamRejected = false;
    uint64_t received = 0;
    uint32_t crc = 0;
    std::optional<Clock::time_point> arrived;
    bool crcOk = true;
    uint16_t idleStatus = 0;
    bool fpgaFlashValid = true;
    uint32_t fpgaFlashVersion = 0;

    Clock::time_point now() const { return config.clock ? config.clock() : Clock::now(); }
    Ms ms(uint32_t n) const { return Ms(n); }

    std::vector<uint8_t>& flashBytes() {
        if (!flash) flash.emplace(kSimFx3FlashSize, 0xFF);
        return *flash;
    }
    bool eraseBusy() const { return now() < eraseBusyUntil; }
    uint16_t status() const;
    // Counts a programming write; false when it must fail (the camera left or it stalls).
    bool programmingWrite();
    bool ramRequest(const SetupPacket& s, std::span<uint8_t> data, uint32_t& actual);
    bool startProgram(uint32_t entry, uint32_t& version) const;
    std::optional<uint32_t> flashProgram() const;
    // Called with the lock held: what runs after a reset or power-up, and its product id.
    uint16_t boot(Boot how, uint32_t ramVersion);
    void leaveAndReturn(Boot how, uint32_t ramVersion, const std::shared_ptr<SimUpgrade>& self);
};

uint16_t SimUpgrade::Impl::status() const {
    using namespace SimConfigBit;
    if (!configActive) return idleStatus;
    const auto t = now();
    const auto stage = ms(config.configStageMs);
    uint16_t st = kStarted;
    if (t >= configStart + stage) st |= kInitOk;
    if (t >= configStart + 2 * stage) st |= kCheckIdOk;
    if (t < configStart + 3 * stage) return st;
    st |= kEraseSwOk;
    if (t < configStart + 3 * stage + ms(config.eraseMs)) return st;
    if (config.eraseError) return st | kEraseError | kNotBusy;
    st |= kEraseOk;
    if (bitstreamRejected) return st | kProgramError | kNotBusy;
    if (!arrived) return st;
    const auto a = *arrived;
    if (t >= a + stage) st |= kProgramOk;
    if (t >= a + 2 * stage && crcOk) st |= kVerifyOk;
    if (t >= a + 3 * stage && crcOk) st |= kProgramSwOk;
    // A failed CRC is known only when the configuration ends, so it comes with "Config done".
    if (t >= a + 4 * stage) st |= kNotBusy | kDone | (crcOk ? 0 : kCrcError);
    return st;
}

bool SimUpgrade::Impl::programmingWrite() {
    const int64_t n = writes++;
    if (n == config.unplugAtWrite) {
        // Power is gone with the cable: what ran in RAM is lost, the flash keeps what it got.
        away = true;
        if (auto cam = camera.lock()) driver->reenumerate(cam, Ms(0), {});
        return false;
    }
    return n != config.stallAtWrite;
}

bool SimUpgrade::Impl::ramRequest(const SetupPacket& s, std::span<uint8_t> data, uint32_t& actual) {
    const uint32_t address = uint32_t{s.wIndex} << 16 | s.wValue;
    if (s.isIn()) {
        if (data.empty() || data.size() > kMaxPiece || !inRam(address, data.size())) return false;
        const size_t at = address - kSimFx3RamBase;
        std::copy_n(ram.begin() + static_cast<std::ptrdiff_t>(at), data.size(), data.begin());
        if (config.corruptReadbacks > 0) {
            --config.corruptReadbacks;
            data[data.size() / 2] ^= 0x5A;
        }
        actual = static_cast<uint32_t>(data.size());
        return true;
    }
    if (data.size() > kMaxPiece || !inRam(address, data.size())) return false;
    if (!programmingWrite()) return false;
    const size_t at = address - kSimFx3RamBase;
    std::copy(data.begin(), data.end(), ram.begin() + static_cast<std::ptrdiff_t>(at));
    for (size_t w = at / 4; w < (at + data.size() + 3) / 4; ++w) loaded[w] = true;
    return true;
}

bool SimUpgrade::Impl::startProgram(uint32_t entry, uint32_t& version) const {
    if (!inRam(entry, 4) || !loaded[(entry - kSimFx3RamBase) / 4]) return false;
    std::optional<size_t> record;
    uint32_t sum = 0;
    for (size_t w = 0; w < kRamWords; ++w) {
        if (!loaded[w]) continue;
        sum += loadLe32(ram, w * 4);
        if (!record && w + 3 <= kRamWords && loaded[w + 1] && loaded[w + 2] &&
            simProgramRecord(std::span(ram).subspan(w * 4, kSimProgramRecordSize))) {
            record = w * 4;
        }
    }
    if (!record) {
        version = factoryVersion;
        return true;
    }
    const auto r = simProgramRecord(std::span(ram).subspan(*record, kSimProgramRecordSize));
    const uint32_t others = sum - loadLe32(ram, *record) - loadLe32(ram, *record + 4) - r->sum;
    if (others != r->sum) return false;
    version = r->version;
    return true;
}

std::optional<uint32_t> SimUpgrade::Impl::flashProgram() const {
    if (!flash) return factoryVersion;
    std::string error;
    const auto info = parseSimFx3Image(*flash, error);
    if (!info || !info->checksumOk() || info->sections.empty() || !inRam(info->entry, 4)) {
        return std::nullopt;
    }
    for (const auto& sec : info->sections) {
        if (!inRam(sec.address, sec.length)) return std::nullopt;
    }
    const auto& first = info->sections.front();
    const auto r = simProgramRecord(std::span(*flash).subspan(first.offset, first.length));
    return r ? r->version : factoryVersion;
}

uint16_t SimUpgrade::Impl::boot(Boot how, uint32_t ramVersion) {
    away = false;
    std::optional<uint32_t> version;
    if (how == Boot::RamProgram) {
        version = ramVersion;
    } else if (how == Boot::FromFlash) {
        version = flashProgram();
    }
    bootLoader = !version;
    fromRam = how == Boot::RamProgram;
    spiEnabled = false;
    eraseBusyUntil = {};
    configActive = false;
    idleStatus = 0;
    if (bootLoader) {
        std::fill(ram.begin(), ram.end(), 0);
        std::fill(loaded.begin(), loaded.end(), false);
    }
    if (auto fw = firmware.lock()) {
        fw->powerCycle();
        fw->setFx3Version(version.value_or(0));
        fw->setFpgaVersion(fpgaFlashValid ? fpgaFlashVersion : 0);
    }
    return bootLoader ? kBootLoaderProductId : kCameraProductId;
}

void SimUpgrade::Impl::leaveAndReturn(Boot how, uint32_t ramVersion,
                                      const std::shared_ptr<SimUpgrade>& self) {
    auto cam = camera.lock();
    if (!cam) return;
    away = true;
    std::weak_ptr<SimUpgrade> weak = self;
    driver->reenumerate(cam, Ms(config.resetMs), [weak, how, ramVersion]() -> uint16_t {
        auto up = weak.lock();
        if (!up) return 0;
        std::lock_guard lock(up->m_impl->mutex);
        if (!up->m_impl->away) return 0;  // plugged in by hand meanwhile
        return up->m_impl->boot(how, ramVersion);
    });
}

std::shared_ptr<SimUpgrade> SimUpgrade::install(SimDriver& driver,
                                                const std::shared_ptr<SimCamera>& camera,
                                                SimUpgradeConfig config) {
    auto fw = std::dynamic_pointer_cast<SimCameraFirmware>(camera->firmware());
    if (!fw) return nullptr;
    auto up = std::make_shared<SimUpgrade>(driver, camera, fw, std::move(config));
    fw->setUpgradeHandler(up);
    uint16_t pid = 0;
    {
        std::lock_guard lock(up->m_impl->mutex);
        pid = up->m_impl->boot(Impl::Boot::FromFlash, 0);
    }
    if (pid != camera->productId()) {
        driver.reenumerate(camera, Ms(0), [pid] { return pid; });
    }
    return up;
}

SimUpgrade::SimUpgrade(SimDriver& driver, const std::shared_ptr<SimCamera>& camera,
                       const std::shared_ptr<SimCameraFirmware>& firmware, SimUpgradeConfig config)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->driver = &driver;
    m_impl->camera = camera;
    m_impl->firmware = firmware;
    m_impl->config = std::move(config);
    m_impl->factoryVersion = firmware->fx3Version();
    m_impl->fpgaFlashVersion = firmware->fpgaVersion();
    if (!m_impl->config.flashValid) m_impl->flashBytes();
}

SimUpgrade::~SimUpgrade() = default;

bool SimUpgrade::controlRequest(const SetupPacket& s, std::span<uint8_t> data, uint32_t& actual) {
    std::lock_guard lock(m_impl->mutex);
    Impl& m = *m_impl;
    if (m.away) return false;  // a camera that left answers nothing until it is back
    const bool in = s.isIn();
    if (s.bRequest == VR_BOOTLOADER) {
        if (in && s.wValue == 0 && s.wIndex == 0 && data.size() == 1) {
            data[0] = m.bootLoader ? 1 : 0;
            actual = 1;
            return true;
        }
        if (!m.bootLoader) return false;
        if (in || !data.empty()) return m.ramRequest(s, data, actual);
        uint32_t version = 0;
        if (!m.startProgram(uint32_t{s.wIndex} << 16 | s.wValue, version)) return false;
        m.leaveAndReturn(Impl::Boot::RamProgram, version, shared_from_this());
        return true;
    }
    if (s.bRequest == VR_RESET) {
        if (in) return false;
        m.leaveAndReturn(Impl::Boot::FromFlash, 0, shared_from_this());
        return true;
    }
    // The boot loader knows nothing else.
    if (m.bootLoader) return false;
    switch (s.bRequest) {
        case VR_ENTER_BOOTLOADER: {
            if (in) return false;
            auto& f = m.flashBytes();
            std::fill_n(f.begin(), kSimFlashSectorSize, 0xFF);
            m.leaveAndReturn(Impl::Boot::FromFlash, 0, shared_from_this());
            return true;
        }
        case VR_SPI_ENABLE:
            if (in) return false;
            m.spiEnabled = true;
            return true;
        case VR_SPI_ERASE: {
            if (s.wIndex >= kSectors) return false;
            if (in) {
                if (data.size() != 1) return false;
                if (m.eraseBusy()) {
                    data[0] = 1;
                } else if (m.eraseFailed) {
                    return false;  // the flash reports the failed erase
                } else {
                    data[0] = 0;
                }
                actual = 1;
                return true;
            }
            if (s.wValue != kEraseCommand || m.eraseBusy()) return false;
            m.eraseBusyUntil = m.now() + m.ms(m.config.eraseMs);
            m.eraseFailed = m.config.eraseError;
            if (!m.eraseFailed) {
                auto& f = m.flashBytes();
                std::fill_n(f.begin() + static_cast<std::ptrdiff_t>(s.wIndex) * kSimFlashSectorSize,
                            kSimFlashSectorSize, 0xFF);
            }
            return true;
        }
        case VR_SPI_WRITE: {
            const uint64_t offset = uint64_t{s.wIndex} * kSpiOffsetUnit;
            if (in || data.empty() || data.size() > kMaxPiece || m.eraseBusy() ||
                offset + data.size() > kSimFx3FlashSize) {
                return false;
            }
            if (!m.programmingWrite()) return false;
            auto& f = m.flashBytes();
            for (size_t i = 0; i < data.size(); ++i) f[offset + i] &= data[i];
            return true;
        }
        case VR_FPGA_CONFIG_MODE:
            if (in) return false;
            m.configActive = true;
            m.configStart = m.now();
            m.header.clear();
            m.bitstream.reset();
            m.bitstreamRejected = false;
            m.received = 0;
            m.crc = 0;
            m.arrived.reset();
            m.crcOk = true;
            // Erasing the FPGA's flash takes its configuration with it.
            m.fpgaFlashValid = false;
            return true;
        case VR_FPGA_CONFIG_STATUS: {
            if (!in || data.size() != 2) return false;
            const uint16_t st = m.status();
            data[0] = static_cast<uint8_t>(st);
            data[1] = static_cast<uint8_t>(st >> 8);
            actual = 2;
            return true;
        }
        default:
            return false;
    }
}

bool SimUpgrade::bulkOut(uint8_t endpoint, std::span<const uint8_t> data) {
    std::lock_guard lock(m_impl->mutex);
    Impl& m = *m_impl;
    if (m.away || endpoint != kEpBitstreamOut || m.bootLoader || data.empty()) return false;
    const uint16_t st = m.status();
    if ((st & SimConfigBit::kEraseOk) == 0 || (st & SimConfigBit::kErrors) != 0 ||
        m.bitstreamRejected || m.arrived) {
        return false;
    }
    if (!m.programmingWrite()) return false;
    size_t used = 0;
    if (!m.bitstream) {
        const size_t take = std::min(kSimFpgaHeaderSize - m.header.size(), data.size());
        m.header.insert(m.header.end(), data.begin(),
                        data.begin() + static_cast<std::ptrdiff_t>(take));
        used = take;
        if (m.header.size() < kSimFpgaHeaderSize) return true;
        m.bitstream = parseSimFpgaHeader(m.header);
        if (!m.bitstream) {
            m.bitstreamRejected = true;
            return true;
        }
        m.received = kSimFpgaHeaderSize;
    }
    // Bytes past the length the header names are padding.
    const uint64_t want = m.bitstream->length - m.received;
    const auto rest =
        data.subspan(used, static_cast<size_t>(std::min<uint64_t>(want, data.size() - used)));
    m.crc = simCrc32(rest, m.crc);
    m.received += rest.size();
    if (m.received >= m.bitstream->length) {
        m.arrived = m.now();
        m.crcOk = m.crc == m.bitstream->crc && !m.config.crcError;
        if (m.crcOk) {
            m.fpgaFlashValid = true;
            m.fpgaFlashVersion = m.bitstream->version;
            if (auto fw = m.firmware.lock()) fw->setFpgaVersion(m.bitstream->version);
        }
    }
    return true;
}

uint16_t SimUpgrade::powerOn(uint16_t) {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->boot(Impl::Boot::FromFlash, 0);
}

SimUpgradeConfig SimUpgrade::config() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->config;
}

void SimUpgrade::setConfig(const SimUpgradeConfig& config) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->config = config;
}

bool SimUpgrade::bootLoaderRunning() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->bootLoader;
}

bool SimUpgrade::runningFromRam() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->fromRam;
}

bool SimUpgrade::spiEnabled() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->spiEnabled;
}

uint16_t SimUpgrade::fpgaConfigStatus() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->status();
}

std::vector<uint8_t> SimUpgrade::flash(uint32_t offset, uint32_t length) const {
    std::lock_guard lock(m_impl->mutex);
    if (offset >= kSimFx3FlashSize) return {};
    length = std::min(length, kSimFx3FlashSize - offset);
    if (!m_impl->flash) return std::vector<uint8_t>(length, 0xFF);
    const auto b = m_impl->flash->begin() + offset;
    return {b, b + length};
}

uint32_t SimUpgrade::programmingWrites() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->writes;
}

}  // namespace TVR::Sim
