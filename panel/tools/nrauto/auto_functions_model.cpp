#include "auto_functions_model.h"

#include "sensor/img_sensor.h"

namespace TVR {

AutoFunctionsModel::AutoFunctionsModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, autoFunctionsControls()) {}

int AutoFunctionsModel::intervalMaximum() {
    return camera().versionFX3().buildAtLeast(kIntervalFramesBuild) ? kIntervalFramesMaximum
                                                                    : kIntervalFineMaximum;
}

}  // namespace TVR
