#include "tools/consoles/console_sensor_model.h"

#include <array>
#include <optional>
#include <string>
#include <utility>

#include <fmt/format.h>

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"

namespace TVR {

namespace {

constexpr std::array<std::pair<std::string_view, int>, 2> kFlips{{
    {kKeyFlipH, kSwitchMirror},
    {kKeyFlipV, kSwitchFlip},
}};

constexpr uint16_t kByteMask = 0xFF;

// The console's commands hold the camera's work while they talk to the sensor.
std::optional<CameraWork::Batch> holdWork(CameraWork* work) {
    std::optional<CameraWork::Batch> batch;
    if (work != nullptr) batch.emplace(work->batch());
    return batch;
}

}  // namespace

ConsoleSensorModel::ConsoleSensorModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, {}) {
    setUpdateCounter(1);
}

void ConsoleSensorModel::readState() {
    if (!camera().connected()) return;
    for (const auto& [key, sw] : kFlips) {
        settings().setBool(key, camera().chip().sensorSwitch(sw, -1));
    }
}

void ConsoleSensorModel::loadFromStore() {
    if (!camera().connected() || updateCounter() != 0) return;
    for (const auto& [key, sw] : kFlips) {
        if (settings().has(key)) {
            camera().chip().sensorSwitch(sw, settings().getBool(key) ? 1 : 0);
        } else {
            settings().setBool(key, camera().chip().sensorSwitch(sw, -1));
        }
    }
}

ConsoleSensorView ConsoleSensorModel::view() {
    return {settings().getBool(kKeyFlipH), settings().getBool(kKeyFlipV),
            settings().getString(kKeyConsoleText)};
}

bool ConsoleSensorModel::setFlipH(bool on) { return setFlip(kKeyFlipH, kSwitchMirror, on); }

bool ConsoleSensorModel::setFlipV(bool on) { return setFlip(kKeyFlipV, kSwitchFlip, on); }

bool ConsoleSensorModel::setFlip(std::string_view key, int sensorSwitch, bool on) {
    if (updateCounter() != 0) return false;
    settings().setBool(key, on);
    if (!camera().connected()) return false;
    camera().chip().sensorSwitch(sensorSwitch, on ? 1 : 0);
    // A switch write reports nothing; what the sensor holds afterwards tells whether it took it.
    if (camera().chip().sensorSwitch(sensorSwitch, -1) != on) {
        settings().log().appendMessage(true, "Error pushing a value for %s",
                                       std::string(key).c_str());
        return false;
    }
    return true;
}

void ConsoleSensorModel::setScript(std::string_view text) {
    if (updateCounter() != 0) return;
    settings().setString(kKeyConsoleText, text);
}

bool ConsoleSensorModel::runScript(const std::vector<ConsolePair>& pairs, bool groupWrite) {
    const auto batch = holdWork(work());
    ImgSensor& cam = camera();
    // Bridge writes report nothing themselves; the camera object counts failed requests.
    const uint64_t failedBefore = cam.failedRequests();
    const bool grouped = groupWrite && !pairs.empty() && pairs.size() <= kMaxGroupWritePairs;
    if (grouped) cam.chip().groupHoldBegin(kGroupHold);
    for (const ConsolePair& p : pairs) cam.writeRegister(p.reg, p.value, kByteMask);
    if (grouped) cam.chip().groupHoldEnd(kGroupHold, kGroupLaunchMode);
    return cam.connected() && cam.failedRequests() == failedBefore;
}

std::optional<SensorPeek> ConsoleSensorModel::peek(uint16_t reg) {
    const auto batch = holdWork(work());
    uint16_t value = 0;
    if (!camera().readRegister(reg, value)) return std::nullopt;
    const auto byte = static_cast<uint8_t>(value & kByteMask);
    return SensorPeek{byte, fmt::format("0x{:02X}", byte), fmt::format("{:08b}", byte)};
}

bool ConsoleSensorModel::setStandby(bool on) {
    const auto batch = holdWork(work());
    ImgSensor& cam = camera();
    if (!cam.connected()) return false;
    const uint64_t failedBefore = cam.failedRequests();
    cam.chip().sensorSwitch(kSwitchStandby, on ? 1 : 0);
    return cam.failedRequests() == failedBefore;
}

bool ConsoleSensorModel::runAction(SensorConsoleAction action) {
    const auto batch = holdWork(work());
    ImgSensor& cam = camera();
    if (!cam.connected()) return false;
    const uint64_t failedBefore = cam.failedRequests();
    return cam.chip().action(static_cast<int>(action)) && cam.failedRequests() == failedBefore;
}

std::optional<std::vector<ConsolePair>> ConsoleSensorModel::compare(
    const std::vector<ConsolePair>& pairs, bool toDefaults) {
    const auto batch = holdWork(work());
    ImgSensor& cam = camera();
    if (toDefaults) {
        const uint64_t failedBefore = cam.failedRequests();
        cam.writeRegister(kRegSoftwareReset, 1, kByteMask);
        if (!cam.connected() || cam.failedRequests() != failedBefore) return std::nullopt;
    }
    std::vector<ConsolePair> unique;
    for (const ConsolePair& p : pairs) {
        if (unique.empty() || !(unique.back() == p)) unique.push_back(p);
    }
    std::vector<ConsolePair> differing;
    for (const ConsolePair& p : unique) {
        uint16_t current = 0;
        if (cam.readRegister(p.reg, current) && (current & kByteMask) == p.value) continue;
        differing.push_back(p);
    }
    return differing;
}

}  // namespace TVR
