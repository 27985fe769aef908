#pragma once

// CFwUpgradeDlg: "Firmware upgrade for FX3 and FPGA". It shows both firmware versions and, per
// target, where the new image comes from (a local file or the server's releases of a kind),
// asks the downgrade question and hands the job to the runner, which shows the progress window.
// Release lists are fetched on worker threads and arrive queued. User-interface thread only.

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "download_server.h"
#include "tools/firmware/fw_upgrade_model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace TVR {

class FX3;
class UserDialogs;

// Asks for an image file with the given filter; empty when cancelled.
using ImageChooser = std::function<std::optional<QString>(QWidget* parent, const QString& filter,
                                                          const QString& current)>;
// Runs one job behind the progress window; its outcome, empty when it did not run to the end.
using UpgradeRunner = std::function<std::optional<bool>(UpgradeOptions options)>;

struct FwUpgradeDlgSetup {
    FX3& camera;  // read for its version records only
    int fwRelease = 4;
    DownloadServer server;
    UpgradeTiming timing;
    UserDialogs& dialogs;
    ImageChooser chooseImage;  // null: the desktop's file dialog
    UpgradeRunner runUpgrade;
};

class CFwUpgradeDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Firmware upgrade for FX3 and FPGA";

    CFwUpgradeDlg(FwUpgradeDlgSetup setup, QWidget* parent);
    // Waits for release fetches still under way.
    ~CFwUpgradeDlg() override;

    const FwUpgradeDlgModel& model() const { return m_model; }
    int fetchesPending() const { return m_pending; }
    // Re-reads the camera's records into the version texts.
    void showVersions();
    // The target's upgrade button.
    void upgrade(UpgradeTarget target);

private:
    struct Row {
        QComboBox* source = nullptr;
        QComboBox* releases = nullptr;
        QLineEdit* path = nullptr;
        QPushButton* browse = nullptr;
        QPushButton* upgrade = nullptr;
        QLabel* version = nullptr;
    };
    Row& row(UpgradeTarget target) { return m_rows[target == UpgradeTarget::Fx3 ? 0 : 1]; }
    void buildRow(UpgradeTarget target, QWidget* box);
    void onSourceChanged(UpgradeTarget target, int index);
    void fetch(UpgradeTarget target);
    void onReleases(UpgradeTarget target, int kind, ReleaseList list);
    void browse(UpgradeTarget target);
    void showRow(UpgradeTarget target);

    FwUpgradeDlgSetup m_setup;
    FwUpgradeDlgModel m_model;
    std::array<Row, 2> m_rows;
    std::vector<std::thread> m_fetches;
    int m_pending = 0;
};

}  // namespace TVR
