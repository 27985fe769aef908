#include "splash.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cstdlib>

#include "settings/preferences.h"

namespace TVR {

namespace {
// 160 × 70 dialog units on a common 8-point font.
constexpr int kWidth = 240;
constexpr int kHeight = 114;
// The status pane's own margins and its size grip's room around the text.
constexpr int kTextMargin = 32;
}  // namespace

CSplash::CSplash(QWidget* parent, ApiLog& log, int delayMs)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_log(log),
      m_delayMs(delayMs >= 0 ? delayMs
                             : Preferences::instance().number(PreferenceName::kSplash, 400)) {
    setModal(true);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kWidth, kHeight);
    setStyleSheet(
        QStringLiteral("QDialog { background: rgb(204, 255, 221); "
                       "border: 1px solid gray; }"));
    auto* layout = new QVBoxLayout(this);
    m_text = new QLabel(QStringLiteral("Meditating..."), this);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 0);  // marquee
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(19);
    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(false);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);
    layout->addStretch();
    layout->addWidget(m_status);
}

CSplash::~CSplash() {
    if (parentWidget() != nullptr) parentWidget()->activateWindow();
}

BatchResult CSplash::run(Batch tasks) {
    if (m_ran) return {};
    m_ran = true;
    BatchRunner::Options options;
    options.delayMs = m_delayMs;
    options.window = this;
    BatchRunner runner(m_log, std::move(options));
    m_runner = &runner;
    const BatchResult result = runner.run(std::move(tasks));
    m_runner = nullptr;
    // Status texts queued by the worker are for a window that is no longer shown.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    setStatus(QString::fromStdString(runner.status()));
    return result;
}

QString CSplash::statusText() const { return m_status->currentMessage(); }

bool CSplash::batchDone() const { return m_runner == nullptr || m_runner->done(); }

void CSplash::setStatus(const QString& text) {
    m_status->showMessage(text);
    fitText(text);
}

void CSplash::fitText(const QString& text) {
    // The box grows with a long task name rather than cutting it; it never shrinks while shown.
    const int needed = m_status->fontMetrics().horizontalAdvance(text) + kTextMargin;
    if (needed > width()) setFixedSize(needed, kHeight);
}

void CSplash::placeOverParent() {
    // Over the middle of the window it works for, which may not be on show yet at start-up
    // (its position is restored before the first read).
    const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (owner == nullptr) return;
    QRect box = rect();
    box.moveCenter(owner->geometry().center());
    move(box.topLeft());
}

void CSplash::statusChanged(const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, t = QString::fromStdString(text)] { setStatus(t); }, Qt::QueuedConnection);
}

void CSplash::busy(bool on) {
    QMetaObject::invokeMethod(
        this,
        [on] {
            if (on) {
                QApplication::setOverrideCursor(Qt::WaitCursor);
            } else {
                QApplication::restoreOverrideCursor();
            }
        },
        Qt::QueuedConnection);
}

void CSplash::showModal(const std::string& status) {
    setStatus(QString::fromStdString(status));
    placeOverParent();
    exec();
}

void CSplash::close() {
    // Queued: when it arrives before exec() has started, exec() processes it at once.
    QMetaObject::invokeMethod(
        this, [this] { done(QDialog::Accepted); }, Qt::QueuedConnection);
}

void CSplash::accept() {
    // Enter closes the box only once the batch is done.
    if (batchDone()) QDialog::accept();
}

void CSplash::reject() {
    if (batchDone()) {
        QDialog::reject();
        return;
    }
    const auto answer = QMessageBox::critical(this, QString::fromLatin1(kInterruptTitle),
                                              QString::fromLatin1(kInterruptText),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    // The worker may be stuck in a camera that no longer answers: leave without waiting.
    if (answer == QMessageBox::Yes) std::_Exit(-1);
}

}  // namespace TVR
