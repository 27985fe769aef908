#include <QApplication>
#include <cstdio>
#include <string_view>

#include "shell/brisco_app.h"

int main(int argc, char** argv) {
    // Help needs no display, so it is answered before the window system is opened.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(TVR::CbriscoApp::kHelp, stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    return TVR::CbriscoApp::run(app);
}
