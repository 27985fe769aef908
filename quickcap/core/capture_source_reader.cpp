#include "capture_source_reader.h"

#include <algorithm>
#include <cstring>

#include "convert/img_xform.h"
#include "core/frame_stamp.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "pool/fast_mem.h"
#include "pool/work_queue.h"

namespace OLK {

bool sameDeviceLink(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
               return lower(static_cast<unsigned char>(x)) == lower(static_cast<unsigned char>(y));
           });
}

CaptureSourceReader::~CaptureSourceReader() { Close(); }

void CaptureSourceReader::closeLocked(std::shared_ptr<SourceReader>* reader,
                                      std::shared_ptr<MediaSource>* source) {
    *reader = std::move(m_reader);
    *source = std::move(m_source);
    m_link.reset();
}

void CaptureSourceReader::Close() {
    std::shared_ptr<SourceReader> reader;
    std::shared_ptr<MediaSource> source;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        closeLocked(&reader, &source);
        m_streamIndex = 0;
        m_queue = nullptr;
    }
    // Released outside the lock: ending the reader joins its thread, which may be waiting for
    // the lock in onReadSample and then finds the reader gone.
    if (source) source->shutdown();
    reader.reset();
}

int32_t CaptureSourceReader::SetDevice(Activate* activate, uint32_t streamIndex,
                                       Attributes* mediaType, WorkQueue* queue) {
    if (activate == nullptr || mediaType == nullptr || queue == nullptr) return E_INVALIDARG;
    {
        std::shared_ptr<SourceReader> oldReader;
        std::shared_ptr<MediaSource> oldSource;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_streamIndex = streamIndex;
            closeLocked(&oldReader, &oldSource);
            m_queue = nullptr;
        }
        if (oldSource) oldSource->shutdown();
    }

    std::shared_ptr<MediaSource> source;
    if (failed(activate->activateObject(&source)) || !source) return E_FAIL;
    auto fail = [&] {
        source->shutdown();
        std::lock_guard<std::mutex> guard(m_lock);
        m_link.reset();
        m_streamIndex = 0;
        return E_FAIL;
    };
    std::string link;
    if (failed(activate->getAllocatedString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK,
                                            &link))) {
        return fail();
    }
    Attributes config;
    config.setUINT32(MF_READWRITE_DISABLE_CONVERTERS, 1);
    std::shared_ptr<SourceReader> reader;
    if (failed(source->createSourceReader(&config, this, &reader)) || !reader) return fail();
    GUID subtype = GUID_NULL;
    if (failed(mediaType->getGUID(MF_MT_SUBTYPE, &subtype)) ||
        !ImgXform::isFormatSupported(subtype)) {
        return fail();
    }
    if (failed(reader->setCurrentMediaType(streamIndex, *mediaType))) return fail();

    std::lock_guard<std::mutex> guard(m_lock);
    m_link = std::move(link);
    m_queue = queue;
    m_reader = reader;
    m_source = source;
    m_arrivals.restart();
    queue->start();
    if (failed(m_reader->readSample(m_streamIndex, 0, nullptr, nullptr, nullptr, nullptr))) {
        // Nothing was requested, so no callback can come: drop everything here.
        m_reader.reset();
        m_source.reset();
        m_link.reset();
        m_streamIndex = 0;
        m_queue = nullptr;
        source->shutdown();
        return E_FAIL;
    }
    return S_OK;
}

int32_t CaptureSourceReader::onReadSample(int32_t status, uint32_t /*streamIndex*/,
                                          uint32_t /*streamFlags*/, int64_t timestamp,
                                          std::shared_ptr<Sample> sample) {
    std::lock_guard<std::mutex> guard(m_lock);
    // A failed read ends capture: nothing more is requested.
    if (failed(status)) return status;
    // Closed while this frame was on its way.
    if (!m_reader || m_queue == nullptr) return S_OK;
    if (sample) {
        m_arrivals.onFrame(sample->sequence());
        WorkSlot* slot = m_queue->grabEmpty();
        if (slot == nullptr) {
            m_poolFull.fetch_add(1, std::memory_order_relaxed);
        } else {
            std::shared_ptr<MediaBuffer> buffer;
            const int32_t hr = sample->convertToContiguousBuffer(&buffer);
            if (failed(hr) || !buffer) {
                m_queue->release(slot);
                return failed(hr) ? hr : E_FAIL;
            }
            uint8_t* data = nullptr;
            uint32_t length = 0;
            if (succeeded(buffer->lock(&data, nullptr, &length))) {
                const FastMem* pool = m_queue->memoryPool();
                const size_t capacity =
                    pool != nullptr ? pool->getBlockSize() - WorkSlot::sizeInBytes() : 0;
                std::memcpy(slot->data(), data, std::min<size_t>(length, capacity));
                buffer->unlock();
            }
            writeStamp(slot, FrameStamp{sample->sequence(), timestamp});
            m_queue->add(slot);
        }
    }
    return m_reader->readSample(m_streamIndex, 0, nullptr, nullptr, nullptr, nullptr);
}

std::optional<std::string> CaptureSourceReader::symbolicLink() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_link;
}

uint32_t CaptureSourceReader::streamIndex() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_streamIndex;
}

bool CaptureSourceReader::isOpenDevice(const DeviceChangeEvent& event) const {
    if (event.deviceType != kDbtDevTypDeviceInterface) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    return m_link && sameDeviceLink(event.deviceName, *m_link);
}

void CaptureSourceReader::resetCounters() {
    m_arrivals.reset();
    m_poolFull.store(0, std::memory_order_relaxed);
}

}  // namespace OLK
