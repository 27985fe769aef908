#include "capture_pipeline.h"

#include "core/frame_stamp.h"
#include "core/pipeline_rules.h"
#include "media/media_type.h"
#include "media/media_util.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "timing/tick_timer.h"

namespace OLK {

CapturePipeline::CapturePipeline(std::shared_ptr<CaptureBackend> backend, uint64_t memoryBudget,
                                 FrameRenderer* realTimeRenderer, FrameRenderer* replayRenderer)
    : m_backend(std::move(backend)),
      m_rtRenderer(realTimeRenderer),
      m_replayRenderer(replayRenderer),
      m_reader(std::make_shared<CaptureSourceReader>()),
      m_sync(std::make_unique<MmfCapSync>()),
      m_realTime(m_captureQueue, m_replayQueue, realTimeRenderer),
      m_replay(m_replayQueue, replayRenderer),
      m_budget(memoryBudget) {}

CapturePipeline::~CapturePipeline() { close(); }

bool CapturePipeline::openDisplay() { return m_realTime.start(); }

void CapturePipeline::close() {
    if (m_closed) return;
    m_closed = true;
    m_reader->Close();
    m_sync->CloseDevice();
    m_captureQueue.stop();
    m_replayQueue.stop();
    ensureThreadFinished(&m_syncThread, 0, 1000);
    // Joined rather than abandoned: the thread may be drawing a slot of the pool freed below.
    m_realTime.finish();
    m_replay.releaseHeld();
    m_captureQueue.assignMemoryPool(nullptr);
    m_replayQueue.assignMemoryPool(nullptr);
    m_pool.reset();
}

size_t CapturePipeline::enumerate() {
    std::vector<std::shared_ptr<Activate>> devices;
    if (failed(m_backend->enumDevices(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID, &devices))) {
        devices.clear();
    }
    m_devices = std::move(devices);
    return m_devices.size();
}

std::vector<std::string> CapturePipeline::deviceNames() const {
    std::vector<std::string> names;
    for (const auto& device : m_devices) {
        names.push_back(prop2str(device.get(), MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME));
    }
    return names;
}

uint32_t CapturePipeline::streamCount(int device) const {
    if (device < 0 || static_cast<size_t>(device) >= m_devices.size()) return 0;
    auto pd = pdFromActivate(m_devices[static_cast<size_t>(device)].get(), -1);
    uint32_t count = 0;
    if (!pd || failed(pd->getStreamDescriptorCount(&count))) return 0;
    return count;
}

std::shared_ptr<DeviceInfo> CapturePipeline::deviceInfo(int device, int stream) const {
    if (device < 0 || stream < 0 || static_cast<size_t>(device) >= m_devices.size()) return {};
    auto info = DeviceInfo::create(m_devices[static_cast<size_t>(device)].get());
    if (!info || !info->isVideo()) return {};
    // The chosen stream is selected before pruning, so that the list shown and the mode
    // started are the same list.
    info->selectStream(static_cast<uint32_t>(stream));
    info->prune();
    info->prune(MFVideoFormat_MJPG);
    return info;
}

std::vector<std::string> CapturePipeline::modeTexts(int device, int stream) const {
    std::vector<std::string> texts;
    auto info = deviceInfo(device, stream);
    if (!info) return texts;
    for (uint32_t i = 0; i < info->getModesCount(); ++i) {
        std::string text = info->getDescription(i);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        texts.push_back(std::move(text));
    }
    return texts;
}

std::optional<int> CapturePipeline::modeMaxRate(const Selection& selection) const {
    if (!selection.complete()) return std::nullopt;
    auto info = deviceInfo(selection.device, selection.stream);
    if (!info || static_cast<uint32_t>(selection.mode) >= info->getModesCount()) {
        return std::nullopt;
    }
    const auto* mode =
        dynamic_cast<const MediaTypeVideo*>(info->getOlkMT(static_cast<uint32_t>(selection.mode)));
    if (mode == nullptr) return std::nullopt;
    return OLK::modeMaxRate(*mode);
}

uint64_t CapturePipeline::poolBytes() const { return OLK::poolBytes(m_budget, m_memoryPosition); }

int32_t CapturePipeline::recomputeDelay() {
    m_frameDelay = OLK::frameDelay(m_playbackRate, m_slowMotion, modeMaxRate(m_selection));
    return m_frameDelay;
}

void CapturePipeline::setPlaybackRate(int r) {
    m_playbackRate = r;
    recomputeDelay();
}

void CapturePipeline::playbackMoved(int r) {
    setPlaybackRate(r);
    flushBoth();
}

void CapturePipeline::setSlowMotion(bool on) {
    m_slowMotion = on;
    m_realTime.setFreeze(freezeFlag(m_slowMotion, m_freezeBox));
    recomputeDelay();
}

void CapturePipeline::setFreezeBox(bool on) {
    m_freezeBox = on;
    m_realTime.setFreeze(freezeFlag(m_slowMotion, m_freezeBox));
}

void CapturePipeline::flushBoth() {
    m_flushed.fetch_add(m_captureQueue.size() + m_replayQueue.size(), std::memory_order_relaxed);
    m_captureQueue.flush();
    m_replayQueue.flush();
}

void CapturePipeline::resync() { flushBoth(); }

void CapturePipeline::stopCapture() {
    m_reader->Close();
    m_sync->CloseDevice();
    m_captureQueue.stop();
    m_captureQueue.flush();
    m_replayQueue.stop();
    m_replayQueue.flush();
    ensureThreadFinished(&m_syncThread, 0, 100);
    m_realTime.waitIdle();
    m_replay.releaseHeld();
}

CapturePipeline::StartResult CapturePipeline::start() {
    enumerate();
    const Selection sel = m_selection;
    if (!sel.complete() || static_cast<size_t>(sel.device) >= m_devices.size()) {
        return StartResult::kNoSelection;
    }
    stopCapture();

    auto info = deviceInfo(sel.device, sel.stream);
    if (!info || static_cast<uint32_t>(sel.mode) >= info->getModesCount()) {
        return StartResult::kNoMode;
    }
    auto mediaType = std::make_shared<Attributes>(*info->getMT(static_cast<uint32_t>(sel.mode)));
    auto mode = std::make_unique<MediaTypeVideo>(mediaType);
    // Capture always runs at the mode's highest rate.
    const Ratio top = mode->frameRateMax();
    mediaType->setPair(MF_MT_FRAME_RATE, top.numerator, top.denominator);

    const size_t frame = frameBytes(*mode);
    m_captureQueue.assignMemoryPool(nullptr);
    m_replayQueue.assignMemoryPool(nullptr);
    m_pool.reset();
    m_pool =
        std::make_unique<FastMem>(poolBlocks(poolBytes(), frame), WorkSlot::sizeInBytes() + frame);
    if (m_pool->countTotalBlocks() == 0) {
        m_pool.reset();
        return StartResult::kPoolFailed;
    }
    m_captureQueue.assignMemoryPool(m_pool.get());
    m_replayQueue.assignMemoryPool(m_pool.get());

    if ((m_replayRenderer && failed(m_replayRenderer->setMediaType(mediaType))) ||
        (m_rtRenderer && failed(m_rtRenderer->setMediaType(mediaType)))) {
        return StartResult::kPresenterFailed;
    }
    m_mode = std::move(mode);
    m_started = sel;

    m_captureQueue.start();
    m_replayQueue.start();
    m_realTime.inputRestarted();
    m_reader->resetCounters();
    m_syncArrivals.reset();
    m_realTime.shown().reset();

    auto activate = m_devices[static_cast<size_t>(sel.device)];
    const auto stream = static_cast<uint32_t>(sel.stream);
    if (m_synchronized) {
        flushBoth();
        ensureThreadFinished(&m_syncThread, 0, 70);
        m_syncThread =
            new ThreadHandle([this, activate, stream, mediaType](const std::stop_token& stop) {
                return syncCaptureLoop(stop, activate, stream, mediaType);
            });
    } else if (failed(
                   m_reader->SetDevice(activate.get(), stream, mediaType.get(), &m_captureQueue))) {
        return StartResult::kCaptureFailed;
    }
    recomputeDelay();
    return StartResult::kStarted;
}

uint32_t CapturePipeline::syncCaptureLoop(const std::stop_token& stop,
                                          const std::shared_ptr<Activate>& activate,
                                          uint32_t stream,
                                          const std::shared_ptr<Attributes>& mediaType) {
    if (failed(m_sync->SetDevice(activate.get(), stream, mediaType.get()))) return 0;
    m_captureQueue.start();
    while (m_captureQueue.open() && !stop.stop_requested()) {
        WorkSlot* slot = m_captureQueue.grabEmpty();
        if (slot != nullptr) {
            TickTimer timer;
            FrameStamp stamp;
            if (failed(m_sync->readFrameBlocking(slot, &stamp.sequence, &stamp.time))) {
                m_captureQueue.release(slot);
                break;
            }
            m_syncArrivals.onFrame(stamp.sequence);
            writeStamp(slot, stamp);
            m_captureQueue.add(slot);
            std::lock_guard<std::mutex> guard(m_statsLock);
            m_syncRead += timer;
        } else if (const FastMem* pool = m_captureQueue.memoryPool();
                   pool != nullptr && pool->countFreeBlocks() < 2) {
            // Replay fell too far behind: drop everything buffered and start buffering over.
            flushBoth();
        }
    }
    m_captureQueue.flush();
    return 0;
}

bool CapturePipeline::capturing() const {
    if (m_reader->symbolicLink()) return true;
    return m_syncThread != nullptr && !m_syncThread->finished();
}

bool CapturePipeline::handleDeviceChange(const DeviceChangeEvent& event) {
    bool lost = false;
    if (m_reader->symbolicLink()) {
        lost = m_reader->isOpenDevice(event);
    } else {
        int flag = 0;
        m_sync->CheckDeviceLost(&event, &flag);
        lost = flag != 0;
    }
    if (!lost) return false;
    if (m_reader->symbolicLink()) {
        m_reader->Close();
    } else {
        m_sync->CloseDevice();
    }
    return true;
}

PipelineCounters CapturePipeline::counters() const {
    PipelineCounters c;
    const SequenceTracker& arrivals = m_synchronized ? m_syncArrivals : m_reader->arrivals();
    c.received = arrivals.frames();
    c.dropped = arrivals.missing();
    c.poolFull = m_reader->poolFullDrops();
    c.flushed = m_flushed.load(std::memory_order_relaxed);
    c.shown = m_realTime.frames();
    c.replayed = m_replay.frames();
    return c;
}

CounterSnapshot CapturePipeline::syncReadTime() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    return {m_syncRead.descr(), m_syncRead.avg()};
}

std::array<CounterSnapshot, 7> CapturePipeline::statistics() const {
    const CounterSnapshot noConverter{"convert to RGBA32", 0};
    return {syncReadTime(),
            m_rtRenderer ? m_rtRenderer->conversionCounter() : noConverter,
            m_realTime.totalTime(),
            m_realTime.renderTime(),
            m_replayRenderer ? m_replayRenderer->conversionCounter() : noConverter,
            m_replay.totalTime(),
            m_replay.renderTime()};
}

}  // namespace OLK
