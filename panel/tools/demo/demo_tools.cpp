#include "demo_tools.h"

#include <memory>

#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "tools/demo/demo_mode_dlg.h"
#include "tools/demo/demo_mode_model.h"

namespace TVR {

void registerDemoTools(CbriscoDlg& window) {
    window.registerTool(MenuId::kDemoMode, [](PanelContext& c, QWidget* parent) -> QWidget* {
        CameraSession& session = c.session;
        auto model = std::make_unique<DemoModeModel>(
            [&session](const std::string& path, std::string& error) {
                const LoadResult r = session.loadSettingsAndPush(path);
                if (!r.result) error = r.result.message;
                return static_cast<bool>(r.result);
            },
            c.log, &c.preferences);
        return new CDemoModeDlg(std::move(model), &c.geometry, parent);
    });
}

}  // namespace TVR
