#include "camera_session.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "apilog.h"
#include "backend/uvc_backend.h"
#include "protocol/fx3_channels.h"
#include "protocol/uvc_property_ids.h"
#include "sensor/img_sensor.h"
#include "usb/usb_device.h"
#include "video/uvc_properties.h"

namespace TVR {
namespace {

// Firmware gates of menu items.
constexpr int kSysInternalsBuild = 53;
constexpr int kCmxBuild = 57;
// What switching the SDI output on sets, and the manual white balance the toggle falls back to.
constexpr int32_t kSdiExposureProperty = 2;
constexpr int32_t kSdiGamma = 9;
constexpr int kSdiSensorExposure = 1500;
constexpr int kSdiBlackLevel = 0;
constexpr int32_t kManualWhiteBalance = 2000;

// The documented manual white balance where the property allows it, else the nearest setting it
// takes (a whole step from its minimum, inside its range).
int32_t nearestSetting(int32_t wanted, const UvcRange& range) {
    if (range.max < range.min) return wanted;
    const int64_t v = std::clamp<int64_t>(wanted, range.min, range.max);
    const int64_t step = range.step > 0 ? range.step : 1;
    int64_t steps = (v - range.min + step / 2) / step;
    int64_t snapped = range.min + steps * step;
    if (snapped > range.max) snapped -= step;
    return static_cast<int32_t>(snapped);
}

std::optional<uint8_t> indexAtLocation(UsbDriver& driver, std::string_view location) {
    const uint8_t count = usbDeviceCount(driver);
    for (unsigned i = 0; i < count; ++i) {
        const std::string path = usbDevicePath(driver, static_cast<uint8_t>(i));
        if (!path.empty() && driver.location(path) == location) return static_cast<uint8_t>(i);
    }
    return std::nullopt;
}

}  // namespace

// The open camera's plug events as the driver's thread sees them: whether it left its port since
// it was opened. `onLeft` runs under the lock and is cleared when the session goes.
struct CameraSession::PlugMark {
    std::mutex mutex;
    std::string openPath;
    bool left = false;
    std::function<void()> onLeft;
};

// Tells a transfer that came through from one that lost its camera or had requests fail on
// the way. Made with the work lock held.
class CameraSession::Watch {
public:
    explicit Watch(CameraSession& session)
        : m_session(session), m_location(session.m_camera->device().location()) {
        session.m_failedBefore = session.m_camera->failedRequests();
        ++session.m_wholeTransfers;
    }
    ~Watch() { --m_session.m_wholeTransfers; }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    SessionResult verdict(std::string_view what) const {
        CameraSession& s = m_session;
        const uint64_t failed = s.m_camera->failedRequests() - s.m_failedBefore;
        std::string reason;
        // The camera open when the transfer began, wherever the selection was made.
        if (!s.m_camera->connected() || !indexAtLocation(*s.m_backends->usb, m_location)) {
            reason = "the camera was lost";
        } else if (failed == 1) {
            reason = "a request to the camera failed";
        } else if (failed > 1) {
            reason = fmt::format("{} requests to the camera failed", failed);
        } else {
            s.m_failing = false;
            s.keepStore();
            return SessionResult::done();
        }
        s.m_failing = true;
        std::string message = fmt::format("{} failed: {}", what, reason);
        s.m_log.appendText(true, message);
        return SessionResult::failed(std::move(message));
    }

private:
    CameraSession& m_session;
    std::string m_location;
};

CameraSession::CameraSession(Backends&& backends, ApiLog& log, TransferPrompter& prompter,
                             Options options)
    : m_ownBackends(std::move(backends)),
      m_backends(&m_ownBackends),
      m_log(log),
      m_prompter(prompter),
      m_store(log) {
    start(options);
}

CameraSession::CameraSession(Backends& backends, ApiLog& log, TransferPrompter& prompter,
                             Options options)
    : m_backends(&backends), m_log(log), m_prompter(prompter), m_store(log) {
    start(options);
}

void CameraSession::start(const Options& options) {
    m_reapply = options.reapplyOnReturn;
    m_mark = std::make_shared<PlugMark>();
    // A camera that leaves while no whole transfer runs leaves the store as it stood, pages'
    // edits included; during a transfer the store is half-read, and the last good one is kept.
    m_mark->onLeft = [this] {
        if (m_wholeTransfers == 0) keepStore();
    };
    m_markToken = m_backends->usb->subscribe([mark = m_mark](PlugEvent event,
                                                             const std::string& path) {
        std::lock_guard lock(mark->mutex);
        if (event != PlugEvent::Left || mark->openPath.empty() || path != mark->openPath) return;
        mark->left = true;
        if (mark->onLeft) mark->onLeft();
    });
    m_camera = std::make_unique<ImgSensor>(*m_backends->usb, m_log, options.openFirst,
                                           options.controlTimeoutMs);
    if (m_camera->connected()) {
        // The first camera is open; its versions decide the sensor chip and the firmware gates.
        m_camera->readVersions();
        m_location = m_camera->device().location();
        m_present = true;
    }
    markOpened();
    m_models =
        std::make_unique<PanelModels>(m_store, *m_camera, options.windows, options.preferences);
    m_models->setWork(&m_work);
    m_transfer =
        std::make_unique<CameraTransfer>(m_store, *m_camera, m_models->owners(), m_prompter);
    // Once a request failed, every further one would wait out its time-out as well.
    m_transfer->setContinueCheck([this] { return m_camera->failedRequests() == m_failedBefore; });
}

CameraSession::~CameraSession() {
    // A borrowed driver outlives the session; its callbacks must not.
    while (!m_relays.empty()) unsubscribeDeviceChanges(m_relays.begin()->first);
    if (m_markToken >= 0) m_backends->usb->unsubscribe(m_markToken);
    {
        std::lock_guard lock(m_mark->mutex);
        m_mark->onLeft = nullptr;
    }
    // The owners refer to the camera and the store; they go first.
    m_transfer.reset();
    m_models.reset();
    m_camera.reset();
}

uint8_t CameraSession::deviceCount() { return usbDeviceCount(*m_backends->usb); }

bool CameraSession::connected() const { return m_camera->connected(); }

SessionResult CameraSession::selectDevice(uint8_t index) {
    auto lock = batch();
    const uint8_t count = deviceCount();
    if (count == 0) return SessionResult::failed("no camera found");
    if (index >= count) {
        return SessionResult::failed(fmt::format("no camera {} ({} found)", index, count));
    }
    const bool opened = m_camera->selectDevice(index) && m_camera->connected();
    markOpened();
    m_failing = false;
    if (!opened) {
        m_present = false;
        // The chosen camera is the selection now: plug tracking must not bring back the last.
        m_location = m_backends->usb->location(usbDevicePath(*m_backends->usb, index));
        return SessionResult::failed(fmt::format("camera {} cannot be opened", index));
    }
    m_location = m_camera->device().location();
    m_present = true;
    return SessionResult::done();
}

SessionResult CameraSession::selectLocation(std::string_view location) {
    auto lock = batch();
    const auto index = indexAtLocation(*m_backends->usb, location);
    if (!index) return SessionResult::failed(fmt::format("no camera at port {}", location));
    SessionResult opened = selectDevice(*index);
    // A camera that does not open stays the one chosen, so that it is found again when back.
    m_location = std::string(location);
    return opened;
}

std::string CameraSession::selectedLocation() const { return m_location; }

PlugChange CameraSession::checkPlugged() {
    auto lock = batch();
    // The "Device" page may have opened another camera since the last selection here.
    if (m_present && m_camera->connected()) m_location = m_camera->device().location();
    if (m_location.empty()) return PlugChange::None;
    bool left = false;
    {
        std::lock_guard markLock(m_mark->mutex);
        left = m_mark->left;
    }
    const bool present = indexAtLocation(*m_backends->usb, m_location).has_value();
    bool lost = false;
    // A camera that left and is back already (a reset re-enumerates within the re-check's
    // delay) holds a dead handle: it is lost and found again in one check.
    if (m_present && (left || !present)) {
        m_present = false;
        m_camera->close();
        markOpened();
        lost = true;
    }
    if (!m_present && present && selectLocation(m_location)) {
        m_lastReapply = {};
        if (m_reapply) reapply();
        return PlugChange::Back;
    }
    return lost ? PlugChange::Lost : PlugChange::None;
}

void CameraSession::reapply() {
    SettingsStore::Values kept;
    {
        std::lock_guard keptLock(m_keptMutex);
        kept = m_kept;
    }
    if (kept.empty()) return;
    // The file the values came from and whether they were saved stay as they were.
    const std::string path = m_store.filePath();
    const bool dirty = m_store.dirty();
    m_store.replaceAll(std::move(kept));
    m_store.setFilePath(path);
    m_store.setDirty(dirty);
    const SessionResult pushed = pushAll();
    // The caller reports it, after what it logs on the way, so that the report stays on show.
    if (pushed) {
        m_lastReapply = {true, fmt::format(kReappliedText, m_location)};
    } else {
        m_lastReapply = SessionResult::failed(fmt::format(
            "Re-applying the settings to the camera at port {} failed: {}", m_location,
            pushed.message));
    }
}

void CameraSession::markOpened() {
    std::lock_guard lock(m_mark->mutex);
    m_mark->openPath = m_camera->connected() ? m_camera->device().path() : std::string();
    m_mark->left = false;
}

void CameraSession::keepStore() {
    SettingsStore::Values values = m_store.values();
    if (values.empty()) return;
    std::lock_guard lock(m_keptMutex);
    m_kept = std::move(values);
}

CameraState CameraSession::cameraState() const {
    if (!m_camera->connected()) return CameraState::None;
    {
        std::lock_guard lock(m_mark->mutex);
        if (m_mark->left) return CameraState::Lost;
    }
    return m_failing ? CameraState::Failing : CameraState::Ready;
}

void CameraSession::noteTransfer(bool cameOk) {
    m_failing = !cameOk;
    if (cameOk && m_wholeTransfers == 0) keepStore();
}

// The driver may call a callback it copied before unsubscribe() returned; the relay's lock makes
// unsubscribing wait for such a call and turns any later one into nothing.
struct CameraSession::ChangeRelay {
    std::mutex mutex;
    std::function<void()> changed;
};

int CameraSession::subscribeDeviceChanges(std::function<void()> changed) {
    auto relay = std::make_shared<ChangeRelay>();
    relay->changed = std::move(changed);
    const int token = m_backends->usb->subscribe([relay](PlugEvent, const std::string&) {
        std::lock_guard lock(relay->mutex);
        if (relay->changed) relay->changed();
    });
    if (token < 0) return token;
    std::lock_guard lock(m_relayMutex);
    m_relays[token] = std::move(relay);
    return token;
}

void CameraSession::unsubscribeDeviceChanges(int token) {
    std::shared_ptr<ChangeRelay> relay;
    {
        std::lock_guard lock(m_relayMutex);
        const auto it = m_relays.find(token);
        if (it == m_relays.end()) return;
        relay = std::move(it->second);
        m_relays.erase(it);
    }
    m_backends->usb->unsubscribe(token);
    std::lock_guard lock(relay->mutex);
    relay->changed = nullptr;
}

std::vector<DeviceEntry> CameraSession::listDevices() {
    auto lock = batch();
    UsbDriver& driver = *m_backends->usb;
    // Opening the open camera a second time could find it claimed.
    const std::string openPath = m_camera->connected() ? m_camera->device().path() : "";
    UsbDevice probe(driver);
    const uint8_t count = deviceCount();
    std::vector<DeviceEntry> entries;
    entries.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        m_log.appendMessage(false, "Reading device# %d's status", static_cast<int>(i));
        DeviceEntry entry;
        entry.index = static_cast<uint8_t>(i);
        UsbDevice* device = nullptr;
        if (!openPath.empty() && usbDevicePath(driver, entry.index) == openPath) {
            device = &m_camera->device();
        } else if (probe.open(entry.index)) {
            device = &probe;
        }
        if (device != nullptr) {
            const std::string description = device->infoText(UsbDevice::kTextFriendlyName);
            entry.text = count == 1 ? description : fmt::format("Device #{} ({})", i, description);
            entry.identity = device->infoText(UsbDevice::kTextPath);
            entry.online = true;
        } else {
            entry.text = std::string(kOfflineEntryText);
        }
        // A failed open may leave the handle of a device that did not answer.
        probe.close();
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string CameraSession::openIdentity() {
    auto lock = batch();
    return m_camera->connected() ? m_camera->device().path() : std::string();
}

std::unique_ptr<UvcPropertySource> CameraSession::openUvc() {
    if (!m_backends->capture || !m_camera->connected()) return nullptr;
    const auto device = findCaptureDevice(*m_backends->capture, m_camera->device().location());
    if (!device) return nullptr;
    return openUvcProperties(*m_backends, *device);
}

template <typename F>
auto CameraSession::withUvc(F&& step) {
    // The capture side is opened for the transfer and shut down after it.
    std::unique_ptr<UvcPropertySource> uvc = openUvc();
    m_transfer->setUvcSource(uvc.get());
    auto result = step();
    m_transfer->setUvcSource(nullptr);
    return result;
}

SessionResult CameraSession::readAllValues() {
    auto lock = batch();
    Watch watch(*this);
    const bool read = withUvc([this] { return m_transfer->readAllValues(); });
    // What the camera holds is no change of the user's to save.
    m_store.setDirty(false);
    if (!read) return SessionResult::failed(std::string(kNoCameraStatus));
    return watch.verdict("Reading all values from the camera");
}

void CameraSession::readAllDone(const SessionResult& /*read*/) {
    // A failed read was logged as an error, which the panel's status bar shows; the owners'
    // windows show what did come through.
    m_transfer->readAllDone(m_camera->connected() && !m_store.values().empty());
}

SessionResult CameraSession::readAll() {
    SessionResult read = readAllValues();
    readAllDone(read);
    return read;
}

SessionResult CameraSession::pushAll() {
    auto lock = batch();
    Watch watch(*this);
    if (!m_transfer->pushAll()) return SessionResult::failed("the camera is not connected");
    return watch.verdict("Pushing all values to the camera");
}

LoadResult CameraSession::loadSettingsAndPush(const std::string& path) {
    auto lock = batch();
    Watch watch(*this);
    LoadResult r;
    r.outcome = withUvc([&] { return m_transfer->loadSettingsAndPush(path); });
    switch (r.outcome) {
        case LoadOutcome::Pushed:
            r.result = watch.verdict("Pushing the settings to the camera");
            break;
        case LoadOutcome::NotConnected:
            r.result = SessionResult::failed("the camera is not connected");
            break;
        case LoadOutcome::NotLoaded:
            r.result = SessionResult::failed("Settings were not loaded");
            break;
        case LoadOutcome::Declined:
            r.result = SessionResult::failed(std::string(kDifferentSensorQuestion));
            break;
    }
    return r;
}

SessionResult CameraSession::loadFile(const std::string& path) {
    if (!m_transfer->loadFile(path)) return SessionResult::failed("Settings were not loaded");
    return SessionResult::done();
}

SessionResult CameraSession::saveFile() {
    auto lock = batch();
    Watch watch(*this);
    if (!withUvc([this] { return m_transfer->saveFile(); })) {
        return SessionResult::failed("the settings were not saved");
    }
    return watch.verdict("Reading the camera's identity for the file");
}

SessionResult CameraSession::saveFileAs() {
    auto lock = batch();
    if (!withUvc([this] { return m_transfer->saveFileAs(); })) {
        return SessionResult::failed("the settings were not saved");
    }
    return SessionResult::done();
}

SessionResult CameraSession::saveFileAs(const std::string& path) {
    auto lock = batch();
    if (!withUvc([&] { return m_transfer->saveFileAs(path); })) {
        return SessionResult::failed(fmt::format("the settings were not saved to {}", path));
    }
    return SessionResult::done();
}

SessionResult CameraSession::readAllForFile() {
    auto lock = batch();
    if (SessionResult read = readAllValues(); !read) return read;
    Watch watch(*this);
    withUvc([this] {
        m_transfer->storeSaveExtras();
        return true;
    });
    return watch.verdict("Reading the camera's identity and UVC values");
}

SessionResult CameraSession::readAndSave(const std::string& path) {
    auto lock = batch();
    if (SessionResult read = readAllForFile(); !read) return read;
    return saveFileAs(path);
}

SessionResult CameraSession::resetDevice(bool force) {
    auto lock = batch();
    if (!m_camera->connected()) {
        if (!force) return SessionResult::failed("the camera is not connected");
        // Forcing means trying the first camera the driver lists; without one nothing is sent.
        m_camera->selectDevice(0);
        markOpened();
    }
    if (!m_camera->reset()) {
        m_log.appendText(true, "The camera did not take the reset command");
        return SessionResult::failed("The camera did not take the reset command");
    }
    m_log.appendText(false, "Reset command sent to the camera");
    return SessionResult::done();
}

SessionResult CameraSession::toggleAutoExposure(bool wasChecked) {
    auto lock = batch();
    const auto source = openUvc();
    UvcProperties* set = source ? source->cameraControl() : nullptr;
    const auto now = set ? set->get(UvcCameraControl::kExposure) : std::nullopt;
    if (!now || !set->set(UvcCameraControl::kExposure, now->value,
                          wasChecked ? kUvcFlagManual : kUvcFlagAuto)) {
        m_log.appendText(true, "Failed to switch the automatic exposure");
        return SessionResult::failed("Failed to switch the automatic exposure");
    }
    return SessionResult::done();
}

SessionResult CameraSession::toggleAutoWhiteBalance(bool wasChecked) {
    auto lock = batch();
    const auto source = openUvc();
    UvcProperties* set = source ? source->procAmp() : nullptr;
    const auto now = set ? set->get(UvcProcAmp::kWhiteBalance) : std::nullopt;
    int32_t manual = kManualWhiteBalance;
    if (const auto range = set ? set->range(UvcProcAmp::kWhiteBalance) : std::nullopt) {
        manual = nearestSetting(kManualWhiteBalance, *range);
    }
    const bool ok = now && (wasChecked
                                ? set->set(UvcProcAmp::kWhiteBalance, manual, kUvcFlagManual)
                                : set->set(UvcProcAmp::kWhiteBalance, now->value, kUvcFlagAuto));
    if (!ok) {
        m_log.appendText(true, "Failed to switch the automatic white balance");
        return SessionResult::failed("Failed to switch the automatic white balance");
    }
    return SessionResult::done();
}

SessionResult CameraSession::toggleSdi(bool wasChecked) {
    auto lock = batch();
    if (m_camera->setCameraValue(Fx3Channel::kSdiOutput, wasChecked ? 0 : 1) != kStatusDone) {
        m_log.appendText(true, "Failed to switch the SDI output");
        return SessionResult::failed("Failed to switch the SDI output");
    }
    if (wasChecked) return SessionResult::done();
    // SDI needs a fixed exposure and a linear picture.
    if (const auto source = openUvc()) {
        if (UvcProperties* cc = source->cameraControl()) {
            cc->set(UvcCameraControl::kExposure, kSdiExposureProperty, kUvcFlagManual);
        }
        if (UvcProperties* amp = source->procAmp()) {
            amp->set(UvcProcAmp::kGamma, kSdiGamma, kUvcFlagManual);
        }
    }
    m_camera->chip().sensorValue(kValueExposure, kSdiSensorExposure);
    m_camera->chip().sensorValue(kValueBlackLevel, kSdiBlackLevel);
    return SessionResult::done();
}

CameraMenuState CameraSession::menuState() {
    auto lock = batch();
    CameraMenuState m;
    // A camera that left, or whose requests fail, cannot take a command any more than none.
    m.connected = cameraState() == CameraState::Ready;
    if (!m.connected) return m;
    const VersionInfoFX3& fx3 = m_camera->versionFX3();
    m.sysInternals = fx3.buildAtLeast(kSysInternalsBuild);
    m.cmx = fx3.buildAtLeast(kCmxBuild);
    m.lumaVsLumaCurrent = fx3.buildAtLeast(kLumaVsLumaCurrentBuild);
    m.noiseReduction = m_camera->cameraValueAvailable(Fx3Channel::kNrChroma) ||
                       m_camera->cameraValueAvailable(Fx3Channel::kNrLuma);
    if (m_camera->cameraValueAvailable(Fx3Channel::kSdiOutput)) {
        m.sdiOutput.enabled = true;
        const ChannelValue v = m_camera->getCameraValue(Fx3Channel::kSdiOutput);
        m.sdiOutput.checked = v.status == kStatusDone && v.value != 0;
    }
    // Each automatic control needs both capabilities of its property; checked while automatic.
    const auto source = openUvc();
    if (!source) return m;
    auto showAuto = [](MenuItemState& item, UvcProperties* set, int32_t property) {
        if (set == nullptr) return;
        const auto range = set->range(property);
        const int32_t both = kUvcFlagAuto | kUvcFlagManual;
        if (!range || (range->caps & both) != both) return;
        item.enabled = true;
        const auto now = set->get(property);
        item.checked = now && (now->flags & kUvcFlagAuto) != 0;
    };
    showAuto(m.autoExposure, source->cameraControl(), UvcCameraControl::kExposure);
    showAuto(m.autoWhiteBalance, source->procAmp(), UvcProcAmp::kWhiteBalance);
    return m;
}

}  // namespace TVR
