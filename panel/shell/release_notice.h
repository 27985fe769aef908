#pragma once

// The main window's release check and help commands. The installer check runs on a worker
// thread, so the window never waits for the network: at start-up a newer installer turns the
// status bar into the clickable update notice (a failed check is one information line), and
// "Check online for updates..." runs the same check and answers with a question or a box. The
// help pages open in the desktop's browser; a page the build left out greys its command.
// User-interface thread; the check's answer arrives queued.

#include <QObject>
#include <QString>
#include <functional>
#include <thread>

#include "download_server.h"
#include "shell/release_notice_model.h"

namespace TVR {

class CbriscoDlg;

using UrlOpener = std::function<void(const QString& url)>;

class ReleaseNotice : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kObjectName = "releaseNotice";

    // `open` null: the desktop's browser.
    ReleaseNotice(CbriscoDlg& window, DownloadServer server, UrlOpener open = {});
    // Waits for a check under way.
    ~ReleaseNotice() override;

    // The start-up check.
    void checkAtStartup() { start(false); }
    // Help > Check online for updates.
    void checkOnDemand() { start(true); }
    bool running() const { return m_running; }
    const ReleaseNoticeResult& lastResult() const { return m_last; }

signals:
    void checked();

private:
    void start(bool onDemand);
    void done(bool onDemand, const ReleaseNoticeResult& result);

    CbriscoDlg& m_window;
    DownloadServer m_server;
    UrlOpener m_open;
    std::thread m_worker;
    bool m_running = false;
    ReleaseNoticeResult m_last;
};

inline constexpr const char* kMissingPageTip =
    "This build of the program has no address for this page";

// Registers "View help online..." (F1), "Revision history..." and "Check online for
// updates..." on the window and returns the notice that runs the checks. An empty page address
// greys its command with a tooltip saying why.
ReleaseNotice& registerHelpCommands(CbriscoDlg& window, DownloadServer server,
                                    const QString& helpUrl, const QString& historyUrl,
                                    UrlOpener open = {});
// The same with the build's addresses.
ReleaseNotice& registerHelpCommands(CbriscoDlg& window);

}  // namespace TVR
