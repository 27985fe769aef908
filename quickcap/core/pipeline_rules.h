#pragma once

// The viewer's arithmetic: memory budget and pool size, replay frame delay, playback slider
// range, the letterbox rectangle and the texts of the labels and statistics lines.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace OLK {

class MediaTypeVideo;

inline constexpr uint64_t kMinPoolBytes = 104857600;         // 100 MiB
inline constexpr uint64_t kFallbackBudgetBytes = 131072000;  // 125 MiB
inline constexpr int kMemorySteps = 16;

// Available physical memory as the system reports it; empty when the query fails.
std::optional<uint64_t> availablePhysicalMemory();
// 1.1 x the available memory (single precision), at least 100 MiB; 125 MiB when unknown.
uint64_t memoryBudget(std::optional<uint64_t> available);
// Pool bytes at memory slider position m (0..16): 100 MiB at 0, the whole budget at 16.
uint64_t poolBytes(uint64_t budget, int m);
// A frame's bytes: the mode's sample size, or height x default stride when that is 0.
size_t frameBytes(const MediaTypeVideo& mode);
size_t poolBlocks(uint64_t poolBytes, size_t frameBytes);
// The mode's highest rate as an integer (0 for a zero denominator).
int modeMaxRate(const MediaTypeVideo& mode);

// Replay period in ms for playback rate r. modeMax is the chosen mode's highest rate, empty
// without a full device, stream and mode selection.
int32_t frameDelay(int r, bool slowMotion, std::optional<int> modeMax);
inline bool freezeFlag(bool slowMotion, bool freezeBox) { return slowMotion && freezeBox; }

struct PlaybackRange {
    int maximum = 2;
    int tick = 5;
};
// Range maximum and tick frequency of the playback slider for a mode of maximum M.
PlaybackRange playbackRange(int modeMax);

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const Rect&) const = default;
};
// a x b / c rounded half away from zero, as the platform's 32-bit multiply-divide; -1 for c = 0.
int32_t mulDiv(int32_t a, int32_t b, int32_t c);
// The frame fitted into the client area keeping its shape, centred.
Rect computeRect(int32_t clientWidth, int32_t clientHeight, uint32_t frameWidth,
                 uint32_t frameHeight);

std::string memoryLabel(uint64_t poolBytes);  // "%.2fGB"
std::string playbackLabel(int r);             // "%d FPS"
std::string delayLabel(int32_t delayMs);      // "%dms"
// "%S: %lld.%.3lldms": the counter's description and its average split into ms and remainder.
std::string statisticsLine(std::string_view description, int64_t averageUs);
// "%lld (RT) + %lld (SlowMo) / %d (%.2f secs)".
std::string bufferedLine(int64_t captureQueued, int64_t replayQueued, int totalBlocks,
                         int32_t delayMs);

}  // namespace OLK
