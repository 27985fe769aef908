#include "hsv_colour.h"

#include <algorithm>

namespace TVR {

Rgb hsvToRgb(int hue, int saturation, int value) {
    const int s = std::clamp(saturation, 0, 255);
    const int v = std::clamp(value, 0, 255);
    const auto u8 = [](int x) { return static_cast<uint8_t>(x); };
    if (s == 0) return {u8(v), u8(v), u8(v)};
    // The remainder keeps the sign of a negative hue; one more turn brings it into 0..359.
    const int h = ((hue % 360) + 360) % 360;
    const int f = h % 60;
    const int p = (255 - s) * v / 255;
    const int q = (255 - s * f / 60) * v / 255;
    const int t = (255 - s * (60 - f) / 60) * v / 255;
    switch (h / 60) {
        case 0:
            return {u8(v), u8(t), u8(p)};
        case 1:
            return {u8(q), u8(v), u8(p)};
        case 2:
            return {u8(p), u8(v), u8(t)};
        case 3:
            return {u8(p), u8(q), u8(v)};
        case 4:
            return {u8(t), u8(p), u8(v)};
        default:
            return {u8(v), u8(p), u8(q)};
    }
}

}  // namespace TVR
