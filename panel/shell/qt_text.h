#pragma once

// Texts of the camera libraries (UTF-8 std::string_view) as Qt strings, for the windows.

#include <QString>
#include <string_view>

namespace TVR {

inline QString toQ(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace TVR
