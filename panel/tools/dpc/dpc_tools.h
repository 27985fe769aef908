#pragma once

// Hooks both DPC calibration windows into the main window's menu.

namespace TVR {

class CbriscoDlg;

void registerDpcTools(CbriscoDlg& window);

}  // namespace TVR
