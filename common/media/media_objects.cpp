#include "media/media_objects.h"

#include "media/mf_result.h"

namespace OLK {

MediaBuffer::~MediaBuffer() = default;
SourceReaderCallback::~SourceReaderCallback() = default;
SourceReader::~SourceReader() = default;
MediaSource::~MediaSource() = default;

MemoryBuffer::MemoryBuffer(uint32_t maxLength) : m_bytes(maxLength) {}

int32_t MemoryBuffer::lock(uint8_t** data, uint32_t* maxLength, uint32_t* currentLength) {
    if (data == nullptr) return E_POINTER;
    *data = m_bytes.data();
    if (maxLength != nullptr) *maxLength = static_cast<uint32_t>(m_bytes.size());
    if (currentLength != nullptr) *currentLength = m_length;
    return S_OK;
}

int32_t MemoryBuffer::unlock() { return S_OK; }

uint32_t MemoryBuffer::currentLength() const { return m_length; }

int32_t MemoryBuffer::setCurrentLength(uint32_t length) {
    if (length > m_bytes.size()) return E_INVALIDARG;
    m_length = length;
    return S_OK;
}

Sample::Sample(std::shared_ptr<MediaBuffer> buffer, int64_t sampleTime, int64_t sequence)
    : m_buffer(std::move(buffer)), m_time(sampleTime), m_sequence(sequence) {}

int32_t Sample::convertToContiguousBuffer(std::shared_ptr<MediaBuffer>* buffer) const {
    if (buffer == nullptr) return E_POINTER;
    if (!m_buffer) return E_FAIL;
    *buffer = m_buffer;
    return S_OK;
}

MediaTypeHandler::MediaTypeHandler(const GUID& majorType,
                                   std::vector<std::shared_ptr<Attributes>> types)
    : m_majorType(majorType), m_types(std::move(types)) {}

int32_t MediaTypeHandler::getMajorType(GUID* majorType) const {
    if (majorType == nullptr) return E_POINTER;
    *majorType = m_majorType;
    return S_OK;
}

int32_t MediaTypeHandler::getMediaTypeCount(uint32_t* count) const {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<uint32_t>(m_types.size());
    return S_OK;
}

int32_t MediaTypeHandler::getMediaTypeByIndex(uint32_t index,
                                              std::shared_ptr<Attributes>* type) const {
    if (type == nullptr) return E_POINTER;
    if (index >= m_types.size()) return MF_E_NO_MORE_TYPES;
    *type = m_types[index];
    return S_OK;
}

StreamDescriptor::StreamDescriptor(uint32_t identifier, std::shared_ptr<MediaTypeHandler> handler)
    : m_identifier(identifier), m_handler(std::move(handler)) {}

int32_t StreamDescriptor::getMediaTypeHandler(std::shared_ptr<MediaTypeHandler>* handler) const {
    if (handler == nullptr) return E_POINTER;
    if (!m_handler) return E_FAIL;
    *handler = m_handler;
    return S_OK;
}

PresentationDescriptor::PresentationDescriptor(
    std::vector<std::shared_ptr<StreamDescriptor>> streams)
    : m_streams(std::move(streams)), m_selected(m_streams.size(), false) {
    // The first stream is selected by default, as a capture source presents it.
    if (!m_selected.empty()) m_selected[0] = true;
}

int32_t PresentationDescriptor::getStreamDescriptorCount(uint32_t* count) const {
    if (count == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *count = static_cast<uint32_t>(m_streams.size());
    return S_OK;
}

int32_t PresentationDescriptor::getStreamDescriptorByIndex(
    uint32_t index, bool* selected, std::shared_ptr<StreamDescriptor>* stream) const {
    if (selected == nullptr || stream == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    if (index >= m_streams.size()) return E_INVALIDARG;
    *selected = m_selected[index];
    *stream = m_streams[index];
    return S_OK;
}

int32_t PresentationDescriptor::selectStream(uint32_t index) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (index >= m_streams.size()) return E_INVALIDARG;
    m_selected[index] = true;
    return S_OK;
}

int32_t PresentationDescriptor::deselectStream(uint32_t index) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (index >= m_streams.size()) return E_INVALIDARG;
    m_selected[index] = false;
    return S_OK;
}

}  // namespace OLK
