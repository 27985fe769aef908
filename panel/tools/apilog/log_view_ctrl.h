#pragma once

// CLogViewCtrl: the log window's read-only text box that follows the mouse: it reports the text
// line under the cursor and outlines it with a rectangle. User-interface thread only.

#include <QPlainTextEdit>

namespace TVR {

class CLogViewCtrl : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CLogViewCtrl(QWidget* parent);

    // The outlined text line; -1 for none.
    int highlightedLine() const { return m_highlighted; }
    void setHighlightedLine(int line);
    // The text line at a point of the viewport; -1 below the last line.
    int lineAt(const QPoint& viewportPos) const;

signals:
    // The mouse moved over text line `line` (-1: below the text).
    void lineHovered(int line);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_highlighted = -1;
};

}  // namespace TVR
