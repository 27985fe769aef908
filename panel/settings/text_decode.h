#pragma once

// Text of files written by other programs: UTF-8 where it is valid, Latin-1 for every byte
// that is not part of a valid UTF-8 sequence.

#include <string>
#include <string_view>

namespace TVR {

std::string decodeUtf8OrLatin1(std::string_view bytes);

}  // namespace TVR
