#include "cmx_model.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <vector>

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"

namespace TVR {

namespace {

constexpr std::array<CmxPreset, 4> kCmxPresetTable = {{
    {"Neutral", {1, 0, 0, 0, 1, 0, 0, 0, 1}},
    {"Default",
     {1.253906f, -0.3085938f, -0.0039063f, -0.2167969f, 1.558594f, -0.4121094f, -0.0976563f,
      -0.7675781f, 1.84375f}},
    {"Greyscale", {0.289f, 0.587f, 0.114f, 0.289f, 0.587f, 0.114f, 0.289f, 0.587f, 0.114f}},
    {"Sepia",
     {0.565501f, -0.180589f, 0.016542f, -0.10123f, 0.651297f, -0.145155f, -0.055499f, -0.386557f,
      0.866856f}},
}};

constexpr std::array<int, 1> kRowsRed{0};
constexpr std::array<int, 1> kRowsGreen{1};
constexpr std::array<int, 1> kRowsBlue{2};
constexpr std::array<int, 2> kRowsYellow{0, 1};
constexpr std::array<int, 2> kRowsCyan{1, 2};
constexpr std::array<int, 2> kRowsMagenta{0, 2};

constexpr float kCmxSpinStep = 0.02f;
constexpr float kCmxSpinLowest = -1.0001f;
constexpr float kCmxSpinHighest = 2.0001f;

bool cmxBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char cmxLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

size_t cmxIndex(int row, int column) {
    return static_cast<size_t>(row) * 3 + static_cast<size_t>(column);
}

}  // namespace

std::span<const CmxPreset> cmxPresets() { return kCmxPresetTable; }

const CmxPreset* cmxPreset(std::string_view name) {
    for (const CmxPreset& p : kCmxPresetTable) {
        if (p.name.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = cmxLower(p.name[i]) == cmxLower(name[i]);
        if (same) return &p;
    }
    return nullptr;
}

std::optional<std::vector<float>> parseCmxNumbers(std::string_view text) {
    std::vector<float> numbers;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && cmxBlank(text[i])) ++i;
        size_t end = i;
        while (end < text.size() && !cmxBlank(text[end])) ++end;
        if (end == i) break;
        std::string_view piece = text.substr(i, end - i);
        i = end;
        // from_chars takes no plus sign; a number text may carry one.
        if (piece.size() > 1 && piece.front() == '+' && piece[1] != '-') piece.remove_prefix(1);
        float value = 0;
        const auto [ptr, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
        if (ec != std::errc() || ptr != piece.data() + piece.size() || !std::isfinite(value)) {
            return std::nullopt;
        }
        numbers.push_back(value);
    }
    return numbers;
}

std::optional<CmxMatrix> parseCmxText(std::string_view text) {
    const auto numbers = parseCmxNumbers(text);
    if (!numbers || numbers->size() != kCmxSize) return std::nullopt;
    CmxMatrix m{};
    std::copy(numbers->begin(), numbers->end(), m.begin());
    return m;
}

std::string formatCmx(const CmxMatrix& m) {
    std::string out;
    for (int r = 0; r < 3; ++r) {
        if (r > 0) out += "\r\n";
        out += fmt::format("{:.5f}\t{:.5f}\t{:.5f}", m[cmxIndex(r, 0)], m[cmxIndex(r, 1)],
                           m[cmxIndex(r, 2)]);
    }
    return out;
}

CmxMatrix transposeCmx(const CmxMatrix& m) {
    CmxMatrix t{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) t[cmxIndex(c, r)] = m[cmxIndex(r, c)];
    }
    return t;
}

bool cmxInRange(const CmxMatrix& m) {
    for (float v : m) {
        if (!std::isfinite(v) || v < kCmxMinimum || v > kCmxMaximum) return false;
    }
    return true;
}

std::span<const int> cmxRowsOf(CmxColour colour) {
    switch (colour) {
        case CmxColour::Red:
            return kRowsRed;
        case CmxColour::Green:
            return kRowsGreen;
        case CmxColour::Blue:
            return kRowsBlue;
        case CmxColour::Yellow:
            return kRowsYellow;
        case CmxColour::Cyan:
            return kRowsCyan;
        case CmxColour::Magenta:
            return kRowsMagenta;
        case CmxColour::White:
            break;
    }
    return {};
}

CmxMatrix adjustCmx(const CmxMatrix& m, CmxColour colour, float previous, float next) {
    CmxMatrix out = m;
    if (colour == CmxColour::White) {
        const float factor = previous <= -1.0f ? 0.0f : (next + 1.0f) / (previous + 1.0f);
        for (int d = 0; d < 3; ++d) out[cmxIndex(d, d)] *= factor;
        return out;
    }
    const float delta = next - previous;
    // The diagonal takes the change and the other two give half of it each: the row's sum, and
    // with it the brightness of grey, stays as it was.
    for (int r : cmxRowsOf(colour)) {
        for (int c = 0; c < 3; ++c) out[cmxIndex(r, c)] += c == r ? delta : -delta / 2.0f;
    }
    return out;
}

CmxModel::CmxModel(SettingsStore& store, ImgSensor& camera) : TableValueOwner(store, camera, {}) {}

void CmxModel::readState() {
    m_readOk = false;
    if (!camera().connected()) return;
    m_colours.fill(0.0f);
    const std::vector<double> values = camera().readColourMatrix();
    if (values.size() != kCmxSize) {
        settings().log().appendText(true, "The color correction matrix could not be read");
        return;
    }
    for (size_t i = 0; i < values.size(); ++i) m_matrix[i] = static_cast<float>(values[i]);
    m_text = formatCmx(m_matrix);
    m_readOk = true;
}

CmxApply CmxModel::write(const CmxMatrix& m) {
    if (!cmxInRange(m)) {
        settings().log().appendMessage(
            true, "The color correction matrix was not applied: coefficients must be %g to %g",
            static_cast<double>(kCmxMinimum), static_cast<double>(kCmxMaximum));
        return CmxApply::OutOfRange;
    }
    m_matrix = m;
    if (updateCounter() != 0 || !camera().connected()) return CmxApply::Kept;
    const std::array<double, kCmxSize> values{m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8]};
    if (!camera().writeColourMatrix(values)) {
        settings().log().appendText(true, "Error writing the color correction matrix");
        return CmxApply::WriteFailed;
    }
    return CmxApply::Written;
}

CmxApply CmxModel::apply() {
    const auto parsed = parseCmxText(m_text);
    if (!parsed) return CmxApply::NotNine;
    return write(m_transposed ? transposeCmx(*parsed) : *parsed);
}

CmxApply CmxModel::applyMatrix(const CmxMatrix& m) {
    const CmxApply result = write(m);
    if (result != CmxApply::OutOfRange) m_text = formatCmx(m);
    return result;
}

std::optional<CmxApply> CmxModel::setText(std::string text) {
    m_text = std::move(text);
    if (!m_autoApply) return std::nullopt;
    return apply();
}

std::optional<CmxApply> CmxModel::setAutoApply(bool on) {
    m_autoApply = on;
    if (!on) return std::nullopt;
    return apply();
}

std::optional<CmxApply> CmxModel::setColour(CmxColour colour, float value) {
    float& stored = m_colours[static_cast<size_t>(colour)];
    const float previous = stored;
    stored = value;
    m_matrix = adjustCmx(m_matrix, colour, previous, value);
    m_text = formatCmx(m_matrix);
    if (!m_autoApply) return std::nullopt;
    return apply();
}

std::optional<float> CmxModel::spinValue(CmxColour colour, int steps) const {
    const float value = colourValue(colour) + kCmxSpinStep * static_cast<float>(steps);
    if (value < kCmxSpinLowest || value > kCmxSpinHighest) return std::nullopt;
    return value;
}

std::optional<CmxApply> CmxModel::choosePreset(int index) {
    if (index < 0 || index >= static_cast<int>(kCmxPresetTable.size())) return std::nullopt;
    m_colours.fill(0.0f);
    // The coefficients themselves are written: the text shows them with five decimals only.
    return applyMatrix(kCmxPresetTable[static_cast<size_t>(index)].coefficients);
}

}  // namespace TVR
