#include "media/media_type.h"

#include <cmath>
#include <iomanip>
#include <sstream>

#include "media/guid_names.h"
#include "media/media_util.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"

namespace OLK {
namespace {

constexpr float kRatioTolerance = 0.001f;

}  // namespace

Ratio::Ratio(const Attributes* mediaType, const GUID& key) {
    uint32_t num = 0;
    uint32_t den = 0;
    if (mediaType != nullptr && mediaType->getPair(key, &num, &den) == S_OK) {
        numerator = num;
        denominator = den;
    }
}

Ratio::operator float() const {
    if (denominator == 0) return 0.0f;
    return static_cast<float>(numerator) / static_cast<float>(denominator);
}

Ratio::operator int() const {
    if (denominator == 0) return 0;
    return static_cast<int>(numerator / denominator);
}

bool Ratio::operator==(const Ratio& other) const {
    return std::fabs(static_cast<float>(*this) - static_cast<float>(other)) < kRatioTolerance;
}

bool Ratio::operator!=(const Ratio& other) const { return !(*this == other); }

bool Ratio::operator<(const Ratio& other) const {
    return static_cast<float>(*this) < static_cast<float>(other);
}

bool Ratio::operator>(const Ratio& other) const { return !(*this == other) && !(*this < other); }

Ratio::operator std::string() const {
    std::ostringstream out;
    if (denominator == 1) {
        out << numerator;
    } else if (denominator >= 30) {
        out << std::fixed << std::setprecision(1) << static_cast<float>(*this);
    } else {
        out << numerator << "x" << denominator;
    }
    return out.str();
}

FrameSize::FrameSize(const Attributes* mediaType, const GUID& key) {
    uint32_t w = 0;
    uint32_t h = 0;
    if (mediaType != nullptr && mediaType->getPair(key, &w, &h) == S_OK) {
        width = w;
        height = h;
    }
}

bool FrameSize::operator==(const FrameSize& other) const {
    return width == other.width && height == other.height;
}

bool FrameSize::operator<(const FrameSize& other) const {
    return width * height < other.width * other.height;
}

MediaType::MediaType(std::shared_ptr<Attributes> mediaType)
    : m_subtype(GUID_NULL), m_mediaType(std::move(mediaType)) {
    if (m_mediaType) m_mediaType->getGUID(MF_MT_SUBTYPE, &m_subtype);
}

MediaType::~MediaType() = default;

bool MediaType::operator==(const MediaType& other) const { return m_subtype == other.m_subtype; }

bool MediaType::operator<(const MediaType& other) const {
    // Each field on its own rather than lexicographically, as mode lists have always sorted.
    return m_subtype.Data1 < other.m_subtype.Data1 || m_subtype.Data2 < other.m_subtype.Data2 ||
           m_subtype.Data3 < other.m_subtype.Data3;
}

MediaType::operator std::string() const { return {}; }

MediaTypeVideo::MediaTypeVideo(std::shared_ptr<Attributes> mediaType)
    : MediaType(std::move(mediaType)) {
    const Attributes* mt = m_mediaType.get();
    m_frameRate = Ratio(mt, MF_MT_FRAME_RATE);
    m_frameRateMin = Ratio(mt, MF_MT_FRAME_RATE_RANGE_MIN);
    m_frameRateMax = Ratio(mt, MF_MT_FRAME_RATE_RANGE_MAX);
    m_frameSize = FrameSize(mt, MF_MT_FRAME_SIZE);
    m_pixelAspect = Ratio(mt, MF_MT_PIXEL_ASPECT_RATIO);
    if (mt == nullptr) {
        m_sampleSize = 0;
        return;
    }
    if (mt->getUINT32(MF_MT_AVG_BITRATE, &m_bitRate) != S_OK) m_bitRate = 0;

    GUID formatType = GUID_NULL;
    m_discardable =
        mt->getGUID(MF_MT_AM_FORMAT_TYPE, &formatType) == S_OK && formatType == FORMAT_VideoInfo;

    uint32_t interlace = 0;
    if (mt->getUINT32(MF_MT_INTERLACE_MODE, &interlace) == S_OK) {
        if (interlace == InterlaceMode::kProgressive) {
            m_interlaced = false;
        } else if (interlace >= InterlaceMode::kFieldInterleavedUpperFirst &&
                   interlace <= InterlaceMode::kMixedInterlaceOrProgressive) {
            m_interlaced = true;
        }
    }

    uint32_t stride = 0;
    if (mt->getUINT32(MF_MT_DEFAULT_STRIDE, &stride) == S_OK) {
        m_defaultStride = static_cast<int32_t>(stride);
    } else if (!strideForFourCC(m_subtype.Data1, m_frameSize.width, &m_defaultStride)) {
        m_defaultStride = 0;
    }

    if (mt->getUINT32(MF_MT_SAMPLE_SIZE, &m_sampleSize) != S_OK) {
        m_sampleSize = m_frameSize.width * m_frameSize.height * 3;
    }
}

bool MediaTypeVideo::operator==(const MediaType& other) const {
    const auto* video = dynamic_cast<const MediaTypeVideo*>(&other);
    if (video == nullptr) return false;
    return m_subtype == video->m_subtype && m_frameSize == video->m_frameSize &&
           std::fabs(static_cast<float>(m_frameRate) - static_cast<float>(video->m_frameRate)) <
               kRatioTolerance &&
           m_bitRate == video->m_bitRate && m_interlaced == video->m_interlaced;
}

bool MediaTypeVideo::operator<(const MediaType& other) const {
    const auto* video = dynamic_cast<const MediaTypeVideo*>(&other);
    if (video == nullptr) return false;
    if (m_frameSize < video->m_frameSize) return true;
    if (m_frameSize == video->m_frameSize) {
        return static_cast<float>(m_frameRate) < static_cast<float>(video->m_frameRate);
    }
    return false;
}

Ratio MediaTypeVideo::limit(Ratio rate) const {
    Ratio lo = (rate == m_frameRateMin || rate < m_frameRateMin) ? m_frameRateMin : rate;
    return m_frameRateMax > lo ? lo : m_frameRateMax;
}

MediaTypeVideo::operator std::string() const {
    std::ostringstream out;
    out << std::fixed << std::setprecision(2)
        << static_cast<double>(m_frameSize.width * m_frameSize.height) / 1000000.0 << " MP "
        << " @ " << std::string(m_frameRate) << " (" << std::string(m_frameRateMin) << "-"
        << std::string(m_frameRateMax) << ")"
        << " FPS " << guid2str(m_subtype) << " " << m_frameSize.width << " x " << m_frameSize.height
        << ", AR " << m_pixelAspect.numerator << "x" << m_pixelAspect.denominator << ", "
        << outputLargeInt(m_bitRate / 8) << "B/s";
    if (m_interlaced) out << " ---INTERLACED---";
    out << "\n";
    return out.str();
}

MediaTypeAudio::MediaTypeAudio(std::shared_ptr<Attributes> mediaType)
    : MediaType(std::move(mediaType)) {
    if (!m_mediaType || m_mediaType->getUINT32(MF_MT_AUDIO_NUM_CHANNELS, &m_channels) != S_OK) {
        m_channels = 0;
    }
}

bool MediaTypeAudio::operator==(const MediaType& other) const {
    const auto* audio = dynamic_cast<const MediaTypeAudio*>(&other);
    return audio != nullptr && m_subtype == audio->m_subtype && m_channels == audio->m_channels;
}

bool MediaTypeAudio::operator<(const MediaType& other) const {
    const auto* audio = dynamic_cast<const MediaTypeAudio*>(&other);
    return audio != nullptr && m_channels < audio->m_channels;
}

MediaTypeAudio::operator std::string() const {
    std::ostringstream out;
    out << guid2str(m_subtype) << " format, Audio channels: " << m_channels << "\n";
    return out.str();
}

}  // namespace OLK
