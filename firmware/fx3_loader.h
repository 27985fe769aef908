#pragma once

// Loading an FX3 program into the boot loader's RAM and programming it into the FX3's SPI
// flash, over the named boot-loader and flash requests of FX3. Called from the upgrade worker,
// which keeps other camera traffic away meanwhile.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace TVR {

class FX3;

enum RamLoadResult : int {
    kRamLoadDone = 0,
    kRamLoadWriteFailed = 1,
    kRamLoadNoSignature = 3,
    kRamLoadChecksumMismatch = 4,
    // Lengths that run past the file: refused before any request.
    kRamLoadMalformed = 5,
};

enum SpiProgramResult : int {
    kSpiProgramDone = 0,
    kSpiProgramWriteFailed = 1,
    kSpiProgramEraseFailed = 2,
    // Not a whole "CY" image with a matching checksum, or larger than the flash offsets
    // reach: refused before anything is erased.
    kSpiProgramBadImage = 3,
};

inline constexpr int kRamPieceAttempts = 3;
inline constexpr uint32_t kSpiSectorSize = 65536;
inline constexpr uint32_t kSpiWriteUnit = 256;
inline constexpr uint32_t kSpiMaxImage = 16u << 20;

struct SpiPiece {
    uint32_t offset = 0;
    uint32_t length = 0;  // a multiple of kSpiWriteUnit, at most FX3::kSpiPage
};

struct SpiPlan {
    uint16_t sectors = 0;  // erased from 0 up
    std::vector<SpiPiece> pieces;
};

// The erase and write steps for an image of `size` bytes; empty for 0 or above kSpiMaxImage.
SpiPlan planSpiProgram(size_t size);

// Why `image` cannot be programmed ("CY" signature, section bounds, checksum, flash size);
// empty when it can.
std::string fx3ImageProblem(std::span<const uint8_t> image);

// Writes every section in verified pieces, checks the stored checksum against the verified
// data and then starts the program at its entry address.
int loadFx3Ram(FX3& fx3, std::span<const uint8_t> image);

// Checks the image, erases the sectors it needs and writes it, the last piece zero-padded.
int programFx3Spi(FX3& fx3, std::span<const uint8_t> image);

}  // namespace TVR
