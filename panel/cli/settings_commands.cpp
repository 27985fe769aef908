#include "settings_commands.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include <fmt/format.h>

#include "cli/cli_app.h"
#include "cli/cli_session.h"
#include "sensor/img_sensor.h"
#include "session/camera_session.h"
#include "settings/control_catalogue.h"
#include "settings/control_transfer.h"
#include "settings/qcf_file.h"
#include "settings/safe_file_write.h"
#include "settings/settings_store.h"
#include "settings/table_value_owner.h"
#include "shell/tab_gains_model.h"
#include "shell/tab_led_model.h"
#include "tools/nrauto/auto_functions_model.h"
#include "tools/nrauto/nr_video_model.h"
#include "tools/test_patterns/test_patterns_model.h"
#include "video/uvc_properties.h"

namespace TVR::Cli {

const char* const kReadHelp =
    "Usage: brisco-cli [--simulate] [--device N] read [-o FILE]\n"
    "Reads every value of the camera and prints the settings file, or writes it to FILE.\n"
    "FILE may be - (standard output), a named pipe or a device; a file the user may not\n"
    "write is refused and left as it was.\n";
const char* const kLoadHelp =
    "Usage: brisco-cli [--simulate] [--device N] load FILE [--yes]\n"
    "Loads a settings file and pushes it to the camera page by page. A file saved for a\n"
    "different sensor is refused unless --yes answers the question.\n";
const char* const kPushHelp =
    "Usage: brisco-cli [--simulate] [--device N] push FILE\n"
    "Loads a settings file and pushes all its values, without the sensor check.\n";
const char* const kGetHelp =
    "Usage: brisco-cli [--simulate] [--device N] get KEY\n"
    "Reads one value from the camera and prints it: any key 'read' writes (for example\n"
    "OV_EXPOSURE, OV_BINNING, TP_CHOICE, FLIP_H, SENSOR_MODEL, or UVC_GAIN and its flags\n"
    "UVC_GAIN_AUTO: 1 automatic, 2 manual).\n";
const char* const kSetHelp =
    "Usage: brisco-cli [--simulate] [--device N] set KEY VALUE\n"
    "Pushes one value to the camera: true/false for switches, a decimal number, a\n"
    "hexadecimal number (0xFF or FF) for hexadecimal keys, a real for OV_VIDEO_FPS, a\n"
    "decimal number for the UVC keys (a UVC value makes the property manual; its _AUTO key\n"
    "takes the flags, 1 automatic or 2 manual). A value outside the key's range is refused\n"
    "(exit code 2) with the range; SENSOR_MODEL and SENSOR_ID_STR are read-only.\n";

namespace {

// A UVC key of the settings files: the property, its set and whether the key is the flags word.
struct UvcKey {
    bool cameraControl = false;
    int32_t property = 0;
    bool flags = false;
};

std::optional<UvcKey> findUvcKey(std::string_view key) {
    for (const bool cameraControl : {true, false}) {
        for (const UvcControl& c : cameraControl ? uvcCameraControlList() : uvcProcAmpList()) {
            if (key == c.key) return UvcKey{cameraControl, c.property, false};
            if (key == uvcAutoKey(c.key)) return UvcKey{cameraControl, c.property, true};
        }
    }
    return std::nullopt;
}

// The property set of the camera's capture side that holds `key`; null when it has none.
UvcProperties* uvcSet(UvcPropertySource* source, const UvcKey& key) {
    if (source == nullptr) return nullptr;
    return key.cameraControl ? source->cameraControl() : source->procAmp();
}

// A key of the settings files that get and set take besides the UVC keys: its format, the
// value owner that reads and pushes it, and the values it may hold.
struct KeySpec {
    std::string_view key;
    ControlFormat format = ControlFormat::Decimal;
    OwnerId owner = OwnerId::TabGains;
    double minimum = 0;
    double maximum = 0;
    // >= 0: the maximum is the connected sensor's own for this sensor value.
    int sensorValue = -1;
    bool readOnly = false;
};

using enum ControlFormat;
using enum OwnerId;

// Every key a read writes, in the order of the pages.
constexpr KeySpec kKeys[] = {
    {"OV_MANUAL_WB_ON", Bool, TabGains, 0, 1},
    {"OV_MANUAL_GAIN_ON", Bool, TabGains, 0, 1},
    {"OV_MANUAL_EXP_ON", Bool, TabGains, 0, 1},
    {"OV_WB_GAIN_R", Decimal, TabGains, 0, 0, kValueWbGainR},
    {"OV_WB_GAIN_G", Decimal, TabGains, 0, 0, kValueWbGainG},
    {"OV_WB_GAIN_B", Decimal, TabGains, 0, 0, kValueWbGainB},
    {"OV_GLOBAL_GAIN", Decimal, TabGains, 0, 0, kValueGlobalGain},
    {"OV_EXPOSURE", Decimal, TabGains, 0, 0, kValueExposure},
    {"OV_BLACK_LEVEL", Decimal, TabGains, 0, 0, kValueBlackLevel},
    {"OV_VIDEO_FPS", Real, TabGains, kFrameRateLowest, kFrameRateHighest},
    {"OV_BINNING", Decimal, TabGains, 0, static_cast<double>(kBinningItems.size() - 1)},
    {"LED_R", Hex, TabLed, 0, TabLedModel::kLevelMaximum},
    {"LED_G", Hex, TabLed, 0, TabLedModel::kLevelMaximum},
    {"LED_B", Hex, TabLed, 0, TabLedModel::kLevelMaximum},
    {"FAN", Bool, TabLed, 0, 1},
    {"TP_ON", Bool, TestPatterns, 0, 1},
    {"TP_TRANSP", Bool, TestPatterns, 0, 1},
    {"TP_ROLL", Bool, TestPatterns, 0, 1},
    {"TP_CHOICE", Decimal, TestPatterns, 1, kTestPatternChoices},
    {"TP_ENABLE_SEED", Bool, TestPatterns, 0, 1},
    {"TP_SEED", Hex, TestPatterns, 0, 0, kValueTestPatternSeed},
    {"FLIP_H", Bool, ConsoleSensor, 0, 1},
    {"FLIP_V", Bool, ConsoleSensor, 0, 1},
    {"FAKE_RAW_VIDEO", Bool, ConsoleFpga, 0, 1},
    {"VNR_CHROMA", Hex, NrVideo, 0, NrVideoModel::kStrengthMaximum},
    {"VNR_LUMA", Hex, NrVideo, 0, NrVideoModel::kStrengthMaximum},
    {"AFN_SETPOINT_EXP", Decimal, AutoFunctions, 0, AutoFunctionsModel::kExposureMaximum},
    {"AFN_SETPOINT_WB", Decimal, AutoFunctions, 0, AutoFunctionsModel::kWhiteBalanceMaximum},
    {"AFN_UPDATE_INTERVAL", Decimal, AutoFunctions, 0, AutoFunctionsModel::kIntervalFineMaximum},
    {"SENSOR_MODEL", Decimal, TabBasic, 0, 0, -1, true},
    {"SENSOR_ID_STR", Decimal, TabBasic, 0, 0, -1, true},
};

const KeySpec* findKey(std::string_view key) {
    for (const KeySpec& spec : kKeys) {
        if (spec.key == key) return &spec;
    }
    return nullptr;
}

// The catalogue row of a key that a page's table transfers; null for the others.
const NamedControl* catalogueRow(std::string_view key) {
    for (auto table : {tabGainsControls(), tabLedControls(), nrVideoControls(),
                       autoFunctionsControls(), consoleFpgaControls()}) {
        if (const NamedControl* row = findControl(table, key)) return row;
    }
    return nullptr;
}

std::string rangeText(const KeySpec& spec, double maximum) {
    switch (spec.format) {
        case Bool:
            return "true or false";
        case Hex:
            return fmt::format("0x{:X} to 0x{:X}", static_cast<int64_t>(spec.minimum),
                               static_cast<int64_t>(maximum));
        case Real:
            return fmt::format("{} to {}", spec.minimum, maximum);
        case Decimal:
            break;
    }
    return fmt::format("{} to {}", static_cast<int64_t>(spec.minimum),
                       static_cast<int64_t>(maximum));
}

template <typename T>
bool parseWhole(std::string_view text, T& value, int base) {
    if (text.empty()) return false;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc{} && p == text.data() + text.size();
}

// A value typed for a key: true/false (or 1/0) for switches, a decimal or hexadecimal (0xFF or
// FF) integer, or a real. Empty when the text is none of these.
std::optional<double> parseTyped(ControlFormat format, std::string_view text) {
    switch (format) {
        case Bool:
            if (text == "true" || text == "1") return 1.0;
            if (text == "false" || text == "0") return 0.0;
            return std::nullopt;
        case Decimal: {
            int64_t v = 0;
            if (!parseWhole(text, v, 10)) return std::nullopt;
            return static_cast<double>(v);
        }
        case Hex: {
            if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
            int64_t v = 0;
            if (text.starts_with("-") || !parseWhole(text, v, 16)) return std::nullopt;
            return static_cast<double>(v);
        }
        case Real: {
            const std::string copy(text);
            char* end = nullptr;
            const double v = std::strtod(copy.c_str(), &end);
            if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(v)) {
                return std::nullopt;
            }
            return v;
        }
    }
    return std::nullopt;
}

void storeTyped(SettingsStore& store, std::string_view key, ControlFormat format, double value) {
    switch (format) {
        case Bool:
            store.setBool(key, value != 0);
            return;
        case Hex:
            store.setHex(key, static_cast<int32_t>(value));
            return;
        case Real:
            store.setReal(key, value);
            return;
        case Decimal:
            store.setDecimal(key, static_cast<int32_t>(value));
            return;
    }
}

// The refusal of a value outside the key's range, naming the range.
int outOfRange(std::ostream& err, const std::string& text, const KeySpec& spec, double maximum) {
    return cliUsage(err, "",
                    fmt::format("'{}' is not a value for {}: it takes {}", text, spec.key,
                                rangeText(spec, maximum)));
}

}  // namespace

namespace {

// A UVC value keeps the property's flags; setting the flags word keeps its value. A value set
// while the property is automatic makes it manual, as moving its slider on the page does.
int setUvc(const UvcKey& key, const std::vector<std::string>& args, const CameraChoice& camera,
           std::ostream& err) {
    int32_t number = 0;
    if (!parseWhole(std::string_view(args[1]), number, 10)) {
        return cliUsage(err, "", fmt::format("'{}' is not a value for {}", args[1], args[0]));
    }
    CliSession cli(err, camera.log, false, camera.progress);
    int rc = kExitOk;
    if (!cli.open(camera, rc)) return rc;
    const auto source = cli.session().openUvc();
    UvcProperties* set = uvcSet(source.get(), key);
    const auto current = set ? set->get(key.property) : std::nullopt;
    if (!current) return cliFailure(err, fmt::format("the camera has no {}", args[0]));
    const bool ok = key.flags ? set->set(key.property, current->value, number)
                              : set->set(key.property, number, kUvcFlagManual);
    return ok ? kExitOk : cliFailure(err, fmt::format("{} could not be pushed", args[0]));
}

}  // namespace

int runRead(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
            std::ostream& err) {
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--output") {
            if (i + 1 >= args.size()) return cliUsage(err, "", "-o needs a file name");
            output = args[++i];
        } else {
            return cliUsage(err, "", fmt::format("read takes no argument '{}'", args[i]));
        }
    }
    CliSession cli(err, camera.log, false, camera.progress);
    int rc = kExitOk;
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    // Nothing is written unless every value came through: a file of a camera that stopped
    // answering would hold zeros.
    const SessionResult read = cli.runBatch<SessionResult>(
        "Reading all values from the camera", [&] { return session.readAllForFile(); });
    if (!read) return cliFailure(err, read.message);
    if (output.empty() || output == kStandardOutputName) {
        out << qcfText(session.store().values()) << std::flush;
        return out ? kExitOk
                   : cliFailure(err, "the settings could not be written to standard output");
    }
    return session.saveFileAs(output) ? kExitOk : kExitCamera;
}

int runLoad(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& /*out*/,
            std::ostream& err) {
    std::string file;
    bool yes = false;
    for (const std::string& a : args) {
        if (a == "--yes" || a == "-y") {
            yes = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return cliUsage(err, "", fmt::format("unknown option '{}'", a));
        } else if (file.empty()) {
            file = a;
        } else {
            return cliUsage(err, "", fmt::format("load takes one file, not also '{}'", a));
        }
    }
    if (file.empty()) return cliUsage(err, "", "load needs a settings file");
    CliSession cli(err, camera.log, yes, camera.progress);
    int rc = kExitOk;
    if (!cli.open(camera, rc)) return rc;
    const LoadResult loaded =
        cli.runBatch<LoadResult>("Loading settings and pushing them to the camera",
                                 [&] { return cli.session().loadSettingsAndPush(file); });
    switch (loaded.outcome) {
        case LoadOutcome::Pushed:
            return loaded.result ? kExitOk : cliFailure(err, loaded.result.message);
        case LoadOutcome::Declined:
            return cliFailure(err, "not loaded: answer the question with --yes to load anyway");
        case LoadOutcome::NotConnected:
        case LoadOutcome::NotLoaded:
            return cliFailure(err, loaded.result.message);
    }
    return kExitCamera;
}

int runPush(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& /*out*/,
            std::ostream& err) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        return cliUsage(err, "", "push needs exactly one settings file");
    }
    CliSession cli(err, camera.log, false, camera.progress);
    int rc = kExitOk;
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    if (!session.loadFile(args[0])) return kExitCamera;
    const SessionResult pushed = cli.runBatch<SessionResult>("Pushing all values to the camera",
                                                             [&] { return session.pushAll(); });
    return pushed ? kExitOk : cliFailure(err, pushed.message);
}

int runGet(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
           std::ostream& err) {
    if (args.size() != 1) return cliUsage(err, "", "get needs exactly one key");
    const KeySpec* spec = findKey(args[0]);
    const auto uvcKey = spec ? std::nullopt : findUvcKey(args[0]);
    if (!spec && !uvcKey) return cliUsage(err, "", fmt::format("unknown key '{}'", args[0]));
    CliSession cli(err, camera.log, false, camera.progress);
    int rc = kExitOk;
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    if (uvcKey) {
        const auto source = session.openUvc();
        UvcProperties* set = uvcSet(source.get(), *uvcKey);
        const auto setting = set ? set->get(uvcKey->property) : std::nullopt;
        if (!setting) return cliFailure(err, fmt::format("{} could not be read", args[0]));
        out << (uvcKey->flags ? setting->flags : setting->value) << '\n';
        return kExitOk;
    }
    const auto lock = session.batch();
    ImgSensor& cam = session.camera();
    SettingsStore& store = session.store();
    const uint64_t failedBefore = cam.failedRequests();
    bool read = true;
    if (const NamedControl* row = catalogueRow(spec->key)) {
        TableValueOwner host(store, cam, std::span<const NamedControl>(row, 1));
        read = readControl(host, *row);
    } else if (spec->readOnly) {
        storeSensorIdentity(store, cam);
    } else if (ValueOwner* owner = session.models().owners().find(spec->owner)) {
        owner->readState();
    }
    if (!read || cam.failedRequests() != failedBefore || !store.has(spec->key)) {
        return cliFailure(err, fmt::format("{} could not be read", args[0]));
    }
    out << store.value(args[0]).text << '\n';
    return kExitOk;
}

int runSet(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& /*out*/,
           std::ostream& err) {
    if (args.size() != 2) return cliUsage(err, "", "set needs a key and a value");
    const KeySpec* spec = findKey(args[0]);
    if (!spec) {
        if (const auto uvcKey = findUvcKey(args[0])) return setUvc(*uvcKey, args, camera, err);
        return cliUsage(err, "", fmt::format("unknown key '{}'", args[0]));
    }
    if (spec->readOnly) {
        return cliUsage(err, "",
                        fmt::format("{} is read-only: it names the sensor a settings file was "
                                    "saved for",
                                    args[0]));
    }
    const auto value = parseTyped(spec->format, args[1]);
    // A sensor's own maximum is known once the camera is open.
    const bool fixedRange = spec->sensorValue < 0;
    if (!value || *value < spec->minimum || (fixedRange && *value > spec->maximum)) {
        return fixedRange ? outOfRange(err, args[1], *spec, spec->maximum)
                          : cliUsage(err, "",
                                     fmt::format("'{}' is not a value for {}: it takes {} and up",
                                                 args[1], args[0], spec->minimum));
    }
    CliSession cli(err, camera.log, false, camera.progress);
    int rc = kExitOk;
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    const auto lock = session.batch();
    ImgSensor& cam = session.camera();
    SettingsStore& store = session.store();
    if (!fixedRange) {
        const int maximum = cam.chip().maxValue(spec->sensorValue);
        if (*value > maximum) return outOfRange(err, args[1], *spec, maximum);
    }
    const uint64_t failedBefore = cam.failedRequests();
    bool pushed = cam.connected();
    storeTyped(store, spec->key, spec->format, *value);
    if (const NamedControl* row = catalogueRow(spec->key)) {
        TableValueOwner host(store, cam, std::span<const NamedControl>(row, 1));
        pushed = pushControl(host, *row);
    } else if (spec->key == kKeyBinning) {
        pushed = session.models().gains().onBinningChosen(static_cast<int>(*value)).sent;
    } else if (ValueOwner* owner = session.models().owners().find(spec->owner)) {
        // The owner pushes what the store holds, only this key, and reads its others.
        owner->loadFromStore();
    }
    if (!pushed || cam.failedRequests() != failedBefore) {
        return cliFailure(err, fmt::format("{} could not be pushed", args[0]));
    }
    return kExitOk;
}

}  // namespace TVR::Cli
