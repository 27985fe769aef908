#include "calibrate_dpc_model.h"

#include <optional>

#include "apilog.h"
#include "protocol/fx3_channels.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"
#include "tools/dpc/auto_dpc_calibration_model.h"

namespace TVR {

namespace {

int channelValueOrZero(ImgSensor& camera, int channel) {
    const ChannelValue v = camera.getCameraValue(channel);
    return v.status == kStatusDone ? v.value : 0;
}

}  // namespace

CalibrateDpcModel::CalibrateDpcModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, {}) {
    setUpdateCounter(1);
}

void CalibrateDpcModel::readState() {
    if (!camera().connected()) return;
    settings().setDecimal(kKeyDpcThreshold,
                          channelValueOrZero(camera(), Fx3Channel::kDpcThreshold));
    m_pixelCount = static_cast<uint32_t>(channelValueOrZero(camera(), Fx3Channel::kDpcPixelCount));
}

CalibrateDpcModel::View CalibrateDpcModel::view() {
    const int threshold = settings().getInt(kKeyDpcThreshold);
    if (m_pixelCount == 0 || threshold == 0) {
        settings().log().appendMessage(
            true, "Error reading Tavro camera's DPC config or DPC has not been done yet");
    }
    return {threshold == 0 ? kUnsetThreshold : threshold, m_pixelCount};
}

bool CalibrateDpcModel::run(int threshold) {
    if (m_timerActive || !camera().connected()) return false;
    std::optional<CameraWork::Batch> held;
    if (work() != nullptr) {
        if (work()->busy()) {
            settings().log().appendText(true, std::string(kCameraBusyText));
            return false;
        }
        held.emplace(work()->batch());
    }
    // Detection on a streaming camera would count moving pixels.
    camera().stopStreaming();
    m_threshold = threshold;
    m_ticks = 0;
    m_progress = 0;
    m_timedOut = false;
    m_timerActive = true;
    ++m_timerStarts;
    camera().dpcCalibrate(threshold & 0xFF);
    return true;
}

int CalibrateDpcModel::readCount() {
    return camera().connected() ? channelValueOrZero(camera(), Fx3Channel::kDpcPixelCount) : 0;
}

void CalibrateDpcModel::tick() {
    if (!m_timerActive) return;
    std::optional<CameraWork::Batch> held;
    if (work() != nullptr) {
        if (work()->busy()) return;
        held.emplace(work()->batch());
    }
    ++m_ticks;
    m_progress = m_ticks * kProgressPerTick;
    if (readCount() > 0) {
        m_timerActive = false;
        m_pixelCount = static_cast<uint32_t>(readCount());
        m_ticks = kTimeoutTicks;
        m_progress = kTimeoutTicks * kProgressPerTick;
        // The camera keeps the threshold just written; the store follows it for the next save.
        settings().setDecimal(kKeyDpcThreshold, m_threshold);
        return;
    }
    if (m_ticks > kTimeoutTicks) {
        // No count after the time-out: the run ends rather than polling forever.
        settings().log().appendMessage(true, "Error running DPC calibration");
        m_timerActive = false;
        m_timedOut = true;
        m_ticks = 0;
        m_progress = 0;
    }
}

}  // namespace TVR
