#include "capture/mmf_cap_sync.h"

#include <cstring>

#include "convert/img_xform.h"
#include "media/media_type.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "pool/work_slot.h"

namespace OLK {
namespace {

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

size_t frameBytesOf(const std::shared_ptr<Attributes>& mediaType) {
    MediaTypeVideo mode(mediaType);
    if (mode.sampleSize() != 0) return mode.sampleSize();
    const int64_t stride = mode.defaultStride() < 0 ? -static_cast<int64_t>(mode.defaultStride())
                                                    : mode.defaultStride();
    return static_cast<size_t>(stride) * mode.frameSize().height;
}

}  // namespace

MmfCapSync::~MmfCapSync() = default;

int32_t MmfCapSync::SetDevice(Activate* activate, uint32_t streamIndex, Attributes* mediaType) {
    if (activate == nullptr || mediaType == nullptr) return E_INVALIDARG;
    std::shared_ptr<SourceReader> previous;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_streamIndex = streamIndex;
        m_symbolicLink.reset();
        // A capture node streams for one owner: the earlier reader must let go first.
        previous = std::move(m_reader);
        m_frameLimit = 0;
    }
    previous.reset();

    std::shared_ptr<MediaSource> source;
    int32_t hr = activate->activateObject(&source);
    if (failed(hr) || !source) return failed(hr) ? hr : E_FAIL;

    std::string link;
    std::shared_ptr<SourceReader> reader;
    GUID subtype = GUID_NULL;
    Attributes config;
    auto fail = [&](int32_t result) {
        source->shutdown();
        return result;
    };
    hr = activate->getAllocatedString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK,
                                      &link);
    if (failed(hr)) return fail(hr);
    config.setUINT32(MF_READWRITE_DISABLE_CONVERTERS, 1);
    hr = source->createSourceReader(&config, nullptr, &reader);
    if (failed(hr) || !reader) return fail(failed(hr) ? hr : E_FAIL);
    hr = mediaType->getGUID(MF_MT_SUBTYPE, &subtype);
    if (failed(hr)) return fail(hr);
    if (!ImgXform::isFormatSupported(subtype)) return fail(E_INVALIDARG);
    hr = reader->setCurrentMediaType(streamIndex, *mediaType);
    if (failed(hr)) return fail(hr);

    const size_t limit = frameBytesOf(std::make_shared<Attributes>(*mediaType));
    std::lock_guard<std::mutex> guard(m_lock);
    m_reader = std::move(reader);
    m_symbolicLink = std::move(link);
    m_frameLimit = limit;
    return S_OK;
}

int32_t MmfCapSync::readFrameBlocking(WorkSlot* slot) {
    return read(slot, frameLimit(), nullptr, nullptr);
}

int32_t MmfCapSync::readFrameBlocking(WorkSlot* slot, size_t capacity) {
    return read(slot, capacity, nullptr, nullptr);
}

int32_t MmfCapSync::readFrameBlocking(WorkSlot* slot, int64_t* sequence, int64_t* sampleTime) {
    return read(slot, frameLimit(), sequence, sampleTime);
}

int32_t MmfCapSync::read(WorkSlot* slot, size_t capacity, int64_t* sequence, int64_t* sampleTime) {
    std::shared_ptr<SourceReader> reader;
    uint32_t streamIndex = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        reader = m_reader;
        streamIndex = m_streamIndex;
    }
    if (!reader) return E_FAIL;
    uint32_t actualStream = 0;
    uint32_t flags = 0;
    int64_t timestamp = 0;
    std::shared_ptr<Sample> sample;
    int32_t hr = reader->readSample(streamIndex, 0, &actualStream, &flags, &timestamp, &sample);
    if (failed(hr)) return hr;
    // The first-video-stream selector stands for whichever stream is the video one.
    const bool otherStream =
        streamIndex < MF_SOURCE_READER_FIRST_VIDEO_STREAM && actualStream != streamIndex;
    if (!sample || slot == nullptr || otherStream) return E_FAIL;
    std::shared_ptr<MediaBuffer> buffer;
    hr = sample->convertToContiguousBuffer(&buffer);
    if (failed(hr)) return hr;
    uint8_t* data = nullptr;
    uint32_t length = 0;
    hr = buffer->lock(&data, nullptr, &length);
    if (failed(hr)) return hr;
    if (length > capacity) {
        buffer->unlock();
        return MF_E_BUFFERTOOSMALL;
    }
    std::memcpy(slot->data(), data, length);
    if (sequence != nullptr) *sequence = sample->sequence();
    if (sampleTime != nullptr) *sampleTime = sample->sampleTime();
    return buffer->unlock();
}

int32_t MmfCapSync::CheckDeviceLost(const DeviceChangeEvent* header, int* lost) const {
    if (lost == nullptr) return E_POINTER;
    *lost = 0;
    if (header == nullptr || header->deviceType != kDbtDevTypDeviceInterface) return S_OK;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_symbolicLink && equalsIgnoringCase(header->deviceName, *m_symbolicLink)) *lost = 1;
    return S_OK;
}

int32_t MmfCapSync::CloseDevice() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_symbolicLink.reset();
    return S_OK;
}

size_t MmfCapSync::frameLimit() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_frameLimit;
}

bool MmfCapSync::isOpen() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_symbolicLink.has_value();
}

}  // namespace OLK
