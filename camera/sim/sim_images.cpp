#include "sim_images.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "sim/sim_bytes.h"
#include "sim/sim_firmware.h"

namespace TVR::Sim {

namespace {

constexpr size_t kFx3HeaderSize = 4;
constexpr size_t kSectionHeaderSize = 8;
// Where the builder loads its program: code at the start of RAM, a data section after it.
constexpr uint32_t kCodeAddress = kSimFx3RamBase + 0x3000;
constexpr uint32_t kDataAddress = kSimFx3RamBase + 0x40000;
constexpr size_t kCodeBytes = 96 * 1024;
constexpr size_t kDataBytes = 8 * 1024;


uint32_t wordSum(std::span<const uint8_t> d) {
    uint32_t s = 0;
    for (size_t i = 0; i + 4 <= d.size(); i += 4) s += loadLe32(d, i);
    return s;
}

// Deterministic filler that differs per build, so two images are not the same bytes.
struct Filler {
    uint32_t state;
    uint8_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<uint8_t>(state);
    }
};

}  // namespace

uint32_t simFx3VersionForBuild(uint32_t build) {
    return simVersionWithBuild(SimFirmwareConfig{}.fx3Version, build);
}

uint32_t simFpgaVersionForBuild(uint32_t build) {
    return simVersionWithBuild(SimFirmwareConfig{}.fpgaVersion, build);
}

std::vector<uint8_t> buildSimFx3Image(uint32_t build, bool corrupt) {
    Filler fill{0x9E3779B9u ^ build};
    std::vector<uint8_t> code(kCodeBytes);
    for (auto& b : code) b = fill.next();
    std::memcpy(code.data(), kSimFx3Marker, 4);
    storeLe32(code, 4, simFx3VersionForBuild(build));
    std::vector<uint8_t> data(kDataBytes);
    for (auto& b : data) b = fill.next();

    // The record's sum covers every data word but its own three.
    storeLe32(code, 8, wordSum(std::span(code).subspan(kSimProgramRecordSize)) + wordSum(data));
    const uint32_t checksum = wordSum(code) + wordSum(data);

    std::vector<uint8_t> img{'C', 'Y', 0x1C, 0xB0};
    img.reserve(kCodeBytes + kDataBytes + 64);
    appendLe32(img, static_cast<uint32_t>(code.size() / 4));
    appendLe32(img, kCodeAddress);
    img.insert(img.end(), code.begin(), code.end());
    appendLe32(img, static_cast<uint32_t>(data.size() / 4));
    appendLe32(img, kDataAddress);
    img.insert(img.end(), data.begin(), data.end());
    appendLe32(img, 0);
    appendLe32(img, kCodeAddress);
    appendLe32(img, checksum);
    if (corrupt) img[kFx3HeaderSize + kSectionHeaderSize + 0x100] ^= 0x5A;
    return img;
}

std::vector<uint8_t> buildSimFpgaImage(uint32_t build, bool corrupt) {
    std::vector<uint8_t> img(kSimFpgaMinImageSize);
    Filler fill{0x85EBCA6Bu ^ build};
    for (size_t i = kSimFpgaHeaderSize; i < img.size(); ++i) img[i] = fill.next();
    // A Xilinx sync word where the configuration data starts, as on real bitstreams.
    const std::array<uint8_t, 4> sync{0xAA, 0x99, 0x55, 0x66};
    std::copy(sync.begin(), sync.end(), img.begin() + kSimFpgaHeaderSize);
    std::memcpy(img.data(), kSimFpgaMagic, 4);
    storeLe32(img, 4, simFpgaVersionForBuild(build));
    storeLe32(img, 8, static_cast<uint32_t>(img.size()));
    storeLe32(img, 12, simCrc32(std::span(img).subspan(kSimFpgaHeaderSize)));
    if (corrupt) img[img.size() / 2] ^= 0x01;
    return img;
}

std::optional<SimFx3ImageInfo> parseSimFx3Image(std::span<const uint8_t> image,
                                                std::string& error) {
    if (image.size() < kFx3HeaderSize || image[0] != 'C' || image[1] != 'Y') {
        error = "no \"CY\" signature";
        return std::nullopt;
    }
    SimFx3ImageInfo info;
    size_t pos = kFx3HeaderSize;
    for (;;) {
        if (image.size() - pos < kSectionHeaderSize) {
            error = "truncated section header";
            return std::nullopt;
        }
        const uint32_t words = loadLe32(image, pos);
        const uint32_t address = loadLe32(image, pos + 4);
        pos += kSectionHeaderSize;
        if (words == 0) {
            info.entry = address;
            break;
        }
        // 64-bit arithmetic: the word count is outside data and may be anything.
        const uint64_t bytes = uint64_t{words} * 4;
        if (bytes > image.size() - pos) {
            error = "section longer than the image";
            return std::nullopt;
        }
        info.sections.push_back({address, pos, static_cast<size_t>(bytes)});
        info.dataChecksum += wordSum(image.subspan(pos, static_cast<size_t>(bytes)));
        pos += static_cast<size_t>(bytes);
    }
    if (image.size() - pos < 4) {
        error = "no checksum";
        return std::nullopt;
    }
    info.storedChecksum = loadLe32(image, pos);
    info.size = pos + 4;
    return info;
}

std::optional<SimProgramRecord> simProgramRecord(std::span<const uint8_t> sectionData) {
    if (sectionData.size() < kSimProgramRecordSize ||
        std::memcmp(sectionData.data(), kSimFx3Marker, 4) != 0) {
        return std::nullopt;
    }
    return SimProgramRecord{loadLe32(sectionData, 4), loadLe32(sectionData, 8)};
}

std::optional<SimFpgaImageInfo> parseSimFpgaHeader(std::span<const uint8_t> header) {
    if (header.size() < kSimFpgaHeaderSize || std::memcmp(header.data(), kSimFpgaMagic, 4) != 0) {
        return std::nullopt;
    }
    SimFpgaImageInfo info{loadLe32(header, 4), loadLe32(header, 8), loadLe32(header, 12)};
    if (info.length < kSimFpgaHeaderSize) return std::nullopt;
    return info;
}

uint32_t simCrc32(std::span<const uint8_t> data, uint32_t crc) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (const uint8_t b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

}  // namespace TVR::Sim
