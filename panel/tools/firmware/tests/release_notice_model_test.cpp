#include "shell/release_notice_model.h"

#include <gtest/gtest.h>

#include "apilog.h"
#include "reply_server.h"

namespace TVR {
namespace {

using PanelTest::ReplyServer;

TEST(ReleaseNoticeModel, NewerInstallersOnlyAndFailuresAreNoAnswer) {
    ReplyServer server;
    server.reply("/same/cgi-bin/ver.php", "2:6:0:0:setup.exe:1000");
    server.reply("/new/cgi-bin/ver.php", "2:6:1:0:dl/setup-2.6.1.exe:1000");
    server.reply("/bad/cgi-bin/ver.php", "2:six:1:0:setup.exe:1000");
    server.reply("/short/cgi-bin/ver.php", "2:6:1");
    ASSERT_TRUE(server.start());
    ApiLog log;

    ReleaseNoticeResult r = checkForNewRelease(DownloadServer(server.url() + "same"), log);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.newer);
    EXPECT_EQ(r.version, "2.6.0");
    EXPECT_EQ(server.targets().back(), "/same/cgi-bin/ver.php?type=installer&os=win");

    r = checkForNewRelease(DownloadServer(server.url() + "new"), log);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.newer);
    EXPECT_EQ(r.url, server.url() + "new/dl/setup-2.6.1.exe");
    EXPECT_EQ(r.question(), "New version 2.6.1 is available. Would you like to download it?");

    // A malformed record is logged by the client and is no newer version.
    r = checkForNewRelease(DownloadServer(server.url() + "bad"), log);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.newer);
    ASSERT_GT(log.messageCount(), 0u);
    const auto last = log.message(log.firstMessageIndex() + log.messageCount() - 1);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->text, "Unexpected installer information!");
    EXPECT_TRUE(last->error);

    // Too few fields, an error page and no server at all: a failure with a reason.
    r = checkForNewRelease(DownloadServer(server.url() + "short"), log);
    EXPECT_FALSE(r.ok);
    r = checkForNewRelease(DownloadServer(server.url() + "missing"), log);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    r = checkForNewRelease(DownloadServer(PanelTest::deadServerUrl()), log);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failureLine().rfind("Could not check online for updates: ", 0), 0u);
}

}  // namespace
}  // namespace TVR
