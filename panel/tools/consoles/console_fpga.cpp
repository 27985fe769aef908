#include "tools/consoles/console_fpga.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "console_commands.h"
#include "settings/preferences.h"
#include "settings/settings_store.h"
#include "shell/qt_text.h"
#include "shell/user_dialogs.h"
#include "tools/consoles/console_fpga_model.h"
#include "tools/consoles/console_text.h"

namespace TVR {

namespace {
constexpr const char* kWindowTitle = "FPGA console";
constexpr std::string_view kFakeRawKey = "FAKE_RAW_VIDEO";
}  // namespace

CConsoleFpga::CConsoleFpga(ConsoleFpgaModel& model, const Preferences& preferences,
                           UserDialogs& dialogs, const PreferencesStorage* geometry,
                           QWidget* parent)
    : CDlgBaseFX3(model, geometry, parent),
      m_model(model),
      m_preferences(preferences),
      m_dialogs(dialogs) {
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* grid = new QGridLayout(this);

    m_commands = new QListWidget;
    m_commands->setObjectName(controlName(kCommands));
    for (const ConsoleCommand& c : consoleCommands()) m_commands->addItem(toQ(c.name));
    m_commands->setMinimumWidth(240);
    grid->addWidget(m_commands, 0, 0, 6, 1);

    m_description = new QPlainTextEdit;
    m_description->setObjectName(controlName(kDescription));
    m_description->setReadOnly(true);
    grid->addWidget(m_description, 0, 1, 1, 2);
    const auto field = [grid](int line, const char* caption, int id) {
        grid->addWidget(new QLabel(QString::fromUtf8(caption)), line, 1);
        auto* edit = new QLineEdit;
        edit->setObjectName(controlName(id));
        grid->addWidget(edit, line, 2);
        return edit;
    };
    m_request = field(1, "Request:", kRequest);
    m_value = field(2, "Value:", kValue);
    m_index = field(3, "Index:", kIndex);
    m_length = field(4, "Buffer length:", kLength);
    auto* run = new QPushButton(QStringLiteral("&Run"));
    run->setObjectName(controlName(kRun));
    grid->addWidget(run, 5, 2);
    m_output = new QPlainTextEdit;
    m_output->setObjectName(controlName(kOutput));
    m_output->setReadOnly(true);
    m_output->setMaximumHeight(80);
    grid->addWidget(m_output, 6, 0, 1, 3);
    m_fakeRaw = new QCheckBox(QStringLiteral("\"Fake\" raw video mode (4K only)"));
    m_fakeRaw->setObjectName(controlName(kFakeRawVideo));
    grid->addWidget(m_fakeRaw, 7, 0, 1, 3);

    connect(m_commands, &QListWidget::currentRowChanged, this,
            [this](int row) { onRowChosen(row); });
    connect(run, &QPushButton::clicked, this, [this] { onRun(); });
    connect(m_fakeRaw, &QCheckBox::clicked, this, [this](bool on) { onFakeRawVideo(on); });
    m_commands->setCurrentRow(0);
    initDialog();
}

CConsoleFpga::~CConsoleFpga() = default;

void CConsoleFpga::onRowChosen(int row) {
    if (row < 0) return;
    const FpgaConsoleRow r = ConsoleFpgaModel::row(static_cast<size_t>(row));
    m_description->setPlainText(editText(r.description));
    m_value->clear();
    m_index->setReadOnly(false);
    m_length->setText(toQ(r.length));
    m_request->setText(toQ(r.request));
    m_request->setReadOnly(!r.freeRequest);
    m_length->setReadOnly(!r.freeRequest);
}

void CConsoleFpga::onRun() {
    const int row = m_commands->currentRow();
    if (row < 0) return;
    const bool warn = m_preferences.number(PreferenceName::kSafe, 1) != 0;
    if (ConsoleFpgaModel::asksBeforeRun(static_cast<size_t>(row), warn)) {
        MessageRequest ask;
        ask.icon = QMessageBox::Critical;
        ask.title = toQ(kBrickWarningTitle);
        ask.text = toQ(kBrickWarningText);
        ask.buttons = QMessageBox::Ok | QMessageBox::Cancel;
        ask.defaultButton = QMessageBox::Cancel;
        if (m_dialogs.message(this, ask) != QMessageBox::Ok) return;
    }
    if (cameraBusy()) return;
    const FpgaConsoleRun r = m_model.run(
        static_cast<size_t>(row), m_request->text().toStdString(), m_value->text().toStdString(),
        m_index->text().toStdString(), m_length->text().toStdString(),
        m_preferences.number(PreferenceName::kBase, 10));
    if (!r.sent) {
        MessageRequest refuse;
        refuse.icon = QMessageBox::Critical;
        refuse.title = toQ(r.errorTitle);
        refuse.text = toQ(r.errorText);
        m_dialogs.message(this, refuse);
        return;
    }
    m_output->setPlainText(editText(r.output));
}

void CConsoleFpga::onFakeRawVideo(bool checked) {
    const ControlEdit e = m_model.editCheck(kFakeRawVideo, checked);
    if (!e.stored) {
        const QSignalBlocker block(m_fakeRaw);
        m_fakeRaw->setChecked(!checked);
    }
}

void CConsoleFpga::updateControls() {
    {
        const QSignalBlocker block(m_fakeRaw);
        m_fakeRaw->setChecked(store().getBool(kFakeRawKey));
    }
    m_fakeRaw->setEnabled(m_model.fakeRawVideoAvailable());
}

}  // namespace TVR
