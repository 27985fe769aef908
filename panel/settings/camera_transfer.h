#pragma once

// Whole-camera transfers between the settings store, its file and the camera: read all, push
// all, load a file, load settings and push, save and save as. They run over an ordered registry
// of value owners (the pages and tools register themselves), and ask their questions through
// TransferPrompter, which the window layer answers with message boxes and brisco-cli with its
// flags. Toolkit-free; called on the thread that owns the camera for the moment.

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace TVR {

class ImgSensor;
class SettingsStore;
class UvcPropertySource;

// The windows that hold camera values, as the transfer orders name them.
enum class OwnerId : int {
    TabBasic,
    TabGains,
    TestPatterns,
    ConsoleI2c,
    ConsoleSensor,
    ConsoleFpga,
    TabLed,
    GreenScreen,
    HueVsHue,
    HueVsSat,
    LumaVsSat,
    LumaVsLuma,        // the current dialog, for FX3 firmware from build 73
    LumaVsLumaLegacy,  // the older dialog
    SatVsSat,
    HueVsLuma,
    NrVideo,
    AutoFunctions,
    Count,
};

// Stands for the Luma vs. Luma dialog of the connected firmware in the order lists.
inline constexpr OwnerId kLumaVsLumaOfFirmware = OwnerId::LumaVsLuma;
inline constexpr int kLumaVsLumaCurrentBuild = 73;

std::string_view ownerName(OwnerId id);

// One window's part in the whole-camera transfers.
class ValueOwner {
public:
    virtual ~ValueOwner() = default;
    // Every value the owner knows, from the camera into the store.
    virtual void readState() = 0;
    // Pushes the values the store holds, reads the others.
    virtual void loadFromStore() = 0;
    // Fills the owner's controls from the store; only called when hasWindow().
    virtual void updateControls() {}
    virtual bool hasWindow() const { return false; }
    virtual bool windowVisible() const { return false; }
    // Nonzero while the owner fills its controls; pushes are refused then.
    virtual int updateCounter() const = 0;
    virtual void setUpdateCounter(int counter) = 0;
};

// Which owner answers for which window. Owners are not owned and must outlive their entry.
class ValueOwnerRegistry {
public:
    void add(OwnerId id, ValueOwner& owner);
    void remove(OwnerId id);
    ValueOwner* find(OwnerId id) const;

private:
    std::array<ValueOwner*, static_cast<size_t>(OwnerId::Count)> m_owners{};
};

// The documented orders; kLumaVsLumaOfFirmware is resolved against the connected firmware.
std::span<const OwnerId> readAllOrder();
std::span<const OwnerId> pushAllOrder();
// The order of a settings load; the first four entries are TabBasic and the owners pushed with
// the streaming switch held on.
std::span<const OwnerId> loadOrder();

inline constexpr std::string_view kDifferentSensorQuestion =
    "The settings you are loading were saved for a different sensor and are not 100% "
    "compatible. Are you sure you want to load these settings?";
inline constexpr std::string_view kNoCameraStatus =
    "No Tavro cameras connected/available on the system";
inline constexpr std::string_view kPanicTitle = "Panic!";
inline constexpr std::string_view kWarningTitle = "Warning";

// The questions and messages of the transfers.
class TransferPrompter {
public:
    virtual ~TransferPrompter() = default;
    // Yes/No question (title "Warning"); true for Yes.
    virtual bool askYesNo(std::string_view title, std::string_view text) = 0;
    // An error message (title "Panic!").
    virtual void showError(std::string_view title, std::string_view text) = 0;
    virtual void showStatus(std::string_view /*text*/) {}
    // The open or save file dialog starting at `current`; empty when cancelled.
    virtual std::optional<std::string> chooseFile(bool /*save*/, const std::string& /*current*/) {
        return std::nullopt;
    }
    // The store's file or dirty state may have changed.
    virtual void titleChanged() {}
    // After a load: the "Camera" page refreshes its rows when it is visible.
    virtual void refreshCameraPage() {}
};

enum class LoadOutcome {
    Pushed,
    NotConnected,
    NotLoaded,  // the file could not be read
    Declined,   // saved for another sensor and not confirmed; the values stay in the store
};

class CameraTransfer {
public:
    CameraTransfer(SettingsStore& store, ImgSensor& camera, ValueOwnerRegistry& owners,
                   TransferPrompter& prompter);

    // The selected camera's capture side for the UVC values; null when it has none.
    void setUvcSource(UvcPropertySource* source) { m_uvc = source; }
    // Asked between two owners of a transfer; false ends it there (the camera stopped
    // answering, and every further request would wait out its time-out).
    void setContinueCheck(std::function<bool()> check) { m_continue = std::move(check); }

    // Empties the store, then fills it from the camera through every owner. False when no
    // camera is connected. readAllValues() then readAllDone().
    bool readAll();
    // The camera part of readAll(): the store and the camera only, no window and no question,
    // so it may run on a batch worker while the window thread waits.
    bool readAllValues();
    // The window part: the visible owners fill their controls, the status and the title.
    void readAllDone(bool read);
    // Pushes the store through the owners; false when no camera is connected.
    bool pushAll();
    // Reads a file into the store (asks for the path when empty); false when cancelled or
    // unreadable, the store's values untouched then.
    bool loadFile(const std::string& path);
    LoadOutcome loadSettingsAndPush(const std::string& path);
    // Identity and UVC keys from the camera, then the file (asking for a path when the store
    // has none). True when the file was written.
    bool saveFile();
    // Always asks for the path; nothing is written when cancelled.
    bool saveFileAs();
    // As saveFileAs with the path already chosen.
    bool saveFileAs(const std::string& path);
    // What a save adds to the store before writing: the identity keys and the UVC values of
    // the connected camera.
    void storeSaveExtras();

private:
    ValueOwner* resolve(OwnerId id) const;
    bool keepGoing() const { return !m_continue || m_continue(); }
    void loadOwner(ValueOwner& owner);
    bool writeFile();

    SettingsStore& m_store;
    ImgSensor& m_camera;
    ValueOwnerRegistry& m_owners;
    TransferPrompter& m_prompter;
    UvcPropertySource* m_uvc = nullptr;
    std::function<bool()> m_continue;
};

}  // namespace TVR
