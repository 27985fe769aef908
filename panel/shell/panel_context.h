#pragma once

// What the main window lends its pages and tool windows: the camera session with the camera,
// the store, the models and the whole-camera transfers it holds, the preferences and the
// capture side, and the hooks a page gives back. The page factory of the program builds the four
// pages from it. User-interface thread.

#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace TVR {

class ApiLog;
class CameraMediaSource;
class CameraSession;
class CameraTransfer;
class CDlgBaseTab;
class ImgSensor;
class PanelModels;
class Preferences;
class PreferencesStorage;
class SettingsStore;
class UserDialogs;
struct Backends;

struct PanelContext {
    CameraSession& session;
    // The session's parts, for the pages that use only them.
    ImgSensor& camera;
    SettingsStore& store;
    PanelModels& models;
    CameraTransfer& transfer;
    Preferences& preferences;
    const PreferencesStorage& geometry;
    Backends& backends;
    CameraMediaSource& mediaSource;
    ApiLog& log;
    UserDialogs& dialogs;
    // The main window's full read (a device was selected): store, pages, status and menu.
    std::function<void()> readAllFromCamera;
    // Asks about unsaved changes before they would be lost (another camera is opened); false
    // when the user cancelled.
    std::function<bool()> confirmDiscard = {};
    // The selected camera was lost: grey what needs it.
    std::function<void()> cameraLost = {};
};

// One page of the tab control, in tab order.
struct Page {
    QString caption;
    QWidget* widget = nullptr;
    CDlgBaseTab* tab = nullptr;  // null for a page that is not a tab (the "Camera" page)
    // Re-reads the page's rows from the device (the "Camera" page after a load or a read).
    std::function<void()> refreshFromDevice;
    // Device tracking on or off (the "Device" page; Track device change notifications).
    std::function<void(bool on)> deviceTracking;
};

using PageFactory = std::function<std::vector<Page>(PanelContext& context, QWidget* parent)>;
// A tool window of a menu command, created on first use and kept until exit.
using ToolFactory = std::function<QWidget*(PanelContext& context, QWidget* parent)>;

}  // namespace TVR
