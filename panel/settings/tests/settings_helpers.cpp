#include "settings_test_helpers.h"

namespace TVR::SettingsTest {

CameraRig::CameraRig(const std::string& simOptions) : TestSupport::SimCameraRig(simOptions) {}

}  // namespace TVR::SettingsTest
