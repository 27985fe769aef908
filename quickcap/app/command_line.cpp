#include "command_line.h"

#include <charconv>
#include <string_view>

namespace OLK {

namespace {

bool number(std::string_view text, uint32_t lo, uint32_t hi, uint32_t* out) {
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) {
        return false;
    }
    *out = value;
    return true;
}

}  // namespace

std::optional<CommandLine> parseCommandLine(int argc, char** argv, std::string* error) {
    CommandLine cl;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string_view* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        std::string_view v;
        uint32_t n = 0;
        if (arg == "--help" || arg == "-h") {
            cl.help = true;
        } else if (arg == "--simulate") {
            cl.simulate = true;
        } else if (arg == "--bench") {
            cl.bench = true;
        } else if (arg == "--start") {
            cl.start = true;
        } else if (arg == "--sync") {
            cl.synchronized = true;
        } else if (arg == "--mode" && value(&v) && !v.empty()) {
            cl.mode = std::string(v);
        } else if ((arg == "--seconds" && value(&v) && number(v, 1, 86400, &cl.seconds)) ||
                   (arg == "--replay-fps" && value(&v) && number(v, 1, 10000, &cl.replayFps)) ||
                   (arg == "--threads" && value(&v) && number(v, 1, 64, &cl.threads))) {
            // number() stored the value.
        } else if (arg == "--memory" && value(&v) && number(v, 0, 16, &n)) {
            cl.memory = static_cast<int>(n);
        } else {
            if (error != nullptr) *error = "bad argument: " + std::string(arg);
            return std::nullopt;
        }
    }
    return cl;
}

std::string helpText() {
    return "Usage: quickcap [--simulate] [--bench options]\n"
           "Shows a high-frame-rate camera in real time beside a slowed-down replay.\n"
           "\n"
           "  --simulate          use synthetic cameras (settings from OLK_SYNTHETIC)\n"
           "  --mode WxH@FPS:FMT  the synthetic camera's only mode, e.g. 1920x1080@240:YUY2\n"
           "  --start             choose the first camera and mode and launch at once\n"
           "  --bench             run the capture pipeline headless and print its figures\n"
           "  --seconds N         length of the bench run (default 10)\n"
           "  --replay-fps R      replay rate (slow motion below the capture rate)\n"
           "  --threads T         conversion threads per window (default 1)\n"
           "  --memory M          memory slider position 0-16 (default 0)\n"
           "  --sync              synchronized capture mode (blocking reads)\n"
           "  --help              this text\n"
           "\n"
           "In the replay window: Space pauses, Left/Right step, Home/End jump.\n";
}

}  // namespace OLK
