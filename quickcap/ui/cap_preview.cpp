#include "cap_preview.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>

namespace OLK {

namespace {
// Caption, system menu, sizing frame, minimise and maximise boxes; no close box.
constexpr Qt::WindowFlags kPreviewFlags = Qt::Window | Qt::CustomizeWindowHint |
                                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                          Qt::WindowMinMaxButtonsHint;
}  // namespace

CCapPreviewBase::CCapPreviewBase(QWidget* owner, const QString& title, QPoint position)
    : QWidget(owner, kPreviewFlags) {
    setWindowTitle(title);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::BlankCursor);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    move(position);
    resize(800, 600);
    m_presenter.init(this);
}

void CCapPreviewBase::matchVideoSize() {
    const QSize size = m_presenter.frameSize();
    if (!size.isEmpty()) resize(size);
}

void CCapPreviewBase::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_presenter.paint(painter, rect());
}

void CCapPreviewBase::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_presenter.reset();
}

void CCapPreviewBase::closeEvent(QCloseEvent* event) {
    // The previews live as long as the dialog.
    event->ignore();
}

CCapPreviewRT::CCapPreviewRT(QWidget* owner)
    : CCapPreviewBase(owner, QStringLiteral("Real-time capture preview"), QPoint(0, 0)) {
    setObjectName(QStringLiteral("realTimePreview"));
}

CCapSlowMo::CCapSlowMo(QWidget* owner)
    : CCapPreviewBase(owner, QStringLiteral("Slow-motion capture preview"), QPoint(400, 0)) {
    setObjectName(QStringLiteral("slowMotionPreview"));
    setFocusPolicy(Qt::StrongFocus);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CCapSlowMo::tick);
}

void CCapSlowMo::rearm(int32_t delayMs) {
    m_timer.stop();
    // A zero-period timer would spin the window thread; 1 ms is the shortest honest period.
    m_timer.start(delayMs > 0 ? delayMs : 1);
}

void CCapSlowMo::setOverlay(const QString& text) {
    m_overlay = text;
    update();
}

void CCapSlowMo::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
            emit stepKey(event->key());
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void CCapSlowMo::paintEvent(QPaintEvent* event) {
    CCapPreviewBase::paintEvent(event);
    if (m_overlay.isEmpty()) return;
    QPainter painter(this);
    painter.setPen(Qt::yellow);
    painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignLeft | Qt::AlignBottom, m_overlay);
}

}  // namespace OLK
