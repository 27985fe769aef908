#include "brisco_status_bar.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

namespace TVR {

CBriscoStatusBar::CBriscoStatusBar(QWidget* parent, int msPerCharacter)
    : QStatusBar(parent), m_msPerCharacter(msPerCharacter < 0 ? 0 : msPerCharacter) {
    setSizeGripEnabled(false);
    m_pane = new QLabel(m_defaultText, this);
    m_pane->setAutoFillBackground(true);
    m_pane->setContentsMargins(4, 0, 4, 0);
    addWidget(m_pane, 1);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &CBriscoStatusBar::showDefaultNow);
    m_updateTimer = new QTimer(this);
    m_updateTimer->setSingleShot(true);
    connect(m_updateTimer, &QTimer::timeout, this, [this] {
        if (m_updateAvailable && !m_timer->isActive()) showDefaultNow();
    });
    m_openUrl = [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };
}

void CBriscoStatusBar::showTimed(const QString& text) {
    m_pane->setText(text);
    m_defaultShowing = false;
    const int factor = m_error ? kErrorFactor : 1;
    m_timer->start(static_cast<int>(text.size()) * m_msPerCharacter * factor);
    applyColour();
}

void CBriscoStatusBar::showLogMessage(const QString& text, bool error) {
    m_error = error;
    showTimed(text);
}

void CBriscoStatusBar::showHelp(const QString& text) { showTimed(text); }

void CBriscoStatusBar::showDefault(const QString& text) {
    m_defaultText = text;
    showDefaultNow();
}

void CBriscoStatusBar::setDefaultText(const QString& text) {
    m_defaultText = text;
    if (m_defaultShowing) showDefaultNow();
}

void CBriscoStatusBar::showDefaultNow() {
    m_timer->stop();
    m_pane->setText(m_defaultText);
    m_defaultShowing = true;
    applyColour();
}

void CBriscoStatusBar::notifyUpdate(const QString& downloadUrl) {
    m_updateAvailable = true;
    m_downloadUrl = downloadUrl;
    m_defaultText = QString::fromLatin1(kUpdateNotice);
    m_updateTimer->start(kUpdateNoticeDelayMs * m_msPerCharacter / kMsPerCharacter);
}

void CBriscoStatusBar::setUrlOpener(std::function<void(const QString&)> opener) {
    m_openUrl = std::move(opener);
}

QString CBriscoStatusBar::paneText() const { return m_pane->text(); }

std::optional<QColor> CBriscoStatusBar::paneColour() const {
    if (m_error) return kErrorColour;
    if (m_updateAvailable && m_defaultShowing) return kUpdateColour;
    return std::nullopt;
}

int CBriscoStatusBar::messageTimeoutMs() const {
    return m_timer->isActive() ? m_timer->interval() : 0;
}

void CBriscoStatusBar::applyColour() {
    QPalette p = palette();
    const auto colour = paneColour();
    if (colour) {
        p.setColor(QPalette::Window, *colour);
        p.setColor(QPalette::WindowText, Qt::white);
    }
    m_pane->setPalette(p);
}

void CBriscoStatusBar::mousePressEvent(QMouseEvent* event) {
    QStatusBar::mousePressEvent(event);
    if (!m_updateAvailable) return;
    m_updateAvailable = false;
    m_updateTimer->stop();
    if (m_openUrl) m_openUrl(m_downloadUrl);
    showDefault(QString::fromLatin1(kReady));
}

}  // namespace TVR
