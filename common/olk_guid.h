#pragma once

// GUIDs as the capture platform lays them out, with the subtype and format identifiers that
// both the media catalogue and the converter need.

#include <array>
#include <compare>
#include <cstdint>

namespace OLK {

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    std::array<uint8_t, 8> Data4{};

    friend constexpr bool operator==(const GUID&, const GUID&) = default;
    // NOLINTNEXTLINE(modernize-use-nullptr): clang-tidy 14 misreads the defaulted comparison.
    friend constexpr auto operator<=>(const GUID&, const GUID&) = default;
};

constexpr uint32_t makeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

// The standard {XXXXXXXX-0000-0010-8000-00AA00389B71} form of a four-character or D3D-format
// subtype.
constexpr GUID subtypeFromFourCC(uint32_t fourcc) {
    return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

inline constexpr GUID GUID_NULL{};
inline constexpr GUID MFVideoFormat_RGB32 = subtypeFromFourCC(22);  // D3DFMT_X8R8G8B8
inline constexpr GUID MFVideoFormat_RGB24 = subtypeFromFourCC(20);  // D3DFMT_R8G8B8
inline constexpr GUID MFVideoFormat_YUY2 = subtypeFromFourCC(makeFourCC('Y', 'U', 'Y', '2'));
inline constexpr GUID MFVideoFormat_NV12 = subtypeFromFourCC(makeFourCC('N', 'V', '1', '2'));
inline constexpr GUID MFVideoFormat_MJPG = subtypeFromFourCC(makeFourCC('M', 'J', 'P', 'G'));

}  // namespace OLK
