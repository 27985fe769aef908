#pragma once

// The image sensor chips: where each keeps its white-balance gains, gain, exposure, black
// level, test pattern, mirror and flip, and how values are packed into its registers. A chip
// object belongs to its ImgSensor and is re-created on every detection; it is used from the
// thread that uses the sensor.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace TVR {

class ImgSensor;

// Where a sensor value lives: its width in bits and its registers, most significant first.
// Width 0: the chip has no such value.
struct SensorRegisterLayout {
    int width = 0;
    std::vector<uint16_t> registers;
    bool present() const { return width > 0 && !registers.empty(); }
};

// A test-pattern setting. Type 0-3, or -1 to read only.
struct TestPatternSettings {
    int type = -1;
    int variant = 0;           // type 0: 0-3
    bool alternative = false;  // type 2
    bool bit5 = false;
    bool bit6 = false;
    bool bit7 = false;
};

enum SensorValueId : int {
    kValueWbGainR = 0,
    kValueWbGainG = 1,
    kValueWbGainB = 2,
    kValueGlobalGain = 3,
    kValueExposure = 4,
    kValueBlackLevel = 5,
    kValueTestPatternSeed = 6,
};

enum SensorSwitchId : int {
    kSwitchStandby = 0,
    kSwitchMirror = 1,
    kSwitchFlip = 2,
    kSwitchManualWb = 3,
    kSwitchManualGain = 4,
    kSwitchManualExposure = 5,
    kSwitchTestPatternSeed = 6,
};

class IImgSensorChip {
public:
    static constexpr uint32_t kUnavailable = 0xFFFFFFFF;

    // Reads the chip ID registers and creates the matching chip; IImgSensorBase when none
    // matches.
    static std::unique_ptr<IImgSensorChip> create(ImgSensor& sensor);
    // The name of a chip kind; "--- UNKNOWN ---" outside 1-7.
    static std::string_view kindName(int kind);

    virtual ~IImgSensorChip() = default;
    IImgSensorChip(const IImgSensorChip&) = delete;
    IImgSensorChip& operator=(const IImgSensorChip&) = delete;

    // True for an empty name or a name this chip answers to.
    virtual bool matchesName(std::string_view name) const;
    // Largest value of sensor value N; -1 when there is none.
    virtual int maxValue(int n) const = 0;
    virtual bool action(int n);
    // -1 reads, 0 turns off, anything else on; the state read.
    virtual bool sensorSwitch(int n, int value);
    // Below 0 reads (kUnavailable when the chip has no such value); otherwise writes and
    // returns the value written.
    virtual uint32_t sensorValue(int n, int value);
    virtual SensorRegisterLayout valueLayout(int n) const { return registerLayout(n); }
    // OV10823: 2-4 set a binning mode, 0 reads, others switch it off. The mode in force (1-4),
    // 0 when the register holds none of them, -1 when the chip has no binning.
    virtual int binning(int mode);
    // Writes (type 0-3) or reads (type -1) the pattern; the setting in force.
    virtual TestPatternSettings testPattern(const TestPatternSettings& settings);
    virtual void groupHoldBegin(int group);
    virtual void groupHoldEnd(int group, int launchMode);
    virtual SensorRegisterLayout registerLayout(int n) const;

    int kind() const { return m_kind; }
    std::string_view name() const { return kindName(m_kind); }
    int groupHoldDepth() const { return m_groupHold; }

    static uint8_t encodeTestPattern(const TestPatternSettings& settings);
    static TestPatternSettings decodeTestPattern(uint8_t value);

protected:
    IImgSensorChip(ImgSensor& sensor, int kind) : m_sensor(sensor), m_kind(kind) {}

    // Maxima of sensor values 0-6 as a table; -1 means none.
    using MaxTable = std::array<int, 7>;
    static int maxFromTable(const MaxTable& table, int n) {
        return n >= 0 && n < static_cast<int>(table.size()) ? table[static_cast<size_t>(n)] : -1;
    }

    // The "not implemented" debugger output.
    void notImplemented() const;
    // Reads a one-bit switch of a register.
    bool readBit(uint16_t reg, int bit);
    // Sets a bit with one masked write.
    void writeBitMasked(uint16_t reg, int bit, bool on);
    // Sets a bit by reading the register and writing the whole byte back.
    void writeBitRmw(uint16_t reg, int bit, bool on);
    // A one-bit switch: -1 reads the bit, anything else writes it (masked or read-modify-write)
    // and answers the state written.
    bool switchBitMasked(uint16_t reg, int bit, int value);
    bool switchBitRmw(uint16_t reg, int bit, int value);
    // The generic multi-register value of a layout, exposure with its low nibble cleared.
    uint32_t layoutValue(int n, int value);
    TestPatternSettings testPatternAt(uint16_t reg, const TestPatternSettings& settings);
    void softwareReset();
    // Action 2 of the OV9714 family and the OV48C40: the format register they share.
    void writeFormat3();
    // Switch 0 (standby: 0x0100 bit 0 clear) of the OV9714 family and the OV48C40; -1 only
    // reads the register.
    bool standbySwitch(int value);
    // Group hold on 0x3208 as most chips do it: only the outermost begin and end write.
    void groupHoldBeginAt(int group);
    void groupHoldEndAt(int group, int launchMode);
    // Counts an end; true when it closed the outermost hold. An end without a begin is
    // ignored.
    bool leaveGroupHold();

    ImgSensor& m_sensor;
    int m_kind;
    int m_groupHold = 0;
};

// The chip that was not recognised: no layouts, no switches, no actions.
class IImgSensorBase : public IImgSensorChip {
public:
    IImgSensorBase(ImgSensor& sensor, int kind) : IImgSensorChip(sensor, kind) {}
    int maxValue(int n) const override;
};

// Recognised, but its register map is not modelled: behaves as the generic chip.
class OV13850 : public IImgSensorBase {
public:
    OV13850(ImgSensor& sensor, int kind) : IImgSensorBase(sensor, kind) {}
};

}  // namespace TVR
