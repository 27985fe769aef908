#include "media/device_info.h"

#include <sstream>

#include "media/media_util.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"

namespace OLK {

DeviceInfo::DeviceInfo(Activate* activate) {
    if (activate == nullptr) return;
    m_friendlyName = prop2str(activate, MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME);
    std::shared_ptr<MediaSource> source;
    if (failed(activate->activateObject(&source)) || !source ||
        failed(source->createPresentationDescriptor(&m_pd)) || !m_pd) {
        // "Failed to setup an MMF source descriptor": create() gives an empty pointer.
        m_pd.reset();
        return;
    }
    activate->getGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, &m_sourceType);
    m_pd->getStreamDescriptorCount(&m_streamCount);
    m_valid = true;
}

DeviceInfo::~DeviceInfo() = default;

std::shared_ptr<DeviceInfo> DeviceInfo::create(Activate* activate) {
    if (activate == nullptr) return nullptr;
    GUID sourceType = GUID_NULL;
    if (failed(activate->getGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, &sourceType))) return nullptr;
    std::shared_ptr<DeviceInfo> info;
    if (sourceType == MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID) {
        info = std::make_shared<DeviceInfoVideo>(activate);
    } else if (sourceType == MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_AUDCAP_GUID) {
        info = std::make_shared<DeviceInfoAudio>(activate);
    } else {
        return nullptr;
    }
    if (!info->isValid()) return nullptr;
    info->redoStream(0);
    return info;
}

bool DeviceInfo::isVideo() const {
    return m_sourceType == MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID;
}

bool DeviceInfo::isAudio() const {
    return m_sourceType == MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_AUDCAP_GUID;
}

void DeviceInfo::selectStream(uint32_t index) {
    if (index != m_selectedStream) redoStream(index);
}

void DeviceInfo::redoStream(uint32_t index) {
    if (!m_pd) return;
    m_sd.reset();
    bool selected = false;
    if (failed(m_pd->getStreamDescriptorByIndex(index, &selected, &m_sd)) || !m_sd) {
        m_sd.reset();
        return;
    }
    m_streamSelected = selected;
    std::shared_ptr<MediaTypeHandler> handler;
    if (failed(m_sd->getMediaTypeHandler(&handler)) || !handler) return;
    m_selectedStream = index;
    m_modes.reset();
    if (isAudio()) {
        m_modes = std::make_unique<LsAudioModes>(handler.get());
    } else if (isVideo()) {
        m_modes = std::make_unique<LsVideoModes>(handler.get());
    }
}

uint32_t DeviceInfo::getModesCount() const { return m_modes ? m_modes->getCount() : 0; }

std::string DeviceInfo::getDescription(uint32_t index) const {
    return m_modes->getDescription(index);
}

const MediaType* DeviceInfo::getOlkMT(uint32_t index) const { return m_modes->getMT(index); }

std::shared_ptr<Attributes> DeviceInfo::getMT(uint32_t index) const {
    return m_modes->accessIMT(index);
}

void DeviceInfo::prune(const GUID& subtype) {
    if (auto* video = dynamic_cast<LsVideoModes*>(m_modes.get())) video->prune(subtype);
}

void DeviceInfo::pruneCompressedFormats() {
    const GUID compressed[] = {MFVideoFormat_MJPG, MFVideoFormat_MPG1, MFVideoFormat_MPEG2,
                               MFVideoFormat_H263, MFVideoFormat_H264, MFVideoFormat_H264_ES,
                               MFVideoFormat_H265};
    for (const GUID& subtype : compressed) prune(subtype);
}

DeviceInfo::operator std::string() const {
    std::ostringstream out;
    out << m_friendlyName << "\n";
    if (m_streamCount > 1) {
        out << "Stream[" << m_selectedStream << "] "
            << "(" << (m_streamSelected ? "selected" : "inactive") << "): "
            << "\n";
    }
    return out.str();
}

DeviceInfoVideo::DeviceInfoVideo(Activate* activate) : DeviceInfo(activate) {
    if (isValid()) {
        m_deviceLink = prop2str(activate, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK);
    }
}

DeviceInfoVideo::operator std::string() const {
    std::string text = DeviceInfo::operator std::string() + "Device: " + m_deviceLink + "\n";
    if (m_modes) text += std::string(*m_modes);
    return text;
}

void DeviceInfoVideo::prune() {
    if (auto* video = dynamic_cast<LsVideoModes*>(m_modes.get())) video->prune();
}

DeviceInfoAudio::DeviceInfoAudio(Activate* activate) : DeviceInfo(activate) {
    if (isValid()) {
        m_deviceLink = prop2str(activate, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_AUDCAP_ENDPOINT_ID);
    }
}

DeviceInfoAudio::operator std::string() const {
    std::string text =
        DeviceInfo::operator std::string() + "Audio endpoint: " + m_deviceLink + "\n";
    if (m_modes) text += std::string(*m_modes);
    return text;
}

void DeviceInfoAudio::prune() {}

}  // namespace OLK
