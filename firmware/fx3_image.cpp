#include "fx3_image.h"

#include <fmt/format.h>

namespace TVR {
namespace {

constexpr size_t kHeaderSize = 4;  // "CY" and two unused bytes
constexpr size_t kSectionHeaderSize = 8;
constexpr size_t kTrailerSize = 8;  // entry, checksum

uint32_t readLe32(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

Fx3ImageParse failure(Fx3ImageError error, std::string message) {
    Fx3ImageParse out;
    out.error = error;
    out.message = std::move(message);
    return out;
}

}  // namespace

uint32_t sumOfWords(std::span<const uint8_t> bytes) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) sum += readLe32(bytes, i);
    return sum;
}

Fx3ImageParse parseFx3Image(std::span<const uint8_t> file) {
    if (file.size() < kHeaderSize || file[0] != 'C' || file[1] != 'Y') {
        return failure(Fx3ImageError::NoSignature, "The image has no \"CY\" signature");
    }
    Fx3Image image;
    size_t at = kHeaderSize;
    while (true) {
        // Only the length word is needed to tell a section from the end marker.
        if (file.size() - at < 4) {
            return failure(Fx3ImageError::Truncated,
                           fmt::format("The image ends inside a section header at {}", at));
        }
        const uint32_t words = readLe32(file, at);
        if (words == 0) {
            at += 4;
            break;
        }
        if (file.size() - at < kSectionHeaderSize) {
            return failure(Fx3ImageError::Truncated,
                           fmt::format("The image ends inside a section header at {}", at));
        }
        const uint32_t address = readLe32(file, at + 4);
        at += kSectionHeaderSize;
        const uint64_t bytes = uint64_t{words} * 4;
        if (bytes > file.size() - at) {
            return failure(Fx3ImageError::Truncated,
                           fmt::format("The section at 0x{:08X} needs {} bytes, {} remain", address,
                                       bytes, file.size() - at));
        }
        if (uint64_t{address} + bytes > (uint64_t{1} << 32)) {
            return failure(
                Fx3ImageError::AddressWraps,
                fmt::format("The section at 0x{:08X} runs past the address space", address));
        }
        const auto data = file.subspan(at, static_cast<size_t>(bytes));
        image.sections.push_back({address, data});
        image.computedChecksum += sumOfWords(data);
        at += static_cast<size_t>(bytes);
    }
    if (file.size() - at < kTrailerSize) {
        return failure(Fx3ImageError::Truncated, "The image ends before its entry and checksum");
    }
    image.entry = readLe32(file, at);
    image.checksum = readLe32(file, at + 4);
    Fx3ImageParse out;
    out.image = std::move(image);
    return out;
}

}  // namespace TVR
