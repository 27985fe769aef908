#pragma once

// Register numbers of the OmniVision image sensors: the chip classes write them and the
// simulated sensor models answer them, so both take them from here.

#include <cstdint>

namespace TVR::SensorReg {

inline constexpr uint16_t kModeSelect = 0x0100;   // bit 0: streaming (standby when clear)
inline constexpr uint16_t kOrientation = 0x0101;  // OV9714 family: bit 0 mirror, bit 1 flip
inline constexpr uint16_t kModeStatus = 0x0102;
inline constexpr uint16_t kSoftwareReset = 0x0103;
inline constexpr uint16_t kSystemControl = 0x3002;
inline constexpr uint16_t kChipIdHigh = 0x300A;
inline constexpr uint16_t kChipIdLow = 0x300B;
inline constexpr uint16_t kChipIdRevision = 0x300C;  // the third byte of the chip ID
inline constexpr uint16_t kChipSubRevision = 0x302A;
inline constexpr uint16_t kGroupHold = 0x3208;
inline constexpr uint16_t kExposureHigh = 0x3500;
inline constexpr uint16_t kExposureMid = 0x3501;
inline constexpr uint16_t kExposureLow = 0x3502;
inline constexpr uint16_t kManualControl = 0x3503;
inline constexpr uint16_t kGainSplitHigh = 0x3508;  // OV48C40
inline constexpr uint16_t kGainSplitLow = 0x3509;
inline constexpr uint16_t kGainHigh = 0x350A;
inline constexpr uint16_t kGainLow = 0x350B;
inline constexpr uint16_t kBinning = 0x3663;  // OV10823
inline constexpr uint16_t kWindowOffsetX = 0x3811;
inline constexpr uint16_t kWindowOffsetY = 0x3813;
inline constexpr uint16_t kFormat1 = 0x3820;
inline constexpr uint16_t kFormat2 = 0x3821;
inline constexpr uint16_t kFormat3 = 0x3823;
inline constexpr uint16_t kBlackLevelOv9714 = 0x4008;
inline constexpr uint16_t kBlackLevelOv10823 = 0x4004;
inline constexpr uint16_t kBlackLevelOv48c40 = 0x4019;
inline constexpr uint16_t kIspControl0 = 0x5000;
inline constexpr uint16_t kIspControl1 = 0x5001;
inline constexpr uint16_t kTestPattern = 0x5080;
inline constexpr uint16_t kTestPatternSeed = 0x5081;
inline constexpr uint16_t kTestPatternOv10823 = 0x5E00;

}  // namespace TVR::SensorReg
