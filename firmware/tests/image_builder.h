#pragma once

// Builds FX3 "CY" images for the parser and loader tests.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace TVR::FirmwareTest {

class Fx3ImageBuilder {
public:
    // A section of `words` 32-bit words with a recognisable pattern.
    Fx3ImageBuilder& section(uint32_t address, uint32_t words);
    Fx3ImageBuilder& wrongChecksum() {
        m_checksumDelta = 1;
        return *this;
    }
    std::vector<uint8_t> build(uint32_t entry) const;
    uint32_t checksum() const { return m_sum + m_checksumDelta; }

    // Overwrites a word inside an image.
    static void put32(std::vector<uint8_t>& out, size_t at, uint32_t v);

private:
    std::vector<uint8_t> m_body;
    uint32_t m_sum = 0;
    uint32_t m_checksumDelta = 0;
};

}  // namespace TVR::FirmwareTest
