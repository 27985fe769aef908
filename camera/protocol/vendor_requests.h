#pragma once

// The camera's vendor requests and FPGA register numbers: the protocol both the command channel
// and the simulated camera's firmware speak. bmRequestType is 0x40 for writes and 0xC0 for
// reads (vendor, device recipient).

#include <cstddef>
#include <cstdint>

#include "protocol/sensor_registers.h"

namespace TVR {

inline constexpr uint8_t kVendorWrite = 0x40;
inline constexpr uint8_t kVendorRead = 0xC0;

// Vendor request codes.
inline constexpr uint8_t VR_BOOTLOADER = 0xA0;          // status / RAM write, read back, start
inline constexpr uint8_t VR_DPC_CALIBRATE = 0xA2;       // wValue threshold 0-255
inline constexpr uint8_t VR_FPGA_REG = 0xA4;            // wIndex register; write: wValue value
inline constexpr uint8_t VR_SENSOR_REG = 0xA5;          // wIndex register; write: mask*256+value
inline constexpr uint8_t VR_RAW_VIDEO = 0xA7;           // camera value channel 0
inline constexpr uint8_t VR_SYSINFO = 0xA8;             // wValue check flags, wIndex layout 1|2
inline constexpr uint8_t VR_ENTER_BOOTLOADER = 0xAA;    // invalidate flash, restart in boot loader
inline constexpr uint8_t VR_FX3_VERSION = 0xAB;         // 4 bytes
inline constexpr uint8_t VR_FPGA_VERSION = 0xAC;        // 4 bytes
inline constexpr uint8_t VR_FPGA_CONFIG_MODE = 0xAD;    // FPGA into configuration mode
inline constexpr uint8_t VR_FPGA_CONFIG_STATUS = 0xAE;  // 2 bytes
inline constexpr uint8_t VR_SPI_ENABLE = 0xAF;          // GPIF off, SPI on
inline constexpr uint8_t VR_REAL0 = 0xB0;               // camera real channel 0 (float)
inline constexpr uint8_t VR_TABLE = 0xB1;               // wValue count+0x100, wIndex kind*256+start
inline constexpr uint8_t VR_REAL1 = 0xB8;               // camera real channel 1, wIndex 1
inline constexpr uint8_t VR_PARAM_BA = 0xBA;            // camera value channel 2
inline constexpr uint8_t VR_SPI_WRITE = 0xC2;           // wIndex flash offset / 256
inline constexpr uint8_t VR_SPI_ERASE = 0xC4;     // write: wValue 1, wIndex sector; read: busy
inline constexpr uint8_t VR_AE_SETPOINT = 0xD0;   // camera value channel 10, 1 byte
inline constexpr uint8_t VR_AWB_SETPOINT = 0xD8;  // camera value channel 11, 2 bytes
inline constexpr uint8_t VR_AFN_PERIOD = 0xDF;    // camera value channel 12, 2 bytes
inline constexpr uint8_t VR_RESET = 0xE0;         // soft reboot
inline constexpr uint8_t VR_I2C8 = 0xF8;          // wValue addr*256(+value), wIndex 8-bit reg
inline constexpr uint8_t VR_I2C16 = 0xF9;         // as VR_I2C8 with a 16-bit register

inline constexpr uint16_t kTableCountFlag = 0x100;  // VR_TABLE wValue: count (low byte) + flag

// System information record layouts (VR_SYSINFO wIndex) and their lengths.
inline constexpr uint16_t kSysInfoLayout1 = 1;
inline constexpr uint16_t kSysInfoLayout2 = 2;
inline constexpr uint16_t kSysInfoLength1 = 39;
inline constexpr uint16_t kSysInfoLength2 = 54;

// FPGA registers (VR_FPGA_REG).
namespace FpgaReg {
inline constexpr uint8_t kControl = 6;  // bits 0-1 audio/video streaming, bit 6 channel 1
inline constexpr uint8_t kControlStreamMask = 0x03;
inline constexpr uint8_t kControlChannel1Bit = 6;
inline constexpr uint8_t kControlChannel1Mask = 1 << kControlChannel1Bit;  // the fan
inline constexpr uint8_t kLedRedLow = 8;  // LED_R, LED_G, LED_B: channels 5-7
inline constexpr uint8_t kLedGreenLow = 10;
inline constexpr uint8_t kLedBlueLow = 12;
inline constexpr uint8_t kNoiseReductionChroma = 14;  // channel 8
inline constexpr uint8_t kNoiseReductionLuma = 15;    // channel 9
inline constexpr uint8_t kDpcThresholdLow = 32;       // channel 3: 32 low, 33 high
inline constexpr uint8_t kDpcThresholdHigh = 33;
inline constexpr uint8_t kDpcCountLow = 34;  // channel 4: 34 low, 35 high
inline constexpr uint8_t kDpcCountHigh = 35;
inline constexpr uint8_t kColourSubstBase = 128;  // colour-substitution band b at 128 + 16*b
inline constexpr uint8_t kColourSubstStride = 16;
inline constexpr unsigned kColourSubstBands = 4;
// Offsets inside a band; 16-bit values are low, high pairs.
inline constexpr uint8_t kBandEnable = 0;
inline constexpr uint8_t kBandSatMin = 2;
inline constexpr uint8_t kBandSatMax = 3;
inline constexpr uint8_t kBandLumMin = 4;
inline constexpr uint8_t kBandLumMax = 5;
inline constexpr uint8_t kBandHueLow = 6;
inline constexpr uint8_t kBandToleranceLow = 8;
inline constexpr uint8_t kBandRedLow = 10;
inline constexpr uint8_t kBandGreenLow = 12;
inline constexpr uint8_t kBandBlueLow = 14;
inline constexpr uint8_t kTableSelectHigh = 0xC0;  // bits 5-7 kind, bits 1-4 entry bits 8-11
inline constexpr uint8_t kTableSelectLow = 0xC1;   // entry bits 0-7
inline constexpr uint8_t kTableDataLow = 0xC2;
inline constexpr uint8_t kTableDataHigh = 0xC3;
inline constexpr uint8_t kColourMatrixBase = 0xD0;  // 9 pairs (fraction, integer) 0xD0-0xE1
inline constexpr unsigned kColourMatrixEntries = 9;
}  // namespace FpgaReg

// Legacy sensor register packets on bulk endpoints 0x04 (out) and 0x84 (in).
inline constexpr uint8_t kEpSensorOut = 0x04;
inline constexpr uint8_t kEpSensorIn = 0x84;
inline constexpr uint8_t kEpBitstreamOut = 0x05;
inline constexpr uint8_t kSensorPacketRead = 0x10;
inline constexpr uint8_t kSensorPacketWrite = 0x11;
inline constexpr size_t kSensorPacketSize = 8;

// Sensor I²C addresses (8-bit form).
inline constexpr uint8_t kSensorAddressPrimary = 0x20;
inline constexpr uint8_t kSensorAddressSecondary = 0x6C;
inline constexpr uint8_t kFpgaI2cAddress = 0x06;  // the FPGA's own register file on the I²C bus

}  // namespace TVR
