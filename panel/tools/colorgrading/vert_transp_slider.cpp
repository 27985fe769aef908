#include "vert_transp_slider.h"

#include <QPainter>
#include <QStyleOptionSlider>

namespace TVR {

namespace {

const QColor kGuideGrey(127, 127, 127);
const QColor kAnchorBlue(0, 108, 255);
const QColor kLockedYellow(255, 255, 30);
constexpr int kGuideInset = 10;
constexpr int kThumbInset = 5;

}  // namespace

CVertTranspSlider::CVertTranspSlider(int index, QWidget* parent)
    : QSlider(Qt::Vertical, parent), m_index(index) {
    // Position 0 is at the top, as the curve's pictures expect.
    setInvertedAppearance(true);
    setInvertedControls(true);
    setTickPosition(QSlider::NoTicks);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAutoFillBackground(false);
}

void CVertTranspSlider::setState(SliderState state) {
    if (state == m_state) return;
    m_state = state;
    update();
}

QRect CVertTranspSlider::thumbRect() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
}

void CVertTranspSlider::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int x = width() / 2 + 2;
    p.setPen(QPen(kGuideGrey, 1, Qt::DotLine));
    p.drawLine(x, kGuideInset, x, height() - kGuideInset);

    QRect thumb = thumbRect();
    if (thumb.width() > 2 * kThumbInset + 2) thumb.adjust(kThumbInset, 0, -kThumbInset, 0);
    p.setPen(QPen(Qt::white, 1));
    switch (m_state) {
        case SliderState::Plain:
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(thumb);
            break;
        case SliderState::LastChanged:
            p.setBrush(Qt::white);
            p.drawEllipse(thumb);
            break;
        case SliderState::Anchor:
            p.setBrush(kAnchorBlue);
            p.drawEllipse(thumb);
            break;
        case SliderState::Locked:
            p.setBrush(kLockedYellow);
            p.drawRect(thumb);
            break;
    }
    if (hasFocus()) {
        p.setPen(QPen(Qt::white, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

}  // namespace TVR
