#pragma once

// CFwUpgradePopupDlg: the "Firmware upgrade monitor". It runs one upgrade job while it is shown
// and maps the job's reports (step log, progress bar with its error state, the sixteen FPGA
// configuration indicators) to its widgets; it closes itself a while after the procedure
// ended, and closing it before asks whether to abandon the procedure. User-interface thread;
// the job's reports arrive queued.

#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <array>
#include <atomic>
#include <memory>
#include <optional>

#include "tools/firmware/fw_upgrade_model.h"
#include "upgrade_job.h"

class QCheckBox;
class QPlainTextEdit;
class QProgressBar;

namespace TVR {

class FX3;
class UserDialogs;

// The upgrade's Yes/No questions (downgrade, cancel) through the panel's message boxes.
class UpgradeQuestionBoxes : public UpgradeQuestions {
public:
    UpgradeQuestionBoxes(UserDialogs& dialogs, QWidget* parent, QMessageBox::Icon icon)
        : m_dialogs(dialogs), m_parent(parent), m_icon(icon) {}
    bool ask(const std::string& title, const std::string& text, bool defaultYes) override;

private:
    UserDialogs& m_dialogs;
    QWidget* m_parent;
    QMessageBox::Icon m_icon;
};

class CFwUpgradePopupDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Firmware upgrade monitor";

    // The camera and the dialogs must outlive the window; the job starts once it is shown.
    CFwUpgradePopupDlg(FX3& fx3, UpgradeOptions options, UserDialogs& dialogs, QWidget* parent);
    ~CFwUpgradePopupDlg() override;

    // The procedure's result; empty while it runs, when it never started or was abandoned.
    std::optional<bool> outcome() const { return m_outcome; }
    bool abandoned() const { return m_abandoned; }
    bool running() const;
    QString logText() const;
    int progress() const;
    // The bar shows the failure.
    bool progressFailed() const;
    bool indicatorOn(int bit) const;
    bool autoClosing() const { return m_autoClose.isActive(); }

    // Closing (the close button, Escape): asks while the procedure runs.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyChanges();
    bool mayClose();

    UpgradeOptions m_options;
    UserDialogs& m_dialogs;
    FwUpgradeMonitor m_monitor;
    std::unique_ptr<UpgradeJob> m_job;
    FX3& m_fx3;
    std::atomic<bool> m_queued{false};
    std::optional<bool> m_outcome;
    bool m_abandoned = false;
    bool m_started = false;
    QTimer m_autoClose;

    QPlainTextEdit* m_log = nullptr;
    QProgressBar* m_bar = nullptr;
    std::array<QCheckBox*, kFpgaStatusBits> m_indicators{};
};

}  // namespace TVR
