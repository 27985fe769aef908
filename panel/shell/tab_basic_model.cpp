#include "tab_basic_model.h"

#include <fmt/format.h>

#include <utility>

#include "sensor/img_sensor.h"
#include "settings/preferences.h"
#include "settings/settings_store.h"

namespace TVR {

namespace {

constexpr int32_t kMaxControlPort = 0xFF;
constexpr std::string_view kUnknownVersion = "UNKNOWN";

bool validPort(int32_t port) { return port > 0 && port <= kMaxControlPort; }

}  // namespace

TabBasicModel::TabBasicModel(SettingsStore& store, ImgSensor& camera,
                             const Preferences& preferences)
    : TableValueOwner(store, camera, {}), m_preferences(preferences) {
    setUpdateCounter(1);
}

TabBasicModel::TabBasicModel(SettingsStore& store, ImgSensor& camera)
    : TabBasicModel(store, camera, Preferences::instance()) {}

std::string TabBasicModel::portText(uint32_t port) { return fmt::format("0x{:02X}", port); }

void TabBasicModel::readState() {
    ImgSensor& cam = camera();
    const bool connected = cam.connected();
    std::string chipset =
        connected ? "Detected chipset type: " + cam.chipName() : std::string(kChipsetNotDetected);
    // A closed camera keeps its records; they no longer describe anything attached.
    std::string fx3 =
        "\tFX3:\t" + (connected ? cam.versionFX3().shortText() : std::string(kUnknownVersion));
    std::string fpga =
        "\tFPGA:\t" + (connected ? cam.versionFPGA().shortText() : std::string(kUnknownVersion));
    std::lock_guard lock(m_mutex);
    m_texts.chipset = std::move(chipset);
    m_texts.fx3 = std::move(fx3);
    m_texts.fpga = std::move(fpga);
}

void TabBasicModel::loadFromStore() {
    if (!camera().connected()) return;
    const int32_t stored = settings().has(kKeyCtrlPort) ? settings().getInt(kKeyCtrlPort) : -1;
    // A port that is no address (from a damaged file) counts as missing.
    if (validPort(stored)) {
        setPort(static_cast<uint8_t>(stored));
        showControlPort();
        return;
    }
    const uint8_t current = camera().i2cAddress();
    settings().setHex(kKeyCtrlPort, current != 0 ? current : kDefaultControlPort);
}

TabBasicTexts TabBasicModel::texts() const {
    std::lock_guard lock(m_mutex);
    return m_texts;
}

void TabBasicModel::showNotDetected() {
    std::lock_guard lock(m_mutex);
    m_texts.controlPort = portText(kDefaultControlPort);
    m_texts.chipset = std::string(kChipsetNotDetected);
}

void TabBasicModel::showNoCamera() {
    std::lock_guard lock(m_mutex);
    m_texts.chipset = std::string(kChipsetNotDetected);
    m_texts.fx3.clear();
    m_texts.fpga.clear();
}

void TabBasicModel::showControlPort() {
    const std::string text = portText(camera().i2cAddress());
    std::lock_guard lock(m_mutex);
    m_texts.controlPort = text;
}

bool TabBasicModel::setControlPortText(std::string_view text) {
    const int32_t port = m_preferences.consoleNumber(text);
    if (!validPort(port)) return false;
    settings().setHex(kKeyCtrlPort, port);
    setPort(static_cast<uint8_t>(port));
    if (camera().connected()) readState();
    return true;
}

void TabBasicModel::setPort(uint8_t port) { camera().setI2cAddress(port); }

}  // namespace TVR
