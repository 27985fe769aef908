// Feeds quickcap command lines to its parser: the input is the argument list, split at NUL
// bytes (argv[0] first). A refused line names one of its own arguments; an accepted one holds
// only values inside the documented ranges, is written back as arguments and parses again to
// the same options, and every argument parses the same whether or not an error is asked for.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "fuzz_check.h"
#include "scratch_folder.h"

namespace {

using OLK::CommandLine;

bool same(const CommandLine& a, const CommandLine& b) {
    return a.help == b.help && a.simulate == b.simulate && a.bench == b.bench &&
           a.synchronized == b.synchronized && a.start == b.start && a.mode == b.mode &&
           a.seconds == b.seconds && a.replayFps == b.replayFps && a.threads == b.threads &&
           a.memory == b.memory;
}

std::vector<std::string> canonical(const CommandLine& c) {
    std::vector<std::string> args{"quickcap"};
    if (c.help) args.push_back("--help");
    if (c.simulate) args.push_back("--simulate");
    if (c.bench) args.push_back("--bench");
    if (c.start) args.push_back("--start");
    if (c.synchronized) args.push_back("--sync");
    if (!c.mode.empty()) args.insert(args.end(), {"--mode", c.mode});
    args.insert(args.end(), {"--seconds", std::to_string(c.seconds)});
    if (c.replayFps != 0) args.insert(args.end(), {"--replay-fps", std::to_string(c.replayFps)});
    args.insert(args.end(), {"--threads", std::to_string(c.threads)});
    args.insert(args.end(), {"--memory", std::to_string(c.memory)});
    return args;
}

// argv as main() gets it: writable strings and a null after the last.
struct Argv {
    explicit Argv(std::vector<std::string> args) : strings(std::move(args)) {
        for (std::string& s : strings) pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(strings.size()); }
    char** argv() { return pointers.data(); }
    std::vector<std::string> strings;
    std::vector<char*> pointers;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> args = TavroFuzz::split(input, '\0');
    Argv line(args);
    std::string error;
    const auto parsed = OLK::parseCommandLine(line.argc(), line.argv(), &error);
    FUZZ_CHECK(line.strings == args);  // the parser reads argv and never writes it

    Argv quiet(args);
    const auto quietly = OLK::parseCommandLine(quiet.argc(), quiet.argv(), nullptr);
    FUZZ_CHECK(parsed.has_value() == quietly.has_value());

    if (!parsed) {
        // The message names an argument of this line (argv[0] is never parsed).
        constexpr std::string_view kPrefix = "bad argument: ";
        FUZZ_CHECK(error.starts_with(kPrefix));
        const std::string named = error.substr(kPrefix.size());
        bool found = false;
        for (size_t i = 1; i < args.size() && !found; ++i) found = args[i] == named;
        FUZZ_CHECK(found);
        return 0;
    }
    FUZZ_CHECK(same(*parsed, *quietly));
    FUZZ_CHECK(parsed->seconds >= 1 && parsed->seconds <= 86400);
    FUZZ_CHECK(parsed->replayFps <= 10000);
    FUZZ_CHECK(parsed->threads >= 1 && parsed->threads <= 64);
    FUZZ_CHECK(parsed->memory >= 0 && parsed->memory <= 16);

    Argv again(canonical(*parsed));
    std::string error2;
    const auto reparsed = OLK::parseCommandLine(again.argc(), again.argv(), &error2);
    FUZZ_CHECK(reparsed.has_value());
    FUZZ_CHECK(same(*parsed, *reparsed));
    return 0;
}
