#include "nr_video_model.h"

#include "settings/settings_store.h"

namespace TVR {

NrVideoModel::NrVideoModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, nrVideoControls()) {}

bool NrVideoModel::groupEnabled(std::string_view key) { return settings().getInt(key) != 0; }

}  // namespace TVR
