#pragma once

// The firmware upgrade's place in the main window: the "Firmware update..." command with its
// dialog, dropped FX3 and FPGA images, and the Device page's two upgrade links, fed by the
// server's latest releases. Every job runs behind the progress window while the camera's work
// is held for it and device changes are ignored; the panel reconnects to the camera afterwards.
// User-interface thread; the link check runs on a worker and reports queued.

#include <QObject>
#include <QString>
#include <array>
#include <optional>
#include <thread>

#include "download_server.h"
#include "tools/firmware/fw_upgrade_dlg.h"

namespace TVR {

class CbriscoDlg;
class CTabBasic;
class FwUpgradeCtrl;

struct FirmwareToolsOptions {
    DownloadServer server = DownloadServer::fromSettings();
    UpgradeTiming timing;
    ImageChooser chooseImage;  // null: the desktop's file dialog
    // Ask the server again whenever the Device page opens a camera.
    bool followCamera = false;
};

class FirmwareTools : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kObjectName = "firmwareTools";

    FirmwareTools(CbriscoDlg& window, FirmwareToolsOptions options);
    // Waits for a link check under way.
    ~FirmwareTools() override;

    // One job behind the progress window; then the panel reconnects and reads the camera. The
    // outcome; empty when it could not start or was abandoned.
    std::optional<bool> runUpgrade(UpgradeOptions options);
    // The modal "Firmware update..." dialog.
    void showUpgradeDialog();
    // A dropped image ("bin": FPGA, else FX3), after its size check; `ramOnly` for FX3 only.
    void dropImage(const QString& path, bool fpga, bool ramOnly);

    // Asks the server for the latest releases of the `FwRelease` kind and shows or hides the
    // Device page's links when the answer comes.
    void checkUpgradeLinks();
    bool linkCheckRunning() const { return m_checking; }
    FwUpgradeCtrl* link(UpgradeTarget target) const;
    // A click on a shown link: a server job for its target.
    void linkClicked(UpgradeTarget target);

    // The progress window's log and outcome of the last job.
    const QString& lastLog() const { return m_lastLog; }
    std::optional<bool> lastOutcome() const { return m_lastOutcome; }
    const FirmwareToolsOptions& options() const { return m_options; }

private:
    CTabBasic* deviceTab() const;
    void onLinks(const FwLinkCheck& check);

    CbriscoDlg& m_window;
    FirmwareToolsOptions m_options;
    std::array<FwUpgradeCtrl*, 2> m_links{};
    std::thread m_check;
    bool m_checking = false;
    bool m_checkAgain = false;
    QString m_lastLog;
    std::optional<bool> m_lastOutcome;
};

// Installs the firmware commands on the window, replacing an earlier installation.
FirmwareTools& registerFirmwareTools(CbriscoDlg& window, FirmwareToolsOptions options = {});
// The window's installation; null when there is none.
FirmwareTools* firmwareTools(CbriscoDlg& window);

}  // namespace TVR
