#pragma once

// The two preview windows: CCapPreviewRT shows the real-time stream, CCapSlowMo the replay
// and owns the replay timer. Both are top-level windows owned by the dialog that the user
// cannot close; each paints through its own FramePresenter.

#include <QTimer>
#include <QWidget>
#include <functional>

#include "ui/frame_presenter.h"

namespace OLK {

class CCapPreviewBase : public QWidget {
    Q_OBJECT
public:
    CCapPreviewBase(QWidget* owner, const QString& title, QPoint position);
    FramePresenter& presenter() { return m_presenter; }
    // Client area of the frame's size (resize only: not moved, not activated).
    void matchVideoSize();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    FramePresenter m_presenter;
};

class CCapPreviewRT : public CCapPreviewBase {
    Q_OBJECT
public:
    explicit CCapPreviewRT(QWidget* owner);
};

class CCapSlowMo : public CCapPreviewBase {
    Q_OBJECT
public:
    static constexpr int kTimerId = 1;
    explicit CCapSlowMo(QWidget* owner);
    // Kill, then set with the new period; 0 means the shortest period the system allows.
    void rearm(int32_t delayMs);
    int interval() const { return m_timer.interval(); }
    bool timerActive() const { return m_timer.isActive(); }
    void setOverlay(const QString& text);

signals:
    void tick();
    // Space, Left, Right, Home, End on the replay window.
    void stepKey(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    QString m_overlay;
};

}  // namespace OLK
