#include "console_fpga_model.h"

#include "sensor/img_sensor.h"

namespace TVR {

ConsoleFpgaModel::ConsoleFpgaModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, consoleFpgaControls()) {}

bool ConsoleFpgaModel::fakeRawVideoAvailable() {
    const NamedControl& row = controls().front();
    return camera().connected() &&
           camera().cameraValueAvailable(static_cast<int>(row.address.number));
}

}  // namespace TVR
