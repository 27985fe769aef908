#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "gui_test_helpers.h"
#include "main_window_helpers.h"
#include "protocol/vendor_requests.h"
#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_dlg.h"
#include "shell/brisco_pages.h"
#include "sim/video/sim_capture_devices.h"
#include "tools/demo/demo_mode_dlg.h"
#include "tools/demo/demo_mode_model.h"

namespace TVR::GuiTest {
namespace {

constexpr int kScript = 1292;
constexpr int kStatus = 1293;
constexpr int kPlay = 1286;
constexpr int kStop = 1287;
constexpr int kProgress = 1294;
constexpr int kAdd = 1295;

struct DemoPanel : ProgramWindowRig {
    DemoPanel() : ProgramWindowRig("", false, true) {
        // Two settings files of this camera, differing in the red LED.
        window->store().setHex("LED_R", 0x21);
        EXPECT_TRUE(window->session().saveFileAs(fileA));
        window->store().setHex("LED_R", 0x42);
        EXPECT_TRUE(window->session().saveFileAs(fileB));
    }
    uint8_t red() { return fw().fpgaRegister(FpgaReg::kLedRedLow); }
    CDemoModeDlg* open() { return ProgramWindowRig::open<CDemoModeDlg>(MenuId::kDemoMode); }

    std::string fileA = rig.folder.file("a.qcf");
    std::string fileB = rig.folder.file("b.qcf");
};

TEST(CDemoModeDlg, PlayNeedsTwoFilesAndStopUnlocksTheScript) {
    DemoPanel p;
    auto* w = p.open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Demo mode");
    auto* script = get<QPlainTextEdit>(w, kScript);
    auto* play = get<QPushButton>(w, kPlay);
    auto* stop = get<QPushButton>(w, kStop);
    EXPECT_FALSE(play->isEnabled());
    EXPECT_FALSE(stop->isEnabled());

    script->setPlainText(QString::fromStdString(p.fileA + " | 5"));
    EXPECT_FALSE(play->isEnabled());
    script->appendPlainText(QString::fromStdString(p.fileB + " | 2.55"));
    ASSERT_TRUE(play->isEnabled());
    // The list is kept for the next start.
    EXPECT_EQ(p.preferences.text(PreferenceName::kDemoScript),
              p.fileA + " | 5\n" + p.fileB + " | 2.55");

    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_EQ(p.red(), 0x21);
    EXPECT_FALSE(play->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_FALSE(script->isEnabled());
    EXPECT_FALSE(get<QPushButton>(w, kAdd)->isEnabled());
    EXPECT_EQ(get<QLabel>(w, kStatus)->text(),
              QString::fromStdString(p.fileA + "\nDuration: 5.0s"));
    EXPECT_EQ(get<QProgressBar>(w, kProgress)->maximum(), 50);
    // The window's timer counts the time down.
    EXPECT_TRUE(waitUntil([&] { return get<QProgressBar>(w, kProgress)->value() < 50; }));

    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_TRUE(play->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(script->isEnabled());
    EXPECT_EQ(get<QProgressBar>(w, kProgress)->value(), 0);
    EXPECT_FALSE(w->demo().timerActive());
}

TEST(CDemoModeDlg, AddedFilesAndHidingStopsPlaying) {
    DemoPanel p;
    auto* w = p.open();
    ASSERT_NE(w, nullptr);
    w->setFileChooser([&](QWidget*) {
        return QStringList{QString::fromStdString(p.fileA), QString::fromStdString(p.fileB)};
    });
    QTest::mouseClick(get<QPushButton>(w, kAdd), Qt::LeftButton);
    EXPECT_EQ(get<QPlainTextEdit>(w, kScript)->toPlainText().toStdString(),
              "\n" + p.fileA + " | 10\n" + p.fileB + " | 10");
    ASSERT_EQ(w->demo().entries().size(), 2u);
    QTest::mouseClick(get<QPushButton>(w, kPlay), Qt::LeftButton);
    EXPECT_TRUE(w->demo().playing());
    w->hide();
    EXPECT_FALSE(w->demo().playing());
    w->show();
    EXPECT_FALSE(w->demo().playing());
    EXPECT_TRUE(get<QPushButton>(w, kPlay)->isEnabled());
}

}  // namespace
}  // namespace TVR::GuiTest
