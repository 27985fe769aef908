#include "firmware_tools.h"

#include <QGuiApplication>
#include <QLabel>
#include <QTabWidget>

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "session/camera_session.h"
#include "settings/camera_work.h"
#include "settings/preferences.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/dlg_base.h"
#include "shell/tab_basic.h"
#include "shell/user_dialogs.h"
#include "tools/firmware/fw_upgrade_ctrl.h"
#include "tools/firmware/fw_upgrade_popup_dlg.h"

namespace TVR {

namespace {

constexpr int kDefaultFwRelease = 4;

size_t slot(UpgradeTarget target) { return target == UpgradeTarget::Fx3 ? 0 : 1; }

}  // namespace

FirmwareTools::FirmwareTools(CbriscoDlg& window, FirmwareToolsOptions options)
    : QObject(&window), m_window(window), m_options(std::move(options)) {
    setObjectName(QString::fromLatin1(kObjectName));
    CTabBasic* basic = deviceTab();
    for (UpgradeTarget t : {UpgradeTarget::Fx3, UpgradeTarget::Fpga}) {
        const int id =
            t == UpgradeTarget::Fx3 ? CTabBasic::kFx3UpgradeId : CTabBasic::kFpgaUpgradeId;
        QLabel* label = basic ? basic->findChild<QLabel*>(controlName(id)) : nullptr;
        m_links[slot(t)] = new FwUpgradeCtrl(label, t, this);
    }
    if (basic != nullptr) {
        connect(basic, &CTabBasic::upgradeClicked, this, [this](int id) {
            linkClicked(id == CTabBasic::kFx3UpgradeId ? UpgradeTarget::Fx3 : UpgradeTarget::Fpga);
        });
        if (m_options.followCamera) {
            connect(basic, &CTabBasic::cameraOpened, this, &FirmwareTools::checkUpgradeLinks);
        }
    }
}

FirmwareTools::~FirmwareTools() {
    if (m_check.joinable()) m_check.join();
}

CTabBasic* FirmwareTools::deviceTab() const {
    for (const Page& page : m_window.pages()) {
        if (auto* basic = qobject_cast<CTabBasic*>(page.widget)) return basic;
    }
    return nullptr;
}

FwUpgradeCtrl* FirmwareTools::link(UpgradeTarget target) const { return m_links[slot(target)]; }

std::optional<bool> FirmwareTools::runUpgrade(UpgradeOptions options) {
    CameraSession& session = m_window.session();
    if (session.work().busy()) {
        session.log().appendText(false, std::string(kCameraBusyText));
        return std::nullopt;
    }
    CTabBasic* basic = deviceTab();
    if (basic != nullptr) basic->setDeviceChangesSuspended(true);
    std::string location;
    {
        // The camera is the job's until the window closes: the panel's own timers and commands
        // find it busy meanwhile.
        const auto work = session.batch();
        location = session.selectedLocation();
        CFwUpgradePopupDlg popup(session.camera(), std::move(options), m_window.context().dialogs,
                                 &m_window);
        popup.exec();
        m_lastLog = popup.logText();
        m_lastOutcome = popup.outcome();
    }
    // The camera came back (or not) under the job's own reconnect; the session opens it again
    // by its port, as a device arrival would.
    SessionResult reopened = SessionResult::failed({});
    if (!location.empty()) reopened = session.selectLocation(location);
    if (!reopened) session.selectDevice(0);
    if (basic != nullptr) {
        basic->setDeviceChangesSuspended(false);
        basic->setupDeviceList();
    }
    m_window.readAllFromCamera();
    return m_lastOutcome;
}

void FirmwareTools::showUpgradeDialog() {
    CameraSession& session = m_window.session();
    CTabBasic* basic = deviceTab();
    if (basic != nullptr) basic->setDeviceChangesSuspended(true);
    {
        FwUpgradeDlgSetup setup{
            session.camera(),
            m_window.context().preferences.number(PreferenceName::kFwRelease, kDefaultFwRelease),
            m_options.server,
            m_options.timing,
            m_window.context().dialogs,
            m_options.chooseImage,
            [this](UpgradeOptions o) { return runUpgrade(std::move(o)); }};
        CFwUpgradeDlg dialog(std::move(setup), &m_window);
        dialog.exec();
    }
    if (basic != nullptr) basic->setDeviceChangesSuspended(false);
}

void FirmwareTools::dropImage(const QString& path, bool fpga, bool ramOnly) {
    const UpgradeTarget target = fpga ? UpgradeTarget::Fpga : UpgradeTarget::Fx3;
    if (const auto refused = checkDroppedImage(path.toStdString(), target)) {
        MessageRequest r;
        r.icon = QMessageBox::Critical;
        r.title = QString::fromStdString(refused->title);
        r.text = QString::fromStdString(refused->text);
        m_window.context().dialogs.message(&m_window, r);
        return;
    }
    UpgradeOptions options;
    options.target = target;
    options.source = ImageSource::LocalFile;
    options.path = path.toStdString();
    options.ramOnly = ramOnly && target == UpgradeTarget::Fx3;
    options.timing = m_options.timing;
    runUpgrade(std::move(options));
}

void FirmwareTools::checkUpgradeLinks() {
    if (m_checking) {
        m_checkAgain = true;
        return;
    }
    CameraSession& session = m_window.session();
    // The records are copied while no batch changes them; a busy camera is looked at later.
    auto work = session.tryBatch();
    if (!work) return;
    const VersionInfoFX3 fx3 = session.camera().versionFX3();
    const VersionInfoFPGA fpga = session.camera().versionFPGA();
    work.reset();
    const int kind =
        m_window.context().preferences.number(PreferenceName::kFwRelease, kDefaultFwRelease);
    if (m_check.joinable()) m_check.join();
    m_checking = true;
    m_check = std::thread([this, fx3, fpga, kind, server = m_options.server] {
        FwLinkCheck check = checkFwUpgradeLinks(fx3, fpga, kind, server);
        // The tools wait for this thread before they go.
        QMetaObject::invokeMethod(
            this, [this, check = std::move(check)] { onLinks(check); }, Qt::QueuedConnection);
    });
}

void FirmwareTools::onLinks(const FwLinkCheck& check) {
    m_checking = false;
    // A missing network is no fault of the camera: an information line, not an error.
    for (const std::string& e : check.errors) m_window.session().log().appendText(false, e);
    link(UpgradeTarget::Fx3)->setLink(check.fx3);
    link(UpgradeTarget::Fpga)->setLink(check.fpga);
    if (m_checkAgain) {
        m_checkAgain = false;
        checkUpgradeLinks();
    }
}

void FirmwareTools::linkClicked(UpgradeTarget target) {
    FwUpgradeCtrl* ctrl = link(target);
    if (!ctrl->link().visible) return;
    UpgradeOptions options;
    options.target = target;
    options.source = ImageSource::Server;
    options.path = ctrl->link().release.path;
    options.size = ctrl->link().release.size;
    options.serverBase = m_options.server.baseAddress();
    options.timing = m_options.timing;
    ctrl->clear();
    runUpgrade(std::move(options));
}

FirmwareTools& registerFirmwareTools(CbriscoDlg& window, FirmwareToolsOptions options) {
    delete firmwareTools(window);
    auto* tools = new FirmwareTools(window, std::move(options));
    window.registerCommand(MenuId::kFirmwareUpdate, [tools] { tools->showUpgradeDialog(); });
    window.setFirmwareDropHandler([tools](const QString& path, bool fpga) {
        // Shift held while dropping an FX3 image loads it into RAM only.
        const bool shift = QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
        tools->dropImage(path, fpga, shift);
    });
    return *tools;
}

FirmwareTools* firmwareTools(CbriscoDlg& window) {
    return window.findChild<FirmwareTools*>(QString::fromLatin1(FirmwareTools::kObjectName),
                                            Qt::FindDirectChildrenOnly);
}

}  // namespace TVR
