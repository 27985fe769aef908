#pragma once

// The consoles' texts end their lines with CR LF, as the camera tools always wrote them; a Qt
// text box keeps lines apart by LF alone and would show the CRs.

#include <QString>
#include <string_view>

#include "shell/qt_text.h"

namespace TVR {

inline QString editText(std::string_view text) {
    QString shown = toQ(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

}  // namespace TVR
