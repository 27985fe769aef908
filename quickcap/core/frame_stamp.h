#pragma once

// The viewer keeps each frame's number and capture time in the slot's 16-byte header, which
// the pool and the queues never touch.

#include <cstdint>
#include <cstring>

#include "pool/work_slot.h"

namespace OLK {

struct FrameStamp {
    // The device's frame number; -1 when the device does not number its frames.
    int64_t sequence = -1;
    // Capture time in 100-ns units.
    int64_t time = 0;
};

static_assert(sizeof(FrameStamp) == WorkSlot::sizeInBytes());

inline void writeStamp(WorkSlot* slot, const FrameStamp& stamp) {
    std::memcpy(reinterpret_cast<uint8_t*>(slot), &stamp, sizeof(stamp));
}

inline FrameStamp readStamp(const WorkSlot* slot) {
    FrameStamp stamp;
    std::memcpy(&stamp, reinterpret_cast<const uint8_t*>(slot), sizeof(stamp));
    return stamp;
}

}  // namespace OLK
