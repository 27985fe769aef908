#pragma once

// One advertised mode of a capture stream, read once from its media type, with the comparisons
// and the one-line text that the viewer's mode list shows.

#include <cstdint>
#include <memory>
#include <string>

#include "media/attributes.h"
#include "olk_export.h"
#include "olk_guid.h"

namespace OLK {

// A rational number laid out as the platform packs it into 64 bits (denominator in the low half).
struct OLK_EXPORT Ratio {
    uint32_t denominator = 1;
    uint32_t numerator = 0;

    Ratio() = default;
    Ratio(uint32_t num, uint32_t den) : denominator(den), numerator(num) {}
    // 0/1 when the attribute is missing.
    Ratio(const Attributes* mediaType, const GUID& key);

    // Compared as single-precision quotients; equal within 0.001.
    bool operator==(const Ratio& other) const;
    bool operator!=(const Ratio& other) const;
    bool operator<(const Ratio& other) const;
    bool operator>(const Ratio& other) const;
    explicit operator float() const;
    explicit operator int() const;
    operator std::string() const;
};

struct OLK_EXPORT FrameSize {
    uint32_t height = 0;
    uint32_t width = 0;

    FrameSize() = default;
    FrameSize(uint32_t w, uint32_t h) : height(h), width(w) {}
    // 0 x 0 when the attribute is missing.
    FrameSize(const Attributes* mediaType, const GUID& key);

    bool operator==(const FrameSize& other) const;
    bool operator<(const FrameSize& other) const;  // by area
};

class OLK_EXPORT MediaType {
public:
    explicit MediaType(std::shared_ptr<Attributes> mediaType);
    MediaType(const MediaType&) = default;
    MediaType(MediaType&&) = default;
    MediaType& operator=(const MediaType&) = default;
    MediaType& operator=(MediaType&&) = default;
    virtual ~MediaType();

    virtual bool operator==(const MediaType& other) const;
    virtual bool operator<(const MediaType& other) const;
    virtual operator std::string() const;

    bool is(const GUID& guid) const { return m_subtype == guid; }
    const GUID& subtype() const { return m_subtype; }
    Attributes* accessMT() const { return m_mediaType.get(); }
    const std::shared_ptr<Attributes>& mediaType() const { return m_mediaType; }

protected:
    GUID m_subtype;
    std::shared_ptr<Attributes> m_mediaType;
};

class OLK_EXPORT MediaTypeVideo : public MediaType {
public:
    explicit MediaTypeVideo(std::shared_ptr<Attributes> mediaType);

    bool operator==(const MediaType& other) const override;
    bool operator==(const MediaTypeVideo& other) const {
        return operator==(static_cast<const MediaType&>(other));
    }
    bool operator<(const MediaType& other) const override;
    operator std::string() const override;

    FrameSize frameSize() const { return m_frameSize; }
    bool isDiscardable() const { return m_discardable; }
    int32_t defaultStride() const { return m_defaultStride; }
    uint32_t sampleSize() const { return m_sampleSize; }
    // Clamps a requested rate into the advertised range.
    Ratio limit(Ratio rate) const;

    Ratio frameRate() const { return m_frameRate; }
    Ratio frameRateMin() const { return m_frameRateMin; }
    Ratio frameRateMax() const { return m_frameRateMax; }
    Ratio pixelAspect() const { return m_pixelAspect; }
    uint32_t bitRate() const { return m_bitRate; }
    bool isInterlaced() const { return m_interlaced; }

private:
    Ratio m_frameRate;
    Ratio m_frameRateMin;
    Ratio m_frameRateMax;
    FrameSize m_frameSize;
    Ratio m_pixelAspect;
    uint32_t m_bitRate = 0;
    bool m_discardable = false;
    bool m_interlaced = false;
    int32_t m_defaultStride = 0;
    uint32_t m_sampleSize = 0;
};

class OLK_EXPORT MediaTypeAudio : public MediaType {
public:
    explicit MediaTypeAudio(std::shared_ptr<Attributes> mediaType);

    bool operator==(const MediaType& other) const override;
    bool operator==(const MediaTypeAudio& other) const {
        return operator==(static_cast<const MediaType&>(other));
    }
    bool operator<(const MediaType& other) const override;
    operator std::string() const override;

    uint32_t channels() const { return m_channels; }

private:
    uint32_t m_channels = 0;
};

}  // namespace OLK
