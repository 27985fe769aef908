#pragma once

// Conversions between the libraries' UTF-8 text and the UTF-16 of USB string descriptors and
// of the platform's wide strings. Malformed input becomes U+FFFD, never an error.

#include <string>
#include <string_view>

namespace TVR {

std::string utf16ToUtf8(std::u16string_view text);
std::u16string utf8ToUtf16(std::string_view text);
bool isValidUtf8(std::string_view text);
// 8-bit driver text: kept when it is valid UTF-8, otherwise read as Latin-1.
std::string widenDriverText(std::string_view text);

}  // namespace TVR
