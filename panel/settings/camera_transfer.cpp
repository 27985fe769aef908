#include "camera_transfer.h"

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings/control_transfer.h"
#include "settings/settings_store.h"

namespace TVR {
namespace {

using enum OwnerId;

constexpr OwnerId kReadAll[] = {
    TabGains, TestPatterns, ConsoleI2c, ConsoleSensor,         ConsoleFpga, TabLed,  GreenScreen,
    HueVsHue, HueVsSat,     LumaVsSat,  kLumaVsLumaOfFirmware, HueVsLuma,   NrVideo, AutoFunctions,
};

constexpr OwnerId kPushAll[] = {
    TabGains, ConsoleI2c, ConsoleSensor, GreenScreen,  HueVsHue, HueVsSat,
    SatVsSat, HueVsLuma,  TabLed,        TestPatterns, NrVideo,  AutoFunctions,
};

constexpr OwnerId kLoad[] = {
    TabBasic,      TabGains,    ConsoleI2c,
    ConsoleSensor, GreenScreen, HueVsHue,
    HueVsSat,      LumaVsSat,   kLumaVsLumaOfFirmware,
    SatVsSat,      HueVsLuma,   TabLed,
    TestPatterns,  NrVideo,     AutoFunctions,
};
// kLoad[1..3] run with the streaming switch on.
constexpr size_t kStreamingFirst = 1;
constexpr size_t kStreamingEnd = 4;

constexpr std::string_view kOwnerNames[] = {
    "CTabBasic",
    "CTabGains",
    "CTestPatterns",
    "CConsoleI2c",
    "CConsoleSensor",
    "CConsoleFpga",
    "CTabLED",
    "CGreenScreen",
    "Hue vs. Hue",
    "Hue vs. Saturation",
    "Luma vs. Saturation",
    "Luma vs. Luma",
    "Luma vs. Luma (older firmware)",
    "Saturation vs. Saturation",
    "Hue vs. Luma",
    "CNRVideo",
    "CAutoFunctions",
};
static_assert(std::size(kOwnerNames) == static_cast<size_t>(OwnerId::Count));

// Restores an owner's update counter when a step ends.
class CounterHold {
public:
    CounterHold(ValueOwner& owner, int counter) : m_owner(owner), m_saved(owner.updateCounter()) {
        owner.setUpdateCounter(counter);
    }
    ~CounterHold() { m_owner.setUpdateCounter(m_saved); }
    CounterHold(const CounterHold&) = delete;
    CounterHold& operator=(const CounterHold&) = delete;

private:
    ValueOwner& m_owner;
    int m_saved;
};

}  // namespace

std::string_view ownerName(OwnerId id) {
    const auto i = static_cast<size_t>(id);
    return i < std::size(kOwnerNames) ? kOwnerNames[i] : std::string_view{};
}

void ValueOwnerRegistry::add(OwnerId id, ValueOwner& owner) {
    const auto i = static_cast<size_t>(id);
    if (i < m_owners.size()) m_owners[i] = &owner;
}

void ValueOwnerRegistry::remove(OwnerId id) {
    const auto i = static_cast<size_t>(id);
    if (i < m_owners.size()) m_owners[i] = nullptr;
}

ValueOwner* ValueOwnerRegistry::find(OwnerId id) const {
    const auto i = static_cast<size_t>(id);
    return i < m_owners.size() ? m_owners[i] : nullptr;
}

std::span<const OwnerId> readAllOrder() { return kReadAll; }
std::span<const OwnerId> pushAllOrder() { return kPushAll; }
std::span<const OwnerId> loadOrder() { return kLoad; }

CameraTransfer::CameraTransfer(SettingsStore& store, ImgSensor& camera, ValueOwnerRegistry& owners,
                               TransferPrompter& prompter)
    : m_store(store), m_camera(camera), m_owners(owners), m_prompter(prompter) {}

ValueOwner* CameraTransfer::resolve(OwnerId id) const {
    if (id == kLumaVsLumaOfFirmware &&
        !m_camera.versionFX3().buildAtLeast(kLumaVsLumaCurrentBuild)) {
        id = OwnerId::LumaVsLumaLegacy;
    }
    return m_owners.find(id);
}

bool CameraTransfer::readAll() {
    const bool read = readAllValues();
    readAllDone(read);
    return read;
}

bool CameraTransfer::readAllValues() {
    m_store.clear();
    m_store.setFilePath({});
    m_store.setDirty(false);
    if (!m_camera.connected()) return false;
    storeSensorIdentity(m_store, m_camera);
    for (OwnerId id : kReadAll) {
        if (!keepGoing()) break;
        if (ValueOwner* owner = resolve(id)) owner->readState();
    }
    return true;
}

void CameraTransfer::readAllDone(bool read) {
    if (!read) {
        m_prompter.showStatus(kNoCameraStatus);
    } else {
        for (OwnerId id : kReadAll) {
            ValueOwner* owner = resolve(id);
            if (owner == nullptr || !owner->windowVisible()) continue;
            CounterHold hold(*owner, owner->updateCounter() + 1);
            owner->updateControls();
        }
    }
    m_prompter.titleChanged();
}

void CameraTransfer::loadOwner(ValueOwner& owner) {
    {
        CounterHold hold(owner, 0);
        owner.loadFromStore();
    }
    if (owner.hasWindow()) {
        CounterHold hold(owner, 0);
        owner.updateControls();
    }
}

bool CameraTransfer::pushAll() {
    if (!m_camera.connected()) return false;
    for (OwnerId id : kPushAll) {
        if (!keepGoing()) break;
        ValueOwner* owner = resolve(id);
        if (owner == nullptr) continue;
        // F2 pushes whatever the store holds, also while a page fills its controls.
        CounterHold hold(*owner, 0);
        owner->loadFromStore();
    }
    return true;
}

bool CameraTransfer::loadFile(const std::string& path) {
    std::string chosen = path;
    if (chosen.empty()) {
        auto picked = m_prompter.chooseFile(false, m_store.filePath());
        if (!picked || picked->empty()) return false;
        chosen = std::move(*picked);
    }
    const SettingsResult result = m_store.loadFile(chosen);
    if (!result) m_prompter.showError(kPanicTitle, result.message);
    m_prompter.titleChanged();
    return result.ok;
}

LoadOutcome CameraTransfer::loadSettingsAndPush(const std::string& path) {
    if (!m_camera.connected()) return LoadOutcome::NotConnected;
    if (!loadFile(path)) {
        m_store.log().appendMessage(false, "Settings were not loaded");
        return LoadOutcome::NotLoaded;
    }
    if (!settingsMatchSensor(m_store, m_camera) &&
        !m_prompter.askYesNo(kWarningTitle, kDifferentSensorQuestion)) {
        return LoadOutcome::Declined;
    }

    auto pushRange = [&](size_t first, size_t end) {
        for (size_t i = first; i < end; ++i) {
            if (!m_camera.connected() || !keepGoing()) return;
            if (ValueOwner* owner = resolve(kLoad[i])) loadOwner(*owner);
        }
    };
    pushRange(0, kStreamingFirst);
    {
        // The sensor pages are pushed with the sensor streaming, and a sensor found in standby
        // is put back there, so a load leaves the video as it found it.
        const bool wasStandby = m_camera.chip().sensorSwitch(kSwitchStandby, -1);
        if (wasStandby) m_camera.chip().sensorSwitch(kSwitchStandby, 0);
        pushRange(kStreamingFirst, kStreamingEnd);
        if (wasStandby && m_camera.connected()) m_camera.chip().sensorSwitch(kSwitchStandby, 1);
    }
    pushRange(kStreamingEnd, std::size(kLoad));

    if (keepGoing()) uvcPush(m_uvc, m_store);
    m_prompter.refreshCameraPage();
    m_prompter.titleChanged();
    return LoadOutcome::Pushed;
}

void CameraTransfer::storeSaveExtras() {
    if (!m_camera.connected()) return;
    storeSensorIdentity(m_store, m_camera);
    uvcRead(m_uvc, m_store);
}

bool CameraTransfer::writeFile() {
    storeSaveExtras();
    const SettingsResult result = m_store.saveFile();
    if (!result) m_prompter.showError(kPanicTitle, result.message);
    m_prompter.titleChanged();
    return result.ok;
}

bool CameraTransfer::saveFile() {
    if (m_store.filePath().empty()) {
        auto picked = m_prompter.chooseFile(true, {});
        if (!picked) return false;
        m_store.setFilePath(std::move(*picked));
    }
    return writeFile();
}

bool CameraTransfer::saveFileAs() {
    auto picked = m_prompter.chooseFile(true, m_store.filePath());
    if (!picked) return false;
    return saveFileAs(*picked);
}

bool CameraTransfer::saveFileAs(const std::string& path) {
    m_store.setFilePath(path);
    return writeFile();
}

}  // namespace TVR
