#pragma once

// Little-endian fields of the simulator's images, replies and descriptors. Callers check the
// bounds; these only place or pick the bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace TVR::Sim {

inline void appendLe16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void appendLe32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void storeLe16(std::span<uint8_t> d, size_t at, uint16_t v) {
    d[at] = static_cast<uint8_t>(v);
    d[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void storeLe32(std::span<uint8_t> d, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t loadLe32(std::span<const uint8_t> d, size_t at) {
    return uint32_t{d[at]} | uint32_t{d[at + 1]} << 8 | uint32_t{d[at + 2]} << 16 |
           uint32_t{d[at + 3]} << 24;
}

}  // namespace TVR::Sim
