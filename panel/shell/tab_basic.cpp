#include "tab_basic.h"

#include <fmt/format.h>

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <functional>
#include <string>
#include <utility>

#include "apilog.h"
#include "session/camera_session.h"
#include "settings/camera_transfer.h"
#include "settings/preferences.h"
#include "settings/settings_store.h"
#include "shell/qt_text.h"
#include "shell/splash.h"
#include "shell/tab_basic_model.h"

namespace TVR {

namespace {

// An "Upgrade available" notice: a blue, underlined line of text that reacts to a click.
class NoticeLabel : public QLabel {
public:
    NoticeLabel(const QString& text, std::function<void()> clicked, QWidget* parent)
        : QLabel(text, parent), m_clicked(std::move(clicked)) {
        setStyleSheet(QStringLiteral("QLabel { color: blue; background: transparent; }"));
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
        setCursor(Qt::PointingHandCursor);
        setFixedHeight(fontMetrics().height());
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && m_clicked) m_clicked();
        QLabel::mouseReleaseEvent(event);
    }

private:
    std::function<void()> m_clicked;
};

class BoxMessages : public PageMessages {
public:
    explicit BoxMessages(QWidget* parent) : m_parent(parent) {}
    void warning(const QString& title, const QString& text) override {
        QMessageBox::warning(m_parent, title, text);
    }

private:
    QWidget* m_parent;
};

}  // namespace

CTabBasic::CTabBasic(CameraSession& session, const Preferences& preferences,
                     const PreferencesStorage* geometry, QWidget* parent, PageMessages* messages)
    : CDlgBaseTab(session.models().basic(), geometry, parent),
      m_session(session),
      m_basic(session.models().basic()),
      m_messages(messages),
      m_list(session) {
    setWindowTitle(QStringLiteral("Device"));
    buildControls();
    m_recheck.setSingleShot(true);
    m_recheck.setInterval(kDeviceRecheckMs);
    connect(&m_recheck, &QTimer::timeout, this, &CTabBasic::onRecheck);

    session.log().appendText(false, "Initializing...");
    setupDeviceList();
    setDeviceTracking(preferences.number(PreferenceName::kDevNotify) != 0);
    m_followToken = m_session.subscribeDeviceChanges([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_list.suspended()) m_recheck.start();
            },
            Qt::QueuedConnection);
    });
    initDialog();
}

CTabBasic::~CTabBasic() {
    unregisterDeviceChanges();
    if (m_followToken >= 0) m_session.unsubscribeDeviceChanges(m_followToken);
}

void CTabBasic::setCameraValid(bool valid) {
    if (valid) return;
    m_basic.showNoCamera();
    showTexts(false);
}

void CTabBasic::buildControls() {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Device"), this), 0, 0);
    m_box = new QComboBox(this);
    m_box->setObjectName(controlName(kDeviceBoxId));
    m_box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    grid->addWidget(m_box, 0, 1, 1, 2);

    grid->addWidget(new QLabel(QStringLiteral("Control port:"), this), 1, 0);
    m_port = new QLineEdit(this);
    m_port->setObjectName(controlName(kControlPortId));
    grid->addWidget(m_port, 1, 1);

    m_chipset = new QLabel(this);
    m_chipset->setObjectName(controlName(kChipsetId));
    grid->addWidget(m_chipset, 2, 0, 1, 3);

    m_fx3 = new QLabel(this);
    m_fx3->setObjectName(controlName(kFx3VersionId));
    grid->addWidget(m_fx3, 3, 0, 1, 2);
    m_fx3Upgrade = new NoticeLabel(
        QStringLiteral("Upgrade available"), [this] { emit upgradeClicked(kFx3UpgradeId); }, this);
    m_fx3Upgrade->setObjectName(controlName(kFx3UpgradeId));
    grid->addWidget(m_fx3Upgrade, 3, 2);

    m_fpga = new QLabel(this);
    m_fpga->setObjectName(controlName(kFpgaVersionId));
    grid->addWidget(m_fpga, 4, 0, 1, 2);
    m_fpgaUpgrade = new NoticeLabel(
        QStringLiteral("Upgrade available"), [this] { emit upgradeClicked(kFpgaUpgradeId); }, this);
    m_fpgaUpgrade->setObjectName(controlName(kFpgaUpgradeId));
    grid->addWidget(m_fpgaUpgrade, 4, 2);
    grid->setRowStretch(5, 1);

    // Hidden until a release check offers an upgrade.
    m_fx3Upgrade->hide();
    m_fpgaUpgrade->hide();

    connect(m_box, &QComboBox::currentIndexChanged, this, &CTabBasic::onBoxChanged);
    connect(m_port, &QLineEdit::textEdited, this, &CTabBasic::onControlPortEdited);
    showTexts(true);
}

void CTabBasic::warn(const QString& title, const QString& text) {
    if (m_messages != nullptr) {
        m_messages->warning(title, text);
    } else {
        BoxMessages(this).warning(title, text);
    }
}

void CTabBasic::showTexts(bool withPort) {
    const TabBasicTexts t = m_basic.texts();
    m_chipset->setText(QString::fromStdString(t.chipset));
    m_fx3->setText(QString::fromStdString(t.fx3));
    m_fpga->setText(QString::fromStdString(t.fpga));
    if (withPort && m_port->text() != QString::fromStdString(t.controlPort)) {
        m_port->setText(QString::fromStdString(t.controlPort));
    }
}

void CTabBasic::updateControls() { showTexts(true); }

void CTabBasic::setupDeviceList() {
    if (cameraBusy()) return;
    // The session takes the camera's work for the enumeration on the splash's worker.
    const DeviceListRebuild result =
        m_list.setupDeviceList([this](std::string_view name, const std::function<void()>& step) {
            CSplash splash(this, m_session.log());
            splash.run({{std::string(name), step}});
        });
    if (!result.ran) return;

    m_filling = true;
    m_box->clear();
    for (const DeviceEntry& e : m_list.entries()) m_box->addItem(QString::fromStdString(e.text));
    m_box->setCurrentIndex(result.selection ? static_cast<int>(*result.selection) : -1);
    m_shownIndex = m_box->currentIndex();
    m_filling = false;

    if (!result.lostWarning.empty()) warn(toQ(kWarningTitle), toQ(result.lostWarning));
    if (result.selectionChanged) {
        m_basic.showNotDetected();
        showTexts(true);
        selectionChange();
    }
}

void CTabBasic::onBoxChanged(int index) {
    if (m_filling) return;
    if (m_switchCheck && !m_switchCheck()) {
        m_filling = true;
        m_box->setCurrentIndex(m_shownIndex);
        m_filling = false;
        return;
    }
    m_shownIndex = index;
    m_list.select(index >= 0 ? std::optional<size_t>(static_cast<size_t>(index)) : std::nullopt);
    selectionChange();
}

void CTabBasic::selectionChange() {
    if (cameraBusy()) return;
    ++m_selections;
    if (const auto entry = m_list.selection()) {
        bool opened = false;
        {
            CSplash splash(this, m_session.log());
            const std::string name = fmt::format("Opening device# {} and reading its status",
                                                 m_list.entries()[*entry].index);
            // The session opens the camera on the splash's worker as one batch of camera work.
            splash.run({{name, [&] { opened = m_list.openSelection(); }}});
        }
        if (opened) {
            m_basic.showControlPort();
            m_fx3Upgrade->hide();
            m_fpgaUpgrade->hide();
            emit cameraOpened();
        } else {
            // The texts of the camera open before would otherwise stay on show.
            m_basic.readState();
        }
    }
    // The transfer fills the other pages' controls, so it stays on this thread.
    if (m_readAll) {
        m_readAll();
    } else {
        m_session.readAll();
    }
    refresh();
}

void CTabBasic::onControlPortEdited(const QString& text) {
    if (!m_basic.setControlPortText(text.toStdString())) return;
    m_basic.showControlPort();
    // The box keeps what the user is typing.
    showTexts(false);
}

void CTabBasic::deviceChange() {
    if (m_list.deviceChangeStartsTimer()) m_recheck.start();
}

void CTabBasic::onRecheck() {
    m_recheck.stop();
    if (m_list.suspended()) return;
    // A rebuild under way may have counted before this change, and a batch may hold the camera
    // (this may run in its modal loop); look again once they are done.
    if (DeviceListModel::rebuildUnderWay() || m_session.work().busy()) {
        m_recheck.start();
        return;
    }
    const PlugChange plug = m_session.checkPlugged();
    std::string port;
    {
        const auto lock = m_session.batch();
        port = m_session.selectedLocation();
    }
    // The list follows the cameras only while tracking is on; the selected camera is followed
    // always (a reset takes it away and brings it back).
    const bool rebuild = m_list.tracking() && (plug != PlugChange::None || m_list.countChanged());
    if (plug == PlugChange::None && !rebuild) return;
    const int selections = m_selections;
    if (rebuild) setupDeviceList();
    if (plug == PlugChange::Back && m_selections == selections) {
        // Back at the same entry: read it again, as a selection would.
        if (m_readAll) {
            m_readAll();
        } else {
            m_session.readAll();
        }
        refresh();
    } else if (plug == PlugChange::Lost && m_selections == selections) {
        setCameraValid(false);
        if (m_cameraLost) m_cameraLost();
    }
    // Reported after the rebuild's own lines, so that the status bar keeps showing it.
    if (plug == PlugChange::Lost) {
        m_session.log().appendText(true, fmt::format(kCameraUnpluggedText, port));
    } else if (plug == PlugChange::Back) {
        const SessionResult& reapplied = m_session.lastReapply();
        if (!reapplied.message.empty()) {
            m_session.log().appendText(!reapplied.ok, reapplied.message);
        } else {
            m_session.log().appendText(false, fmt::format(kCameraBackText, port));
        }
    }
}

void CTabBasic::setDeviceTracking(bool on) {
    m_list.setTracking(on);
    if (on) {
        registerDeviceChanges();
    } else {
        unregisterDeviceChanges();
        m_recheck.stop();
    }
}

void CTabBasic::registerDeviceChanges() {
    if (m_token >= 0) return;
    // Runs on the driver's thread, never after the page unsubscribed (it does before it goes);
    // a change still queued for a page that went is dropped with it.
    m_token = m_session.subscribeDeviceChanges([this] {
        QMetaObject::invokeMethod(this, &CTabBasic::deviceChange, Qt::QueuedConnection);
    });
    if (m_token < 0) {
        warn(toQ(kWarningTitle), toQ(kRegistrationFailedText));
        m_list.setTracking(false);
    }
}

void CTabBasic::unregisterDeviceChanges() {
    if (m_token >= 0) m_session.unsubscribeDeviceChanges(m_token);
    m_token = -1;
}

}  // namespace TVR
