#include "media/ls_media_type.h"

#include <sstream>

#include "media/mf_guids.h"
#include "media/mf_result.h"

namespace OLK {

LsMediaType::~LsMediaType() = default;

LsMediaType::operator std::string() const {
    std::ostringstream out;
    out << "Major media type: ";
    if (m_majorType == MFMediaType_Audio) {
        out << "Audio";
    } else if (m_majorType == MFMediaType_Image) {
        out << "Still image stream";
    } else if (m_majorType == MFMediaType_Video) {
        out << "Video";
    } else {
        out << "Other type (one of 7)";
    }
    out << "\n";
    return out.str();
}

void LsMediaType::_populateMTs(const MediaTypeHandler* handler) {
    if (handler == nullptr) return;
    uint32_t count = 0;
    if (failed(handler->getMajorType(&m_majorType)) || failed(handler->getMediaTypeCount(&count))) {
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        std::shared_ptr<Attributes> type;
        if (succeeded(handler->getMediaTypeByIndex(i, &type)) && type) appendMT(std::move(type));
    }
}

namespace {

bool hasMajorType(const Attributes& type, const GUID& major) {
    GUID value = GUID_NULL;
    return type.getGUID(MF_MT_MAJOR_TYPE, &value) == S_OK && value == major;
}

}  // namespace

LsVideoModes::LsVideoModes(const MediaTypeHandler* handler) { _populateMTs(handler); }

void LsVideoModes::appendMT(std::shared_ptr<Attributes> mediaType) {
    if (hasMajorType(*mediaType, MFMediaType_Video)) m_modes.emplace_back(std::move(mediaType));
}

LsVideoModes::operator std::string() const {
    std::ostringstream out;
    out << LsMediaType::operator std::string() << "Advertised media formats: " << m_modes.size()
        << "\n";
    for (const MediaTypeVideo& mode : m_modes) out << "  " << std::string(mode);
    return out.str();
}

uint32_t LsVideoModes::getCount() const { return static_cast<uint32_t>(m_modes.size()); }

std::string LsVideoModes::getDescription(uint32_t index) const { return m_modes[index]; }

const MediaType* LsVideoModes::getMT(uint32_t index) const { return &m_modes[index]; }

std::shared_ptr<Attributes> LsVideoModes::accessIMT(uint32_t index) const {
    return m_modes[index].mediaType();
}

void LsVideoModes::prune() {
    std::vector<MediaTypeVideo> kept;
    kept.reserve(m_modes.size());
    for (size_t i = 0; i < m_modes.size(); ++i) {
        bool duplicated = false;
        if (m_modes[i].isDiscardable()) {
            for (size_t j = 0; j < m_modes.size() && !duplicated; ++j) {
                duplicated = j != i && !m_modes[j].isDiscardable() &&
                             static_cast<const MediaType&>(m_modes[j]) == m_modes[i];
            }
        }
        if (!duplicated) kept.push_back(m_modes[i]);
    }
    m_modes = std::move(kept);
}

void LsVideoModes::prune(const GUID& subtype) {
    std::vector<MediaTypeVideo> kept;
    kept.reserve(m_modes.size());
    for (const MediaTypeVideo& mode : m_modes) {
        if (!mode.is(subtype)) kept.push_back(mode);
    }
    m_modes = std::move(kept);
}

LsAudioModes::LsAudioModes(const MediaTypeHandler* handler) { _populateMTs(handler); }

void LsAudioModes::appendMT(std::shared_ptr<Attributes> mediaType) {
    if (hasMajorType(*mediaType, MFMediaType_Audio)) m_modes.emplace_back(std::move(mediaType));
}

LsAudioModes::operator std::string() const {
    std::ostringstream out;
    out << LsMediaType::operator std::string() << "Advertised media formats: " << m_modes.size()
        << "\n";
    for (const MediaTypeAudio& mode : m_modes) out << " " << std::string(mode);
    return out.str();
}

uint32_t LsAudioModes::getCount() const { return static_cast<uint32_t>(m_modes.size()); }

std::string LsAudioModes::getDescription(uint32_t index) const { return m_modes[index]; }

const MediaType* LsAudioModes::getMT(uint32_t index) const { return &m_modes[index]; }

std::shared_ptr<Attributes> LsAudioModes::accessIMT(uint32_t index) const {
    return m_modes[index].mediaType();
}

}  // namespace OLK
