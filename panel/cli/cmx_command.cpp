#include "cmx_command.h"

#include <fmt/format.h>

#include "sensor/img_sensor.h"

namespace TVR::Cli {

const char* const kCmxHelp =
    "Usage: brisco-cli [--simulate] [--device N] cmx [--set \"a b c; d e f; g h i\" |\n"
    "                  --preset NAME]\n"
    "Prints the colour correction matrix the camera holds, one row per line (row 0 gives red,\n"
    "row 1 green, row 2 blue). --set writes nine coefficients row by row, each from -64 to\n"
    "63.5; --preset writes Neutral, Default, Greyscale or Sepia. The camera needs FX3 firmware\n"
    "build 57 or later.\n";

namespace {

std::string presetNames() {
    std::string names;
    for (const CmxPreset& p : cmxPresets()) {
        if (!names.empty()) names += ", ";
        names += p.name;
    }
    return names;
}

void printMatrix(std::ostream& out, const CmxMatrix& m) {
    for (size_t r = 0; r < 3; ++r) {
        out << fmt::format("{:.5f}\t{:.5f}\t{:.5f}\n", m[3 * r], m[3 * r + 1], m[3 * r + 2]);
    }
}

}  // namespace

CmxSetParse parseCmxSet(std::string_view text) {
    std::string numbers;
    if (text.find(';') != std::string_view::npos) {
        // Rows given: each must hold three numbers, so a misplaced one is not shifted silently.
        size_t start = 0;
        int rows = 0;
        while (true) {
            const size_t end = text.find(';', start);
            const std::string_view row = text.substr(
                start, end == std::string_view::npos ? std::string_view::npos : end - start);
            const auto parsed = parseCmxNumbers(row);
            if (!parsed) return {std::nullopt, fmt::format("'{}' is not a row of numbers", row)};
            if (parsed->size() != 3) {
                return {std::nullopt,
                        fmt::format("row {} has {} numbers, not 3", rows + 1, parsed->size())};
            }
            ++rows;
            numbers += std::string(row) + ' ';
            if (end == std::string_view::npos) break;
            start = end + 1;
            if (rows == 3) return {std::nullopt, "the matrix has more than 3 rows"};
        }
        if (rows != 3) return {std::nullopt, fmt::format("the matrix has {} rows, not 3", rows)};
    } else {
        numbers = std::string(text);
    }
    const auto parsed = parseCmxNumbers(numbers);
    if (!parsed)
        return {std::nullopt, fmt::format("'{}' holds something that is not a number", text)};
    if (parsed->size() != kCmxSize) {
        return {std::nullopt, fmt::format("the matrix needs 9 numbers, not {}", parsed->size())};
    }
    CmxMatrix m{};
    std::copy(parsed->begin(), parsed->end(), m.begin());
    if (!cmxInRange(m)) {
        return {std::nullopt,
                fmt::format("coefficients must lie from {} to {}", static_cast<double>(kCmxMinimum),
                            static_cast<double>(kCmxMaximum))};
    }
    return {m, {}};
}

int runCmx(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
           std::ostream& err) {
    std::optional<CmxMatrix> wanted;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string option = a;
        std::optional<std::string> value;
        if (const size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            option = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        if (option != "--set" && option != "--preset") {
            return cliUsage(err, "cmx", fmt::format("unexpected argument '{}'", a));
        }
        if (!value) {
            if (i + 1 >= args.size()) return cliUsage(err, "cmx", option + " needs a value");
            value = args[++i];
        }
        if (wanted) return cliUsage(err, "cmx", "give one --set or --preset");
        if (option == "--preset") {
            const CmxPreset* preset = cmxPreset(*value);
            if (!preset) {
                return cliUsage(
                    err, "cmx",
                    fmt::format("unknown preset '{}'; the presets: {}", *value, presetNames()));
            }
            wanted = preset->coefficients;
        } else {
            CmxSetParse parsed = parseCmxSet(*value);
            if (!parsed.matrix) return cliUsage(err, "cmx", parsed.error);
            wanted = parsed.matrix;
        }
    }

    int rc = kExitOk;
    CliSession cli(err, camera.log, false, camera.progress);
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    const auto lock = session.batch();
    ImgSensor& cam = session.camera();
    if (!cam.versionFX3().buildAtLeast(kCmxFx3Build)) {
        return cliFailure(err, fmt::format("the camera's FX3 firmware (build {}) has no colour "
                                           "correction matrix; it needs build {}",
                                           cam.versionFX3().build(), kCmxFx3Build));
    }
    CmxModel& model = session.models().cmx();
    if (wanted) {
        if (model.applyMatrix(*wanted) != CmxApply::Written) {
            return cliFailure(err, "writing the colour correction matrix failed");
        }
    }
    model.readState();
    if (!model.lastReadOk()) return cliFailure(err, "reading the colour correction matrix failed");
    printMatrix(out, model.matrix());
    return kExitOk;
}

}  // namespace TVR::Cli
