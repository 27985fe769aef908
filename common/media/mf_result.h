#pragma once

// HRESULT-style result codes of the capture classes, with the numbers the platform uses.

#include <cstdint>

namespace OLK {

inline constexpr int32_t S_OK = 0;
inline constexpr int32_t S_FALSE = 1;
inline constexpr int32_t E_NOTIMPL = static_cast<int32_t>(0x80004001);
inline constexpr int32_t E_POINTER = static_cast<int32_t>(0x80004003);
inline constexpr int32_t E_FAIL = static_cast<int32_t>(0x80004005);
inline constexpr int32_t E_UNEXPECTED = static_cast<int32_t>(0x8000FFFF);
inline constexpr int32_t E_OUTOFMEMORY = static_cast<int32_t>(0x8007000E);
inline constexpr int32_t E_INVALIDARG = static_cast<int32_t>(0x80070057);
inline constexpr int32_t E_NOT_SUFFICIENT_BUFFER = static_cast<int32_t>(0x8007007A);
inline constexpr int32_t E_TIMEOUT = static_cast<int32_t>(0x800705B4);  // ERROR_TIMEOUT
inline constexpr int32_t E_DEVICE_GONE =
    static_cast<int32_t>(0x8007048F);  // ERROR_DEVICE_NOT_CONNECTED
inline constexpr int32_t E_ACCESS_DENIED = static_cast<int32_t>(0x80070005);
inline constexpr int32_t E_BUSY = static_cast<int32_t>(0x800700AA);  // ERROR_BUSY
inline constexpr int32_t MF_E_BUFFERTOOSMALL = static_cast<int32_t>(0xC00D36B1);
inline constexpr int32_t MF_E_INVALIDREQUEST = static_cast<int32_t>(0xC00D36B2);
inline constexpr int32_t MF_E_INVALIDSTREAMNUMBER = static_cast<int32_t>(0xC00D36B3);
inline constexpr int32_t MF_E_INVALIDMEDIATYPE = static_cast<int32_t>(0xC00D36B4);
inline constexpr int32_t MF_E_NO_MORE_TYPES = static_cast<int32_t>(0xC00D36B9);
inline constexpr int32_t MF_E_INVALIDTYPE = static_cast<int32_t>(0xC00D36BD);
inline constexpr int32_t MF_E_ATTRIBUTENOTFOUND = static_cast<int32_t>(0xC00D36E6);
inline constexpr int32_t MF_E_SHUTDOWN = static_cast<int32_t>(0xC00D3E85);
// What LogMediaType answers for a missing media type.
inline constexpr int32_t kLogMediaTypeNullResult = static_cast<int32_t>(0xC00D36E9);

constexpr bool succeeded(int32_t hr) { return hr >= 0; }
constexpr bool failed(int32_t hr) { return hr < 0; }

}  // namespace OLK
