#include "panel_test_helpers.h"

namespace TVR::PanelTest {

CameraRig::CameraRig(const std::string& simOptions) : TestSupport::SimCameraRig(simOptions) {}

}  // namespace TVR::PanelTest
