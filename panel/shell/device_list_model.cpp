#include "device_list_model.h"

#include <fmt/format.h>

#include <atomic>
#include <utility>

#include "apilog.h"
#include "session/camera_session.h"

namespace TVR {

namespace {

// One list rebuild at a time in the whole process: the enumeration opens every camera, and a
// second one running meanwhile (from another page or a device change) would see them busy.
std::atomic<bool> g_rebuilding{false};

}  // namespace

DeviceListModel::RebuildGuard::RebuildGuard() : m_owns(!g_rebuilding.exchange(true)) {}

DeviceListModel::RebuildGuard::~RebuildGuard() {
    if (m_owns) g_rebuilding.store(false);
}

bool DeviceListModel::rebuildUnderWay() { return g_rebuilding.load(); }

DeviceListModel::DeviceListModel(CameraSession& session) : m_session(session) {}

DeviceListRebuild DeviceListModel::setupDeviceList(const StepRunner& run) {
    DeviceListRebuild out;
    RebuildGuard guard;
    if (!guard.owns()) return out;
    out.ran = true;

    const bool hadSelection = m_selection.has_value();
    std::string previousText;
    std::string previousIdentity;
    if (hadSelection) {
        previousText = m_entries[*m_selection].text;
        previousIdentity = m_entries[*m_selection].identity;
    } else {
        // The session may have opened a camera without the list: at start, or one that came
        // back at its port.
        previousIdentity = m_session.openIdentity();
    }
    m_entries.clear();
    m_selection.reset();

    std::vector<DeviceEntry> entries;
    const auto step = [&] { entries = m_session.listDevices(); };
    if (run) {
        run(kEnumeratingTask, step);
    } else {
        step();
    }
    m_entries = std::move(entries);

    std::optional<size_t> pick;
    for (size_t i = m_entries.size(); i-- > 0;) {
        const DeviceEntry& e = m_entries[i];
        if (e.online && !e.text.empty() && e.identity == previousIdentity) {
            pick = i;
            break;
        }
    }
    if (!pick) {
        for (size_t i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].online) {
                pick = i;
                break;
            }
        }
    }

    if (pick && hadSelection && m_entries[*pick].identity != previousIdentity) {
        out.lostWarning = std::string(kLostDeviceText);
        if (!previousText.empty()) out.lostWarning += fmt::format(" named\n[{}]", previousText);
        m_session.log().appendText(true, out.lostWarning);
    }

    m_selection = pick;
    out.selection = pick;
    out.selectionChanged = !pick || m_entries[*pick].identity != previousIdentity || !hadSelection;
    if (m_entries.empty()) m_session.log().appendText(true, std::string(kNoCamerasText));
    return out;
}

void DeviceListModel::select(std::optional<size_t> entry) {
    if (entry && *entry >= m_entries.size()) entry.reset();
    m_selection = entry;
}

bool DeviceListModel::openSelection() {
    if (!m_selection) return false;
    const uint8_t index = m_entries[*m_selection].index;
    m_session.log().appendMessage(false, "Opening device# %d and reading its status",
                                  static_cast<int>(index));
    if (m_session.selectDevice(index)) return true;
    m_session.log().appendText(true, std::string(kOfflineSelectedText));
    return false;
}

bool DeviceListModel::countChanged() const { return m_session.deviceCount() != m_entries.size(); }

}  // namespace TVR
