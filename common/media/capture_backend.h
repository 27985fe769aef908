#pragma once

// Where capture devices come from: V4L2 nodes, or synthetic cameras when OLK_SYNTHETIC is set
// (or a SyntheticBackend is made in code).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/media_objects.h"
#include "olk_export.h"

namespace OLK {

class OLK_EXPORT CaptureBackend {
public:
    virtual ~CaptureBackend();
    // The devices of a source type (MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID or
    // _AUDCAP_GUID), in a stable order.
    virtual int32_t enumDevices(const GUID& sourceType,
                                std::vector<std::shared_ptr<Activate>>* devices) = 0;
    // Receives plug and unplug events, on whichever thread notices them.
    virtual void setDeviceChangeListener(
        std::function<void(const DeviceChangeEvent&)> listener) = 0;
    virtual std::string name() const = 0;
};

// Synthetic cameras when the OLK_SYNTHETIC environment variable is set (its value is the
// camera settings; a bad value falls back to the defaults), V4L2 otherwise.
OLK_EXPORT std::shared_ptr<CaptureBackend> makeCaptureBackend();
// V4L2 capture nodes below a device folder (normally /dev).
OLK_EXPORT std::shared_ptr<CaptureBackend> makeV4l2Backend(const std::string& deviceDir = "/dev");

}  // namespace OLK
