#pragma once

// CameraSession: the one owner of the camera. It holds the backends, the camera object with its
// sensor, the settings store, the value owners in their transfer order, the whole-camera
// transfers and the capture side of the selected camera, and offers the main window's camera
// operations as calls with results and its menu state as data. The control panel maps its
// widgets to it and brisco-cli runs its commands through it, so both open, read and push a
// camera the same way. Toolkit-free.
//
// Threads: one batch of camera work at a time. The operations below take the session's work
// for their duration; a second caller waits for the first to end (tryBatch() refuses instead),
// so a timer's refresh never interleaves with a batch on a worker. "The work holder" in the
// thread rules below is the thread whose batch holds the work.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backend/usb_backend.h"
#include "fx3.h"
#include "settings/camera_transfer.h"
#include "settings/camera_work.h"
#include "settings/settings_store.h"
#include "shell/device_list_model.h"
#include "shell/panel_models.h"

namespace TVR {

class ApiLog;
class ImgSensor;
class Preferences;
class UvcPropertySource;

// What a camera operation did: ok, or one line naming what failed.
struct SessionResult {
    bool ok = true;
    std::string message;

    explicit operator bool() const { return ok; }
    static SessionResult done() { return {}; }
    static SessionResult failed(std::string message) { return {false, std::move(message)}; }
};

struct LoadResult {
    LoadOutcome outcome = LoadOutcome::NotLoaded;
    SessionResult result;  // failed for every outcome but Pushed, and for a push that failed
};

// A menu item's state: greyed or not, and the check mark of a toggle.
struct MenuItemState {
    bool enabled = false;
    bool checked = false;
    bool operator==(const MenuItemState&) const = default;
};

// The camera-dependent part of the main window's menu, recomputed whenever a menu opens.
struct CameraMenuState {
    bool connected = false;  // Open, Save, Push, the grading items, ... are greyed without
    bool sysInternals = false;
    bool cmx = false;
    bool noiseReduction = false;
    bool lumaVsLumaCurrent = false;  // the Luma vs. Luma item shows the current dialog
    MenuItemState sdiOutput;
    MenuItemState autoExposure;
    MenuItemState autoWhiteBalance;
    bool operator==(const CameraMenuState&) const = default;
};

// What the session logs after pushing the store to a camera that came back; the port is the
// argument.
inline constexpr std::string_view kReappliedText = "Settings re-applied to the camera at port {}";

// What plug tracking saw of the selected camera.
enum class PlugChange {
    None,
    Lost,  // the selected camera left its port
    Back,  // a camera came back at the selected port and was opened again
};

struct CameraSessionOptions {
    uint32_t controlTimeoutMs = kControlTimeoutMs;
    // The panel starts on the first camera; brisco-cli opens the one it is told.
    bool openFirst = false;
    PanelModels::Windows windows = PanelModels::Windows::None;
    // The page models' preferences; null: the program's own.
    const Preferences* preferences = nullptr;
    // A camera that comes back at the selected port gets the store's values pushed again.
    bool reapplyOnReturn = false;
};

// What the panel can show of the selected camera.
enum class CameraState {
    None,     // no camera is open
    Ready,    // open, and its last transfer came through
    Lost,     // it left its port (unplugged, reset) and is not back yet
    Failing,  // open, but requests to it failed in its last transfer
};

class CameraSession {
public:
    using Options = CameraSessionOptions;

    // Backends given as a temporary are the session's own; given by name they are borrowed
    // and must outlive it (the program keeps them across its windows). The log and the
    // prompter, which answers the transfers' questions, must outlive the session.
    // Thread: the owner's (the window thread or brisco-cli's main thread).
    CameraSession(Backends&& backends, ApiLog& log, TransferPrompter& prompter,
                  Options options = {});
    // Thread: the owner's.
    CameraSession(Backends& backends, ApiLog& log, TransferPrompter& prompter,
                  Options options = {});
    // Thread: the owner's, with no batch running.
    ~CameraSession();
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    // The parts, which follow their own rules (the camera's calls: the work holder).
    // Thread: any.
    Backends& backends() { return *m_backends; }
    // Thread: any.
    UsbDriver& driver() { return *m_backends->usb; }
    // Thread: any.
    ApiLog& log() { return m_log; }
    // Thread: any; call the camera only while holding the work.
    ImgSensor& camera() { return *m_camera; }
    // Thread: any; the store locks itself.
    SettingsStore& store() { return m_store; }
    // Thread: any; a model's transfers only while holding the work.
    PanelModels& models() { return *m_models; }
    // Thread: any; its transfers only while holding the work.
    CameraTransfer& transfer() { return *m_transfer; }

    // Device list and selection.
    // Thread: any; the driver lists its devices itself.
    uint8_t deviceCount();
    // Thread: the work holder.
    bool connected() const;
    // Opens camera `index`; the failure names the camera.
    // Thread: any; takes the work.
    SessionResult selectDevice(uint8_t index);
    // Opens the camera at a USB port location ("<bus>-<port...>").
    // Thread: any; takes the work.
    SessionResult selectLocation(std::string_view location);
    // The port of the camera last selected; empty before any.
    // Thread: the work holder.
    std::string selectedLocation() const;

    // Plug tracking, after the driver reported cameras coming or going: whether the selected
    // camera left its port, or came back there (then it is open again). The caller reports the
    // change, after what it logs itself on the way, so that the report is what stays on show.
    // Thread: the window thread; takes the work.
    PlugChange checkPlugged();
    // Whether checkPlugged() pushes the store to a camera that came back; and what the last such
    // push did (empty message when none ran), for the caller to report.
    // Thread: the owner's.
    void setReapplyOnReturn(bool on) { m_reapply = on; }
    bool reapplyOnReturn() const { return m_reapply; }
    // Thread: the work holder.
    const SessionResult& lastReapply() const { return m_lastReapply; }

    // Whether the selected camera's values can be trusted: open, at its port, and its last
    // transfer came through. Pages and tools grey themselves for anything but Ready.
    // Thread: any.
    CameraState cameraState() const;
    // Ready, or open and in use by a batch that has not reported yet.
    // Thread: any.
    bool cameraUsable() const { return cameraState() == CameraState::Ready; }
    // A window's own transfer (a page read) reports what it saw here.
    // Thread: the work holder.
    void noteTransfer(bool cameOk);

    // What the "Device" page asks of the session: device changes, the camera list, the camera
    // open now.
    // `changed` runs on the driver's thread after cameras came or went, and never once
    // unsubscribeDeviceChanges() returned, so it may refer to a window that unsubscribes before
    // it goes. Negative: the driver took no subscription.
    // Thread: any.
    int subscribeDeviceChanges(std::function<void()> changed);
    // Thread: any but the one running `changed`.
    void unsubscribeDeviceChanges(int token);
    // One entry per camera index, each opened on its own and closed again; the camera open here
    // stays open and is described as it is.
    // Thread: any; takes the work.
    std::vector<DeviceEntry> listDevices();
    // The interface path of the camera open now; empty when none is.
    // Thread: any; takes the work.
    std::string openIdentity();

    // The UVC properties of the selected camera's capture side, opened for the caller and shut
    // down with the returned object; null when it has none.
    // Thread: the work holder.
    std::unique_ptr<UvcPropertySource> openUvc();

    // Whole-camera transfers. Each reports failure when the camera was lost or a request failed
    // on the way; the store then keeps what was read, but nothing is written to a file.
    // readAllValues is the camera part (store and camera only, fit for a batch worker);
    // readAll adds the owners' windows, status and title.
    // Thread: any; takes the work.
    SessionResult readAllValues();
    // Thread: the window thread; takes the work.
    SessionResult readAll();
    // The window part after readAllValues on a worker.
    // Thread: the window thread, once the worker ended.
    void readAllDone(const SessionResult& read);
    // Thread: any; takes the work.
    SessionResult pushAll();
    // Thread: the window thread (it may ask questions); takes the work.
    LoadResult loadSettingsAndPush(const std::string& path);
    // A file into the store, no push; false when cancelled or unreadable.
    // Thread: the window thread (it may ask for the file).
    SessionResult loadFile(const std::string& path);
    // Thread: the window thread (it may ask for the file); takes the work.
    SessionResult saveFile();
    // Thread: the window thread (it asks for the file); takes the work.
    SessionResult saveFileAs();
    // Thread: any; takes the work.
    SessionResult saveFileAs(const std::string& path);
    // Every value with what a save adds (identity, UVC values), in the store only.
    // Thread: any; takes the work.
    SessionResult readAllForFile();
    // readAllForFile() followed by the file, written only when the read came through.
    // Thread: any; takes the work.
    SessionResult readAndSave(const std::string& path);

    // Menu commands.
    // Thread: any; takes the work.
    SessionResult resetDevice(bool force);
    // Thread: any; takes the work.
    SessionResult toggleAutoExposure(bool wasChecked);
    // Thread: any; takes the work.
    SessionResult toggleAutoWhiteBalance(bool wasChecked);
    // Thread: any; takes the work.
    SessionResult toggleSdi(bool wasChecked);
    // Thread: any; takes the work.
    CameraMenuState menuState();

    // Camera work outside the operations above (a page's refresh, a console command) holds the
    // work through this; a thread waits for another's batch to end.
    // Thread: any.
    CameraWork::Batch batch() { return m_work.batch(); }
    // Empty while another thread's batch runs.
    // Thread: any.
    std::optional<CameraWork::Batch> tryBatch() { return m_work.tryBatch(); }
    // Thread: any.
    CameraWork& work() { return m_work; }

private:
    class Watch;
    template <typename F>
    auto withUvc(F&& step);

    void start(const Options& options);

    Backends m_ownBackends;
    Backends* m_backends;
    ApiLog& m_log;
    TransferPrompter& m_prompter;
    std::unique_ptr<ImgSensor> m_camera;
    SettingsStore m_store;
    std::unique_ptr<PanelModels> m_models;
    std::unique_ptr<CameraTransfer> m_transfer;
    std::string m_location;
    bool m_present = false;
    bool m_reapply = false;
    SessionResult m_lastReapply;
    std::atomic<bool> m_failing{false};
    // Plug events of the open camera, seen on the driver's thread.
    struct PlugMark;
    std::shared_ptr<PlugMark> m_mark;
    int m_markToken = -1;
    // The store as it stood when the camera was last known good, pushed again when it returns.
    std::atomic<int> m_wholeTransfers{0};
    std::mutex m_keptMutex;
    SettingsStore::Values m_kept;
    void keepStore();
    void markOpened();
    void reapply();
    // An operation may run a page's read that takes the work again on the same thread.
    CameraWork m_work;
    // Requests failed before the transfer under way began.
    uint64_t m_failedBefore = 0;

    // Device-change subscriptions, each relay shared with its driver callback.
    struct ChangeRelay;
    std::mutex m_relayMutex;
    std::map<int, std::shared_ptr<ChangeRelay>> m_relays;
};

}  // namespace TVR
