#include "demo_mode_dlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "shell/user_dialogs.h"
#include "tools/demo/demo_mode_model.h"

namespace TVR {

namespace {

constexpr const char* kDemoModeDlgWindowTitle = "Demo mode";
constexpr int kScriptBox = 1292;
constexpr int kStatusText = 1293;
constexpr int kPlayButton = 1286;
constexpr int kStopButton = 1287;
constexpr int kProgressBar = 1294;
constexpr int kAddButton = 1295;

QStringList chooseDemoFiles(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(
        {QString::fromUtf8(kSettingsFileFilter), QString::fromUtf8(kAllFilesFilter)});
    dialog.setDefaultSuffix(QString::fromUtf8(kSettingsFileSuffix));
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

}  // namespace

CDemoModeDlg::CDemoModeDlg(std::unique_ptr<DemoModeModel> model, const PreferencesStorage* geometry,
                           QWidget* parent)
    : CDlgBaseBrisco(geometry, parent), m_demo(std::move(model)), m_chooseFiles(chooseDemoFiles) {
    setWindowTitle(QString::fromUtf8(kDemoModeDlgWindowTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(QStringLiteral("Demo script")));
    m_script = new QPlainTextEdit;
    m_script->setObjectName(controlName(kScriptBox));
    m_script->setPlainText(QString::fromStdString(m_demo->script()));
    top->addWidget(m_script);
    m_status = new QLabel;
    m_status->setObjectName(controlName(kStatusText));
    top->addWidget(m_status);
    m_progress = new QProgressBar;
    m_progress->setObjectName(controlName(kProgressBar));
    m_progress->setTextVisible(false);
    top->addWidget(m_progress);
    auto* row = new QHBoxLayout;
    m_add = new QPushButton(QStringLiteral("Add file(s)..."));
    m_add->setObjectName(controlName(kAddButton));
    m_play = new QPushButton(QStringLiteral("Play"));
    m_play->setObjectName(controlName(kPlayButton));
    m_stop = new QPushButton(QStringLiteral("Stop"));
    m_stop->setObjectName(controlName(kStopButton));
    row->addWidget(m_add);
    row->addStretch(1);
    row->addWidget(m_play);
    row->addWidget(m_stop);
    top->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);

    connect(m_script, &QPlainTextEdit::textChanged, this, [this] { onScriptEdited(); });
    connect(m_add, &QPushButton::clicked, this, [this] { onAddFiles(); });
    connect(m_play, &QPushButton::clicked, this, [this] { onPlay(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { onStop(); });
    connect(&m_timer, &QTimer::timeout, this, [this] { onTick(); });
    sync();
    initDialog();
}

CDemoModeDlg::~CDemoModeDlg() { m_timer.stop(); }

void CDemoModeDlg::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        m_demo->stop();
        sync();
    }
    CDlgBaseBrisco::hideEvent(event);
}

void CDemoModeDlg::onScriptEdited() {
    m_demo->setScript(m_script->toPlainText().toStdString());
    sync();
}

void CDemoModeDlg::onAddFiles() {
    const QStringList files = m_chooseFiles ? m_chooseFiles(this) : QStringList();
    if (files.isEmpty()) return;
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(f.toStdString());
    m_demo->addFiles(paths);
    const QSignalBlocker block(m_script);
    m_script->setPlainText(QString::fromStdString(m_demo->script()));
    sync();
}

void CDemoModeDlg::onPlay() {
    m_demo->play();
    sync();
}

void CDemoModeDlg::onStop() {
    m_demo->stop();
    sync();
}

void CDemoModeDlg::onTick() {
    m_demo->tick();
    sync();
}

void CDemoModeDlg::sync() {
    const DemoModeModel& m = *m_demo;
    m_script->setReadOnly(!m.scriptEnabled());
    m_script->setEnabled(m.scriptEnabled());
    m_add->setEnabled(m.scriptEnabled());
    m_play->setEnabled(m.playEnabled());
    m_stop->setEnabled(m.stopEnabled());
    if (m.playing()) {
        m_progress->setRange(m.progressMinimum(), m.progressMaximum());
        m_status->setText(QString::fromStdString(m.statusText()));
    } else {
        m_progress->setRange(0, 1);
    }
    m_progress->setValue(m.progressPosition());
    m_progress->setProperty("paused", m.progressPaused());
    if (!m.timerActive()) {
        m_timer.stop();
    } else if (m.timerStarts() != m_seenTimerStarts || !m_timer.isActive()) {
        m_timer.start(DemoModeModel::kTimerPeriodMs);
    }
    m_seenTimerStarts = m.timerStarts();
}

}  // namespace TVR
