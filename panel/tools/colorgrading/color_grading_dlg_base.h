#pragma once

// CColorGradingDlgBase: the modeless editor of one colour-grading curve, 64 sliders over a
// picture of the curve's axes, a side bar with the hovered slider's input and output colours,
// and the Neutral, Default, rotation and shortcut-help buttons. The seven derived classes only
// name their curve. Every edit goes to the window's ColorGradingModel; the window shows its
// positions and slider states. User-interface thread.

#include <QImage>
#include <QWidget>
#include <array>

#include "shell/dlg_base.h"
#include "tools/colorgrading/color_grading_model.h"

class QTimer;

namespace TVR {

class CVertTranspSlider;

// The side bar: the input colour of the hovered slider on the left, its output on the right.
class CCGSideBar : public QWidget {
    Q_OBJECT
public:
    CCGSideBar(const CGInfo& info, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const CGInfo& m_info;
};

class CColorGradingDlgBase : public CDlgBaseFX3 {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 121;
    static constexpr int kFirstSliderId = 10000;
    static constexpr int kSideBarId = 1260;
    static constexpr int kNeutralId = 1258;
    static constexpr int kDefaultId = 1264;
    static constexpr int kRotateLeftId = 1259;
    static constexpr int kRotateRightId = 1261;
    static constexpr int kShortcutsId = 1286;
    static constexpr const char* kShortcutsPath = "/doku.php/manual:color_grading_shortcuts";

    CColorGradingDlgBase(ColorGradingModel& model, const PreferencesStorage* geometry,
                         QWidget* parent);
    ~CColorGradingDlgBase() override;

    ColorGradingModel& curveModel() { return m_model; }
    CVertTranspSlider* slider(int index) const { return m_sliders.at(static_cast<size_t>(index)); }
    // The deferred push after a spline edit is waiting.
    bool pushPending() const;

    void updateControls() override;
    // The window has no layout: its fixed size.
    QSize sizeHint() const override;
    // The curve's whole table to the camera, in a splash.
    void writeAll();

protected:
    std::string readStateTaskName() const override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void onSliderValue(int index, int value);
    void resetAll(bool toDefault);
    void rotate(bool left);
    // Keys the window and its sliders share; true when the key was used.
    bool keyPressed(QKeyEvent* event);
    bool keyReleased(QKeyEvent* event);
    // Positions, states, title and side bar from the model.
    void showCurve();
    void showTitle();
    QRect pictureRect() const;

    ColorGradingModel& m_model;
    std::array<CVertTranspSlider*, kCurveSliders> m_sliders{};
    CCGSideBar* m_sideBar = nullptr;
    QTimer* m_pushTimer = nullptr;
    QImage m_picture;        // the curve's background, converted once
    bool m_showing = false;  // the window is setting its sliders
};

class CColorGradingDlgHvH : public CColorGradingDlgBase {
    Q_OBJECT
public:
    using CColorGradingDlgBase::CColorGradingDlgBase;
};

class CColorGradingDlgHvS : public CColorGradingDlgBase {
    Q_OBJECT
public:
    using CColorGradingDlgBase::CColorGradingDlgBase;
};

class CColorGradingDlgLvS : public CColorGradingDlgBase {
    Q_OBJECT
public:
    using CColorGradingDlgBase::CColorGradingDlgBase;
};

class CColorGradingDlgSvS : public CColorGradingDlgBase {
    Q_OBJECT
public:
    using CColorGradingDlgBase::CColorGradingDlgBase;
};

class CColorGradingDlgLvL : public CColorGradingDlgBase {
    Q_OBJECT
public:
    using CColorGradingDlgBase::CColorGradingDlgBase;
};

class CColorGradingDlgLvL73 : public CColorGradingDlgBase {
    Q_OBJECT
public:
    using CColorGradingDlgBase::CColorGradingDlgBase;
};

class CColorGradingDlgHvL : public CColorGradingDlgBase {
    Q_OBJECT
public:
    using CColorGradingDlgBase::CColorGradingDlgBase;
};

}  // namespace TVR
