#include "fx3.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "apilog.h"
#include "protocol/fx3_channels.h"
#include "protocol/vendor_requests.h"
#include "usb/control_ep.h"
#include "usb/usb_device.h"
#include "usb/usb_ep.h"

namespace TVR {

namespace {

constexpr int kMaxLogBytes = 4;
constexpr size_t kVersionBytes = 4;
constexpr uint8_t kSysInfoInvalidOffset = 8;
constexpr uint8_t kSysInfoInvalidMark = 0xFF;
constexpr uint32_t kMaxSpiOffset = 0xFFFFu * 256u;
constexpr uint32_t kSpiOffsetUnit = 256;

// Firmware gates.
constexpr int kFx3RawVideo = 38;
constexpr int kFpgaRawVideo = 49;
constexpr int kFpgaChannel1 = 72;
constexpr int kFx3ParamBA = 103;
constexpr int kFpgaParamBA = 86;
constexpr int kFx3LittleEndianWords = 59;
constexpr int kFx3Real0 = 52;
constexpr int kFx3SysInfo = 53;
constexpr int kFx3SysInfoLayout1 = 59;
constexpr int kFx3SysInfoLayout2 = 60;

uint16_t lo16(uint32_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
uint16_t hi16(uint32_t v) { return static_cast<uint16_t>(v >> 16); }
uint8_t lowByte(int v) { return static_cast<uint8_t>(static_cast<unsigned>(v) & 0xFF); }
uint8_t highByte(int v) { return static_cast<uint8_t>((static_cast<unsigned>(v) >> 8) & 0xFF); }

// The low register of an LED channel's (low, high) pair.
uint8_t ledLowRegister(int channel) {
    return static_cast<uint8_t>(FpgaReg::kLedRedLow + 2 * (channel - Fx3Channel::kLedRed));
}

// Requests after which the FPGA's select registers may hold anything: block transfers (the
// firmware selects entries itself) and restarts of the FPGA or the FX3.
bool movesTableSelect(uint8_t code) {
    return code == VR_TABLE || code == VR_RESET || code == VR_ENTER_BOOTLOADER ||
           code == VR_FPGA_CONFIG_MODE;
}

}  // namespace

FX3::FX3(UsbDriver& driver, ApiLog& log, bool openFirst, uint32_t controlTimeoutMs)
    : m_driver(driver),
      m_log(log),
      m_versionFx3(std::make_unique<VersionInfoFX3>()),
      m_versionFpga(std::make_unique<VersionInfoFPGA>()) {
    m_device = std::make_unique<UsbDevice>(driver, kCyUsbDriverGuid, openFirst, controlTimeoutMs);
}

FX3::~FX3() {
    if (m_device) m_device->close();
}

void FX3::close() { m_device->close(); }

bool FX3::readVersions() {
    std::array<uint8_t, kVersionBytes> word{};
    if (vendorRequest(VR_FX3_VERSION, false, 0, 0, word)) {
        m_versionFx3->load(word);
    } else {
        m_versionFx3->load({});
    }
    word.fill(0);
    if (vendorRequest(VR_FPGA_VERSION, false, 0, 0, word)) {
        m_versionFpga->load(word);
    } else {
        m_versionFpga->load({});
    }
    return true;
}

bool FX3::connected() const {
    if (!m_device->isOpen() || m_device->controlEndpoint() == nullptr) return false;
    return m_device->deviceDescriptor().valid();
}

bool FX3::selectDevice(uint8_t index) {
    m_versionFx3->markUnknown();
    m_versionFpga->markUnknown();
    clearTableSelectCache();
    const bool opened = m_device->open(index);
    if (opened) readVersions();
    return opened;
}

uint32_t FX3::setControlTimeout(uint32_t ms) {
    ControlEP* ep = m_device->controlEndpoint();
    if (ep == nullptr) return 0;
    const uint32_t previous = ep->timeout();
    ep->setTimeout(ms);
    return previous;
}

uint8_t FX3::deviceCount() { return usbDeviceCount(m_driver, kCyUsbDriverGuid); }

std::string FX3::devicePath(uint8_t index) {
    return usbDevicePath(m_driver, index, kCyUsbDriverGuid);
}

bool FX3::vendorRequest(uint8_t code, bool write, uint16_t value, uint16_t index,
                        std::span<uint8_t> readBuffer, std::span<const uint8_t> writeData) {
    const size_t record = m_log.recordVendorRequest(write, code, value, index);
    // A failed read must not hand stale bytes to a caller that ignores the result.
    if (!write) std::fill(readBuffer.begin(), readBuffer.end(), uint8_t{0});
    bool ok = false;
    {
        std::lock_guard lock(m_requestMutex);
        ControlEP* ep = connected() ? m_device->controlEndpoint() : nullptr;
        if (ep != nullptr)
            ok = ep->vendorTransfer(code, write, value, index, readBuffer, writeData);
    }
    // A select register written by anyone but the select itself is no longer known; the select
    // stores its value after this returns.
    if (write && code == VR_FPGA_REG && index == FpgaReg::kTableSelectHigh) m_selectHigh = -1;
    if (write && code == VR_FPGA_REG && index == FpgaReg::kTableSelectLow) m_selectLow = -1;
    if (movesTableSelect(code)) clearTableSelectCache();
    if (!ok) countFailedRequest();
    m_log.setResult(record, ok);
    if (!write) {
        m_log.setReadData(record,
                          readBuffer.first(std::min<size_t>(kMaxLogBytes, readBuffer.size())));
    }
    m_log.finish(record);
    return ok;
}

bool FX3::bulkWrite(std::span<const uint8_t> data, uint32_t timeoutMs) {
    UsbEP* ep = m_device->isOpen() ? m_device->endpoint(kEpBitstreamOut) : nullptr;
    if (ep == nullptr) return false;
    ep->setTimeout(timeoutMs);
    std::vector<uint8_t> copy(data.begin(), data.end());
    uint32_t moved = 0;
    const bool ok = ep->transfer(copy, moved) && moved == copy.size();
    if (!ok) countFailedRequest();
    return ok;
}

bool FX3::readByte(uint8_t code, uint16_t value, uint16_t index, uint8_t& out) {
    std::array<uint8_t, 1> b{};
    const bool ok = vendorRequest(code, false, value, index, b);
    out = b[0];
    return ok;
}

bool FX3::bootLoaderRunning() {
    uint8_t b = 0;
    return readByte(VR_BOOTLOADER, 0, 0, b) && b != 0;
}

bool FX3::bootLoaderWriteRam(uint32_t address, std::span<const uint8_t> data) {
    if (data.empty() || data.size() > kBootLoaderChunk) return false;
    return vendorRequest(VR_BOOTLOADER, true, lo16(address), hi16(address), {}, data);
}

bool FX3::bootLoaderReadRam(uint32_t address, std::span<uint8_t> data) {
    if (data.empty() || data.size() > kBootLoaderChunk) return false;
    return vendorRequest(VR_BOOTLOADER, false, lo16(address), hi16(address), data);
}

bool FX3::bootLoaderStart(uint32_t entryAddress) {
    return vendorRequest(VR_BOOTLOADER, true, lo16(entryAddress), hi16(entryAddress));
}

bool FX3::enterBootLoader() { return vendorRequest(VR_ENTER_BOOTLOADER, true, 0, 0); }

bool FX3::spiWrite(uint32_t offset, std::span<const uint8_t> data) {
    if (offset % kSpiOffsetUnit != 0 || offset > kMaxSpiOffset) return false;
    if (data.empty() || data.size() > kSpiPage) return false;
    return vendorRequest(VR_SPI_WRITE, true, 0, static_cast<uint16_t>(offset / kSpiOffsetUnit), {},
                         data);
}

bool FX3::spiErase(uint16_t sector) { return vendorRequest(VR_SPI_ERASE, true, 1, sector); }

std::optional<bool> FX3::spiEraseBusy(uint16_t sector) {
    uint8_t b = 0;
    if (!readByte(VR_SPI_ERASE, 0, sector, b)) return std::nullopt;
    return b != 0;
}

bool FX3::spiEnable() { return vendorRequest(VR_SPI_ENABLE, true, 0, 0); }

bool FX3::fpgaConfigMode() { return vendorRequest(VR_FPGA_CONFIG_MODE, true, 0, 0); }

std::optional<uint16_t> FX3::fpgaConfigStatus() {
    std::array<uint8_t, 2> b{};
    if (!vendorRequest(VR_FPGA_CONFIG_STATUS, false, 0, 0, b)) return std::nullopt;
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

bool FX3::reset() { return vendorRequest(VR_RESET, true, 0, 0); }

std::optional<uint8_t> FX3::i2cRead8(uint8_t address, uint8_t reg) {
    uint8_t b = 0;
    if (!readByte(VR_I2C8, static_cast<uint16_t>(address << 8), reg, b)) return std::nullopt;
    return b;
}

bool FX3::i2cWrite8(uint8_t address, uint8_t reg, uint8_t value) {
    return vendorRequest(VR_I2C8, true, static_cast<uint16_t>((address << 8) | value), reg);
}

std::optional<uint8_t> FX3::i2cRead16(uint8_t address, uint16_t reg) {
    uint8_t b = 0;
    if (!readByte(VR_I2C16, static_cast<uint16_t>(address << 8), reg, b)) return std::nullopt;
    return b;
}

bool FX3::i2cWrite16(uint8_t address, uint16_t reg, uint8_t value) {
    return vendorRequest(VR_I2C16, true, static_cast<uint16_t>((address << 8) | value), reg);
}

std::optional<uint8_t> FX3::readFpgaReg(uint8_t reg) {
    uint8_t b = 0;
    if (!readByte(VR_FPGA_REG, 0, reg, b)) return std::nullopt;
    return b;
}

bool FX3::writeFpgaReg(uint8_t reg, uint8_t value) {
    return vendorRequest(VR_FPGA_REG, true, value, reg);
}

bool FX3::stopStreaming() {
    const auto control = readFpgaReg(FpgaReg::kControl);
    if (!control) return false;
    if ((*control & FpgaReg::kControlStreamMask) == 0) return true;
    return writeFpgaReg(FpgaReg::kControl,
                        static_cast<uint8_t>(*control & ~FpgaReg::kControlStreamMask));
}

int FX3::setFpgaControlBit(int bit, bool on) {
    if (bit < 0 || bit > 7) return kStatusNotSupported;
    const auto control = readFpgaReg(FpgaReg::kControl);
    if (!control) return kStatusTransferFailed;
    const auto mask = static_cast<uint8_t>(1u << bit);
    const auto next = static_cast<uint8_t>(on ? (*control | mask) : (*control & ~mask));
    return writeFpgaReg(FpgaReg::kControl, next) ? kStatusDone : kStatusTransferFailed;
}

void FX3::dpcCalibrate(int threshold) {
    vendorRequest(VR_DPC_CALIBRATE, true, static_cast<uint16_t>(std::clamp(threshold, 0, 255)), 0);
}

// Camera value channels.

bool FX3::cameraValueAvailable(int channel) const {
    switch (channel) {
        case Fx3Channel::kFakeRawVideo:
            return fx3Build(kFx3RawVideo) && fpgaBuild(kFpgaRawVideo);
        case Fx3Channel::kFan:
            return fpgaBuild(kFpgaChannel1);
        case Fx3Channel::kSdiOutput:
            return fx3Build(kFx3ParamBA) && fpgaBuild(kFpgaParamBA);
        case Fx3Channel::kNrChroma:
        case Fx3Channel::kNrLuma:
        case Fx3Channel::kUnsupported:
            return false;
        default:
            return true;
    }
}

ChannelValue FX3::readFpgaPair(uint8_t low, uint8_t high) {
    const auto lo = readFpgaReg(low);
    if (!lo) return {0, kStatusTransferFailed};
    const auto hi = readFpgaReg(high);
    if (!hi) return {0, kStatusTransferFailed};
    return {*lo | (*hi << 8), kStatusDone};
}

int FX3::writeFpgaPair(uint8_t low, uint8_t high, int value) {
    if (!writeFpgaReg(low, lowByte(value))) return kStatusTransferFailed;
    return writeFpgaReg(high, highByte(value)) ? kStatusDone : kStatusTransferFailed;
}

ChannelValue FX3::readWord(uint8_t code) {
    std::array<uint8_t, 2> b{};
    if (!vendorRequest(code, false, 0, 0, b)) return {0, kStatusTransferFailed};
    // Older firmware sends these words big-endian.
    const int value = fx3Build(kFx3LittleEndianWords) ? (b[0] | (b[1] << 8)) : ((b[0] << 8) | b[1]);
    return {value, kStatusDone};
}

ChannelValue FX3::getCameraValue(int channel) {
    if (channel < 0 || channel >= Fx3Channel::kCount) return {0, kStatusTransferFailed};
    if (!cameraValueAvailable(channel)) return {0, kStatusNotSupported};
    uint8_t b = 0;
    auto single = [&](uint8_t code) -> ChannelValue {
        if (!readByte(code, 0, 0, b)) return {0, kStatusTransferFailed};
        return {b, kStatusDone};
    };
    auto reg = [&](uint8_t r) -> ChannelValue {
        const auto v = readFpgaReg(r);
        if (!v) return {0, kStatusTransferFailed};
        return {*v, kStatusDone};
    };
    switch (channel) {
        case Fx3Channel::kFakeRawVideo:
            return single(VR_RAW_VIDEO);
        case Fx3Channel::kFan: {
            const auto v = readFpgaReg(FpgaReg::kControl);
            return {v ? ((*v >> FpgaReg::kControlChannel1Bit) & 1) : 0, kStatusDone};
        }
        case Fx3Channel::kSdiOutput:
            return single(VR_PARAM_BA);
        case Fx3Channel::kDpcThreshold:
            return readFpgaPair(FpgaReg::kDpcThresholdLow, FpgaReg::kDpcThresholdHigh);
        case Fx3Channel::kDpcPixelCount:
            return readFpgaPair(FpgaReg::kDpcCountLow, FpgaReg::kDpcCountHigh);
        case Fx3Channel::kLedRed:
        case Fx3Channel::kLedGreen:
        case Fx3Channel::kLedBlue:
            return reg(ledLowRegister(channel));
        case Fx3Channel::kAeSetpoint:
            return single(VR_AE_SETPOINT);
        case Fx3Channel::kAwbSetpoint:
            return readWord(VR_AWB_SETPOINT);
        case Fx3Channel::kAutoFunctionInterval:
            return readWord(VR_AFN_PERIOD);
        default:
            return {0, kStatusNotSupported};
    }
}

int FX3::setCameraValue(int channel, int value) {
    auto status = [](bool ok) { return ok ? kStatusDone : kStatusTransferFailed; };
    switch (channel) {
        case Fx3Channel::kFakeRawVideo:
            return status(vendorRequest(VR_RAW_VIDEO, true, lowByte(value), 0));
        case Fx3Channel::kFan:
            return setFpgaControlBit(FpgaReg::kControlChannel1Bit, value != 0);
        case Fx3Channel::kSdiOutput:
            return status(vendorRequest(VR_PARAM_BA, true, lowByte(value), 0));
        case Fx3Channel::kDpcThreshold:
            return writeFpgaPair(FpgaReg::kDpcThresholdLow, FpgaReg::kDpcThresholdHigh, value);
        case Fx3Channel::kDpcPixelCount:
            return writeFpgaPair(FpgaReg::kDpcCountLow, FpgaReg::kDpcCountHigh, value);
        case Fx3Channel::kLedRed:
        case Fx3Channel::kLedGreen:
        case Fx3Channel::kLedBlue: {
            const uint8_t low = ledLowRegister(channel);
            return writeFpgaPair(low, static_cast<uint8_t>(low + 1), value);
        }
        case Fx3Channel::kNrChroma:
            return status(writeFpgaReg(FpgaReg::kNoiseReductionChroma, lowByte(value)));
        case Fx3Channel::kNrLuma:
            return status(writeFpgaReg(FpgaReg::kNoiseReductionLuma, lowByte(value)));
        case Fx3Channel::kAeSetpoint:
            return status(vendorRequest(VR_AE_SETPOINT, true, lowByte(value), 0));
        case Fx3Channel::kAwbSetpoint:
            return status(vendorRequest(VR_AWB_SETPOINT, true, static_cast<uint16_t>(value), 0));
        case Fx3Channel::kAutoFunctionInterval:
            return status(vendorRequest(VR_AFN_PERIOD, true, static_cast<uint16_t>(value), 0));
        default:
            return kStatusNotSupported;
    }
}

bool FX3::cameraRealAvailable(int channel) const {
    return channel == Fx3RealChannel::kFpgaTemperature ||
           (channel == Fx3RealChannel::kVideoFrameRate && fx3Build(kFx3Real0));
}

ChannelReal FX3::getCameraReal(int channel) {
    uint16_t index = 0;
    uint8_t code = 0;
    if (channel == Fx3RealChannel::kVideoFrameRate) {
        if (!cameraRealAvailable(channel)) return {0, kStatusNotSupported};
        code = VR_REAL0;
    } else if (channel == Fx3RealChannel::kFpgaTemperature) {
        code = VR_REAL1;
        index = static_cast<uint16_t>(channel);  // wIndex carries the channel number
    } else {
        return {0, kStatusTransferFailed};
    }
    std::array<uint8_t, 4> b{};
    if (!vendorRequest(code, false, 0, index, b)) return {0, kStatusTransferFailed};
    const uint32_t bits = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return {static_cast<double>(std::bit_cast<float>(bits)), kStatusDone};
}

int FX3::setCameraReal(int channel, double value) {
    if (channel != Fx3RealChannel::kVideoFrameRate) return kStatusNotSupported;
    const uint32_t bits = std::bit_cast<uint32_t>(static_cast<float>(value));
    const std::array<uint8_t, 4> b = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                                      static_cast<uint8_t>(bits >> 16),
                                      static_cast<uint8_t>(bits >> 24)};
    return vendorRequest(VR_REAL0, true, 0, 0, {}, b) ? kStatusDone : kStatusTransferFailed;
}

// Colour matrix.

std::vector<double> FX3::readColourMatrix() {
    std::vector<double> values;
    values.reserve(kColourMatrixSize);
    for (int i = 0; i < kColourMatrixSize; ++i) {
        const auto reg = static_cast<uint8_t>(FpgaReg::kColourMatrixBase + 2 * i);
        const auto fraction = readFpgaReg(reg);
        if (!fraction) return {};
        const auto integer = readFpgaReg(static_cast<uint8_t>(reg + 1));
        if (!integer) return {};
        values.push_back((*fraction / 256.0 + static_cast<int8_t>(*integer)) * 0.5);
    }
    return values;
}

bool FX3::writeColourMatrix(std::span<const double> values) {
    if (values.size() != kColourMatrixSize) return false;
    for (size_t i = 0; i < values.size(); ++i) {
        // Out-of-range and non-finite entries would make the conversion undefined.
        const double twice =
            std::isfinite(values[i]) ? std::clamp(2.0 * values[i], -128.0, 127.0) : 0.0;
        const double whole = std::floor(twice);
        const auto fraction =
            static_cast<uint8_t>(static_cast<int>(std::fabs(twice - whole) * 256) & 0xFF);
        const auto reg = static_cast<uint8_t>(FpgaReg::kColourMatrixBase + 2 * i);
        const bool okFraction = writeFpgaReg(reg, fraction);
        const bool okInteger =
            writeFpgaReg(static_cast<uint8_t>(reg + 1), lowByte(static_cast<int>(whole)));
        if (!okFraction || !okInteger) return false;
    }
    return true;
}

// System information.

bool FX3::validSystemInfo(std::span<const uint8_t> record, uint16_t layout) {
    const size_t length = layout == kSysInfoLayout2   ? kSysInfoLength2
                          : layout == kSysInfoLayout1 ? kSysInfoLength1
                                                      : 0;
    if (length == 0 || record.size() < length || record.size() < 3) return false;
    if ((record[0] | (record[1] << 8)) != static_cast<int>(length)) return false;
    if ((record[2] & 0x3F) != layout) return false;
    const int top = record[2] >> 6;
    return layout == kSysInfoLayout2 ? top == 0 : top <= 1;
}

std::vector<uint8_t> FX3::systemInfo(uint8_t checkFlags) {
    uint16_t layout = 0;
    if (fx3Build(kFx3SysInfo)) {
        if (fx3Build(kFx3SysInfoLayout2)) {
            layout = kSysInfoLayout2;
        } else if (fx3Build(kFx3SysInfoLayout1)) {
            layout = kSysInfoLayout1;
        }
    }
    std::vector<uint8_t> record(layout == kSysInfoLayout1 ? kSysInfoLength1 : kSysInfoLength2, 0);
    if (layout != 0 && vendorRequest(VR_SYSINFO, false, checkFlags, layout, record) &&
        validSystemInfo(record, layout)) {
        return record;
    }
    std::fill(record.begin(), record.end(), uint8_t{0});
    record[kSysInfoInvalidOffset] = kSysInfoInvalidMark;
    return record;
}

}  // namespace TVR
