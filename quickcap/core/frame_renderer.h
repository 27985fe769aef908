#pragma once

// What the pipeline needs of a window's presenter: take the stream's media type, and draw one
// slot. The Qt presenter implements it; render is called from the display thread (real-time
// window) or the replay timer's thread, so implementations lock.

#include <cstdint>
#include <memory>
#include <string_view>

#include "media/attributes.h"

namespace OLK {

class WorkSlot;

// A statistics counter's average; the description names the counter, which outlives the
// snapshot, so taking one allocates nothing.
struct CounterSnapshot {
    std::string_view description;
    int64_t averageUs = 0;
};

class FrameRenderer {
public:
    virtual ~FrameRenderer() = default;
    virtual int32_t setMediaType(const std::shared_ptr<Attributes>& mediaType) = 0;
    // Draws every slot it is given.
    virtual int32_t render(WorkSlot* slot) = 0;
    // The converter's "convert to RGBA32" average, read under the renderer's lock.
    virtual CounterSnapshot conversionCounter() const = 0;
    virtual void setConversionThreads(uint32_t n) = 0;
};

}  // namespace OLK
