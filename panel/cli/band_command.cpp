#include "band_command.h"

#include <fmt/format.h>

#include <charconv>

#include "sensor/img_sensor.h"
#include "tools/greenscreen/green_screen_model.h"

namespace TVR::Cli {

const char* const kBandHelp =
    "Usage: brisco-cli [--simulate] [--device N] band BAND [--set CHANGES]\n"
    "Prints band BAND (0 to 3) of the colour substitution as the camera holds it. With --set,\n"
    "changes it first; CHANGES is a comma-separated list of:\n"
    "  on | off          enable or disable the band\n"
    "  hue=H[/T]         centre of the hue window (0-359) and its half width (0-180)\n"
    "  tol=T             half width of the hue window alone\n"
    "  sat=A-B           saturation range (0-255)\n"
    "  luma=A-B          luminance range (0-255)\n"
    "  colour=#RRGGBB    replacement colour (also color=)\n"
    "Example: brisco-cli band 0 --set on,hue=120/15,colour=#00FF00\n";

namespace {

constexpr int kMaxByte = 255;

std::optional<int> number(std::string_view text, int lo, int hi) {
    int n = 0;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc{} || p != text.data() + text.size() || n < lo || n > hi) {
        return std::nullopt;
    }
    return n;
}

std::optional<std::pair<int, int>> range(std::string_view text) {
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto a = number(text.substr(0, dash), 0, kMaxByte);
    const auto b = number(text.substr(dash + 1), 0, kMaxByte);
    if (!a || !b) return std::nullopt;
    return std::pair{*a, *b};
}

std::optional<uint32_t> colour(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    uint32_t v = 0;
    const auto [p, ec] = std::from_chars(text.data() + 1, text.data() + text.size(), v, 16);
    if (ec != std::errc{} || p != text.data() + text.size()) return std::nullopt;
    // #RRGGBB to the band's layout, red in the low byte.
    return (v >> 16 & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16;
}

BandChangesParse refuse(std::string error) { return {std::nullopt, std::move(error)}; }

std::string showRgb(uint32_t rgb) {
    return fmt::format("#{:02X}{:02X}{:02X}", rgb & 0xFF, rgb >> 8 & 0xFF, rgb >> 16 & 0xFF);
}

void printBand(std::ostream& out, int index, const ColorSubsInfo& b) {
    out << fmt::format("band {}: {}\n", index, b.enabled ? "on" : "off");
    out << fmt::format("hue: {} (tolerance {})\n", b.hue, b.hueTolerance);
    out << fmt::format("saturation: {}-{}\n", b.satMin, b.satMax);
    out << fmt::format("luminance: {}-{}\n", b.lumMin, b.lumMax);
    out << fmt::format("colour: {}\n", showRgb(b.rgb));
}

}  // namespace

BandChangesParse parseBandChanges(std::string_view text) {
    BandChanges c;
    if (text.empty()) return refuse("--set needs at least one change");
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view item = text.substr(start, end - start);
        start = end + 1;
        if (item.empty()) return refuse("an empty change in --set");
        const size_t eq = item.find('=');
        const std::string_view name = item.substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view{} : item.substr(eq + 1);
        const auto twice = [&](bool seen) {
            return seen ? std::optional<std::string>(
                              fmt::format("'{}' is given more than once", name))
                        : std::nullopt;
        };
        if (eq == std::string_view::npos && (name == "on" || name == "off")) {
            if (auto e = twice(c.on.has_value())) return refuse(*e);
            c.on = name == "on";
        } else if (name == "hue" && eq != std::string_view::npos) {
            if (auto e = twice(c.hue.has_value())) return refuse(*e);
            const size_t slash = value.find('/');
            const auto h = number(value.substr(0, slash), 0, kMaxHue);
            if (!h) return refuse(fmt::format("hue takes 0 to {}, not '{}'", kMaxHue, value));
            c.hue = h;
            if (slash != std::string_view::npos) {
                if (auto e = twice(c.tolerance.has_value())) return refuse(*e);
                const auto t = number(value.substr(slash + 1), 0, kMaxHueTolerance);
                if (!t) {
                    return refuse(fmt::format("the hue tolerance takes 0 to {}, not '{}'",
                                              kMaxHueTolerance, value.substr(slash + 1)));
                }
                c.tolerance = t;
            }
        } else if ((name == "tol" || name == "tolerance") && eq != std::string_view::npos) {
            if (auto e = twice(c.tolerance.has_value())) return refuse(*e);
            c.tolerance = number(value, 0, kMaxHueTolerance);
            if (!c.tolerance) {
                return refuse(fmt::format("the hue tolerance takes 0 to {}, not '{}'",
                                          kMaxHueTolerance, value));
            }
        } else if ((name == "sat" || name == "luma") && eq != std::string_view::npos) {
            auto& target = name == "sat" ? c.saturation : c.luminance;
            if (auto e = twice(target.has_value())) return refuse(*e);
            target = range(value);
            if (!target)
                return refuse(fmt::format("{} takes A-B, each 0 to 255, not '{}'", name, value));
        } else if ((name == "colour" || name == "color") && eq != std::string_view::npos) {
            if (auto e = twice(c.rgb.has_value())) return refuse(*e);
            c.rgb = colour(value);
            if (!c.rgb) return refuse(fmt::format("{} takes #RRGGBB, not '{}'", name, value));
        } else {
            return refuse(fmt::format("unknown change '{}'", item));
        }
        if (end == text.size()) break;
    }
    return {c, {}};
}

void applyBandChanges(const BandChanges& c, ColorSubsInfo& b) {
    if (c.on) b.enabled = *c.on ? 1 : 0;
    if (c.hue) b.hue = *c.hue;
    if (c.tolerance) b.hueTolerance = *c.tolerance;
    if (c.saturation) {
        b.satMin = static_cast<uint8_t>(c.saturation->first);
        b.satMax = static_cast<uint8_t>(c.saturation->second);
    }
    if (c.luminance) {
        b.lumMin = static_cast<uint8_t>(c.luminance->first);
        b.lumMax = static_cast<uint8_t>(c.luminance->second);
    }
    if (c.rgb) b.rgb = *c.rgb;
}

int runBand(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
            std::ostream& err) {
    std::optional<int> index;
    std::optional<BandChanges> changes;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::optional<std::string> setText;
        if (a == "--set") {
            if (i + 1 >= args.size()) return cliUsage(err, "band", "--set needs its changes");
            setText = args[++i];
        } else if (a.rfind("--set=", 0) == 0) {
            setText = a.substr(6);
        } else if (!index && !a.empty() && a[0] != '-') {
            const auto n = parseWholeNumber(a, 0, kColorSubsBands - 1);
            if (!n) return cliUsage(err, "band", fmt::format("BAND takes 0 to 3, not '{}'", a));
            index = static_cast<int>(*n);
            continue;
        } else {
            return cliUsage(err, "band", fmt::format("unexpected argument '{}'", a));
        }
        if (changes) return cliUsage(err, "band", "--set is given more than once");
        BandChangesParse parsed = parseBandChanges(*setText);
        if (!parsed.changes) return cliUsage(err, "band", parsed.error);
        changes = parsed.changes;
    }
    if (!index) return cliUsage(err, "band", "the band number (0 to 3) is needed");

    int rc = kExitOk;
    CliSession cli(err, camera.log, false, camera.progress);
    if (!cli.open(camera, rc)) return rc;
    CameraSession& session = cli.session();
    const auto lock = session.batch();
    ImgSensor& cam = session.camera();
    GreenScreenModel& model = session.models().greenScreen();

    uint64_t failed = cam.failedRequests();
    model.readState();
    if (cam.failedRequests() != failed || !cam.connected()) {
        return cliFailure(err, "reading the colour substitution bands failed");
    }
    if (changes) {
        ColorSubsInfo band = model.band(*index);
        applyBandChanges(*changes, band);
        model.setBandRecord(*index, band);
        model.setCurrentBand(*index);
        if (!model.uploadBand()) {
            return cliFailure(err, fmt::format("writing band {} failed", *index));
        }
        // What is printed is what the camera holds now, not what was asked for.
        failed = cam.failedRequests();
        model.readState();
        if (cam.failedRequests() != failed || !cam.connected()) {
            return cliFailure(err, "reading the colour substitution bands back failed");
        }
    }
    printBand(out, *index, model.band(*index));
    return kExitOk;
}

}  // namespace TVR::Cli
