#include "console_progress.h"

#include <unistd.h>

namespace TVR::Cli {

namespace {
// Carriage return and "erase to end of line".
constexpr std::string_view kEraseLine = "\r\x1b[K";
}  // namespace

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void ConsoleProgress::drawLocked() { m_err << kEraseLine << m_status << std::flush; }

void ConsoleProgress::eraseLocked() { m_err << kEraseLine << std::flush; }

void ConsoleProgress::statusChanged(const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_status = text;
    if (m_visible) drawLocked();
}

void ConsoleProgress::showModal(const std::string& status) {
    std::unique_lock lock(m_mutex);
    // A close() that came first ends this showing at once; either way it is used up here, so
    // the next batch can show the line again.
    if (!m_closed) {
        if (m_enabled) {
            // The worker may have moved on since the runner read its status.
            if (m_status.empty()) m_status = status;
            m_visible = true;
            drawLocked();
        }
        m_cv.wait(lock, [this] { return m_closed; });
    }
    m_closed = false;
}

void ConsoleProgress::close() {
    {
        std::lock_guard lock(m_mutex);
        if (m_visible) {
            // The last status ("Batch end, took ...") stays as the line's final word.
            drawLocked();
            m_err << '\n' << std::flush;
            m_visible = false;
        }
        m_closed = true;
    }
    m_cv.notify_all();
}

void ConsoleProgress::printLine(std::string_view text) {
    std::lock_guard lock(m_mutex);
    if (m_visible) eraseLocked();
    m_err << text << '\n';
    if (m_visible) {
        drawLocked();
    } else {
        m_err << std::flush;
    }
}

}  // namespace TVR::Cli
