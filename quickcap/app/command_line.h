#pragma once

// quickcap's command line: the window, --simulate, and the headless --bench run.

#include <cstdint>
#include <optional>
#include <string>

namespace OLK {

struct CommandLine {
    bool help = false;
    bool simulate = false;
    bool bench = false;
    bool synchronized = false;
    bool start = false;
    std::string mode;  // WxH@FPS:FORMAT of the synthetic camera
    uint32_t seconds = 10;
    uint32_t replayFps = 0;  // 0: replay at the capture rate
    uint32_t threads = 1;
    int memory = 0;  // memory slider position 0..16
};

// Parses argv; error names the bad argument.
std::optional<CommandLine> parseCommandLine(int argc, char** argv, std::string* error);
std::string helpText();

}  // namespace OLK
