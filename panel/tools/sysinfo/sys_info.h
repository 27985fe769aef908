#pragma once

// CSysInfo: the "Device's internal system information" window: the FX3 system-information
// record as check boxes and counters, read again on "Refresh" with the chosen corruption checks.
// It owns its SysInfoModel. User-interface thread only.

#include <array>

#include "shell/dlg_base.h"
#include "tools/consoles/owned_model.h"
#include "tools/sysinfo/sys_info_model.h"

class QCheckBox;
class QLabel;

namespace TVR {

// The model comes first among the bases, so it outlives the dialog base's teardown; the window
// declares no signals of its own.
class CSysInfo : private OwnedModel<SysInfoModel>, public CDlgBaseFX3 {
public:
    static constexpr int kTemplateId = 126;
    static constexpr int kRefresh = 1286;
    static constexpr int kHeader = 1297;
    static constexpr int kFirstFeature = 1298;  // .. 1303
    static constexpr int kFirstEnabled = 1304;  // .. 1310
    static constexpr int kHeapAllocations = 1311;
    static constexpr int kHeapFrees = 1312;
    static constexpr int kDmaAllocations = 1313;
    static constexpr int kDmaFrees = 1314;
    static constexpr int kUsb = 1315;
    static constexpr int kPower = 1316;
    static constexpr int kPhyErrors = 1317;
    static constexpr int kLinkErrors = 1318;
    static constexpr int kCheckMemory = 1319;
    static constexpr int kCheckDma = 1320;
    static constexpr int kSfp = 1321;
    static constexpr int kStatus = 1322;

    CSysInfo(SettingsStore& store, ImgSensor& camera, CameraWork& work,
             const PreferencesStorage* geometry, QWidget* parent);
    ~CSysInfo() override;

    void updateControls() override;
    // "Refresh": the record read again when connected, then the controls.
    void refresh();

private:
    QLabel* m_header = nullptr;
    std::array<QCheckBox*, 6> m_features{};
    std::array<QCheckBox*, 7> m_enabled{};
    QCheckBox* m_sfp = nullptr;
    QCheckBox* m_checkMemory = nullptr;
    QCheckBox* m_checkDma = nullptr;
    std::array<QLabel*, 4> m_counters{};
    QLabel* m_usb = nullptr;
    QLabel* m_power = nullptr;
    QLabel* m_phy = nullptr;
    QLabel* m_link = nullptr;
    QLabel* m_status = nullptr;
    QWidget* m_values = nullptr;
};

}  // namespace TVR
