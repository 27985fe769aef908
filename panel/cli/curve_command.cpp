#include "curve_command.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>

#include "sensor/img_sensor.h"
#include "settings/camera_transfer.h"
#include "shell/panel_models.h"
#include "tools/colorgrading/color_grading_model.h"

namespace TVR::Cli {

const char* const kCurveHelp =
    "Usage: brisco-cli [--simulate] [--device N] curve NAME [--set FILE]\n"
    "Prints the 64 values of a colour-grading curve, one per line, as the curve's editor shows\n"
    "them: HvH hue shift in degrees (-180 to 180), HvS and LvS saturation factor (0 to 3), SvS\n"
    "saturation steps (-256 to 255), LvL output luma (the camera's own luma vs. luma table:\n"
    "-256 to 255 from FX3 firmware build 73, 0 to 255 before), HvL luma steps (-35 to 35).\n"
    "--set writes 64 values from FILE instead, separated by white space or line ends; '#'\n"
    "starts a comment. A value outside the curve's range refuses the whole file.\n";

namespace {

constexpr size_t kMaxCurveFile = 64 * 1024;

struct CurveName {
    std::string_view name;
    OwnerId owner;
};

constexpr CurveName kCurveNames[] = {
    {"hvh", OwnerId::HueVsHue}, {"hvs", OwnerId::HueVsSat},   {"lvs", OwnerId::LumaVsSat},
    {"svs", OwnerId::SatVsSat}, {"lvl", OwnerId::LumaVsLuma}, {"hvl", OwnerId::HueVsLuma},
};

std::optional<OwnerId> curveOwner(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const CurveName& c : kCurveNames) {
        if (c.name == lower) return c.owner;
    }
    return std::nullopt;
}

std::optional<double> parseNumber(std::string_view token) {
    double v = 0.0;
    const char* end = token.data() + token.size();
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    const auto [ptr, ec] = std::from_chars(token.data(), end, v);
    if (ec != std::errc() || ptr != end || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool readFile(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = fmt::format("cannot open '{}'", path);
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) {
        error = fmt::format("cannot read '{}'", path);
        return false;
    }
    if (text.size() > kMaxCurveFile) {
        error = fmt::format("'{}' is longer than {} bytes", path, kMaxCurveFile);
        return false;
    }
    return true;
}

}  // namespace

CurveValuesParse parseCurveValues(std::string_view text, double minimum, double maximum) {
    CurveValuesParse r;
    int line = 1;
    size_t i = 0;
    auto fail = [&r](std::string message) {
        r.values.clear();
        r.error = std::move(message);
        return r;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == '#') {
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (std::isspace(static_cast<unsigned char>(c)) != 0 || c == ',') {
            ++i;
        } else {
            const size_t start = i;
            while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) == 0 &&
                   text[i] != '#' && text[i] != ',') {
                ++i;
            }
            const std::string_view token = text.substr(start, i - start);
            const auto v = parseNumber(token);
            if (!v) {
                return fail(
                    fmt::format("line {}: '{}' is not a number", line, token.substr(0, 40)));
            }
            if (*v < minimum || *v > maximum) {
                return fail(fmt::format("line {}: {} is outside {} to {}", line,
                                        token.substr(0, 40), minimum, maximum));
            }
            if (r.values.size() == static_cast<size_t>(kCurveSliders)) {
                return fail(fmt::format("line {}: more than {} values", line, kCurveSliders));
            }
            r.values.push_back(*v);
        }
    }
    if (r.values.size() != static_cast<size_t>(kCurveSliders)) {
        return fail(fmt::format("{} values, not {}", r.values.size(), kCurveSliders));
    }
    return r;
}

int runCurve(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
             std::ostream& err) {
    if (args.empty()) return cliUsage(err, "curve", "a curve name is needed");
    const auto owner = curveOwner(args[0]);
    if (!owner) {
        return cliUsage(err, "curve",
                        fmt::format("NAME is HvH, HvS, LvS, SvS, LvL or HvL, not '{}'", args[0]));
    }
    std::optional<std::string> setFile;
    if (args.size() == 3 && args[1] == "--set") {
        setFile = args[2];
    } else if (args.size() != 1) {
        return cliUsage(err, "curve", "curve NAME [--set FILE]");
    }
    std::string text;
    if (setFile) {
        std::string error;
        if (!readFile(*setFile, text, error)) return cliFailure(err, error);
    }

    int rc = kExitOk;
    CliSession cli(err, camera.log, false, camera.progress);
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    const auto lock = session.batch();
    OwnerId id = *owner;
    if (id == OwnerId::LumaVsLuma &&
        !session.camera().versionFX3().buildAtLeast(kLumaVsLumaCurrentBuild)) {
        id = OwnerId::LumaVsLumaLegacy;
    }
    ColorGradingModel& model = *session.models().curve(id);
    const std::string& title = model.info().title();
    if (!model.supported()) {
        return cliFailure(err, fmt::format("the camera's firmware has no {} curve", title));
    }

    if (setFile) {
        const CurveValuesParse parsed =
            parseCurveValues(text, model.minimumDeviation(), model.maximumDeviation());
        if (!parsed.error.empty()) {
            return cliFailure(
                err, fmt::format("{}: {} ({} takes {} to {})", *setFile, parsed.error, title,
                                 model.minimumDeviation(), model.maximumDeviation()));
        }
        CGInfo& info = model.info();
        for (int i = 0; i < kCurveSliders; ++i) {
            info.setPosition(i,
                             info.adjToPos(info.devToAdj(parsed.values[static_cast<size_t>(i)])));
        }
        if (!model.writeAll()) {
            return cliFailure(err, fmt::format("writing the {} curve failed", title));
        }
        return kExitOk;
    }

    if (model.readCurve() != ColorGradingModel::ReadOutcome::Read) {
        return cliFailure(err, fmt::format("reading the {} curve failed", title));
    }
    for (int i = 0; i < kCurveSliders; ++i) {
        out << fmt::format("{:.2f}\n", model.info().shownDeviation(i));
    }
    return kExitOk;
}

}  // namespace TVR::Cli
