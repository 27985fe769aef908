#include "tools/consoles/console_i2c.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <fmt/format.h>

#include "settings/preferences.h"
#include "shell/qt_text.h"
#include "tools/consoles/console_text.h"

namespace TVR {

namespace {
constexpr const char* kConsoleI2cWindowTitle = "I\u00b2C console";
}  // namespace

CConsoleI2c::CConsoleI2c(SettingsStore& store, ImgSensor& camera, CameraWork& work,
                         const Preferences& preferences, const PreferencesStorage* geometry,
                         QWidget* parent)
    : OwnedModel<ConsoleI2cModel>(store, camera, work),
      CDlgBaseFX3(ownedModel, geometry, parent),
      m_preferences(preferences) {
    setWindowTitle(QString::fromUtf8(kConsoleI2cWindowTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* grid = new QGridLayout(this);

    m_targets = new QComboBox;
    m_targets->setObjectName(controlName(kTargets));
    for (const I2cTarget& t : i2cTargets()) m_targets->addItem(toQ(t.name));
    grid->addWidget(m_targets, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("I\u00b2C address:")), 0, 2);
    m_address = new QLineEdit(toQ(ConsoleI2cModel::kInitialAddress));
    m_address->setObjectName(controlName(kAddress));
    m_address->setMaximumWidth(70);
    grid->addWidget(m_address, 0, 3);

    m_eightBit = new QRadioButton(QStringLiteral("8-bit register address"));
    m_eightBit->setObjectName(controlName(kEightBit));
    m_eightBit->setChecked(true);
    m_sixteenBit = new QRadioButton(QStringLiteral("16-bit register address"));
    m_sixteenBit->setObjectName(controlName(kSixteenBit));
    grid->addWidget(m_eightBit, 1, 0);
    grid->addWidget(m_sixteenBit, 1, 1);
    m_stopOnError = new QCheckBox(QStringLiteral("Stop on first error"));
    m_stopOnError->setObjectName(controlName(kStopOnError));
    m_stopOnError->setChecked(true);
    grid->addWidget(m_stopOnError, 1, 2, 1, 2);

    m_script = new QPlainTextEdit;
    m_script->setObjectName(controlName(kScript));
    m_script->setMinimumSize(360, 200);
    grid->addWidget(m_script, 2, 0, 1, 4);
    auto* execute = new QPushButton(QStringLiteral("E&xecute script"));
    execute->setObjectName(controlName(kExecute));
    grid->addWidget(execute, 3, 3);
    m_result = new QPlainTextEdit;
    m_result->setObjectName(controlName(kResult));
    m_result->setReadOnly(true);
    m_result->setMaximumHeight(80);
    grid->addWidget(m_result, 4, 0, 1, 4);

    connect(m_targets, &QComboBox::currentIndexChanged, this,
            [this](int row) { onTargetChosen(row); });
    connect(execute, &QPushButton::clicked, this, [this] { onExecute(); });
    m_targets->setCurrentIndex(0);
    onTargetChosen(0);
    // The typed address of the first row stays what it was made with.
    m_address->setText(toQ(ConsoleI2cModel::kInitialAddress));
    initDialog();
    m_script->setFocus();
}

CConsoleI2c::~CConsoleI2c() = default;

void CConsoleI2c::onTargetChosen(int row) {
    const auto targets = i2cTargets();
    if (row < 0 || static_cast<size_t>(row) >= targets.size()) return;
    const I2cTarget& t = targets[static_cast<size_t>(row)];
    m_eightBit->setChecked(t.eightBit);
    m_sixteenBit->setChecked(!t.eightBit);
    m_address->setText(QString::fromStdString(fmt::format("0x{:02X}", t.address)));
    m_address->setReadOnly(!t.manual());
}

void CConsoleI2c::onExecute() {
    if (cameraBusy()) return;
    const I2cRunResult r =
        ownedModel.execute(m_address->text().toStdString(), m_script->toPlainText().toStdString(),
                           m_eightBit->isChecked(), m_stopOnError->isChecked(),
                           m_preferences.number(PreferenceName::kBase, 10));
    m_result->setPlainText(editText(r.text));
}

}  // namespace TVR
