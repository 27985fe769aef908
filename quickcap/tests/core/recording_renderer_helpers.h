#pragma once

// A renderer that remembers which frames it was given (by the number in the slot header and
// the number the synthetic camera stamped into the pixels), so that tests can follow frames
// through the pipeline.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "core/frame_renderer.h"

namespace OLK::Test {

class RecordingRenderer : public FrameRenderer {
public:
    int32_t setMediaType(const std::shared_ptr<Attributes>& mediaType) override;
    int32_t render(WorkSlot* slot) override;
    CounterSnapshot conversionCounter() const override { return {"convert to RGBA32", 0}; }
    void setConversionThreads(uint32_t) override {}

    // Waits until at least n frames were rendered in all; false after the time-out.
    bool waitFor(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    std::vector<int64_t> sequences() const;
    // Frames whose pixels carried another number than their header.
    size_t mismatches() const;
    size_t mediaTypesSet() const;
    int32_t failSetMediaType = 0;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<int64_t> m_sequences;
    size_t m_mismatches = 0;
    size_t m_mediaTypes = 0;
};

// True when the numbers run without gaps.
bool consecutive(const std::vector<int64_t>& numbers);

}  // namespace OLK::Test
