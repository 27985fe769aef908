#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <memory>

#include "gui_test_helpers.h"
#include "main_window_helpers.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_pages.h"
#include "tools/apilog/api_cmd_log_view.h"
#include "tools/apilog/log_view_ctrl.h"

namespace TVR::GuiTest {
namespace {

// The centre of text line `line` in the log box's viewport.
QPoint lineCentre(CLogViewCtrl& box, int line) {
    const QTextBlock block = box.document()->findBlockByNumber(line);
    const QRect r = box.cursorRect(QTextCursor(block));
    return QPoint(10, r.center().y());
}

TEST(ApiLogWindow, BothStoresMergedWithHighlightAndDetail) {
    MainWindowRig w;
    registerBriscoTools(*w.window);
    w.rig.log.setLogging(true);
    // Camera traffic after the start-up read, then a message of the panel.
    ASSERT_TRUE(w.window->session().readAllValues());
    w.rig.log.appendText(true, "Something failed");
    ASSERT_TRUE(w.window->action(MenuId::kApiLog)->isEnabled());
    ASSERT_TRUE(w.window->runCommand(MenuId::kApiLog));
    auto* view = qobject_cast<CApiCmdLogView*>(w.window->showTool(MenuId::kApiLog));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->refreshing());

    CLogViewCtrl& box = view->logBox();
    const QString text = box.toPlainText();
    // Seconds since the program started, with two decimals.
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\ds Started log$"),
                                                 QRegularExpression::MultilineOption)))
        << text.left(200).toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("s Something failed")))
        << text.right(80).toStdString();
    EXPECT_EQ(static_cast<size_t>(box.document()->blockCount()), view->model().textLineCount());

    // An API line: the mouse over it outlines it and shows the call's detail.
    int apiLine = -1;
    for (int i = 0; i < box.document()->blockCount(); ++i) {
        if (box.document()->findBlockByNumber(i).text().startsWith(QStringLiteral("FX3: "))) {
            apiLine = i;
            break;
        }
    }
    ASSERT_GE(apiLine, 0) << "no API record listed";
    box.verticalScrollBar()->setValue(apiLine);
    QTest::mouseMove(box.viewport(), lineCentre(box, apiLine));
    EXPECT_EQ(box.highlightedLine(), apiLine);
    EXPECT_TRUE(view->detailBox().toPlainText().startsWith(QStringLiteral("API call# ")))
        << view->detailBox().toPlainText().toStdString();

    const int last = box.document()->blockCount() - 1;
    box.verticalScrollBar()->setValue(box.verticalScrollBar()->maximum());
    QTest::mouseMove(box.viewport(), lineCentre(box, last));
    EXPECT_EQ(box.highlightedLine(), last);
    EXPECT_TRUE(view->detailBox().toPlainText().endsWith(
        QStringLiteral("Type of record: Error\n\nDetails:\nSomething failed")));

    // New lines are appended by the window's own timer.
    const int before = box.document()->blockCount();
    w.rig.log.appendText(false, "Later");
    ASSERT_TRUE(waitUntil([&] { return box.document()->blockCount() == before + 1; }));
    EXPECT_EQ(box.document()->lastBlock().text().right(6), QStringLiteral(" Later"));

    // Clearing the calls keeps the messages; clearing all empties the window.
    QTest::mouseClick(view->findChild<QPushButton*>(QStringLiteral("clearApi")), Qt::LeftButton);
    EXPECT_FALSE(box.toPlainText().contains(QStringLiteral("FX3: ")));
    EXPECT_TRUE(box.toPlainText().contains(QStringLiteral("Something failed")));
    EXPECT_EQ(box.highlightedLine(), -1);
    QTest::mouseClick(view->findChild<QPushButton*>(QStringLiteral("clearAll")), Qt::LeftButton);
    EXPECT_EQ(box.toPlainText(), QString());

    view->hide();
    EXPECT_FALSE(view->refreshing());
}

TEST(ApiLogWindow, AHundredThousandRecordsAppendOnlyTheNewLines) {
    ApiLog log;
    log.setLogging(true);
    for (int i = 0; i < 100'000; ++i) {
        const size_t r = log.recordVendorRequest(false, 0xAB, 0, 0);
        log.setResult(r, true);
        log.finish(r);
    }
    CApiCmdLogView view(log, nullptr, nullptr);
    view.show();
    CLogViewCtrl& box = view.logBox();
    ASSERT_EQ(box.document()->blockCount(), 100'000);
    // A mark on the first line survives only if the text is not built again.
    box.document()->firstBlock().setUserState(42);
    log.appendText(false, "one more");
    view.appendNew();
    EXPECT_EQ(box.document()->blockCount(), 100'001);
    EXPECT_EQ(box.document()->firstBlock().userState(), 42);
    EXPECT_TRUE(box.document()->lastBlock().text().endsWith(QStringLiteral(" one more")));
    view.hoverLine(100'000);
    EXPECT_TRUE(view.detailBox().toPlainText().startsWith(QStringLiteral("Log entry# ")));
    // Below the last line nothing changes.
    view.hoverLine(100'001);
    EXPECT_TRUE(view.detailBox().toPlainText().startsWith(QStringLiteral("Log entry# ")));
    EXPECT_EQ(box.highlightedLine(), 100'000);
}

}  // namespace
}  // namespace TVR::GuiTest
