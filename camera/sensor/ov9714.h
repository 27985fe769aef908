#pragma once

// The OV9714 family (OV9713, OV9714, OV9750, OV9755): one register map.

#include "sensor/img_sensor_chip.h"

namespace TVR {

class OV9714 : public IImgSensorChip {
public:
    OV9714(ImgSensor& sensor, int kind) : IImgSensorChip(sensor, kind) {}

    bool matchesName(std::string_view name) const override;
    int maxValue(int n) const override;
    bool action(int n) override;
    bool sensorSwitch(int n, int value) override;
    TestPatternSettings testPattern(const TestPatternSettings& settings) override;
    void groupHoldBegin(int group) override;
    void groupHoldEnd(int group, int launchMode) override;
    SensorRegisterLayout registerLayout(int n) const override;
};

class OV9750 : public OV9714 {
public:
    OV9750(ImgSensor& sensor, int kind) : OV9714(sensor, kind) {}
};

class OV9755 : public OV9714 {
public:
    OV9755(ImgSensor& sensor, int kind) : OV9714(sensor, kind) {}
};

}  // namespace TVR
