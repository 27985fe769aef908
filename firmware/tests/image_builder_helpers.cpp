#include "image_builder.h"

#include <algorithm>

namespace TVR::FirmwareTest {

namespace {

void append32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

}  // namespace

void Fx3ImageBuilder::put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4 && at + i < out.size(); ++i) {
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

Fx3ImageBuilder& Fx3ImageBuilder::section(uint32_t address, uint32_t words) {
    append32(m_body, words);
    append32(m_body, address);
    for (uint32_t i = 0; i < words; ++i) {
        const uint32_t w = address ^ (i * 0x9E3779B9u);
        append32(m_body, w);
        m_sum += w;
    }
    return *this;
}

std::vector<uint8_t> Fx3ImageBuilder::build(uint32_t entry) const {
    // Sized once and filled in place: g++ 12 at -O2 warns falsely about growing a vector that
    // started from an initialiser list.
    std::vector<uint8_t> out(4 + m_body.size() + 12, 0);
    out[0] = 'C';
    out[1] = 'Y';
    out[2] = 0x1C;
    out[3] = 0xB0;
    std::copy(m_body.begin(), m_body.end(), out.begin() + 4);
    const size_t trailer = 4 + m_body.size();
    put32(out, trailer, 0);
    put32(out, trailer + 4, entry);
    put32(out, trailer + 8, checksum());
    return out;
}

}  // namespace TVR::FirmwareTest
