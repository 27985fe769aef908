#pragma once

// The panel's message boxes and file dialogs behind one small interface, so that the windows
// ask through it and tests answer without a modal loop. QtUserDialogs shows the real ones.
// User-interface thread only.

#include <QMessageBox>
#include <QString>
#include <optional>

namespace TVR {

struct MessageRequest {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // The button that closed the box.
    virtual QMessageBox::StandardButton message(QWidget* parent, const MessageRequest& request) = 0;
    // The settings-file open or save dialog starting at `current`; empty when cancelled.
    virtual std::optional<QString> chooseSettingsFile(QWidget* parent, bool save,
                                                      const QString& current) = 0;
};

class QtUserDialogs : public UserDialogs {
public:
    QMessageBox::StandardButton message(QWidget* parent, const MessageRequest& request) override;
    std::optional<QString> chooseSettingsFile(QWidget* parent, bool save,
                                              const QString& current) override;
};

// The settings files' filter of the file dialogs.
inline constexpr const char* kSettingsFileFilter = "Tavro camera settings (*.qcf)";
inline constexpr const char* kAllFilesFilter = "All files (*)";
inline constexpr const char* kSettingsFileSuffix = "qcf";

}  // namespace TVR
