#pragma once

// Settings of the synthetic capture devices, in code or from the OLK_SYNTHETIC text, for example
// "cameras=1;modes=1920x1080@240:YUY2,640x480@480:NV12;videoinfo=0".

#include <cstdint>
#include <string>
#include <vector>

#include "olk_export.h"
#include "olk_guid.h"

namespace OLK {

struct SyntheticMode {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t fps = 0;
    GUID subtype = GUID_NULL;
};

struct OLK_EXPORT SyntheticConfig {
    uint32_t cameras = 1;
    // Empty: the default set (four sizes in YUY2, NV12, RGB24 and RGB32, plus one MJPG mode).
    std::vector<SyntheticMode> modes;
    // Each mode is advertised twice, with FORMAT_VideoInfo2 and then FORMAT_VideoInfo.
    bool videoInfoDuplicates = true;
    uint32_t streams = 1;
    uint32_t microphones = 0;
    std::string name = "Tavro synthetic camera";
    // Frames the camera holds for a late reader, as a driver's buffer queue does; older ones
    // are lost and the numbering skips them. 0: the camera waits for its reader.
    uint32_t buffers = 0;

    // Keys: cameras (0-16), modes (WxH@FPS:FORMAT, comma separated; formats YUY2, NV12,
    // RGB24, RGB32, MJPG), videoinfo (0/1), streams (1-4), mics (0-4), name, buffers (0-64). On failure the
    // config is unchanged and error names the offending item.
    static bool parse(const std::string& text, SyntheticConfig* config, std::string* error);
    static std::vector<SyntheticMode> defaultModes();
    std::vector<SyntheticMode> effectiveModes() const;
};

}  // namespace OLK
