#pragma once

// The program's four pages ("Device", "Sensor", "Camera", "Peripherals") and its tool windows,
// defined beside the page classes so that the main window does not include them.

#include "shell/panel_context.h"

namespace TVR {

class CbriscoDlg;

PageFactory briscoPageFactory();
// Registers the tool windows that exist (CTestPatterns, CConsoleSensor, ...) with the window.
void registerBriscoTools(CbriscoDlg& window);

}  // namespace TVR
