#pragma once

// The menu's one Luma vs. Luma entry stands for two editors: the current table from FX3
// firmware build 73 on and the older one before it. This stand-in is what the main window keeps
// for the entry; showing it shows the editor of the connected camera's firmware instead (each
// created on first use and kept). It never appears itself. User-interface thread.

#include <QWidget>
#include <functional>

namespace TVR {

class CColorGradingDlgBase;
class ImgSensor;

class CColorGradingLumaSwitch : public QWidget {
    Q_OBJECT
public:
    using Factory = std::function<CColorGradingDlgBase*()>;

    CColorGradingLumaSwitch(ImgSensor& camera, Factory current, Factory legacy, QWidget* parent);
    ~CColorGradingLumaSwitch() override;

    void setVisible(bool visible) override;
    // The editor shown last; null before the first showing.
    CColorGradingDlgBase* shown() const { return m_shown; }

private:
    ImgSensor& m_camera;
    Factory m_makeCurrent;
    Factory m_makeLegacy;
    CColorGradingDlgBase* m_current = nullptr;
    CColorGradingDlgBase* m_legacy = nullptr;
    CColorGradingDlgBase* m_shown = nullptr;
};

}  // namespace TVR
