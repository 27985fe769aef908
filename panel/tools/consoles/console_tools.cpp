#include "tools/consoles/console_tools.h"

#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/panel_context.h"
#include "shell/panel_models.h"
#include "tools/consoles/console_fpga.h"
#include "tools/consoles/console_i2c.h"
#include "tools/consoles/console_sensor.h"
#include "tools/consoles/registers_overview.h"
#include "tools/nrauto/auto_functions.h"
#include "tools/nrauto/nr_video.h"
#include "tools/sysinfo/dev_tech_info.h"
#include "tools/sysinfo/sys_info.h"

namespace TVR {

void registerConsoleTools(CbriscoDlg& window) {
    window.registerTool(MenuId::kConsoleI2c, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CConsoleI2c(c.store, c.camera, c.session.work(), c.preferences, &c.geometry,
                               parent);
    });
    window.registerTool(MenuId::kConsoleFpga, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CConsoleFpga(c.models.consoleFpga(), c.preferences, c.dialogs, &c.geometry,
                                parent);
    });
    window.registerTool(MenuId::kConsoleSensor, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CConsoleSensor(c.models.consoleSensor(), c.preferences, &c.geometry, parent);
    });
    window.registerTool(MenuId::kRegistersDump, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CRegistersOverview(c.store, c.camera, c.session.work(), c.preferences, c.dialogs,
                                      &c.geometry, parent);
    });
    window.registerTool(MenuId::kSysInternals, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CSysInfo(c.store, c.camera, c.session.work(), &c.geometry, parent);
    });
    window.registerTool(MenuId::kTechInfo, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CDevTechInfo(c.store, c.camera, c.session.work(), &c.geometry, parent);
    });
    window.registerTool(MenuId::kNoiseReduction, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CNRVideo(c.models.nrVideo(), &c.geometry, parent);
    });
    window.registerTool(MenuId::kAutoFunctions, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CAutoFunctions(c.models.autoFunctions(), &c.geometry, parent);
    });
}

}  // namespace TVR
