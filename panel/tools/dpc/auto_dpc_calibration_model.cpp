#include "auto_dpc_calibration_model.h"

#include <fmt/format.h>

#include <algorithm>

#include "apilog.h"
#include "protocol/fx3_channels.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"

namespace TVR {

namespace {

// A channel read as the window shows it: 0 when the read failed.
int channelOrZero(ImgSensor& camera, int channel) {
    const ChannelValue v = camera.getCameraValue(channel);
    return v.status == kStatusDone ? v.value : 0;
}

// Holds the camera's work for one timer or button step; empty (and the step skipped) while a
// batch holds it, which may be the very batch whose modal loop delivered the timer.
std::optional<CameraWork::Batch> stepWork(CameraWork* work, bool& refused) {
    refused = false;
    std::optional<CameraWork::Batch> held;
    if (work == nullptr) return held;
    if (work->busy()) {
        refused = true;
        return held;
    }
    held.emplace(work->batch());
    return held;
}

}  // namespace

AutoDpcCalibrationModel::AutoDpcCalibrationModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, {}) {
    setUpdateCounter(1);
}

void AutoDpcCalibrationModel::readState() {
    m_connected = camera().connected();
    if (!m_connected) return;
    m_shownThreshold = channelOrZero(camera(), Fx3Channel::kDpcThreshold);
    m_shownCount = static_cast<uint32_t>(channelOrZero(camera(), Fx3Channel::kDpcPixelCount));
}

void AutoDpcCalibrationModel::opened() {
    m_opened = true;
    // A camera that left since the last read has nothing to calibrate.
    m_connected = m_connected && camera().connected();
    m_buttonEnabled = m_connected;
    if (!m_connected)
        settings().log().appendMessage(true, "Error reading Tavro camera's DPC config");
}

void AutoDpcCalibrationModel::closed() {
    m_timerActive = false;
    m_running = false;
    m_waitCursor = false;
}

std::string AutoDpcCalibrationModel::buttonText() const {
    return m_running ? "Stop calibration" : "Begin calibration";
}

std::string AutoDpcCalibrationModel::rangeText() const {
    if (!m_opened) return "Calibration progress";
    return fmt::format("Threshold range is {}..{}", m_search.lower(), m_search.upper());
}

int AutoDpcCalibrationModel::progress() const {
    return std::clamp(m_ticks * kProgressFull / kStepTicks, 0, kProgressFull);
}

std::optional<DpcRunMessage> AutoDpcCalibrationModel::takeMessage() {
    auto message = std::move(m_message);
    m_message.reset();
    return message;
}

void AutoDpcCalibrationModel::pressButton() {
    if (!m_buttonEnabled) return;
    bool refused = false;
    const auto held = stepWork(work(), refused);
    if (refused) {
        settings().log().appendText(true, std::string(kCameraBusyText));
        return;
    }
    if (!m_running) {
        m_search.restart();
        startStep();
        return;
    }
    m_timerActive = false;
    m_search.collapse();
    finishStep(kDpcStoppedCount);
}

void AutoDpcCalibrationModel::tick() {
    if (!m_timerActive) return;
    bool refused = false;
    const auto held = stepWork(work(), refused);
    if (refused) return;
    ++m_ticks;
    bool failed = false;
    const int count = readCount(failed);
    if (count > 0) {
        finishStep(count);
    } else if (m_ticks > kStepTicks) {
        if (failed) {
            failRun();
        } else {
            finishStep(count);
        }
    }
}

int AutoDpcCalibrationModel::readCount(bool& failed) {
    if (!camera().connected()) {
        failed = true;
        return 0;
    }
    const ChannelValue v = camera().getCameraValue(Fx3Channel::kDpcPixelCount);
    failed = v.status != kStatusDone;
    return failed ? 0 : v.value;
}

void AutoDpcCalibrationModel::failRun() {
    // A camera that stopped answering reads as zero counts, which the search would take as
    // fitting: a step whose reads failed to the end ends the run as a failure instead.
    closed();
    m_ticks = 0;
    settings().log().appendMessage(true, "The camera did not answer during the DPC calibration");
    m_message = DpcRunMessage{"Automagical DPC calibration finished",
                              "The camera did not answer during the calibration; no threshold "
                              "was found",
                              false};
}

void AutoDpcCalibrationModel::startStep() {
    m_running = true;
    m_ticks = 0;
    m_waitCursor = true;
    const int trial = m_search.trial();
    settings().log().appendMessage(false, "Trying DPC calibration with the threshold value at %u",
                                   static_cast<unsigned>(trial));
    // The search never leaves 0..255, so the low byte is the threshold itself.
    camera().dpcCalibrate(trial & 0xFF);
    m_timerActive = true;
    ++m_timerStarts;
}

void AutoDpcCalibrationModel::finishStep(int count) {
    m_timerActive = false;
    m_running = false;
    const int tried = m_search.trial();
    settings().log().appendMessage(false, "DPC calibration for %d resulted in %d pixels reported",
                                   tried, count);
    m_shownThreshold = tried;
    m_shownCount = static_cast<uint32_t>(count);
    m_waitCursor = false;

    const DpcSearch::Next next = m_search.finish(count);
    if (m_stepObserver) m_stepObserver({tried, count, m_search.lower(), m_search.upper()});
    switch (next) {
        case DpcSearch::Next::Step:
            startStep();
            return;
        case DpcSearch::Next::Done:
            m_ticks = kStepTicks;
            settings().setDecimal(kKeyDpcThreshold, tried);
            m_message =
                DpcRunMessage{"Automagical DPC calibration finished",
                              fmt::format("The threshold is now set at {} with {} detected pixels",
                                          tried, static_cast<uint32_t>(count)),
                              true};
            return;
        case DpcSearch::Next::NoneFits:
            m_ticks = kStepTicks;
            settings().setDecimal(kKeyDpcThreshold, tried);
            settings().log().appendMessage(
                true, "No DPC threshold up to %d gives fewer than %d detected pixels", tried,
                kDpcPixelLimit);
            m_message = DpcRunMessage{
                "Automagical DPC calibration finished",
                fmt::format("No threshold gives fewer than {} detected pixels; the threshold is "
                            "now set at {} with {} detected pixels",
                            kDpcPixelLimit, tried, static_cast<uint32_t>(count)),
                false};
            return;
    }
}

}  // namespace TVR
