#include "tools/consoles/console_sensor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <optional>

#include "sensor/img_sensor.h"
#include "settings/preferences.h"
#include "shell/qt_text.h"
#include "tools/consoles/console_script.h"
#include "tools/consoles/console_sensor_model.h"
#include "tools/consoles/console_text.h"

namespace TVR {

namespace {
constexpr const char* kConsoleSensorWindowTitle = "Sensor console";
constexpr const char* kUnreadPeek = "--";
}  // namespace

CConsoleSensor::CConsoleSensor(ConsoleSensorModel& model, const Preferences& preferences,
                               const PreferencesStorage* geometry, QWidget* parent)
    : CDlgBaseFX3(model, geometry, parent), m_model(model), m_preferences(preferences) {
    setWindowTitle(QString::fromUtf8(kConsoleSensorWindowTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* top = new QHBoxLayout(this);

    auto* left = new QVBoxLayout;
    m_script = new QPlainTextEdit;
    m_script->setObjectName(controlName(kScript));
    m_script->setMinimumSize(320, 240);
    left->addWidget(m_script);
    auto* runLine = new QHBoxLayout;
    m_groupWrite = new QCheckBox(QStringLiteral("Use group write"));
    m_groupWrite->setObjectName(controlName(kGroupWrite));
    runLine->addWidget(m_groupWrite);
    const auto button = [](const char* text, int id) {
        auto* b = new QPushButton(QString::fromUtf8(text));
        b->setObjectName(controlName(id));
        return b;
    };
    auto* run = button("&Run the commands", kRun);
    runLine->addWidget(run);
    left->addLayout(runLine);
    auto* compareLine = new QHBoxLayout;
    auto* compareCurrent = button("Compare to current", kCompareCurrent);
    auto* compareDefaults = button("Compare to defaults", kCompareDefaults);
    compareLine->addWidget(compareCurrent);
    compareLine->addWidget(compareDefaults);
    left->addLayout(compareLine);
    top->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    const auto check = [](const char* text, int id) {
        auto* c = new QCheckBox(QString::fromUtf8(text));
        c->setObjectName(controlName(id));
        return c;
    };
    m_flipH = check("Horizontal flip", kFlipH);
    m_flipV = check("Vertical flip", kFlipV);
    m_standby = check("Sensor standby", kStandby);
    right->addWidget(m_flipH);
    right->addWidget(m_flipV);
    right->addWidget(m_standby);
    auto* reset = button("Reset", kReset);
    auto* offset = button("Correct RGB pixel offset", kPixelOffset);
    auto* fsin = button("Send FSIN", kSendFsin);
    right->addWidget(reset);
    right->addWidget(offset);
    right->addWidget(fsin);
    auto* peekGrid = new QGridLayout;
    m_peekRegister = new QLineEdit;
    m_peekRegister->setObjectName(controlName(kPeekRegister));
    m_peekRegister->setMaximumWidth(80);
    peekGrid->addWidget(m_peekRegister, 0, 0);
    auto* peek = button("\u27aa", kPeek);
    peekGrid->addWidget(peek, 0, 1);
    m_peekHex = new QLabel;
    m_peekHex->setObjectName(controlName(kPeekHex));
    m_peekBinary = new QLabel;
    m_peekBinary->setObjectName(controlName(kPeekBinary));
    peekGrid->addWidget(m_peekHex, 1, 0);
    peekGrid->addWidget(m_peekBinary, 1, 1);
    right->addLayout(peekGrid);
    right->addStretch(1);
    top->addLayout(right);

    connect(m_script, &QPlainTextEdit::textChanged, this,
            [this] { m_model.setScript(m_script->toPlainText().toStdString()); });
    connect(run, &QPushButton::clicked, this, [this] { onRun(); });
    connect(peek, &QPushButton::clicked, this, [this] { onPeek(); });
    connect(compareCurrent, &QPushButton::clicked, this, [this] { onCompare(false); });
    connect(compareDefaults, &QPushButton::clicked, this, [this] { onCompare(true); });
    connect(m_flipH, &QCheckBox::clicked, this, [this](bool on) { onFlip(m_flipH, true, on); });
    connect(m_flipV, &QCheckBox::clicked, this, [this](bool on) { onFlip(m_flipV, false, on); });
    connect(m_standby, &QCheckBox::clicked, this, [this](bool on) {
        if (mayAct()) m_model.setStandby(on);
    });
    connect(reset, &QPushButton::clicked, this, [this] {
        if (mayAct()) m_model.runAction(SensorConsoleAction::Reset);
    });
    connect(offset, &QPushButton::clicked, this, [this] {
        if (mayAct()) m_model.runAction(SensorConsoleAction::CorrectPixelOffset);
    });
    connect(fsin, &QPushButton::clicked, this, [this] {
        if (mayAct()) m_model.runAction(SensorConsoleAction::SendFsin);
    });
    initDialog();
}

CConsoleSensor::~CConsoleSensor() = default;

int32_t CConsoleSensor::base() const { return m_preferences.number(PreferenceName::kBase, 10); }

bool CConsoleSensor::mayAct() {
    return m_model.updateCounter() == 0 && camera().connected() && !cameraBusy();
}

void CConsoleSensor::onRun() {
    if (!mayAct()) return;
    m_model.runScript(parseConsoleScript(m_script->toPlainText().toStdString(), base()),
                      m_groupWrite->isChecked());
}

void CConsoleSensor::onPeek() {
    if (!mayAct()) return;
    const auto reg =
        static_cast<uint16_t>(parseConsoleNumber(m_peekRegister->text().toStdString(), base()));
    const auto peek = m_model.peek(reg);
    // A failed read shows no value rather than a zero the sensor never gave.
    m_peekHex->setText(peek ? toQ(peek->hex) : QString::fromLatin1(kUnreadPeek));
    m_peekBinary->setText(peek ? toQ(peek->binary) : QString::fromLatin1(kUnreadPeek));
}

void CConsoleSensor::onCompare(bool toDefaults) {
    if (!mayAct()) return;
    const auto left = m_model.compare(
        parseConsoleScript(m_script->toPlainText().toStdString(), base()), toDefaults);
    if (!left) return;
    m_script->setPlainText(editText(consoleScriptText(*left)));
}

void CConsoleSensor::onFlip(QCheckBox* box, bool horizontal, bool on) {
    if (m_model.updateCounter() != 0) return;
    if (cameraBusy()) {
        const QSignalBlocker block(box);
        box->setChecked(!on);
        return;
    }
    std::optional<CameraWork::Batch> batch;
    if (m_model.work() != nullptr) batch.emplace(m_model.work()->batch());
    horizontal ? m_model.setFlipH(on) : m_model.setFlipV(on);
}

void CConsoleSensor::updateControls() {
    const ConsoleSensorView v = m_model.view();
    {
        const QSignalBlocker blockH(m_flipH);
        const QSignalBlocker blockV(m_flipV);
        m_flipH->setChecked(v.flipH);
        m_flipV->setChecked(v.flipV);
    }
    if (m_script->toPlainText().toStdString() != v.script) {
        const QSignalBlocker block(m_script);
        m_script->setPlainText(toQ(v.script));
    }
}

}  // namespace TVR
