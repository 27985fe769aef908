#pragma once

// The expert and diagnostic windows' place in the main window: the I²C, FPGA and sensor
// consoles, the sensor registers' overview, the system information and the technical report,
// and the noise reduction and auto-function windows, each on its menu command. User-interface
// thread.

namespace TVR {

class CbriscoDlg;

void registerConsoleTools(CbriscoDlg& window);

}  // namespace TVR
