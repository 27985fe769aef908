#pragma once

// A capture device with its streams and the modes of the selected stream. Made by create();
// used from one thread at a time.

#include <cstdint>
#include <memory>
#include <string>

#include "media/ls_media_type.h"
#include "media/media_objects.h"
#include "olk_export.h"

namespace OLK {

class OLK_EXPORT DeviceInfo {
public:
    // A DeviceInfoVideo or DeviceInfoAudio with stream 0 loaded; empty for another source
    // type or when the device cannot be opened.
    static std::shared_ptr<DeviceInfo> create(Activate* activate);

    DeviceInfo(const DeviceInfo&) = delete;
    DeviceInfo& operator=(const DeviceInfo&) = delete;
    virtual ~DeviceInfo();

    virtual operator std::string() const;
    virtual void prune() = 0;
    // Drops every mode of the subtype (video devices).
    void prune(const GUID& subtype);
    void pruneCompressedFormats();

    bool isVideo() const;
    bool isAudio() const;
    uint32_t getStreamCount() const { return m_streamCount; }
    // Reloads only when index is not the selected stream.
    void selectStream(uint32_t index);
    void redoStream(uint32_t index);

    uint32_t getModesCount() const;
    // The three below expect index < getModesCount().
    std::string getDescription(uint32_t index) const;
    const MediaType* getOlkMT(uint32_t index) const;
    std::shared_ptr<Attributes> getMT(uint32_t index) const;

    const std::string& friendlyName() const { return m_friendlyName; }
    const std::string& deviceLink() const { return m_deviceLink; }
    const GUID& sourceType() const { return m_sourceType; }
    uint32_t selectedStream() const { return m_selectedStream; }
    bool streamSelected() const { return m_streamSelected; }
    const LsMediaType* modes() const { return m_modes.get(); }

protected:
    explicit DeviceInfo(Activate* activate);
    bool isValid() const { return m_valid; }

    std::string m_friendlyName;
    GUID m_sourceType = GUID_NULL;
    std::string m_deviceLink;
    uint32_t m_selectedStream = 0;
    uint32_t m_streamCount = 0;
    bool m_streamSelected = false;
    std::shared_ptr<PresentationDescriptor> m_pd;
    std::shared_ptr<StreamDescriptor> m_sd;
    std::unique_ptr<LsMediaType> m_modes;

private:
    bool m_valid = false;
};

class OLK_EXPORT DeviceInfoVideo : public DeviceInfo {
public:
    explicit DeviceInfoVideo(Activate* activate);
    operator std::string() const override;
    void prune() override;
};

class OLK_EXPORT DeviceInfoAudio : public DeviceInfo {
public:
    explicit DeviceInfoAudio(Activate* activate);
    operator std::string() const override;
    void prune() override;
};

}  // namespace OLK
