#include "log_view_ctrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>

namespace TVR {

CLogViewCtrl::CLogViewCtrl(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    QFont f(QStringLiteral("Monospace"));
    f.setStyleHint(QFont::TypeWriter);
    setFont(f);
}

int CLogViewCtrl::lineAt(const QPoint& viewportPos) const {
    const QTextBlock last = document()->lastBlock();
    if (!last.isValid()) return -1;
    const QRectF lastRect = blockBoundingGeometry(last).translated(contentOffset());
    if (viewportPos.y() >= lastRect.bottom()) return -1;
    return cursorForPosition(viewportPos).blockNumber();
}

void CLogViewCtrl::setHighlightedLine(int line) {
    if (line == m_highlighted) return;
    m_highlighted = line;
    viewport()->update();
}

void CLogViewCtrl::mouseMoveEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseMoveEvent(event);
    emit lineHovered(lineAt(event->position().toPoint()));
}

void CLogViewCtrl::paintEvent(QPaintEvent* event) {
    QPlainTextEdit::paintEvent(event);
    if (m_highlighted < 0) return;
    const QTextBlock block = document()->findBlockByNumber(m_highlighted);
    if (!block.isValid()) return;
    QRectF r = blockBoundingGeometry(block).translated(contentOffset());
    r.setLeft(0);
    r.setRight(viewport()->width() - 1);
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Highlight));
    p.drawRect(r.adjusted(0, 0, 0, -1));
}

}  // namespace TVR
