#pragma once

// The OV10823: its own register map, binning, and gain and exposure always under manual
// control.

#include "sensor/img_sensor_chip.h"

namespace TVR {

class OV10823 : public IImgSensorChip {
public:
    OV10823(ImgSensor& sensor, int kind) : IImgSensorChip(sensor, kind) {}

    int maxValue(int n) const override;
    bool action(int n) override;
    bool sensorSwitch(int n, int value) override;
    int binning(int mode) override;
    TestPatternSettings testPattern(const TestPatternSettings& settings) override;
    void groupHoldBegin(int group) override;
    void groupHoldEnd(int group, int launchMode) override;
    SensorRegisterLayout registerLayout(int n) const override;
};

}  // namespace TVR
