#pragma once

// The colour correction matrix window without its widgets: the matrix and its text, the seven
// colour adjustments that change it row by row, the presets, transposition and automatic apply,
// and the writes through the camera's colour matrix request. Matrices the camera cannot hold are
// refused before anything is sent. The matrix is not kept in the settings store. Called on the
// thread that holds the camera's work.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/table_value_owner.h"

namespace TVR {

inline constexpr int kCmxSize = 9;
// The FX3 firmware build from which cameras have the colour matrix.
inline constexpr int kCmxFx3Build = 57;
using CmxMatrix = std::array<float, kCmxSize>;

// The range the camera's 8.8 fixed-point registers (holding twice a coefficient) take without
// the write cutting it down.
inline constexpr float kCmxMinimum = -64.0f;
inline constexpr float kCmxMaximum = 63.5f;

inline constexpr std::string_view kCmxInitialText =
    "1.0\t0.0\t0.0\r\n0.0\t1.0\t0.0\r\n0.0\t0.0\t1.0";

// The seven colour adjustments in the window's order.
enum class CmxColour { Red, Green, Blue, Yellow, Cyan, Magenta, White };
inline constexpr int kCmxColours = 7;

struct CmxPreset {
    std::string_view name;
    CmxMatrix coefficients;
};
// "Neutral", "Default", "Greyscale", "Sepia".
std::span<const CmxPreset> cmxPresets();
// Case-insensitive; null for an unknown name.
const CmxPreset* cmxPreset(std::string_view name);

// Whitespace-separated numbers (every piece a whole number text); empty when a piece is not a
// finite number. The count is the caller's to check.
std::optional<std::vector<float>> parseCmxNumbers(std::string_view text);
// Exactly nine numbers, else empty.
std::optional<CmxMatrix> parseCmxText(std::string_view text);
// Rows "{:.5f}\t{:.5f}\t{:.5f}" joined by "\r\n".
std::string formatCmx(const CmxMatrix& m);
CmxMatrix transposeCmx(const CmxMatrix& m);
// Whether every coefficient is finite and within the camera's range.
bool cmxInRange(const CmxMatrix& m);
// The rows a colour adjustment changes (White: none; it scales the diagonal).
std::span<const int> cmxRowsOf(CmxColour colour);
// The matrix after a colour's value went from `previous` to `next`.
CmxMatrix adjustCmx(const CmxMatrix& m, CmxColour colour, float previous, float next);

enum class CmxApply {
    Written,      // the camera took the matrix
    Kept,         // the matrix changed; nothing was sent (disconnected or updating)
    NotNine,      // the text does not hold nine numbers: nothing changed
    OutOfRange,   // a coefficient the camera cannot hold: nothing changed or sent
    WriteFailed,  // the matrix changed but the camera did not take it
};

class CmxModel : public TableValueOwner {
public:
    CmxModel(SettingsStore& store, ImgSensor& camera);

    // Resets the colour values and takes the camera's matrix (kept when the read fails).
    void readState() override;
    void loadFromStore() override {}

    const CmxMatrix& matrix() const { return m_matrix; }
    const std::string& text() const { return m_text; }
    float colourValue(CmxColour colour) const { return m_colours[static_cast<size_t>(colour)]; }
    bool autoApply() const { return m_autoApply; }
    bool transposed() const { return m_transposed; }
    void setTransposed(bool on) { m_transposed = on; }
    // True when the last readState() got the camera's matrix.
    bool lastReadOk() const { return m_readOk; }

    // The matrix text changed; applied at once with automatic apply.
    std::optional<CmxApply> setText(std::string text);
    // Parses the text and writes it.
    CmxApply apply();
    // Writes these coefficients exactly (the text shows them rounded), whether or not automatic
    // apply is on.
    CmxApply applyMatrix(const CmxMatrix& m);
    // Checking applies at once; empty when unchecked.
    std::optional<CmxApply> setAutoApply(bool on);
    // A colour's edit got a new value: the matrix changes, its text is shown again and, with
    // automatic apply, written.
    std::optional<CmxApply> setColour(CmxColour colour, float value);
    // A spin click: ±0.02 per step; empty (and nothing changed) when the value would leave
    // -1..2.
    std::optional<float> spinValue(CmxColour colour, int steps) const;
    // A preset by its position in cmxPresets(): resets the colours and always applies.
    std::optional<CmxApply> choosePreset(int index);

private:
    CmxApply write(const CmxMatrix& m);

    CmxMatrix m_matrix{1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::string m_text{kCmxInitialText};
    std::array<float, kCmxColours> m_colours{};
    bool m_autoApply = false;
    bool m_transposed = false;
    bool m_readOk = false;
};

}  // namespace TVR
