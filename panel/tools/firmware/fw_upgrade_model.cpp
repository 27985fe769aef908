#include "fw_upgrade_model.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "release_client.h"
#include "release_parser.h"

namespace TVR {

std::string fwFetchErrorText(std::string_view error) {
    std::string text(kFwFetchError);
    if (!error.empty()) text += fmt::format(": [{}]", error);
    return text;
}

std::vector<std::string> FwUpgradeDlgModel::sourceNames() {
    std::vector<std::string> names{"Local file"};
    for (int kind = kFwFirstReleaseKind; kind <= kFwLastReleaseKind; ++kind) {
        names.emplace_back(VersionInfoBase::releaseKindName(kind));
    }
    return names;
}

int FwUpgradeDlgModel::sourceForKind(int kind) {
    return kind >= kFwFirstReleaseKind && kind <= kFwLastReleaseKind ? kind : kLocalFileSource;
}

std::string FwUpgradeDlgModel::releaseLabel(const FirmwareRelease& release) {
    return fmt::format("v.{}: {}", release.build, VersionInfoBase::releaseKindName(release.kind));
}

std::string FwUpgradeDlgModel::fileFilter(UpgradeTarget target) {
    const bool fx3 = target == UpgradeTarget::Fx3;
    const std::string_view description = fx3 ? "FX3 image" : "FPGA image";
    const std::string_view extension = fx3 ? "img" : "bin";
    return fmt::format("{} file (*.{});;All files (*.*)", description, extension);
}

FwUpgradeDlgModel::FwUpgradeDlgModel(int fwRelease) {
    for (Target& t : m_targets) t.source = sourceForKind(fwRelease);
}

int FwUpgradeDlgModel::releaseKind(UpgradeTarget target) const {
    const int s = at(target).source;
    return s == kLocalFileSource ? 0 : s;
}

void FwUpgradeDlgModel::setSource(UpgradeTarget target, int source) {
    Target& t = at(target);
    const int s =
        source >= kLocalFileSource && source <= kFwLastReleaseKind ? source : kLocalFileSource;
    if (s == t.source) return;
    t.source = s;
    t.releases.clear();
    t.selected = -1;
}

bool FwUpgradeDlgModel::setReleases(UpgradeTarget target, int kind, ReleaseList list,
                                    std::string* error) {
    Target& t = at(target);
    // A reply for a source the user has already left.
    if (kind == 0 || releaseKind(target) != kind) return false;
    t.releases.clear();
    t.selected = -1;
    if (!list.error.empty()) {
        if (error != nullptr) *error = fwFetchErrorText(list.error);
        return false;
    }
    std::erase_if(list.releases, [](const FirmwareRelease& r) { return r.path.empty(); });
    sortNewestFirst(list.releases);
    t.releases = std::move(list.releases);
    if (!t.releases.empty()) t.selected = 0;
    return true;
}

std::vector<std::string> FwUpgradeDlgModel::releaseLabels(UpgradeTarget target) const {
    std::vector<std::string> labels;
    for (const FirmwareRelease& r : at(target).releases) labels.push_back(releaseLabel(r));
    return labels;
}

void FwUpgradeDlgModel::selectRelease(UpgradeTarget target, int index) {
    Target& t = at(target);
    t.selected = index >= 0 && static_cast<size_t>(index) < t.releases.size() ? index : -1;
}

void FwUpgradeDlgModel::setLocalPath(UpgradeTarget target, std::string path) {
    at(target).localPath = std::move(path);
}

std::string FwUpgradeDlgModel::path(UpgradeTarget target) const {
    const Target& t = at(target);
    if (t.source == kLocalFileSource) return t.localPath;
    if (t.selected < 0) return {};
    return t.releases[static_cast<size_t>(t.selected)].path;
}

std::optional<UpgradeOptions> FwUpgradeDlgModel::job(UpgradeTarget target, int currentBuild,
                                                     UpgradeQuestions& questions,
                                                     const std::string& serverBase,
                                                     const UpgradeTiming& timing) const {
    if (!canUpgrade(target)) return std::nullopt;
    const Target& t = at(target);
    UpgradeOptions options;
    options.target = target;
    options.ramOnly = false;
    options.timing = timing;
    if (t.source == kLocalFileSource) {
        options.source = ImageSource::LocalFile;
        options.path = t.localPath;
        return options;
    }
    const FirmwareRelease& release = t.releases[static_cast<size_t>(t.selected)];
    // Builds beyond int never come from a real server; they count as newer.
    const int chosen = release.build > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(release.build);
    if (!confirmServerUpgrade(currentBuild, chosen, questions)) return std::nullopt;
    options.source = ImageSource::Server;
    options.path = release.path;
    options.size = release.size;
    options.serverBase = serverBase;
    return options;
}

ReleaseList fetchFwReleases(const VersionInfoBase& record, int kind, const DownloadServer& server) {
    if (!record.valid()) return {};
    return ReleaseClient(server).releases(record, kind);
}

void FwUpgradeMonitor::setNotify(std::function<void()> notify) {
    std::lock_guard lock(m_mutex);
    m_notify = std::move(notify);
}

void FwUpgradeMonitor::notify() {
    std::function<void()> n;
    {
        std::lock_guard lock(m_mutex);
        n = m_notify;
    }
    if (n) n();
}

void FwUpgradeMonitor::logText(const std::string& text) {
    {
        std::lock_guard lock(m_mutex);
        m_log += text;
        m_pending.text += text;
    }
    notify();
}

void FwUpgradeMonitor::progress(int percent) {
    {
        std::lock_guard lock(m_mutex);
        m_pending.progress = std::clamp(percent, 0, 100);
    }
    notify();
}

void FwUpgradeMonitor::fpgaStatus(uint16_t status, uint16_t changed) {
    {
        std::lock_guard lock(m_mutex);
        m_pending.status = status;
        m_pending.changed = static_cast<uint16_t>(m_pending.changed | changed);
    }
    notify();
}

void FwUpgradeMonitor::clearIndicators() {
    {
        std::lock_guard lock(m_mutex);
        m_pending.status = 0;
        m_pending.changed = 0;
        m_pending.cleared = true;
    }
    notify();
}

void FwUpgradeMonitor::finished(bool success) {
    {
        std::lock_guard lock(m_mutex);
        m_outcome = success;
        m_pending.done = success;
    }
    notify();
}

FwMonitorChanges FwUpgradeMonitor::take() {
    std::lock_guard lock(m_mutex);
    FwMonitorChanges out = m_pending;
    // The bar and the status word stand until they change; the rest is delivered once.
    m_pending.text.clear();
    m_pending.changed = 0;
    m_pending.cleared = false;
    m_pending.done.reset();
    return out;
}

std::string FwUpgradeMonitor::log() const {
    std::lock_guard lock(m_mutex);
    return m_log;
}

std::optional<bool> FwUpgradeMonitor::outcome() const {
    std::lock_guard lock(m_mutex);
    return m_outcome;
}

FwUpgradeLink fwUpgradeLinkFor(const VersionInfoBase& record, const LatestRelease& latest) {
    FwUpgradeLink link;
    const FirmwareRelease& r = latest.release;
    if (!record.valid() || !latest.error.empty() || r.path.empty() || r.size <= 0) return link;
    if (static_cast<int64_t>(record.build()) >= static_cast<int64_t>(r.build)) return link;
    link.visible = true;
    link.release = r;
    link.text =
        fmt::format("Upgrade to v.{} ({})", r.build, VersionInfoBase::releaseKindName(r.kind));
    return link;
}

FwLinkCheck checkFwUpgradeLinks(const VersionInfoFX3& fx3, const VersionInfoFPGA& fpga, int kind,
                                const DownloadServer& server) {
    FwLinkCheck out;
    const ReleaseClient client(server);
    auto one = [&](const VersionInfoBase& record, FwUpgradeLink& link) {
        if (!record.valid()) return;
        const LatestRelease latest = client.latestRelease(record, kind);
        if (!latest.error.empty()) out.errors.push_back(fwFetchErrorText(latest.error));
        link = fwUpgradeLinkFor(record, latest);
    };
    one(fx3, out.fx3);
    one(fpga, out.fpga);
    return out;
}

}  // namespace TVR
