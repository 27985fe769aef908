#include "color_grading_luma_switch.h"

#include "sensor/img_sensor.h"
#include "settings/camera_transfer.h"
#include "tools/colorgrading/color_grading_dlg_base.h"

namespace TVR {

CColorGradingLumaSwitch::CColorGradingLumaSwitch(ImgSensor& camera, Factory current, Factory legacy,
                                                 QWidget* parent)
    : QWidget(parent, Qt::Tool),
      m_camera(camera),
      m_makeCurrent(std::move(current)),
      m_makeLegacy(std::move(legacy)) {
    setObjectName(QStringLiteral("lumaVsLumaSwitch"));
}

CColorGradingLumaSwitch::~CColorGradingLumaSwitch() {
    // The editors are the main window's children but this switch's to keep: they go with it,
    // while the models they show still exist.
    delete m_current;
    delete m_legacy;
}

void CColorGradingLumaSwitch::setVisible(bool visible) {
    if (!visible) {
        QWidget::setVisible(false);
        return;
    }
    const bool current = m_camera.versionFX3().buildAtLeast(kLumaVsLumaCurrentBuild);
    CColorGradingDlgBase*& editor = current ? m_current : m_legacy;
    if (editor == nullptr) editor = current ? m_makeCurrent() : m_makeLegacy();
    if (editor == nullptr) return;
    // The other firmware's editor would show a table this camera does not have.
    if (CColorGradingDlgBase* other = current ? m_legacy : m_current) other->hide();
    m_shown = editor;
    editor->show();
    editor->raise();
    editor->activateWindow();
}

}  // namespace TVR
