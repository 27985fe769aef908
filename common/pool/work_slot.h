#pragma once

#include <cstddef>
#include <cstdint>

#include "olk_export.h"

namespace OLK {

// One pool block seen as a frame slot: a 16-byte header the library leaves alone, then the
// frame bytes. Slots are never constructed; they are pool blocks reinterpreted.
class OLK_EXPORT WorkSlot {
public:
    static const size_t m_sizeOfThisAligned;

    WorkSlot() = delete;
    WorkSlot(const WorkSlot&) = delete;
    WorkSlot& operator=(const WorkSlot&) = delete;

    static constexpr size_t sizeInBytes() { return kHeaderSize; }

    uint8_t* data() { return reinterpret_cast<uint8_t*>(this) + kHeaderSize; }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(this) + kHeaderSize; }

    static WorkSlot* fromBlock(void* block) { return static_cast<WorkSlot*>(block); }

private:
    static constexpr size_t kHeaderSize = 16;
    // Never read by the library; it only gives the slot its size and alignment.
    [[maybe_unused]] alignas(16) uint8_t m_header[kHeaderSize];
};

static_assert(sizeof(WorkSlot) == WorkSlot::sizeInBytes());

}  // namespace OLK
