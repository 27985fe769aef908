#pragma once

// Hooks the demo mode window into the main window's menu.

namespace TVR {

class CbriscoDlg;

void registerDemoTools(CbriscoDlg& window);

}  // namespace TVR
