#pragma once

// Firmware images the simulated camera accepts, and the recognisers its boot loader, flash boot
// and FPGA configuration use. Outside data: every recogniser is bounds-checked.
//
// FX3 program ("CY" image): "CY", two unused bytes, sections (length in 32-bit words, load
// address, data), a zero-length section, the entry address and the sum of all data words.
// The simulator's program record sits at the start of the first section: the marker "TVRV",
// the program's version word and the sum (mod 2^32) of every other data word of all sections.
// The boot loader starts a RAM program only when that sum matches what was loaded, so an image
// whose data was damaged is refused there as well as by a host that checks the checksum.
//
// FPGA bitstream: "TVRF", the version word, the image length in bytes, the CRC-32 (IEEE) of
// every byte after these 16 header bytes up to that length, then the configuration data. A
// bitstream whose CRC does not match configures with "CRC error".

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace TVR::Sim {

inline constexpr uint32_t kSimFx3RamBase = 0x40000000;
inline constexpr uint32_t kSimFx3RamSize = 512 * 1024;
inline constexpr size_t kSimFx3MinImageSize = 102400;
inline constexpr size_t kSimFpgaMinImageSize = 0x300000;
inline constexpr char kSimFx3Marker[] = "TVRV";
inline constexpr char kSimFpgaMagic[] = "TVRF";
inline constexpr size_t kSimFpgaHeaderSize = 16;

// The FX3 version word of a program with build `build` (the simulator's default fields).
uint32_t simFx3VersionForBuild(uint32_t build);
uint32_t simFpgaVersionForBuild(uint32_t build);

// A valid "CY" image of at least kSimFx3MinImageSize bytes whose program reports `build`;
// with `corrupt` one data word is damaged after the sums were taken (checksum mismatch).
std::vector<uint8_t> buildSimFx3Image(uint32_t build, bool corrupt = false);
// A bitstream of kSimFpgaMinImageSize bytes reporting `build`; with `corrupt` its CRC fails.
std::vector<uint8_t> buildSimFpgaImage(uint32_t build, bool corrupt = false);

struct SimFx3Section {
    uint32_t address = 0;
    size_t offset = 0;  // of the data in the image
    size_t length = 0;  // bytes
};

struct SimFx3ImageInfo {
    std::vector<SimFx3Section> sections;
    uint32_t entry = 0;
    uint32_t storedChecksum = 0;
    uint32_t dataChecksum = 0;
    size_t size = 0;  // bytes up to and including the checksum
    bool checksumOk() const { return storedChecksum == dataChecksum; }
};

// Parses the layout; empty with `error` set for a missing signature or a truncated image.
std::optional<SimFx3ImageInfo> parseSimFx3Image(std::span<const uint8_t> image, std::string& error);

// The program record at the start of a section's data: marker, version word, sum of the other
// data words. Empty without the marker.
struct SimProgramRecord {
    uint32_t version = 0;
    uint32_t sum = 0;
};
inline constexpr size_t kSimProgramRecordSize = 12;
std::optional<SimProgramRecord> simProgramRecord(std::span<const uint8_t> sectionData);

struct SimFpgaImageInfo {
    uint32_t version = 0;
    uint32_t length = 0;
    uint32_t crc = 0;
};
std::optional<SimFpgaImageInfo> parseSimFpgaHeader(std::span<const uint8_t> header);

// CRC-32 (IEEE 802.3, reflected, as zlib computes it), continuing from `crc`.
uint32_t simCrc32(std::span<const uint8_t> data, uint32_t crc = 0);

}  // namespace TVR::Sim
