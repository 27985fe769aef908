#pragma once

// CbriscoDlg: the control panel's main window. It maps the camera session (the camera, the
// settings store, the page models and the whole-camera transfers) to the pages in the tab
// control, the menu, the preset keys, drag-and-drop, the status bar and the title; the camera
// work itself is the session's. User-interface thread only; log texts and store changes from
// other threads arrive queued.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "session/camera_session.h"
#include "settings/presets.h"
#include "settings/settings_store.h"
#include "shell/dlg_base.h"
#include "shell/panel_context.h"

class QAction;
class QCloseEvent;
class QDragEnterEvent;
class QKeyEvent;
class QDropEvent;
class QMenu;
class QMenuBar;
class QTabWidget;

namespace TVR {

class CameraSession;
class CBriscoStatusBar;
class QtPrompter;
struct PreferencesDialogOutcome;

struct MainWindowSetup {
    Backends& backends;
    ApiLog& log;
    Preferences& preferences;
    const PreferencesStorage& storage;
    UserDialogs& dialogs;
    PageFactory pages;
    uint32_t controlTimeoutMs = kControlTimeoutMs;
    int statusMsPerCharacter = 75;  // the status bar's timer scale
    // Starts the program again after a theme change; false when it could not.
    std::function<bool()> restart;
};

class CbriscoDlg : public CDlgBase {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 101;
    static constexpr int kTabControlId = 1000;
    static constexpr const char* kProgramTitle = "Tavro camera control center";
    static constexpr int kVersionMajor = 2;
    static constexpr int kVersionMinor = 6;
    static constexpr int kVersionPatch = 0;
    // Where the main window keeps its position.
    static constexpr const char* kGeometryTitle = "Tavro control center";

    // Opens the first camera of the backends in the window's camera session, builds the pages
    // and the menu and reads every value from the camera.
    explicit CbriscoDlg(MainWindowSetup setup, QWidget* parent = nullptr);
    ~CbriscoDlg() override;

    // The title rule: file name and "*" when dirty, then the program title and version.
    static QString titleFor(const std::string& filePath, bool dirty);
    void updateTitle();
    // Recomputed whenever a menu opens.
    void updateMenuState();
    // Drops the menus the preferences hide and puts the others back.
    void rebuildMenu();

    // Runs a menu command as its item would; false when the item is disabled or unknown.
    bool runCommand(int id);
    QAction* action(int id) const;
    QMenuBar* menuBar() const { return m_menuBar; }
    CBriscoStatusBar& statusBar() { return *m_statusBar; }
    QTabWidget& tabs() { return *m_tabs; }
    const std::vector<Page>& pages() const { return m_pages; }

    // Tool windows of menu commands: a registered command is enabled (under the camera rules of
    // its item) and shows its window, created on first use and hidden rather than destroyed.
    void registerTool(int menuId, ToolFactory factory);
    // A command that runs `run` (a modal dialog, a web page): enabled like a registered tool.
    // An empty function takes the command back.
    void registerCommand(int menuId, std::function<void()> run);
    QWidget* showTool(int menuId);

    // The dropped files, as a drop of them would.
    void dropFiles(const QStringList& paths);
    // Firmware images dropped on the window ("img": FX3, "bin": FPGA).
    void setFirmwareDropHandler(std::function<void(const QString& path, bool fpga)> handler);
    // Loads preset n's file when it names one.
    void loadPreset(int n);
    // The full read: store, pages, the "Camera" page, the status bar and the menu state.
    void readAllFromCamera();
    // What the preferences dialog's OK set off.
    void applyPreferencesOutcome(const PreferencesDialogOutcome& outcome);
    // With unsaved changes asks "Save changes to NAME?" (Save / Discard / Cancel); true when
    // they were saved or may be dropped.
    bool confirmDiscard();
    // Greys and empties the pages and tool windows while the camera cannot be trusted (none,
    // lost, failing), enables them otherwise, and says so to cameraAvailabilityChanged.
    void showCameraState();

    CameraSession& session() { return *m_session; }
    ImgSensor& camera();
    SettingsStore& store();
    PanelModels& models();
    CameraTransfer& transfer();
    Presets& presets() { return m_presets; }
    PanelContext& context() { return *m_context; }

signals:
    // After every whole read and when the camera was lost: whether windows that hold camera
    // values may show them. Windows not built on CDlgBaseFX3 follow it to grey themselves.
    void cameraAvailabilityChanged(bool usable);

protected:
    // Escape never closes the panel; closing asks about unsaved changes.
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Menus;
    struct Anchor;
    void buildActions();
    void buildMenus();
    void onCommand(int id, bool checked);
    QMessageBox::StandardButton ask(
        QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    void openSettings();
    void refreshCurrentPage();
    void resetDevice();
    void toggleAutoExposure(bool wasChecked);
    void toggleAutoWhiteBalance(bool wasChecked);
    void toggleSdi(bool wasChecked);
    void showPreferences();
    void showPresets();
    void showAbout();
    void refreshCameraPage();
    void setDeviceTracking(bool on);
    // Whether a batch holds the camera now; the refusal is logged.
    bool cameraBusy();
    // Shows a batch's failure in the status bar after the batch's own closing lines.
    void showBatchFailure(const SessionResult& result);
    // After a push: the visible pages show what the camera holds now.
    void refreshAfterPush();

    struct SessionMedia;

    MainWindowSetup m_setup;
    CBriscoStatusBar* m_statusBar = nullptr;
    std::unique_ptr<QtPrompter> m_prompter;
    std::unique_ptr<CameraSession> m_session;
    std::unique_ptr<SessionMedia> m_media;
    std::unique_ptr<PanelContext> m_context;
    Presets m_presets;
    QMenuBar* m_menuBar = nullptr;
    QTabWidget* m_tabs = nullptr;
    std::vector<Page> m_pages;
    std::map<int, QAction*> m_actions;
    std::unique_ptr<Menus> m_menus;
    std::map<int, ToolFactory> m_toolFactories;
    std::map<int, std::function<void()>> m_commands;
    std::map<int, QWidget*> m_tools;
    std::function<void(const QString&, bool)> m_firmwareDrop;
    // The unsaved-changes question was answered for the close under way.
    bool m_closeConfirmed = false;
    // Queued texts and store changes look the window up here; it is emptied on destruction.
    std::shared_ptr<Anchor> m_anchor;
};

}  // namespace TVR
