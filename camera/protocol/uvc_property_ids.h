#pragma once

// Property numbers of the two UVC property sets, as the platform's camera-control and
// processing-amplifier enumerations number them. Settings files, the property backends and the
// simulated camera's UVC function all use these numbers.

#include <cstdint>

namespace TVR::UvcCameraControl {

inline constexpr int32_t kPan = 0;
inline constexpr int32_t kTilt = 1;
inline constexpr int32_t kRoll = 2;
inline constexpr int32_t kZoom = 3;
inline constexpr int32_t kExposure = 4;  // log2 seconds
inline constexpr int32_t kIris = 5;
inline constexpr int32_t kFocus = 6;
inline constexpr int32_t kCount = 7;

}  // namespace TVR::UvcCameraControl

namespace TVR::UvcProcAmp {

inline constexpr int32_t kBrightness = 0;
inline constexpr int32_t kContrast = 1;
inline constexpr int32_t kHue = 2;
inline constexpr int32_t kSaturation = 3;
inline constexpr int32_t kSharpness = 4;
inline constexpr int32_t kGamma = 5;
inline constexpr int32_t kColorEnable = 6;
inline constexpr int32_t kWhiteBalance = 7;
inline constexpr int32_t kBacklightCompensation = 8;
inline constexpr int32_t kGain = 9;
inline constexpr int32_t kCount = 10;

}  // namespace TVR::UvcProcAmp
