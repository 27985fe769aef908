#include "settings_test_helpers.h"

namespace TVR::SettingsTest {

CameraRig::CameraRig(const std::string& spec) : TestSupport::SimCameraRig(spec) {}

}  // namespace TVR::SettingsTest
