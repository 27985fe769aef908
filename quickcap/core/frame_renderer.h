#pragma once

// What the pipeline needs of a window's presenter: take the stream's media type, and draw one
// slot. The Qt presenter implements it; render is called from the display thread (real-time
// window) or the replay timer's thread, so implementations lock.

#include <cstdint>
#include <memory>
#include <string>

#include "media/attributes.h"

namespace OLK {

class WorkSlot;

struct CounterSnapshot {
    std::string description;
    int64_t averageUs = 0;
};

class FrameRenderer {
public:
    virtual ~FrameRenderer() = default;
    virtual int32_t setMediaType(const std::shared_ptr<Attributes>& mediaType) = 0;
    virtual int32_t render(WorkSlot* slot) = 0;
    // The converter's "convert to RGBA32" average, read under the renderer's lock.
    virtual CounterSnapshot conversionCounter() const = 0;
    virtual void setConversionThreads(uint32_t n) = 0;
};

}  // namespace OLK
