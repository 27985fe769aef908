#pragma once

// CTabBasic: the "Device" page. Lists the cameras present, opens the one the user selects on
// the session's camera object and reads all its values, shows its sensor and firmware, edits its
// control port, and rebuilds the list when cameras come and go (the session's device changes,
// re-checked 200 ms after the last one, when the session also checks the selected camera).
// User-interface thread; device changes arrive queued.

#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

#include "shell/device_list_model.h"
#include "shell/dlg_base.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace TVR {

class CameraSession;
class Preferences;
class TabBasicModel;

// The page's message boxes; tests answer them without a modal loop.
class PageMessages {
public:
    virtual ~PageMessages() = default;
    // An exclamation-icon box with an OK button.
    virtual void warning(const QString& title, const QString& text) = 0;
};

class CTabBasic : public CDlgBaseTab {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 105;
    static constexpr int kDeviceBoxId = 1015;
    static constexpr int kControlPortId = 1018;
    static constexpr int kChipsetId = 1066;
    static constexpr int kFx3VersionId = 1081;
    static constexpr int kFpgaVersionId = 1082;
    static constexpr int kFx3UpgradeId = 1270;
    static constexpr int kFpgaUpgradeId = 1271;

    // Builds the list with the session's camera object and selects a camera; device tracking
    // starts when `DevNotify` is nonzero. `messages` null: real message boxes. The session and
    // the preferences must outlive the page.
    CTabBasic(CameraSession& session, const Preferences& preferences,
              const PreferencesStorage* geometry, QWidget* parent,
              PageMessages* messages = nullptr);
    ~CTabBasic() override;

    void updateControls() override;
    // The page stays usable without a camera (it is where another one is chosen); it shows no
    // chip and no versions then.
    void setCameraValid(bool valid) override;
    // Asked before another camera is opened in place of one with unsaved changes; false keeps
    // the current selection. Unset: nothing is asked.
    void setSwitchCheck(std::function<bool()> check) { m_switchCheck = std::move(check); }

    const DeviceListModel& deviceList() const { return m_list; }
    // `_setupDeviceList` over the session's list of cameras.
    void setupDeviceList();

    // `DevNotify`: on registers for the session's device changes (a failure is reported and leaves
    // tracking without effect), off drops the registration.
    void setDeviceTracking(bool on);
    bool deviceTracking() const { return m_list.tracking(); }
    bool registeredForDeviceChanges() const { return m_token >= 0; }
    // What a selection reads: the main window's full read (store, pages, status, menu). Until
    // set, the session's read all.
    void setReadAll(std::function<void()> readAll) { m_readAll = std::move(readAll); }
    // Runs after the selected camera was lost without the list being rebuilt, so that the main
    // window greys what needs the camera.
    void setCameraLost(std::function<void()> lost) { m_cameraLost = std::move(lost); }
    // While the firmware upgrade runs, device changes are not acted on.
    void setDeviceChangesSuspended(bool on) { m_list.setSuspended(on); }
    bool recheckPending() const { return m_recheck.isActive(); }

public slots:
    // A device change: (re)starts the re-check timer while tracking is on.
    void deviceChange();

signals:
    // A click on a visible "Upgrade available" notice (1270 FX3, 1271 FPGA).
    void upgradeClicked(int controlId);
    // The selected camera was opened (its upgrade notices were hidden).
    void cameraOpened();

private:
    void buildControls();
    void selectionChange();
    void onBoxChanged(int index);
    void onControlPortEdited(const QString& text);
    void onRecheck();
    void showTexts(bool withPort);
    void registerDeviceChanges();
    void unregisterDeviceChanges();
    void warn(const QString& title, const QString& text);

    CameraSession& m_session;
    TabBasicModel& m_basic;
    PageMessages* m_messages;
    std::function<void()> m_readAll;
    std::function<bool()> m_switchCheck;
    std::function<void()> m_cameraLost;
    int m_selections = 0;
    int m_shownIndex = -1;
    // Follows the selected camera through unplugging and resets, whether or not the list
    // tracks device changes.
    int m_followToken = -1;
    DeviceListModel m_list;
    QTimer m_recheck;
    int m_token = -1;
    bool m_filling = false;

    QComboBox* m_box = nullptr;
    QLineEdit* m_port = nullptr;
    QLabel* m_chipset = nullptr;
    QLabel* m_fx3 = nullptr;
    QLabel* m_fpga = nullptr;
    QLabel* m_fx3Upgrade = nullptr;
    QLabel* m_fpgaUpgrade = nullptr;
};

}  // namespace TVR
