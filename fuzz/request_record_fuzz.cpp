// The driver request record header and the UTF-8/UTF-16 conversions of descriptor and driver
// text. The first byte chooses the part. Headers re-encode to the bytes they were decoded from;
// field access at any offset, counted from either end of the buffer, stays inside it; text
// conversions always give well-formed text and round-trip whatever was well-formed.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "usb/request_record.h"
#include "usb/utf_text.h"

namespace {

bool sameHeader(const TVR::RequestHeader& a, const TVR::RequestHeader& b) {
    return a.bmRequestType == b.bmRequestType && a.bRequest == b.bRequest && a.wValue == b.wValue &&
           a.wIndex == b.wIndex && a.wLength == b.wLength && a.timeoutSec == b.timeoutSec &&
           a.reserved == b.reserved && a.endpoint == b.endpoint && a.ntStatus == b.ntStatus &&
           a.usbStatus == b.usbStatus && a.isoPacketOffset == b.isoPacketOffset &&
           a.isoPacketLength == b.isoPacketLength && a.bufferOffset == b.bufferOffset &&
           a.bufferLength == b.bufferLength;
}

// An offset from the start, or one counted back from the end (which may wrap below zero).
size_t hostileOffset(FuzzedDataProvider& in, size_t size) {
    const auto distance = in.ConsumeIntegral<uint8_t>();
    return in.ConsumeBool() ? distance : size - distance;
}

void checkRecord(FuzzedDataProvider& in) {
    const size_t offsets = in.ConsumeIntegralInRange<size_t>(0, 8);
    std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();
    const size_t n = bytes.size();
    // Exactly the record's size on the heap: no slack for an overrun to land in.
    const auto buffer = std::make_unique<uint8_t[]>(n);
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    const std::span<uint8_t> rec(buffer.get(), n);

    TVR::RequestHeader h;
    h.wValue = 0x1234;
    const TVR::RequestHeader untouched = h;
    if (!TVR::decodeRequestHeader(rec, h)) {
        FUZZ_CHECK(n < TVR::Rec::kHeaderSize);
        FUZZ_CHECK(sameHeader(h, untouched));
        TVR::encodeRequestHeader(h, rec);  // too short: nothing written
        FUZZ_CHECK(std::equal(bytes.begin(), bytes.end(), buffer.get()));
    } else {
        std::vector<uint8_t> encoded(TVR::Rec::kHeaderSize + 3, 0xA5);
        TVR::encodeRequestHeader(h, encoded);
        FUZZ_CHECK(
            std::equal(encoded.begin(), encoded.begin() + TVR::Rec::kHeaderSize, rec.begin()));
        FUZZ_CHECK(encoded[TVR::Rec::kHeaderSize] == 0xA5);
        TVR::RequestHeader again;
        FUZZ_CHECK(TVR::decodeRequestHeader(encoded, again) && sameHeader(again, h));
    }

    // Field access at hostile offsets: zero or nothing past the end, the bytes inside it.
    FuzzedDataProvider at(bytes.data(), std::min<size_t>(bytes.size(), 2 * offsets));
    for (size_t i = 0; i < offsets; ++i) {
        const size_t off = hostileOffset(at, n);
        const bool fits16 = off <= n && n - off >= 2;
        const bool fits32 = off <= n && n - off >= 4;
        const uint16_t v16 = TVR::getLe16(rec, off);
        const uint32_t v32 = TVR::getLe32(rec, off);
        FUZZ_CHECK(fits16 || v16 == 0);
        FUZZ_CHECK(fits32 || v32 == 0);
        if (fits16) FUZZ_CHECK(v16 == (rec[off] | rec[off + 1] << 8));
        TVR::putLe16(rec, off, 0xBEEF);
        if (fits16) FUZZ_CHECK(TVR::getLe16(rec, off) == 0xBEEF);
        TVR::putLe32(rec, off, 0xCAFEF00D);
        if (fits32) FUZZ_CHECK(TVR::getLe32(rec, off) == 0xCAFEF00D);
    }
}

void checkTimeout(FuzzedDataProvider& in) {
    const auto ms = in.ConsumeIntegral<uint64_t>();
    const uint32_t s = TVR::timeoutSeconds(ms);
    const uint64_t exact = ms / 1000 + (ms % 1000 != 0);
    FUZZ_CHECK(s == std::min<uint64_t>(exact, std::numeric_limits<uint32_t>::max()));
}

bool wellFormedUtf16(std::u16string_view t) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] >= 0xD800 && t[i] <= 0xDBFF) {
            if (i + 1 >= t.size() || t[i + 1] < 0xDC00 || t[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (t[i] >= 0xDC00 && t[i] <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

void checkText(std::span<const uint8_t> bytes) {
    const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::u16string wide = TVR::utf8ToUtf16(text);
    FUZZ_CHECK(wellFormedUtf16(wide));
    const std::string narrow = TVR::utf16ToUtf8(wide);
    FUZZ_CHECK(TVR::isValidUtf8(narrow));
    FUZZ_CHECK(TVR::utf8ToUtf16(narrow) == wide);
    if (TVR::isValidUtf8(text)) FUZZ_CHECK(narrow == text);

    const std::string driver = TVR::widenDriverText(text);
    FUZZ_CHECK(TVR::isValidUtf8(driver));
    FUZZ_CHECK(!TVR::isValidUtf8(text) || driver == text);

    // The same bytes as UTF-16 code units, as a string descriptor carries them.
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * 2);
    const std::string fromUnits = TVR::utf16ToUtf8(units);
    FUZZ_CHECK(TVR::isValidUtf8(fromUnits));
    if (wellFormedUtf16(units)) FUZZ_CHECK(TVR::utf8ToUtf16(fromUnits) == units);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    FuzzedDataProvider in(rest.data(), rest.size());
    switch (data[0] % 3) {
        case 0:
            checkRecord(in);
            break;
        case 1:
            checkTimeout(in);
            break;
        default:
            checkText(rest);
            break;
    }
    return 0;
}
