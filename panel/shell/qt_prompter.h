#pragma once

// The panel's answer to the whole-camera transfers' questions: message boxes through
// UserDialogs, the settings-file dialogs, status texts in the main window's status bar, and
// the title and "Camera" page refreshes the transfers ask for. User-interface thread only.

#include <functional>

#include "settings/camera_transfer.h"

class QWidget;

namespace TVR {

class CBriscoStatusBar;
class UserDialogs;

class QtPrompter : public TransferPrompter {
public:
    // `parent` owns the boxes; `statusBar` may be null.
    QtPrompter(UserDialogs& dialogs, QWidget* parent, CBriscoStatusBar* statusBar);

    void setTitleRefresh(std::function<void()> refresh) { m_titleRefresh = std::move(refresh); }
    void setCameraPageRefresh(std::function<void()> refresh) {
        m_cameraRefresh = std::move(refresh);
    }

    bool askYesNo(std::string_view title, std::string_view text) override;
    void showError(std::string_view title, std::string_view text) override;
    void showStatus(std::string_view text) override;
    std::optional<std::string> chooseFile(bool save, const std::string& current) override;
    void titleChanged() override;
    void refreshCameraPage() override;

private:
    UserDialogs& m_dialogs;
    QWidget* m_parent;
    CBriscoStatusBar* m_statusBar;
    std::function<void()> m_titleRefresh;
    std::function<void()> m_cameraRefresh;
};

}  // namespace TVR
