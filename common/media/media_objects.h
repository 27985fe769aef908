#pragma once

// The capture platform's object model, reduced to what the catalogue and the readers use:
// activation objects, media sources, presentation and stream descriptors, media-type handlers,
// source readers, samples and buffers. Backends (V4L2, synthetic) implement the abstract ones;
// descriptors and handlers are plain containers that a backend fills.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/attributes.h"
#include "olk_export.h"

namespace OLK {

// Stream selectors of the source reader.
inline constexpr uint32_t MF_SOURCE_READER_FIRST_VIDEO_STREAM = 0xFFFFFFFC;
inline constexpr uint32_t MF_SOURCE_READER_FIRST_AUDIO_STREAM = 0xFFFFFFFD;
inline constexpr uint32_t MF_SOURCE_READER_ANY_STREAM = 0xFFFFFFFE;
// Stream flags reported with a read.
inline constexpr uint32_t MF_SOURCE_READERF_ERROR = 0x1;
inline constexpr uint32_t MF_SOURCE_READERF_ENDOFSTREAM = 0x2;

// A frame's bytes. lock() gives the bytes until unlock(); the buffer keeps its backing store
// (a device buffer or memory) alive for as long as it exists.
class OLK_EXPORT MediaBuffer {
public:
    virtual ~MediaBuffer();
    virtual int32_t lock(uint8_t** data, uint32_t* maxLength, uint32_t* currentLength) = 0;
    virtual int32_t unlock() = 0;
    virtual uint32_t currentLength() const = 0;
};

// A buffer in ordinary memory.
class OLK_EXPORT MemoryBuffer : public MediaBuffer {
public:
    explicit MemoryBuffer(uint32_t maxLength);
    int32_t lock(uint8_t** data, uint32_t* maxLength, uint32_t* currentLength) override;
    int32_t unlock() override;
    uint32_t currentLength() const override;
    int32_t setCurrentLength(uint32_t length);
    uint8_t* data() { return m_bytes.data(); }
    uint32_t maxLength() const { return static_cast<uint32_t>(m_bytes.size()); }

private:
    std::vector<uint8_t> m_bytes;
    uint32_t m_length = 0;
};

// One captured frame with its time stamp (100-ns units) and, where the device numbers its
// frames (V4L2 buffer sequence, synthetic frame number), that number; -1 when it has none.
class OLK_EXPORT Sample {
public:
    Sample(std::shared_ptr<MediaBuffer> buffer, int64_t sampleTime, int64_t sequence = -1);
    int32_t convertToContiguousBuffer(std::shared_ptr<MediaBuffer>* buffer) const;
    int64_t sampleTime() const { return m_time; }
    int64_t sequence() const { return m_sequence; }

private:
    std::shared_ptr<MediaBuffer> m_buffer;
    int64_t m_time;
    int64_t m_sequence;
};

class OLK_EXPORT MediaTypeHandler {
public:
    MediaTypeHandler(const GUID& majorType, std::vector<std::shared_ptr<Attributes>> types);
    int32_t getMajorType(GUID* majorType) const;
    int32_t getMediaTypeCount(uint32_t* count) const;
    int32_t getMediaTypeByIndex(uint32_t index, std::shared_ptr<Attributes>* type) const;

private:
    GUID m_majorType;
    std::vector<std::shared_ptr<Attributes>> m_types;
};

class OLK_EXPORT StreamDescriptor : public Attributes {
public:
    StreamDescriptor(uint32_t identifier, std::shared_ptr<MediaTypeHandler> handler);
    uint32_t getStreamIdentifier() const { return m_identifier; }
    int32_t getMediaTypeHandler(std::shared_ptr<MediaTypeHandler>* handler) const;

private:
    uint32_t m_identifier;
    std::shared_ptr<MediaTypeHandler> m_handler;
};

// A media source's streams with their selection flags; each call of
// MediaSource::createPresentationDescriptor gives a fresh copy of the selection.
class OLK_EXPORT PresentationDescriptor : public Attributes {
public:
    explicit PresentationDescriptor(std::vector<std::shared_ptr<StreamDescriptor>> streams);
    int32_t getStreamDescriptorCount(uint32_t* count) const;
    int32_t getStreamDescriptorByIndex(uint32_t index, bool* selected,
                                       std::shared_ptr<StreamDescriptor>* stream) const;
    int32_t selectStream(uint32_t index);
    int32_t deselectStream(uint32_t index);

private:
    mutable std::mutex m_lock;
    std::vector<std::shared_ptr<StreamDescriptor>> m_streams;
    std::vector<bool> m_selected;
};

// Receives the results of asynchronous reads, on the reader's own thread.
class OLK_EXPORT SourceReaderCallback {
public:
    virtual ~SourceReaderCallback();
    virtual int32_t onReadSample(int32_t status, uint32_t streamIndex, uint32_t streamFlags,
                                 int64_t timestamp, std::shared_ptr<Sample> sample) = 0;
};

class OLK_EXPORT SourceReader {
public:
    virtual ~SourceReader();
    virtual int32_t setCurrentMediaType(uint32_t streamIndex, const Attributes& mediaType) = 0;
    // Blocking reader: waits for the next frame and fills the out values. Reader made with a
    // callback: queues the request and returns at once; the result goes to the callback.
    virtual int32_t readSample(uint32_t streamIndex, uint32_t controlFlags,
                               uint32_t* actualStreamIndex, uint32_t* streamFlags,
                               int64_t* timestamp, std::shared_ptr<Sample>* sample) = 0;
};

class OLK_EXPORT MediaSource {
public:
    virtual ~MediaSource();
    virtual int32_t createPresentationDescriptor(std::shared_ptr<PresentationDescriptor>* pd) = 0;
    // config may be null; callback null gives a blocking reader. The callback must outlive
    // the reader.
    virtual int32_t createSourceReader(const Attributes* config, SourceReaderCallback* callback,
                                       std::shared_ptr<SourceReader>* reader) = 0;
    virtual int32_t shutdown() = 0;
};

// A capture device found by enumeration: its attributes (friendly name, source type, symbolic
// link or endpoint id) and the way to open it.
class OLK_EXPORT Activate : public Attributes {
public:
    virtual int32_t activateObject(std::shared_ptr<MediaSource>* source) = 0;
};

// Device type and events of a device-change notification.
inline constexpr uint32_t kDbtDevTypDeviceInterface = 5;
inline constexpr uint32_t kDbtDeviceArrival = 0x8000;
inline constexpr uint32_t kDbtDeviceRemoveComplete = 0x8004;

// What a device-change notification carries: the capture side's watcher and the synthetic
// cameras produce these.
struct DeviceChangeEvent {
    uint32_t deviceType = kDbtDevTypDeviceInterface;
    uint32_t eventType = kDbtDeviceRemoveComplete;
    std::string deviceName;
};

}  // namespace OLK
