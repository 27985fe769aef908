#pragma once

// The console's progress window for long batches: one status line on stderr, redrawn in place,
// shown only once a batch outlasts the splash delay (as the panel's splash box). Other output
// of the batch goes through printLine() so it never lands in the middle of the status line.
// Any thread; one batch at a time.

#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

#include "settings/batch_runner.h"

namespace TVR::Cli {

class ConsoleProgress : public BatchProgressWindow {
public:
    // `enabled` false: the batch runs without a line (output that is not a terminal).
    ConsoleProgress(std::ostream& err, bool enabled) : m_err(err), m_enabled(enabled) {}

    bool enabled() const { return m_enabled; }

    void statusChanged(const std::string& text) override;
    void showModal(const std::string& status) override;
    void close() override;

    // A whole line of other output.
    void printLine(std::string_view text);

private:
    void drawLocked();
    void eraseLocked();

    std::ostream& m_err;
    const bool m_enabled;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::string m_status;
    bool m_visible = false;
    bool m_closed = false;
};

// Whether stderr is a terminal, where the progress line is shown by default.
bool stderrIsTerminal();

}  // namespace TVR::Cli
