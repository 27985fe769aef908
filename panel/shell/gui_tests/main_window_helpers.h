#pragma once

// The main window on a simulated camera for the GUI tests: scripted message boxes and file
// dialogs, test pages over the page models, and the backends built around the rig's driver.

#include <QMessageBox>
#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backend/usb_backend.h"
#include "gui_test_helpers.h"
#include "settings/preferences.h"
#include "shell/brisco_dlg.h"
#include "shell/dlg_base.h"
#include "shell/user_dialogs.h"

namespace TVR::Sim {
class SimCamera;
class SimCameraFirmware;
}  // namespace TVR::Sim

namespace TVR::GuiTest {

// Answers boxes from a queue (the default button, else OK, when it is empty) and file dialogs
// from another (cancel when empty); remembers what was asked.
class ScriptedDialogs : public UserDialogs {
public:
    QMessageBox::StandardButton message(QWidget* parent, const MessageRequest& request) override;
    std::optional<QString> chooseSettingsFile(QWidget* parent, bool save,
                                              const QString& current) override;
    QStringList titles() const;

    std::vector<MessageRequest> shown;
    std::deque<QMessageBox::StandardButton> answers;
    std::deque<QString> files;
    int fileDialogs = 0;
};

// A tab page over one of the page models, counting its update steps.
class TestTab : public CDlgBaseTab {
public:
    TestTab(TableValueOwner& model, const PreferencesStorage* geometry, QWidget* parent,
            const QString& title);
    void updateControls() override { ++updates; }
    int updates = 0;
};

// The pages the test factory made, and the hooks' calls.
struct TestPages {
    std::vector<TestTab*> tabs;
    int cameraRefreshes = 0;
    std::vector<bool> tracking;
};

struct MainWindowRig {
    explicit MainWindowRig(const std::string& simOptions = "", bool expert = false,
                           bool beta = false);
    ~MainWindowRig();

    // Sends a drop of these files to the window as the desktop would.
    void drop(const QStringList& paths);
    // Shows the window and waits until it is active, for keys.
    bool showActive();

    CameraRig rig;
    Backends backends;
    Preferences preferences;
    ScriptedDialogs dialogs;
    TestPages pages;
    int restarts = 0;
    std::unique_ptr<CbriscoDlg> window;
};

// The program's own window, its real pages and tool windows, on simulated cameras.
struct ProgramWindowRig {
    explicit ProgramWindowRig(const std::string& simOptions = "", bool expert = true,
                              bool beta = true);
    ~ProgramWindowRig();

    Sim::SimCamera& cam(size_t index = 0);
    Sim::SimCameraFirmware& fw(size_t index = 0);
    // Runs a tool's menu command and gives its window.
    QWidget* openTool(int menuId);
    template <typename W>
    W* open(int menuId) {
        // Some tool windows declare no signals of their own, so no qobject_cast finds them.
        W* w = dynamic_cast<W*>(openTool(menuId));
        EXPECT_NE(w, nullptr) << menuId;
        return w;
    }

    CameraRig rig;
    Backends backends;
    Preferences preferences;
    ScriptedDialogs dialogs;
    std::unique_ptr<CbriscoDlg> window;
};

}  // namespace TVR::GuiTest
