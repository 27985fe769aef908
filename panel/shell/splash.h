#pragma once

// CSplash: the "Meditating..." box of long camera operations. run() hands the batch to the
// toolkit-free batch runner, which runs it on a worker thread; the window is shown modally
// only when the batch outlasts the `Splash` preference (0: never). User-interface thread,
// except the BatchProgressWindow calls, which come from the worker and are queued.

#include <QDialog>
#include <string>

#include "settings/batch_runner.h"

class QLabel;
class QProgressBar;
class QStatusBar;

namespace TVR {

class ApiLog;

class CSplash : public QDialog, public BatchProgressWindow {
    Q_OBJECT
public:
    static constexpr const char* kInterruptTitle = "Interrupt?";
    static constexpr const char* kInterruptText =
        "This will completely exit the application, any unsaved data will be lost.\n\n"
        "Are you sure you want to exit right away?";

    // Progress lines go to `log`. `delayMs` below 0: the `Splash` preference.
    CSplash(QWidget* parent, ApiLog& log, int delayMs = -1);
    ~CSplash() override;

    // Runs the batch; returns when every task has finished. At most one batch per object.
    BatchResult run(Batch tasks);
    // Where the box goes when shown: centred on its parent's window.
    void placeOverParent();

    // The status pane's text.
    QString statusText() const;
    bool batchDone() const;

    // BatchProgressWindow, from the worker thread.
    void statusChanged(const std::string& text) override;
    void busy(bool on) override;
    void showModal(const std::string& status) override;
    void close() override;

public slots:
    void accept() override;
    void reject() override;

private:
    void setStatus(const QString& text);
    void fitText(const QString& text);

    ApiLog& m_log;
    int m_delayMs;
    QLabel* m_text = nullptr;
    QProgressBar* m_progress = nullptr;
    QStatusBar* m_status = nullptr;
    BatchRunner* m_runner = nullptr;
    bool m_ran = false;
};

}  // namespace TVR
