#include "tab_gains.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <functional>
#include <optional>

#include "sensor/img_sensor.h"
#include "settings/camera_work.h"
#include "settings/preferences.h"
#include "shell/tab_gains_model.h"

namespace TVR {
namespace {

using M = TabGainsModel;

constexpr const char* kSensorTitle = "Sensor";
constexpr const char* kWbCheckText = "Red\n\nGreen\n\nBlue";

// Each spin sets its buddy's number.
struct SpinBuddy {
    int spinId;
    int numberId;
};
constexpr std::array<SpinBuddy, 6> kSpinBuddies = {{
    {M::kWbRedSpin, M::kWbRedNumber},
    {M::kWbGreenSpin, M::kWbGreenNumber},
    {M::kWbBlueSpin, M::kWbBlueNumber},
    {M::kGainSpin, M::kGainNumber},
    {M::kExposureSpin, M::kExposureNumber},
    {M::kBlackLevelSpin, M::kBlackLevelNumber},
}};

int spinOfNumber(int numberId) {
    for (const SpinBuddy& b : kSpinBuddies) {
        if (b.numberId == numberId) return b.spinId;
    }
    return 0;
}

// The page's number boxes hold unsigned decimal integers; anything else is not a number yet.
std::optional<int> decimalOf(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < 0) return std::nullopt;
    return value;
}

QLineEdit* numberBox(int id) {
    auto* box = new QLineEdit;
    box->setObjectName(controlName(id));
    // Nine digits keep every typed number within an int.
    box->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,9}"), box));
    box->setMaximumWidth(70);
    return box;
}

QSpinBox* spinBox(int id) {
    auto* spin = new QSpinBox;
    spin->setObjectName(controlName(id));
    spin->setKeyboardTracking(false);
    spin->setMaximumWidth(20);
    return spin;
}

QSlider* slider(int id) {
    auto* s = new QSlider(Qt::Horizontal);
    s->setObjectName(controlName(id));
    s->setMinimumWidth(200);
    return s;
}

// A slider with a highlighted band under its groove.
class BandSlider : public QSlider {
public:
    explicit BandSlider(int id) : QSlider(Qt::Horizontal) {
        setObjectName(controlName(id));
        setMinimumWidth(200);
    }
    void setBand(int low, int high) {
        m_low = low;
        m_high = high;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QSlider::paintEvent(event);
        if (m_low >= m_high) return;
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        const QRect groove =
            style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
        const int span = groove.width() - handle.width();
        const auto x = [&](int v) {
            return groove.x() + handle.width() / 2 +
                   QStyle::sliderPositionFromValue(minimum(), maximum(), v, span, opt.upsideDown);
        };
        QPainter painter(this);
        painter.fillRect(
            QRect(QPoint(x(m_low), groove.bottom() + 1), QPoint(x(m_high), groove.bottom() + 3)),
            palette().highlight());
    }

private:
    int m_low = 0;
    int m_high = 0;
};

// A spin that only gives a direction: its value never moves.
class DirectionSpin : public QSpinBox {
public:
    explicit DirectionSpin(int id, std::function<void(int)> stepped)
        : m_stepped(std::move(stepped)) {
        setObjectName(controlName(id));
        setMaximumWidth(20);
    }
    void stepBy(int steps) override {
        if (steps != 0 && isEnabled()) m_stepped(steps);
    }

protected:
    StepEnabled stepEnabled() const override {
        return isEnabled() ? (StepUpEnabled | StepDownEnabled) : StepNone;
    }

private:
    std::function<void(int)> m_stepped;
};

QLabel* label(const char* text) { return new QLabel(QString::fromUtf8(text)); }

}  // namespace

CTabGains::CTabGains(TabGainsModel& model, const Preferences& preferences,
                     const PreferencesStorage* geometry, QWidget* parent)
    : CDlgBaseTab(model, geometry, parent), m_model(model), m_preferences(preferences) {
    setWindowTitle(QString::fromUtf8(kSensorTitle));
    buildControls();
    connectControls();
    initDialog();
}

CTabGains::~CTabGains() = default;

void CTabGains::buildControls() {
    auto* top = new QVBoxLayout(this);

    // White balance: one check box whose text names the three rows beside it.
    auto* wbBox = new QGroupBox(QStringLiteral("White balance"));
    auto* wb = new QGridLayout(wbBox);
    auto* wbCheck = new QCheckBox(QString::fromUtf8(kWbCheckText));
    wbCheck->setObjectName(controlName(M::kManualWbCheck));
    wb->addWidget(wbCheck, 0, 0, 3, 1);
    const std::array<std::array<int, 3>, 3> wbRows = {{
        {M::kWbRedSlider, M::kWbRedNumber, M::kWbRedSpin},
        {M::kWbGreenSlider, M::kWbGreenNumber, M::kWbGreenSpin},
        {M::kWbBlueSlider, M::kWbBlueNumber, M::kWbBlueSpin},
    }};
    for (int row = 0; row < 3; ++row) {
        const auto& ids = wbRows[static_cast<size_t>(row)];
        wb->addWidget(slider(ids[0]), row, 1);
        wb->addWidget(numberBox(ids[1]), row, 2);
        wb->addWidget(spinBox(ids[2]), row, 3);
    }
    top->addWidget(wbBox);

    auto* grid = new QGridLayout;
    auto* gainCheck = new QCheckBox(QStringLiteral("Gain"));
    gainCheck->setObjectName(controlName(M::kManualGainCheck));
    grid->addWidget(gainCheck, 0, 0);
    grid->addWidget(slider(M::kGainSlider), 0, 1);
    grid->addWidget(numberBox(M::kGainNumber), 0, 2);
    grid->addWidget(spinBox(M::kGainSpin), 0, 3);

    auto* exposureCheck = new QCheckBox(QStringLiteral("Exposure"));
    exposureCheck->setObjectName(controlName(M::kManualExposureCheck));
    grid->addWidget(exposureCheck, 1, 0);
    m_exposureSlider = slider(M::kExposureSlider);
    grid->addWidget(m_exposureSlider, 1, 1);
    grid->addWidget(numberBox(M::kExposureNumber), 1, 2);
    grid->addWidget(spinBox(M::kExposureSpin), 1, 3);
    m_exposureRange = new QComboBox;
    m_exposureRange->setObjectName(controlName(M::kExposureRangeBox));
    for (const ExposureRange& r : kExposureRanges) {
        m_exposureRange->addItem(
            QString::fromUtf8(r.label.data(), static_cast<int>(r.label.size())));
    }
    m_exposureRange->setCurrentIndex(static_cast<int>(kInitialExposureRange));
    grid->addWidget(m_exposureRange, 1, 4);

    grid->addWidget(label("Black level"), 2, 0);
    grid->addWidget(slider(M::kBlackLevelSlider), 2, 1);
    grid->addWidget(numberBox(M::kBlackLevelNumber), 2, 2);
    grid->addWidget(spinBox(M::kBlackLevelSpin), 2, 3);

    grid->addWidget(label("Frame rate, fps"), 3, 0);
    auto* frameRate = new BandSlider(M::kFrameRateSliderId);
    frameRate->setRange(kFrameRateSlider.minimum, kFrameRateSlider.maximum);
    frameRate->setTickPosition(QSlider::TicksBelow);
    frameRate->setTickInterval(kFrameRateSlider.tick);
    frameRate->setPageStep(kFrameRateSlider.page);
    frameRate->setSingleStep(kFrameRateSlider.line);
    frameRate->setBand(kFrameRateSlider.bandLow, kFrameRateSlider.bandHigh);
    m_frameRateSlider = frameRate;
    grid->addWidget(m_frameRateSlider, 3, 1);
    m_frameRateBox = new QLineEdit;
    m_frameRateBox->setObjectName(controlName(M::kFrameRateBox));
    m_frameRateBox->setMaximumWidth(70);
    grid->addWidget(m_frameRateBox, 3, 2);
    auto* rateSpin = new DirectionSpin(M::kFrameRateSpin, [this](int d) { onFrameRateSpin(d); });
    rateSpin->setRange(kFrameRateSpinMinimum, kFrameRateSpinMaximum);
    grid->addWidget(rateSpin, 3, 3);

    grid->addWidget(label("Binning"), 4, 0);
    m_binning = new QComboBox;
    m_binning->setObjectName(controlName(M::kBinningBox));
    for (std::string_view item : kBinningItems) {
        m_binning->addItem(QString::fromUtf8(item.data(), static_cast<int>(item.size())));
    }
    m_binning->setCurrentIndex(-1);
    grid->addWidget(m_binning, 4, 1);
    top->addLayout(grid);

    m_autoRefresh = new QCheckBox(QStringLiteral("Auto-refresh"));
    m_autoRefresh->setObjectName(controlName(M::kAutoRefreshCheck));
    m_autoRefresh->setChecked(false);
    top->addWidget(m_autoRefresh);
    top->addStretch(1);

    m_refreshTimer = new QTimer(this);
    // Each refresh starts the wait for the next when it ends, so a slow camera is never asked
    // again before it answered.
    m_refreshTimer->setSingleShot(true);
    // The first ranges, before the camera was ever read.
    for (const ControlRange& r : m_model.ranges()) setRange(r.controlId, r.minimum, r.maximum);
    showExposureSlider();
}

void CTabGains::connectControls() {
    for (const SliderPair& p : M::kSliderPairs) {
        auto* box = qobject_cast<QLineEdit*>(byId(p.numberId));
        const int id = p.numberId;
        connect(box, &QLineEdit::textEdited, this,
                [this, id](const QString& t) { onNumberEdited(id, t); });
    }
    for (const SpinBuddy& b : kSpinBuddies) {
        auto* spin = qobject_cast<QSpinBox*>(byId(b.spinId));
        const int id = b.spinId;
        connect(spin, &QSpinBox::valueChanged, this, [this, id](int v) { onSpinChanged(id, v); });
    }
    for (const SliderPair& p : M::kSliderPairs) {
        auto* s = qobject_cast<QSlider*>(byId(p.sliderId));
        const int id = p.sliderId;
        connect(s, &QSlider::valueChanged, this, [this, id](int v) { onSliderChanged(id, v); });
    }
    for (int id : {M::kManualWbCheck, M::kManualGainCheck, M::kManualExposureCheck}) {
        auto* check = qobject_cast<QCheckBox*>(byId(id));
        connect(check, &QCheckBox::clicked, this, [this, id](bool on) { onSwitchClicked(id, on); });
    }
    connect(m_exposureRange, &QComboBox::activated, this, &CTabGains::onRangeChosen);
    connect(m_binning, &QComboBox::activated, this, &CTabGains::onBinningChosen);
    connect(m_frameRateSlider, &QSlider::valueChanged, this, &CTabGains::onFrameRateSlider);
    connect(m_frameRateBox, &QLineEdit::textEdited, this, &CTabGains::onFrameRateEdited);
    connect(m_autoRefresh, &QCheckBox::clicked, this, &CTabGains::onAutoRefreshClicked);
    connect(m_refreshTimer, &QTimer::timeout, this, &CTabGains::onAutoRefreshTick);
}

QWidget* CTabGains::byId(int controlId) const {
    return findChild<QWidget*>(controlName(controlId));
}

bool CTabGains::autoRefreshActive() const {
    return m_refreshTimer->isActive() || m_refreshing;
}

int CTabGains::autoRefreshIntervalMs() const { return m_refreshTimer->interval(); }

void CTabGains::setRange(int controlId, int minimum, int maximum) {
    QWidget* w = byId(controlId);
    const QSignalBlocker block(w);
    if (auto* s = qobject_cast<QSlider*>(w)) {
        s->setRange(minimum, maximum);
    } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        spin->setRange(minimum, maximum);
    }
}

void CTabGains::showSliderPosition(int sliderId, int position) {
    auto* s = qobject_cast<QSlider*>(byId(sliderId));
    if (s == nullptr) return;
    const QSignalBlocker block(s);
    s->setValue(position);
}

void CTabGains::showNumber(int numberId, int value) {
    if (auto* box = qobject_cast<QLineEdit*>(byId(numberId))) {
        const QSignalBlocker block(box);
        const QString text = QString::number(value);
        if (box->text() != text) box->setText(text);
    }
    if (auto* spin = qobject_cast<QSpinBox*>(byId(spinOfNumber(numberId)))) {
        const QSignalBlocker block(spin);
        spin->setValue(value);
    }
}

void CTabGains::showExposureSlider() {
    const TabGainsModel::ExposureSlider& e = m_model.exposureSlider();
    {
        const QSignalBlocker block(m_exposureSlider);
        m_exposureSlider->setRange(e.minimum, e.maximum);
        m_exposureSlider->setValue(e.position);
    }
    const QSignalBlocker block(m_exposureRange);
    m_exposureRange->setCurrentIndex(static_cast<int>(e.rangeIndex));
}

void CTabGains::showEnabled(int controlId, bool enabled) {
    if (QWidget* w = byId(controlId)) w->setEnabled(enabled);
    // A number's spin buttons change it as much as typing does.
    if (const int spin = spinOfNumber(controlId); spin != 0) {
        if (QWidget* w = byId(spin)) w->setEnabled(enabled);
    }
}

void CTabGains::updateControls() {
    const TabGainsModel::View view = m_model.update();
    for (const ControlRange& r : view.ranges) setRange(r.controlId, r.minimum, r.maximum);
    for (const ShownNumber& n : view.numbers) showNumber(n.controlId, n.value);
    showExposureSlider();
    for (const ShownNumber& s : view.sliders) showSliderPosition(s.controlId, s.value);
    for (const ShownCheck& c : view.checks) {
        if (auto* check = qobject_cast<QCheckBox*>(byId(c.controlId))) {
            const QSignalBlocker block(check);
            check->setChecked(c.checked);
        }
    }
    if (view.binningIndex) {
        const QSignalBlocker block(m_binning);
        m_binning->setCurrentIndex(*view.binningIndex);
    }
    {
        const QSignalBlocker block(m_frameRateBox);
        m_frameRateBox->setText(QString::fromStdString(view.frameRateText));
    }
    for (const ShownEnabled& e : view.enabled) showEnabled(e.controlId, e.enabled);
}

void CTabGains::onNumberEdited(int numberId, const QString& text) {
    const std::optional<int> value = decimalOf(text);
    if (!value) return;
    const TabGainsModel::NumberResult r = m_model.onNumberChanged(numberId, *value);
    if (!r.stored) return;
    if (auto* spin = qobject_cast<QSpinBox*>(byId(spinOfNumber(numberId)))) {
        const QSignalBlocker block(spin);
        spin->setValue(*value);
    }
    if (r.exposure) showExposureSlider();
    if (r.sliderId != 0) showSliderPosition(r.sliderId, r.sliderPosition);
}

void CTabGains::onSpinChanged(int spinId, int value) {
    for (const SpinBuddy& b : kSpinBuddies) {
        if (b.spinId != spinId) continue;
        auto* box = qobject_cast<QLineEdit*>(byId(b.numberId));
        // A greyed value is not the user's to change, whatever reaches its spin.
        if (box == nullptr || !box->isEnabled()) return;
        {
            const QSignalBlocker block(box);
            box->setText(QString::number(value));
        }
        onNumberEdited(b.numberId, box->text());
        return;
    }
}

void CTabGains::onSliderChanged(int sliderId, int position) {
    const TabGainsModel::NumberResult r = m_model.onSliderMoved(sliderId, position);
    if (!r.stored) return;
    for (const SliderPair& p : M::kSliderPairs) {
        if (p.sliderId == sliderId) showNumber(p.numberId, position);
    }
    if (r.exposure) showExposureSlider();
}

void CTabGains::onSwitchClicked(int checkId, bool checked) {
    const TabGainsModel::SwitchResult r = m_model.onSwitch(checkId, checked);
    for (const ShownEnabled& e : r.enabled) showEnabled(e.controlId, e.enabled);
}

void CTabGains::onRangeChosen(int index) {
    if (index < 0) return;
    auto* number = qobject_cast<QLineEdit*>(byId(M::kExposureNumber));
    const int shown = decimalOf(number->text()).value_or(-1);
    const TabGainsModel::RangeResult r =
        m_model.onExposureRangeChosen(static_cast<size_t>(index), shown);
    showExposureSlider();
    if (r.number) showNumber(M::kExposureNumber, *r.number);
}

void CTabGains::onBinningChosen(int index) {
    m_model.onBinningChosen(index >= 0 ? std::optional<int>(index) : std::nullopt);
}

void CTabGains::onFrameRateSlider(int position) {
    const TabGainsModel::FrameRateResult r = m_model.onFrameRateSlider(position);
    if (!r.accepted) return;
    const QSignalBlocker block(m_frameRateBox);
    m_frameRateBox->setText(QString::fromStdString(r.text));
}

void CTabGains::onFrameRateEdited(const QString& text) {
    const TabGainsModel::FrameRateResult r = m_model.onFrameRateText(text.toStdString());
    if (r.accepted) showSliderPosition(M::kFrameRateSliderId, r.sliderPosition);
}

void CTabGains::onFrameRateSpin(int direction) {
    const TabGainsModel::FrameRateResult r = m_model.onFrameRateSpin(direction);
    if (!r.accepted) return;
    {
        const QSignalBlocker block(m_frameRateBox);
        m_frameRateBox->setText(QString::fromStdString(r.text));
    }
    showSliderPosition(M::kFrameRateSliderId, r.sliderPosition);
}

void CTabGains::onAutoRefreshClicked(bool checked) {
    const TabGainsModel::AutoRefresh a =
        m_model.onAutoRefresh(checked, m_preferences.number(PreferenceName::kRefresh));
    if (a.running) {
        m_refreshTimer->start(a.intervalMs);
    } else {
        m_refreshTimer->stop();
    }
}

void CTabGains::onAutoRefreshTick() {
    if (m_refreshing) return;
    auto next = [this] {
        m_refreshing = false;
        if (m_autoRefresh->isChecked()) m_refreshTimer->start();
    };
    // The read runs on a worker without a splash: the window stays live however slow the
    // camera, and a click during the read is not lost. A batch holding the camera, or no
    // camera, skips the tick.
    m_refreshing = true;
    if (!camera().connected() || !readStateAsync(next)) next();
}

void CTabGains::blankControls() {
    // Auto-refresh is the page's own switch, not a camera value.
    const bool refreshing = m_autoRefresh->isChecked();
    CDlgBaseTab::blankControls();
    const QSignalBlocker block(m_autoRefresh);
    m_autoRefresh->setChecked(refreshing);
}

}  // namespace TVR
