#include "presets_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/presets.h"
#include "shell/user_dialogs.h"

namespace TVR {

CPgSetPresets::CPgSetPresets(Presets& presets, Preferences& preferences, UserDialogs& dialogs,
                             const PreferencesStorage* geometry, QWidget* parent)
    : CDlgBase(geometry, parent),
      m_presets(presets),
      m_preferences(preferences),
      m_dialogs(dialogs) {
    setWindowTitle(QStringLiteral("Setup quick-load for presets"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Settings file"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Description"), this), 0, 3);
    for (int i = 0; i < Presets::kCount; ++i) {
        const Preset preset = m_presets.preset(i + 1);
        grid->addWidget(new QLabel(QStringLiteral("#%1").arg(i + 1), this), i + 1, 0);
        m_files[i] = new QLineEdit(QString::fromStdString(preset.fileName), this);
        m_files[i]->setObjectName(controlName(kFileIds[i]));
        m_files[i]->setMinimumWidth(260);
        grid->addWidget(m_files[i], i + 1, 1);
        auto* browseButton = new QPushButton(QStringLiteral("..."), this);
        browseButton->setObjectName(controlName(kBrowseIds[i]));
        browseButton->setAutoDefault(false);
        connect(browseButton, &QPushButton::clicked, this, [this, i] { browse(i); });
        grid->addWidget(browseButton, i + 1, 2);
        m_descriptions[i] = new QLineEdit(QString::fromStdString(preset.description), this);
        m_descriptions[i]->setObjectName(controlName(kDescriptionIds[i]));
        grid->addWidget(m_descriptions[i], i + 1, 3);
    }
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* clear = buttons->addButton(QStringLiteral("Clear all"), QDialogButtonBox::ResetRole);
    clear->setObjectName(controlName(kClearAllId));
    connect(clear, &QPushButton::clicked, this, &CPgSetPresets::clearAll);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPgSetPresets::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPgSetPresets::reject);
    layout->addWidget(buttons);
    initDialog();
}

void CPgSetPresets::browse(int row) {
    const auto chosen = m_dialogs.chooseSettingsFile(this, false, m_files[row]->text());
    if (chosen) m_files[row]->setText(*chosen);
}

void CPgSetPresets::clearAll() {
    for (int i = 0; i < Presets::kCount; ++i) {
        m_files[i]->clear();
        m_descriptions[i]->clear();
    }
}

void CPgSetPresets::accept() {
    for (int i = 0; i < Presets::kCount; ++i) {
        m_presets.setPreset(
            i + 1, {m_files[i]->text().toStdString(), m_descriptions[i]->text().toStdString()});
    }
    m_presets.storeInto(m_preferences);
    CDlgBase::accept();
}

}  // namespace TVR
