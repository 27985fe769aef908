#pragma once

// CDemoModeDlg: the "Demo mode" window: the script of settings files with their durations,
// Play/Stop and the 100 ms timer that counts each file's time down. It maps its widgets to a
// DemoModeModel. User-interface thread only.

#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "shell/dlg_base.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace TVR {

class DemoModeModel;

class CDemoModeDlg : public CDlgBaseBrisco {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 125;
    // Asks for the files "Add file(s)..." appends; empty when cancelled.
    using FileChooser = std::function<QStringList(QWidget* parent)>;

    CDemoModeDlg(std::unique_ptr<DemoModeModel> model, const PreferencesStorage* geometry,
                 QWidget* parent);
    ~CDemoModeDlg() override;

    DemoModeModel& demo() { return *m_demo; }
    void setFileChooser(FileChooser chooser) { m_chooseFiles = std::move(chooser); }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void onScriptEdited();
    void onAddFiles();
    void onPlay();
    void onStop();
    void onTick();
    void sync();

    std::unique_ptr<DemoModeModel> m_demo;
    FileChooser m_chooseFiles;
    QTimer m_timer;
    uint64_t m_seenTimerStarts = 0;
    QPlainTextEdit* m_script = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_play = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_add = nullptr;
    QProgressBar* m_progress = nullptr;
};

}  // namespace TVR
