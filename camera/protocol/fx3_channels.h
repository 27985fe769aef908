#pragma once

// The FX3's numbered camera channels: integer value channels and float real channels. The
// command channel maps each number to its request or FPGA registers; the named controls and
// menu items address them by these numbers.

namespace TVR::Fx3Channel {

inline constexpr int kFakeRawVideo = 0;   // raw video on/off
inline constexpr int kFan = 1;            // on/off
inline constexpr int kSdiOutput = 2;      // on/off
inline constexpr int kDpcThreshold = 3;   // of the last calibration
inline constexpr int kDpcPixelCount = 4;  // defective pixels found; 0 while detecting
inline constexpr int kLedRed = 5;         // LED brightness
inline constexpr int kLedGreen = 6;
inline constexpr int kLedBlue = 7;
inline constexpr int kNrChroma = 8;  // noise reduction strength; write-only
inline constexpr int kNrLuma = 9;
inline constexpr int kAeSetpoint = 10;            // automatic exposure set-point
inline constexpr int kAwbSetpoint = 11;           // automatic white balance set-point
inline constexpr int kAutoFunctionInterval = 12;  // auto-functions update period
inline constexpr int kUnsupported = 13;           // numbered, never offered
inline constexpr int kCount = 14;

}  // namespace TVR::Fx3Channel

namespace TVR::Fx3RealChannel {

inline constexpr int kVideoFrameRate = 0;
inline constexpr int kFpgaTemperature = 1;  // read only

}  // namespace TVR::Fx3RealChannel
