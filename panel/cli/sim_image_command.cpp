#include "sim_image_command.h"

#include <string_view>

#include <fmt/format.h>

#include "cli/cli_app.h"
#include "cli/cli_session.h"
#include "settings/safe_file_write.h"
#include "sim/sim_firmware.h"
#include "sim/sim_images.h"

namespace TVR::Cli {

const char* const kSimImageHelp =
    "Usage: brisco-cli sim-image fx3|fpga --build N [--corrupt] -o FILE\n"
    "Writes a firmware image for the simulated camera that reports build N (0-8191) once it\n"
    "runs: an FX3 \"CY\" program image or an FPGA bitstream. With --corrupt the camera\n"
    "rejects it: the FX3 image has a wrong checksum, the FPGA bitstream fails its CRC during\n"
    "configuration. FILE is replaced as a whole or left as it was, and refused when the user\n"
    "may not write it. FILE may also be - (standard output), a named pipe or a device, which\n"
    "are written directly.\n";

namespace {}  // namespace

int runSimImage(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string kind;
    std::string output;
    bool corrupt = false;
    int build = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--corrupt") {
            corrupt = true;
        } else if (a == "--build" || a == "-o") {
            if (i + 1 >= args.size())
                return cliUsage(err, "sim-image", fmt::format("{} needs a value", a));
            const std::string& v = args[++i];
            if (a == "-o") {
                output = v;
                continue;
            }
            const auto n = parseWholeNumber(v, 0, Sim::kMaxSimBuild);
            if (!n) {
                return cliUsage(
                    err, "sim-image",
                    fmt::format("--build takes 0 to {}, not '{}'", Sim::kMaxSimBuild, v));
            }
            build = static_cast<int>(*n);
        } else if ((a == "fx3" || a == "fpga") && kind.empty()) {
            kind = a;
        } else {
            return cliUsage(err, "sim-image", fmt::format("unexpected argument '{}'", a));
        }
    }
    if (kind.empty()) return cliUsage(err, "sim-image", "say fx3 or fpga");
    if (build < 0) return cliUsage(err, "sim-image", "--build N is required");
    if (output.empty()) return cliUsage(err, "sim-image", "-o FILE is required");

    const auto b = static_cast<uint32_t>(build);
    const auto image =
        kind == "fx3" ? Sim::buildSimFx3Image(b, corrupt) : Sim::buildSimFpgaImage(b, corrupt);
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
    const std::string summary =
        fmt::format("{}: {} image, build {}{}, {} bytes\n", output, kind == "fx3" ? "FX3" : "FPGA",
                    build, corrupt ? " (corrupt)" : "", image.size());
    // On standard output the image stands alone; the summary goes with the messages.
    if (output == kStandardOutputName) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            err << "brisco-cli: cannot write the image to standard output\n";
            return kExitCamera;
        }
        err << summary;
        return kExitOk;
    }
    if (const FileWriteResult written = safeFileWrite(output, bytes); !written) {
        err << fmt::format("brisco-cli: cannot write '{}': {}\n", output, written.message);
        return kExitCamera;
    }
    out << summary;
    return kExitOk;
}

}  // namespace TVR::Cli
