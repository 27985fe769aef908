#include "cli/console_commands.h"

#include <fstream>
#include <optional>
#include <sstream>

#include <fmt/format.h>

#include "sensor/img_sensor.h"
#include "settings/preferences.h"
#include "tools/consoles/console_i2c_model.h"
#include "tools/consoles/console_script.h"
#include "tools/consoles/console_sensor_model.h"
#include "tools/sysinfo/sys_info_model.h"

namespace TVR::Cli {

const char* const kSysinfoHelp =
    "Usage: brisco-cli [--simulate] [--device N] sysinfo\n"
    "Prints the camera's system information record (FX3 firmware build 53 or later) with the\n"
    "lines of the control panel's technical report; the camera checks its memory heap and DMA\n"
    "buffers on the way. A record the camera rejects or that arrives damaged is an error.\n";

const char* const kI2cScriptHelp =
    "Usage: brisco-cli [--simulate] [--device N] i2c-script [--address DEVICE] [--16]\n"
    "                  [--keep-going] FILE\n"
    "Writes the register/value pairs of a console script to a device on the camera's I2C bus\n"
    "(DEVICE: the I2C address in its 8-bit form, default 0x20; --16: 16-bit register\n"
    "addresses, else 8-bit). The run stops at the first failure unless --keep-going is given.\n"
    "Script: pairs of numbers separated by blanks, commas or braces, ';' starts a comment;\n"
    "numbers 0x1F hexadecimal, 0b101 binary, 017 octal, otherwise decimal. A script with an\n"
    "error is refused with its line and column before anything is sent.\n";

const char* const kSensorScriptHelp =
    "Usage: brisco-cli [--simulate] [--device N] sensor-script FILE [--group]\n"
    "       brisco-cli [--simulate] [--device N] sensor-script FILE --compare [--defaults]\n"
    "Writes the register/value pairs of a console script to the image sensor (--group: inside\n"
    "one group hold, for 1 to 15 pairs). With --compare nothing is written: the pairs whose\n"
    "value the sensor does not hold now are printed, one per line (--defaults: after the\n"
    "sensor's software reset, so against its defaults). The script syntax is i2c-script's.\n";

namespace {

// Scripts are typed by hand; anything near this size is not one.
constexpr std::streamsize kMaxScriptBytes = 4 << 20;

std::string terminalText(std::string text) {
    size_t at = 0;
    while ((at = text.find('\r', at)) != std::string::npos) text.erase(at, 1);
    return text;
}

// The script's pairs, or the exit code with the reason written.
std::optional<std::vector<ConsolePair>> readScript(const std::string& command,
                                                   const std::string& path, std::ostream& err,
                                                   int& rc) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        rc = cliUsage(err, command, fmt::format("cannot read '{}'", path));
        return std::nullopt;
    }
    std::string text;
    text.resize(static_cast<size_t>(kMaxScriptBytes) + 1);
    in.read(text.data(), kMaxScriptBytes + 1);
    if (in.bad()) {
        rc = cliUsage(err, command, fmt::format("cannot read '{}'", path));
        return std::nullopt;
    }
    if (in.gcount() > kMaxScriptBytes) {
        rc = cliUsage(err, command, fmt::format("'{}' is larger than a script can be", path));
        return std::nullopt;
    }
    text.resize(static_cast<size_t>(in.gcount()));
    StrictScript script = parseConsoleScriptStrict(text);
    if (!script.ok) {
        err << fmt::format("brisco-cli: {}: {}: {}\n", command, path, script.error);
        rc = kExitUsage;
        return std::nullopt;
    }
    if (script.pairs.empty()) {
        err << fmt::format("brisco-cli: {}: {}: {}\n", command, path, kI2cEmptyScript);
        rc = kExitUsage;
        return std::nullopt;
    }
    return std::move(script.pairs);
}

}  // namespace

int runSysinfo(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
               std::ostream& err) {
    if (!args.empty()) return cliUsage(err, "sysinfo", "takes no arguments");
    CliSession cli(err, camera.log, false, camera.progress);
    int rc = kExitOk;
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    const auto lock = session.batch();
    ImgSensor& cam = session.camera();
    if (!cam.versionFX3().buildAtLeast(kSysInfoBuild)) {
        return cliFailure(err, kSysInfoNotImplemented);
    }
    const SystemInformation info = readSystemInformation(cam, kSysInfoReportFlags);
    if (!info.valid) {
        return cliFailure(err,
                          "the camera's system information record could not be read "
                          "(rejected or damaged reply)");
    }
    out << terminalText(systemInformationReport(info, true));
    return kExitOk;
}

int runI2cScript(const std::vector<std::string>& args, const CameraChoice& camera,
                 std::ostream& out, std::ostream& err) {
    const std::string command = "i2c-script";
    uint32_t address = 0x20;
    bool eightBit = true;
    bool stopOnFirstError = true;
    std::string path;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--address") {
            if (i + 1 == args.size()) return cliUsage(err, command, "--address needs a device");
            const auto n = parseConsoleNumberExact(args[++i], 0xFF);
            if (!n || *n == 0) {
                return cliUsage(err, command,
                                fmt::format("--address takes 1 to 0xFF, not '{}'", args[i]));
            }
            address = *n;
        } else if (a == "--16") {
            eightBit = false;
        } else if (a == "--keep-going") {
            stopOnFirstError = false;
        } else if (a.starts_with("--") || !path.empty()) {
            return cliUsage(err, command, fmt::format("unexpected argument '{}'", a));
        } else {
            path = a;
        }
    }
    if (path.empty()) return cliUsage(err, command, "a script FILE is needed");
    int rc = kExitOk;
    const auto pairs = readScript(command, path, err, rc);
    if (!pairs) return rc;

    CliSession cli(err, camera.log, false, camera.progress);
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    const auto lock = session.batch();
    const I2cRunResult r = runI2cPairs(session.camera(), static_cast<uint8_t>(address), *pairs,
                                       eightBit, stopOnFirstError);
    if (r.ok()) {
        out << fmt::format("{} ({} pairs written)\n", r.text, r.sent);
        return kExitOk;
    }
    std::string text = r.text;
    if (!text.ends_with('\n')) text += '\n';
    out << text;
    return cliFailure(err, fmt::format("{} of {} pairs written to I2C device 0x{:02X}", r.sent,
                                       pairs->size(), address));
}

int runSensorScript(const std::vector<std::string>& args, const CameraChoice& camera,
                    std::ostream& out, std::ostream& err) {
    const std::string command = "sensor-script";
    bool compare = false;
    bool defaults = false;
    bool group = false;
    std::string path;
    for (const std::string& a : args) {
        if (a == "--compare") {
            compare = true;
        } else if (a == "--defaults") {
            defaults = true;
        } else if (a == "--group") {
            group = true;
        } else if (a.starts_with("--") || !path.empty()) {
            return cliUsage(err, command, fmt::format("unexpected argument '{}'", a));
        } else {
            path = a;
        }
    }
    if (path.empty()) return cliUsage(err, command, "a script FILE is needed");
    if (defaults && !compare) return cliUsage(err, command, "--defaults goes with --compare");
    if (group && compare) return cliUsage(err, command, "--group writes; --compare does not");
    int rc = kExitOk;
    const auto pairs = readScript(command, path, err, rc);
    if (!pairs) return rc;

    CliSession cli(err, camera.log, false, camera.progress);
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    const auto lock = session.batch();
    ConsoleSensorModel& model = session.models().consoleSensor();
    if (!compare) {
        if (!model.runScript(*pairs, group)) {
            return cliFailure(err, "writing the script to the sensor failed");
        }
        out << fmt::format("{} pairs written to the sensor\n", pairs->size());
        return kExitOk;
    }
    ImgSensor& cam = session.camera();
    const uint64_t failedBefore = cam.failedRequests();
    const auto left = model.compare(*pairs, defaults);
    // A register that could not be read would be listed as differing: that is no comparison.
    if (!left || cam.failedRequests() != failedBefore) {
        return cliFailure(err, "reading the sensor's registers failed");
    }
    out << terminalText(consoleScriptText(*left));
    return kExitOk;
}

}  // namespace TVR::Cli
