#include "dpc_tools.h"

#include <memory>

#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "tools/dpc/auto_dpc_calibration.h"
#include "tools/dpc/auto_dpc_calibration_model.h"
#include "tools/dpc/calibrate_dpc.h"
#include "tools/dpc/calibrate_dpc_model.h"

namespace TVR {

void registerDpcTools(CbriscoDlg& window) {
    window.registerTool(MenuId::kAutoDpc, [](PanelContext& c, QWidget* parent) -> QWidget* {
        auto model = std::make_unique<AutoDpcCalibrationModel>(c.store, c.camera);
        model->setWork(&c.session.work());
        return new CAutoDpcCalibration(std::move(model), c.dialogs, &c.geometry, parent);
    });
    window.registerTool(MenuId::kManualDpc, [](PanelContext& c, QWidget* parent) -> QWidget* {
        auto model = std::make_unique<CalibrateDpcModel>(c.store, c.camera);
        model->setWork(&c.session.work());
        return new CCalibrateDPC(std::move(model), c.preferences, &c.geometry, parent);
    });
}

}  // namespace TVR
