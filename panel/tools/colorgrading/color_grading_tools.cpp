#include "color_grading_tools.h"

#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/panel_context.h"
#include "shell/panel_models.h"
#include "tools/colorgrading/color_grading_dlg_base.h"
#include "tools/colorgrading/color_grading_luma_switch.h"

namespace TVR {

namespace {

template <typename Dlg>
ToolFactory editorOf(OwnerId id) {
    return [id](PanelContext& c, QWidget* parent) -> QWidget* {
        ColorGradingModel* model = c.models.curve(id);
        if (model == nullptr) return nullptr;
        return new Dlg(*model, &c.geometry, parent);
    };
}

}  // namespace

void registerColorGradingTools(CbriscoDlg& window) {
    // The menu lists the curves by their table numbers.
    window.registerTool(MenuId::kGradingFirst, editorOf<CColorGradingDlgHvH>(OwnerId::HueVsHue));
    window.registerTool(MenuId::kGradingFirst + 1,
                        editorOf<CColorGradingDlgHvS>(OwnerId::HueVsSat));
    window.registerTool(MenuId::kGradingFirst + 2,
                        editorOf<CColorGradingDlgLvS>(OwnerId::LumaVsSat));
    window.registerTool(MenuId::kGradingFirst + 3,
                        editorOf<CColorGradingDlgSvS>(OwnerId::SatVsSat));
    window.registerTool(
        MenuId::kGradingFirst + 4, [](PanelContext& c, QWidget* parent) -> QWidget* {
            auto make = [&c, parent](auto factory) {
                return [&c, parent, factory]() {
                    return static_cast<CColorGradingDlgBase*>(factory(c, parent));
                };
            };
            return new CColorGradingLumaSwitch(
                c.camera, make(editorOf<CColorGradingDlgLvL73>(OwnerId::LumaVsLuma)),
                make(editorOf<CColorGradingDlgLvL>(OwnerId::LumaVsLumaLegacy)), parent);
        });
    window.registerTool(MenuId::kGradingFirst + 5,
                        editorOf<CColorGradingDlgHvL>(OwnerId::HueVsLuma));
}

}  // namespace TVR
