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

#include "batch_runner.h"
#include "camera_transfer.h"
#include "cli_app.h"
#include "console_progress.h"
#include "control_catalogue.h"
#include "panel_models.h"
#include "qcf_file.h"
#include "safe_file_write.h"
#include "sensor/img_sensor.h"
#include "settings_store.h"
#include "table_value_owner.h"
#include "usb_backend.h"
#include "usb_device.h"
#include "uvc_backend.h"

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
    "Reads one value (for example OV_EXPOSURE, or UVC_GAIN and its flags UVC_GAIN_AUTO:\n"
    "1 automatic, 2 manual) from the camera and prints it.\n";
const char* const kSetHelp =
    "Usage: brisco-cli [--simulate] [--device N] set KEY VALUE\n"
    "Pushes one value to the camera: true/false for switches, a decimal number, a\n"
    "hexadecimal number (0xFF or FF) for hexadecimal keys, a real for OV_VIDEO_FPS, a\n"
    "decimal number for the UVC keys (a UVC value makes the property manual; its _AUTO key\n"
    "takes the flags, 1 automatic or 2 manual).\n";

namespace {

constexpr uint32_t kControlTimeoutMs = 50;
// The panel's default splash delay: quick commands never draw the line.
constexpr int32_t kProgressDelayMs = 400;

int usage(std::ostream& err, const std::string& message) {
    err << "brisco-cli: " << message << "\nTry 'brisco-cli --help'.\n";
    return kExitUsage;
}

int failure(std::ostream& err, const std::string& message) {
    err << "brisco-cli: " << message << '\n';
    return kExitCamera;
}

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

// The panel's questions answered by the command line: Yes only when the user said so.
class CliPrompter : public TransferPrompter {
public:
    CliPrompter(ConsoleProgress& progress, bool yes) : m_progress(progress), m_yes(yes) {}
    bool askYesNo(std::string_view /*title*/, std::string_view text) override {
        if (!m_yes) m_progress.printLine(text);
        return m_yes;
    }
    void showError(std::string_view /*title*/, std::string_view text) override {
        m_progress.printLine(fmt::format("brisco-cli: {}", text));
    }
    void showStatus(std::string_view text) override {
        m_progress.printLine(fmt::format("brisco-cli: {}", text));
    }

private:
    ConsoleProgress& m_progress;
    bool m_yes;
};

// One opened camera with the store and the owners the panel's pages would register.
class CameraSession {
public:
    CameraSession(std::ostream& err, bool yes, bool progress)
        : m_progress(err, progress), m_prompter(m_progress, yes) {}

    bool open(const CameraChoice& choice, std::ostream& err, int& rc) {
        std::string error;
        m_backends = openCliBackends(choice.open, choice.simulate, error);
        if (!m_backends.usb) {
            rc = failure(err, error);
            return false;
        }
        const uint8_t count = usbDeviceCount(*m_backends.usb);
        if (count == 0) {
            rc = failure(err, "no camera found");
            return false;
        }
        if (choice.device >= count) {
            rc = failure(err, fmt::format("no camera {} ({} found)", choice.device, count));
            return false;
        }
        m_camera = std::make_unique<ImgSensor>(*m_backends.usb, false, kControlTimeoutMs);
        if (!m_camera->selectDevice(static_cast<uint8_t>(choice.device)) ||
            !m_camera->connected()) {
            rc = failure(err, fmt::format("camera {} cannot be opened", choice.device));
            return false;
        }
        m_models = std::make_unique<PanelModels>(m_store, *m_camera);
        m_transfer =
            std::make_unique<CameraTransfer>(m_store, *m_camera, m_models->owners(), m_prompter);
        // The UVC values live on the camera's capture side, found by its USB location.
        if (m_backends.capture) {
            if (auto video =
                    findCaptureDevice(*m_backends.capture, m_camera->device().location())) {
                m_uvc = openUvcProperties(m_backends, *video);
                m_transfer->setUvcSource(m_uvc.get());
            }
        }
        return true;
    }

    SettingsStore& store() { return m_store; }
    ImgSensor& camera() { return *m_camera; }
    CameraTransfer& transfer() { return *m_transfer; }
    // The property set of the camera's capture side that holds `key`; null when it has none.
    UvcProperties* uvcSet(const UvcKey& key) {
        if (!m_uvc) return nullptr;
        return key.cameraControl ? m_uvc->cameraControl() : m_uvc->procAmp();
    }

    // Runs one long step as the panel does, on a worker behind the progress line; its result.
    template <typename Result>
    Result runBatch(std::string name, std::function<Result()> step) {
        Result result{};
        BatchRunner::Options options;
        options.delayMs = kProgressDelayMs;
        options.window = &m_progress;
        BatchRunner runner(std::move(options));
        runner.run({{std::move(name), [&] { result = step(); }}});
        return result;
    }

private:
    ConsoleProgress m_progress;
    CliPrompter m_prompter;
    Backends m_backends;
    std::unique_ptr<ImgSensor> m_camera;
    SettingsStore m_store;
    std::unique_ptr<PanelModels> m_models;
    std::unique_ptr<UvcPropertySource> m_uvc;
    std::unique_ptr<CameraTransfer> m_transfer;
};

struct KeyRow {
    std::span<const NamedControl> table;
    const NamedControl* row = nullptr;
};

std::optional<KeyRow> findKey(std::string_view key) {
    for (auto table : {tabGainsControls(), tabLedControls(), nrVideoControls(),
                       autoFunctionsControls(), consoleFpgaControls()}) {
        if (const NamedControl* row = findControl(table, key)) return KeyRow{table, row};
    }
    return std::nullopt;
}

template <typename T>
bool parseWhole(std::string_view text, T& value, int base) {
    if (text.empty()) return false;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc{} && p == text.data() + text.size();
}

// The value as the store keeps it for this control; false when it does not fit the format.
bool storeTyped(SettingsStore& store, const NamedControl& row, std::string_view text) {
    switch (row.format) {
        case ControlFormat::Bool:
            if (text == "true" || text == "1") {
                store.setBool(row.key, true);
            } else if (text == "false" || text == "0") {
                store.setBool(row.key, false);
            } else {
                return false;
            }
            return true;
        case ControlFormat::Decimal: {
            int32_t v = 0;
            if (!parseWhole(text, v, 10)) return false;
            store.setDecimal(row.key, v);
            return true;
        }
        case ControlFormat::Hex: {
            if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
            uint32_t v = 0;
            if (!parseWhole(text, v, 16)) return false;
            store.setHex(row.key, static_cast<int32_t>(v));
            return true;
        }
        case ControlFormat::Real: {
            const std::string copy(text);
            char* end = nullptr;
            const double v = std::strtod(copy.c_str(), &end);
            if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(v)) {
                return false;
            }
            store.setReal(row.key, v);
            return true;
        }
    }
    return false;
}

}  // namespace

namespace {

// A UVC value keeps the property's flags; setting the flags word keeps its value. A value set
// while the property is automatic makes it manual, as moving its slider on the page does.
int setUvc(const UvcKey& key, const std::vector<std::string>& args, const CameraChoice& camera,
           std::ostream& err) {
    int32_t number = 0;
    if (!parseWhole(std::string_view(args[1]), number, 10)) {
        return usage(err, fmt::format("'{}' is not a value for {}", args[1], args[0]));
    }
    CameraSession session(err, false, camera.progress);
    int rc = kExitOk;
    if (!session.open(camera, err, rc)) return rc;
    UvcProperties* set = session.uvcSet(key);
    const auto current = set ? set->get(key.property) : std::nullopt;
    if (!current) return failure(err, fmt::format("the camera has no {}", args[0]));
    const bool ok = key.flags ? set->set(key.property, current->value, number)
                              : set->set(key.property, number, kUvcFlagManual);
    return ok ? kExitOk : failure(err, fmt::format("{} could not be pushed", args[0]));
}

}  // namespace

int runRead(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
            std::ostream& err) {
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--output") {
            if (i + 1 >= args.size()) return usage(err, "-o needs a file name");
            output = args[++i];
        } else {
            return usage(err, fmt::format("read takes no argument '{}'", args[i]));
        }
    }
    CameraSession session(err, false, camera.progress);
    int rc = kExitOk;
    if (!session.open(camera, err, rc)) return rc;
    if (!session.runBatch<bool>("Reading all values from the camera",
                                [&] { return session.transfer().readAll(); })) {
        return failure(err, "the camera could not be read");
    }
    if (output.empty() || output == kStandardOutputName) {
        session.transfer().storeSaveExtras();
        out << qcfText(session.store().values()) << std::flush;
        return out ? kExitOk : failure(err, "the settings could not be written to standard output");
    }
    return session.transfer().saveFileAs(output) ? kExitOk : kExitCamera;
}

int runLoad(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& /*out*/,
            std::ostream& err) {
    std::string file;
    bool yes = false;
    for (const std::string& a : args) {
        if (a == "--yes" || a == "-y") {
            yes = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage(err, fmt::format("unknown option '{}'", a));
        } else if (file.empty()) {
            file = a;
        } else {
            return usage(err, fmt::format("load takes one file, not also '{}'", a));
        }
    }
    if (file.empty()) return usage(err, "load needs a settings file");
    CameraSession session(err, yes, camera.progress);
    int rc = kExitOk;
    if (!session.open(camera, err, rc)) return rc;
    const LoadOutcome outcome =
        session.runBatch<LoadOutcome>("Loading settings and pushing them to the camera",
                                      [&] { return session.transfer().loadSettingsAndPush(file); });
    switch (outcome) {
        case LoadOutcome::Pushed:
            return kExitOk;
        case LoadOutcome::NotConnected:
            return failure(err, "the camera is not connected");
        case LoadOutcome::NotLoaded:
            return failure(err, "Settings were not loaded");
        case LoadOutcome::Declined:
            return failure(err, "not loaded: answer the question with --yes to load anyway");
    }
    return kExitCamera;
}

int runPush(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& /*out*/,
            std::ostream& err) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        return usage(err, "push needs exactly one settings file");
    }
    CameraSession session(err, false, camera.progress);
    int rc = kExitOk;
    if (!session.open(camera, err, rc)) return rc;
    if (!session.transfer().loadFile(args[0])) return kExitCamera;
    const bool pushed = session.runBatch<bool>("Pushing all values to the camera",
                                               [&] { return session.transfer().pushAll(); });
    return pushed ? kExitOk : failure(err, "the camera is not connected");
}

int runGet(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
           std::ostream& err) {
    if (args.size() != 1) return usage(err, "get needs exactly one key");
    const auto key = findKey(args[0]);
    const auto uvcKey = key ? std::nullopt : findUvcKey(args[0]);
    if (!key && !uvcKey) return usage(err, fmt::format("unknown key '{}'", args[0]));
    CameraSession session(err, false, camera.progress);
    int rc = kExitOk;
    if (!session.open(camera, err, rc)) return rc;
    if (uvcKey) {
        UvcProperties* set = session.uvcSet(*uvcKey);
        const auto setting = set ? set->get(uvcKey->property) : std::nullopt;
        if (!setting) return failure(err, fmt::format("{} could not be read", args[0]));
        out << (uvcKey->flags ? setting->flags : setting->value) << '\n';
        return kExitOk;
    }
    TableValueOwner host(session.store(), session.camera(), key->table);
    if (!readControl(host, *key->row)) {
        return failure(err, fmt::format("{} could not be read", args[0]));
    }
    out << session.store().value(args[0]).text << '\n';
    return kExitOk;
}

int runSet(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& /*out*/,
           std::ostream& err) {
    if (args.size() != 2) return usage(err, "set needs a key and a value");
    const auto key = findKey(args[0]);
    if (!key) {
        if (const auto uvcKey = findUvcKey(args[0])) return setUvc(*uvcKey, args, camera, err);
        return usage(err, fmt::format("unknown key '{}'", args[0]));
    }
    SettingsStore parsed;
    if (!storeTyped(parsed, *key->row, args[1])) {
        return usage(err, fmt::format("'{}' is not a value for {}", args[1], args[0]));
    }
    CameraSession session(err, false, camera.progress);
    int rc = kExitOk;
    if (!session.open(camera, err, rc)) return rc;
    storeTyped(session.store(), *key->row, args[1]);
    TableValueOwner host(session.store(), session.camera(), key->table);
    if (!pushControl(host, *key->row)) {
        return failure(err, fmt::format("{} could not be pushed", args[0]));
    }
    return kExitOk;
}

}  // namespace TVR::Cli
