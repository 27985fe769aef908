#include "cli_app.h"

#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <ostream>

#include <fmt/format.h>

#include "apilog.h"
#include "backend/usb_backend.h"
#include "cli/band_command.h"
#include "cli/cli_session.h"
#include "cli/cmx_command.h"
#include "cli/console_commands.h"
#include "cli/console_progress.h"
#include "cli/curve_command.h"
#include "cli/demo_command.h"
#include "cli/dpc_command.h"
#include "cli/firmware_commands.h"
#include "cli/prefs_command.h"
#include "cli/reg_command.h"
#include "cli/settings_commands.h"
#include "cli/sim_image_command.h"
#include "cli/watch_command.h"
#include "sensor/img_sensor.h"
#include "usb/usb_device.h"
#include "usb/usb_driver.h"

namespace TVR::Cli {

namespace {

constexpr const char* kGlobalHelp =
    "Usage: brisco-cli [global options] <command> [command options]\n"
    "\n"
    "Commands:\n"
    "  list    list the cameras: index, name, device path, location, speed, vid:pid\n"
    "  info    show the USB facts, firmware versions and sensor of a camera\n"
    "  sim-image  write a firmware image for the simulated camera\n"
    "  read    read every camera value: print the settings file, or write it (-o FILE)\n"
    "  load    load a settings file and push it (--yes: also one saved for another sensor)\n"
    "  push    load a settings file into the store, then push all values\n"
    "  get     read one value by key\n"
    "  set     push one value by key\n"
    "  reg     read or write one FPGA, sensor or I2C register\n"
    "  band    show or change one band of the colour substitution (chroma key)\n"
    "  cmx     show or change the colour correction matrix\n"
    "  curve   print a colour-grading curve, or write one from a file\n"
    "  sysinfo    show the camera's system information record\n"
    "  i2c-script  run a console script of register writes on an I2C bus device\n"
    "  sensor-script  run a console script on the image sensor, or compare it (--compare)\n"
    "  dpc-calibrate  find the camera's DPC threshold, or run one calibration (--manual N)\n"
    "  demo    play settings files in a loop, each for its time, until interrupted\n"
    "  releases   list the server's firmware releases for the camera's FX3 or FPGA\n"
    "  check-update  ask the server whether a newer control panel exists\n"
    "  upgrade    replace the FX3 or FPGA firmware from a file or a server release\n"
    "  prefs   list, read or change the control panel's preferences\n"
    "  watch   load a settings file into every camera that is plugged in, until stopped\n"
    "\n"
    "Global options (before or after the command):\n"
    "  --simulate    use the simulated cameras (configured by TAVRO_SIM)\n"
    "  --device N    the camera to use (index from 'list'; default 0)\n"
    "  --server URL  the download server (http, https or file URL)\n"
    "  --progress    show the progress line of long operations also when stderr is not a\n"
    "                terminal (on a terminal it is always shown)\n"
    "  --log-api[=detail]  log every camera request and print the log to stderr at exit\n"
    "                (with =detail, each line's details as well)\n"
    "  --help        this text, or a command's help after the command\n"
    "\n"
    "Environment:\n"
    "  TAVRO_CONTROL_TIMEOUT_MS  time-out of each control request to the camera in\n"
    "                milliseconds (default 50), for slow links such as an emulated machine\n"
    "\n"
    "Exit codes: 0 success, 1 camera error (including no camera), 2 usage error.\n";

// --log-api: what is printed of the API-call log at exit.
enum class ApiLogOutput { None, Summary, Detail };

struct Options {
    bool simulate = false;
    ApiLogOutput logApi = ApiLogOutput::None;
    bool help = false;
    bool progress = false;
    int device = 0;
    uint32_t controlTimeoutMs = kControlTimeoutMs;
    std::string server;
    std::string command;
    std::vector<std::string> rest;  // command arguments
    BackendOpener open;
};

struct Context {
    Options opts;
    std::ostream& out;
    std::ostream& err;
    ApiLog& log;  // the run's own
};

struct Command {
    const char* help;
    std::function<int(Context&)> run;
    bool takesArguments = false;  // options other than the global ones go to the command
};

int cameraError(Context& c, const std::string& message) {
    c.err << "brisco-cli: " << message << '\n';
    return kExitCamera;
}

int usageError(std::ostream& err, const std::string& message) {
    err << "brisco-cli: " << message << "\nTry 'brisco-cli --help'.\n";
    return kExitUsage;
}

constexpr std::string_view kDetailIndent = "                ";

// The version records' texts end their lines with LF CR; a terminal wants LF alone.
std::string terminalLines(std::string text) {
    size_t at = 0;
    while ((at = text.find("\n\r", at)) != std::string::npos) text.erase(at + 1, 1);
    return text;
}

const char* speedText(const UsbDevice& dev) {
    if (dev.isSuperSpeed()) return "super-speed";
    if (dev.isHighSpeed()) return "high-speed";
    return "full-speed";
}

// Opens the backends, reporting a failure as a camera error.
bool backends(Context& c, Backends& b, int& rc) {
    std::string error;
    b = openCliBackends(c.opts.open, c.opts.simulate, error);
    if (!b.usb) {
        rc = cameraError(c, error);
        return false;
    }
    return true;
}

int cmdList(Context& c) {
    Backends b;
    int rc = kExitOk;
    if (!backends(c, b, rc)) return rc;
    // An empty bus is an answer: no lines.
    const uint8_t count = usbDeviceCount(*b.usb);
    UsbDevice dev(*b.usb);
    for (unsigned i = 0; i < count; ++i) {
        if (!dev.open(static_cast<uint8_t>(i))) {
            const std::string path = usbDevicePath(*b.usb, static_cast<uint8_t>(i));
            c.out << fmt::format("{}\t(cannot be opened)\t{}\t{}\t-\t-\n", i, path,
                                 b.usb->location(path));
            continue;
        }
        const auto& d = dev.deviceDescriptor();
        c.out << fmt::format("{}\t{}\t{}\t{}\t{}\t{:04x}:{:04x}\n", i, dev.friendlyName(),
                             dev.path(), dev.location(), speedText(dev), d.idVendor, d.idProduct);
        dev.close();
    }
    return kExitOk;
}

int cmdInfo(Context& c) {
    CliSession cli(c.err, c.log, false, c.opts.progress);
    int rc = kExitOk;
    if (!cli.open(CameraChoice{c.opts.simulate, c.opts.device, c.opts.progress, c.opts.open, c.log,
                               c.opts.controlTimeoutMs},
                  rc, true)) {
        return rc;
    }
    ImgSensor& cam = cli.session().camera();
    UsbDevice& dev = cam.device();
    const auto& d = dev.deviceDescriptor();
    const auto usbVer = dev.infoPair(UsbDevice::kPairUsbVersion);
    const auto drvVer = dev.infoPair(UsbDevice::kPairDriverVersion);
    const auto cls = dev.infoPair(UsbDevice::kPairClass);
    auto line = [&](const char* key, const std::string& value) {
        c.out << fmt::format("{:<16}{}\n", key, value);
    };
    line("Name:", dev.friendlyName());
    line("Device name:", dev.deviceName());
    line("Path:", dev.path());
    line("Location:", dev.location());
    line("USB ids:", fmt::format("{:04x}:{:04x}", d.idVendor, d.idProduct));
    line("USB version:", fmt::format("{}.{:02x}", usbVer.first, usbVer.second));
    line("Speed:", speedText(dev));
    line("Class:", fmt::format("0x{:02X}/0x{:02X}", cls.first, cls.second));
    line("Protocol:", dev.protocolText());
    line("Address:", std::to_string(dev.infoNumber(UsbDevice::kNumberAddress)));
    line("Max power:", fmt::format("{} mA", dev.maxPowerMilliamps()));
    line("Manufacturer:", dev.infoText(UsbDevice::kTextManufacturer));
    line("Product:", dev.infoText(UsbDevice::kTextProduct));
    line("Driver:", fmt::format("{}.{}", drvVer.first, drvVer.second));
    line("FX3 firmware:", cam.versionFX3().shortText());
    c.out << terminalLines(cam.versionFX3().detailedText(kDetailIndent));
    line("FPGA firmware:", cam.versionFPGA().shortText());
    c.out << terminalLines(cam.versionFPGA().detailedText(kDetailIndent));
    line("Sensor:", fmt::format("{} ({})", cam.chipName(), cam.chipIdText()));
    if (!cam.versionFX3().valid()) {
        return cameraError(c, kMuteCameraText);
    }
    return kExitOk;
}

using SettingsRun = int (*)(const std::vector<std::string>&, const CameraChoice&, std::ostream&,
                            std::ostream&);

std::function<int(Context&)> settingsCommand(SettingsRun run) {
    return [run](Context& c) {
        return run(c.opts.rest,
                   CameraChoice{c.opts.simulate, c.opts.device, c.opts.progress, c.opts.open, c.log,
                                c.opts.controlTimeoutMs},
                   c.out, c.err);
    };
}

FirmwareSettings firmwareSettings(Context& c) {
    return {.simulate = c.opts.simulate,
            .device = c.opts.device,
            .server = c.opts.server,
            .open = c.opts.open,
            .log = c.log,
            .controlTimeoutMs = c.opts.controlTimeoutMs};
}

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> table{
        {"list",
         {"Usage: brisco-cli [--simulate] list\n"
          "Prints one line per camera, tab-separated: index, friendly name, device path,\n"
          "location, speed, vid:pid.\n",
          cmdList}},
        {"info",
         {"Usage: brisco-cli [--simulate] [--device N] info\n"
          "Prints the USB facts of a camera (default: the first).\n",
          cmdInfo}},
        {"read", {kReadHelp, settingsCommand(runRead), true}},
        {"load", {kLoadHelp, settingsCommand(runLoad), true}},
        {"push", {kPushHelp, settingsCommand(runPush), true}},
        {"get", {kGetHelp, settingsCommand(runGet), true}},
        {"set", {kSetHelp, settingsCommand(runSet), true}},
        {"reg", {kRegHelp, settingsCommand(runReg), true}},
        {"band", {kBandHelp, settingsCommand(runBand), true}},
        {"cmx", {kCmxHelp, settingsCommand(runCmx), true}},
        {"curve", {kCurveHelp, settingsCommand(runCurve), true}},
        {"sysinfo", {kSysinfoHelp, settingsCommand(runSysinfo), true}},
        {"i2c-script", {kI2cScriptHelp, settingsCommand(runI2cScript), true}},
        {"sensor-script", {kSensorScriptHelp, settingsCommand(runSensorScript), true}},
        {"dpc-calibrate", {kDpcCalibrateHelp, settingsCommand(runDpcCalibrate), true}},
        {"demo", {kDemoHelp, settingsCommand(runDemo), true}},
        {"watch", {kWatchHelp, settingsCommand(runWatch), true}},
        {"prefs",
         {kPrefsHelp, [](Context& c) { return runPrefs(c.opts.rest, c.log, c.out, c.err); }, true}},
        {"sim-image",
         {kSimImageHelp, [](Context& c) { return runSimImage(c.opts.rest, c.out, c.err); }, true}},
        {"releases",
         {kReleasesHelp,
          [](Context& c) { return runReleases(c.opts.rest, firmwareSettings(c), c.out, c.err); },
          true}},
        {"check-update",
         {kCheckUpdateHelp,
          [](Context& c) { return runCheckUpdate(firmwareSettings(c), c.out, c.err); }}},
        {"upgrade",
         {kUpgradeHelp,
          [](Context& c) { return runUpgrade(c.opts.rest, firmwareSettings(c), c.out, c.err); },
          true}},
    };
    return table;
}

bool commandTakesArguments(const std::string& command) {
    const auto it = commands().find(command);
    return it != commands().end() && it->second.takesArguments;
}

// TAVRO_CONTROL_TIMEOUT_MS, when set: a whole number of milliseconds.
bool controlTimeoutFromEnvironment(uint32_t& ms, std::ostream& err, int& rc) {
    const char* text = std::getenv(kControlTimeoutVariable);
    if (text == nullptr) return true;
    const std::string_view v(text);
    const auto n = parseWholeNumber(v, 1, kMaxControlTimeoutMs);
    if (!n) {
        rc = usageError(err, fmt::format("{} takes a time-out of 1 to {} ms, not '{}'",
                                         kControlTimeoutVariable, kMaxControlTimeoutMs, v));
        return false;
    }
    ms = *n;
    return true;
}

// Global options may stand before or after the command.
bool parse(const std::vector<std::string>& args, Options& o, std::ostream& err, int& rc) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--simulate") {
            o.simulate = true;
        } else if (a == "--progress") {
            o.progress = true;
        } else if (a == "--log-api") {
            o.logApi = ApiLogOutput::Summary;
        } else if (a == "--log-api=detail") {
            o.logApi = ApiLogOutput::Detail;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--server") {
            if (i + 1 >= args.size()) {
                rc = usageError(err, "--server needs a URL");
                return false;
            }
            o.server = args[++i];
            if (!validServerAddress(o.server)) {
                rc = usageError(
                    err,
                    fmt::format("--server takes an http, https or file URL, not '{}'", o.server));
                return false;
            }
        } else if (a == "--device") {
            if (i + 1 >= args.size()) {
                rc = usageError(err, "--device needs a camera index");
                return false;
            }
            const std::string& v = args[++i];
            const auto n = parseWholeNumber(v, 0, 255);
            if (!n) {
                rc = usageError(err, fmt::format("--device takes 0 to 255, not '{}'", v));
                return false;
            }
            o.device = static_cast<int>(*n);
        } else if (a.size() > 1 && a[0] == '-' && !commandTakesArguments(o.command)) {
            rc = usageError(err, fmt::format("unknown option '{}'", a));
            return false;
        } else if (o.command.empty()) {
            o.command = a;
        } else {
            o.rest.push_back(a);
        }
    }
    return true;
}

// The merged listing, one line per message or request in time order, each followed by its
// details when asked.
void printApiLog(const ApiLog& log, bool detail, std::ostream& err) {
    std::vector<LogLine> lines;
    const std::string listing = log.listing(&lines);
    size_t at = 0;
    for (const LogLine& line : lines) {
        const size_t end = listing.find("\r\n", at);
        if (end == std::string::npos) break;
        err << std::string_view(listing).substr(at, end - at) << '\n';
        at = end + 2;
        if (detail) {
            std::string text = log.detailText(line);
            if (!text.empty() && text.back() != '\n') text += '\n';
            err << text << '\n';
        }
    }
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const BackendOpener& open) {
    Options opts;
    int rc = kExitOk;
    if (!controlTimeoutFromEnvironment(opts.controlTimeoutMs, err, rc)) return rc;
    if (!parse(args, opts, err, rc)) return rc;
    opts.open = open;
    if (opts.command.empty()) {
        if (opts.help) {
            out << kGlobalHelp;
            return kExitOk;
        }
        return usageError(err, "no command given");
    }
    const auto& table = commands();
    const auto it = table.find(opts.command);
    if (it == table.end())
        return usageError(err, fmt::format("unknown command '{}'", opts.command));
    if (opts.help) {
        out << it->second.help;
        return kExitOk;
    }
    if (!opts.rest.empty() && !it->second.takesArguments) {
        return usageError(err,
                          fmt::format("'{}' takes no argument '{}'", opts.command, opts.rest[0]));
    }
    // The line is drawn by default only on the user's own terminal.
    if (&err == &std::cerr && stderrIsTerminal()) opts.progress = true;
    // Each run has a log of its own, so --log-api shows this run's requests and nothing older.
    ApiLog log;
    log.setLogging(opts.logApi != ApiLogOutput::None);
    Context ctx{opts, out, err, log};
    rc = it->second.run(ctx);
    if (opts.logApi != ApiLogOutput::None) {
        printApiLog(log, opts.logApi == ApiLogOutput::Detail, err);
    }
    return rc;
}

}  // namespace TVR::Cli
