#include "color_grading_dlg_base.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <optional>

#include "settings/camera_work.h"
#include "settings/settings_store.h"
#include "shell/splash.h"
#include "tools/colorgrading/vert_transp_slider.h"

namespace TVR {

namespace {

// Dialog units of the window's 8-point font, in pixels.
constexpr double kDuX = 1.5;
constexpr double kDuY = 1.625;
constexpr int kWindowDuWidth = 828;
constexpr int kWindowDuHeight = 114;
constexpr int kPictureDuWidth = 770;
constexpr int kSliderDuWidth = 12;
constexpr int kSliderDuTop = -6;
constexpr int kSliderDuBottom = 120;
constexpr int kBandDuHeight = 4;
constexpr int kMinimumThumb = 3;
constexpr const char* kHelpHost = "https://docs.tavro.com";

int px(double du, double unit) { return static_cast<int>(du * unit); }

EditKeys keysOf(Qt::KeyboardModifiers m) {
    return {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
            m.testFlag(Qt::AltModifier)};
}

QColor colourOf(CGPixel p) { return QColor(cgRed(p), cgGreen(p), cgBlue(p)); }

QImage imageOf(const CGBitmap& b) {
    QImage image(b.width, b.height, QImage::Format_RGB32);
    for (int y = 0; y < b.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < b.width; ++x) line[x] = 0xFF000000u | b.at(x, y);
    }
    return image;
}

}  // namespace

CCGSideBar::CCGSideBar(const CGInfo& info, QWidget* parent) : QWidget(parent), m_info(info) {
    setObjectName(controlName(CColorGradingDlgBase::kSideBarId));
}

void CCGSideBar::paintEvent(QPaintEvent* /*event*/) {
    const auto swatches = m_info.paintSwatches();
    if (!swatches) return;
    QRect r = rect();
    const int quarter = r.width() / 4;
    r.adjust(quarter, 0, -quarter, 0);
    QPainter p(this);
    const int half = r.width() / 2;
    p.fillRect(QRect(r.left(), r.top(), half, r.height()), colourOf(swatches->input));
    p.fillRect(QRect(r.left() + half, r.top(), r.width() - half, r.height()),
               colourOf(swatches->output));
}

CColorGradingDlgBase::CColorGradingDlgBase(ColorGradingModel& model,
                                           const PreferencesStorage* geometry, QWidget* parent)
    : CDlgBaseFX3(model, geometry, parent), m_model(model) {
    const CGInfo& info = m_model.info();
    setWindowTitle(QString::fromStdString(info.title()));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(sizeHint());

    const int top = px(kSliderDuTop, kDuY);
    const int height = px(kSliderDuBottom, kDuY) - top;
    for (int i = 0; i < kCurveSliders; ++i) {
        auto* s = new CVertTranspSlider(i, this);
        s->setObjectName(controlName(kFirstSliderId + i));
        s->setGeometry(px(kSliderDuWidth * i, kDuX), top, px(kSliderDuWidth, kDuX), height);
        s->setRange(0, info.range());
        s->setPageStep(std::max(info.range() / 20, 1));
        s->setSingleStep(1);
        s->setValue(static_cast<int>(info.neutralPos(i)));
        s->setStyleSheet(QStringLiteral("QSlider::handle:vertical { height: %1px; }")
                             .arg(std::max(px(8, kDuY) - 4, kMinimumThumb)));
        s->installEventFilter(this);
        connect(s, &QSlider::valueChanged, this, [this, i](int v) { onSliderValue(i, v); });
        m_sliders[static_cast<size_t>(i)] = s;
    }

    const int right = px(kPictureDuWidth, kDuX) + 4;
    const int column = width() - right - 4;
    m_sideBar = new CCGSideBar(info, this);
    m_sideBar->setGeometry(right, 6, column, 36);
    struct Button {
        int id;
        const char* text;
        QRect geometry;
    };
    const int half = (column - 2) / 2;
    const Button buttons[] = {
        {kNeutralId, "Neutral", QRect(right, 48, column, 26)},
        {kDefaultId, "Default", QRect(right, 78, column, 26)},
        {kRotateLeftId, "\u25C4", QRect(right, 108, half, 26)},
        {kRotateRightId, "\u25BA", QRect(right + column - half, 108, half, 26)},
        {kShortcutsId, "Shortcuts...", QRect(right, 138, column, 26)},
    };
    for (const Button& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), this);
        button->setObjectName(controlName(b.id));
        button->setGeometry(b.geometry);
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
        const int id = b.id;
        connect(button, &QPushButton::clicked, this, [this, id] {
            switch (id) {
                case kNeutralId:
                    resetAll(false);
                    break;
                case kDefaultId:
                    resetAll(true);
                    break;
                case kRotateLeftId:
                    rotate(true);
                    break;
                case kRotateRightId:
                    rotate(false);
                    break;
                default:
                    QDesktopServices::openUrl(
                        QUrl(QString::fromLatin1(kHelpHost) + QString::fromLatin1(kShortcutsPath)));
                    break;
            }
        });
    }

    m_pushTimer = new QTimer(this);
    m_pushTimer->setSingleShot(true);
    m_pushTimer->setInterval(kSplinePushDelayMs);
    connect(m_pushTimer, &QTimer::timeout, this, [this] {
        // A batch may hold the camera right now (this may run in its modal loop): try again.
        if (CameraWork* work = m_model.work(); work != nullptr && work->busy()) {
            m_pushTimer->start();
            return;
        }
        writeAll();
    });

    initDialog();
}

CColorGradingDlgBase::~CColorGradingDlgBase() = default;

QSize CColorGradingDlgBase::sizeHint() const {
    return QSize(px(kWindowDuWidth, kDuX), px(kWindowDuHeight, kDuY));
}

bool CColorGradingDlgBase::pushPending() const { return m_pushTimer->isActive(); }

std::string CColorGradingDlgBase::readStateTaskName() const {
    return "Reading Color Grading configuration for " + m_model.info().title();
}

QRect CColorGradingDlgBase::pictureRect() const {
    return QRect(0, 0, px(kPictureDuWidth, kDuX), px(kWindowDuHeight, kDuY));
}

void CColorGradingDlgBase::showEvent(QShowEvent* event) {
    if (!event->spontaneous() && !m_model.info().bitmap()) {
        const QRect picture = pictureRect();
        const int band = px(kBandDuHeight, kDuY);
        CGInfo& info = m_model.info();
        CSplash splash(this, store().log());
        splash.run({{"Preparing background bitmap", [&info, picture, band] {
                         info.setBitmap(
                             info.prepareBackground(picture.width(), picture.height(), band));
                     }}});
    }
    CDlgBaseFX3::showEvent(event);
}

void CColorGradingDlgBase::paintEvent(QPaintEvent* event) {
    CDlgBaseFX3::paintEvent(event);
    const auto& bitmap = m_model.info().bitmap();
    if (!bitmap) return;
    if (m_picture.isNull()) m_picture = imageOf(*bitmap);
    QPainter p(this);
    p.drawImage(pictureRect(), m_picture);
}

void CColorGradingDlgBase::updateControls() { showCurve(); }

void CColorGradingDlgBase::showCurve() {
    m_showing = true;
    for (int i = 0; i < kCurveSliders; ++i) {
        CVertTranspSlider* s = m_sliders[static_cast<size_t>(i)];
        s->setValue(static_cast<int>(m_model.info().position(i)));
        s->setState(m_model.sliderState(i));
    }
    m_showing = false;
    showTitle();
}

void CColorGradingDlgBase::showTitle() {
    setWindowTitle(QString::fromStdString(m_model.windowTitle()));
    m_sideBar->update();
}

void CColorGradingDlgBase::onSliderValue(int index, int value) {
    if (m_showing || m_model.updateCounter() != 0) return;
    if (cameraBusy()) {
        showCurve();
        return;
    }
    const EditKeys keys = keysOf(QGuiApplication::keyboardModifiers());
    const EditEffect effect = m_model.moved(index, static_cast<uint32_t>(value), keys);
    if (effect.pushLater) m_pushTimer->start();
    showCurve();
}

void CColorGradingDlgBase::writeAll() {
    if (cameraBusy()) return;
    CameraWork* work = m_model.work();
    ColorGradingModel& model = m_model;
    CSplash splash(this, store().log());
    splash.run({{"Pushing values of all sliders to camera", [work, &model] {
                     std::optional<CameraWork::Batch> batch;
                     if (work != nullptr) batch.emplace(work->batch());
                     model.writeAll();
                 }}});
}

void CColorGradingDlgBase::resetAll(bool toDefault) {
    if (cameraBusy()) return;
    m_model.resetAll(toDefault);
    writeAll();
    updateHeld();
}

void CColorGradingDlgBase::rotate(bool left) {
    if (cameraBusy()) return;
    m_model.rotate(left);
    showCurve();
}

bool CColorGradingDlgBase::keyPressed(QKeyEvent* event) {
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    if (ctrl && (event->key() == Qt::Key_Z || event->key() == Qt::Key_Y)) {
        if (!cameraBusy() && (event->key() == Qt::Key_Z ? m_model.undo() : m_model.redo())) {
            showCurve();
        }
        return true;
    }
    if (event->key() == Qt::Key_Alt) {
        m_model.showAnchors(true);
        showCurve();
        return false;
    }
    // Ctrl+arrows rotate when released; they must not also step the slider.
    return ctrl && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right);
}

bool CColorGradingDlgBase::keyReleased(QKeyEvent* event) {
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (!ctrl) return false;
            rotate(event->key() == Qt::Key_Left);
            return true;
        case Qt::Key_Control:
            m_model.unlock();
            showCurve();
            return false;
        case Qt::Key_Alt:
            m_model.showAnchors(false);
            showCurve();
            return false;
        default:
            return false;
    }
}

void CColorGradingDlgBase::keyPressEvent(QKeyEvent* event) {
    if (!keyPressed(event)) CDlgBaseFX3::keyPressEvent(event);
}

void CColorGradingDlgBase::keyReleaseEvent(QKeyEvent* event) {
    if (!keyReleased(event)) CDlgBaseFX3::keyReleaseEvent(event);
}

bool CColorGradingDlgBase::eventFilter(QObject* watched, QEvent* event) {
    auto* s = qobject_cast<CVertTranspSlider*>(watched);
    if (s == nullptr) return CDlgBaseFX3::eventFilter(watched, event);
    const int i = s->index();
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::RightButton) return false;
            if (!cameraBusy()) {
                m_model.rightClick(i, keysOf(e->modifiers()));
                showCurve();
            }
            return true;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (!e->modifiers().testFlag(Qt::ControlModifier) &&
                m_model.lockedIndex() != kNoSlider) {
                m_model.unlock();
                showCurve();
            }
            if (m_model.hover(i)) showTitle();
            return false;
        }
        case QEvent::ToolTip: {
            auto* e = static_cast<QHelpEvent*>(event);
            QToolTip::showText(e->globalPos(), QString::fromStdString(m_model.tooltip(i)), s);
            return true;
        }
        case QEvent::KeyPress:
            return keyPressed(static_cast<QKeyEvent*>(event));
        case QEvent::KeyRelease:
            return keyReleased(static_cast<QKeyEvent*>(event));
        default:
            return false;
    }
}

}  // namespace TVR
