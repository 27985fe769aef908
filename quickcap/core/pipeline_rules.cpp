#include "pipeline_rules.h"

#include <fmt/format.h>
#include <sys/sysinfo.h>

#include <cstdlib>

#include "media/media_type.h"

namespace OLK {

std::optional<uint64_t> availablePhysicalMemory() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return std::nullopt;
    // Free plus buffer memory: what the system can hand out without evicting anything.
    return (static_cast<uint64_t>(info.freeram) + info.bufferram) * info.mem_unit;
}

uint64_t memoryBudget(std::optional<uint64_t> available) {
    if (!available) return kFallbackBudgetBytes;
    const float scaled = static_cast<float>(*available) * 1.1f;
    const auto budget = static_cast<uint64_t>(scaled);
    return budget < kMinPoolBytes ? kMinPoolBytes : budget;
}

uint64_t poolBytes(uint64_t budget, int m) {
    const uint64_t step = budget > kMinPoolBytes ? (budget - kMinPoolBytes) / kMemorySteps : 0;
    return step * static_cast<uint64_t>(m < 0 ? 0 : m) + kMinPoolBytes;
}

size_t frameBytes(const MediaTypeVideo& mode) {
    if (mode.sampleSize() != 0) return mode.sampleSize();
    const int64_t stride = std::llabs(static_cast<int64_t>(mode.defaultStride()));
    return static_cast<size_t>(stride) * mode.frameSize().height;
}

size_t poolBlocks(uint64_t poolBytes, size_t frameBytes) {
    return frameBytes == 0 ? 0 : static_cast<size_t>(poolBytes / frameBytes);
}

int modeMaxRate(const MediaTypeVideo& mode) { return static_cast<int>(mode.frameRateMax()); }

int32_t frameDelay(int r, bool slowMotion, std::optional<int> modeMax) {
    if (!slowMotion || r <= 0) return 0;
    int32_t d = 1000 / r;
    if (d < 100) d -= 1;
    if (!modeMax) return d;
    return r < *modeMax ? d : 0;
}

PlaybackRange playbackRange(int modeMax) { return PlaybackRange{modeMax, modeMax <= 30 ? 1 : 5}; }

int32_t mulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    const int64_t product = static_cast<int64_t>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const int64_t num = product < 0 ? -product : product;
    const int64_t den = c < 0 ? -static_cast<int64_t>(c) : c;
    const int64_t q = (num + den / 2) / den;
    return static_cast<int32_t>(negative ? -q : q);
}

Rect computeRect(int32_t clientWidth, int32_t clientHeight, uint32_t frameWidth,
                 uint32_t frameHeight) {
    if (frameWidth == 0 || frameHeight == 0) return Rect{0, 0, clientWidth, clientHeight};
    const auto w = static_cast<int32_t>(frameWidth);
    const auto h = static_cast<int32_t>(frameHeight);
    Rect r;
    if (clientWidth < mulDiv(w, clientHeight, h)) {
        r.width = clientWidth;
        r.height = mulDiv(clientWidth, h, w);
    } else {
        r.height = clientHeight;
        r.width = mulDiv(clientHeight, w, h);
    }
    r.x = (clientWidth - r.width) / 2;
    r.y = (clientHeight - r.height) / 2;
    return r;
}

std::string memoryLabel(uint64_t poolBytes) {
    return fmt::format("{:.2f}GB", static_cast<double>(poolBytes) / (1024.0 * 1024.0 * 1024.0));
}

std::string playbackLabel(int r) { return fmt::format("{} FPS", r); }

std::string delayLabel(int32_t delayMs) { return fmt::format("{}ms", delayMs); }

std::string statisticsLine(std::string_view description, int64_t averageUs) {
    return fmt::format("{}: {}.{:03}ms", description, averageUs / 1000, averageUs % 1000);
}

std::string bufferedLine(int64_t captureQueued, int64_t replayQueued, int totalBlocks,
                         int32_t delayMs) {
    const double seconds = static_cast<double>(replayQueued) * delayMs / 1000.0;
    return fmt::format("{} (RT) + {} (SlowMo) / {} ({:.2f} secs)", captureQueued, replayQueued,
                       totalBlocks, seconds);
}

}  // namespace OLK
