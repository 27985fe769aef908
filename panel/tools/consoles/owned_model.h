#pragma once

// The model of a tool window that keeps no camera values of its own (so the session does not
// hold it), owned by the window. A window lists this before its dialog base, so the model is
// made before the base takes it and outlives the base's teardown.

#include "settings/camera_work.h"

namespace TVR {

class ImgSensor;
class SettingsStore;

template <typename Model>
struct OwnedModel {
    OwnedModel(SettingsStore& store, ImgSensor& camera, CameraWork& work)
        : ownedModel(store, camera) {
        ownedModel.setWork(&work);
    }
    Model ownedModel;
};

}  // namespace TVR
