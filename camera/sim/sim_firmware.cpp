#include "sim_firmware.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <mutex>

#include "protocol/vendor_requests.h"
#include "sim/sim_bytes.h"
#include "sim/sim_fpga.h"
#include "sim/sim_i2c_bus.h"
#include "sim/sim_sensor_models.h"

namespace TVR::Sim {

namespace {

// FX3 builds that introduced the requests (older firmware stalls them).
constexpr uint32_t kBuildRawVideo = 38;
constexpr uint32_t kBuildSensorBridge = 46;
constexpr uint32_t kBuildReal0 = 52;
constexpr uint32_t kBuildSysInfo = 53;
constexpr uint32_t kBuildTableBlock = 55;
constexpr uint32_t kBuildLittleEndianSetpoints = 59;
constexpr uint32_t kBuildSysInfoMinor1 = 59;
constexpr uint32_t kBuildSysInfoLayout2 = 60;
constexpr uint32_t kBuildParamBA = 103;

constexpr size_t kMaxQueuedReplies = 64;
constexpr uint8_t kEp4Ok = 0x00;
constexpr uint8_t kEp4Nak = 0x21;
constexpr uint8_t kEp4BadCommand = 0xFF;

// The FPGA answers on the I²C bus with the same register file the vendor requests reach.
class FpgaOnBus : public SimI2cDevice {
public:
    explicit FpgaOnBus(SimFpga& fpga) : m_fpga(fpga) {}
    unsigned registerBits() const override { return 8; }
    uint8_t read(uint16_t reg) const override { return m_fpga.read(static_cast<uint8_t>(reg)); }
    void write(uint16_t reg, uint8_t value) override {
        m_fpga.write(static_cast<uint8_t>(reg), value);
    }
    void powerCycle() override {}  // the firmware power-cycles the FPGA itself

private:
    SimFpga& m_fpga;
};

}  // namespace

const char* simSensorChipName(SimSensorChip chip) {
    switch (chip) {
        case SimSensorChip::OV9713:
            return "OV9713";
        case SimSensorChip::OV9714:
            return "OV9714";
        case SimSensorChip::OV9750:
            return "OV9750";
        case SimSensorChip::OV9755:
            return "OV9755";
        case SimSensorChip::OV10823:
            return "OV10823";
        case SimSensorChip::OV13850:
            return "OV13850";
        case SimSensorChip::OV48C40:
            return "OV48C40";
        case SimSensorChip::None:
            break;
    }
    return "none";
}

std::optional<SimSensorChip> simSensorChipFromName(std::string_view name) {
    std::string upper(name);
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const auto chip : {SimSensorChip::None, SimSensorChip::OV9713, SimSensorChip::OV9714,
                            SimSensorChip::OV9750, SimSensorChip::OV9755, SimSensorChip::OV10823,
                            SimSensorChip::OV13850, SimSensorChip::OV48C40}) {
        std::string n = simSensorChipName(chip);
        for (auto& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (n == upper) return chip;
    }
    return std::nullopt;
}

std::vector<SimI2cDeviceConfig> defaultSimI2cDevices() {
    return {{0x42, 8, "I2C expander"}, {0x76, 16, "ADAU1761"}, {0xAA, 8, "Si570"}};
}

bool isSimUpgradeRequest(uint8_t bRequest) {
    switch (bRequest) {
        case VR_BOOTLOADER:
        case VR_ENTER_BOOTLOADER:
        case VR_FPGA_CONFIG_MODE:
        case VR_FPGA_CONFIG_STATUS:
        case VR_SPI_ENABLE:
        case VR_SPI_WRITE:
        case VR_SPI_ERASE:
        case VR_RESET:
            return true;
        default:
            return false;
    }
}

bool SimNoUpgrade::controlRequest(const SetupPacket& s, std::span<uint8_t> data, uint32_t& actual) {
    if (s.bRequest == VR_BOOTLOADER && s.isIn() && s.wValue == 0 && s.wIndex == 0 &&
        !data.empty()) {
        data[0] = 0;
        actual = 1;
        return true;
    }
    return false;
}

bool SimNoUpgrade::bulkOut(uint8_t, std::span<const uint8_t>) { return false; }

struct SimCameraFirmware::Impl {
    explicit Impl(SimFirmwareConfig c)
        : config(std::move(c)),
          fx3Version(config.fx3Version),
          fpga(config.fpgaVersion, config.dpcDelayMs, config.clock, config.dpcFit),
          upgrade(std::make_shared<SimNoUpgrade>()) {
        for (const auto& d : config.i2cDevices) {
            bus.attach(d.address, std::make_shared<SimRegisterFile>(d.registerBits));
        }
        bus.attach(kFpgaI2cAddress, std::make_shared<FpgaOnBus>(fpga));
        if (config.sensor != SimSensorChip::None) {
            sensor = std::make_shared<SimSensor>(config.sensor);
            bus.attach(config.sensorAddress, sensor);
        }
        powerOn = now();
    }

    std::chrono::steady_clock::time_point now() const {
        return config.clock ? config.clock() : std::chrono::steady_clock::now();
    }
    uint32_t build() const { return simVersionBuild(fx3Version); }

    bool handle(const SetupPacket& s, std::span<uint8_t> data, uint32_t& actual);
    bool handleTable(const SetupPacket& s, std::span<uint8_t> data, uint32_t& actual);
    bool handleSensor(const SetupPacket& s, std::span<uint8_t> data, uint32_t& actual);
    bool handleI2c(const SetupPacket& s, std::span<uint8_t> data, uint32_t& actual);
    bool sysInfo(const SetupPacket& s, std::span<uint8_t> data, uint32_t& actual);
    bool sensorPacket(std::span<const uint8_t> packet);
    uint8_t present(std::initializer_list<uint8_t> candidates) const;

    mutable std::mutex mutex;
    SimFirmwareConfig config;
    uint32_t fx3Version;
    SimFpga fpga;
    std::shared_ptr<SimSensor> sensor;
    SimI2cBus bus;
    SimFx3Params params;
    std::shared_ptr<SimUpgradeHandler> upgrade;
    std::deque<std::array<uint8_t, kSensorPacketSize>> replies;
    std::chrono::steady_clock::time_point powerOn;
    uint32_t requestCount = 0;
};

namespace {

// A read answers with exactly `n` bytes; a shorter buffer stalls.
bool reply(std::span<uint8_t> data, uint32_t& actual, std::span<const uint8_t> bytes) {
    if (data.size() < bytes.size()) return false;
    std::copy(bytes.begin(), bytes.end(), data.begin());
    actual = static_cast<uint32_t>(bytes.size());
    return true;
}

bool replyByte(std::span<uint8_t> data, uint32_t& actual, uint8_t v) {
    const std::array<uint8_t, 1> b{v};
    return reply(data, actual, b);
}

bool replyWord(std::span<uint8_t> data, uint32_t& actual, uint16_t v, bool bigEndian) {
    const std::array<uint8_t, 2> b = bigEndian
                                         ? std::array<uint8_t, 2>{uint8_t(v >> 8), uint8_t(v)}
                                         : std::array<uint8_t, 2>{uint8_t(v), uint8_t(v >> 8)};
    return reply(data, actual, b);
}

bool replyFloat(std::span<uint8_t> data, uint32_t& actual, float f) {
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    std::array<uint8_t, 4> b{};
    storeLe32(b, 0, bits);
    return reply(data, actual, b);
}

}  // namespace

bool SimCameraFirmware::Impl::handle(const SetupPacket& s, std::span<uint8_t> data,
                                     uint32_t& actual) {
    ++requestCount;
    const bool in = s.isIn();
    const uint8_t low = static_cast<uint8_t>(s.wValue & 0xFF);
    switch (s.bRequest) {
        case VR_FX3_VERSION:
        case VR_FPGA_VERSION: {
            if (!in) return false;
            std::array<uint8_t, 4> b{};
            storeLe32(b, 0, s.bRequest == VR_FX3_VERSION ? fx3Version : fpga.version());
            return reply(data, actual, b);
        }
        case VR_FPGA_REG:
            if (s.wIndex > 0xFF) return false;
            if (in) return replyByte(data, actual, fpga.read(static_cast<uint8_t>(s.wIndex)));
            fpga.write(static_cast<uint8_t>(s.wIndex), low);
            return true;
        case VR_DPC_CALIBRATE:
            if (in) return false;
            fpga.calibrate(s.wValue);
            return true;
        case VR_SENSOR_REG:
            return handleSensor(s, data, actual);
        case VR_I2C8:
        case VR_I2C16:
            return handleI2c(s, data, actual);
        case VR_TABLE:
            return handleTable(s, data, actual);
        case VR_SYSINFO:
            return in && sysInfo(s, data, actual);
        case VR_RAW_VIDEO:
            if (build() < kBuildRawVideo) return false;
            if (in) return replyByte(data, actual, params.rawVideo);
            params.rawVideo = low;
            return true;
        case VR_PARAM_BA:
            if (build() < kBuildParamBA) return false;
            if (in) return replyByte(data, actual, params.paramBA);
            params.paramBA = low;
            return true;
        case VR_AE_SETPOINT:
            if (in) return replyByte(data, actual, params.aeSetpoint);
            params.aeSetpoint = low;
            return true;
        case VR_AWB_SETPOINT:
        case VR_AFN_PERIOD: {
            uint16_t& v = s.bRequest == VR_AWB_SETPOINT ? params.awbSetpoint : params.afnPeriod;
            if (in) return replyWord(data, actual, v, build() < kBuildLittleEndianSetpoints);
            v = s.wValue;
            return true;
        }
        case VR_REAL0:
            if (build() < kBuildReal0) return false;
            if (in) return replyFloat(data, actual, params.real0);
            if (data.size() != sizeof(float)) return false;
            {
                uint32_t bits = 0;
                for (size_t i = 0; i < 4; ++i) bits |= uint32_t{data[i]} << (8 * i);
                std::memcpy(&params.real0, &bits, sizeof bits);
            }
            return true;
        case VR_REAL1:
            if (!in || s.wIndex != 1) return false;
            return replyFloat(data, actual, params.real1);
        default:
            return false;
    }
}

bool SimCameraFirmware::Impl::handleSensor(const SetupPacket& s, std::span<uint8_t> data,
                                           uint32_t& actual) {
    // The FPGA's bridge talks to its own sensor; a camera without one NAKs.
    if (build() < kBuildSensorBridge || !sensor) return false;
    const uint16_t reg = s.wIndex;
    const uint8_t old = sensor->read(reg);
    if (s.isIn()) return replyByte(data, actual, old);
    const uint8_t mask = static_cast<uint8_t>(s.wValue >> 8);
    const uint8_t value = static_cast<uint8_t>(s.wValue & 0xFF);
    if (mask == 0) return true;
    return bus.write(config.sensorAddress, reg,
                     static_cast<uint8_t>((old & ~mask) | (value & mask)));
}

bool SimCameraFirmware::Impl::handleI2c(const SetupPacket& s, std::span<uint8_t> data,
                                        uint32_t& actual) {
    const uint8_t address = static_cast<uint8_t>(s.wValue >> 8);
    if (s.bRequest == VR_I2C8 && s.wIndex > 0xFF) return false;
    if (s.isIn()) {
        const auto v = bus.read(address, s.wIndex);
        return v && replyByte(data, actual, *v);
    }
    return bus.write(address, s.wIndex, static_cast<uint8_t>(s.wValue & 0xFF));
}

bool SimCameraFirmware::Impl::handleTable(const SetupPacket& s, std::span<uint8_t> data,
                                          uint32_t& actual) {
    if (build() < kBuildTableBlock) return false;
    if ((s.wValue & 0xFF00) != kTableCountFlag) return false;
    const unsigned count = s.wValue & 0xFF;
    const unsigned kind = s.wIndex >> 8;
    const unsigned start = s.wIndex & 0xFF;
    if (!fpga.hasTable(kind) || s.wLength != count * 2 || data.size() != count * 2) return false;
    if (s.isIn()) {
        for (unsigned i = 0; i < count; ++i) storeLe16(data, 2 * i, fpga.entry(kind, start + i));
        actual = count * 2;
        return true;
    }
    for (unsigned i = 0; i < count; ++i) {
        fpga.setEntry(kind, start + i, static_cast<uint16_t>(data[2 * i] | data[2 * i + 1] << 8));
    }
    return true;
}

uint8_t SimCameraFirmware::Impl::present(std::initializer_list<uint8_t> candidates) const {
    for (const uint8_t a : candidates) {
        if (bus.device(a) && !(sensor && a == config.sensorAddress)) return a;
    }
    return 0;
}

bool SimCameraFirmware::Impl::sysInfo(const SetupPacket& s, std::span<uint8_t> data,
                                      uint32_t& actual) {
    if (build() < kBuildSysInfo) return false;
    const uint16_t layout = s.wIndex;
    uint16_t length = 0;
    if (layout == kSysInfoLayout1) {
        length = kSysInfoLength1;
    } else if (layout == kSysInfoLayout2 && build() >= kBuildSysInfoLayout2) {
        length = kSysInfoLength2;
    } else {
        return false;
    }
    std::vector<uint8_t> r(length);
    storeLe16(r, 0, length);
    const uint8_t minor = layout == kSysInfoLayout1 && build() >= kBuildSysInfoMinor1 ? 1 : 0;
    r[2] = static_cast<uint8_t>(layout | minor << 6);
    r[3] = static_cast<uint8_t>(s.wValue & 0x07);  // the checks that were run
    const auto up = std::chrono::duration_cast<std::chrono::milliseconds>(now() - powerOn).count();
    storeLe32(r, 4, static_cast<uint32_t>(std::max<int64_t>(0, up)));
    r[8] = 0;      // CYUSB3014
    r[9] = 0x35;   // USB3, 512 KB RAM, 16- and 32-bit GPIF II
    r[10] = 0x39;  // I²C, SPI, PIB, PIB DLL
    r[11] = static_cast<uint8_t>(config.usbVersion == 3 ? 3 : 2);  // bus powered
    // Heap and DMA counters: a steady number of live blocks, the rest churned per request.
    storeLe32(r, 12, 1024 + requestCount);
    storeLe32(r, 16, 1024 + requestCount - 40);
    storeLe32(r, 20, 96);
    storeLe32(r, 24, 80);
    storeLe16(r, 28, 0);
    storeLe16(r, 30, 0);
    storeLe16(r, 32, 3);
    storeLe16(r, 34, 1);
    r[38] = 0;  // no SFP+ cage
    if (layout == kSysInfoLayout2) {
        r[39] = present({0xAA, 0xD0});
        r[40] = present({0x42, 0x40});
        r[41] = present({kFpgaI2cAddress});
        r[42] = sensor ? config.sensorAddress : 0;
        r[43] = present({0x98});
        r[44] = present({0x5A});
        r[45] = present({0x76, 0x20});
    }
    const size_t n = std::min(data.size(), r.size());
    std::copy_n(r.begin(), n, data.begin());
    actual = static_cast<uint32_t>(n);
    return true;
}

bool SimCameraFirmware::Impl::sensorPacket(std::span<const uint8_t> p) {
    if (p.size() != kSensorPacketSize) return false;
    std::array<uint8_t, kSensorPacketSize> r{};
    std::copy(p.begin(), p.end(), r.begin());
    const uint16_t reg = static_cast<uint16_t>(p[1] << 8 | p[2]);
    const uint8_t address = p[7];
    r[3] = r[4] = 0;
    if (p[0] == kSensorPacketWrite && !bus.write(address, reg, p[5])) {
        r[0] = kEp4Nak;
    } else if (p[0] == kSensorPacketRead || p[0] == kSensorPacketWrite) {
        const auto v = bus.read(address, reg);
        r[0] = v ? kEp4Ok : kEp4Nak;
        r[3] = v.value_or(0);
    } else {
        r[0] = kEp4BadCommand;
    }
    if (replies.size() >= kMaxQueuedReplies) replies.pop_front();
    replies.push_back(r);
    return true;
}

SimCameraFirmware::SimCameraFirmware(SimFirmwareConfig config)
    : m_impl(std::make_unique<Impl>(std::move(config))) {}

SimCameraFirmware::~SimCameraFirmware() = default;

bool SimCameraFirmware::controlRequest(const SetupPacket& setup, std::span<uint8_t> data,
                                       uint32_t& actual) {
    actual = 0;
    if (isSimUpgradeRequest(setup.bRequest)) {
        std::shared_ptr<SimUpgradeHandler> handler;
        {
            std::lock_guard lock(m_impl->mutex);
            handler = m_impl->upgrade;
        }
        return handler->controlRequest(setup, data, actual);
    }
    std::lock_guard lock(m_impl->mutex);
    return m_impl->handle(setup, data, actual);
}

bool SimCameraFirmware::bulkOut(uint8_t endpoint, std::span<const uint8_t> data) {
    if (endpoint == kEpBitstreamOut) {
        std::shared_ptr<SimUpgradeHandler> handler;
        {
            std::lock_guard lock(m_impl->mutex);
            handler = m_impl->upgrade;
        }
        return handler->bulkOut(endpoint, data);
    }
    if (endpoint != kEpSensorOut) return false;
    std::lock_guard lock(m_impl->mutex);
    return m_impl->sensorPacket(data);
}

bool SimCameraFirmware::bulkIn(uint8_t endpoint, std::span<uint8_t> data, uint32_t& actual) {
    actual = 0;
    if (endpoint != kEpSensorIn) return false;
    std::lock_guard lock(m_impl->mutex);
    if (m_impl->replies.empty()) return false;
    const auto r = m_impl->replies.front();
    m_impl->replies.pop_front();
    const size_t n = std::min(data.size(), r.size());
    std::copy_n(r.begin(), n, data.begin());
    actual = static_cast<uint32_t>(n);
    return true;
}

uint16_t SimCameraFirmware::powerOn(uint16_t productId) {
    std::shared_ptr<SimUpgradeHandler> handler;
    {
        std::lock_guard lock(m_impl->mutex);
        handler = m_impl->upgrade;
    }
    return handler->powerOn(productId);
}

SimFirmwareConfig SimCameraFirmware::config() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->config;
}

void SimCameraFirmware::setUpgradeHandler(std::shared_ptr<SimUpgradeHandler> handler) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->upgrade = handler ? std::move(handler) : std::make_shared<SimNoUpgrade>();
}

uint32_t SimCameraFirmware::fx3Version() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->fx3Version;
}

void SimCameraFirmware::setFx3Version(uint32_t word) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->fx3Version = word;
}

uint32_t SimCameraFirmware::fpgaVersion() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->fpga.version();
}

void SimCameraFirmware::setFpgaVersion(uint32_t word) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->fpga.setVersion(word);
}

void SimCameraFirmware::powerCycle() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->fpga.powerCycle();
    m_impl->bus.powerCycle();
    m_impl->params = {};
    m_impl->replies.clear();
    m_impl->powerOn = m_impl->now();
}

SimFx3Params SimCameraFirmware::params() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->params;
}

void SimCameraFirmware::setParams(const SimFx3Params& p) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->params = p;
}

uint8_t SimCameraFirmware::fpgaRegister(uint8_t reg) const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->fpga.read(reg);
}

void SimCameraFirmware::setFpgaRegister(uint8_t reg, uint8_t value) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->fpga.poke(reg, value);
}

uint16_t SimCameraFirmware::tableEntry(unsigned kind, unsigned entry) const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->fpga.entry(kind, entry);
}

void SimCameraFirmware::setTableEntry(unsigned kind, unsigned entry, uint16_t value) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->fpga.setEntry(kind, entry, value);
}

uint32_t SimCameraFirmware::dpcRuns() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->fpga.dpcRuns();
}

SimSensorChip SimCameraFirmware::sensorChip() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->sensor ? m_impl->sensor->chip() : SimSensorChip::None;
}

uint8_t SimCameraFirmware::sensorAddress() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->config.sensorAddress;
}

uint8_t SimCameraFirmware::sensorRegister(uint16_t reg) const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->sensor ? m_impl->sensor->read(reg) : 0;
}

void SimCameraFirmware::setSensorRegister(uint16_t reg, uint8_t value) {
    std::lock_guard lock(m_impl->mutex);
    if (m_impl->sensor) m_impl->sensor->poke(reg, value);
}

uint8_t SimCameraFirmware::sensorDefault(uint16_t reg) const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->sensor ? m_impl->sensor->defaultValue(reg) : 0;
}

std::optional<uint8_t> SimCameraFirmware::i2cRegister(uint8_t address, uint16_t reg) const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->bus.read(address, reg);
}

std::vector<uint8_t> SimCameraFirmware::i2cAddresses() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->bus.addresses();
}

std::vector<SimI2cWrite> SimCameraFirmware::i2cWrites() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->bus.log();
}

void SimCameraFirmware::clearI2cWrites() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->bus.clearLog();
}

}  // namespace TVR::Sim
