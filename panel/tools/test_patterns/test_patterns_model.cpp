#include "test_patterns_model.h"

#include <random>

#include "apilog.h"
#include "protocol/sensor_registers.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"

namespace TVR {

namespace {

constexpr std::array<TestPatternChoice, kTestPatternChoices> kChoices{{
    {1049, 1, 0, 0},
    {1050, 2, 0, 1},
    {1052, 3, 0, 2},
    {1056, 4, 0, 3},
    {1057, 5, 2, 0},
    {1058, 6, 2, 1},
    {1059, 7, 3, 0},
    {1060, 8, 1, 0},
}};

// The colour-bar preview: white, yellow, cyan, green, magenta, red, blue, black as red, green
// and blue on/off.
constexpr std::array<std::array<bool, 3>, 8> kBars{{
    {true, true, true},
    {true, true, false},
    {false, true, true},
    {false, true, false},
    {true, false, true},
    {true, false, false},
    {false, false, true},
    {false, false, false},
}};

int barOf(int x) {
    if (x < 36) return x / 6;
    return x <= 40 ? 6 : 7;
}

uint8_t level(int value) { return static_cast<uint8_t>(((value % 256) + 256) % 256); }

PreviewPixel barPixel(int x, uint8_t lvl) {
    const auto& bar = kBars[static_cast<size_t>(barOf(x))];
    return {bar[0] ? lvl : uint8_t{0}, bar[1] ? lvl : uint8_t{0}, bar[2] ? lvl : uint8_t{0}};
}

uint8_t on(bool lit) { return lit ? 255 : 0; }

bool samePattern(const TestPatternSettings& a, const TestPatternSettings& b) {
    return a.type == b.type && a.variant == b.variant && a.alternative == b.alternative &&
           a.bit5 == b.bit5 && a.bit6 == b.bit6 && a.bit7 == b.bit7;
}

std::string_view flagKey(TestPatternFlag flag) {
    switch (flag) {
        case TestPatternFlag::On:
            return kKeyTpOn;
        case TestPatternFlag::Transparent:
            return kKeyTpTransparent;
        case TestPatternFlag::Rolling:
            break;
    }
    return kKeyTpRolling;
}

constexpr std::array<TestPatternFlag, 3> kFlags{TestPatternFlag::On, TestPatternFlag::Transparent,
                                                TestPatternFlag::Rolling};

TestPatternSettings readRequest() {
    TestPatternSettings request;
    request.type = -1;
    return request;
}

}  // namespace

std::span<const TestPatternChoice> testPatternChoices() { return kChoices; }

const TestPatternChoice* testPatternChoice(int choice) {
    for (const auto& row : kChoices) {
        if (row.choice == choice) return &row;
    }
    return nullptr;
}

const TestPatternChoice* testPatternChoiceOfButton(int buttonId) {
    for (const auto& row : kChoices) {
        if (row.buttonId == buttonId) return &row;
    }
    return nullptr;
}

int testPatternChoiceOf(const TestPatternSettings& s) {
    for (const auto& row : kChoices) {
        if (row.kind != s.type) continue;
        const bool match = row.kind == 0   ? row.variant == s.variant
                           : row.kind == 2 ? (row.variant == 1) == s.alternative
                                           : true;
        if (match) return row.choice;
    }
    return kNoTestPatternChoice;
}

bool applyTestPatternChoice(TestPatternSettings& s, int choice) {
    const TestPatternChoice* row = testPatternChoice(choice);
    if (!row) return false;
    s.type = row->kind;
    s.variant = row->kind == 0 ? row->variant : 0;
    s.alternative = row->kind == 2 && row->variant == 1;
    return true;
}

// The sensors' own layout: bit 7 enables the pattern, bit 6 rolls the bar, bit 5 overlays it.
bool testPatternFlag(const TestPatternSettings& s, TestPatternFlag flag) {
    switch (flag) {
        case TestPatternFlag::On:
            return s.bit7;
        case TestPatternFlag::Transparent:
            return s.bit5;
        case TestPatternFlag::Rolling:
            break;
    }
    return s.bit6;
}

void setTestPatternFlag(TestPatternSettings& s, TestPatternFlag flag, bool value) {
    switch (flag) {
        case TestPatternFlag::On:
            s.bit7 = value;
            return;
        case TestPatternFlag::Transparent:
            s.bit5 = value;
            return;
        case TestPatternFlag::Rolling:
            s.bit6 = value;
            return;
    }
}

PreviewPixel PreviewBitmap::pixel(int x, int y) const {
    if (x < 0 || x >= kWidth || y < 0 || y >= kHeight) return {};
    const size_t i = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

void PreviewBitmap::setPixel(int x, int y, PreviewPixel p) {
    if (x < 0 || x >= kWidth || y < 0 || y >= kHeight) return;
    const size_t i = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 3;
    rgb[i] = p.r;
    rgb[i + 1] = p.g;
    rgb[i + 2] = p.b;
}

PreviewBitmap drawTestPatternPreview(int choice, uint32_t seed) {
    PreviewBitmap bmp;
    // mt19937's sequence is fixed by the standard, so a seed gives the same picture everywhere.
    std::mt19937 random(seed);
    for (int y = 0; y < PreviewBitmap::kHeight; ++y) {
        for (int x = 0; x < PreviewBitmap::kWidth; ++x) {
            PreviewPixel p;
            switch (choice) {
                case 1:
                    p = barPixel(x, 255);
                    break;
                case 2:
                    p = barPixel(x, level(250 - 2 * y));
                    break;
                case 3:
                    p = barPixel(x, level(3 * x + 50));
                    break;
                case 4:
                    p = barPixel(x, level(2 * y - 2 * x - 106));
                    break;
                case 5:
                    p = {on(((y / 12) ^ (x / 12)) & 1), on(((y / 24) ^ (x / 24)) & 1),
                         on(((y / 6) ^ (x / 6)) & 1)};
                    break;
                case 6: {
                    const uint8_t v = on(((y >> 3) & 1) != ((x / 7) & 1));
                    p = {v, v, v};
                    break;
                }
                case 8:
                    p = {static_cast<uint8_t>(random() & 0xFF),
                         static_cast<uint8_t>(random() & 0xFF),
                         static_cast<uint8_t>(random() & 0xFF)};
                    break;
                default:
                    break;
            }
            bmp.setPixel(x, y, p);
        }
    }
    return bmp;
}

std::array<PreviewBitmap, kTestPatternChoices> drawTestPatternPreviews(uint32_t seed) {
    std::array<PreviewBitmap, kTestPatternChoices> out;
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = drawTestPatternPreview(kChoices[i].choice, seed);
    }
    return out;
}

TestPatternsModel::TestPatternsModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, {}) {
    setUpdateCounter(1);
}

void TestPatternsModel::readState() {
    if (!camera().connected()) return;
    SettingsStore& s = settings();
    IImgSensorChip& chip = camera().chip();
    s.log().appendMessage(false, "Reading the status of Test Patterns");
    // An unavailable value reads as 0xFFFFFFFF, which is not a seed.
    const auto seed = static_cast<int32_t>(chip.sensorValue(kValueTestPatternSeed, -1));
    if (seed > 0) s.setHex(kKeyTpSeed, seed);
    s.setBool(kKeyTpEnableSeed, chip.sensorSwitch(kSwitchTestPatternSeed, -1));
    const TestPatternSettings tp = chip.testPattern(readRequest());
    for (TestPatternFlag flag : kFlags) s.setBool(flagKey(flag), testPatternFlag(tp, flag));
    s.setDecimal(kKeyTpChoice, testPatternChoiceOf(tp));
}

void TestPatternsModel::loadFromStore() {
    if (!active()) return;
    SettingsStore& s = settings();
    IImgSensorChip& chip = camera().chip();

    if (s.has(kKeyTpEnableSeed)) {
        chip.sensorSwitch(kSwitchTestPatternSeed, s.getBool(kKeyTpEnableSeed) ? 1 : 0);
    } else {
        s.setBool(kKeyTpEnableSeed, chip.sensorSwitch(kSwitchTestPatternSeed, -1));
    }
    const int32_t storedSeed = s.has(kKeyTpSeed) ? s.getInt(kKeyTpSeed) : -1;
    if (seedInRange(storedSeed)) {
        chip.sensorValue(kValueTestPatternSeed, storedSeed);
    } else {
        const auto seed = static_cast<int32_t>(chip.sensorValue(kValueTestPatternSeed, -1));
        if (seed > 0) s.setHex(kKeyTpSeed, seed);
    }

    TestPatternSettings tp = chip.testPattern(readRequest());
    // A chip without a pattern has nothing to take the stored values.
    if (tp.type < 0) return;
    bool change = false;
    for (TestPatternFlag flag : kFlags) {
        if (s.has(flagKey(flag))) {
            const bool wanted = s.getBool(flagKey(flag));
            change |= wanted != testPatternFlag(tp, flag);
            setTestPatternFlag(tp, flag, wanted);
        } else {
            s.setBool(flagKey(flag), testPatternFlag(tp, flag));
        }
    }
    const int current = testPatternChoiceOf(tp);
    const int storedChoice = s.has(kKeyTpChoice) ? s.getInt(kKeyTpChoice) : -1;
    if (testPatternChoice(storedChoice)) {
        change |= storedChoice != current;
        applyTestPatternChoice(tp, storedChoice);
    } else {
        s.setDecimal(kKeyTpChoice, current);
    }
    if (change) chip.testPattern(tp);
}

TestPatternsView TestPatternsModel::view() {
    SettingsStore& s = settings();
    TestPatternsView v;
    v.on = s.getBool(kKeyTpOn);
    v.transparent = s.getBool(kKeyTpTransparent);
    v.rolling = s.getBool(kKeyTpRolling);
    v.fixedSeed = s.getBool(kKeyTpEnableSeed);
    const int32_t seed = s.getInt(kKeyTpSeed);
    if (seed > 0) m_seedBox = seed;
    m_seedBoxEnabled = v.on;
    v.seed = m_seedBox;
    v.seedEnabled = m_seedBoxEnabled;
    if (const TestPatternChoice* row = testPatternChoice(s.getInt(kKeyTpChoice))) {
        v.checkedButton = row->buttonId;
    }
    return v;
}

bool TestPatternsModel::active() { return updateCounter() == 0 && camera().connected(); }

bool TestPatternsModel::seedInRange(int32_t seed) {
    return seed >= 0 && seed <= camera().chip().maxValue(kValueTestPatternSeed);
}

template <typename Change>
std::optional<TestPatternSettings> TestPatternsModel::modifyPattern(Change change) {
    if (!active()) return std::nullopt;
    IImgSensorChip& chip = camera().chip();
    TestPatternSettings tp = chip.testPattern(readRequest());
    if (tp.type < 0) return std::nullopt;
    change(tp);
    chip.testPattern(tp);
    // The sensor path reports no write result; what the chip holds afterwards and a camera that
    // still answers tell whether the write arrived.
    const TestPatternSettings now = chip.testPattern(readRequest());
    uint16_t probe = 0;
    // Any register answers while the camera does; the chip ID is there on every chip.
    if (!samePattern(now, tp) || !camera().readRegister(SensorReg::kChipIdHigh, probe)) {
        settings().log().appendMessage(true, "The test pattern could not be changed");
        return std::nullopt;
    }
    return now;
}

bool TestPatternsModel::setFlag(TestPatternFlag flag, bool value) {
    const auto done =
        modifyPattern([&](TestPatternSettings& tp) { setTestPatternFlag(tp, flag, value); });
    if (!done) return false;
    settings().setBool(flagKey(flag), value);
    return true;
}

bool TestPatternsModel::choose(int choice) {
    if (!testPatternChoice(choice)) return false;
    const auto done =
        modifyPattern([&](TestPatternSettings& tp) { applyTestPatternChoice(tp, choice); });
    if (!done) return false;
    settings().setHex(kKeyTpChoice, choice);
    return true;
}

bool TestPatternsModel::chooseButton(int buttonId) {
    const TestPatternChoice* row = testPatternChoiceOfButton(buttonId);
    return row && choose(row->choice);
}

bool TestPatternsModel::setFixedSeed(bool value) {
    if (!active()) return false;
    settings().setBool(kKeyTpEnableSeed, value);
    IImgSensorChip& chip = camera().chip();
    chip.sensorSwitch(kSwitchTestPatternSeed, value ? 1 : 0);
    // The register holds four bits: a larger number would reach the sensor cut down.
    if (value && seedInRange(m_seedBox)) chip.sensorValue(kValueTestPatternSeed, m_seedBox);
    m_seedBoxEnabled = value;
    return true;
}

bool TestPatternsModel::setSeedBox(int32_t seed) {
    m_seedBox = seed;
    if (!active() || !settings().getBool(kKeyTpEnableSeed)) return false;
    if (!seedInRange(seed)) return false;
    settings().setDecimal(kKeyTpSeed, seed);
    camera().chip().sensorValue(kValueTestPatternSeed, seed);
    return true;
}

}  // namespace TVR
