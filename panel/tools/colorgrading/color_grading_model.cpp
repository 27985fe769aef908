#include "color_grading_model.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "apilog.h"
#include "fx3.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"

namespace TVR {

namespace {

constexpr int kGroupReach = 2;  // a grouped move takes two neighbours on each side

int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int wrapped(int index) { return ((index % kCurveSliders) + kCurveSliders) % kCurveSliders; }

bool validIndex(int index) { return index >= 0 && index < kCurveSliders; }

}  // namespace

std::vector<double> naturalSpline(const std::vector<double>& x, const std::vector<double>& y,
                                  int count) {
    std::vector<double> out(static_cast<size_t>(std::max(count, 0)), 0.0);
    const size_t points = std::min(x.size(), y.size());
    if (points < 2) return out;
    const size_t n = points - 1;
    std::vector<double> h(n), alpha(points, 0.0), l(points, 1.0), mu(points, 0.0), z(points, 0.0),
        b(n), c(points, 0.0), d(n);
    for (size_t i = 0; i < n; ++i) h[i] = x[i + 1] - x[i];
    for (size_t i = 1; i < n; ++i) {
        alpha[i] = 3.0 / h[i] * (y[i + 1] - y[i]) - 3.0 / h[i - 1] * (y[i] - y[i - 1]);
    }
    for (size_t i = 1; i < n; ++i) {
        l[i] = 2.0 * (x[i + 1] - x[i - 1]) - h[i - 1] * mu[i - 1];
        mu[i] = h[i] / l[i];
        z[i] = (alpha[i] - h[i - 1] * z[i - 1]) / l[i];
    }
    for (size_t j = n; j-- > 0;) {
        c[j] = z[j] - mu[j] * c[j + 1];
        b[j] = (y[j + 1] - y[j]) / h[j] - h[j] * (c[j + 1] + 2.0 * c[j]) / 3.0;
        d[j] = (c[j + 1] - c[j]) / (3.0 * h[j]);
    }
    for (int k = 0; k < count; ++k) {
        size_t seg = 0;
        for (size_t j = 0; j < n; ++j) {
            if (x[j] <= k) seg = j;
        }
        const double t = k - x[seg];
        out[static_cast<size_t>(k)] = y[seg] + b[seg] * t + c[seg] * t * t + d[seg] * t * t * t;
    }
    return out;
}

ColorGradingModel::ColorGradingModel(SettingsStore& store, ImgSensor& camera,
                                     std::unique_ptr<CGInfo> info)
    : TableValueOwner(store, camera, {}), m_info(std::move(info)), m_clock(steadyNs) {}

ColorGradingModel::~ColorGradingModel() = default;

bool ColorGradingModel::supported() { return camera().tableAvailable(m_info->type()); }

bool ColorGradingModel::pushAllowed() { return updateCounter() == 0 && camera().connected(); }

void ColorGradingModel::logError(const char* format) {
    settings().log().appendMessage(true, format, m_info->title().c_str());
}

void ColorGradingModel::logError(const char* format, double value, int index) {
    settings().log().appendMessage(true, format, m_info->title().c_str(), value, index);
}

ColorGradingModel::ReadOutcome ColorGradingModel::readCurve() {
    if (!supported()) return ReadOutcome::Unsupported;
    FpgaTable table(camera());
    const std::vector<double> values = table.readRange(m_info->type(), 0, kCurveSliders);
    if (table.error() || values.size() < static_cast<size_t>(kCurveSliders)) {
        logError("Error reading %s values");
        for (int i = 0; i < kCurveSliders; ++i) m_info->setPosition(i, m_info->neutralPos(i));
        return ReadOutcome::Failed;
    }
    for (int i = 0; i < kCurveSliders; ++i) {
        const double v = values[static_cast<size_t>(i)];
        m_info->setPosition(i, m_info->adjToPos(m_info->devToAdj(v)));
        settings().setReal(m_info->key(i), v);
    }
    return ReadOutcome::Read;
}

double ColorGradingModel::minimumDeviation() const {
    const double a = m_info->adjToDev(0);
    const double b = m_info->adjToDev(static_cast<uint32_t>(m_info->range()));
    return std::min(a, b);
}

double ColorGradingModel::maximumDeviation() const {
    const double a = m_info->adjToDev(0);
    const double b = m_info->adjToDev(static_cast<uint32_t>(m_info->range()));
    return std::max(a, b);
}

void ColorGradingModel::loadFromStore() {
    struct Change {
        int index;
        uint32_t oldPos;
        uint32_t newPos;
    };
    std::vector<Change> changes;
    constexpr double kMissing = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < kCurveSliders; ++i) {
        std::string key = m_info->key(i);
        if (!settings().has(key)) {
            key = m_info->legacyKey(i);
            if (!settings().has(key)) continue;
        }
        const double v = settings().getReal(key, kMissing);
        // An unreadable entry ends the load before any slider moved, so the curve shown is
        // still the one the camera holds.
        if (v == kMissing) return;
        changes.push_back({i, m_info->position(i), m_info->adjToPos(m_info->devToAdj(v))});
    }
    for (const Change& c : changes) m_info->setPosition(c.index, c.newPos);
    for (const Change& c : changes) record(c.index, c.oldPos, c.newPos, false);
    writeAll();
}

bool ColorGradingModel::writeSlider(int index) {
    if (!validIndex(index) || !pushAllowed()) return false;
    const double d = m_info->shownDeviation(index);
    settings().setReal(m_info->key(index), d);
    if (!supported()) return true;
    FpgaTable table(camera());
    if (!table.writeValue(m_info->type(), index, d)) {
        logError("Error writing %s value %.2f for index %d", d, index);
        return false;
    }
    return true;
}

bool ColorGradingModel::writeAll() {
    if (!pushAllowed()) return false;
    std::vector<double> values(kCurveSliders);
    for (int i = 0; i < kCurveSliders; ++i) {
        values[static_cast<size_t>(i)] = m_info->shownDeviation(i);
        settings().setReal(m_info->key(i), values[static_cast<size_t>(i)]);
    }
    if (!supported()) return true;
    FpgaTable table(camera());
    const int written = table.writeRange(m_info->type(), 0, values);
    if (written == 0 || table.error()) {
        logError("Error bulk-writing %s values");
        return false;
    }
    return true;
}

void ColorGradingModel::setState(int64_t index, SliderState state) {
    if (index >= 0 && index < kCurveSliders) m_states[static_cast<size_t>(index)] = state;
}

void ColorGradingModel::markLastChanged(int index) {
    if (m_locked != kNoSlider) return;
    setState(index, SliderState::LastChanged);
    if (m_lastChanged != index) setState(m_lastChanged, SliderState::Plain);
    m_lastChanged = index;
}

void ColorGradingModel::record(int index, uint32_t oldPos, uint32_t newPos, bool grouped) {
    m_history.record(static_cast<uint64_t>(index), static_cast<int32_t>(oldPos),
                     static_cast<int32_t>(newPos), grouped, m_clock());
}

EditEffect ColorGradingModel::moved(int index, uint32_t position, EditKeys keys) {
    if (!validIndex(index)) return {};
    if (keys.alt) return splineEdit(index, position);
    record(index, m_info->position(index), position, keys.shift);
    change(index, position, keys.shift, keys.ctrl);
    return {};
}

void ColorGradingModel::change(int index, uint32_t position, bool grouped, bool ctrl) {
    if (!validIndex(index)) return;
    if (ctrl && m_locked == kNoSlider) {
        m_locked = index;
        setState(index, SliderState::Locked);
    }
    markLastChanged(index);
    if (ctrl) {
        if (index != m_locked) {
            m_info->setPosition(index, m_info->position(static_cast<int>(m_locked)));
            writeSlider(index);
        }
    } else if (grouped) {
        const int64_t d = static_cast<int64_t>(position) - m_info->position(index);
        for (int k = index - kGroupReach; k <= index + kGroupReach; ++k) {
            const int w = wrapped(k);
            m_info->setPosition(w, m_info->position(w) + d);
            writeSlider(w);
        }
    } else {
        m_info->setPosition(index, position);
        writeSlider(index);
    }
    m_lastChanged = index;
    m_info->setHoverIndex(index);
}

void ColorGradingModel::unlock() {
    if (m_locked == kNoSlider) return;
    setState(m_locked, SliderState::Plain);
    m_locked = kNoSlider;
}

bool ColorGradingModel::undo() {
    const auto e = m_history.undo();
    if (!e) return false;
    const int index = static_cast<int>(e->index);
    if (e->grouped) {
        const int64_t delta = static_cast<int64_t>(e->oldPos) - e->newPos;
        for (int k = index - kGroupReach; k <= index + kGroupReach; ++k) {
            const int w = wrapped(k);
            m_info->setPosition(w, m_info->position(w) + delta);
            markLastChanged(w);
            writeSlider(w);
        }
    } else {
        m_info->setPosition(index, e->oldPos);
        markLastChanged(index);
        writeSlider(index);
    }
    return true;
}

bool ColorGradingModel::redo() {
    const auto e = m_history.redo();
    if (!e) return false;
    change(static_cast<int>(e->index), static_cast<uint32_t>(e->newPos), e->grouped, false);
    return true;
}

EditEffect ColorGradingModel::splineEdit(int index, uint32_t position) {
    if (!validIndex(index)) return {};
    if (std::find(m_anchors.begin(), m_anchors.end(), index) == m_anchors.end()) {
        m_anchors.push_back(index);
        setState(index, SliderState::Anchor);
    }
    if (m_anchors.size() < static_cast<size_t>(kSplineAnchorMinimum)) return {};
    if (position == m_info->position(index)) return {};
    m_info->setPosition(index, position);

    std::vector<int> sorted = m_anchors;
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> x, y;
    for (int a : sorted) {
        x.push_back(a);
        y.push_back(m_info->position(a));
    }
    const std::vector<double> curve = naturalSpline(x, y, kCurveSliders);
    for (int k = 0; k < kCurveSliders; ++k) {
        const double v = std::trunc(curve[static_cast<size_t>(k)]);
        const auto p = static_cast<uint32_t>(std::clamp(v, 0.0, double(m_info->range())));
        record(k, m_info->position(k), p, false);
        m_info->setPosition(k, p);
    }
    return {true};
}

void ColorGradingModel::showAnchors(bool on) {
    if (on == m_anchorsShown) return;
    for (int a : m_anchors) setState(a, on ? SliderState::Anchor : SliderState::Plain);
    m_anchorsShown = on;
}

void ColorGradingModel::rightClick(int index, EditKeys keys) {
    if (!validIndex(index)) return;
    if (keys.ctrl && m_locked != kNoSlider) {
        const double dev = m_info->deviation(static_cast<int>(m_locked));
        const int first = keys.alt ? 0 : index;
        const int last = keys.alt ? kCurveSliders - 1 : index;
        for (int k = first; k <= last; ++k) {
            const uint32_t old = m_info->position(k);
            const uint32_t now = m_info->setDeviation(k, dev);
            if (now == old) continue;
            record(k, old, now, keys.shift);
            change(k, now, keys.shift, false);
        }
    } else if (!keys.alt || keys.ctrl) {
        const uint32_t neutral = m_info->neutralPos(index);
        record(index, m_info->position(index), neutral, keys.shift);
        change(index, neutral, keys.shift, false);
    } else {
        const auto it = std::find(m_anchors.begin(), m_anchors.end(), index);
        if (it == m_anchors.end()) return;
        m_anchors.erase(it);
        setState(index, SliderState::Plain);
    }
}

void ColorGradingModel::rotate(bool left) {
    const CGInfo::Positions before = m_info->positions();
    for (int i = 0; i < kCurveSliders; ++i) {
        const int from = wrapped(left ? i + 1 : i - 1);
        markLastChanged(i);
        m_info->setPosition(i, before[static_cast<size_t>(from)]);
        writeSlider(i);
    }
}

void ColorGradingModel::resetAll(bool toDefault) {
    for (int i = 0; i < kCurveSliders; ++i) {
        const uint32_t p = toDefault ? m_info->defaultPos(i) : m_info->neutralPos(i);
        record(i, m_info->position(i), p, false);
        m_info->setPosition(i, p);
    }
}

bool ColorGradingModel::hover(int index) {
    if (!validIndex(index) || index == m_info->hoverIndex()) return false;
    m_info->setHoverIndex(index);
    return true;
}

std::string ColorGradingModel::windowTitle() const {
    const int64_t h = m_info->hoverIndex();
    if (h < 0 || h >= kCurveSliders) return m_info->title();
    return m_info->title() + " - " + m_info->describeSlider(static_cast<int>(h));
}

std::string ColorGradingModel::tooltip(int index) const {
    return fmt::format("{:.2}", m_info->shownDeviation(index));
}

}  // namespace TVR
