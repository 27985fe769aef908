#include "green_screen.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDrag>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

#include "sensor/img_sensor.h"
#include "settings/camera_work.h"
#include "settings/settings_store.h"
#include "shell/splash.h"

namespace TVR {

namespace {

constexpr const char* kGreenScreenTitle = "Configure the chroma key enhancer (color substitution)";
constexpr int kBandTickInterval = 32;
constexpr int kHueBarHeight = 9;
constexpr int kHueBarInset = 13;
constexpr int kTitleHeight = 16;
constexpr int kLumColumn = 10;
constexpr int kColourColumn = 24;
const QColor kDisabledCover(196, 196, 196, 0x96);
const QColor kTitleGrey(127, 127, 127);

QColor bandQColor(Rgb c) { return {c.r, c.g, c.b}; }
QColor bandQColor(uint32_t rgb) { return bandQColor(unpackRgb(rgb)); }

// The hue/saturation gradient of a band in `rect`.
void paintBandGradient(QPainter& p, const QRect& rect, const ColorSubsInfo& band, int value) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    QImage image(rect.width(), rect.height(), QImage::Format_RGB32);
    for (int y = 0; y < rect.height(); ++y) {
        for (int x = 0; x < rect.width(); ++x) {
            const Rgb c = bandGradient(band, value, x, y, rect.width(), rect.height());
            image.setPixel(x, y, qRgb(c.r, c.g, c.b));
        }
    }
    p.drawImage(rect.topLeft(), image);
}

// The hue bar over the hue slider.
class HueBar : public QWidget {
public:
    explicit HueBar(const GreenScreenModel& model) : m_model(model) {
        setFixedHeight(kHueBarHeight);
        setObjectName(QStringLiteral("hueBar"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const int w = width() - 2 * kHueBarInset;
        // A greyed window has no band to show.
        if (w <= 0 || !isEnabled()) return;
        const std::vector<Rgb> bar = hueBar(m_model.current(), w);
        QImage line(w, 1, QImage::Format_RGB32);
        for (int x = 0; x < w; ++x) {
            line.setPixel(x, 0,
                          qRgb(bar[static_cast<size_t>(x)].r, bar[static_cast<size_t>(x)].g,
                               bar[static_cast<size_t>(x)].b));
        }
        QPainter p(this);
        // Computed one pixel high and stretched.
        p.drawImage(QRect(kHueBarInset, 0, w, kHueBarHeight), line);
    }

private:
    const GreenScreenModel& m_model;
};

// A clickable swatch: the key colour or the replacement colour.
class Swatch : public QWidget {
public:
    Swatch(std::function<void(QPainter&, const QRect&)> paint, std::function<void()> clicked)
        : m_paint(std::move(paint)), m_clicked(std::move(clicked)) {
        setCursor(Qt::PointingHandCursor);
        setMinimumSize(48, 48);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!isEnabled()) return;
        QPainter p(this);
        m_paint(p, rect().adjusted(1, 1, -1, -1));
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) m_clicked();
    }

private:
    std::function<void(QPainter&, const QRect&)> m_paint;
    std::function<void()> m_clicked;
};

}  // namespace

// The colour picker: a frameless window over the whole screen showing the grabbed picture, so
// every pixel under the cursor can be read from that picture.
class PickerWindow : public QWidget {
public:
    PickerWindow(CGreenScreen& owner, const QImage& screen)
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
          m_owner(owner),
          m_screen(screen) {
        setObjectName(QStringLiteral("colourPicker"));
        setAttribute(Qt::WA_DeleteOnClose);
        setMouseTracking(true);
        setCursor(Qt::CrossCursor);
        setFocusPolicy(Qt::StrongFocus);
        resize(screen.size());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, m_screen);
    }
    void mouseMoveEvent(QMouseEvent* e) override { m_owner.pickerMoved(e->position().toPoint()); }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            m_owner.pickerPressed();
        } else {
            m_owner.finishPicker(false);
        }
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) m_owner.pickerReleased(e->position().toPoint());
    }
    void wheelEvent(QWheelEvent*) override { m_owner.finishPicker(false); }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            m_owner.finishPicker(true);
        } else if (e->key() == Qt::Key_Escape) {
            m_owner.finishPicker(false);
        }
    }

private:
    CGreenScreen& m_owner;
    QImage m_screen;
};

CGSButton::CGSButton(const GreenScreenModel& model, int band, QWidget* parent)
    : QPushButton(parent), m_model(model), m_band(band) {
    setAcceptDrops(true);
    setCheckable(true);
    setMinimumSize(120, 64);
    setText(QStringLiteral("Band #%1").arg(band + 1));
}

std::unique_ptr<QMimeData> CGSButton::dragData() const {
    auto data = std::make_unique<QMimeData>();
    const auto v = static_cast<uint32_t>(m_band);
    QByteArray bytes;
    for (int i = 0; i < 4; ++i) bytes.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    data->setData(QString::fromLatin1(kBandMimeType), bytes);
    return data;
}

std::optional<int> CGSButton::draggedBand(const QMimeData* data) {
    if (data == nullptr || !data->hasFormat(QString::fromLatin1(kBandMimeType))) return {};
    const QByteArray bytes = data->data(QString::fromLatin1(kBandMimeType));
    if (bytes.size() != 4) return {};
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{static_cast<uint8_t>(bytes[i])} << (8 * i);
    if (v >= kColorSubsBands) return {};
    return static_cast<int>(v);
}

void CGSButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option);
    if (!isEnabled()) {
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Band #%1").arg(m_band + 1));
        return;
    }

    const ColorSubsInfo& b = m_model.band(m_band);
    const QRect inner = rect().adjusted(2, kTitleHeight, -2, -2);
    if (inner.width() > kLumColumn + kColourColumn && inner.height() > 2) {
        // Luminance column: white at lumMax down to black at lumMin, black lines at both ends.
        const QRect lum(inner.left(), inner.top(), kLumColumn, inner.height());
        const int top = lum.bottom() - b.lumMax * (lum.height() - 1) / 255;
        const int bottom = lum.bottom() - b.lumMin * (lum.height() - 1) / 255;
        QLinearGradient g(0, top, 0, bottom);
        g.setColorAt(0, Qt::white);
        g.setColorAt(1, Qt::black);
        p.fillRect(QRect(lum.left(), std::min(top, bottom), kLumColumn, std::abs(bottom - top) + 1),
                   g);
        p.setPen(Qt::black);
        p.drawLine(lum.left(), top, lum.right(), top);
        p.drawLine(lum.left(), bottom, lum.right(), bottom);

        const QRect grad(lum.right() + 1, inner.top(), inner.width() - kLumColumn - kColourColumn,
                         inner.height());
        paintBandGradient(p, grad, b, m_model.keyBrightness());
        p.fillRect(QRect(grad.right() + 1, inner.top(), kColourColumn, inner.height()),
                   bandQColor(b.rgb));
    }
    if (!b.enabled) p.fillRect(rect().adjusted(2, 2, -2, -2), kDisabledCover);
    const QString title = QStringLiteral("Band #%1").arg(m_band + 1);
    const QRect titleRect(0, 1, width(), kTitleHeight - 2);
    p.setPen(kTitleGrey);
    p.drawText(titleRect, Qt::AlignCenter, title);
    if (b.enabled) {
        p.setPen(Qt::black);
        p.drawText(titleRect.translated(1, 1), Qt::AlignCenter, title);
    }
}

void CGSButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressAt = event->position().toPoint();
        m_pressed = true;
    }
    QPushButton::mousePressEvent(event);
}

void CGSButton::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - m_pressAt).manhattanLength() <
            QApplication::startDragDistance()) {
        QPushButton::mouseMoveEvent(event);
        return;
    }
    m_pressed = false;
    setDown(false);
    auto* drag = new QDrag(this);
    drag->setMimeData(dragData().release());
    drag->exec(Qt::CopyAction);
}

void CGSButton::dragEnterEvent(QDragEnterEvent* event) { acceptOtherBand(event); }

void CGSButton::dragMoveEvent(QDragMoveEvent* event) { acceptOtherBand(event); }

void CGSButton::acceptOtherBand(QDragMoveEvent* event) const {
    // Another band's button may be dropped here; this band or foreign data may not.
    const auto from = draggedBand(event->mimeData());
    if (from && *from != m_band) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CGSButton::dropEvent(QDropEvent* event) {
    const auto from = draggedBand(event->mimeData());
    if (!from || *from == m_band) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit bandDropped(*from, m_band);
}

CGreenScreen::CGreenScreen(GreenScreenModel& model, const PreferencesStorage* geometry,
                           QWidget* parent)
    : CDlgBaseFX3(model, geometry, parent), m_model(model) {
    setWindowTitle(QString::fromUtf8(kGreenScreenTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* top = new QVBoxLayout(this);

    auto* bands = new QHBoxLayout;
    for (int b = 0; b < kColorSubsBands; ++b) {
        auto* button = new CGSButton(m_model, b, this);
        button->setObjectName(controlName(kFirstBandButton + b));
        connect(button, &QPushButton::clicked, this, [this, b] { selectBand(b); });
        connect(button, &CGSButton::bandDropped, this, &CGreenScreen::copyBand);
        m_buttons[static_cast<size_t>(b)] = button;
        bands->addWidget(button);
    }
    top->addLayout(bands);

    m_enable = new QCheckBox(QStringLiteral("Enable chroma key enhancer"));
    m_enable->setObjectName(controlName(kEnableCheck));
    connect(m_enable, &QCheckBox::clicked, this, &CGreenScreen::onEnableClicked);
    top->addWidget(m_enable);

    struct Row {
        BandField field;
        int sliderId;
        int editId;
        int maximum;
        const char* label;
    };
    const std::array<Row, 6> rows{{
        {BandField::Hue, kHueSlider, kHueEdit, kMaxHue, "Hue  Value:"},
        {BandField::HueTolerance, kToleranceSlider, kToleranceEdit, kMaxHueTolerance, "Tolerance:"},
        {BandField::SatMin, kSatMinSlider, kSatMinEdit, 255, "Lower bound:"},
        {BandField::SatMax, kSatMaxSlider, kSatMaxEdit, 255, "Upper bound:"},
        {BandField::LumMin, kLumMinSlider, kLumMinEdit, 255, "Dark clip:"},
        {BandField::LumMax, kLumMaxSlider, kLumMaxEdit, 255, "Bright clip:"},
    }};
    auto* grid = new QGridLayout;
    m_hueBar = new HueBar(m_model);
    grid->addWidget(m_hueBar, 0, 1);
    int line = 1;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        auto* slider = new QSlider(Qt::Horizontal);
        slider->setObjectName(controlName(r.sliderId));
        slider->setRange(0, r.maximum);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(kBandTickInterval);
        auto* edit = new QSpinBox;
        edit->setObjectName(controlName(r.editId));
        edit->setRange(0, r.maximum);
        const BandField field = r.field;
        connect(slider, &QSlider::valueChanged, edit, &QSpinBox::setValue);
        connect(edit, &QSpinBox::valueChanged, this,
                [this, field](int v) { onFieldEdited(field, v); });
        grid->addWidget(new QLabel(QString::fromUtf8(r.label)), line, 0);
        grid->addWidget(slider, line, 1);
        grid->addWidget(edit, line, 2);
        m_fields[i] = {field, slider, edit};
        ++line;
    }

    auto* swatches = new QVBoxLayout;
    m_keySwatch = new Swatch(
        [this](QPainter& p, const QRect& r) {
            paintBandGradient(p, r, m_model.current(), m_model.keyBrightness());
        },
        [this] { grabAndPick(); });
    m_keySwatch->setObjectName(controlName(kKeySwatch));
    m_keySwatch->setToolTip(QStringLiteral("Click, then point at a colour on the screen"));
    m_colourSwatch = new Swatch(
        [this](QPainter& p, const QRect& r) { p.fillRect(r, bandQColor(m_model.current().rgb)); },
        [this] { chooseReplacementColour(); });
    m_colourSwatch->setObjectName(controlName(kColourSwatch));
    swatches->addWidget(new QLabel(QStringLiteral("Chroma key")));
    auto* keyLine = new QHBoxLayout;
    keyLine->addWidget(m_keySwatch);
    m_keySlider = new QSlider(Qt::Vertical);
    m_keySlider->setObjectName(controlName(kKeySlider));
    m_keySlider->setRange(0, 255);
    m_keySlider->setValue(255 - m_model.keyBrightness());
    connect(m_keySlider, &QSlider::valueChanged, this, &CGreenScreen::onKeySlider);
    keyLine->addWidget(m_keySlider);
    swatches->addLayout(keyLine);
    swatches->addWidget(new QLabel(QStringLiteral("Unified color")));
    swatches->addWidget(m_colourSwatch);

    auto* middle = new QHBoxLayout;
    middle->addLayout(grid, 1);
    middle->addLayout(swatches);
    top->addLayout(middle);

    auto* inverse = new QPushButton(QStringLiteral("Build an inverse of the current band"));
    inverse->setObjectName(controlName(kInverseButton));
    connect(inverse, &QPushButton::clicked, this, &CGreenScreen::buildInverse);
    top->addWidget(inverse);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    top->addWidget(m_status);

    m_chooseColour = [this](const QColor& initial) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(initial, this);
        if (!c.isValid()) return std::nullopt;
        return c;
    };
    initDialog();
}

CGreenScreen::~CGreenScreen() {
    // A picker that is still open goes with the window.
    if (m_picker != nullptr) {
        m_model.pickerCancel();
        delete m_picker;
    }
}

void CGreenScreen::showConnection() {
    if (!cameraValid()) {
        m_status->setText(camera().connected()
                              ? QStringLiteral("The camera did not answer: no bands to show")
                              : QStringLiteral("No camera is connected: no bands to show"));
    } else {
        m_status->clear();
    }
}

void CGreenScreen::setCameraValid(bool valid) {
    CDlgBaseFX3::setCameraValid(valid);
    showConnection();
    repaintBands();
}

void CGreenScreen::updateControls() {
    const ColorSubsInfo& b = m_model.current();
    {
        const QSignalBlocker block(m_enable);
        m_enable->setChecked(b.enabled != 0);
    }
    for (FieldControls& f : m_fields) {
        const QSignalBlocker blockSlider(f.slider);
        const QSignalBlocker blockEdit(f.edit);
        const int v = m_model.field(f.field);
        f.edit->setValue(v);
        f.slider->setValue(v);
    }
    {
        const QSignalBlocker block(m_keySlider);
        m_keySlider->setValue(255 - m_model.keyBrightness());
    }
    for (CGSButton* button : m_buttons) {
        const QSignalBlocker block(button);
        button->setChecked(button->band() == m_model.currentBand());
    }
    showConnection();
    repaintBands();
}

void CGreenScreen::repaintBands() {
    for (CGSButton* button : m_buttons) button->update();
    m_hueBar->update();
    m_keySwatch->update();
    m_colourSwatch->update();
}

void CGreenScreen::onFieldEdited(BandField field, int value) {
    for (FieldControls& f : m_fields) {
        if (f.field != field) continue;
        const QSignalBlocker block(f.slider);
        f.slider->setValue(value);
    }
    if (!isVisible()) return;
    const bool sent = m_model.editField(field, value);
    if (!sent && m_model.updateCounter() == 0 && camera().connected()) {
        m_status->setText(QStringLiteral("The camera did not take the change; see the log"));
    }
    repaintBands();
}

void CGreenScreen::onEnableClicked(bool checked) {
    const bool sent = m_model.setEnabled(checked);
    if (!sent && camera().connected()) {
        m_status->setText(QStringLiteral("The camera did not take the change; see the log"));
    }
    repaintBands();
}

void CGreenScreen::onKeySlider(int position) {
    m_model.setKeyBrightness(255 - position);
    repaintBands();
}

void CGreenScreen::selectBand(int band) {
    if (band != m_model.currentBand()) {
        m_model.setCurrentBand(band);
        updateHeld();
    } else {
        // A click on the current band keeps it pressed.
        const QSignalBlocker block(m_buttons[static_cast<size_t>(band)]);
        m_buttons[static_cast<size_t>(band)]->setChecked(true);
    }
}

void CGreenScreen::runUpload(const std::function<void()>& step) {
    if (cameraBusy()) return;
    CameraWork* work = m_model.work();
    CSplash splash(this, store().log());
    splash.run({{"Uploading one band of Color Substitution to device", [work, &step] {
                     std::optional<CameraWork::Batch> batch;
                     if (work != nullptr) batch.emplace(work->batch());
                     step();
                 }}});
}

void CGreenScreen::copyBand(int from, int to) {
    bool ok = false;
    runUpload([&] { ok = m_model.copyBand(from, to); });
    updateHeld();
    if (!ok && camera().connected()) {
        m_status->setText(
            QStringLiteral("Band #%1 could not be copied to the camera; see the log").arg(to + 1));
    }
}

void CGreenScreen::buildInverse() {
    bool ok = false;
    runUpload([&] { ok = m_model.buildInverse(); });
    updateHeld();
    if (!ok && camera().connected()) {
        m_status->setText(QStringLiteral("The inverse bands did not all reach the camera"));
    }
}

void CGreenScreen::chooseReplacementColour() {
    const auto chosen = m_chooseColour(bandQColor(m_model.current().rgb));
    if (!chosen) return;
    const bool sent = m_model.setReplacementColour(
        packRgb({static_cast<uint8_t>(chosen->red()), static_cast<uint8_t>(chosen->green()),
                 static_cast<uint8_t>(chosen->blue())}));
    if (!sent && camera().connected()) {
        m_status->setText(QStringLiteral("The camera did not take the colour; see the log"));
    }
    repaintBands();
}

void CGreenScreen::grabAndPick() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    startPicker(screen->grabWindow(0).toImage());
}

void CGreenScreen::startPicker(const QImage& screen) {
    if (m_picker != nullptr) return;
    m_screen = screen.convertToFormat(QImage::Format_RGB32);
    m_model.startPicker();
    auto* picker = new PickerWindow(*this, m_screen);
    m_picker = picker;
    picker->move(0, 0);
    picker->show();
    picker->activateWindow();
    picker->setFocus();
}

Rgb CGreenScreen::pixelAt(QPoint at) const {
    if (!m_screen.valid(at)) return {};
    const QRgb c = m_screen.pixel(at);
    return {static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)),
            static_cast<uint8_t>(qBlue(c))};
}

void CGreenScreen::showPicked() { updateHeld(); }

void CGreenScreen::pickerMoved(QPoint at) {
    m_model.pickerMove(pixelAt(at));
    showPicked();
}

void CGreenScreen::pickerPressed() { m_model.pickerButtonDown(); }

void CGreenScreen::pickerReleased(QPoint at) {
    m_model.pickerButtonUp(pixelAt(at));
    finishPicker(!m_model.pickerActive());
}

void CGreenScreen::finishPicker(bool accepted) {
    if (m_model.pickerActive()) {
        if (accepted) {
            m_model.pickerAccept();
        } else {
            m_model.pickerCancel();
        }
    }
    if (m_picker != nullptr) {
        QWidget* picker = m_picker;
        m_picker = nullptr;
        picker->close();
    }
    showPicked();
}

void CGreenScreen::accept() {
    if (m_picker != nullptr) {
        finishPicker(true);
        return;
    }
    CDlgBaseFX3::accept();
}

void CGreenScreen::reject() {
    if (m_picker != nullptr) {
        finishPicker(false);
        return;
    }
    CDlgBaseFX3::reject();
}

}  // namespace TVR
