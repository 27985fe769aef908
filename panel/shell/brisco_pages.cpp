#include "brisco_pages.h"

#include "sensor/img_sensor.h"
#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/panel_models.h"
#include "shell/tab_basic.h"
#include "shell/tab_gains.h"
#include "shell/tab_led.h"
#include "shell/video_proc_amp.h"
#include "shell/release_notice.h"
#include "tools/apilog/api_cmd_log_view.h"
#include "tools/consoles/console_tools.h"
#include "tools/cmx/cmx.h"
#include "tools/colorgrading/color_grading_tools.h"
#include "tools/demo/demo_tools.h"
#include "tools/dpc/dpc_tools.h"
#include "tools/firmware/firmware_tools.h"
#include "tools/greenscreen/green_screen.h"
#include "tools/test_patterns/test_patterns.h"
#include "usb/usb_device.h"

namespace TVR {

PageFactory briscoPageFactory() {
    return [](PanelContext& c, QWidget* parent) {
        std::vector<Page> pages;

        auto* basic = new CTabBasic(c.session, c.preferences, &c.geometry, parent);
        basic->setReadAll(c.readAllFromCamera);
        basic->setSwitchCheck(c.confirmDiscard);
        basic->setCameraLost(c.cameraLost);
        Page device{QStringLiteral("Device"), basic, basic, {}, {}};
        device.deviceTracking = [basic](bool on) { basic->setDeviceTracking(on); };
        pages.push_back(std::move(device));

        auto* gains = new CTabGains(c.models.gains(), c.preferences, &c.geometry, parent);
        pages.push_back({QStringLiteral("Sensor"), gains, gains, {}, {}});

        auto* video = new CDlgAMVideoProcAmp(c.mediaSource, parent);
        Page camera{QStringLiteral("Camera"), video, nullptr, {}, {}};
        camera.refreshFromDevice = [video] { video->refresh(); };
        pages.push_back(std::move(camera));

        auto* led = new CTabLED(c.models.led(), &c.geometry, parent);
        pages.push_back({QStringLiteral("Peripherals"), led, led, {}, {}});
        return pages;
    };
}

void registerBriscoTools(CbriscoDlg& window) {
    window.registerTool(MenuId::kTestPatterns, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CTestPatterns(c.models.testPatterns(), &c.geometry, parent);
    });
    window.registerTool(MenuId::kApiLog, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CApiCmdLogView(c.log, &c.geometry, parent);
    });
    window.registerTool(MenuId::kColorSubstitution,
                        [](PanelContext& c, QWidget* parent) -> QWidget* {
                            return new CGreenScreen(c.models.greenScreen(), &c.geometry, parent);
                        });
    window.registerTool(MenuId::kCmx, [](PanelContext& c, QWidget* parent) -> QWidget* {
        return new CCMX(c.models.cmx(), &c.geometry, parent);
    });
    registerFirmwareTools(window);
    registerConsoleTools(window);
    registerDpcTools(window);
    registerDemoTools(window);
    registerColorGradingTools(window);
    registerHelpCommands(window);
}

}  // namespace TVR
