#pragma once

// The FX3 program image ("CY" signature, then sections of address and 32-bit words, then the
// entry address and the checksum of all data words). The parser checks every length against the
// file before anything is used; sections are views into the caller's bytes, which must outlive
// the parsed image.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace TVR {

struct Fx3Section {
    uint32_t address = 0;
    std::span<const uint8_t> data;  // a whole number of 32-bit words
};

struct Fx3Image {
    std::vector<Fx3Section> sections;
    uint32_t entry = 0;
    uint32_t checksum = 0;          // as stored
    uint32_t computedChecksum = 0;  // sum of all data words
    bool checksumMatches() const { return checksum == computedChecksum; }
};

enum class Fx3ImageError {
    None,
    NoSignature,   // shorter than the signature or not "CY"
    Truncated,     // a section header, section data, entry or checksum runs past the file
    AddressWraps,  // a section runs past the end of the 32-bit address space
};

struct Fx3ImageParse {
    std::optional<Fx3Image> image;  // set exactly when error is None
    Fx3ImageError error = Fx3ImageError::None;
    std::string message;
};

Fx3ImageParse parseFx3Image(std::span<const uint8_t> file);

// The sum modulo 2^32 of the little-endian 32-bit words of bytes (a last partial word ignored).
uint32_t sumOfWords(std::span<const uint8_t> bytes);

}  // namespace TVR
