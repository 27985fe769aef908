#pragma once

// The colour substitution (chroma-key enhancer) window without its widgets: the FPGA's four
// bands, their register encoding, the reads and uploads, the GSn_ keys of the settings store,
// copying a band onto another, the inverse of a band, the colour picker's state machine and the
// arithmetic of the hue bar and gradients. Called on the thread that holds the camera's work;
// the read and upload tasks may run on a batch worker while the window thread waits.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/batch_runner.h"
#include "settings/table_value_owner.h"
#include "shell/hsv_colour.h"

namespace TVR {

// One band of the enhancer.
struct ColorSubsInfo {
    uint8_t enabled = 0;
    uint8_t satMin = 20;
    uint8_t satMax = 255;
    uint8_t lumMin = 10;
    uint8_t lumMax = 245;
    uint32_t rgb = 0x00FF00;  // red bits 0-7, green 8-15, blue 16-23
    int32_t hue = 0;
    int32_t hueTolerance = 10;
    int32_t savedHue = 120;
    int32_t savedTolerance = 10;
    bool operator==(const ColorSubsInfo&) const = default;
};

inline constexpr int kColorSubsBands = 4;
inline constexpr int kBandRegisterCount = 16;
inline constexpr int kHueSteps = 8192;  // register steps per 180 degrees
inline constexpr int kMaxHue = 359;
inline constexpr int kMaxHueTolerance = 180;

// The register number of a band's first register.
uint8_t bandRegisterBase(int band);

// Degrees to the signed 16-bit register value and back (the read adds a full turn, so a raw
// -8192 shows 180).
int16_t hueToRaw(int hue);
int hueFromRaw(int16_t raw);
uint16_t toleranceToRaw(int tolerance);
int toleranceFromRaw(uint16_t raw);

// The sixteen registers of a band as an upload leaves them (register 1 is not used: 0).
std::array<uint8_t, kBandRegisterCount> bandRegisterImage(const ColorSubsInfo& band);

// The settings keys of band `band` (0..3): "GS1_ON" ... "GS4_RGB_B", or with `legacy` the older
// "GSn_ENHANCER_" names that loading still accepts.
enum class BandKey {
    On,
    Hue,
    HueTolerance,
    SaturationMin,
    SaturationMax,
    LuminosityMin,
    LuminosityMax,
    Red,
    Green,
    Blue,
};
inline constexpr int kBandKeyCount = 10;
std::string bandKey(int band, BandKey key, bool legacy = false);

// The six numbers a band's edits show.
enum class BandField { Hue, HueTolerance, SatMin, SatMax, LumMin, LumMax };

// The colour picker's reading of one screen pixel.
struct PickedColour {
    int hue = 120;
    int brightness = 0;
    bool operator==(const PickedColour&) const = default;
};
PickedColour pickColour(Rgb pixel);

enum class PickerState { Idle, Tracking, ButtonDown };

// The hue bar over the hue slider: `width` columns for one band's window.
std::vector<Rgb> hueBar(const ColorSubsInfo& band, int width);
// The hue/saturation gradient of the key swatch and the band buttons: the colour of column
// `column` and row `row` in a rectangle of `width` by `height`, at value `value`.
Rgb bandGradient(const ColorSubsInfo& band, int value, int column, int row, int width, int height);

class GreenScreenModel : public TableValueOwner {
public:
    GreenScreenModel(SettingsStore& store, ImgSensor& camera);

    // Reads the four bands from the camera into the records and the store (only when the camera
    // is connected).
    void readState() override;
    // Uploads the bands the store holds (GSn_ or the older GSn_ENHANCER_ keys); stores the
    // records of the bands it holds neither for.
    void loadFromStore() override;

    // The eight read tasks over the four bands; the store is filled by storeAllBands().
    Batch readTasks();
    void storeAllBands();
    // The eight write tasks for the current band. Nothing is sent while the update counter is
    // nonzero or the camera is not connected.
    Batch uploadTasks();
    // Runs uploadTasks() here; true when every write reached the camera.
    bool uploadBand();

    std::span<const ColorSubsInfo, kColorSubsBands> bands() const { return m_bands; }
    const ColorSubsInfo& band(int index) const;
    const ColorSubsInfo& current() const { return band(m_current); }
    int currentBand() const { return m_current; }
    // Out-of-range indexes are ignored.
    void setCurrentBand(int index);
    // Replaces a record without storing or sending it (the window's restores).
    void setBandRecord(int index, const ColorSubsInfo& record);

    // The key brightness of the previews (0..255).
    int keyBrightness() const { return m_value; }
    void setKeyBrightness(int value);

    // One edit of the current band: stored in the record (bytes keep the low 8 bits) and under
    // the band's key, then written. True when it reached the camera.
    bool editField(BandField field, int value);
    int field(BandField field) const;
    bool setEnabled(bool on);
    bool setReplacementColour(uint32_t rgb);

    // Copies band `from` over band `to` and uploads it; false when refused (same band, an index
    // out of range) or a write failed. The store is not written.
    bool copyBand(int from, int to);
    // Builds the four bands of the inverse of the current band and uploads them; band 1 becomes
    // current. True when every upload reached the camera.
    bool buildInverse();

    // The colour picker. start() keeps hue and tolerance of the current band to restore.
    void startPicker();
    bool pickerActive() const { return m_pickerActive; }
    PickerState pickerState() const { return m_pickerState; }
    // The cursor moved over a pixel: its hue becomes the band's (stored and written).
    void pickerMove(Rgb pixel);
    // Left button down: swallowed.
    void pickerButtonDown();
    // Left button up: the pixel is taken and the picker ends. False when the picker was not
    // tracking (then it was cancelled).
    bool pickerButtonUp(Rgb pixel);
    // Enter: the picker ends with what it picked.
    void pickerAccept();
    // Escape or any other mouse event: the saved hue and tolerance come back, in the record, the
    // store and the camera.
    void pickerCancel();

private:
    bool active();
    void logFailure(std::string_view label);
    bool writeByte(int offset, uint8_t value, std::string_view label);
    bool writePair(int offset, uint16_t value, std::string_view label);
    // Both registers of a pair are read; empty when either failed.
    std::optional<uint16_t> readPair(int band, int offset, std::string_view label);
    std::optional<uint8_t> readByte(int band, int offset, std::string_view label);
    bool writeField(BandField field);
    bool writeColour();
    bool uploadEach(int band);
    void storeBand(int band);
    void storeField(BandField field);
    ColorSubsInfo& rec() { return m_bands[static_cast<size_t>(m_current)]; }
    void applyPicked(Rgb pixel);
    void endPicker() {
        m_pickerActive = false;
        m_pickerState = PickerState::Idle;
    }

    std::array<ColorSubsInfo, kColorSubsBands> m_bands{};
    int m_current = 0;
    int m_value = 255;
    bool m_pickerActive = false;
    PickerState m_pickerState = PickerState::Idle;
    // Each task of a batch reports here; read by uploadBand().
    bool m_writesOk = true;
};

}  // namespace TVR
