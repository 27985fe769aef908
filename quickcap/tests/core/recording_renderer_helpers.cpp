#include "recording_renderer_helpers.h"

#include "core/frame_stamp.h"
#include "media/synthetic/synthetic_backend.h"

namespace OLK::Test {

int32_t RecordingRenderer::setMediaType(const std::shared_ptr<Attributes>&) {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_mediaTypes;
    return failSetMediaType;
}

int32_t RecordingRenderer::render(WorkSlot* slot) {
    const FrameStamp stamp = readStamp(slot);
    uint32_t pixels = 0;
    const bool stamped = readSyntheticFrameNumber(slot->data(), 8, &pixels);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_sequences.push_back(stamp.sequence);
        if (!stamped || static_cast<int64_t>(pixels) != stamp.sequence) ++m_mismatches;
    }
    m_changed.notify_all();
    return 0;
}

bool RecordingRenderer::waitFor(size_t n, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, timeout, [&] { return m_sequences.size() >= n; });
}

std::vector<int64_t> RecordingRenderer::sequences() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_sequences;
}

size_t RecordingRenderer::mismatches() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_mismatches;
}

size_t RecordingRenderer::mediaTypesSet() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_mediaTypes;
}

bool consecutive(const std::vector<int64_t>& numbers) {
    for (size_t i = 1; i < numbers.size(); ++i) {
        if (numbers[i] != numbers[i - 1] + 1) return false;
    }
    return true;
}

}  // namespace OLK::Test
