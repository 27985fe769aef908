#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "olk_export.h"
#include "olk_guid.h"
#include "pool/ring_queue.h"
#include "timing/perf_counter.h"

namespace TVR {

// Converts whole frames to 32-bit B,G,R,A by splitting them into bands of rows that a pool
// of worker threads converts. operator() is called from one thread at a time; setMaxWorkers
// and the statistics may be used from any thread.
class OLK_EXPORT ConvertImg2RGB32 {
public:
    // One band of a frame.
    struct WorkSlot {
        int32_t srcStride = 0;
        int32_t dstStride = 0;
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t firstRow = 0;
        uint32_t rowCount = 0;
        const uint8_t* src = nullptr;
        uint8_t* dst = nullptr;
    };
    using BandFunction = void (*)(WorkSlot band);

    ConvertImg2RGB32();
    virtual ~ConvertImg2RGB32();
    ConvertImg2RGB32(const ConvertImg2RGB32&) = delete;
    ConvertImg2RGB32& operator=(const ConvertImg2RGB32&) = delete;

    static bool isFormatSupported(const OLK::GUID& subtype);
    // An unsupported subtype selects the do-nothing conversion.
    virtual void setConversionFunction(const OLK::GUID& subtype);

    // Starts threads until there are n (at least 1); threads are never stopped when n falls.
    void setMaxWorkers(uint32_t n);
    uint32_t maxWorkers() const;
    size_t workerThreads() const;

    void operator()(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride,
                    uint32_t width, uint32_t height);

    // Rows per band for a frame of height rows and n workers; 0 means one band of all rows.
    static uint32_t rowsPerBand(uint32_t height, uint32_t n);
    // Appends frame's bands for n workers to out (any queue with push_back).
    template <typename Bands>
    static void splitBands(const WorkSlot& frame, uint32_t n, Bands& out) {
        uint32_t rows = rowsPerBand(frame.height, n);
        if (rows == 0) {
            rows = frame.height;
        }
        for (uint32_t first = 0; first < frame.height; first += rows) {
            WorkSlot band = frame;
            band.firstRow = first;
            band.rowCount = std::min(rows, frame.height - first);
            out.push_back(band);
        }
    }

    const OLK::PerfCounter& perfCounter() const { return m_perf; }

private:
    struct FormatConversion {
        OLK::GUID subtype;
        BandFunction band;
    };
    static const std::array<FormatConversion, 4> g_FormatConversions;

    static void _none(WorkSlot band);
    static void _rgb32(WorkSlot band);
    static void _rgb24(WorkSlot band);
    static void _yuy2(WorkSlot band);
    static void _nv12(WorkSlot band);

    void workerLoop();
    void startWorkersLocked(uint32_t n);
    // Converts queued bands on the calling thread while the worker limit allows; returns with
    // the lock held.
    void runBandsLocked(std::unique_lock<std::mutex>& lock);
    void waitForBandsInFlight(std::unique_lock<std::mutex>& lock);

    OLK::PerfCounter m_perf{"convert to RGBA32"};
    BandFunction m_function = &_none;
    uint32_t m_maxWorkers = 1;
    bool m_stop = false;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::atomic<uint32_t> m_busy{0};
    // Keeps its array from frame to frame, so converting allocates nothing.
    OLK::RingQueue<WorkSlot> m_pending;
    std::vector<std::thread> m_workers;
};

}  // namespace TVR
