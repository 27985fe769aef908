#pragma once

// The "Device" page's list of cameras without its widgets, over the camera session: the rule
// that picks the entry to select after a rebuild, the selection's open, and the device-change
// re-check. The session enumerates and opens; the enumeration may run on a splash's worker
// while the user-interface thread waits, everything else runs on the user-interface thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TVR {

class CameraSession;

inline constexpr std::string_view kEnumeratingTask = "Enumerating system devices...";
inline constexpr std::string_view kOfflineEntryText =
    "Offline/malfunctioning (expect long timeouts if selected!)";
inline constexpr std::string_view kLostDeviceText = "Lost currently selected device";
inline constexpr std::string_view kNoCamerasText = "No cameras are currently available";
inline constexpr std::string_view kOfflineSelectedText =
    "That device is offline/mulfunctioning (or the control port is wrong?), you can't use it";
inline constexpr std::string_view kRegistrationFailedText =
    "Failed to register for device change notifications, auto-refresh of device list will be "
    "turned off";
// What the page logs after a device change when the selected camera left its port or came back
// there; the port is the argument.
inline constexpr std::string_view kCameraUnpluggedText = "The camera at port {} was unplugged";
inline constexpr std::string_view kCameraBackText = "The camera at port {} is back";
// Device changes come in bursts (a camera leaves and its boot loader arrives); the list is
// checked once they have settled.
inline constexpr int kDeviceRecheckMs = 200;

struct DeviceEntry {
    uint8_t index = 0;
    bool online = false;
    std::string text;
    std::string identity;
    bool operator==(const DeviceEntry&) const = default;
};

// What a rebuild asks of the window.
struct DeviceListRebuild {
    bool ran = false;                 // false: another rebuild was under way, nothing changed
    std::optional<size_t> selection;  // the entry to select
    // Nothing selected, or another camera than before: show the default control port and the
    // not-detected chipset, then run the selection change.
    bool selectionChanged = false;
    std::string lostWarning;  // not empty: the warning to show (title "Warning")
};

class DeviceListModel {
public:
    // Runs the enumeration step; the window runs it inside a splash, tests and the console
    // directly.
    using StepRunner = std::function<void(std::string_view name, const std::function<void()>&)>;

    // The session must outlive the model.
    explicit DeviceListModel(CameraSession& session);

    // `_setupDeviceList` over the session's list of cameras. With no entry selected, the camera
    // the session has open is the one to keep. Dropped when a rebuild is under way anywhere in
    // the process.
    DeviceListRebuild setupDeviceList(const StepRunner& run = {});

    const std::vector<DeviceEntry>& entries() const { return m_entries; }
    std::optional<size_t> selection() const { return m_selection; }
    // The user's choice in the box; nothing for an index outside the list.
    void select(std::optional<size_t> entry);

    // Selection change, step 1: opens the selected entry's camera index in the session. False
    // (and the error logged) when that failed; false without a message when nothing is selected.
    bool openSelection();

    // Device tracking follows `DevNotify`; while suspended (a firmware upgrade re-enumerates
    // the camera on purpose) device changes are not acted on.
    void setTracking(bool on) { m_tracking = on; }
    bool tracking() const { return m_tracking; }
    void setSuspended(bool on) { m_suspended = on; }
    bool suspended() const { return m_suspended; }
    // Whether a device change (re)starts the re-check timer.
    bool deviceChangeStartsTimer() const { return m_tracking && !m_suspended; }
    // The re-check: whether the number of cameras present differs from the list's.
    bool countChanged() const;

    static bool rebuildUnderWay();

    // Holds the process-wide rebuild flag for its lifetime when it could take it.
    class RebuildGuard {
    public:
        RebuildGuard();
        ~RebuildGuard();
        RebuildGuard(const RebuildGuard&) = delete;
        RebuildGuard& operator=(const RebuildGuard&) = delete;
        bool owns() const { return m_owns; }

    private:
        bool m_owns;
    };

private:
    CameraSession& m_session;
    std::vector<DeviceEntry> m_entries;
    std::optional<size_t> m_selection;
    bool m_tracking = false;
    bool m_suspended = false;
};

}  // namespace TVR
