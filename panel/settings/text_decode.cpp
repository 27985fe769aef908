#include "text_decode.h"

#include <cstdint>

namespace TVR {
namespace {

// Length of the valid UTF-8 sequence at the start of `s`, 0 when there is none. Overlong
// forms, surrogates and code points above U+10FFFF are not valid.
size_t validSequence(std::string_view s) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    const uint8_t b0 = byte(0);
    if (b0 < 0x80) return 1;
    size_t length = 0;
    uint32_t cp = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (byte(i) & 0x3F);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000)) return 0;
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
    return length;
}

}  // namespace

std::string decodeUtf8OrLatin1(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t n = validSequence(bytes.substr(i));
        if (n > 0) {
            out.append(bytes.substr(i, n));
            i += n;
            continue;
        }
        const auto b = static_cast<uint8_t>(bytes[i]);
        out.push_back(static_cast<char>(0xC0 | b >> 6));
        out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        ++i;
    }
    return out;
}

}  // namespace TVR
