#pragma once

// The six "Color grading" menu entries of the main window (Ctrl+F1..F6), each showing its curve's
// editor; the Luma vs. Luma entry shows the editor of the connected firmware. User-interface
// thread.

namespace TVR {

class CbriscoDlg;

void registerColorGradingTools(CbriscoDlg& window);

}  // namespace TVR
