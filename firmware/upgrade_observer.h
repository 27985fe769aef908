#pragma once

// What an upgrade job reports while it runs: the step log, the progress bar, the sixteen FPGA
// configuration status indicators and the outcome. Called from the job's worker and status
// threads (and the abort message from the thread that closes): the log, progress and outcome
// calls never overlap one another, nor do the two indicator calls; implementations forward to
// their own thread as they need.

#include <cstdint>
#include <string>
#include <string_view>

namespace TVR {

// The FPGA configuration status word's bits, least significant first; each drives one
// indicator.
inline constexpr int kFpgaStatusBits = 16;
inline constexpr uint16_t kFpgaEraseOkBit = 1u << 4;
inline constexpr uint16_t kFpgaConfigDoneBit = 1u << 9;
inline constexpr uint16_t kFpgaErrorBits = 0xFC00;  // bits 10-15
std::string_view fpgaStatusName(int bit);

class UpgradeObserver {
public:
    virtual ~UpgradeObserver() = default;
    // Text for the log box, already ended by "... " (a result follows on the same line) or
    // "\r\n".
    virtual void logText(const std::string& text) = 0;
    virtual void progress(int percent) = 0;
    // `changed` holds the bits whose indicator must be redrawn from `status`; never 0.
    virtual void fpgaStatus(uint16_t status, uint16_t changed) = 0;
    // All indicators off (the camera left and the status is unknown).
    virtual void clearIndicators() = 0;
    // The procedure ended; the log already holds the outcome lines and the auto-close notice.
    // A failure turns the progress bar to its error state.
    virtual void finished(bool success) = 0;
};

}  // namespace TVR
