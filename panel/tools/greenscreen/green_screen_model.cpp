#include "green_screen_model.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "apilog.h"
#include "protocol/vendor_requests.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"

namespace TVR {

namespace {

constexpr std::array<std::string_view, kBandKeyCount> kBandKeySuffixes = {
    "ON",
    "HUE",
    "HUE_TOLERANCE",
    "SATURATION_MIN",
    "SATURATION_MAX",
    "LUMINOSITY_MIN",
    "LUMINOSITY_MAX",
    "RGB_R",
    "RGB_G",
    "RGB_B",
};

constexpr const char* kStatusReadError = "Error getting status of Green Screen enhancer";
constexpr const char* kEnableWriteError = "Error enabling Green Screen enhancer";
constexpr std::string_view kLabelSetRed = "set red component of substituion solor";
constexpr std::string_view kLabelSetGreen = "set green component of substituion solor";
constexpr std::string_view kLabelSetBlue = "set blue component of substituion solor";

int wrapHue(int hue) { return ((hue % 360) + 360) % 360; }

uint8_t bandByte(int value) { return static_cast<uint8_t>(value & 0xFF); }

uint8_t rgbComponent(uint32_t rgb, int shift) {
    return static_cast<uint8_t>((rgb >> shift) & 0xFF);
}

BandKey keyOfField(BandField field) {
    switch (field) {
        case BandField::Hue:
            return BandKey::Hue;
        case BandField::HueTolerance:
            return BandKey::HueTolerance;
        case BandField::SatMin:
            return BandKey::SaturationMin;
        case BandField::SatMax:
            return BandKey::SaturationMax;
        case BandField::LumMin:
            return BandKey::LuminosityMin;
        case BandField::LumMax:
            break;
    }
    return BandKey::LuminosityMax;
}

}  // namespace

uint8_t bandRegisterBase(int band) {
    return static_cast<uint8_t>(FpgaReg::kColourSubstBase +
                                FpgaReg::kColourSubstStride * std::clamp(band, 0, 3));
}

int16_t hueToRaw(int hue) {
    const int h = wrapHue(hue);
    const int signedHue = h <= 180 ? h : h - 360;
    // Single precision, truncated, as the firmware's own tools compute it.
    return static_cast<int16_t>(static_cast<float>(signedHue) / 180.0f *
                                static_cast<float>(kHueSteps));
}

int hueFromRaw(int16_t raw) {
    const float degrees =
        (static_cast<float>(raw) + 2.0f * kHueSteps) * 180.0f / static_cast<float>(kHueSteps);
    return wrapHue(static_cast<int>(std::lround(degrees)));
}

uint16_t toleranceToRaw(int tolerance) {
    const int t = std::clamp(tolerance, 0, kMaxHueTolerance);
    return static_cast<uint16_t>(static_cast<float>(t) / 180.0f * static_cast<float>(kHueSteps));
}

int toleranceFromRaw(uint16_t raw) {
    return static_cast<int>(
        std::lround(static_cast<float>(raw) * 180.0f / static_cast<float>(kHueSteps)));
}

std::array<uint8_t, kBandRegisterCount> bandRegisterImage(const ColorSubsInfo& b) {
    using namespace FpgaReg;
    std::array<uint8_t, kBandRegisterCount> r{};
    r[kBandEnable] = b.enabled ? 1 : 0;
    r[kBandSatMin] = b.satMin;
    r[kBandSatMax] = b.satMax;
    r[kBandLumMin] = b.lumMin;
    r[kBandLumMax] = b.lumMax;
    const auto hue = static_cast<uint16_t>(hueToRaw(b.hue));
    r[kBandHueLow] = bandByte(hue);
    r[kBandHueLow + 1] = bandByte(hue >> 8);
    const uint16_t tolerance = toleranceToRaw(b.hueTolerance);
    r[kBandToleranceLow] = bandByte(tolerance);
    r[kBandToleranceLow + 1] = bandByte(tolerance >> 8);
    r[kBandRedLow] = rgbComponent(b.rgb, 0);
    r[kBandGreenLow] = rgbComponent(b.rgb, 8);
    r[kBandBlueLow] = rgbComponent(b.rgb, 16);
    return r;
}

std::string bandKey(int band, BandKey key, bool legacy) {
    return fmt::format("GS{}_{}{}", std::clamp(band, 0, 3) + 1, legacy ? "ENHANCER_" : "",
                       kBandKeySuffixes[static_cast<size_t>(key)]);
}

PickedColour pickColour(Rgb p) {
    const int r = p.r;
    const int g = p.g;
    const int b = p.b;
    const int mx = std::max({r, g, b});
    const int mn = std::min({r, g, b});
    PickedColour out;
    out.brightness = mx;
    if (mn < mx && mx > 0) {
        const int d = mx - mn;
        int hue = 0;
        if (r == mx) {
            hue = 60 * (g - b) / d;
        } else if (g == mx) {
            hue = 60 * (b - r) / d + 120;
        } else {
            hue = 60 * (r - g) / d + 240;
        }
        out.hue = wrapHue(hue);
    }
    return out;
}

std::vector<Rgb> hueBar(const ColorSubsInfo& band, int width) {
    std::vector<Rgb> bar;
    if (width <= 0) return bar;
    bar.reserve(static_cast<size_t>(width));
    const int t = std::max(band.hueTolerance, 1);
    const int lo = wrapHue(band.hue - t + 360);
    const int hi = wrapHue(band.hue + t);
    for (int x = 0; x < width; ++x) {
        const int e = width > 1 ? x * kMaxHue / (width - 1) : 0;
        const bool inside = lo < hi ? (lo <= e && e <= hi) : (e >= lo || e <= hi);
        bar.push_back(hsvToRgb(e, 255, inside ? 255 : 128));
    }
    return bar;
}

Rgb bandGradient(const ColorSubsInfo& band, int value, int column, int row, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    const int t = band.hueTolerance;
    const int hue = column * (2 * t + 1) / width + band.hue - t;
    const int sat =
        height > 1 ? band.satMax + (band.satMin - band.satMax) * row / (height - 1) : band.satMax;
    return hsvToRgb(hue, sat, value);
}

GreenScreenModel::GreenScreenModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, {}) {}

const ColorSubsInfo& GreenScreenModel::band(int index) const {
    return m_bands[static_cast<size_t>(std::clamp(index, 0, kColorSubsBands - 1))];
}

void GreenScreenModel::setCurrentBand(int index) {
    if (index >= 0 && index < kColorSubsBands) m_current = index;
}

void GreenScreenModel::setBandRecord(int index, const ColorSubsInfo& record) {
    if (index >= 0 && index < kColorSubsBands) m_bands[static_cast<size_t>(index)] = record;
}

void GreenScreenModel::setKeyBrightness(int value) { m_value = std::clamp(value, 0, 255); }

bool GreenScreenModel::active() { return updateCounter() == 0 && camera().connected(); }

void GreenScreenModel::logFailure(std::string_view label) {
    settings().log().appendText(true, fmt::format("Error performing operation [{}]", label));
}

std::optional<uint8_t> GreenScreenModel::readByte(int band, int offset, std::string_view label) {
    const auto v = camera().readFpgaReg(static_cast<uint8_t>(bandRegisterBase(band) + offset));
    if (!v) logFailure(label);
    return v;
}

std::optional<uint16_t> GreenScreenModel::readPair(int band, int offset, std::string_view label) {
    const uint8_t reg = static_cast<uint8_t>(bandRegisterBase(band) + offset);
    const auto low = camera().readFpgaReg(reg);
    const auto high = camera().readFpgaReg(static_cast<uint8_t>(reg + 1));
    if (!low || !high) {
        logFailure(label);
        return std::nullopt;
    }
    return static_cast<uint16_t>(*low | *high << 8);
}

bool GreenScreenModel::writeByte(int offset, uint8_t value, std::string_view label) {
    const bool ok =
        camera().writeFpgaReg(static_cast<uint8_t>(bandRegisterBase(m_current) + offset), value);
    if (!ok) logFailure(label);
    return ok;
}

bool GreenScreenModel::writePair(int offset, uint16_t value, std::string_view label) {
    const uint8_t reg = static_cast<uint8_t>(bandRegisterBase(m_current) + offset);
    // Both halves are attempted, low first, so the high byte never latches a stale low one.
    const bool low = camera().writeFpgaReg(reg, bandByte(value));
    const bool high = camera().writeFpgaReg(static_cast<uint8_t>(reg + 1), bandByte(value >> 8));
    if (!low || !high) logFailure(label);
    return low && high;
}

Batch GreenScreenModel::readTasks() {
    using namespace FpgaReg;
    // Each task reads one field of every band.
    const auto each = [this](auto&& step) {
        return [this, step] {
            if (!camera().connected()) return;
            for (int b = 0; b < kColorSubsBands; ++b) step(b, m_bands[static_cast<size_t>(b)]);
        };
    };
    Batch tasks;
    tasks.push_back({"Get green screen enhancer status", each([this](int b, ColorSubsInfo& r) {
                         const auto v = camera().readFpgaReg(
                             static_cast<uint8_t>(bandRegisterBase(b) + kBandEnable));
                         if (!v) settings().log().appendText(true, kStatusReadError);
                         r.enabled = v ? (*v & 1) : 0;
                     })});
    tasks.push_back({"Get chroma key's hue", each([this](int b, ColorSubsInfo& r) {
                         const auto v = readPair(b, kBandHueLow, "read hue");
                         r.hue = hueFromRaw(static_cast<int16_t>(v.value_or(0)));
                     })});
    tasks.push_back({"Get chroma key's tolerance", each([this](int b, ColorSubsInfo& r) {
                         const auto v = readPair(b, kBandToleranceLow, "read hue tolerance");
                         r.hueTolerance = toleranceFromRaw(v.value_or(0));
                     })});
    tasks.push_back(
        {"Get chroma key's saturation lower threshold", each([this](int b, ColorSubsInfo& r) {
             r.satMin = readByte(b, kBandSatMin, "read saturation threshold").value_or(0);
         })});
    tasks.push_back(
        {"Get chroma key's saturation upper threshold", each([this](int b, ColorSubsInfo& r) {
             const uint8_t v = readByte(b, kBandSatMax, "read saturation threshold").value_or(0);
             r.satMax = v == 0 ? 255 : v;
         })});
    tasks.push_back({"Get replacement color's RGB", each([this](int b, ColorSubsInfo& r) {
                         const auto red =
                             readPair(b, kBandRedLow, "read red component of substituion solor");
                         const auto green = readPair(
                             b, kBandGreenLow, "read green component of substituion solor");
                         const auto blue = readPair(b, kBandBlueLow,
                                                    "read blue component of substituion solor");
                         r.rgb = packRgb({bandByte(red.value_or(0)), bandByte(green.value_or(0)),
                                          bandByte(blue.value_or(0))});
                     })});
    tasks.push_back({"Get luminance's lower threshold", each([this](int b, ColorSubsInfo& r) {
                         r.lumMin = readByte(b, kBandLumMin, "get min brightness").value_or(0);
                     })});
    tasks.push_back({"Get luminance's upper threshold", each([this](int b, ColorSubsInfo& r) {
                         const uint8_t v =
                             readByte(b, kBandLumMax, "get max brightness").value_or(0);
                         r.lumMax = v == 0 ? 255 : v;
                     })});
    return tasks;
}

void GreenScreenModel::storeBand(int b) {
    SettingsStore& s = settings();
    const ColorSubsInfo& r = m_bands[static_cast<size_t>(b)];
    s.setBool(bandKey(b, BandKey::On), r.enabled != 0);
    s.setDecimal(bandKey(b, BandKey::Hue), r.hue);
    s.setDecimal(bandKey(b, BandKey::HueTolerance), r.hueTolerance);
    s.setDecimal(bandKey(b, BandKey::SaturationMin), r.satMin);
    s.setDecimal(bandKey(b, BandKey::SaturationMax), r.satMax);
    s.setDecimal(bandKey(b, BandKey::LuminosityMin), r.lumMin);
    s.setDecimal(bandKey(b, BandKey::LuminosityMax), r.lumMax);
    s.setHex(bandKey(b, BandKey::Red), rgbComponent(r.rgb, 0));
    s.setHex(bandKey(b, BandKey::Green), rgbComponent(r.rgb, 8));
    s.setHex(bandKey(b, BandKey::Blue), rgbComponent(r.rgb, 16));
}

void GreenScreenModel::storeAllBands() {
    for (int b = 0; b < kColorSubsBands; ++b) storeBand(b);
}

void GreenScreenModel::readState() {
    if (!camera().connected()) return;
    settings().log().appendText(false, "Reading the state of the 4 bands of Color Substitution");
    for (BatchTask& task : readTasks()) task.run();
    storeAllBands();
}

Batch GreenScreenModel::uploadTasks() {
    using namespace FpgaReg;
    m_writesOk = true;
    const auto step = [this](auto&& write) {
        return [this, write] {
            if (!active()) return;
            if (!write()) m_writesOk = false;
        };
    };
    Batch tasks;
    tasks.push_back({"Set Green Screen enhancement enabled/disabled", step([this] {
                         const bool ok = camera().writeFpgaReg(
                             static_cast<uint8_t>(bandRegisterBase(m_current) + kBandEnable),
                             rec().enabled ? 1 : 0);
                         if (!ok) settings().log().appendText(true, kEnableWriteError);
                         return ok;
                     })});
    tasks.push_back(
        {"Set Green Screen enhancement Hue", step([this] { return writeField(BandField::Hue); })});
    tasks.push_back({"Set Green Screen enhancement Hue tolerance",
                     step([this] { return writeField(BandField::HueTolerance); })});
    tasks.push_back({"Set Green Screen enhancement Saturation (min)",
                     step([this] { return writeField(BandField::SatMin); })});
    tasks.push_back({"Set Green Screen enhancement Saturation (max)",
                     step([this] { return writeField(BandField::SatMax); })});
    tasks.push_back({"Set Green Screen enhancement Brightness (min)",
                     step([this] { return writeField(BandField::LumMin); })});
    tasks.push_back({"Set Green Screen enhancement Brightness (max)",
                     step([this] { return writeField(BandField::LumMax); })});
    tasks.push_back({"Set Green Screen enhancement RGB", step([this] { return writeColour(); })});
    return tasks;
}

bool GreenScreenModel::uploadBand() {
    if (!active()) return false;
    settings().log().appendText(false, "Uploading one band of Color Substitution to device");
    for (BatchTask& task : uploadTasks()) task.run();
    return m_writesOk;
}

bool GreenScreenModel::uploadEach(int band) {
    const int saved = m_current;
    m_current = band;
    const bool ok = uploadBand();
    m_current = saved;
    return ok;
}

bool GreenScreenModel::writeField(BandField f) {
    using namespace FpgaReg;
    const ColorSubsInfo& r = rec();
    switch (f) {
        case BandField::Hue:
            return writePair(kBandHueLow, static_cast<uint16_t>(hueToRaw(r.hue)), "set hue");
        case BandField::HueTolerance:
            return writePair(kBandToleranceLow, toleranceToRaw(r.hueTolerance),
                             "set hue tolerance");
        case BandField::SatMin:
            return writeByte(kBandSatMin, r.satMin, "set saturation threshold");
        case BandField::SatMax:
            return writeByte(kBandSatMax, r.satMax, "set saturation threshold");
        case BandField::LumMin:
            return writeByte(kBandLumMin, r.lumMin, "set min brightness");
        case BandField::LumMax:
            break;
    }
    return writeByte(kBandLumMax, r.lumMax, "set max brightness");
}

bool GreenScreenModel::writeColour() {
    using namespace FpgaReg;
    const uint32_t rgb = rec().rgb;
    const bool red = writePair(kBandRedLow, rgbComponent(rgb, 0), kLabelSetRed);
    const bool green = writePair(kBandGreenLow, rgbComponent(rgb, 8), kLabelSetGreen);
    const bool blue = writePair(kBandBlueLow, rgbComponent(rgb, 16), kLabelSetBlue);
    return red && green && blue;
}

void GreenScreenModel::loadFromStore() {
    if (!active()) return;
    SettingsStore& s = settings();
    const int saved = m_current;
    for (int b = 0; b < kColorSubsBands; ++b) {
        bool legacy = false;
        if (!s.has(bandKey(b, BandKey::On))) {
            if (!s.has(bandKey(b, BandKey::On, true))) {
                storeBand(b);
                continue;
            }
            legacy = true;
        }
        const auto number = [&](BandKey k) { return s.getInt(bandKey(b, k, legacy)); };
        ColorSubsInfo& r = m_bands[static_cast<size_t>(b)];
        r.enabled = s.getBool(bandKey(b, BandKey::On, legacy)) ? 1 : 0;
        r.hue = number(BandKey::Hue);
        r.hueTolerance = number(BandKey::HueTolerance);
        r.satMin = bandByte(number(BandKey::SaturationMin));
        r.satMax = bandByte(number(BandKey::SaturationMax));
        r.lumMin = bandByte(number(BandKey::LuminosityMin));
        r.lumMax = bandByte(number(BandKey::LuminosityMax));
        r.rgb = packRgb({bandByte(number(BandKey::Red)), bandByte(number(BandKey::Green)),
                         bandByte(number(BandKey::Blue))});
        m_current = b;
        uploadBand();
    }
    m_current = saved;
}

int GreenScreenModel::field(BandField f) const {
    const ColorSubsInfo& r = current();
    switch (f) {
        case BandField::Hue:
            return r.hue;
        case BandField::HueTolerance:
            return r.hueTolerance;
        case BandField::SatMin:
            return r.satMin;
        case BandField::SatMax:
            return r.satMax;
        case BandField::LumMin:
            return r.lumMin;
        case BandField::LumMax:
            break;
    }
    return r.lumMax;
}

void GreenScreenModel::storeField(BandField f) {
    settings().setDecimal(bandKey(m_current, keyOfField(f)), field(f));
}

bool GreenScreenModel::editField(BandField f, int value) {
    ColorSubsInfo& r = rec();
    switch (f) {
        case BandField::Hue:
            r.hue = value;
            break;
        case BandField::HueTolerance:
            r.hueTolerance = value;
            break;
        case BandField::SatMin:
            r.satMin = bandByte(value);
            break;
        case BandField::SatMax:
            r.satMax = bandByte(value);
            break;
        case BandField::LumMin:
            r.lumMin = bandByte(value);
            break;
        case BandField::LumMax:
            r.lumMax = bandByte(value);
            break;
    }
    // The store keeps what the record holds, so a saved file sends what the camera got.
    storeField(f);
    return active() && writeField(f);
}

bool GreenScreenModel::setEnabled(bool on) {
    rec().enabled = on ? 1 : 0;
    settings().setBool(bandKey(m_current, BandKey::On), on);
    if (!active()) return false;
    const bool ok = camera().writeFpgaReg(
        static_cast<uint8_t>(bandRegisterBase(m_current) + FpgaReg::kBandEnable), rec().enabled);
    if (!ok) settings().log().appendText(true, kEnableWriteError);
    return ok;
}

bool GreenScreenModel::setReplacementColour(uint32_t rgb) {
    rec().rgb = rgb & 0xFFFFFF;
    SettingsStore& s = settings();
    s.setHex(bandKey(m_current, BandKey::Red), rgbComponent(rgb, 0));
    s.setHex(bandKey(m_current, BandKey::Green), rgbComponent(rgb, 8));
    s.setHex(bandKey(m_current, BandKey::Blue), rgbComponent(rgb, 16));
    return active() && writeColour();
}

bool GreenScreenModel::copyBand(int from, int to) {
    if (from == to || from < 0 || to < 0 || from >= kColorSubsBands || to >= kColorSubsBands) {
        return false;
    }
    settings().log().appendMessage(false, "Copying color substitution info from slot# %d into %d",
                                   from, to);
    m_bands[static_cast<size_t>(to)] = m_bands[static_cast<size_t>(from)];
    return uploadEach(to);
}

bool GreenScreenModel::buildInverse() {
    const ColorSubsInfo o = current();
    ColorSubsInfo base;
    base.enabled = 1;
    base.satMin = 0;
    base.satMax = 255;
    base.lumMin = 0;
    base.lumMax = 255;
    base.rgb = o.rgb;
    base.hue = 0;
    base.hueTolerance = 0;
    base.savedHue = 120;
    base.savedTolerance = 10;
    m_bands.fill(base);

    ColorSubsInfo& first = m_bands[0];
    first.hue = wrapHue(o.hue + 180);
    first.hueTolerance = std::clamp(180 - o.hueTolerance, 1, 179);
    if (o.satMax < 20) first.hueTolerance = 179;

    m_bands[2] = o;
    m_bands[2].enabled = 0;

    ColorSubsInfo& second = m_bands[1];
    ColorSubsInfo& fourth = m_bands[3];
    second.hue = first.hue;
    fourth.hue = first.hue;
    second.hueTolerance = 179;
    fourth.hueTolerance = 179;

    const int satMargin = std::min<int>(o.satMin, 255 - o.satMax);
    const int lumMargin = std::min<int>(o.lumMin, 255 - o.lumMax);
    if (satMargin > lumMargin) {
        second.satMax = o.satMin;
        fourth.satMin = o.satMax;
    } else {
        second.lumMax = o.lumMin;
        fourth.lumMin = o.lumMax;
    }

    bool ok = true;
    for (int b = 0; b < kColorSubsBands; ++b) {
        m_current = b;
        ok = uploadBand() && ok;
    }
    m_current = 0;
    return ok;
}

void GreenScreenModel::startPicker() {
    ColorSubsInfo& r = rec();
    r.savedHue = r.hue;
    r.savedTolerance = r.hueTolerance;
    m_pickerActive = true;
    m_pickerState = PickerState::Idle;
}

void GreenScreenModel::applyPicked(Rgb pixel) {
    const PickedColour picked = pickColour(pixel);
    m_value = picked.brightness;
    editField(BandField::Hue, picked.hue);
}

void GreenScreenModel::pickerMove(Rgb pixel) {
    if (!m_pickerActive) return;
    m_pickerState = PickerState::Tracking;
    applyPicked(pixel);
}

void GreenScreenModel::pickerButtonDown() {
    if (m_pickerActive) m_pickerState = PickerState::ButtonDown;
}

bool GreenScreenModel::pickerButtonUp(Rgb pixel) {
    if (!m_pickerActive) return false;
    if (m_pickerState == PickerState::Idle) {
        pickerCancel();
        return false;
    }
    applyPicked(pixel);
    endPicker();
    return true;
}

void GreenScreenModel::pickerAccept() { endPicker(); }

void GreenScreenModel::pickerCancel() {
    if (!m_pickerActive) return;
    endPicker();
    ColorSubsInfo& r = rec();
    r.hueTolerance = r.savedTolerance;
    // The record, the store and the camera agree again on the hue the picker started from.
    if (r.hue != r.savedHue) editField(BandField::Hue, r.savedHue);
    storeField(BandField::HueTolerance);
}

}  // namespace TVR
