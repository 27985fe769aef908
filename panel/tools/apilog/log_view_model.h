#pragma once

// The API-call log window without its widgets: both stores of the log merged by time as text
// lines, fetched incrementally (only what is new since the last look), and the record behind
// any shown text line for the detail box. A message may span several text lines; each of them
// leads back to the message. Toolkit-free; the window's thread only.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "apilog.h"

namespace TVR {

struct LogViewAppend {
    bool reset = false;  // the stores were cleared: empty the view before appending
    std::string text;    // the new lines, '\n' between them, none at the end; empty for none
    size_t lines = 0;    // records in `text`
};

class LogViewModel {
public:
    explicit LogViewModel(ApiLog& log) : m_log(log) {}

    // The lines added to either store since the last call (everything on the first call).
    LogViewAppend update();

    // Records listed and text lines shown.
    size_t recordCount() const { return m_lines.size(); }
    size_t textLineCount() const { return m_textLines; }
    // The record shown on text line `textLine`; empty beyond the last.
    std::optional<LogLine> recordAt(size_t textLine) const;
    // Its detail text; empty beyond the last line or when the record was cleared.
    std::string detailAt(size_t textLine) const;

    // The two clear commands; the next update() empties the view.
    void clearApi();
    void clearAll();

private:
    // The length of a message's listing line; npos when it was cleared meanwhile.
    size_t messageLength(const LogLine& line) const;

    ApiLog& m_log;
    LogCursor m_cursor;
    std::vector<LogLine> m_lines;
    std::vector<size_t> m_firstTextLine;  // per record, ascending
    size_t m_textLines = 0;
};

}  // namespace TVR
