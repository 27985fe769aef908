#include "api_cmd_log_view.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSplitter>
#include <QVBoxLayout>

#include "tools/apilog/log_view_ctrl.h"

namespace TVR {

CApiCmdLogView::CApiCmdLogView(ApiLog& log, const PreferencesStorage* geometry, QWidget* parent)
    : CDlgBase(geometry, parent), m_model(log) {
    setWindowTitle(QStringLiteral("API commands' log"));
    setWindowFlag(Qt::Window);
    auto* layout = new QVBoxLayout(this);
    auto* split = new QSplitter(Qt::Vertical, this);
    m_text = new CLogViewCtrl(split);
    m_text->setObjectName(QStringLiteral("logText"));
    m_detail = new QPlainTextEdit(split);
    m_detail->setObjectName(QStringLiteral("logDetail"));
    m_detail->setReadOnly(true);
    split->addWidget(m_text);
    split->addWidget(m_detail);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    auto* clearApi = new QPushButton(QStringLiteral("Clear API calls"), this);
    clearApi->setObjectName(QStringLiteral("clearApi"));
    auto* clearAll = new QPushButton(QStringLiteral("Clear all"), this);
    clearAll->setObjectName(QStringLiteral("clearAll"));
    buttons->addStretch(1);
    buttons->addWidget(clearApi);
    buttons->addWidget(clearAll);
    layout->addLayout(buttons);
    resize(720, 480);

    connect(clearApi, &QPushButton::clicked, this, [this] {
        m_model.clearApi();
        appendNew();
    });
    connect(clearAll, &QPushButton::clicked, this, [this] {
        m_model.clearAll();
        appendNew();
    });
    connect(m_text, &CLogViewCtrl::lineHovered, this, &CApiCmdLogView::hoverLine);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &CApiCmdLogView::appendNew);
    initDialog();
}

void CApiCmdLogView::appendNew() {
    const LogViewAppend add = m_model.update();
    if (add.reset) {
        m_text->clear();
        m_text->setHighlightedLine(-1);
        m_detail->clear();
    }
    if (add.lines == 0) return;
    // Only the new lines go in: a full rebuild of a long log would stall the window.
    m_text->appendPlainText(QString::fromStdString(add.text));
    m_text->verticalScrollBar()->setValue(m_text->verticalScrollBar()->maximum());
}

void CApiCmdLogView::hoverLine(int line) {
    if (line < 0) return;
    const std::string detail = m_model.detailAt(static_cast<size_t>(line));
    // Below the last record nothing changes.
    if (detail.empty()) return;
    m_text->setHighlightedLine(line);
    m_detail->setPlainText(QString::fromStdString(detail));
}

void CApiCmdLogView::showEvent(QShowEvent* event) {
    CDlgBase::showEvent(event);
    appendNew();
    m_timer.start();
}

void CApiCmdLogView::hideEvent(QHideEvent* event) {
    m_timer.stop();
    CDlgBase::hideEvent(event);
}

}  // namespace TVR
