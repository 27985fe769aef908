#include "media/synthetic/synthetic_config.h"

#include <charconv>
#include <string_view>

#include "media/mf_guids.h"

namespace OLK {
namespace {

constexpr uint32_t kMaxCameras = 16;
constexpr uint32_t kMaxStreams = 4;
constexpr uint32_t kMaxMicrophones = 4;
constexpr uint32_t kMaxDimension = 8192;
constexpr uint32_t kMaxFps = 10000;
constexpr uint32_t kMaxBuffers = 64;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool parseNumber(std::string_view s, uint32_t lo, uint32_t hi, uint32_t* out) {
    s = trim(s);
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return false;
    if (value < lo || value > hi) return false;
    *out = value;
    return true;
}

bool parseSubtype(std::string_view s, GUID* out) {
    struct Name {
        const char* text;
        GUID guid;
    };
    static constexpr Name kNames[] = {{"YUY2", MFVideoFormat_YUY2},
                                      {"NV12", MFVideoFormat_NV12},
                                      {"RGB24", MFVideoFormat_RGB24},
                                      {"RGB32", MFVideoFormat_RGB32},
                                      {"MJPG", MFVideoFormat_MJPG}};
    s = trim(s);
    for (const Name& n : kNames) {
        if (s == n.text) {
            *out = n.guid;
            return true;
        }
    }
    return false;
}

// WxH@FPS:FORMAT
bool parseMode(std::string_view s, SyntheticMode* mode) {
    size_t x = s.find('x');
    size_t at = s.find('@');
    size_t colon = s.find(':');
    if (x == std::string_view::npos || at == std::string_view::npos ||
        colon == std::string_view::npos || !(x < at && at < colon)) {
        return false;
    }
    SyntheticMode m;
    if (!parseNumber(s.substr(0, x), 2, kMaxDimension, &m.width) ||
        !parseNumber(s.substr(x + 1, at - x - 1), 2, kMaxDimension, &m.height) ||
        !parseNumber(s.substr(at + 1, colon - at - 1), 1, kMaxFps, &m.fps) ||
        !parseSubtype(s.substr(colon + 1), &m.subtype)) {
        return false;
    }
    // Packed and planar YUV need pairs of pixels (and NV12 pairs of rows).
    if (m.width % 2 != 0 || (m.subtype == MFVideoFormat_NV12 && m.height % 2 != 0)) return false;
    *mode = m;
    return true;
}

}  // namespace

std::vector<SyntheticMode> SyntheticConfig::defaultModes() {
    struct Size {
        uint32_t w, h, fps;
    };
    static constexpr Size kSizes[] = {
        {640, 480, 480}, {1280, 720, 240}, {1920, 1080, 120}, {1920, 1080, 240}};
    const GUID formats[] = {MFVideoFormat_YUY2, MFVideoFormat_NV12, MFVideoFormat_RGB24,
                            MFVideoFormat_RGB32};
    std::vector<SyntheticMode> modes;
    for (const GUID& format : formats) {
        for (const Size& size : kSizes) modes.push_back({size.w, size.h, size.fps, format});
    }
    modes.push_back({3840, 2160, 30, MFVideoFormat_MJPG});
    return modes;
}

std::vector<SyntheticMode> SyntheticConfig::effectiveModes() const {
    return modes.empty() ? defaultModes() : modes;
}

bool SyntheticConfig::parse(const std::string& text, SyntheticConfig* config, std::string* error) {
    auto fail = [&](std::string_view item) {
        if (error != nullptr) *error = "bad synthetic camera setting: " + std::string(item);
        return false;
    };
    if (config == nullptr) return fail("no config");
    SyntheticConfig result = *config;
    std::string_view rest(text);
    while (!rest.empty()) {
        size_t semi = rest.find(';');
        std::string_view item = trim(rest.substr(0, semi));
        rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
        if (item.empty()) continue;
        size_t eq = item.find('=');
        if (eq == std::string_view::npos) return fail(item);
        std::string_view key = trim(item.substr(0, eq));
        std::string_view value = trim(item.substr(eq + 1));
        uint32_t number = 0;
        if (key == "cameras") {
            if (!parseNumber(value, 0, kMaxCameras, &result.cameras)) return fail(item);
        } else if (key == "streams") {
            if (!parseNumber(value, 1, kMaxStreams, &result.streams)) return fail(item);
        } else if (key == "mics") {
            if (!parseNumber(value, 0, kMaxMicrophones, &result.microphones)) return fail(item);
        } else if (key == "videoinfo") {
            if (!parseNumber(value, 0, 1, &number)) return fail(item);
            result.videoInfoDuplicates = number != 0;
        } else if (key == "buffers") {
            if (!parseNumber(value, 0, kMaxBuffers, &result.buffers)) return fail(item);
        } else if (key == "name") {
            if (value.empty()) return fail(item);
            result.name = std::string(value);
        } else if (key == "modes") {
            result.modes.clear();
            std::string_view list = value;
            while (!list.empty()) {
                size_t comma = list.find(',');
                std::string_view one = trim(list.substr(0, comma));
                list =
                    comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
                SyntheticMode mode;
                if (!parseMode(one, &mode)) return fail(one);
                result.modes.push_back(mode);
            }
            if (result.modes.empty()) return fail(item);
        } else {
            return fail(item);
        }
    }
    *config = result;
    return true;
}

}  // namespace OLK
