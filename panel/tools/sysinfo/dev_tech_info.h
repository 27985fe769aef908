#pragma once

// CDevTechInfo: the "Detailed technical info about the current device" window: one read-only
// text with the USB device, the sensor and the system-information report, made again each time
// it is shown. It owns its DevTechInfoModel. User-interface thread only.

#include "shell/dlg_base.h"
#include "tools/consoles/owned_model.h"
#include "tools/sysinfo/dev_tech_info_model.h"

class QPlainTextEdit;

namespace TVR {

// The model comes first among the bases, so it outlives the dialog base's teardown; the window
// declares no signals of its own.
class CDevTechInfo : private OwnedModel<DevTechInfoModel>, public CDlgBaseFX3 {
public:
    static constexpr int kTemplateId = 113;
    static constexpr int kText = 1048;

    CDevTechInfo(SettingsStore& store, ImgSensor& camera, CameraWork& work,
                 const PreferencesStorage* geometry, QWidget* parent);
    ~CDevTechInfo() override;

    void updateControls() override;

private:
    QPlainTextEdit* m_text = nullptr;
};

}  // namespace TVR
