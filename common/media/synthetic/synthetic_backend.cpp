#include "media/synthetic/synthetic_backend.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "media/media_util.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "media/source_reader_base.h"

namespace OLK {
namespace {

constexpr int64_t kHundredNsPerSecond = 10000000;
constexpr size_t kStampBytes = 8;
// A tiny JPEG-shaped frame: start of image, a comment segment holding the stamp, end of image.
constexpr uint8_t kJpegHead[] = {0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x0A};
constexpr uint8_t kJpegTail[] = {0xFF, 0xD9};
constexpr size_t kRecycledBuffers = 4;

uint32_t frameBytes(const SyntheticMode& mode) {
    if (mode.subtype == MFVideoFormat_MJPG) {
        return sizeof(kJpegHead) + kStampBytes + sizeof(kJpegTail);
    }
    return imageSizeForFourCC(mode.subtype.Data1, mode.width, mode.height);
}

std::shared_ptr<Attributes> videoType(const SyntheticMode& mode, const GUID& formatType) {
    auto mt = std::make_shared<Attributes>();
    mt->setGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    mt->setGUID(MF_MT_SUBTYPE, mode.subtype);
    mt->setPair(MF_MT_FRAME_SIZE, mode.width, mode.height);
    mt->setPair(MF_MT_FRAME_RATE, mode.fps, 1);
    mt->setPair(MF_MT_FRAME_RATE_RANGE_MIN, mode.fps, 1);
    mt->setPair(MF_MT_FRAME_RATE_RANGE_MAX, mode.fps, 1);
    mt->setPair(MF_MT_PIXEL_ASPECT_RATIO, 1, 1);
    mt->setUINT32(MF_MT_INTERLACE_MODE, InterlaceMode::kProgressive);
    mt->setGUID(MF_MT_AM_FORMAT_TYPE, formatType);
    if (mode.subtype == MFVideoFormat_MJPG) {
        mt->setUINT32(MF_MT_COMPRESSED, 1);
        mt->setUINT32(MF_MT_SAMPLE_SIZE, frameBytes(mode));
    } else {
        int32_t stride = 0;
        strideForFourCC(mode.subtype.Data1, mode.width, &stride);
        uint32_t size = frameBytes(mode);
        mt->setUINT32(MF_MT_DEFAULT_STRIDE, static_cast<uint32_t>(stride));
        mt->setUINT32(MF_MT_SAMPLE_SIZE, size);
        mt->setUINT32(MF_MT_FIXED_SIZE_SAMPLES, 1);
        mt->setUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, 1);
        uint64_t bits = static_cast<uint64_t>(size) * 8 * mode.fps;
        mt->setUINT32(MF_MT_AVG_BITRATE,
                      static_cast<uint32_t>(std::min<uint64_t>(bits, UINT32_MAX)));
    }
    return mt;
}

std::shared_ptr<StreamDescriptor> streamFor(uint32_t id, const GUID& major,
                                            std::vector<std::shared_ptr<Attributes>> types) {
    return std::make_shared<StreamDescriptor>(
        id, std::make_shared<MediaTypeHandler>(major, std::move(types)));
}

void putLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t getLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void stamp(uint8_t* p, uint32_t number) {
    putLE32(p, number);
    putLE32(p + 4, ~number);
}

// Diagonal bars that move a few pixels per frame. Every row is the same stripe shifted by
// its row number, so a frame is one copy per row out of a stripe made once per mode: the camera
// costs about what a device's DMA costs the host, not a per-pixel loop.
struct Pattern {
    std::vector<uint8_t> luma;    // the stripe of packed or luma rows
    std::vector<uint8_t> chroma;  // NV12's interleaved U, V rows
    size_t unitBytes = 0;         // bytes of one step of the stripe (a pixel or a pixel pair)
    size_t unitsPerStep = 1;      // pixels per unit
};

constexpr size_t kStripePeriod = 128;  // units after which the stripe repeats

Pattern makePattern(const SyntheticMode& mode) {
    Pattern p;
    if (mode.subtype == MFVideoFormat_MJPG) return p;
    const bool pairs = mode.subtype == MFVideoFormat_YUY2 || mode.subtype == MFVideoFormat_NV12;
    p.unitsPerStep = pairs ? 2 : 1;
    const size_t units = (mode.width + p.unitsPerStep - 1) / p.unitsPerStep + kStripePeriod;
    for (size_t u = 0; u < units; ++u) {
        const auto v = static_cast<uint8_t>(u * p.unitsPerStep * 2);
        const auto a = static_cast<uint8_t>(128 + (u & 63));
        const auto b = static_cast<uint8_t>(128 - (u & 63));
        if (mode.subtype == MFVideoFormat_YUY2) {
            p.luma.insert(p.luma.end(), {v, a, static_cast<uint8_t>(v + 2), b});
        } else if (mode.subtype == MFVideoFormat_NV12) {
            p.luma.insert(p.luma.end(), {v, static_cast<uint8_t>(v + 2)});
            p.chroma.insert(p.chroma.end(), {a, b});
        } else if (mode.subtype == MFVideoFormat_RGB32) {
            p.luma.insert(p.luma.end(),
                          {v, static_cast<uint8_t>(v / 2), static_cast<uint8_t>(~v), 0xFF});
        } else {
            p.luma.insert(p.luma.end(), {v, static_cast<uint8_t>(v / 2), static_cast<uint8_t>(~v)});
        }
    }
    p.unitBytes = p.luma.size() / units;
    return p;
}

void render(const SyntheticMode& mode, const Pattern& pattern, uint32_t number, uint8_t* out) {
    const uint32_t w = mode.width;
    const uint32_t h = mode.height;
    if (mode.subtype == MFVideoFormat_MJPG) {
        std::memcpy(out, kJpegHead, sizeof(kJpegHead));
        stamp(out + sizeof(kJpegHead), number);
        std::memcpy(out + sizeof(kJpegHead) + kStampBytes, kJpegTail, sizeof(kJpegTail));
        return;
    }
    int32_t stride = 0;
    strideForFourCC(mode.subtype.Data1, w, &stride);
    const size_t rowBytes =
        (w + pattern.unitsPerStep - 1) / pattern.unitsPerStep * pattern.unitBytes;
    const size_t rowCopy = std::min<size_t>(rowBytes, static_cast<uint32_t>(stride));
    for (uint32_t y = 0; y < h; ++y) {
        const size_t unit = (y / pattern.unitsPerStep + number * 2) % kStripePeriod;
        std::memcpy(out + static_cast<size_t>(y) * static_cast<uint32_t>(stride),
                    pattern.luma.data() + unit * pattern.unitBytes, rowCopy);
    }
    if (mode.subtype == MFVideoFormat_NV12) {
        uint8_t* chroma = out + static_cast<size_t>(h) * static_cast<uint32_t>(stride);
        const size_t chromaCopy = std::min<size_t>(w, static_cast<uint32_t>(stride));
        for (uint32_t y = 0; y < (h + 1) / 2; ++y) {
            const size_t unit = (y + number) % kStripePeriod;
            std::memcpy(chroma + static_cast<size_t>(y) * static_cast<uint32_t>(stride),
                        pattern.chroma.data() + unit * 2, chromaCopy);
        }
    }
    stamp(out, number);
}

// A window into the image of a scrolling pattern; it keeps the image alive, so a sample held
// past a change of mode still has its bytes.
class WindowBuffer : public MediaBuffer {
public:
    explicit WindowBuffer(std::shared_ptr<std::vector<uint8_t>> image)
        : m_image(std::move(image)) {}
    void point(size_t offset, uint32_t length) {
        m_data = m_image->data() + offset;
        m_length = length;
    }
    int32_t lock(uint8_t** data, uint32_t* maxLength, uint32_t* currentLength) override {
        if (data == nullptr) return E_POINTER;
        *data = m_data;
        if (maxLength != nullptr) *maxLength = m_length;
        if (currentLength != nullptr) *currentLength = m_length;
        return S_OK;
    }
    int32_t unlock() override { return S_OK; }
    uint32_t currentLength() const override { return m_length; }

private:
    std::shared_ptr<std::vector<uint8_t>> m_image;
    uint8_t* m_data = nullptr;
    uint32_t m_length = 0;
};

// Makes the frames of one mode. The packed formats' pattern only scrolls, by the same rows
// every frame and back to the start after kPhases frames, so every phase is one window into
// an image rendered once: a frame costs its 8-byte stamp, as a device's DMA costs the host
// nothing. The stamp is undone before the next frame is stamped, and only while nobody holds
// the window any more; otherwise (and for NV12 and MJPG) the frame is rendered into a buffer.
// Samples and buffers are reused once every holder let go of them, so a steady stream
// allocates nothing per frame.
class FrameMaker {
public:
    explicit FrameMaker(const SyntheticMode& mode)
        : m_mode(mode), m_pattern(makePattern(mode)), m_frameBytes(frameBytes(mode)) {
        makeScroll();
    }

    std::shared_ptr<Sample> make(int64_t time, uint32_t number) {
        std::lock_guard<std::mutex> guard(m_lock);
        // Held only here (and by the window's own sample): nobody can be reading it.
        if (m_windowSample && m_windowSample.use_count() == 1 && m_window.use_count() == 2) {
            unstamp();
            const size_t offset = (number % kPhases) * m_rowShift * m_stride;
            uint8_t* frame = m_scroll->data() + offset;
            std::memcpy(m_covered, frame, kStampBytes);
            m_stampedAt = offset;
            stamp(frame, number);
            m_window->point(offset, m_frameBytes);
            *m_windowSample = Sample(m_window, time, number);
            return m_windowSample;
        }
        MemoryBuffer* buffer = nullptr;
        std::shared_ptr<Sample> sample = takeBuffer(time, number, &buffer);
        render(m_mode, m_pattern, number, buffer->data());
        buffer->setCurrentLength(buffer->maxLength());
        return sample;
    }

private:
    // Frames until the pattern is back where it started: it moves 2 stripe units a frame.
    static constexpr uint32_t kPhases = kStripePeriod / 2;

    void makeScroll() {
        const bool packed = m_mode.subtype == MFVideoFormat_YUY2 ||
                            m_mode.subtype == MFVideoFormat_RGB32 ||
                            m_mode.subtype == MFVideoFormat_RGB24;
        int32_t stride = 0;
        if (!packed || m_frameBytes < kStampBytes ||
            !strideForFourCC(m_mode.subtype.Data1, m_mode.width, &stride) || stride <= 0) {
            return;
        }
        m_stride = static_cast<size_t>(stride);
        m_rowShift = 2 * m_pattern.unitsPerStep;
        const size_t rows = m_mode.height + m_rowShift * (kPhases - 1);
        const size_t rowBytes = (m_mode.width + m_pattern.unitsPerStep - 1) /
                                m_pattern.unitsPerStep * m_pattern.unitBytes;
        const size_t rowCopy = std::min(rowBytes, m_stride);
        m_scroll = std::make_shared<std::vector<uint8_t>>(rows * m_stride, 0);
        // Row r of the image is row r - rowShift x n of frame n, as render() draws it.
        for (size_t r = 0; r < rows; ++r) {
            const size_t unit = (r / m_pattern.unitsPerStep) % kStripePeriod;
            std::memcpy(m_scroll->data() + r * m_stride,
                        m_pattern.luma.data() + unit * m_pattern.unitBytes, rowCopy);
        }
        m_window = std::make_shared<WindowBuffer>(m_scroll);
        m_windowSample = std::make_shared<Sample>(m_window, 0, -1);
    }

    void unstamp() {
        if (m_stampedAt == kNotStamped) return;
        std::memcpy(m_scroll->data() + m_stampedAt, m_covered, kStampBytes);
        m_stampedAt = kNotStamped;
    }

    std::shared_ptr<Sample> takeBuffer(int64_t time, uint32_t number, MemoryBuffer** buffer) {
        for (Entry& e : m_entries) {
            if (e.sample.use_count() == 1 && e.buffer.use_count() == 2) {
                *e.sample = Sample(e.buffer, time, number);
                *buffer = e.buffer.get();
                return e.sample;
            }
        }
        auto fresh = std::make_shared<MemoryBuffer>(m_frameBytes);
        *buffer = fresh.get();
        auto sample = std::make_shared<Sample>(fresh, time, number);
        if (m_entries.size() < kRecycledBuffers) m_entries.push_back({fresh, sample});
        return sample;
    }

    struct Entry {
        std::shared_ptr<MemoryBuffer> buffer;
        std::shared_ptr<Sample> sample;
    };
    static constexpr size_t kNotStamped = SIZE_MAX;

    const SyntheticMode m_mode;
    const Pattern m_pattern;
    const uint32_t m_frameBytes;
    std::mutex m_lock;
    std::vector<Entry> m_entries;
    std::shared_ptr<std::vector<uint8_t>> m_scroll;
    size_t m_stride = 0;
    size_t m_rowShift = 0;
    std::shared_ptr<WindowBuffer> m_window;
    std::shared_ptr<Sample> m_windowSample;
    size_t m_stampedAt = kNotStamped;
    uint8_t m_covered[kStampBytes] = {};
};

class SyntheticReader : public SourceReaderBase {
public:
    SyntheticReader(std::shared_ptr<SyntheticCamera> camera,
                    std::shared_ptr<std::atomic<bool>> sourceShutdown,
                    SourceReaderCallback* callback)
        : SourceReaderBase(callback),
          m_camera(std::move(camera)),
          m_sourceShutdown(std::move(sourceShutdown)) {}

    ~SyntheticReader() override { stopPump(); }

    int32_t setCurrentMediaType(uint32_t streamIndex, const Attributes& mediaType) override {
        uint32_t stream = 0;
        if (!resolveStream(streamIndex, &stream)) return MF_E_INVALIDSTREAMNUMBER;
        GUID subtype = GUID_NULL;
        uint32_t width = 0;
        uint32_t height = 0;
        if (mediaType.getGUID(MF_MT_SUBTYPE, &subtype) != S_OK ||
            mediaType.getPair(MF_MT_FRAME_SIZE, &width, &height) != S_OK) {
            return MF_E_INVALIDMEDIATYPE;
        }
        const auto& modes = m_camera->modes();
        auto it = std::find_if(modes.begin(), modes.end(), [&](const SyntheticMode& m) {
            return m.subtype == subtype && m.width == width && m.height == height;
        });
        if (it == modes.end()) return MF_E_INVALIDMEDIATYPE;
        uint32_t num = 0;
        uint32_t den = 0;
        // The camera cannot go faster than the mode allows; a slower request is honoured.
        if (mediaType.getPair(MF_MT_FRAME_RATE, &num, &den) != S_OK || num == 0 || den == 0 ||
            static_cast<uint64_t>(num) > static_cast<uint64_t>(it->fps) * den) {
            num = it->fps;
            den = 1;
        }
        std::lock_guard<std::mutex> guard(m_camera->lock());
        m_mode = *it;
        m_rateNum = num;
        m_rateDen = den;
        m_stream = stream;
        m_configured = true;
        m_started = false;
        m_next = 0;
        m_maker = std::make_shared<FrameMaker>(m_mode);
        return S_OK;
    }

protected:
    int32_t readBlocking(uint32_t streamIndex, uint32_t* actualStreamIndex, uint32_t* streamFlags,
                         int64_t* timestamp, std::shared_ptr<Sample>* sample) override {
        uint32_t stream = 0;
        if (!resolveStream(streamIndex, &stream)) return MF_E_INVALIDSTREAMNUMBER;
        std::unique_lock<std::mutex> guard(m_camera->lock());
        if (!m_configured || stream != m_stream) return MF_E_INVALIDREQUEST;
        auto now = std::chrono::steady_clock::now();
        if (!m_started) {
            m_start = now;
            m_started = true;
        }
        if (const uint32_t held = m_camera->buffers(); held != 0) {
            // Frames older than the camera's buffers were overwritten while nobody read.
            const double elapsed = std::chrono::duration<double>(now - m_start).count();
            const auto produced =
                static_cast<uint64_t>(elapsed * m_rateNum / m_rateDen);  // newest frame made
            if (produced >= static_cast<uint64_t>(m_next) + held) {
                m_next = static_cast<uint32_t>(produced - held + 1);
            }
        }
        const uint32_t number = m_next;
        const double seconds = static_cast<double>(number) * m_rateDen / m_rateNum;
        auto due = m_start + std::chrono::nanoseconds(static_cast<int64_t>(seconds * 1e9));
        m_camera->changed().wait_until(guard, due, [&] {
            return m_interrupted || *m_sourceShutdown || !m_camera->pluggedLocked();
        });
        if (m_interrupted || *m_sourceShutdown) return MF_E_SHUTDOWN;
        if (!m_camera->pluggedLocked()) return E_DEVICE_GONE;
        ++m_next;
        std::shared_ptr<FrameMaker> maker = m_maker;
        int64_t time = std::llround(seconds * kHundredNsPerSecond);
        guard.unlock();

        *sample = maker->make(time, number);
        *actualStreamIndex = stream;
        *streamFlags = 0;
        *timestamp = time;
        return S_OK;
    }

    void interrupt() override {
        {
            std::lock_guard<std::mutex> guard(m_camera->lock());
            m_interrupted = true;
        }
        m_camera->changed().notify_all();
    }

private:
    bool resolveStream(uint32_t requested, uint32_t* stream) const {
        if (requested == MF_SOURCE_READER_FIRST_VIDEO_STREAM ||
            requested == MF_SOURCE_READER_ANY_STREAM) {
            *stream = 0;
            return true;
        }
        if (requested >= m_camera->streamCount()) return false;
        *stream = requested;
        return true;
    }

    std::shared_ptr<SyntheticCamera> m_camera;
    std::shared_ptr<std::atomic<bool>> m_sourceShutdown;
    // Guarded by the camera's lock.
    SyntheticMode m_mode;
    uint32_t m_rateNum = 1;
    uint32_t m_rateDen = 1;
    uint32_t m_stream = 0;
    bool m_configured = false;
    bool m_started = false;
    bool m_interrupted = false;
    uint32_t m_next = 0;
    std::chrono::steady_clock::time_point m_start;
    std::shared_ptr<FrameMaker> m_maker;
};

class SyntheticSource : public MediaSource {
public:
    SyntheticSource(std::shared_ptr<SyntheticCamera> camera,
                    std::vector<std::shared_ptr<StreamDescriptor>> streams)
        : m_camera(std::move(camera)),
          m_streams(std::move(streams)),
          m_shutdown(std::make_shared<std::atomic<bool>>(false)) {}

    int32_t createPresentationDescriptor(std::shared_ptr<PresentationDescriptor>* pd) override {
        if (pd == nullptr) return E_POINTER;
        if (*m_shutdown) return MF_E_SHUTDOWN;
        *pd = std::make_shared<PresentationDescriptor>(m_streams);
        return S_OK;
    }

    int32_t createSourceReader(const Attributes* /*config*/, SourceReaderCallback* callback,
                               std::shared_ptr<SourceReader>* reader) override {
        if (reader == nullptr) return E_POINTER;
        if (*m_shutdown) return MF_E_SHUTDOWN;
        // Microphones advertise modes but deliver nothing.
        if (!m_camera) return E_NOTIMPL;
        if (!m_camera->isPlugged()) return E_DEVICE_GONE;
        *reader = std::make_shared<SyntheticReader>(m_camera, m_shutdown, callback);
        return S_OK;
    }

    int32_t shutdown() override {
        *m_shutdown = true;
        if (m_camera) {
            // Taking the lock orders the flag before any reader's wait predicate.
            { std::lock_guard<std::mutex> guard(m_camera->lock()); }
            m_camera->changed().notify_all();
        }
        return S_OK;
    }

private:
    std::shared_ptr<SyntheticCamera> m_camera;
    std::vector<std::shared_ptr<StreamDescriptor>> m_streams;
    std::shared_ptr<std::atomic<bool>> m_shutdown;
};

class SyntheticActivate : public Activate {
public:
    SyntheticActivate(std::shared_ptr<SyntheticCamera> camera,
                      std::vector<std::shared_ptr<StreamDescriptor>> streams)
        : m_camera(std::move(camera)), m_streams(std::move(streams)) {}

    int32_t activateObject(std::shared_ptr<MediaSource>* source) override {
        if (source == nullptr) return E_POINTER;
        if (m_camera && !m_camera->isPlugged()) return E_DEVICE_GONE;
        *source = std::make_shared<SyntheticSource>(m_camera, m_streams);
        return S_OK;
    }

private:
    std::shared_ptr<SyntheticCamera> m_camera;
    std::vector<std::shared_ptr<StreamDescriptor>> m_streams;
};

std::shared_ptr<Activate> makeMicrophone(uint32_t index) {
    std::vector<std::shared_ptr<Attributes>> types;
    const struct {
        GUID subtype;
        uint32_t channels;
    } kinds[] = {{MFAudioFormat_PCM, 1}, {MFAudioFormat_PCM, 2}, {MFAudioFormat_Float, 2}};
    for (const auto& kind : kinds) {
        auto mt = std::make_shared<Attributes>();
        mt->setGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
        mt->setGUID(MF_MT_SUBTYPE, kind.subtype);
        mt->setUINT32(MF_MT_AUDIO_NUM_CHANNELS, kind.channels);
        mt->setUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, 48000);
        types.push_back(mt);
    }
    auto mic = std::make_shared<SyntheticActivate>(
        nullptr, std::vector<std::shared_ptr<StreamDescriptor>>{
                     streamFor(0, MFMediaType_Audio, std::move(types))});
    mic->setString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME,
                   "Tavro synthetic microphone " + std::to_string(index));
    mic->setGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                 MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_AUDCAP_GUID);
    mic->setString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_AUDCAP_ENDPOINT_ID,
                   "synthetic-mic:" + std::to_string(index));
    return mic;
}

}  // namespace

SyntheticCamera::SyntheticCamera(uint32_t index, const SyntheticConfig& config,
                                 std::function<void(const DeviceChangeEvent&)> notify)
    : m_link("synthetic:video" + std::to_string(index)),
      m_name(config.cameras > 1 ? config.name + " " + std::to_string(index) : config.name),
      m_modes(config.effectiveModes()),
      m_notify(std::move(notify)),
      m_buffers(config.buffers) {
    std::vector<std::shared_ptr<Attributes>> types;
    for (const SyntheticMode& mode : m_modes) {
        types.push_back(videoType(mode, FORMAT_VideoInfo2));
        if (config.videoInfoDuplicates) types.push_back(videoType(mode, FORMAT_VideoInfo));
    }
    for (uint32_t s = 0; s < std::max<uint32_t>(config.streams, 1); ++s) {
        m_streams.push_back(streamFor(s, MFMediaType_Video, types));
    }
}

void SyntheticCamera::unplug() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_plugged) return;
        m_plugged = false;
    }
    m_changed.notify_all();
    if (m_notify)
        m_notify(DeviceChangeEvent{kDbtDevTypDeviceInterface, kDbtDeviceRemoveComplete, m_link});
}

void SyntheticCamera::replug() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_plugged) return;
        m_plugged = true;
    }
    if (m_notify) m_notify(DeviceChangeEvent{kDbtDevTypDeviceInterface, kDbtDeviceArrival, m_link});
}

bool SyntheticCamera::isPlugged() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_plugged;
}

// Outlives the backend when cameras are still held by readers.
struct SyntheticBackend::Hub {
    std::mutex lock;
    std::function<void(const DeviceChangeEvent&)> listener;

    void notify(const DeviceChangeEvent& event) {
        std::function<void(const DeviceChangeEvent&)> copy;
        {
            std::lock_guard<std::mutex> guard(lock);
            copy = listener;
        }
        if (copy) copy(event);
    }
};

SyntheticBackend::SyntheticBackend(const SyntheticConfig& config)
    : m_config(config), m_hub(std::make_shared<Hub>()) {
    std::shared_ptr<Hub> hub = m_hub;
    for (uint32_t i = 0; i < config.cameras; ++i) {
        m_cameras.push_back(std::make_shared<SyntheticCamera>(
            i, config, [hub](const DeviceChangeEvent& event) { hub->notify(event); }));
    }
    for (uint32_t i = 0; i < config.microphones; ++i) m_microphones.push_back(makeMicrophone(i));
}

int32_t SyntheticBackend::enumDevices(const GUID& sourceType,
                                      std::vector<std::shared_ptr<Activate>>* devices) {
    if (devices == nullptr) return E_POINTER;
    devices->clear();
    if (sourceType == MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_AUDCAP_GUID) {
        *devices = m_microphones;
        return S_OK;
    }
    if (sourceType != MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID) return E_INVALIDARG;
    for (const auto& camera : m_cameras) {
        if (!camera->isPlugged()) continue;
        auto activate = std::make_shared<SyntheticActivate>(camera, camera->streams());
        activate->setString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, camera->friendlyName());
        activate->setGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                          MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
        activate->setString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK,
                            camera->symbolicLink());
        devices->push_back(std::move(activate));
    }
    return S_OK;
}

void SyntheticBackend::setDeviceChangeListener(
    std::function<void(const DeviceChangeEvent&)> listener) {
    std::lock_guard<std::mutex> guard(m_hub->lock);
    m_hub->listener = std::move(listener);
}

std::shared_ptr<SyntheticCamera> SyntheticBackend::camera(size_t index) const {
    return index < m_cameras.size() ? m_cameras[index] : nullptr;
}

bool readSyntheticFrameNumber(const uint8_t* frame, size_t length, uint32_t* number) {
    if (frame == nullptr || number == nullptr) return false;
    size_t offset = 0;
    if (length >= sizeof(kJpegHead) && std::memcmp(frame, kJpegHead, sizeof(kJpegHead)) == 0) {
        offset = sizeof(kJpegHead);
    }
    if (length < offset + kStampBytes) return false;
    uint32_t value = getLE32(frame + offset);
    if (getLE32(frame + offset + 4) != ~value) return false;
    *number = value;
    return true;
}

}  // namespace OLK
