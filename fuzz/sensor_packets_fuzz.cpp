// The 8-byte sensor packets of old FX3 firmware (out on 0x04, the reply in on 0x84), answered
// by the input. A camera with FX3 build 45 reaches its sensor only this way. Every access must
// send the packet the firmware expects, take the register value from a good reply only, read a
// failed exchange as 0, and never write a register after a failed read.
//
// Input: a list of operations, each an operation byte and its arguments, followed by the
// exchanges it needs. An exchange is a flag byte (bit 0: the out transfer stalls, bit 1: the in
// transfer stalls, bits 4-7 modulo 9: the reply's length) and the reply's bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "apilog.h"
#include "firmware_proxy.h"
#include "fuzz_check.h"
#include "protocol/vendor_requests.h"
#include "sensor/img_sensor.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kControlTimeoutMs = 100;
constexpr uint32_t kOldFx3Build = 45;
constexpr size_t kMaxOperations = 16;

struct Exchange {
    bool outStalls = false;
    bool inStalls = false;
    Bytes reply;
};

// Answers the sensor packets from a script once the camera is open.
class PacketFirmware : public TavroFuzz::FirmwareProxy {
public:
    using FirmwareProxy::FirmwareProxy;

    bool bulkOut(uint8_t endpoint, std::span<const uint8_t> data) override {
        std::lock_guard lock(m_mutex);
        if (!m_scripted || endpoint != TVR::kEpSensorOut) {
            return FirmwareProxy::bulkOut(endpoint, data);
        }
        m_packets.emplace_back(data.begin(), data.end());
        m_inPending = false;
        if (m_next >= m_script.size()) return false;
        m_current = m_script[m_next++];
        m_inPending = !m_current.outStalls;
        return !m_current.outStalls;
    }

    bool bulkIn(uint8_t endpoint, std::span<uint8_t> data, uint32_t& actual) override {
        std::lock_guard lock(m_mutex);
        if (!m_scripted || endpoint != TVR::kEpSensorIn) {
            return FirmwareProxy::bulkIn(endpoint, data, actual);
        }
        if (!m_inPending) {
            m_unpairedIn = true;
            return false;
        }
        m_inPending = false;
        if (m_current.inStalls) return false;
        const size_t n = std::min(m_current.reply.size(), data.size());
        std::copy_n(m_current.reply.begin(), n, data.begin());
        actual = static_cast<uint32_t>(n);
        return true;
    }

    void script(std::vector<Exchange> exchanges) {
        std::lock_guard lock(m_mutex);
        m_scripted = true;
        m_script = std::move(exchanges);
        m_next = 0;
        m_packets.clear();
        m_inPending = false;
        m_unpairedIn = false;
    }
    std::vector<Bytes> packets() const {
        std::lock_guard lock(m_mutex);
        return m_packets;
    }
    bool unpairedIn() const {
        std::lock_guard lock(m_mutex);
        return m_unpairedIn;
    }

private:
    mutable std::mutex m_mutex;
    bool m_scripted = false;
    std::vector<Exchange> m_script;
    size_t m_next = 0;
    Exchange m_current;
    bool m_inPending = false;
    bool m_unpairedIn = false;
    std::vector<Bytes> m_packets;
};

struct Camera {
    Camera()
        : firmware(std::make_shared<PacketFirmware>(TavroFuzz::firmwareWithBuild(kOldFx3Build))) {
        driver.addCamera()->setFirmware(firmware);
        FUZZ_CHECK(sensor.selectDevice(0));
        FUZZ_CHECK(!sensor.bridge());
    }
    TVR::ApiLog log;
    TVR::Sim::SimDriver driver;
    std::shared_ptr<PacketFirmware> firmware;
    TVR::ImgSensor sensor{driver, log, false, kControlTimeoutMs};
};

class Reader {
public:
    explicit Reader(std::span<const uint8_t> data) : m_data(data) {}
    bool empty() const { return m_pos >= m_data.size(); }
    uint8_t byte() { return m_pos < m_data.size() ? m_data[m_pos++] : 0; }
    uint16_t word() {
        const uint8_t high = byte();
        return static_cast<uint16_t>(high << 8 | byte());
    }
    Exchange exchange() {
        Exchange e;
        const uint8_t flags = byte();
        e.outStalls = (flags & 1) != 0;
        e.inStalls = (flags & 2) != 0;
        e.reply.resize((flags >> 4) % 9);
        for (uint8_t& b : e.reply) b = byte();
        return e;
    }

private:
    std::span<const uint8_t> m_data;
    size_t m_pos = 0;
};

// What an exchange gives the host: a reply of 8 bytes whose status byte is below 32.
struct Outcome {
    bool ok = false;
    uint16_t value = 0;
};

Outcome outcome(const Exchange& e) {
    Outcome o;
    o.ok = !e.outStalls && !e.inStalls && e.reply.size() == 8 && e.reply[0] < 32;
    if (o.ok) o.value = static_cast<uint16_t>(e.reply[3] | e.reply[4] << 8);
    return o;
}

Bytes packet(bool write, uint16_t reg, uint16_t value, uint8_t address) {
    return {write ? TVR::kSensorPacketWrite : TVR::kSensorPacketRead,
            static_cast<uint8_t>(reg >> 8),
            static_cast<uint8_t>(reg & 0xFF),
            0,
            0,
            static_cast<uint8_t>(value & 0xFF),
            static_cast<uint8_t>(value >> 8),
            address};
}

// Reads of the registers in order, one exchange each; the outcomes.
std::vector<Outcome> scriptReads(Camera& cam, Reader& in, size_t count) {
    std::vector<Exchange> script;
    std::vector<Outcome> outcomes;
    for (size_t i = 0; i < count; ++i) {
        script.push_back(in.exchange());
        outcomes.push_back(outcome(script.back()));
    }
    cam.firmware->script(std::move(script));
    return outcomes;
}

void checkReadPackets(Camera& cam, const std::vector<uint16_t>& registers) {
    const auto sent = cam.firmware->packets();
    FUZZ_CHECK(sent.size() == registers.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        FUZZ_CHECK(sent[i] == packet(false, registers[i], 0, cam.sensor.i2cAddress()));
    }
}

void readRegister(Camera& cam, Reader& in) {
    const uint16_t reg = in.word();
    const Outcome expected = scriptReads(cam, in, 1)[0];
    uint16_t value = 0xFFFF;
    FUZZ_CHECK(cam.sensor.readRegister(reg, value) == expected.ok);
    FUZZ_CHECK(value == expected.value);
    checkReadPackets(cam, {reg});
}

void writeRegister(Camera& cam, Reader& in) {
    const uint16_t reg = in.word();
    const uint16_t value = in.word();
    const uint16_t mask = in.word();
    const Exchange read = in.exchange();
    const Exchange write = in.exchange();
    cam.firmware->script({read, write});
    const Outcome old = outcome(read);
    const Outcome written = outcome(write);

    const uint16_t answer = cam.sensor.writeRegister(reg, value, mask);
    const auto sent = cam.firmware->packets();
    const uint8_t address = cam.sensor.i2cAddress();
    FUZZ_CHECK(!sent.empty() && sent[0] == packet(false, reg, 0, address));
    if (mask == 0 || !old.ok) {
        // A plain read, or a read that failed: nothing may be written.
        FUZZ_CHECK(sent.size() == 1);
        FUZZ_CHECK(answer == old.value);
        return;
    }
    const auto merged = static_cast<uint16_t>((value & mask) | (old.value & ~mask));
    FUZZ_CHECK(sent.size() == 2 && sent[1] == packet(true, reg, merged, address));
    FUZZ_CHECK(answer == (written.ok ? old.value : 0));
}

// The chips by their ID registers: high, low, revision (0 matches anything) and kind.
int expectedKind(int high, int low, int revision) {
    struct Id {
        int high, low, revision, kind;
    };
    static constexpr Id kIds[] = {{0x97, 0x13, 0, 2}, {0x97, 0x14, 0, 2},    {0x97, 0x50, 0, 3},
                                  {0x97, 0x55, 0, 4}, {0xA8, 0x20, 0x20, 5}, {0xD8, 0x50, 0, 6},
                                  {0x56, 0x48, 0, 7}};
    for (const Id& id : kIds) {
        if ((id.high == 0 || id.high == high) && (id.low == 0 || id.low == low) &&
            (id.revision == 0 || id.revision == revision)) {
            return id.kind;
        }
    }
    return 0;
}

void detectChip(Camera& cam, Reader& in) {
    const auto ids = scriptReads(cam, in, 3);
    const auto chip = TVR::IImgSensorChip::create(cam.sensor);
    FUZZ_CHECK(chip->kind() ==
               expectedKind(ids[0].value & 0xFF, ids[1].value & 0xFF, ids[2].value & 0xFF));
    checkReadPackets(cam, {0x300A, 0x300B, 0x300C});
}

void chipIdText(Camera& cam, Reader& in) {
    const auto ids = scriptReads(cam, in, 4);
    const std::string text =
        fmt::format("{:02X}:{:02X}:{:02X}-{:02X}", ids[0].value & 0xFF, ids[1].value & 0xFF,
                    ids[2].value & 0xFF, ids[3].value & 0xFF);
    FUZZ_CHECK(cam.sensor.chipIdText() == text);
    checkReadPackets(cam, {0x300A, 0x300B, 0x300C, 0x302A});
}

// A value over one to four registers, its width reaching into the first one as the chips'
// layouts do.
void readMultiRegister(Camera& cam, Reader& in) {
    TVR::SensorRegisterLayout layout;
    const size_t count = 1 + in.byte() % 4;
    layout.width = static_cast<int>(8 * (count - 1) + 1 + in.byte() % 8);
    for (size_t i = 0; i < count; ++i) layout.registers.push_back(in.word());
    const auto parts = scriptReads(cam, in, count);

    const int topBits = layout.width - static_cast<int>(8 * (count - 1));
    uint32_t expected = parts[0].value & ((1u << topBits) - 1);
    for (size_t i = 1; i < count; ++i) expected = expected << 8 | (parts[i].value & 0xFF);
    FUZZ_CHECK(cam.sensor.readMultiRegister(layout) == expected);
    checkReadPackets(cam, layout.registers);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Camera cam;
    Reader in({data, size});
    for (size_t n = 0; n < kMaxOperations && !in.empty(); ++n) {
        switch (in.byte() % 5) {
            case 0:
                readRegister(cam, in);
                break;
            case 1:
                writeRegister(cam, in);
                break;
            case 2:
                detectChip(cam, in);
                break;
            case 3:
                chipIdText(cam, in);
                break;
            default:
                readMultiRegister(cam, in);
                break;
        }
        FUZZ_CHECK(!cam.firmware->unpairedIn());
    }
    return 0;
}
