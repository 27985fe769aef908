#include "release_notice.h"

#include <QAction>
#include <QDesktopServices>
#include <QKeySequence>
#include <QUrl>

#include "apilog.h"
#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/brisco_status_bar.h"
#include "shell/panel_context.h"
#include "shell/user_dialogs.h"

namespace TVR {

namespace {

UrlOpener orBrowser(UrlOpener open) {
    if (open) return open;
    return [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };
}

}  // namespace

ReleaseNotice::ReleaseNotice(CbriscoDlg& window, DownloadServer server, UrlOpener open)
    : QObject(&window),
      m_window(window),
      m_server(std::move(server)),
      m_open(orBrowser(std::move(open))) {
    setObjectName(QString::fromLatin1(kObjectName));
    window.statusBar().setUrlOpener(m_open);
}

ReleaseNotice::~ReleaseNotice() {
    if (m_worker.joinable()) m_worker.join();
}

void ReleaseNotice::start(bool onDemand) {
    if (m_running) return;
    if (m_worker.joinable()) m_worker.join();
    m_running = true;
    ApiLog& log = m_window.session().log();
    m_worker = std::thread([this, onDemand, &log, server = m_server] {
        ReleaseNoticeResult result = checkForNewRelease(server, log);
        // The notice waits for this thread before it goes, so it is there to receive.
        QMetaObject::invokeMethod(
            this, [this, onDemand, result = std::move(result)] { done(onDemand, result); },
            Qt::QueuedConnection);
    });
}

void ReleaseNotice::done(bool onDemand, const ReleaseNoticeResult& result) {
    m_running = false;
    m_last = result;
    UserDialogs& dialogs = m_window.context().dialogs;
    if (!result.ok) {
        m_window.session().log().appendText(false, result.failureLine());
        if (onDemand) {
            // Asked for, the failure gets an answer of its own rather than "no new versions".
            MessageRequest r;
            r.icon = QMessageBox::Information;
            r.title = QString::fromLatin1(kUpdateCheckFailedTitle);
            r.text = QString::fromStdString(result.failureLine());
            dialogs.message(&m_window, r);
        }
    } else if (result.newer) {
        const QString url = QString::fromStdString(result.url);
        m_window.statusBar().notifyUpdate(url);
        if (onDemand) {
            MessageRequest r;
            r.icon = QMessageBox::Question;
            r.title = QString::fromLatin1(kUpgradeQuestionTitle);
            r.text = QString::fromStdString(result.question());
            r.buttons = QMessageBox::Yes | QMessageBox::No;
            if (dialogs.message(&m_window, r) == QMessageBox::Yes) m_open(url);
        }
    } else if (onDemand) {
        MessageRequest r;
        r.icon = QMessageBox::Information;
        r.title = QString::fromLatin1(kNoNewVersionTitle);
        r.text = QString::fromLatin1(kNoNewVersionText);
        dialogs.message(&m_window, r);
    }
    emit checked();
}

ReleaseNotice& registerHelpCommands(CbriscoDlg& window, DownloadServer server,
                                    const QString& helpUrl, const QString& historyUrl,
                                    UrlOpener open) {
    delete window.findChild<ReleaseNotice*>(QString::fromLatin1(ReleaseNotice::kObjectName),
                                            Qt::FindDirectChildrenOnly);
    const UrlOpener opener = orBrowser(std::move(open));
    auto* notice = new ReleaseNotice(window, std::move(server), opener);
    auto page = [&window, opener](int id, const QString& url) {
        QAction* a = window.action(id);
        if (url.isEmpty()) {
            // Unregistered, the command stays greyed; the tip says why.
            window.registerCommand(id, {});
            if (a != nullptr) {
                a->setToolTip(QString::fromLatin1(kMissingPageTip));
                a->setStatusTip(QString::fromLatin1(kMissingPageTip));
            }
            return;
        }
        window.registerCommand(id, [opener, url] { opener(url); });
    };
    page(MenuId::kHelpOnline, helpUrl);
    page(MenuId::kRevisionHistory, historyUrl);
    if (QAction* help = window.action(MenuId::kHelpOnline)) {
        help->setShortcut(QKeySequence(Qt::Key_F1));
    }
    window.registerCommand(MenuId::kCheckUpdates, [notice] { notice->checkOnDemand(); });
    return *notice;
}

ReleaseNotice& registerHelpCommands(CbriscoDlg& window) {
    return registerHelpCommands(
        window, DownloadServer::fromSettings(),
        QString::fromUtf8(DownloadServer::helpPageAddress().data(),
                          static_cast<qsizetype>(DownloadServer::helpPageAddress().size())),
        QString::fromUtf8(DownloadServer::historyPageAddress().data(),
                          static_cast<qsizetype>(DownloadServer::historyPageAddress().size())));
}

}  // namespace TVR
