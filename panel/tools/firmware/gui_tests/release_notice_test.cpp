#include <gtest/gtest.h>

#include <QAction>
#include <QTest>

#include "reply_server.h"
#include "gui_test_helpers.h"
#include "main_window_helpers.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_status_bar.h"
#include "shell/global_hotkeys.h"
#include "shell/release_notice.h"

namespace TVR::GuiTest {
namespace {

using PanelTest::ReplyServer;

struct Opened {
    QStringList urls;
    UrlOpener opener() {
        return [this](const QString& url) { urls.push_back(url); };
    }
};

bool loggedLine(const ApiLog& log, const std::string& start, bool error) {
    for (size_t i = 0; i < log.messageCount(); ++i) {
        const auto m = log.message(log.firstMessageIndex() + i);
        if (m && m->error == error && m->text.rfind(start, 0) == 0) return true;
    }
    return false;
}

TEST(ReleaseNotice, StartUpCheckShowsTheClickableNotice) {
    ReplyServer server;
    server.reply("/new/cgi-bin/ver.php", "2:7:0:0:dl/brisco-2.7.0.exe:5000");
    ASSERT_TRUE(server.start());
    MainWindowRig w;
    Opened opened;
    ReleaseNotice& notice =
        registerHelpCommands(*w.window, DownloadServer(server.url() + "new"), "http://h/help",
                             "http://h/history", opened.opener());
    notice.checkAtStartup();
    // The window does not wait: the answer comes later.
    EXPECT_TRUE(notice.running());
    ASSERT_TRUE(waitUntil([&] { return !notice.running(); }));
    CBriscoStatusBar& bar = w.window->statusBar();
    EXPECT_TRUE(bar.updateAvailable());
    EXPECT_EQ(bar.defaultText(), CBriscoStatusBar::kUpdateNotice);
    ASSERT_TRUE(waitUntil([&] { return bar.paneText() == CBriscoStatusBar::kUpdateNotice; }));
    EXPECT_EQ(bar.paneColour(), CBriscoStatusBar::kUpdateColour);
    EXPECT_TRUE(w.dialogs.shown.empty());

    QTest::mouseClick(&bar, Qt::LeftButton);
    EXPECT_EQ(opened.urls,
              QStringList{QString::fromStdString(server.url()) + "new/dl/brisco-2.7.0.exe"});
    EXPECT_FALSE(bar.updateAvailable());
    EXPECT_EQ(bar.paneText(), CBriscoStatusBar::kReady);
}

TEST(ReleaseNotice, OnDemandAsksOrAnswersAndAFailureIsOneInformationLine) {
    ReplyServer server;
    server.reply("/new/cgi-bin/ver.php", "2:6:1:0:setup.exe:1000");
    server.reply("/same/cgi-bin/ver.php", "2:6:0:0:setup.exe:1000");
    ASSERT_TRUE(server.start());
    MainWindowRig w;
    Opened opened;
    ReleaseNotice* notice = &registerHelpCommands(*w.window, DownloadServer(server.url() + "new"),
                                                  "http://h/help", "", opened.opener());
    ASSERT_TRUE(w.window->action(MenuId::kCheckUpdates)->isEnabled());
    w.dialogs.answers = {QMessageBox::Yes};
    ASSERT_TRUE(w.window->runCommand(MenuId::kCheckUpdates));
    ASSERT_TRUE(waitUntil([&] { return !notice->running(); }));
    ASSERT_EQ(w.dialogs.shown.size(), 1u);
    EXPECT_EQ(w.dialogs.shown[0].title, "Upgrade notification");
    EXPECT_EQ(w.dialogs.shown[0].text,
              "New version 2.6.1 is available. Would you like to download it?");
    EXPECT_EQ(opened.urls, QStringList{QString::fromStdString(server.url()) + "new/setup.exe"});

    notice = &registerHelpCommands(*w.window, DownloadServer(server.url() + "same"),
                                   "http://h/help", "", opened.opener());
    ASSERT_TRUE(w.window->runCommand(MenuId::kCheckUpdates));
    ASSERT_TRUE(waitUntil([&] { return !notice->running(); }));
    ASSERT_EQ(w.dialogs.shown.size(), 2u);
    EXPECT_EQ(w.dialogs.shown[1].title, "No new versions found");
    EXPECT_EQ(w.dialogs.shown[1].text,
              "You are current running the latest version of the software");

    // No server: the start-up check leaves one information line and no box.
    notice = &registerHelpCommands(*w.window, DownloadServer(PanelTest::deadServerUrl()),
                                   "http://h/help", "", opened.opener());
    notice->checkAtStartup();
    ASSERT_TRUE(waitUntil([&] { return !notice->running(); }));
    EXPECT_EQ(w.dialogs.shown.size(), 2u);
    EXPECT_TRUE(loggedLine(w.rig.log, "Could not check online for updates: ", false));
    // Asked for, the failure is answered, not reported as "no new versions".
    ASSERT_TRUE(w.window->runCommand(MenuId::kCheckUpdates));
    ASSERT_TRUE(waitUntil([&] { return !notice->running(); }));
    ASSERT_EQ(w.dialogs.shown.size(), 3u);
    EXPECT_EQ(w.dialogs.shown[2].title, "Check for updates");
}

TEST(ReleaseNotice, HelpPagesOpenAndAMissingAddressGreysItsCommand) {
    MainWindowRig w;
    Opened opened;
    registerHelpCommands(*w.window, DownloadServer("http://127.0.0.1:9/"), "http://h/manual", "",
                         opened.opener());
    QAction* help = w.window->action(MenuId::kHelpOnline);
    QAction* history = w.window->action(MenuId::kRevisionHistory);
    ASSERT_TRUE(help->isEnabled());
    EXPECT_EQ(help->shortcut(), QKeySequence(Qt::Key_F1));
    ASSERT_TRUE(w.window->runCommand(MenuId::kHelpOnline));
    EXPECT_EQ(opened.urls, QStringList{"http://h/manual"});
    EXPECT_FALSE(history->isEnabled());
    EXPECT_FALSE(w.window->runCommand(MenuId::kRevisionHistory));
    EXPECT_EQ(history->toolTip(), kMissingPageTip);

    registerHelpCommands(*w.window, DownloadServer("http://127.0.0.1:9/"), "", "http://h/rev",
                         opened.opener());
    EXPECT_FALSE(help->isEnabled());
    ASSERT_TRUE(w.window->runCommand(MenuId::kRevisionHistory));
    EXPECT_EQ(opened.urls.back(), "http://h/rev");

    // The build's own addresses come from the download server's.
    EXPECT_FALSE(DownloadServer::helpPageAddress().empty());
}

TEST(GlobalHotkeys, WithoutADesktopThePresetKeysStayTheWindowsAndTheFailureIsLogged) {
    MainWindowRig w;
    std::vector<int> pressed;
    GlobalHotkeys keys(w.rig.log, [&pressed](int n) { pressed.push_back(n); });
    for (int n = 1; n <= kPresetHotkeyCount; ++n) {
        EXPECT_FALSE(keys.global(n));
        EXPECT_TRUE(loggedLine(
            w.rig.log, "Error 5f registering preset key shortcut #" + std::to_string(n), true))
            << n;
    }
    // The window's application shortcut still loads the preset.
    TestSupport::TempFolder folder;
    const std::string file = folder.file("p2.qcf");
    ASSERT_TRUE(w.window->session().saveFileAs(file));
    ASSERT_TRUE(w.window->session().saveFileAs(folder.file("other.qcf")));
    w.window->presets().setPreset(2, {file, "two"});
    ASSERT_TRUE(w.showActive());
    QTest::keyClick(w.window.get(), Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(waitUntil([&] { return w.window->store().filePath() == file; }));
    EXPECT_TRUE(pressed.empty());
}

}  // namespace
}  // namespace TVR::GuiTest
