#pragma once

// The viewer's frame path without its windows: the device catalogue and selections, the frame
// pool and its two queues, the asynchronous reader and the synchronous capture thread, the
// real-time display thread and the replay stage, start / restart / re-sync, device loss and
// the close order. Owned by the dialog; every call comes from the dialog thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "capture/mmf_cap_sync.h"
#include "capture/thread_handle.h"
#include "core/capture_source_reader.h"
#include "core/frame_renderer.h"
#include "core/realtime_stage.h"
#include "core/replay_stage.h"
#include "media/capture_backend.h"
#include "media/device_info.h"
#include "pool/fast_mem.h"
#include "pool/work_queue.h"
#include "timing/perf_counter.h"

namespace OLK {

struct Selection {
    int device = -1;
    int stream = -1;
    int mode = -1;
    bool complete() const { return device >= 0 && stream >= 0 && mode >= 0; }
};

struct PipelineCounters {
    uint64_t received = 0;  // frames the device delivered
    uint64_t dropped = 0;   // frames the device numbered but never delivered
    uint64_t poolFull = 0;  // delivered frames dropped for want of an empty slot
    uint64_t flushed = 0;   // buffered frames dropped by a flush (re-sync, full pool)
    uint64_t shown = 0;     // frames through the real-time window
    uint64_t replayed = 0;  // frames through the replay window
};

class CapturePipeline {
public:
    enum class StartResult {
        kNoSelection,
        kNoMode,
        kPoolFailed,
        kPresenterFailed,
        kCaptureFailed,
        kStarted
    };

    CapturePipeline(std::shared_ptr<CaptureBackend> backend, uint64_t memoryBudget,
                    FrameRenderer* realTimeRenderer, FrameRenderer* replayRenderer);
    CapturePipeline(const CapturePipeline&) = delete;
    CapturePipeline& operator=(const CapturePipeline&) = delete;
    ~CapturePipeline();

    // Opens the capture queue and starts the real-time display thread (dialog start).
    bool openDisplay();
    // The dialog's close order; also run by the destructor.
    void close();

    // Catalogue. enumerate() refreshes the activation objects and returns their count.
    size_t enumerate();
    const std::vector<std::shared_ptr<Activate>>& devices() const { return m_devices; }
    std::vector<std::string> deviceNames() const;
    // Streams of a device (0 when it cannot be opened).
    uint32_t streamCount(int device) const;
    // The device's modes for a stream after pruning the duplicate and MJPG modes.
    std::vector<std::string> modeTexts(int device, int stream) const;
    // The highest rate of a mode, empty when the selection does not name one.
    std::optional<int> modeMaxRate(const Selection& selection) const;

    void setSelection(const Selection& selection) { m_selection = selection; }
    const Selection& selection() const { return m_selection; }
    void setMemoryPosition(int m) { m_memoryPosition = m; }
    uint64_t memoryBudget() const { return m_budget; }
    uint64_t poolBytes() const;
    // Playback rate in frames per second; recomputes the delay.
    void setPlaybackRate(int r);
    // The playback slider moved: the new rate, and both queues flushed.
    void playbackMoved(int r);
    int playbackRate() const { return m_playbackRate; }
    void setSlowMotion(bool on);
    void setFreezeBox(bool on);
    bool slowMotion() const { return m_slowMotion; }
    void setSynchronized(bool on) { m_synchronized = on; }
    bool synchronizedMode() const { return m_synchronized; }
    int32_t frameDelay() const { return m_frameDelay; }
    // Recomputes the replay period from the current settings.
    int32_t recomputeDelay();

    StartResult start();
    bool capturing() const;
    void resync();
    // True when the event names the open device; the readers are then closed.
    bool handleDeviceChange(const DeviceChangeEvent& event);

    // One replay timer tick; true when the statistics should be refreshed.
    bool replayTick() { return m_replay.tick(); }

    RealTimeStage& realTime() { return m_realTime; }
    ReplayStage& replay() { return m_replay; }
    WorkQueue& captureQueue() { return m_captureQueue; }
    WorkQueue& replayQueue() { return m_replayQueue; }
    const FastMem* pool() const { return m_pool.get(); }
    // The started mode (valid after a start).
    const MediaTypeVideo* startedMode() const { return m_mode.get(); }
    CaptureSourceReader& asyncReader() { return *m_reader; }

    PipelineCounters counters() const;
    CounterSnapshot syncReadTime() const;
    // The seven statistics counters in the order the dialog shows them.
    std::array<CounterSnapshot, 7> statistics() const;

private:
    std::shared_ptr<DeviceInfo> deviceInfo(int device, int stream) const;
    void flushBoth();
    uint32_t syncCaptureLoop(const std::stop_token& stop, const std::shared_ptr<Activate>& activate,
                             uint32_t stream, const std::shared_ptr<Attributes>& mediaType);
    void stopCapture();

    std::shared_ptr<CaptureBackend> m_backend;
    FrameRenderer* m_rtRenderer;
    FrameRenderer* m_replayRenderer;
    std::vector<std::shared_ptr<Activate>> m_devices;
    std::unique_ptr<FastMem> m_pool;
    WorkQueue m_captureQueue;
    WorkQueue m_replayQueue;
    std::shared_ptr<CaptureSourceReader> m_reader;
    std::unique_ptr<MmfCapSync> m_sync;
    ThreadHandle* m_syncThread = nullptr;
    RealTimeStage m_realTime;
    ReplayStage m_replay;

    uint64_t m_budget;
    int m_memoryPosition = 0;
    int m_playbackRate = 1;
    bool m_slowMotion = false;
    bool m_freezeBox = false;
    bool m_synchronized = false;
    int32_t m_frameDelay = 0;
    Selection m_selection;
    Selection m_started;
    std::unique_ptr<MediaTypeVideo> m_mode;
    bool m_closed = false;

    SequenceTracker m_syncArrivals;
    std::atomic<uint64_t> m_flushed{0};
    mutable std::mutex m_statsLock;
    PerfCounter m_syncRead{"Get frame (sync mode)"};
};

}  // namespace OLK
