// Feeds OLK_SYNTHETIC texts to the synthetic camera settings parser. A rejected text leaves the
// config exactly as it was; an accepted one is written back in canonical form and parses again
// to the same config, with every mode inside the documented limits.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "media/synthetic/synthetic_config.h"

namespace {

using OLK::SyntheticConfig;
using OLK::SyntheticMode;

const char* formatName(const OLK::GUID& subtype) {
    if (subtype == OLK::MFVideoFormat_YUY2) return "YUY2";
    if (subtype == OLK::MFVideoFormat_NV12) return "NV12";
    if (subtype == OLK::MFVideoFormat_RGB24) return "RGB24";
    if (subtype == OLK::MFVideoFormat_RGB32) return "RGB32";
    if (subtype == OLK::MFVideoFormat_MJPG) return "MJPG";
    return nullptr;
}

bool sameConfig(const SyntheticConfig& a, const SyntheticConfig& b) {
    if (a.cameras != b.cameras || a.videoInfoDuplicates != b.videoInfoDuplicates ||
        a.streams != b.streams || a.microphones != b.microphones || a.name != b.name ||
        a.modes.size() != b.modes.size()) {
        return false;
    }
    for (size_t i = 0; i < a.modes.size(); ++i) {
        const SyntheticMode& x = a.modes[i];
        const SyntheticMode& y = b.modes[i];
        if (x.width != y.width || x.height != y.height || x.fps != y.fps ||
            x.subtype != y.subtype) {
            return false;
        }
    }
    return true;
}

std::string canonical(const SyntheticConfig& c) {
    std::string t = "cameras=" + std::to_string(c.cameras);
    t += ";videoinfo=" + std::string(c.videoInfoDuplicates ? "1" : "0");
    t += ";streams=" + std::to_string(c.streams);
    t += ";mics=" + std::to_string(c.microphones);
    t += ";name=" + c.name;
    if (!c.modes.empty()) {
        t += ";modes=";
        for (size_t i = 0; i < c.modes.size(); ++i) {
            const SyntheticMode& m = c.modes[i];
            if (i > 0) t += ',';
            t += std::to_string(m.width) + "x" + std::to_string(m.height) + "@" +
                 std::to_string(m.fps) + ":" + formatName(m.subtype);
        }
    }
    return t;
}

// A config unlike the defaults, so that a partial update on failure shows.
SyntheticConfig startingConfig() {
    SyntheticConfig c;
    c.cameras = 3;
    c.modes = {{320, 240, 30, OLK::MFVideoFormat_NV12}};
    c.videoInfoDuplicates = false;
    c.streams = 2;
    c.microphones = 1;
    c.name = "before";
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const SyntheticConfig before = startingConfig();
    SyntheticConfig config = before;
    std::string error;
    if (!SyntheticConfig::parse(text, &config, &error)) {
        FUZZ_CHECK(sameConfig(config, before));
        FUZZ_CHECK(error.starts_with("bad synthetic camera setting: "));
        SyntheticConfig quiet = before;
        FUZZ_CHECK(!SyntheticConfig::parse(text, &quiet, nullptr));
        return 0;
    }
    FUZZ_CHECK(config.cameras <= 16);
    FUZZ_CHECK(config.streams >= 1 && config.streams <= 4);
    FUZZ_CHECK(config.microphones <= 4);
    FUZZ_CHECK(!config.name.empty());
    for (const SyntheticMode& m : config.modes) {
        FUZZ_CHECK(formatName(m.subtype) != nullptr);
        FUZZ_CHECK(m.width >= 2 && m.width <= 8192 && m.width % 2 == 0);
        FUZZ_CHECK(m.height >= 2 && m.height <= 8192);
        FUZZ_CHECK(m.subtype != OLK::MFVideoFormat_NV12 || m.height % 2 == 0);
        FUZZ_CHECK(m.fps >= 1 && m.fps <= 10000);
    }
    FUZZ_CHECK(!config.effectiveModes().empty());

    SyntheticConfig reparsed;
    std::string error2;
    FUZZ_CHECK(SyntheticConfig::parse(canonical(config), &reparsed, &error2));
    FUZZ_CHECK(sameConfig(config, reparsed));
    return 0;
}
