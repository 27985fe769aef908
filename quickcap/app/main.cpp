#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "app/alloc_count.h"
#include "app/bench_mode.h"
#include "app/command_line.h"
#include "core/pipeline_rules.h"
#include "media/synthetic/synthetic_config.h"
#include "ui/quickcap_dlg.h"

namespace {

// The synthetic cameras keep a few frames, as a driver does, so a reader that falls behind
// loses frames and the viewer counts them.
bool useSyntheticCameras(const OLK::CommandLine& options) {
    std::string settings = "buffers=8";
    if (!options.mode.empty()) settings += ";modes=" + options.mode;
    if (const char* own = std::getenv("OLK_SYNTHETIC")) settings += std::string(";") + own;
    // The backend falls back to its defaults on bad settings; a bench of the wrong camera
    // would measure something else, so bad settings end the program here.
    OLK::SyntheticConfig config;
    std::string error;
    if (!OLK::SyntheticConfig::parse(settings, &config, &error)) {
        std::cerr << "quickcap: " << error << "\n";
        return false;
    }
    setenv("OLK_SYNTHETIC", settings.c_str(), 1);
    return true;
}

bool headless(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--bench" || arg == "--help" || arg == "-h") return true;
    }
    return false;
}

int run(const OLK::CommandLine& options, QApplication* app) {
    if (options.help) {
        std::cout << OLK::helpText();
        return 0;
    }
    if (options.simulate && !useSyntheticCameras(options)) return 2;
    if (options.bench) {
        return OLK::runBench(options, std::cout, std::cerr, &OLK::allocationCount);
    }
    if (app == nullptr) return 1;
    OLK::CquickcapDlg dialog(OLK::makeCaptureBackend(),
                             OLK::memoryBudget(OLK::availablePhysicalMemory()));
    if (!dialog.initialized()) return 1;
    if (options.start) {
        QTimer::singleShot(0, &dialog,
                           [&] { dialog.startFirstMode(static_cast<int>(options.replayFps)); });
    }
    dialog.exec();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    if (headless(argc, argv)) {
        const auto options = OLK::parseCommandLine(argc, argv, &error);
        if (!options) {
            std::cerr << "quickcap: " << error << "\n" << OLK::helpText();
            return 2;
        }
        return run(*options, nullptr);
    }
    // The application takes its own options (-platform, -qwindowgeometry...) out of argv.
    QApplication app(argc, argv);
    const auto options = OLK::parseCommandLine(argc, argv, &error);
    if (!options) {
        std::cerr << "quickcap: " << error << "\n" << OLK::helpText();
        return 2;
    }
    return run(*options, &app);
}
