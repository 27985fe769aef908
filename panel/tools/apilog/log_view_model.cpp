#include "log_view_model.h"

#include <algorithm>
#include <string_view>

namespace TVR {

namespace {

// One listing line as the view shows it: its own line breaks kept, in the view's '\n' form.
std::string viewText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') continue;
            out.push_back('\n');
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace

size_t LogViewModel::messageLength(const LogLine& line) const {
    const auto message = m_log.message(line.index);
    return message ? ApiLog::lineText(*message).size() : std::string::npos;
}

LogViewAppend LogViewModel::update() {
    LogUpdate u = m_log.linesSince(m_cursor);
    LogViewAppend out;
    if (u.reset) {
        out.reset = true;
        m_lines.clear();
        m_firstTextLine.clear();
        m_textLines = 0;
    }
    out.text.reserve(u.text.size());
    // Each listed line ends "\r\n". A call's summary has no line break of its own; a message may,
    // so its own length says where it ends.
    size_t at = 0;
    for (const LogLine& line : u.lines) {
        size_t length = line.message ? messageLength(line) : std::string::npos;
        if (length == std::string::npos || at + length > u.text.size() ||
            u.text.compare(at + length, 2, "\r\n") != 0) {
            const size_t end = u.text.find("\r\n", at);
            length = (end == std::string::npos ? u.text.size() : end) - at;
        }
        const std::string text = viewText(std::string_view(u.text).substr(at, length));
        at = std::min(u.text.size(), at + length + 2);
        if (out.lines > 0) out.text.push_back('\n');
        out.text += text;
        ++out.lines;
        m_lines.push_back(line);
        m_firstTextLine.push_back(m_textLines);
        m_textLines += 1 + static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }
    return out;
}

std::optional<LogLine> LogViewModel::recordAt(size_t textLine) const {
    if (textLine >= m_textLines || m_lines.empty()) return std::nullopt;
    const auto it = std::upper_bound(m_firstTextLine.begin(), m_firstTextLine.end(), textLine);
    const auto i = static_cast<size_t>(it - m_firstTextLine.begin()) - 1;
    return m_lines[i];
}

std::string LogViewModel::detailAt(size_t textLine) const {
    const auto line = recordAt(textLine);
    return line ? m_log.detailText(*line) : std::string();
}

void LogViewModel::clearApi() { m_log.clearApi(); }

void LogViewModel::clearAll() { m_log.clearAll(); }

}  // namespace TVR
