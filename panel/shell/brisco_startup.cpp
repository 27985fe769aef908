#include "brisco_startup.h"

#include <QApplication>
#include <QStyleFactory>

#include "settings/preferences.h"
#include "settings/preferences_storage.h"
#include "shell/preferences_dialog_model.h"
#include "shell/user_dialogs.h"

namespace TVR {

int readPreferencesReporting(const PreferencesStorage& storage, Preferences& preferences,
                             UserDialogs& dialogs) {
    const PreferencesReadResult result = storage.readAll(preferences);
    const size_t boxes = result.storageError ? 1 : result.failed.size();
    MessageRequest r;
    r.icon = QMessageBox::Warning;
    r.title = QString::fromLatin1(kRegistryErrorTitle);
    r.text = QString::fromLatin1(kRegistryErrorText);
    for (size_t i = 0; i < boxes; ++i) dialogs.message(nullptr, r);
    return static_cast<int>(boxes);
}

void applyStartupPreferences(const Preferences& preferences, ApiLog& apiLog) {
    if (preferences.number(PreferenceName::kTheme, PreferencesDialogModel::kThemed) !=
        PreferencesDialogModel::kThemed) {
        if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
            QApplication::setStyle(fusion);
        }
    }
    applyApiLogAtStartup(preferences, apiLog);
}

}  // namespace TVR
