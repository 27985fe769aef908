#include "gui_test_helpers.h"

namespace TVR::GuiTest {

CameraRig::CameraRig(const std::string& simOptions) : TestSupport::SimCameraRig(simOptions) {}

}  // namespace TVR::GuiTest
