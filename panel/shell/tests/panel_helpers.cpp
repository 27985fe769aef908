#include "panel_test_helpers.h"

namespace TVR::PanelTest {

CameraRig::CameraRig(const std::string& spec) : TestSupport::SimCameraRig(spec) {}

}  // namespace TVR::PanelTest
