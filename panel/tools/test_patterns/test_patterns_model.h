#pragma once

// The test-pattern window without its widgets: the eight pattern choices with their preview
// bitmaps, the transfers of the TP_* keys between the camera and the store, and the handlers of
// the window's boxes and buttons. Every handler does nothing without a connected camera.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "sensor/img_sensor_chip.h"
#include "settings/table_value_owner.h"

namespace TVR {

inline constexpr std::string_view kKeyTpOn = "TP_ON";
inline constexpr std::string_view kKeyTpTransparent = "TP_TRANSP";
inline constexpr std::string_view kKeyTpRolling = "TP_ROLL";
inline constexpr std::string_view kKeyTpChoice = "TP_CHOICE";
inline constexpr std::string_view kKeyTpSeed = "TP_SEED";
inline constexpr std::string_view kKeyTpEnableSeed = "TP_ENABLE_SEED";

// One radio button of the window: its control id, its choice number and the sensor pattern it
// selects (the variant is the colour-bar style of kind 0 and the alternative square of kind 2).
struct TestPatternChoice {
    int buttonId = 0;
    int choice = 0;
    int kind = 0;
    int variant = 0;
};

inline constexpr int kTestPatternChoices = 8;
// The choice number of a setting no button selects.
inline constexpr int kNoTestPatternChoice = 255;
inline constexpr int32_t kInitialTestPatternSeed = 20170727;

std::span<const TestPatternChoice> testPatternChoices();
const TestPatternChoice* testPatternChoice(int choice);
const TestPatternChoice* testPatternChoiceOfButton(int buttonId);

// The choice number of a sensor setting; kNoTestPatternChoice for any other kind or variant.
int testPatternChoiceOf(const TestPatternSettings& settings);
// The setting with the kind and variant of `choice`, its flags kept; false (unchanged) for a
// choice no button has.
bool applyTestPatternChoice(TestPatternSettings& settings, int choice);

// The window's three flags and where the sensor keeps them.
enum class TestPatternFlag { On, Transparent, Rolling };
bool testPatternFlag(const TestPatternSettings& settings, TestPatternFlag flag);
void setTestPatternFlag(TestPatternSettings& settings, TestPatternFlag flag, bool on);

struct PreviewPixel {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const PreviewPixel&) const = default;
};

// A button's preview picture, rows top to bottom, three bytes (red, green, blue) per pixel.
struct PreviewBitmap {
    static constexpr int kWidth = 46;
    static constexpr int kHeight = 40;
    std::array<uint8_t, static_cast<size_t>(kWidth) * kHeight * 3> rgb{};

    PreviewPixel pixel(int x, int y) const;
    void setPixel(int x, int y, PreviewPixel p);
};

// The preview of a choice (1-8); `seed` drives the random one. All black for other numbers.
PreviewBitmap drawTestPatternPreview(int choice, uint32_t seed);
// The previews of choices 1-8 in order.
std::array<PreviewBitmap, kTestPatternChoices> drawTestPatternPreviews(uint32_t seed);

// What the window shows after an update from the store.
struct TestPatternsView {
    bool on = false;
    bool transparent = false;
    bool rolling = false;
    bool fixedSeed = false;
    int32_t seed = kInitialTestPatternSeed;
    bool seedEnabled = false;
    // The button to check; 0 when none matches the stored choice.
    int checkedButton = 0;
};

class TestPatternsModel : public TableValueOwner {
public:
    TestPatternsModel(SettingsStore& store, ImgSensor& camera);

    // Initialisation ends: the handlers act from now on. The counter is 1 until then.
    void finishInitialisation() { setUpdateCounter(0); }

    void readState() override;
    // Applies the stored flags, choice and seed to the camera and reads what the store lacks.
    void loadFromStore() override;

    // The update step: the seed box takes a stored seed above 0.
    TestPatternsView view();

    // "On/Off", "Transparent", "Rolling bar": read, change one flag, write back, store it.
    // False when nothing could be done or the camera did not take it; nothing is stored then.
    bool setFlag(TestPatternFlag flag, bool on);
    // A pattern button; the same rules as the flags.
    bool choose(int choice);
    bool chooseButton(int buttonId);
    // "Fixed seed (0-15):".
    bool setFixedSeed(bool on);
    // The seed box was changed to `seed`; stored and written only while the fixed seed is on.
    bool setSeedBox(int32_t seed);

    int32_t seedBox() const { return m_seedBox; }
    bool seedBoxEnabled() const { return m_seedBoxEnabled; }

private:
    bool active();
    bool seedInRange(int32_t seed);
    // Reads the setting, lets `change` alter it, writes it and reads it back. The setting in
    // force when the camera took exactly that, empty otherwise.
    template <typename Change>
    std::optional<TestPatternSettings> modifyPattern(Change change);

    int32_t m_seedBox = kInitialTestPatternSeed;
    bool m_seedBoxEnabled = false;
};

}  // namespace TVR
