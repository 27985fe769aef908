#include "user_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace TVR {

QMessageBox::StandardButton QtUserDialogs::message(QWidget* parent, const MessageRequest& request) {
    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    if (request.defaultButton != QMessageBox::NoButton) box.setDefaultButton(request.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

std::optional<QString> QtUserDialogs::chooseSettingsFile(QWidget* parent, bool save,
                                                         const QString& current) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QString::fromLatin1(kSettingsFileFilter), QString::fromLatin1(kAllFilesFilter)});
    dialog.setDefaultSuffix(QString::fromLatin1(kSettingsFileSuffix));
    dialog.setFilter(dialog.filter() | QDir::Hidden);
    dialog.setSizeGripEnabled(true);
    if (!current.isEmpty()) {
        const QFileInfo info(current);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

}  // namespace TVR
