#pragma once

// The asynchronous frame source of the viewer: a callback reader that copies each delivered
// frame into an empty slot of the target queue and asks for the next one. SetDevice and Close
// come from the dialog thread; onReadSample runs on the reader's own thread; the lock
// serialises them.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/sequence_tracker.h"
#include "media/media_objects.h"

namespace OLK {

class WorkQueue;

class CaptureSourceReader : public SourceReaderCallback {
public:
    CaptureSourceReader() = default;
    CaptureSourceReader(const CaptureSourceReader&) = delete;
    CaptureSourceReader& operator=(const CaptureSourceReader&) = delete;
    ~CaptureSourceReader() override;

    // E_INVALIDARG for a null argument, S_OK when capture runs, E_FAIL for any other failure.
    int32_t SetDevice(Activate* activate, uint32_t streamIndex, Attributes* mediaType,
                      WorkQueue* queue);
    // Releases the reader, forgets the link and sets the stream index to 0.
    void Close();

    int32_t onReadSample(int32_t status, uint32_t streamIndex, uint32_t streamFlags,
                         int64_t timestamp, std::shared_ptr<Sample> sample) override;

    std::optional<std::string> symbolicLink() const;
    uint32_t streamIndex() const;
    // True when the event names the open device (device-interface event, same link ignoring
    // case).
    bool isOpenDevice(const DeviceChangeEvent& event) const;

    // Frames the device delivered, the ones lost before delivery (sequence gaps), and the
    // ones dropped here because no empty slot was free.
    const SequenceTracker& arrivals() const { return m_arrivals; }
    uint64_t poolFullDrops() const { return m_poolFull.load(std::memory_order_relaxed); }
    void resetCounters();

private:
    void closeLocked(std::shared_ptr<SourceReader>* reader, std::shared_ptr<MediaSource>* source);

    mutable std::mutex m_lock;
    std::shared_ptr<SourceReader> m_reader;
    std::shared_ptr<MediaSource> m_source;
    std::optional<std::string> m_link;
    uint32_t m_streamIndex = MF_SOURCE_READER_FIRST_VIDEO_STREAM;
    WorkQueue* m_queue = nullptr;
    SequenceTracker m_arrivals;
    std::atomic<uint64_t> m_poolFull{0};
};

// Case-insensitive comparison of device links.
bool sameDeviceLink(const std::string& a, const std::string& b);

}  // namespace OLK
