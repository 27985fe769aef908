#pragma once

// The OV48C40: white-balance gains mirrored in three register banks, an 11-bit gain split
// over two registers, and its own group-hold launch.

#include "sensor/img_sensor_chip.h"

namespace TVR {

class OV48C40 : public IImgSensorChip {
public:
    OV48C40(ImgSensor& sensor, int kind) : IImgSensorChip(sensor, kind) {}

    int maxValue(int n) const override;
    bool action(int n) override;
    bool sensorSwitch(int n, int value) override;
    uint32_t sensorValue(int n, int value) override;
    TestPatternSettings testPattern(const TestPatternSettings& settings) override;
    void groupHoldBegin(int group) override;
    void groupHoldEnd(int group, int launchMode) override;
    // Gain (N = 3) is not a plain multi-register value; the layout only names its registers.
    SensorRegisterLayout registerLayout(int n) const override;
};

}  // namespace TVR
