#pragma once

// CbriscoApp: the control panel's start-up and end. Options, preferences, theme, backends,
// the main window's modal run and the preferences written back. User-interface thread.

class QApplication;

namespace TVR {

class CbriscoApp {
public:
    // The process's exit code.
    static int run(QApplication& app);

    // The command line's help; printed before any window system is needed.
    static constexpr const char* kHelp =
        "Usage: brisco [--simulate]\n"
        "Tavro camera control center.\n"
        "\n"
        "  --simulate   run on simulated cameras (configured by the TAVRO_SIM variable)\n"
        "  -h, --help   this text\n";
};

}  // namespace TVR
