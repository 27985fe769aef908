#include "preferences_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "settings/preferences.h"
#include "settings/preferences_storage.h"
#include "shell/qt_text.h"
#include "shell/user_dialogs.h"

namespace TVR {
namespace {

template <typename W>
W* named(W* widget, int id) {
    widget->setObjectName(controlName(id));
    return widget;
}

}  // namespace

CPreferencesDlg::CPreferencesDlg(Preferences& preferences, const PreferencesStorage* storage,
                                 ApiLog& log, UserDialogs& dialogs, QWidget* parent)
    : CDlgBase(storage, parent),
      m_preferences(preferences),
      m_storage(storage),
      m_log(log),
      m_dialogs(dialogs) {
    using Model = PreferencesDialogModel;
    setWindowTitle(QStringLiteral("Preferences"));
    auto* layout = new QVBoxLayout(this);

    m_expert =
        named(new QCheckBox(QStringLiteral("Expert mode (more controls)"), this), kExpertCheck);
    layout->addWidget(m_expert);
    auto* baseRow = new QHBoxLayout;
    m_baseLabel = new QLabel(QStringLiteral("Default base for numbers in consoles:"), this);
    m_base = named(new QComboBox(this), kBaseBox);
    for (auto item : Model::kBaseItems) m_base->addItem(toQ(item));
    m_baseLabel->setBuddy(m_base);
    baseRow->addWidget(m_baseLabel);
    baseRow->addWidget(m_base);
    baseRow->addStretch();
    layout->addLayout(baseRow);
    m_safe = named(new QCheckBox(QStringLiteral("Warn about potentially dangerous actions "
                                                "(DISABLE AT YOUR OWN RISK!)"),
                                 this),
                   kSafeCheck);
    layout->addWidget(m_safe);
    m_logApi = named(new QCheckBox(QStringLiteral("Log API calls to FX3 and I\u00b2C"), this),
                     kLogApiCheck);
    layout->addWidget(m_logApi);

    auto* refreshRow = new QHBoxLayout;
    refreshRow->addWidget(new QLabel(QStringLiteral("Auto-refresh interval, s:"), this));
    m_refresh = named(new QSlider(Qt::Horizontal, this), kRefreshSlider);
    m_refresh->setRange(Model::kRefreshMin, Model::kRefreshMax);
    m_refresh->setTickInterval(Model::kRefreshTick);
    m_refresh->setTickPosition(QSlider::TicksBelow);
    m_refresh->setSingleStep(1);
    m_refresh->setPageStep(Model::kRefreshPage);
    refreshRow->addWidget(m_refresh, 1);
    m_refreshText = named(new QLabel(this), kRefreshText);
    refreshRow->addWidget(m_refreshText);
    layout->addLayout(refreshRow);
    connect(m_refresh, &QSlider::valueChanged, this,
            [this](int v) { m_refreshText->setText(toQ(PreferencesDialogModel::refreshText(v))); });

    m_unthemed = named(new QCheckBox(QStringLiteral("Use \"unthemed\" UI (Windows XP look). "
                                                    "Will restart the app"),
                                     this),
                       kUnthemedCheck);
    layout->addWidget(m_unthemed);

    auto* splashRow = new QHBoxLayout;
    splashRow->addWidget(new QLabel(
        QStringLiteral("Delay before splash window for long operations, ms (0 is \"don't "
                       "show\")"),
        this));
    m_splash = named(new QLineEdit(this), kSplashNumber);
    m_splash->setMaximumWidth(60);
    m_splashSpin = named(new QScrollBar(Qt::Vertical, this), kSplashSpin);
    m_splashSpin->setRange(Model::kSplashMin, Model::kSplashMax);
    // Up raises the number, as an up-down control does.
    m_splashSpin->setInvertedControls(true);
    m_splashSpin->setInvertedAppearance(true);
    m_splashSpin->setFixedHeight(m_splash->sizeHint().height());
    connect(m_splashSpin, &QScrollBar::valueChanged, this,
            [this](int v) { m_splash->setText(QString::number(v)); });
    connect(m_splash, &QLineEdit::textEdited, this, [this](const QString& text) {
        bool ok = false;
        const int v = text.toInt(&ok);
        if (!ok) return;
        const QSignalBlocker block(m_splashSpin);
        m_splashSpin->setValue(v);
    });
    splashRow->addWidget(m_splash);
    splashRow->addWidget(m_splashSpin);
    splashRow->addStretch();
    layout->addLayout(splashRow);

    auto* releaseRow = new QHBoxLayout;
    releaseRow->addWidget(
        new QLabel(QStringLiteral("Earliest h/w release type to upgrade to:"), this));
    m_release = named(new QComboBox(this), kReleaseBox);
    for (auto item : Model::kReleaseTypeNames) m_release->addItem(toQ(item));
    releaseRow->addWidget(m_release);
    releaseRow->addStretch();
    layout->addLayout(releaseRow);

    m_devNotify = named(new QCheckBox(QStringLiteral("Track device change notifications"), this),
                        kDevNotifyCheck);
    layout->addWidget(m_devNotify);
    m_beta = named(new QCheckBox(QStringLiteral("Enable Beta (subject to change or removal in "
                                                "future versions) functionality"),
                                 this),
                   kBetaCheck);
    layout->addWidget(m_beta);
    m_reApply = named(
        new QCheckBox(QStringLiteral("Re-apply settings when the camera comes back"), this),
        kReApplyCheck);
    layout->addWidget(m_reApply);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* defaultsButton =
        named(buttons->addButton(QStringLiteral("Defaults"), QDialogButtonBox::ResetRole),
              kDefaultsButton);
    connect(defaultsButton, &QPushButton::clicked, this,
            [this] { show(PreferencesDialogModel::defaults()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &CPreferencesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPreferencesDlg::reject);
    layout->addWidget(buttons);

    connect(m_expert, &QCheckBox::toggled, this, [this] { applyExpertRule(); });
    connect(m_safe, &QCheckBox::toggled, this, &CPreferencesDlg::safeToggled);

    show(PreferencesDialogModel::fromPreferences(m_preferences));
    initDialog();
}

void CPreferencesDlg::show(const PreferencesDialogValues& v) {
    // Filling the controls is not the user unchecking the warnings.
    m_showing = true;
    m_expert->setChecked(v.expert);
    m_base->setCurrentText(QString::fromStdString(v.baseText));
    m_safe->setChecked(v.safe);
    m_logApi->setChecked(v.logApi);
    m_refresh->setValue(v.refreshPosition);
    m_refreshText->setText(toQ(PreferencesDialogModel::refreshText(m_refresh->value())));
    m_unthemed->setChecked(v.unthemed);
    m_splash->setText(QString::number(v.splashMs));
    {
        const QSignalBlocker block(m_splashSpin);
        m_splashSpin->setValue(v.splashMs);
    }
    m_release->setCurrentIndex(v.releaseIndex);
    m_devNotify->setChecked(v.devNotify);
    m_beta->setChecked(v.betaOn);
    m_reApply->setChecked(v.reApply);
    m_showing = false;
    applyExpertRule();
}

PreferencesDialogValues CPreferencesDlg::values() const {
    PreferencesDialogValues v;
    v.expert = m_expert->isChecked();
    v.baseText = m_base->currentText().toStdString();
    v.safe = m_safe->isChecked();
    v.logApi = m_logApi->isChecked();
    v.refreshPosition = m_refresh->value();
    v.unthemed = m_unthemed->isChecked();
    bool ok = false;
    const int splash = m_splash->text().trimmed().toInt(&ok);
    // An unreadable number fails the range check like one out of range.
    v.splashMs = ok ? splash : PreferencesDialogModel::kSplashMin - 1;
    v.releaseIndex = m_release->currentIndex();
    v.devNotify = m_devNotify->isChecked();
    v.betaOn = m_beta->isChecked();
    v.reApply = m_reApply->isChecked();
    return v;
}

void CPreferencesDlg::applyExpertRule() {
    PreferencesDialogValues v = values();
    const bool enabled = PreferencesDialogModel::expertControlsEnabled(v);
    PreferencesDialogModel::applyExpertRule(v);
    m_showing = true;
    m_base->setCurrentText(QString::fromStdString(v.baseText));
    m_safe->setChecked(v.safe);
    m_logApi->setChecked(v.logApi);
    m_showing = false;
    for (QWidget* w : {static_cast<QWidget*>(m_baseLabel), static_cast<QWidget*>(m_base),
                       static_cast<QWidget*>(m_safe), static_cast<QWidget*>(m_logApi)}) {
        w->setEnabled(enabled);
    }
}

void CPreferencesDlg::safeToggled(bool checked) {
    if (checked || m_showing) return;
    MessageRequest ask;
    ask.icon = QMessageBox::Critical;
    ask.title = toQ(PreferencesDialogModel::kUnsafeTitle);
    ask.text = toQ(PreferencesDialogModel::kUnsafeText);
    ask.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    ask.defaultButton = QMessageBox::Cancel;
    if (m_dialogs.message(this, ask) == QMessageBox::Ok) {
        MessageRequest accepted;
        accepted.icon = QMessageBox::Warning;
        accepted.title = toQ(PreferencesDialogModel::kAcceptedTitle);
        accepted.text = toQ(PreferencesDialogModel::kAcceptedText);
        m_dialogs.message(this, accepted);
        return;
    }
    m_showing = true;
    m_safe->setChecked(true);
    m_showing = false;
}

void CPreferencesDlg::accept() {
    const PreferencesDialogValues v = values();
    if (const auto problem = PreferencesDialogModel::validate(v)) {
        MessageRequest r;
        r.icon = QMessageBox::Warning;
        r.title = windowTitle();
        r.text = QString::fromStdString(*problem);
        m_dialogs.message(this, r);
        (v.refreshPosition < PreferencesDialogModel::kRefreshMin ||
                 v.refreshPosition > PreferencesDialogModel::kRefreshMax
             ? static_cast<QWidget*>(m_refresh)
             : static_cast<QWidget*>(m_splash))
            ->setFocus();
        return;
    }
    m_outcome = PreferencesDialogModel::apply(v, m_preferences);
    if (m_storage != nullptr) m_storage->writeAll(m_preferences, m_log);
    applyApiLogAfterDialog(m_preferences, m_log);
    CDlgBase::accept();
}

}  // namespace TVR
