#pragma once

// CApiCmdLogView: the API-call log window. It lists both stores of the log merged by time,
// appends what is new every 200 ms while it is visible, shows the detail of the line under the
// mouse in a second box, and offers the two clear commands. User-interface thread only.

#include <QTimer>

#include "shell/dlg_base.h"
#include "tools/apilog/log_view_model.h"

class QPlainTextEdit;
class QPushButton;

namespace TVR {

class ApiLog;
class CLogViewCtrl;

class CApiCmdLogView : public CDlgBase {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 120;
    static constexpr int kRefreshMs = 200;

    CApiCmdLogView(ApiLog& log, const PreferencesStorage* geometry, QWidget* parent);

    // One refresh step, as the timer runs it.
    void appendNew();
    // The detail box follows text line `line`, as a mouse over it would.
    void hoverLine(int line);

    const LogViewModel& model() const { return m_model; }
    CLogViewCtrl& logBox() { return *m_text; }
    QPlainTextEdit& detailBox() { return *m_detail; }
    bool refreshing() const { return m_timer.isActive(); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool resizableFrame() const override { return true; }

private:
    LogViewModel m_model;
    QTimer m_timer;
    CLogViewCtrl* m_text = nullptr;
    QPlainTextEdit* m_detail = nullptr;
};

}  // namespace TVR
