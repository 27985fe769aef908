#pragma once

// The generic transfers between the settings store and the camera for one named control, and
// the UVC transfers of a capture device. Called on the thread that owns the camera for the
// moment (the window thread, or the worker of a long batch); results are values and every
// failure is a line in the application log.

#include <span>
#include <string_view>

#include "settings/control_catalogue.h"

namespace TVR {

class ImgSensor;
class SettingsStore;
class UvcPropertySource;

// What a page or tool lends the transfers: its store, its camera, its table and whether it is
// filling its own controls from the store right now.
class ControlHost {
public:
    virtual ~ControlHost() = default;
    virtual SettingsStore& settings() = 0;
    virtual ImgSensor& camera() = 0;
    // Nonzero while the host updates its controls from the store; pushes are skipped then so a
    // control being filled does not echo its value back to the camera.
    virtual int updateCounter() const { return 0; }
    virtual std::span<const NamedControl> controls() const { return {}; }
};

// Reads the control from the camera into the store; true when read and stored.
bool readControl(ControlHost& host, const NamedControl& control);
// Sends the stored value; true when sent (for the sensor alternatives: when the call was made).
bool pushControl(ControlHost& host, const NamedControl& control);
// Pushes when the store holds a value under the key, otherwise reads.
bool pushOrReadControl(ControlHost& host, const NamedControl& control);
// Pushes the first row of the host's table with exactly this key; false when there is none.
bool pushControlByKey(ControlHost& host, std::string_view key);

// Both UVC lists into the store (value and "_AUTO" flags, decimal). The processing amplifier
// is read only when the camera control gave at least one property. True when any was read.
bool uvcRead(UvcPropertySource* source, SettingsStore& store);
// The stored UVC values back to the device, in the same order and under the same rule.
bool uvcPush(UvcPropertySource* source, SettingsStore& store);

// SENSOR_MODEL and SENSOR_ID_STR from the connected sensor.
void storeSensorIdentity(SettingsStore& store, ImgSensor& camera);
// Whether the connected sensor accepts the stored SENSOR_MODEL; false when there is none.
bool settingsMatchSensor(SettingsStore& store, ImgSensor& camera);

}  // namespace TVR
