#include "control_transfer.h"

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"
#include "video/uvc_properties.h"

namespace TVR {
namespace {

constexpr const char* kFormatMismatch = "Mismatch between variant data type and format!";
constexpr const char* kUnexpectedKind = "Unexpected value type in the provided variant parameter!";

void storeInteger(SettingsStore& store, const NamedControl& control, int32_t value) {
    if (control.format == ControlFormat::Hex) {
        store.setHex(control.key, value);
    } else {
        store.setDecimal(control.key, value);
    }
}

bool integerFormat(ControlFormat format) {
    return format == ControlFormat::Decimal || format == ControlFormat::Hex;
}

int channel(const NamedControl& control) { return static_cast<int>(control.address.number); }

}  // namespace

bool readControl(ControlHost& host, const NamedControl& control) {
    ImgSensor& camera = host.camera();
    if (!camera.connected()) return false;
    SettingsStore& store = host.settings();
    ApiLog& log = store.log();
    log.appendMessage(false, "Reading [%s] from camera", control.key);

    const int n = channel(control);
    int status = kStatusDone;
    switch (control.address.kind) {
        case AddressKind::SensorSwitch:
            store.setBool(control.key, camera.chip().sensorSwitch(n, -1));
            return true;
        case AddressKind::SensorValue:
            if (!integerFormat(control.format)) {
                log.appendMessage(true, "%s", kFormatMismatch);
                return false;
            }
            storeInteger(store, control, static_cast<int32_t>(camera.chip().sensorValue(n, -1)));
            return true;
        case AddressKind::Fx3Param: {
            if (control.format == ControlFormat::Real) {
                log.appendMessage(true, "%s", kFormatMismatch);
                return false;
            }
            const ChannelValue v = camera.getCameraValue(n);
            if (control.format == ControlFormat::Bool) {
                store.setBool(control.key, v.value != 0);
            } else {
                storeInteger(store, control, v.value);
            }
            status = v.status;
            break;
        }
        case AddressKind::Fx3FloatParam: {
            if (control.format != ControlFormat::Real) {
                log.appendMessage(true, "%s", kFormatMismatch);
                return false;
            }
            const ChannelReal v = camera.getCameraReal(n);
            store.setReal(control.key, v.value);
            status = v.status;
            break;
        }
        default:
            log.appendMessage(true, "%s", kUnexpectedKind);
            return false;
    }
    if (status != kStatusDone) {
        log.appendMessage(true, "Error reading a value for %s", control.key);
        return false;
    }
    return true;
}

bool pushControl(ControlHost& host, const NamedControl& control) {
    ImgSensor& camera = host.camera();
    if (!camera.connected() || host.updateCounter() != 0) return false;
    SettingsStore& store = host.settings();
    ApiLog& log = store.log();
    log.appendMessage(false, "Pushing [%s] to camera", control.key);

    const int n = channel(control);
    int status = kStatusDone;
    switch (control.address.kind) {
        case AddressKind::SensorSwitch:
            camera.chip().sensorSwitch(n, store.getBool(control.key) ? 1 : 0);
            return true;
        case AddressKind::SensorValue:
            camera.chip().sensorValue(n, store.getInt(control.key));
            return true;
        case AddressKind::Fx3Param: {
            const int value = control.format == ControlFormat::Bool
                                  ? (store.getBool(control.key) ? 1 : 0)
                                  : store.getInt(control.key);
            status = camera.setCameraValue(n, value);
            break;
        }
        case AddressKind::Fx3FloatParam:
            // Firmware without the channel would refuse the request.
            status = camera.cameraRealAvailable(n)
                         ? camera.setCameraReal(n, store.getReal(control.key, 0.0))
                         : kStatusNotSupported;
            break;
        default:
            log.appendMessage(true, "%s", kUnexpectedKind);
            return false;
    }
    if (status != kStatusDone) {
        log.appendMessage(true, "Error pushing a value for %s", control.key);
        return false;
    }
    return true;
}

bool pushOrReadControl(ControlHost& host, const NamedControl& control) {
    return host.settings().has(control.key) ? pushControl(host, control)
                                            : readControl(host, control);
}

bool pushControlByKey(ControlHost& host, std::string_view key) {
    const NamedControl* row = findControl(host.controls(), key);
    return row != nullptr && pushControl(host, *row);
}

namespace {

bool readUvcList(UvcProperties* properties, const std::vector<UvcControl>& list,
                 SettingsStore& store) {
    if (properties == nullptr) return false;
    bool any = false;
    for (const UvcControl& row : list) {
        const auto setting = properties->get(row.property);
        if (!setting) continue;
        store.setDecimal(row.key, setting->value);
        store.setDecimal(uvcAutoKey(row.key), setting->flags);
        any = true;
    }
    return any;
}

bool pushUvcList(UvcProperties* properties, const std::vector<UvcControl>& list,
                 SettingsStore& store) {
    if (properties == nullptr) return false;
    bool any = false;
    for (const UvcControl& row : list) {
        if (!store.has(row.key)) continue;
        const int32_t value = store.getInt(row.key);
        const int32_t flags = store.getInt(uvcAutoKey(row.key));
        any = properties->set(row.property, value, flags) || any;
    }
    return any;
}

}  // namespace

bool uvcRead(UvcPropertySource* source, SettingsStore& store) {
    if (source == nullptr) return false;
    if (!readUvcList(source->cameraControl(), uvcCameraControlList(), store)) return false;
    readUvcList(source->procAmp(), uvcProcAmpList(), store);
    return true;
}

bool uvcPush(UvcPropertySource* source, SettingsStore& store) {
    if (source == nullptr) return false;
    if (!pushUvcList(source->cameraControl(), uvcCameraControlList(), store)) return false;
    pushUvcList(source->procAmp(), uvcProcAmpList(), store);
    return true;
}

void storeSensorIdentity(SettingsStore& store, ImgSensor& camera) {
    store.setString(kKeySensorModel, camera.chipName());
    store.setString(kKeySensorIdStr, camera.chipIdText());
}

bool settingsMatchSensor(SettingsStore& store, ImgSensor& camera) {
    const std::string model = store.getString(kKeySensorModel);
    return !model.empty() && camera.chip().matchesName(model);
}

}  // namespace TVR
