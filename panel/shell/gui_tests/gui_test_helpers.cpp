#include "gui_test_helpers.h"

namespace TVR::GuiTest {

CameraRig::CameraRig(const std::string& spec) : TestSupport::SimCameraRig(spec) {}

}  // namespace TVR::GuiTest
