#pragma once

// Writes a burst of buffered frames: numbered PNG files, or one lossless video (FFV1 in
// Matroska) at the frames' capture rate. Runs on a worker thread while capture goes on; the
// frames must stay put until it returns.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/frame_stamp.h"
#include "olk_guid.h"

namespace OLK {

enum class BurstFormat { kPng, kMatroskaFfv1 };

struct BurstFormatSpec {
    GUID subtype = GUID_NULL;
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t stride = 0;
    // The capture rate as a fraction.
    uint32_t rateNumerator = 0;
    uint32_t rateDenominator = 1;
};

struct BurstResult {
    bool ok = false;
    bool cancelled = false;
    size_t written = 0;
    std::string error;
    // The files written (one video, or the PNG files in order).
    std::vector<std::string> files;
};

// PNG: target is a folder that receives frame_<number>.png per frame (the device's frame
// number, or the burst index when the device has none). Video: target is the file.
// progress(done, total) is called after each frame; returning false cancels.
BurstResult writeBurst(const std::vector<const WorkSlot*>& frames, const BurstFormatSpec& spec,
                       BurstFormat format, const std::string& target,
                       const std::function<bool(size_t, size_t)>& progress);

// The file name of one frame of a PNG burst.
std::string burstPngName(int64_t number);

}  // namespace OLK
