#include "qt_prompter.h"

#include "shell/brisco_status_bar.h"
#include "shell/qt_text.h"
#include "shell/user_dialogs.h"

namespace TVR {
namespace {}  // namespace

QtPrompter::QtPrompter(UserDialogs& dialogs, QWidget* parent, CBriscoStatusBar* statusBar)
    : m_dialogs(dialogs), m_parent(parent), m_statusBar(statusBar) {}

bool QtPrompter::askYesNo(std::string_view title, std::string_view text) {
    MessageRequest r;
    r.icon = QMessageBox::Warning;
    r.title = toQ(title);
    r.text = toQ(text);
    r.buttons = QMessageBox::Yes | QMessageBox::No;
    return m_dialogs.message(m_parent, r) == QMessageBox::Yes;
}

void QtPrompter::showError(std::string_view title, std::string_view text) {
    MessageRequest r;
    r.icon = QMessageBox::Critical;
    r.title = toQ(title);
    r.text = toQ(text);
    m_dialogs.message(m_parent, r);
}

void QtPrompter::showStatus(std::string_view text) {
    if (m_statusBar == nullptr) return;
    // "No cameras" stays until something else replaces the default text.
    if (text == kNoCameraStatus) {
        m_statusBar->showDefault(toQ(text));
    } else {
        m_statusBar->showLogMessage(toQ(text), false);
    }
}

std::optional<std::string> QtPrompter::chooseFile(bool save, const std::string& current) {
    auto chosen = m_dialogs.chooseSettingsFile(m_parent, save, QString::fromStdString(current));
    if (!chosen || chosen->isEmpty()) return std::nullopt;
    return chosen->toStdString();
}

void QtPrompter::titleChanged() {
    if (m_titleRefresh) m_titleRefresh();
}

void QtPrompter::refreshCameraPage() {
    if (m_cameraRefresh) m_cameraRefresh();
}

}  // namespace TVR
