#include "tools/consoles/registers_overview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>

#include <fmt/format.h>

#include "sensor/img_sensor.h"
#include "settings/preferences.h"
#include "shell/qt_text.h"
#include "shell/user_dialogs.h"
#include "tools/consoles/console_text.h"

namespace TVR {

namespace {
constexpr const char* kRegistersOverviewWindowTitle = "Sensor's registers' overview";
}  // namespace

CRegistersOverview::CRegistersOverview(SettingsStore& store, ImgSensor& camera, CameraWork& work,
                                       const Preferences& preferences, UserDialogs& dialogs,
                                       const PreferencesStorage* geometry, QWidget* parent)
    : OwnedModel<RegistersOverviewModel>(store, camera, work),
      CDlgBaseFX3(ownedModel, geometry, parent),
      m_preferences(preferences),
      m_dialogs(dialogs) {
    setWindowTitle(QString::fromUtf8(kRegistersOverviewWindowTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* grid = new QGridLayout(this);
    m_snapshot = new QPushButton(QStringLiteral("Full snapshot"));
    m_snapshot->setObjectName(controlName(kFullSnapshot));
    grid->addWidget(m_snapshot, 0, 0);
    m_first = new QLineEdit(QStringLiteral("0x5000"));
    m_first->setObjectName(controlName(kRangeFirst));
    m_last = new QLineEdit(QStringLiteral("0x500F"));
    m_last->setObjectName(controlName(kRangeLast));
    grid->addWidget(m_first, 0, 1);
    grid->addWidget(m_last, 0, 2);
    m_refresh = new QPushButton(QStringLiteral("Refresh range"));
    m_refresh->setObjectName(controlName(kRefreshRange));
    grid->addWidget(m_refresh, 0, 3);
    m_autoRefresh = new QComboBox;
    m_autoRefresh->setObjectName(controlName(kAutoRefresh));
    m_autoRefresh->addItems({QStringLiteral("No autorefresh"),
                             QStringLiteral("Refresh visible values every 1 sec"),
                             QStringLiteral("Refresh viible values every 5 sec")});
    grid->addWidget(m_autoRefresh, 1, 0, 1, 2);
    m_changesOnly = new QCheckBox(QStringLiteral("Show changes only"));
    m_changesOnly->setObjectName(controlName(kChangesOnly));
    m_changesOnly->setChecked(true);
    grid->addWidget(m_changesOnly, 1, 2, 1, 2);
    m_list = new QPlainTextEdit;
    m_list->setObjectName(controlName(kList));
    m_list->setReadOnly(true);
    m_list->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_list->setMinimumSize(360, 300);
    grid->addWidget(m_list, 2, 0, 1, 4);
    m_status = new QLabel;
    m_status->setObjectName(controlName(kStatus));
    grid->addWidget(m_status, 3, 0, 1, 4);
    m_timer = new QTimer(this);

    connect(m_snapshot, &QPushButton::clicked, this, [this] { onFullSnapshot(); });
    connect(m_refresh, &QPushButton::clicked, this, [this] { onRefreshRange(); });
    connect(m_changesOnly, &QCheckBox::clicked, this, [this](bool on) { onChangesOnly(on); });
    connect(m_autoRefresh, &QComboBox::currentIndexChanged, this,
            [this](int entry) { onAutoRefresh(entry); });
    connect(m_timer, &QTimer::timeout, this, [this] { refreshVisible(); });
    initDialog();
}

CRegistersOverview::~CRegistersOverview() { m_timer->stop(); }

void CRegistersOverview::setBusy(bool busy) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_snapshot, m_refresh, m_first, m_last, m_autoRefresh}) {
        w->setEnabled(!busy);
    }
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void CRegistersOverview::showRead(const OverviewRead& r) {
    m_status->setText(r.failed == 0
                          ? QString()
                          : toQ(fmt::format("{} of {} registers could not be read and show as --",
                                            r.failed, r.failed + r.read)));
}

void CRegistersOverview::onFullSnapshot() {
    if (cameraBusy()) return;
    setBusy(true);
    const OverviewRead r = ownedModel.fullSnapshot();
    setBusy(false);
    showRead(r);
    renderList();
}

void CRegistersOverview::onRefreshRange() {
    if (cameraBusy()) return;
    setBusy(true);
    const OverviewRead r =
        ownedModel.refreshRange(m_first->text().toStdString(), m_last->text().toStdString(),
                                m_preferences.number(PreferenceName::kBase, 10));
    setBusy(false);
    showRead(r);
    renderList();
}

void CRegistersOverview::renderList() {
    if (!ownedModel.complete()) {
        MessageRequest bug;
        bug.icon = QMessageBox::Critical;
        bug.title = toQ(kOverviewSizeErrorTitle);
        bug.text = toQ(kOverviewSizeErrorText);
        m_dialogs.message(this, bug);
        return;
    }
    const int scrolled = m_list->verticalScrollBar()->value();
    m_list->setPlainText(editText(ownedModel.listText(m_changesOnly->isChecked())));
    m_list->verticalScrollBar()->setValue(scrolled);
}

void CRegistersOverview::onChangesOnly(bool checked) {
    if (m_timer->isActive()) {
        // The timer refreshes lines by address: the full list must stay on show.
        const QSignalBlocker block(m_changesOnly);
        m_changesOnly->setChecked(false);
        return;
    }
    static_cast<void>(checked);
    renderList();
}

void CRegistersOverview::onAutoRefresh(int entry) {
    m_timer->stop();
    if (entry != 1 && entry != 2) return;
    if (m_changesOnly->isChecked()) {
        const QSignalBlocker block(m_changesOnly);
        m_changesOnly->setChecked(false);
        renderList();
    }
    m_timer->start(RegistersOverviewModel::kRefreshMs[entry]);
}

void CRegistersOverview::refreshVisible() {
    // The timer may fire inside the modal loop of the batch that holds the camera.
    if (!camera().connected() || (ownedModel.work() != nullptr && ownedModel.work()->busy())) {
        return;
    }
    const size_t first = static_cast<size_t>(m_list->verticalScrollBar()->value());
    const size_t count = RegistersOverviewModel::visibleLines(m_list->viewport()->height() + 6);
    showRead(ownedModel.refreshLines(first, count));
    renderList();
}

}  // namespace TVR
