#pragma once

// The list of modes one stream advertises, in the device's order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/media_objects.h"
#include "media/media_type.h"
#include "olk_export.h"

namespace OLK {

class OLK_EXPORT LsMediaType {
public:
    LsMediaType() = default;
    LsMediaType(const LsMediaType&) = default;
    LsMediaType& operator=(const LsMediaType&) = default;
    virtual ~LsMediaType();

    virtual operator std::string() const;
    virtual uint32_t getCount() const = 0;
    virtual std::string getDescription(uint32_t index) const = 0;
    virtual const MediaType* getMT(uint32_t index) const = 0;
    virtual std::shared_ptr<Attributes> accessIMT(uint32_t index) const = 0;

    const GUID& majorType() const { return m_majorType; }

protected:
    virtual void appendMT(std::shared_ptr<Attributes> mediaType) = 0;
    // Reads the handler's major type and every media type it offers.
    void _populateMTs(const MediaTypeHandler* handler);

    GUID m_majorType = GUID_NULL;
};

class OLK_EXPORT LsVideoModes : public LsMediaType {
public:
    explicit LsVideoModes(const MediaTypeHandler* handler);

    operator std::string() const override;
    uint32_t getCount() const override;
    std::string getDescription(uint32_t index) const override;
    const MediaType* getMT(uint32_t index) const override;
    std::shared_ptr<Attributes> accessIMT(uint32_t index) const override;

    // Drops FORMAT_VideoInfo modes that are also advertised with another format block.
    void prune();
    // Drops every mode of the subtype.
    void prune(const GUID& subtype);

protected:
    void appendMT(std::shared_ptr<Attributes> mediaType) override;

private:
    std::vector<MediaTypeVideo> m_modes;
};

class OLK_EXPORT LsAudioModes : public LsMediaType {
public:
    explicit LsAudioModes(const MediaTypeHandler* handler);

    operator std::string() const override;
    uint32_t getCount() const override;
    std::string getDescription(uint32_t index) const override;
    const MediaType* getMT(uint32_t index) const override;
    std::shared_ptr<Attributes> accessIMT(uint32_t index) const override;

protected:
    void appendMT(std::shared_ptr<Attributes> mediaType) override;

private:
    std::vector<MediaTypeAudio> m_modes;
};

}  // namespace OLK
