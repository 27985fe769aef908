#include "convert/convert_img2rgb32.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "convert/img_xform.h"
#include "convert/kernels_internal.h"

namespace TVR {

namespace {

inline void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

}  // namespace

using OLK::ImgXform;
using OLK::kernels::rowAt;

const std::array<ConvertImg2RGB32::FormatConversion, 4> ConvertImg2RGB32::g_FormatConversions{{
    {OLK::MFVideoFormat_RGB32, &ConvertImg2RGB32::_rgb32},
    {OLK::MFVideoFormat_RGB24, &ConvertImg2RGB32::_rgb24},
    {OLK::MFVideoFormat_YUY2, &ConvertImg2RGB32::_yuy2},
    {OLK::MFVideoFormat_NV12, &ConvertImg2RGB32::_nv12},
}};

ConvertImg2RGB32::ConvertImg2RGB32() {
    std::lock_guard lock(m_mutex);
    startWorkersLocked(1);
}

ConvertImg2RGB32::~ConvertImg2RGB32() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    for (auto& t : m_workers) {
        t.join();
    }
}

bool ConvertImg2RGB32::isFormatSupported(const OLK::GUID& subtype) {
    return std::any_of(g_FormatConversions.begin(), g_FormatConversions.end(),
                       [&](const FormatConversion& row) { return row.subtype == subtype; });
}

void ConvertImg2RGB32::setConversionFunction(const OLK::GUID& subtype) {
    BandFunction fn = &_none;
    for (const auto& row : g_FormatConversions) {
        if (row.subtype == subtype) {
            fn = row.band;
        }
    }
    std::lock_guard lock(m_mutex);
    m_function = fn;
}

void ConvertImg2RGB32::setMaxWorkers(uint32_t n) {
    // No workers would mean a frame that never finishes.
    n = std::max<uint32_t>(n, 1);
    {
        std::lock_guard lock(m_mutex);
        m_maxWorkers = n;
        startWorkersLocked(n);
    }
    m_cv.notify_all();
}

uint32_t ConvertImg2RGB32::maxWorkers() const {
    std::lock_guard lock(m_mutex);
    return m_maxWorkers;
}

size_t ConvertImg2RGB32::workerThreads() const {
    std::lock_guard lock(m_mutex);
    return m_workers.size();
}

void ConvertImg2RGB32::startWorkersLocked(uint32_t n) {
    // A frame splits into about one band per worker; an odd height may add one or two.
    m_pending.reserve(n + 2);
    while (m_workers.size() < n) {
        try {
            m_workers.emplace_back([this] { workerLoop(); });
        } catch (const std::system_error&) {
            // Out of threads: the bands simply share the ones already running.
            break;
        }
    }
}

uint32_t ConvertImg2RGB32::rowsPerBand(uint32_t height, uint32_t n) {
    n = std::max<uint32_t>(n, 1);
    return ((height / n) + 1) & ~1u;
}

void ConvertImg2RGB32::operator()(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                  int32_t srcStride, uint32_t width, uint32_t height) {
    WorkSlot frame;
    frame.srcStride = srcStride;
    frame.dstStride = dstStride;
    frame.width = width;
    frame.height = height;
    frame.src = src;
    frame.dst = dst;

    OLK::TickTimer timer;
    std::unique_lock lock(m_mutex);
    splitBands(frame, m_maxWorkers, m_pending);
    // The caller converts bands too, so only the other bands need a worker; waking every
    // thread would make the surplus ones fight for the mutex.
    const size_t bands = std::min<size_t>(m_pending.size(), m_maxWorkers);
    for (size_t i = 1; i < bands; ++i) {
        m_cv.notify_one();
    }
    runBandsLocked(lock);
    waitForBandsInFlight(lock);
    lock.unlock();
    m_perf += timer;
}

void ConvertImg2RGB32::runBandsLocked(std::unique_lock<std::mutex>& lock) {
    for (;;) {
        if (m_stop || m_pending.empty()) {
            return;
        }
        if (m_busy.load(std::memory_order_relaxed) >= m_maxWorkers) {
            // A band in flight ends with a notify_all.
            m_cv.wait(lock);
            continue;
        }
        const WorkSlot band = m_pending.front();
        m_pending.pop_front();
        if (band.src == nullptr || band.dst == nullptr) {
            continue;
        }
        const BandFunction fn = m_function;
        m_busy.fetch_add(1, std::memory_order_relaxed);
        lock.unlock();
        fn(band);
        lock.lock();
        m_busy.fetch_sub(1, std::memory_order_release);
    }
}

void ConvertImg2RGB32::waitForBandsInFlight(std::unique_lock<std::mutex>& lock) {
    // The queue is empty and only this thread fills it, so the frame is done once no band
    // is busy. The last band usually ends within a few microseconds of the caller's own, far
    // sooner than a condition-variable wake-up, so poll briefly before sleeping.
    constexpr auto kPollFor = std::chrono::microseconds(100);
    if (m_busy.load(std::memory_order_acquire) != 0 && !m_stop) {
        lock.unlock();
        const auto until = std::chrono::steady_clock::now() + kPollFor;
        while (m_busy.load(std::memory_order_acquire) != 0 &&
               std::chrono::steady_clock::now() < until) {
            cpuRelax();
        }
        lock.lock();
    }
    m_cv.wait(lock, [this] { return m_stop || m_busy.load(std::memory_order_acquire) == 0; });
}

void ConvertImg2RGB32::workerLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [this] {
            return m_stop ||
                   (!m_pending.empty() && m_busy.load(std::memory_order_relaxed) < m_maxWorkers);
        });
        if (m_stop) {
            return;
        }
        const WorkSlot band = m_pending.front();
        m_pending.pop_front();
        const BandFunction fn = m_function;
        // Counted in the same hold of the lock that took the band, so the caller never sees
        // an empty queue and no busy band while this band is still unconverted.
        const bool run = band.src != nullptr && band.dst != nullptr;
        if (run) {
            m_busy.fetch_add(1, std::memory_order_relaxed);
            lock.unlock();
            fn(band);
            lock.lock();
            // Release: the caller may see the count fall without taking the lock.
            m_busy.fetch_sub(1, std::memory_order_release);
        }
        lock.unlock();
        m_cv.notify_all();
        lock.lock();
    }
}

void ConvertImg2RGB32::_none(WorkSlot) {}

void ConvertImg2RGB32::_rgb32(WorkSlot b) {
    ImgXform::TransformImage_RGB32(rowAt(b.dst, b.dstStride, b.firstRow), b.dstStride,
                                   rowAt(b.src, b.srcStride, b.firstRow), b.srcStride, b.width,
                                   b.rowCount);
}

void ConvertImg2RGB32::_rgb24(WorkSlot b) {
    ImgXform::TransformImage_RGB24(rowAt(b.dst, b.dstStride, b.firstRow), b.dstStride,
                                   rowAt(b.src, b.srcStride, b.firstRow), b.srcStride, b.width,
                                   b.rowCount);
}

void ConvertImg2RGB32::_yuy2(WorkSlot b) {
    ImgXform::TransformImage_YUY2(rowAt(b.dst, b.dstStride, b.firstRow), b.dstStride,
                                  rowAt(b.src, b.srcStride, b.firstRow), b.srcStride, b.width,
                                  b.rowCount);
}

void ConvertImg2RGB32::_nv12(WorkSlot b) {
    OLK::kernels::convertNv12Rows(b.dst, b.dstStride, b.src, b.srcStride, b.width, b.height,
                                  b.firstRow, b.rowCount);
}

}  // namespace TVR
