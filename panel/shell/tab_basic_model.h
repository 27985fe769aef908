#pragma once

// The "Device" page's camera values without its widgets: the chipset and firmware texts its
// state read fills, and the control port (the sensor's I²C address) with its CTRL_PORT key. The
// device list itself belongs to the page. The texts are written by a transfer's worker and read
// by the window afterwards; they are guarded for that.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "settings/table_value_owner.h"

namespace TVR {

class Preferences;

inline constexpr std::string_view kKeyCtrlPort = "CTRL_PORT";
inline constexpr std::string_view kChipsetNotDetected = "Cannot detect chipset type";
inline constexpr uint8_t kDefaultControlPort = 0x20;

struct TabBasicTexts {
    std::string chipset{kChipsetNotDetected};
    std::string fx3;
    std::string fpga;
    std::string controlPort = "0x20";
};

class TabBasicModel : public TableValueOwner {
public:
    // `preferences` gives the number base of the control-port box and must outlive the model.
    TabBasicModel(SettingsStore& store, ImgSensor& camera, const Preferences& preferences);
    TabBasicModel(SettingsStore& store, ImgSensor& camera);

    // Initialisation ends. The counter is 1 until then.
    void finishInitialisation() { setUpdateCounter(0); }

    void readState() override;
    // Connected only: a stored port is set and shown; otherwise the camera's port is stored.
    void loadFromStore() override;

    TabBasicTexts texts() const;
    // No camera selected: the default port and the not-detected chipset text.
    void showNotDetected();
    // No camera to describe (it left, or does not answer): no chip and no versions; the port
    // stays as typed.
    void showNoCamera();
    // Shows the camera's current port, for a newly opened camera.
    void showControlPort();

    // A change of "Control port:". True when the port was set; a value of 0 or below, one that
    // is no 8-bit address and an unreadable text change nothing.
    bool setControlPortText(std::string_view text);

    static std::string portText(uint32_t port);

private:
    void setPort(uint8_t port);

    const Preferences& m_preferences;
    mutable std::mutex m_mutex;
    TabBasicTexts m_texts;
};

}  // namespace TVR
