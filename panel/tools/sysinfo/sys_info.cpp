#include "tools/sysinfo/sys_info.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "sensor/img_sensor.h"
#include "shell/qt_text.h"

namespace TVR {

namespace {

constexpr const char* kSysInfoWindowTitle = "Device's internal system information";
constexpr std::array<const char*, 6> kFeatureNames = {
    "USB3",     "OTG (USB 2.0 host mode)", "512 KB system RAM",
    "I\u00b2S", "8/16-bit GPIF II/PIB",    "24/32-bit GPIF II"};
constexpr std::array<const char*, 7> kEnabledNames = {"I\u00b2C", "I\u00b2S", "UART", "SPI",
                                                      "PIB",      "PIB DLL",  "LPP"};
constexpr std::array<const char*, 4> kCounterNames = {
    "Heap allocations:", "Heap frees:", "DMA allocations:", "DMA frees:"};

QCheckBox* shownBox(const char* text, int id) {
    auto* box = new QCheckBox(QString::fromUtf8(text));
    box->setObjectName(controlName(id));
    // The boxes show the record; a click must not make them say something else.
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QLabel* namedLabel(int id) {
    auto* label = new QLabel;
    label->setObjectName(controlName(id));
    return label;
}

}  // namespace

CSysInfo::CSysInfo(SettingsStore& store, ImgSensor& camera, CameraWork& work,
                   const PreferencesStorage* geometry, QWidget* parent)
    : OwnedModel<SysInfoModel>(store, camera, work), CDlgBaseFX3(ownedModel, geometry, parent) {
    setWindowTitle(QString::fromUtf8(kSysInfoWindowTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* top = new QVBoxLayout(this);
    m_header = namedLabel(kHeader);
    top->addWidget(m_header);
    m_status = namedLabel(kStatus);
    top->addWidget(m_status);

    m_values = new QWidget;
    auto* columns = new QHBoxLayout(m_values);
    columns->setContentsMargins(0, 0, 0, 0);
    auto* features = new QGroupBox(QStringLiteral("Supported features"));
    auto* featureLines = new QVBoxLayout(features);
    for (size_t i = 0; i < m_features.size(); ++i) {
        m_features[i] = shownBox(kFeatureNames[i], kFirstFeature + static_cast<int>(i));
        featureLines->addWidget(m_features[i]);
    }
    columns->addWidget(features);
    auto* enabled = new QGroupBox(QStringLiteral("Enabled blocks"));
    auto* enabledLines = new QVBoxLayout(enabled);
    for (size_t i = 0; i < m_enabled.size(); ++i) {
        m_enabled[i] = shownBox(kEnabledNames[i], kFirstEnabled + static_cast<int>(i));
        enabledLines->addWidget(m_enabled[i]);
    }
    m_sfp = shownBox("SFP+ cage active", kSfp);
    enabledLines->addWidget(m_sfp);
    columns->addWidget(enabled);
    auto* counters = new QGroupBox(QStringLiteral("Counters"));
    auto* grid = new QGridLayout(counters);
    for (size_t i = 0; i < m_counters.size(); ++i) {
        grid->addWidget(new QLabel(QString::fromUtf8(kCounterNames[i])), static_cast<int>(i), 0);
        m_counters[i] = namedLabel(kHeapAllocations + static_cast<int>(i));
        grid->addWidget(m_counters[i], static_cast<int>(i), 1);
    }
    m_usb = namedLabel(kUsb);
    m_power = namedLabel(kPower);
    grid->addWidget(m_usb, 4, 0, 1, 2);
    grid->addWidget(m_power, 5, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("USB PHY errors:")), 6, 0);
    m_phy = namedLabel(kPhyErrors);
    grid->addWidget(m_phy, 6, 1);
    grid->addWidget(new QLabel(QStringLiteral("USB link errors:")), 7, 0);
    m_link = namedLabel(kLinkErrors);
    grid->addWidget(m_link, 7, 1);
    columns->addWidget(counters);
    top->addWidget(m_values);

    auto* bottom = new QHBoxLayout;
    auto* checks = new QGroupBox(QStringLiteral("Perform corruption check"));
    auto* checkLine = new QHBoxLayout(checks);
    m_checkMemory = new QCheckBox(QStringLiteral("Memory"));
    m_checkMemory->setObjectName(controlName(kCheckMemory));
    m_checkDma = new QCheckBox(QStringLiteral("DMA"));
    m_checkDma->setObjectName(controlName(kCheckDma));
    checkLine->addWidget(m_checkMemory);
    checkLine->addWidget(m_checkDma);
    bottom->addWidget(checks);
    auto* refreshButton = new QPushButton(QStringLiteral("Refresh"));
    refreshButton->setObjectName(controlName(kRefresh));
    bottom->addWidget(refreshButton);
    top->addLayout(bottom);

    const auto checksChanged = [this] {
        ownedModel.setChecks(m_checkMemory->isChecked(), m_checkDma->isChecked());
    };
    connect(m_checkMemory, &QCheckBox::toggled, this, checksChanged);
    connect(m_checkDma, &QCheckBox::toggled, this, checksChanged);
    connect(refreshButton, &QPushButton::clicked, this, [this] { refresh(); });
    initDialog();
}

CSysInfo::~CSysInfo() = default;

void CSysInfo::refresh() {
    if (camera().connected()) readState();
    updateHeld();
}

void CSysInfo::updateControls() {
    const SystemInformation& info = ownedModel.info();
    m_header->setText(toQ(sysInfoHeaderText(info)));
    for (size_t i = 0; i < m_features.size(); ++i) {
        m_features[i]->setChecked(info.feature(static_cast<int>(i)));
    }
    for (size_t i = 0; i < m_enabled.size(); ++i) {
        m_enabled[i]->setChecked(info.enabledBlock(static_cast<int>(i)));
    }
    m_sfp->setChecked(info.sfpActive());
    const std::array<int32_t, 4> counts = {info.heapAllocations, info.heapFrees,
                                           info.dmaAllocations, info.dmaFrees};
    for (size_t i = 0; i < counts.size(); ++i) m_counters[i]->setNum(counts[i]);
    m_usb->setText(toQ(sysInfoUsbText(info)));
    m_power->setText(toQ(sysInfoPowerText(info)));
    m_phy->setText(toQ(sysInfoCountText(info.phyErrors, info.phyErrorsTotal)));
    m_link->setText(toQ(sysInfoCountText(info.linkErrors, info.linkErrorsTotal)));
    // An unread record has nothing to show: the values are greyed and the reason given.
    m_values->setEnabled(info.valid);
    if (info.valid) {
        m_status->clear();
    } else if (!camera().connected()) {
        m_status->setText(QStringLiteral("No camera is connected."));
    } else if (!ownedModel.implemented()) {
        m_status->setText(toQ(kSysInfoNotImplemented));
    } else {
        m_status->setText(QStringLiteral(
            "The camera's system information record could not be read (rejected or damaged)."));
    }
}

}  // namespace TVR
